// CWinApp, the framework's globals and strings, message boxes, and AfxWinMain.
#include "afx/internal.h"
#include "ui/renderer.h"

#include <cstring>
#include <string>

namespace {
CWinApp* g_app = nullptr;
std::string g_programName = "APP";

struct FrameworkStringEntry {
    UINT id;
    const char* text;
};
// The framework's own strings, as every program linked with it carries them.
constexpr FrameworkStringEntry kFrameworkStrings[] = {
    {AFX_IDP_PARSE_INT, "Please enter an integer."},
    {AFX_IDP_PARSE_STRING_SIZE, "Please enter no more than %1 characters."},
    {AFX_IDP_PARSE_UINT, "Please enter a positive integer."},
};
} // namespace

LPCSTR afx_internal::FrameworkString(UINT id) {
    for (const auto& s : kFrameworkStrings)
        if (s.id == id) return s.text;
    return nullptr;
}

LPCSTR AFXAPI AfxFindString(UINT id) {
    if (LPCSTR own = res::FindString(id)) return own;
    return afx_internal::FrameworkString(id);
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR appName) {
    if (appName) {
        appName_ = appName;
        m_pszAppName = appName_.c_str();
    }
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

int CWinApp::ExitInstance() {
    return static_cast<int>(m_msgCur.wParam);
}

BOOL CWinApp::PreTranslateMessage(MSG* msg) {
    // The dialog a message belongs to gets it first (its keyboard navigation).
    for (HWND window = msg->hwnd; window; window = ::GetParent(window)) {
        CWnd* wnd = CWnd::FromHandlePermanent(window);
        if (wnd && wnd->PreTranslateMessage(msg)) return TRUE;
        if (!(::GetWindowLongA(window, GWL_STYLE) & WS_CHILD)) break;
    }
    return FALSE;
}

int CWinApp::Run() {
    while (::GetMessageA(&m_msgCur, nullptr, 0, 0)) {
        if (PreTranslateMessage(&m_msgCur)) continue;
        ::TranslateMessage(&m_msgCur);
        ::DispatchMessageA(&m_msgCur);
    }
    return ExitInstance();
}

HICON CWinApp::LoadIcon(UINT id) const {
    return ::LoadIconA(m_hInstance ? m_hInstance : AfxGetInstanceHandle(), MAKEINTRESOURCEA(id));
}

HICON CWinApp::LoadIcon(LPCSTR name) const {
    return ::LoadIconA(m_hInstance ? m_hInstance : AfxGetInstanceHandle(), name);
}

CWinApp* AFXAPI AfxGetApp() {
    return g_app;
}
CWnd* AFXAPI AfxGetMainWnd() {
    return g_app ? g_app->m_pMainWnd : nullptr;
}
HINSTANCE AFXAPI AfxGetInstanceHandle() {
    return g_app && g_app->m_hInstance ? g_app->m_hInstance : ::GetModuleHandleA(nullptr);
}
HINSTANCE AFXAPI AfxGetResourceHandle() {
    return AfxGetInstanceHandle();
}

// The application's name: the one given to CWinApp, else the program's title string, else the
// program's file name without its extension (MFC's order).
LPCSTR AFXAPI AfxGetAppName() {
    if (g_app && g_app->m_pszAppName) return g_app->m_pszAppName;
    if (LPCSTR title = res::FindString(AFX_IDS_APP_TITLE)) return title;
    return g_programName.c_str();
}

int AFXAPI AfxMessageBox(LPCSTR text, UINT type, UINT) {
    HWND owner = ::GetActiveWindow();
    if (!owner) {
        CWnd* main = AfxGetMainWnd();
        owner = main ? main->m_hWnd : nullptr;
    }
    return ::MessageBoxA(owner, text, AfxGetAppName(), type);
}

int AFXAPI AfxMessageBox(UINT textId, UINT type, UINT helpId) {
    CString text;
    text.LoadString(textId);
    return AfxMessageBox(text, type, helpId == static_cast<UINT>(-1) ? textId : helpId);
}

void AFXAPI AfxFormatString1(CString& out, UINT id, LPCSTR text) {
    out.LoadString(id);
    out.Replace("%1", text ? text : "");
}

int AfxWinMain(int argc, char** argv) {
    if (argc > 0 && argv && argv[0]) {
        std::string name = argv[0];
        if (auto slash = name.find_last_of("/\\"); slash != std::string::npos)
            name.erase(0, slash + 1);
        if (auto dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.erase(dot);
        if (!name.empty()) g_programName = name;
    }
    ui::Start();
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    app->m_hInstance = ::GetModuleHandleA(nullptr);
    // The command line as Windows gives it to a program: the arguments after the program name.
    for (int i = 1; i < argc; ++i) {
        if (i > 1) app->cmdLine_ += ' ';
        app->cmdLine_ += argv[i];
    }
    app->m_lpCmdLine = app->cmdLine_.data();
    try {
        if (!app->InitApplication() || !app->InitInstance()) {
            if (app->m_pMainWnd && app->m_pMainWnd->m_hWnd) app->m_pMainWnd->DestroyWindow();
            return app->ExitInstance();
        }
        return app->Run();
    } catch (...) {
        return 1;
    }
}

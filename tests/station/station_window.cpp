// A small program for the window-station tests: a dialog of a class named on its command line,
// with a radio group, a list, an edit with a typing limit, a button that asks a question in a
// message box, one that shows a popup menu, and (with --tray) a tray icon. It writes what
// reaches its handlers, one line each, into the file named after --log.
//
//   station_window CLASS [--tray] [--log FILE]
#include "ui/renderer.h"
#include "win32.h"
#include "win32/shell.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

enum { kAsk = 10, kMenu = 11, kList = 20, kRadioA = 30, kRadioB = 31, kEdit = 40 };
constexpr UINT kTrayMessage = WM_USER + 5;

const char* const kItems[] = {"Zulu", "Alpha", "Mike"};
const res::Control kControls[] = {
    {res::Kind::DefPushButton, IDOK, "OK", WS_TABSTOP, 110, 80, 50, 14},
    {res::Kind::AutoRadio, kRadioA, "Radio A", WS_TABSTOP | WS_GROUP, 10, 10, 60, 10},
    {res::Kind::AutoRadio, kRadioB, "Radio B", 0, 10, 22, 60, 10},
    {res::Kind::ComboBox, kList, "", WS_TABSTOP | WS_GROUP | CBS_SORT, 80, 10, 80, 60},
    {res::Kind::Edit, kEdit, "", WS_TABSTOP | ES_AUTOHSCROLL, 10, 40, 80, 12},
    {res::Kind::PushButton, kAsk, "Ask", WS_TABSTOP, 10, 80, 40, 14},
    {res::Kind::PushButton, kMenu, "Menu", WS_TABSTOP, 60, 80, 40, 14},
};
res::Dialog g_dialog{100,
                     "Station Window",
                     "Arial",
                     9,
                     WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT,
                     0,
                     nullptr,
                     0,
                     0,
                     170,
                     100,
                     kControls,
                     std::size(kControls)};
const res::Module kModule{nullptr, 0, &g_dialog, 1};
const res::Registration kRegistration(&kModule);

FILE* g_log = nullptr;
bool g_tray = false;

void Log(const std::string& line) {
    if (!g_log) return;
    std::fprintf(g_log, "%s\n", line.c_str());
    std::fflush(g_log);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SendDlgItemMessageA(dialog, kEdit, EM_LIMITTEXT, 5, 0);
        for (const char* item : kItems)
            SendDlgItemMessageA(dialog, kList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        CheckRadioButton(dialog, kRadioA, kRadioB, kRadioA);
        if (g_tray) {
            NOTIFYICONDATAA icon{};
            icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
            icon.hWnd = dialog;
            icon.uID = 7;
            icon.uFlags = NIF_MESSAGE | NIF_TIP;
            icon.uCallbackMessage = kTrayMessage;
            std::strcpy(icon.szTip, "Station");
            Shell_NotifyIconA(NIM_ADD, &icon);
        }
        return TRUE;
    case WM_WININICHANGE:
        Log(std::string("wininichange ") + (lParam ? reinterpret_cast<const char*>(lParam) : "0"));
        return TRUE;
    case kTrayMessage:
        Log("tray " + std::to_string(wParam) + " " + std::to_string(lParam));
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kAsk: {
            int answer = MessageBoxA(dialog, "Proceed?", "Question", MB_YESNO | MB_ICONEXCLAMATION);
            Log("answer " + std::to_string(answer));
            return TRUE;
        }
        case kMenu: {
            HMENU menu = CreatePopupMenu();
            AppendMenuA(menu, MF_STRING | MF_CHECKED, 201, "First");
            AppendMenuA(menu, MF_STRING, 202, "Second");
            POINT at{};
            GetCursorPos(&at);
            SetForegroundWindow(dialog);
            TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, dialog, nullptr);
            DestroyMenu(menu);
            return TRUE;
        }
        case kList:
            if (HIWORD(wParam) == CBN_SELCHANGE)
                Log("selchange " +
                    std::to_string(SendDlgItemMessageA(dialog, kList, CB_GETCURSEL, 0, 0)));
            return TRUE;
        case 201:
        case 202:
            Log("command " + std::to_string(LOWORD(wParam)));
            return TRUE;
        case IDOK:
        case IDCANCEL:
            DestroyWindow(dialog);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        Log("close");
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::string className = argv[1];
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tray") == 0) g_tray = true;
        if (std::strcmp(argv[i], "--log") == 0 && i + 1 < argc) g_log = std::fopen(argv[++i], "a");
    }
    ui::Start();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA cls{};
    cls.lpfnWndProc = DefDlgProcA;
    cls.cbWndExtra = DLGWINDOWEXTRA;
    cls.hInstance = instance;
    cls.lpszClassName = className.c_str();
    if (!RegisterClassA(&cls)) return 1;
    g_dialog.windowClass = className.c_str();
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(100), nullptr, DialogProc, 0);
    if (!dialog) return 1;
    ShowWindow(dialog, SW_SHOW);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (IsWindow(dialog) && IsDialogMessageA(dialog, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

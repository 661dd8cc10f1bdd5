// CCmdTarget, CWnd and CDialog: message maps, the handle maps and the dialog procedure.
//
// Map:
//   handle maps     FromHandle, FromHandlePermanent, Attach, Detach
//   dispatch        AfxDlgProc, WindowProc, OnWndMsg, Default
//   CWnd            the wrappers of the Win32 calls, UpdateData
//   CDialog         DoModal, Create, OnInitDialog, OnOK, OnCancel
#include "afx/internal.h"
#include "user/model.h"

#include <memory>
#include <unordered_map>

namespace {

// The objects attached to windows (permanent), and wrappers made for windows that have none
// (temporary, kept until their window is gone). Windows belong to a thread, so do the maps.
thread_local std::unordered_map<HWND, CWnd*> t_permanent;
thread_local std::unordered_map<HWND, std::unique_ptr<CWnd>> t_temporary;
// The dialog object whose window is being created: it is attached at the window's first message.
thread_local CWnd* t_creating = nullptr;

struct CurrentMessage {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
thread_local CurrentMessage t_current;

class MessageScope {
public:
    MessageScope(UINT message, WPARAM wParam, LPARAM lParam) : saved_(t_current) {
        t_current = CurrentMessage{message, wParam, lParam};
    }
    ~MessageScope() { t_current = saved_; }
    MessageScope(const MessageScope&) = delete;
    MessageScope& operator=(const MessageScope&) = delete;

private:
    CurrentMessage saved_;
};

void PurgeTemporaries() {
    for (auto it = t_temporary.begin(); it != t_temporary.end();) {
        if (!IsWindow(it->first)) {
            it->second->m_hWnd = nullptr;
            it = t_temporary.erase(it);
        } else {
            ++it;
        }
    }
}

// Objects still attached to windows that are gone (the controls of a destroyed dialog) let go
// of their handles.
void DetachDead() {
    for (auto it = t_permanent.begin(); it != t_permanent.end();) {
        if (!IsWindow(it->first)) {
            it->second->m_hWnd = nullptr;
            it = t_permanent.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace

// --- CCmdTarget ------------------------------------------------------------------------------

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindEntry(UINT message, UINT code, UINT id) const {
    for (const AFX_MSGMAP* map = GetMessageMap(); map;
         map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn; ++e) {
            if (e->nMessage != message) continue;
            if (message == WM_COMMAND && (e->nCode != code || id < e->nID || id > e->nLastID))
                continue;
            return e;
        }
    }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT id, int code) {
    const AFX_MSGMAP_ENTRY* e = FindEntry(WM_COMMAND, static_cast<UINT>(code) & 0xFFFF, id);
    if (!e) return FALSE;
    e->pfn(this, MAKEWPARAM(id, code), 0);
    return TRUE;
}

// --- handle maps -----------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::~CWnd() {
    // The application's main window pointer never outlives the object it points at (a main
    // dialog that lived on InitInstance's stack, say).
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
    HWND window = m_hWnd;
    if (!window) return;
    if (!temporary_) {
        auto it = t_permanent.find(window);
        if (it != t_permanent.end() && it->second == this) t_permanent.erase(it);
    }
    m_hWnd = nullptr;
    // A dialog whose object goes while its window lives goes with it, as in MFC; its last
    // messages find no object any more and get the default processing.
    if (!temporary_ && IsWindow(window) && !(GetWindowLongA(window, GWL_STYLE) & WS_CHILD))
        ::DestroyWindow(window);
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
    auto it = t_permanent.find(window);
    return it == t_permanent.end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND window) {
    if (!window) return nullptr;
    if (CWnd* permanent = FromHandlePermanent(window)) return permanent;
    auto it = t_temporary.find(window);
    if (it != t_temporary.end()) return it->second.get();
    if (t_temporary.size() > 64) PurgeTemporaries();
    auto wrapper = std::make_unique<CWnd>();
    wrapper->m_hWnd = window;
    wrapper->temporary_ = true;
    CWnd* result = wrapper.get();
    t_temporary.emplace(window, std::move(wrapper));
    return result;
}

BOOL CWnd::Attach(HWND window) {
    if (!window || m_hWnd) return FALSE;
    m_hWnd = window;
    t_permanent[window] = this;
    auto temp = t_temporary.find(window);
    if (temp != t_temporary.end()) {
        temp->second->m_hWnd = nullptr;
        t_temporary.erase(temp);
    }
    return TRUE;
}

HWND CWnd::Detach() {
    HWND window = m_hWnd;
    if (window) {
        auto it = t_permanent.find(window);
        if (it != t_permanent.end() && it->second == this) t_permanent.erase(it);
    }
    m_hWnd = nullptr;
    return window;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    if (!parent) return FALSE;
    HWND control = ::GetDlgItem(parent->m_hWnd, static_cast<int>(id));
    return control ? Attach(control) : FALSE;
}

// --- dispatch --------------------------------------------------------------------------------

INT_PTR CALLBACK AfxDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        CWnd* wnd = CWnd::FromHandlePermanent(window);
        if (!wnd && t_creating) {
            wnd = t_creating;
            t_creating = nullptr;
            wnd->Attach(window);
        }
        if (!wnd) return FALSE;
        LRESULT result = 0;
        BOOL handled;
        {
            MessageScope scope(message, wParam, lParam);
            handled = wnd->OnWndMsg(message, wParam, lParam, &result);
        }
        if (message == WM_NCDESTROY) {
            DetachDead();
            if (wnd->m_hWnd == window) wnd->Detach();
            wnd->PostNcDestroy();
            return FALSE;
        }
        if (!handled) return FALSE;
        if (message == WM_INITDIALOG || message == WM_QUERYDRAGICON)
            return static_cast<INT_PTR>(result);
        SetWindowLongA(window, DWL_MSGRESULT, static_cast<LONG>(result));
        return TRUE;
    } catch (...) {
        // No exception leaves a dialog procedure: the message counts as not handled.
        return FALSE;
    }
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    MessageScope scope(message, wParam, lParam);
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    *result = 0;
    if (message == WM_COMMAND) {
        UINT id = LOWORD(wParam), code = HIWORD(wParam);
        // While data moves between members and controls, the controls' notifications are
        // not handled: exchanging data is not a person's action.
        if (lParam != 0 && inUpdateData_) return TRUE;
        if (OnCmdMsg(id, static_cast<int>(code))) return TRUE;
        // Commands no window handles go to the application (the help command, for one).
        if (CWinApp* app = AfxGetApp(); app && code == 0 && app->OnCmdMsg(id, 0)) return TRUE;
        return FALSE;
    }
    const AFX_MSGMAP_ENTRY* e = FindEntry(message, 0, 0);
    if (!e) return FALSE;
    *result = e->pfn(this, wParam, lParam);
    return TRUE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    auto w = user::Get(m_hWnd);
    if (w && w->kind == user::Kind::Dialog)
        return user::DefDlgDefault(m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(t_current.message, t_current.wParam, t_current.lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

void CWnd::OnSysCommand(UINT, LPARAM) {
    Default();
}
void CWnd::OnDestroy() {
    Default();
}
void CWnd::OnPaint() {
    Default();
}
void CWnd::OnClose() {
    Default();
}
HCURSOR CWnd::OnQueryDragIcon() {
    return reinterpret_cast<HCURSOR>(Default());
}
void CWnd::OnTimer(UINT_PTR) {
    Default();
}

// --- CWnd ------------------------------------------------------------------------------------

BOOL CWnd::DestroyWindow() {
    HWND window = m_hWnd;
    return window ? ::DestroyWindow(window) : FALSE;
}

CWnd* CWnd::GetDlgItem(int id) const {
    return FromHandle(::GetDlgItem(m_hWnd, id));
}
CWnd* CWnd::GetParent() const {
    return FromHandle(::GetParent(m_hWnd));
}

void CWnd::GetWindowText(CString& text) const {
    int length = ::GetWindowTextLengthA(m_hWnd);
    ::GetWindowTextA(m_hWnd, text.GetBuffer(length), length + 1);
    text.ReleaseBuffer();
}

int CWnd::GetDlgItemText(int id, CString& text) const {
    text.Empty();
    if (CWnd* item = GetDlgItem(id)) item->GetWindowText(text);
    return text.GetLength();
}

int CWnd::GetCheckedRadioButton(int firstId, int lastId) const {
    for (int id = firstId; id <= lastId; ++id)
        if (::IsDlgButtonChecked(m_hWnd, id)) return id;
    return 0;
}

CMenu* CWnd::GetSystemMenu(BOOL revert) const {
    HMENU menu = ::GetSystemMenu(m_hWnd, revert);
    return menu ? CMenu::FromHandle(menu) : nullptr;
}

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

HICON CWnd::GetIcon(BOOL bigIcon) const {
    return reinterpret_cast<HICON>(SendMessage(WM_GETICON, bigIcon ? ICON_BIG : ICON_SMALL));
}

CWnd* CWnd::SetFocus() {
    return FromHandle(::SetFocus(m_hWnd));
}
CWnd* CWnd::GetFocus() {
    return FromHandle(::GetFocus());
}

int CWnd::MessageBox(LPCSTR text, LPCSTR caption, UINT type) {
    return ::MessageBoxA(m_hWnd, text, caption ? caption : AfxGetAppName(), type);
}

BOOL CWnd::WinHelp(ULONG_PTR data, UINT command) {
    return ::WinHelpA(m_hWnd, nullptr, command, data);
}

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    bool outer = inUpdateData_;
    inUpdateData_ = true;
    BOOL ok = TRUE;
    try {
        DoDataExchange(&dx);
    } catch (const afx_internal::DataExchangeFailed&) {
        ok = FALSE;
    }
    inUpdateData_ = outer;
    return ok;
}

// --- CDialog ---------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

namespace {
// A dialog without a parent is owned by the application's main window, unless it is that window.
HWND OwnerFor(CDialog* dialog, CWnd* parent) {
    if (parent && parent->m_hWnd) return parent->m_hWnd;
    CWnd* main = AfxGetMainWnd();
    if (main && main != dialog && main->m_hWnd) return main->m_hWnd;
    return nullptr;
}
} // namespace

INT_PTR CDialog::DoModal() {
    HWND owner = OwnerFor(this, m_pParentWnd);
    CWnd* savedCreating = t_creating;
    t_creating = this;
    INT_PTR result = ::DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDHelp), owner,
                                       AfxDlgProc, 0);
    t_creating = savedCreating;
    if (m_hWnd && !IsWindow(m_hWnd)) Detach();
    return result;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    m_nIDHelp = templateId;
    m_pParentWnd = parent;
    CWnd* savedCreating = t_creating;
    t_creating = this;
    HWND window = ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(templateId),
                                       OwnerFor(this, parent), AfxDlgProc, 0);
    t_creating = savedCreating;
    return window != nullptr && m_hWnd == window;
}

void CDialog::EndDialog(int result) {
    ::EndDialog(m_hWnd, result);
}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_INITDIALOG) {
        *result = OnInitDialog();
        return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    return m_hWnd && ::IsDialogMessageA(m_hWnd, msg);
}

void CDialog::ExecuteDlgInit() {
    const res::Dialog* d = res::FindDialog(m_nIDHelp);
    if (!d) return;
    for (size_t i = 0; i < d->controlCount; ++i) {
        const res::Control& c = d->controls[i];
        for (size_t k = 0; k < c.itemCount; ++k)
            ::SendDlgItemMessageA(m_hWnd, c.id, CB_ADDSTRING, 0,
                                  reinterpret_cast<LPARAM>(c.items[k]));
    }
}

BOOL CDialog::OnInitDialog() {
    ExecuteDlgInit();
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return; // the dialog stays open on the control that failed
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

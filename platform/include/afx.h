// The MFC-like framework the control panels are written in: application object, windows and
// dialogs, message maps, data exchange and validation, the string class, the combo-box and menu
// wrappers and the paint context. Names and behaviour follow MFC where a program can observe
// them; the insides are this project's own.
//
// Map:
//   macros and ids        afx_msg, ASSERT, ID_HELP, the framework's string ids
//   CString
//   message maps          AFX_MSGMAP, DECLARE_MESSAGE_MAP, BEGIN_MESSAGE_MAP, ON_...
//   CCmdTarget, CWnd, CDialog, CWinApp
//   controls and GDI      CComboBox, CButton, CEdit, CMenu, CDC, CPaintDC, CRect, CPoint
//   data exchange         CDataExchange, DDX_..., DDV_...
//   globals               AfxGetApp, AfxMessageBox, AfxFormatString1...
//
// The framework provides the program's `main` (in platform_afx): it starts the renderer that
// SELVANE_UI chooses, runs the global CWinApp's InitInstance and, when that returns TRUE, its
// message loop (Run), then ends with ExitInstance's code.
#pragma once

#include "win32.h"

#include <cstdarg>
#include <cstddef>
#include <string>

#define _T(s) s
#define afx_msg
#define AFXAPI
#define PASCAL
#define AFX_CDECL
#define DEBUG_NEW new
#define ASSERT(f) ((void)0)
#define VERIFY(f) ((void)(f))
#define ASSERT_VALID(p) ((void)0)
#define TRACE(...) ((void)0)
#define TRACE0(s) ((void)0)
#define DECLARE_DYNAMIC(c)
#define IMPLEMENT_DYNAMIC(c, b)
#define DECLARE_DYNCREATE(c)
#define IMPLEMENT_DYNCREATE(c, b)

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
#define ID_HELP 0xE146
#define AFX_IDS_APP_TITLE 0xE000
#define AFX_IDP_PARSE_INT 0xF110
#define AFX_IDP_PARSE_STRING_SIZE 0xF114
#define AFX_IDP_PARSE_UINT 0xF117

class CWnd;
class CDialog;
class CWinApp;
class CMenu;
class CDataExchange;

// --- CString ---------------------------------------------------------------------------------

class CString {
public:
    CString() = default;
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString(LPCSTR text) : s_(text ? text : "") {}
    CString(LPCSTR text, int length)
        : s_(text ? text : "", text ? static_cast<size_t>(length) : 0) {}
    CString(char ch, int repeat = 1) : s_(static_cast<size_t>(repeat > 0 ? repeat : 0), ch) {}
    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(LPCSTR text) {
        s_ = text ? text : "";
        return *this;
    }
    CString& operator=(char ch) {
        s_.assign(1, ch);
        return *this;
    }

    int GetLength() const { return static_cast<int>(s_.size()); }
    BOOL IsEmpty() const { return s_.empty(); }
    void Empty() { s_.clear(); }
    operator LPCSTR() const { return s_.c_str(); }
    char GetAt(int i) const { return s_[static_cast<size_t>(i)]; }
    char operator[](int i) const { return s_[static_cast<size_t>(i)]; }
    void SetAt(int i, char ch) { s_[static_cast<size_t>(i)] = ch; }

    // A buffer of at least `minLength` characters plus the terminator; the text up to the first
    // zero counts again after ReleaseBuffer.
    LPSTR GetBuffer(int minLength = 0);
    LPSTR GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

    BOOL LoadString(UINT id);
    void Format(LPCSTR format, ...);
    void FormatV(LPCSTR format, va_list arguments);
    void Format(UINT formatId, ...);

    CString& operator+=(const CString& other) {
        s_ += other.s_;
        return *this;
    }
    CString& operator+=(LPCSTR text) {
        if (text) s_ += text;
        return *this;
    }
    CString& operator+=(char ch) {
        s_ += ch;
        return *this;
    }
    friend CString operator+(const CString& a, const CString& b) { return CString(a.s_ + b.s_); }
    friend CString operator+(const CString& a, LPCSTR b) { return CString(a.s_ + (b ? b : "")); }
    friend CString operator+(LPCSTR a, const CString& b) { return CString((a ? a : "") + b.s_); }
    friend CString operator+(const CString& a, char b) { return CString(a.s_ + b); }

    int Compare(LPCSTR other) const;
    int CompareNoCase(LPCSTR other) const;
    friend bool operator==(const CString& a, const CString& b) { return a.s_ == b.s_; }
    friend bool operator==(const CString& a, LPCSTR b) { return a.Compare(b) == 0; }
    friend bool operator==(LPCSTR a, const CString& b) { return b.Compare(a) == 0; }
    friend bool operator!=(const CString& a, const CString& b) { return a.s_ != b.s_; }
    friend bool operator!=(const CString& a, LPCSTR b) { return a.Compare(b) != 0; }
    friend bool operator!=(LPCSTR a, const CString& b) { return b.Compare(a) != 0; }
    friend bool operator<(const CString& a, const CString& b) { return a.s_ < b.s_; }
    friend bool operator>(const CString& a, const CString& b) { return a.s_ > b.s_; }
    friend bool operator<=(const CString& a, const CString& b) { return a.s_ <= b.s_; }
    friend bool operator>=(const CString& a, const CString& b) { return a.s_ >= b.s_; }

    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Right(int count) const;
    int Find(char ch, int start = 0) const;
    int Find(LPCSTR sub, int start = 0) const;
    int ReverseFind(char ch) const;
    int Replace(LPCSTR from, LPCSTR to);
    int Replace(char from, char to);
    void MakeUpper();
    void MakeLower();
    void TrimLeft();
    void TrimRight();

    const std::string& str() const { return s_; }

private:
    explicit CString(std::string s) : s_(std::move(s)) {}
    std::string s_;
};

// --- message maps ----------------------------------------------------------------------------

class CCmdTarget;
typedef LRESULT (*AFX_THUNK)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage; // WM_COMMAND for commands and control notifications
    UINT nCode;    // the notification code of WM_COMMAND
    UINT nID;      // first control id
    UINT nLastID;  // last control id
    AFX_THUNK pfn; // calls the handler with the message's arguments
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

namespace afx_detail {
template <class> struct MemberOf;
template <class C, class R, class... A> struct MemberOf<R (C::*)(A...)> { using type = C; };
template <auto F> typename MemberOf<decltype(F)>::type* Self(CCmdTarget* target) {
    return static_cast<typename MemberOf<decltype(F)>::type*>(target);
}
// One thunk per handler shape.
template <auto F> LRESULT Void(CCmdTarget* t, WPARAM, LPARAM) {
    (Self<F>(t)->*F)();
    return 0;
}
template <auto F> LRESULT SysCommand(CCmdTarget* t, WPARAM w, LPARAM l) {
    (Self<F>(t)->*F)(static_cast<UINT>(w), l);
    return 0;
}
template <auto F> LRESULT Handle(CCmdTarget* t, WPARAM, LPARAM) {
    return reinterpret_cast<LRESULT>((Self<F>(t)->*F)());
}
template <auto F> LRESULT Timer(CCmdTarget* t, WPARAM w, LPARAM) {
    (Self<F>(t)->*F)(static_cast<UINT_PTR>(w));
    return 0;
}
template <auto F> LRESULT Message(CCmdTarget* t, WPARAM w, LPARAM l) {
    return (Self<F>(t)->*F)(w, l);
}
} // namespace afx_detail

#define DECLARE_MESSAGE_MAP()                                                                      \
protected:                                                                                         \
    static const AFX_MSGMAP* GetThisMessageMap();                                                  \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const {                                            \
        return GetThisMessageMap();                                                                \
    }                                                                                              \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                              \
        typedef theClass ThisClass [[maybe_unused]];                                               \
        typedef baseClass TheBaseClass;                                                            \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                          \
    { 0, 0, 0, 0, nullptr }                                                                        \
    }                                                                                              \
    ;                                                                                              \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]};  \
    return &messageMap;                                                                            \
    }

#define ON_COMMAND(id, memberFxn)                                                                  \
    {WM_COMMAND, 0, (UINT)(id), (UINT)(id), &afx_detail::Void<&ThisClass::memberFxn>},
#define ON_CONTROL(code, id, memberFxn)                                                            \
    {WM_COMMAND, (UINT)(code), (UINT)(id), (UINT)(id), &afx_detail::Void<&ThisClass::memberFxn>},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_BN_DOUBLECLICKED(id, memberFxn) ON_CONTROL(BN_DBLCLK, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_CBN_SELENDOK(id, memberFxn) ON_CONTROL(CBN_SELENDOK, id, memberFxn)
#define ON_CBN_KILLFOCUS(id, memberFxn) ON_CONTROL(CBN_KILLFOCUS, id, memberFxn)
#define ON_EN_KILLFOCUS(id, memberFxn) ON_CONTROL(EN_KILLFOCUS, id, memberFxn)
#define ON_EN_SETFOCUS(id, memberFxn) ON_CONTROL(EN_SETFOCUS, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_WM_SYSCOMMAND()                                                                         \
    {WM_SYSCOMMAND, 0, 0, 0, &afx_detail::SysCommand<&ThisClass::OnSysCommand>},
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, 0, &afx_detail::Void<&ThisClass::OnDestroy>},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, 0, &afx_detail::Void<&ThisClass::OnPaint>},
#define ON_WM_CLOSE() {WM_CLOSE, 0, 0, 0, &afx_detail::Void<&ThisClass::OnClose>},
#define ON_WM_QUERYDRAGICON()                                                                      \
    {WM_QUERYDRAGICON, 0, 0, 0, &afx_detail::Handle<&ThisClass::OnQueryDragIcon>},
#define ON_WM_TIMER() {WM_TIMER, 0, 0, 0, &afx_detail::Timer<&ThisClass::OnTimer>},
#define ON_MESSAGE(message, memberFxn)                                                             \
    {(UINT)(message), 0, 0, 0, &afx_detail::Message<&ThisClass::memberFxn>},

// --- CCmdTarget, CWnd ------------------------------------------------------------------------

class CObject {
public:
    virtual ~CObject() = default;
};

class CCmdTarget : public CObject {
public:
    // Runs the handler of WM_COMMAND (id, code) from the message map; FALSE when none.
    virtual BOOL OnCmdMsg(UINT id, int code);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
    // The entry of the map chain for a message, or null.
    const AFX_MSGMAP_ENTRY* FindEntry(UINT message, UINT code, UINT id) const;
    friend class CWnd;
};

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    static CWnd* FromHandle(HWND window);          // permanent or a temporary wrapper
    static CWnd* FromHandlePermanent(HWND window); // only an attached object
    BOOL Attach(HWND window);
    HWND Detach();
    BOOL SubclassDlgItem(UINT id, CWnd* parent);

    CWnd* GetDlgItem(int id) const;
    CWnd* GetParent() const;
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    BOOL DestroyWindow();
    void SetWindowText(LPCSTR text) { ::SetWindowTextA(m_hWnd, text); }
    int GetWindowText(LPSTR buffer, int bufferMax) const {
        return ::GetWindowTextA(m_hWnd, buffer, bufferMax);
    }
    void GetWindowText(CString& text) const;
    int GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendDlgItemMessageA(m_hWnd, id, message, wParam, lParam);
    }
    void SetDlgItemText(int id, LPCSTR text) { ::SetDlgItemTextA(m_hWnd, id, text); }
    int GetDlgItemText(int id, LPSTR buffer, int bufferMax) const {
        return static_cast<int>(::GetDlgItemTextA(m_hWnd, id, buffer, bufferMax));
    }
    int GetDlgItemText(int id, CString& text) const;
    void SetDlgItemInt(int id, UINT value, BOOL isSigned = TRUE) {
        ::SetDlgItemInt(m_hWnd, id, value, isSigned);
    }
    UINT GetDlgItemInt(int id, BOOL* translated = nullptr, BOOL isSigned = TRUE) const {
        return ::GetDlgItemInt(m_hWnd, id, translated, isSigned);
    }
    void CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }
    UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
    void CheckRadioButton(int firstId, int lastId, int checkId) {
        ::CheckRadioButton(m_hWnd, firstId, lastId, checkId);
    }
    int GetCheckedRadioButton(int firstId, int lastId) const;
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    CMenu* GetSystemMenu(BOOL revert) const;
    HICON SetIcon(HICON icon, BOOL bigIcon);
    HICON GetIcon(BOOL bigIcon) const;
    void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
    CWnd* SetFocus();
    static CWnd* GetFocus();
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
    int MessageBox(LPCSTR text, LPCSTR caption = nullptr, UINT type = MB_OK);
    BOOL WinHelp(ULONG_PTR data, UINT command = HELP_CONTEXT);

    // Data exchange: FALSE when validation failed (the dialog then stays as it is).
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    // The message's way in: the map, then the default processing.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL PreTranslateMessage(MSG* msg);

protected:
    virtual void DoDataExchange(CDataExchange* dx);
    virtual void PostNcDestroy() {}
    // The default processing of the message being handled.
    LRESULT Default();

    afx_msg void OnSysCommand(UINT id, LPARAM lParam);
    afx_msg void OnDestroy();
    afx_msg void OnPaint();
    afx_msg void OnClose();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnTimer(UINT_PTR id);

    friend class CDataExchange;
    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);

private:
    bool temporary_ = false;
    bool inUpdateData_ = false;
    DECLARE_MESSAGE_MAP()
};

// The dialog procedure of every framework dialog: hands messages to the CWnd of the window.
INT_PTR CALLBACK AfxDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class CDialog : public CWnd {
public:
    CDialog() = default;
    explicit CDialog(UINT templateId, CWnd* parent = nullptr)
        : m_nIDHelp(templateId), m_pParentWnd(parent) {}

    virtual INT_PTR DoModal();
    // A modeless dialog.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    void EndDialog(int result);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL PreTranslateMessage(MSG* msg) override;

    UINT m_nIDHelp = 0; // the template
    CWnd* m_pParentWnd = nullptr;

protected:
    // Adds the template's list initialisation data to its lists.
    void ExecuteDlgInit();
    DECLARE_MESSAGE_MAP()
};

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCSTR appName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitApplication() { return TRUE; }
    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance();
    virtual int Run();
    virtual BOOL PreTranslateMessage(MSG* msg);

    BOOL Enable3dControls() { return TRUE; }       // every control has that look already
    BOOL Enable3dControlsStatic() { return TRUE; } // the same, for a statically linked program
    HICON LoadIcon(UINT id) const;
    HICON LoadIcon(LPCSTR name) const;
    HICON LoadStandardIcon(LPCSTR name) const { return ::LoadIconA(nullptr, name); }
    HCURSOR LoadStandardCursor(LPCSTR name) const { return ::LoadCursorA(nullptr, name); }

    afx_msg void OnHelp() {}

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPCSTR m_pszAppName = nullptr;
    LPSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = SW_SHOWNORMAL;
    MSG m_msgCur{};

    DECLARE_MESSAGE_MAP()

private:
    std::string appName_;
    std::string cmdLine_;
    friend int AfxWinMain(int argc, char** argv);
};

// --- controls, menus, device contexts --------------------------------------------------------

class CComboBox : public CWnd {
public:
    int AddString(LPCSTR text) {
        return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    int InsertString(int index, LPCSTR text) {
        return static_cast<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(index),
                                            reinterpret_cast<LPARAM>(text)));
    }
    int DeleteString(UINT index) { return static_cast<int>(SendMessage(CB_DELETESTRING, index)); }
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int index) {
        return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index)));
    }
    int GetLBText(int index, LPSTR buffer) const {
        return static_cast<int>(SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index),
                                            reinterpret_cast<LPARAM>(buffer)));
    }
    void GetLBText(int index, CString& text) const;
    int GetLBTextLen(int index) const {
        return static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index)));
    }
    int FindStringExact(int start, LPCSTR text) const {
        return static_cast<int>(SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(start),
                                            reinterpret_cast<LPARAM>(text)));
    }
    int SelectString(int start, LPCSTR text) {
        return static_cast<int>(SendMessage(CB_SELECTSTRING, static_cast<WPARAM>(start),
                                            reinterpret_cast<LPARAM>(text)));
    }
    DWORD_PTR GetItemData(int index) const {
        return static_cast<DWORD_PTR>(SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index)));
    }
    int SetItemData(int index, DWORD_PTR data) {
        return static_cast<int>(
            SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
    }
};

class CButton : public CWnd {
public:
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
};

class CEdit : public CWnd {
public:
    void LimitText(int chars = 0) { SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(chars)); }
    void SetLimitText(UINT chars) { SendMessage(EM_LIMITTEXT, chars); }
    void SetSel(int start, int end) { SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end); }
};

class CStatic : public CWnd {};

class CMenu : public CObject {
public:
    CMenu() = default;
    ~CMenu() override;
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    HMENU m_hMenu = nullptr;
    HMENU GetSafeHmenu() const { return m_hMenu; }
    operator HMENU() const { return m_hMenu; }
    static CMenu* FromHandle(HMENU menu);
    BOOL Attach(HMENU menu);
    HMENU Detach();

    BOOL LoadMenu(UINT id);
    BOOL CreatePopupMenu();
    BOOL DestroyMenu();
    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, LPCSTR text = nullptr) {
        return ::AppendMenuA(m_hMenu, flags, id, text);
    }
    BOOL InsertMenu(UINT position, UINT flags, UINT_PTR id = 0, LPCSTR text = nullptr) {
        return ::InsertMenuA(m_hMenu, position, flags, id, text);
    }
    BOOL RemoveMenu(UINT position, UINT flags) { return ::RemoveMenu(m_hMenu, position, flags); }
    BOOL DeleteMenu(UINT position, UINT flags) { return ::DeleteMenu(m_hMenu, position, flags); }
    UINT CheckMenuItem(UINT item, UINT check) {
        return static_cast<UINT>(::CheckMenuItem(m_hMenu, item, check));
    }
    UINT EnableMenuItem(UINT item, UINT enable) {
        return static_cast<UINT>(::EnableMenuItem(m_hMenu, item, enable));
    }
    CMenu* GetSubMenu(int position) const;
    int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
    UINT GetMenuItemID(int position) const { return ::GetMenuItemID(m_hMenu, position); }
    BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, LPCRECT rect = nullptr) {
        return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner ? owner->m_hWnd : nullptr, rect);
    }

private:
    bool temporary_ = false;
};

class CDC : public CObject {
public:
    HDC m_hDC = nullptr;
    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }
    BOOL DrawIcon(POINT point, HICON icon) { return ::DrawIcon(m_hDC, point.x, point.y, icon); }
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC() override;
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    PAINTSTRUCT m_ps{};

private:
    HWND hWnd_;
};

class CPoint : public POINT {
public:
    CPoint() : POINT{0, 0} {}
    CPoint(int x0, int y0) : POINT{x0, y0} {}
};

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    CRect(const RECT& r) : RECT(r) {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }
};

// --- data exchange ---------------------------------------------------------------------------

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate)
        : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    HWND m_hWndLastControl = nullptr;
    BOOL m_bEditLastControl = FALSE;

    HWND PrepareCtrl(int id);
    HWND PrepareEditCtrl(int id);
    // Validation failed: the focus goes to the last control (an edit with its text selected),
    // and the exchange stops; UpdateData returns FALSE.
    [[noreturn]] void Fail();
};

void AFXAPI DDX_Control(CDataExchange* dx, int id, CWnd& control);
void AFXAPI DDX_Radio(CDataExchange* dx, int id, int& value);
void AFXAPI DDX_Text(CDataExchange* dx, int id, CString& value);
void AFXAPI DDX_Text(CDataExchange* dx, int id, int& value);
void AFXAPI DDX_Text(CDataExchange* dx, int id, UINT& value);
void AFXAPI DDX_Check(CDataExchange* dx, int id, int& value);
void AFXAPI DDX_CBIndex(CDataExchange* dx, int id, int& index);
void AFXAPI DDV_MaxChars(CDataExchange* dx, const CString& value, int count);

// --- globals ---------------------------------------------------------------------------------

CWinApp* AFXAPI AfxGetApp();
CWnd* AFXAPI AfxGetMainWnd();
HINSTANCE AFXAPI AfxGetInstanceHandle();
HINSTANCE AFXAPI AfxGetResourceHandle();
LPCSTR AFXAPI AfxGetAppName();
int AFXAPI AfxMessageBox(LPCSTR text, UINT type = MB_OK, UINT helpId = 0);
int AFXAPI AfxMessageBox(UINT textId, UINT type = MB_OK, UINT helpId = static_cast<UINT>(-1));
// `out` = string `id` with "%1" replaced by `text`.
void AFXAPI AfxFormatString1(CString& out, UINT id, LPCSTR text);
// The text of string `id`: the program's own, else the framework's; null when neither has it.
LPCSTR AFXAPI AfxFindString(UINT id);

inline void AFXAPI AfxEnableControlContainer() {} // no ActiveX controls here

// What the framework's `main` runs; a test may call it to run the global application.
int AfxWinMain(int argc, char** argv);

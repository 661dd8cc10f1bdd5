// CMenu, the paint context and the combo box's text access.
#include "afx/internal.h"

#include <memory>
#include <unordered_map>

namespace {
// Wrappers for menus the program holds no CMenu of (the system menu, submenus).
thread_local std::unordered_map<HMENU, std::unique_ptr<CMenu>> t_menus;
} // namespace

CMenu::~CMenu() {
    // A CMenu owns the menu it loaded or created, as in MFC; a wrapper owns nothing.
    if (m_hMenu && !temporary_) ::DestroyMenu(m_hMenu);
}

CMenu* CMenu::FromHandle(HMENU menu) {
    if (!menu) return nullptr;
    auto it = t_menus.find(menu);
    if (it != t_menus.end()) return it->second.get();
    if (t_menus.size() > 64) {
        for (auto i = t_menus.begin(); i != t_menus.end();)
            i = ::IsMenu(i->first) ? std::next(i) : t_menus.erase(i);
    }
    auto wrapper = std::make_unique<CMenu>();
    wrapper->m_hMenu = menu;
    wrapper->temporary_ = true;
    CMenu* result = wrapper.get();
    t_menus.emplace(menu, std::move(wrapper));
    return result;
}

BOOL CMenu::Attach(HMENU menu) {
    if (!menu || m_hMenu) return FALSE;
    m_hMenu = menu;
    return TRUE;
}

HMENU CMenu::Detach() {
    HMENU menu = m_hMenu;
    m_hMenu = nullptr;
    return menu;
}

BOOL CMenu::LoadMenu(UINT id) {
    return Attach(::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id)));
}

BOOL CMenu::CreatePopupMenu() {
    return Attach(::CreatePopupMenu());
}

BOOL CMenu::DestroyMenu() {
    HMENU menu = Detach();
    return menu ? ::DestroyMenu(menu) : FALSE;
}

CMenu* CMenu::GetSubMenu(int position) const {
    return FromHandle(::GetSubMenu(m_hMenu, position));
}

CPaintDC::CPaintDC(CWnd* window) : hWnd_(window ? window->m_hWnd : nullptr) {
    m_hDC = ::BeginPaint(hWnd_, &m_ps);
}

CPaintDC::~CPaintDC() {
    ::EndPaint(hWnd_, &m_ps);
}

void CComboBox::GetLBText(int index, CString& text) const {
    int length = GetLBTextLen(index);
    if (length < 0) {
        text.Empty();
        return;
    }
    GetLBText(index, text.GetBuffer(length));
    text.ReleaseBuffer();
}

// Person-like actions on the window model.
#include "ui/automation.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace ui::automation {
namespace {

// A control a person can reach: it and its window are enabled and visible, and no modal window
// owned by it is in the way (its window is then disabled).
HWND Reachable(HWND window, int id) {
    HWND control = GetDlgItem(window, id);
    if (!control || !IsWindowEnabled(window) || !IsWindowEnabled(control) ||
        !IsWindowVisible(control))
        return nullptr;
    return control;
}

} // namespace

std::vector<HWND> Windows() {
    return user::TopLevelWindows();
}

HWND Find(std::string_view target) {
    auto windows = Windows();
    if (target.substr(0, 6) == "title:") {
        std::string_view title = target.substr(6);
        for (auto it = windows.rbegin(); it != windows.rend(); ++it)
            if (auto w = user::Get(*it); w && w->text == title) return *it;
        return nullptr;
    }
    std::string text(target);
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str(), &end, 16);
    if (end && *end == '\0' && !text.empty()) {
        auto hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
        if (std::find(windows.begin(), windows.end(), hwnd) != windows.end()) return hwnd;
    }
    return FindWindowA(text.c_str(), nullptr);
}

std::vector<ControlState> Controls(HWND window) {
    std::vector<ControlState> out;
    auto w = user::Get(window);
    if (!w) return out;
    for (HWND child : w->children) {
        auto c = user::Get(child);
        if (!c) continue;
        ControlState s;
        s.hwnd = child;
        s.id = c->id;
        s.kind = user::KindName(c->kind);
        s.enabled = !(c->style & WS_DISABLED);
        s.visible = (c->style & WS_VISIBLE) != 0;
        s.checked = c->check == BST_CHECKED;
        if (c->kind == user::Kind::Combo) {
            s.items = c->items;
            s.sel = c->sel;
            s.text = c->sel >= 0 ? c->items[static_cast<size_t>(c->sel)] : "";
        } else {
            s.text = c->text;
        }
        out.push_back(std::move(s));
    }
    return out;
}

std::optional<ControlState> Control(HWND window, int id) {
    for (auto& c : Controls(window))
        if (c.id == id) return c;
    return std::nullopt;
}

std::string Describe(const ControlState& c) {
    std::string line = std::to_string(c.id) + " " + c.kind + (c.enabled ? " enabled" : " disabled");
    if (c.checked) line += " checked";
    line += " \"" + c.text + "\"";
    if (c.kind == "combo") {
        line += " sel=" + std::to_string(c.sel) + " items=\"";
        for (size_t i = 0; i < c.items.size(); ++i)
            line += (i ? "|" : "") + c.items[i];
        line += "\"";
    }
    return line;
}

bool Click(HWND window, int id) {
    user::SetShiftDown(false);
    HWND control = Reachable(window, id);
    auto c = user::Get(control);
    if (!c) return false;
    switch (c->kind) {
    case user::Kind::Button:
    case user::Kind::DefButton:
    case user::Kind::Radio:
    case user::Kind::CheckBox:
        SendMessageA(control, BM_CLICK, 0, 0);
        return true;
    case user::Kind::Edit:
    case user::Kind::Combo:
        SetFocus(control);
        return true;
    default:
        return false;
    }
}

bool Select(HWND window, int id, int index) {
    user::SetShiftDown(false);
    HWND control = Reachable(window, id);
    auto c = user::Get(control);
    if (!c || c->kind != user::Kind::Combo || index < 0 ||
        index >= static_cast<int>(c->items.size()))
        return false;
    SetFocus(control);
    SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    // A person's pick, unlike the program's CB_SETCURSEL, tells the parent.
    SendMessageA(c->parent, WM_COMMAND, MAKEWPARAM(c->id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(control));
    return true;
}

bool Type(HWND window, int id, std::string_view text, bool leave) {
    user::SetShiftDown(false);
    HWND control = Reachable(window, id);
    auto c = user::Get(control);
    if (!c || c->kind != user::Kind::Edit) return false;
    SetFocus(control);
    SendMessageA(control, EM_SETSEL, 0, -1);
    for (char ch : text)
        if (IsWindow(control)) SendMessageA(control, WM_CHAR, static_cast<unsigned char>(ch), 0);
    if (leave && IsWindow(control) && GetFocus() == control)
        SetFocus(GetNextDlgTabItem(window, control, FALSE));
    return true;
}

bool Press(HWND window, Key key) {
    if (!IsWindow(window) || !IsWindowEnabled(window)) return false;
    WPARAM vk = 0;
    user::SetShiftDown(key == Key::ShiftTab);
    switch (key) {
    case Key::Enter:
        vk = VK_RETURN;
        break;
    case Key::Escape:
        vk = VK_ESCAPE;
        break;
    case Key::Tab:
    case Key::ShiftTab:
        vk = VK_TAB;
        break;
    case Key::Up:
        vk = VK_UP;
        break;
    case Key::Down:
        vk = VK_DOWN;
        break;
    case Key::Left:
        vk = VK_LEFT;
        break;
    case Key::Right:
        vk = VK_RIGHT;
        break;
    }
    // The key goes where the focus is, through the queue of the loop that runs.
    HWND focus = GetFocus();
    HWND target = (focus && (focus == window || GetParent(focus) == window)) ? focus : window;
    return PostMessageA(target, WM_KEYDOWN, vk, 0) != FALSE;
}

bool CloseBox(HWND window) {
    auto w = user::Get(window);
    if (!w || !(w->style & WS_SYSMENU) || !IsWindowEnabled(window)) return false;
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return true;
}

bool Close(HWND window) {
    if (!IsWindow(window)) return false;
    SendMessageA(window, WM_CLOSE, 0, 0);
    return true;
}

std::vector<user::MenuItem> SystemMenu(HWND window) {
    HMENU menu = GetSystemMenu(window, FALSE);
    return menu ? user::MenuItems(menu) : std::vector<user::MenuItem>{};
}

bool ChooseSystemMenu(HWND window, UINT id) {
    if (!IsWindowEnabled(window)) return false;
    for (const auto& item : SystemMenu(window)) {
        if (item.id != id || (item.flags & (MF_SEPARATOR | MF_POPUP | MF_GRAYED | MF_DISABLED)))
            continue;
        SendMessageA(window, WM_SYSCOMMAND, id, 0);
        return true;
    }
    return false;
}

std::optional<std::vector<user::MenuItem>> PopupMenu() {
    user::Popup* popup = user::ShownPopup();
    if (!popup || popup->done) return std::nullopt;
    return user::MenuItems(popup->menu);
}

bool Pick(UINT id) {
    user::Popup* popup = user::ShownPopup();
    if (!popup || popup->done) return false;
    for (const auto& item : user::MenuItems(popup->menu)) {
        if (item.id != id || (item.flags & (MF_SEPARATOR | MF_POPUP | MF_GRAYED | MF_DISABLED)))
            continue;
        popup->picked = id;
        popup->done = true;
        return true;
    }
    return false;
}

bool DismissPopup() {
    user::Popup* popup = user::ShownPopup();
    if (!popup || popup->done) return false;
    popup->picked = 0;
    popup->done = true;
    return true;
}

std::optional<MessageBoxState> MessageBox() {
    auto windows = Windows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        auto w = user::Get(*it);
        if (!w || !w->messageBox || !(w->style & WS_VISIBLE)) continue;
        return MessageBoxState{*it, w->boxStyle, w->text, w->boxText};
    }
    return std::nullopt;
}

bool Answer(int id) {
    auto box = MessageBox();
    if (!box) return false;
    auto c = user::Get(GetDlgItem(box->hwnd, id));
    if (!c || c->className != "BUTTON") return false;
    return Click(box->hwnd, id);
}

} // namespace ui::automation

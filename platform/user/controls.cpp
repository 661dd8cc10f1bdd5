// The controls of the system classes: buttons (push, default, radio, check, group box), edits,
// statics (text, etched line, picture) and drop-down lists, with their Windows behaviour.
#include "user/internal.h"

#include <algorithm>
#include <cstring>

namespace user {
namespace {

Kind ButtonKind(DWORD style) {
    switch (style & BS_TYPEMASK) {
    case BS_DEFPUSHBUTTON:
        return Kind::DefButton;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        return Kind::Radio;
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
        return Kind::CheckBox;
    case BS_GROUPBOX:
        return Kind::Group;
    }
    return Kind::Button;
}

Kind StaticKind(DWORD style) {
    switch (style & SS_TYPEMASK) {
    case SS_ETCHEDHORZ:
    case SS_ETCHEDVERT:
    case SS_ETCHEDFRAME:
        return Kind::Line;
    case SS_BITMAP:
    case SS_ICON:
        return Kind::Picture;
    }
    return Kind::Static;
}

LRESULT CopyText(const std::string& text, WPARAM size, LPARAM buffer) {
    if (size == 0 || !buffer) return 0;
    size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(reinterpret_cast<char*>(buffer), text.data(), n);
    reinterpret_cast<char*>(buffer)[n] = '\0';
    return static_cast<LRESULT>(n);
}

// Whether a control of this window's kind is set up by the control's own procedure; a window
// created with CreateWindowExA gets its kind here.
void EnsureKind(Window& w) {
    if (w.kind != Kind::Window) return;
    if (w.className == "BUTTON")
        w.kind = ButtonKind(w.style);
    else if (w.className == "STATIC")
        w.kind = StaticKind(w.style);
    else if (w.className == "EDIT")
        w.kind = Kind::Edit;
    else if (w.className == "COMBOBOX")
        w.kind = Kind::Combo;
}

} // namespace

bool IsRadio(const Window& w) {
    return w.className == "BUTTON" && w.kind == Kind::Radio;
}

LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto w = Get(window);
    if (!w) return 0;
    EnsureKind(*w);
    DWORD type = w->style & BS_TYPEMASK;
    switch (message) {
    case WM_GETDLGCODE:
        switch (w->kind) {
        case Kind::Radio:
            return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case Kind::DefButton:
            return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case Kind::Button:
            return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case Kind::Group:
            return DLGC_STATIC;
        default:
            return DLGC_BUTTON;
        }
    case BM_GETCHECK:
        return w->check;
    case BM_SETCHECK:
        if (w->kind == Kind::Radio || w->kind == Kind::CheckBox) {
            w->check = static_cast<int>(wParam) & 3;
            w->invalid = true;
        }
        return 0;
    case BM_GETSTATE:
        return w->check | (GetFocus() == window ? BST_FOCUS : 0);
    case BM_SETSTYLE:
        w->style = (w->style & ~0xFFFFu) | (static_cast<DWORD>(wParam) & 0xFFFF);
        w->kind = ButtonKind(w->style);
        w->invalid = true;
        return 0;
    case BM_CLICK: {
        // A click reaches only an enabled, visible button; a group box takes none.
        if (!IsWindowEnabled(window) || !IsWindowVisible(window) || w->kind == Kind::Group)
            return 0;
        SetFocus(window);
        if (!IsWindow(window)) return 0;
        if (type == BS_AUTORADIOBUTTON) {
            // Checks itself and unchecks the other radio buttons of its group.
            w->check = BST_CHECKED;
            if (auto parent = Get(w->parent)) {
                const auto& siblings = parent->children;
                auto at = std::find(siblings.begin(), siblings.end(), window) - siblings.begin();
                auto first = at;
                while (first > 0) {
                    auto s = Get(siblings[static_cast<size_t>(first)]);
                    if (s && (s->style & WS_GROUP)) break;
                    --first;
                }
                for (auto i = static_cast<size_t>(first); i < siblings.size(); ++i) {
                    auto s = Get(siblings[i]);
                    if (!s) continue;
                    if (i > static_cast<size_t>(first) && (s->style & WS_GROUP)) break;
                    if (s.get() != w.get() && IsRadio(*s)) s->check = BST_UNCHECKED;
                }
            }
        } else if (type == BS_AUTOCHECKBOX) {
            w->check = w->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        } else if (type == BS_AUTO3STATE) {
            w->check = (w->check + 1) % 3;
        }
        w->invalid = true;
        NotifyParent(window, BN_CLICKED);
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        w->invalid = true;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto w = Get(window);
    if (!w) return 0;
    EnsureKind(*w);
    auto length = static_cast<DWORD>(w->text.size());
    auto clampSel = [&] {
        w->selStart = std::min(w->selStart, length);
        w->selEnd = std::min(w->selEnd, length);
    };
    switch (message) {
    case WM_CREATE:
        w->limit = 30000; // the typing limit of a single-line edit until told otherwise
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_SETTEXT:
        // The program's text is taken whole: the typing limit is for typing only.
        w->text = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
        w->selStart = w->selEnd = 0;
        w->invalid = true;
        NotifyParent(window, EN_CHANGE);
        return TRUE;
    case EM_LIMITTEXT:
        w->limit = wParam ? static_cast<UINT>(wParam) : 0x7FFFFFFE;
        return 0;
    case EM_GETLIMITTEXT:
        return w->limit;
    case EM_SETSEL: {
        auto start = static_cast<int>(wParam);
        auto end = static_cast<int>(lParam);
        if (start == -1) {
            w->selStart = w->selEnd; // no selection, the caret stays
            return 0;
        }
        if (end < 0) end = static_cast<int>(length);
        if (start > end) std::swap(start, end);
        w->selStart = static_cast<DWORD>(start);
        w->selEnd = static_cast<DWORD>(end);
        clampSel();
        return 0;
    }
    case EM_GETSEL:
        clampSel();
        if (wParam) *reinterpret_cast<DWORD*>(wParam) = w->selStart;
        if (lParam) *reinterpret_cast<DWORD*>(lParam) = w->selEnd;
        return MAKELONG(w->selStart, w->selEnd);
    case EM_SETREADONLY:
        if (wParam)
            w->style |= ES_READONLY;
        else
            w->style &= ~static_cast<DWORD>(ES_READONLY);
        return TRUE;
    case EM_REPLACESEL:
    case WM_CHAR: {
        std::string insert;
        if (message == EM_REPLACESEL) {
            insert = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
        } else {
            auto ch = static_cast<unsigned char>(wParam);
            if (w->style & ES_READONLY) return 0;
            clampSel();
            if (ch == VK_BACK) {
                if (w->selStart == w->selEnd && w->selStart > 0) --w->selStart;
            } else if (ch < 0x20) {
                return 0;
            } else {
                insert = std::string(1, static_cast<char>(ch));
            }
        }
        clampSel();
        size_t kept = length - (w->selEnd - w->selStart);
        size_t room = w->limit > kept ? w->limit - kept : 0;
        if (!(w->style & ES_AUTOHSCROLL) && w->widthChars > 0) {
            size_t widthRoom = static_cast<size_t>(w->widthChars) > kept
                                   ? static_cast<size_t>(w->widthChars) - kept
                                   : 0;
            room = std::min(room, widthRoom);
        }
        if (insert.size() > room) {
            if (message == WM_CHAR) {
                // Typing beyond the limit is refused whole, with a note to the parent.
                NotifyParent(window, EN_MAXTEXT);
                return 0;
            }
            insert.resize(room);
        }
        w->text.replace(w->selStart, w->selEnd - w->selStart, insert);
        w->selStart = w->selEnd = w->selStart + static_cast<DWORD>(insert.size());
        w->invalid = true;
        NotifyParent(window, EN_UPDATE);
        NotifyParent(window, EN_CHANGE);
        return 0;
    }
    case WM_SETFOCUS:
        w->invalid = true;
        NotifyParent(window, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        w->invalid = true;
        NotifyParent(window, EN_KILLFOCUS);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto w = Get(window);
    if (!w) return 0;
    EnsureKind(*w);
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case STM_SETIMAGE:
    case STM_SETICON: {
        HANDLE old = w->imageHandle;
        w->imageHandle = reinterpret_cast<HANDLE>(message == STM_SETICON ? wParam : lParam);
        w->invalid = true;
        return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETIMAGE:
    case STM_GETICON:
        return reinterpret_cast<LRESULT>(w->imageHandle);
    case WM_NCDESTROY:
        // The picture loaded from the template goes with its control.
        if (w->image && w->imageHandle) DeleteObject(w->imageHandle);
        w->imageHandle = nullptr;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK ComboProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto w = Get(window);
    if (!w) return 0;
    EnsureKind(*w);
    auto count = static_cast<int>(w->items.size());
    auto valid = [&](WPARAM index) {
        return static_cast<int>(index) >= 0 && static_cast<int>(index) < count;
    };
    auto insertAt = [&](int at, LPCSTR text) -> LRESULT {
        w->items.insert(w->items.begin() + at, text ? text : "");
        w->itemData.insert(w->itemData.begin() + at, 0);
        if (w->sel >= at) ++w->sel; // the selected item stays selected
        w->invalid = true;
        return at;
    };
    auto find = [&](WPARAM start, LPCSTR text, bool exact) -> LRESULT {
        std::string_view wanted = text ? text : "";
        for (int step = 1; step <= count; ++step) {
            int i = (static_cast<int>(start) + step) % count;
            if (static_cast<int>(start) < 0) i = step - 1;
            std::string_view item = w->items[static_cast<size_t>(i)];
            if (exact ? EqualNoCase(item, wanted)
                      : (item.size() >= wanted.size() &&
                         EqualNoCase(item.substr(0, wanted.size()), wanted)))
                return i;
        }
        return CB_ERR;
    };
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case CB_ADDSTRING: {
        int at = count;
        if (w->style & CBS_SORT) {
            std::string_view text = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
            at = 0;
            while (at < count && CompareNoCase(w->items[static_cast<size_t>(at)], text) <= 0)
                ++at;
        }
        return insertAt(at, reinterpret_cast<LPCSTR>(lParam));
    }
    case CB_INSERTSTRING: {
        int at = static_cast<int>(wParam);
        if (at == -1) at = count;
        if (at < 0 || at > count) return CB_ERR;
        return insertAt(at, reinterpret_cast<LPCSTR>(lParam));
    }
    case CB_DELETESTRING: {
        if (!valid(wParam)) return CB_ERR;
        int at = static_cast<int>(wParam);
        w->items.erase(w->items.begin() + at);
        w->itemData.erase(w->itemData.begin() + at);
        if (w->sel == at)
            w->sel = -1;
        else if (w->sel > at)
            --w->sel;
        w->invalid = true;
        return count - 1;
    }
    case CB_RESETCONTENT:
        w->items.clear();
        w->itemData.clear();
        w->sel = -1;
        w->invalid = true;
        return CB_OKAY;
    case CB_GETCOUNT:
        return count;
    case CB_GETCURSEL:
        return w->sel >= 0 ? w->sel : CB_ERR;
    case CB_SETCURSEL:
        // The program's selection sends no notification; -1 or a bad index clears it.
        w->invalid = true;
        if (!valid(wParam)) {
            w->sel = -1;
            return CB_ERR;
        }
        w->sel = static_cast<int>(wParam);
        return w->sel;
    case CB_GETLBTEXT:
        if (!valid(wParam) || !lParam) return CB_ERR;
        std::strcpy(reinterpret_cast<char*>(lParam), w->items[wParam].c_str());
        return static_cast<LRESULT>(w->items[wParam].size());
    case CB_GETLBTEXTLEN:
        if (!valid(wParam)) return CB_ERR;
        return static_cast<LRESULT>(w->items[wParam].size());
    case CB_GETITEMDATA:
        return valid(wParam) ? w->itemData[wParam] : CB_ERR;
    case CB_SETITEMDATA:
        if (!valid(wParam)) return CB_ERR;
        w->itemData[wParam] = lParam;
        return TRUE;
    case CB_FINDSTRING:
        return count ? find(wParam, reinterpret_cast<LPCSTR>(lParam), false) : CB_ERR;
    case CB_FINDSTRINGEXACT:
        return count ? find(wParam, reinterpret_cast<LPCSTR>(lParam), true) : CB_ERR;
    case CB_SELECTSTRING: {
        LRESULT i = count ? find(wParam, reinterpret_cast<LPCSTR>(lParam), false) : CB_ERR;
        if (i != CB_ERR) w->sel = static_cast<int>(i);
        w->invalid = true;
        return i;
    }
    case CB_SHOWDROPDOWN:
    case CB_GETDROPPEDSTATE:
        return FALSE;
    case WM_GETTEXT:
        return CopyText(w->sel >= 0 ? w->items[static_cast<size_t>(w->sel)] : std::string(), wParam,
                        lParam);
    case WM_GETTEXTLENGTH:
        return w->sel >= 0 ? static_cast<LRESULT>(w->items[static_cast<size_t>(w->sel)].size()) : 0;
    case WM_SETTEXT: {
        // A drop-down list shows only its items: the text selects the item that equals it.
        LRESULT i =
            count ? find(static_cast<WPARAM>(-1), reinterpret_cast<LPCSTR>(lParam), true) : CB_ERR;
        if (i == CB_ERR) return CB_ERR;
        w->sel = static_cast<int>(i);
        return TRUE;
    }
    case WM_KEYDOWN: {
        // A person's arrow keys pick the next or previous item.
        int next = w->sel;
        if (wParam == VK_DOWN || wParam == VK_RIGHT) next = std::min(w->sel + 1, count - 1);
        if (wParam == VK_UP || wParam == VK_LEFT) next = std::max(w->sel - 1, 0);
        if (next != w->sel && next >= 0) {
            w->sel = next;
            w->invalid = true;
            NotifyParent(window, CBN_SELCHANGE);
        }
        return 0;
    }
    case WM_SETFOCUS:
        NotifyParent(window, CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        NotifyParent(window, CBN_KILLFOCUS);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace user

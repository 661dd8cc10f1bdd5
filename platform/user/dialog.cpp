// Dialogs: creation from templates, the modal run, the dialog manager (DefDlgProcA,
// IsDialogMessageA and keyboard navigation), message boxes and wvsprintfA.
//
// Map:
//   templates         base units, CreateFromTemplate, CreateDialogParamA
//   modal             RunModal, DialogBoxParamA, EndDialog
//   dialog manager    DefDlgProcA, DefDlgDefault, navigation, IsDialogMessageA
//   dialog items      GetDlgItem and its kin
//   message boxes     MessageBoxA
//   formatting        wvsprintfA, wsprintfA
#include "user/internal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace user {
namespace {

thread_local std::vector<HWND> t_modal;

struct BaseUnits {
    int x, y;
};

// Base units of a dialog font. Headless there is no font to measure, so the average character
// width is taken as half the font's height, which is close for the proportional fonts dialogs
// use; a renderer with real fonts measures them. Without DS_SETFONT: the system font, 8 by 16.
BaseUnits UnitsOf(const res::Dialog& d) {
    if (!(d.style & DS_SETFONT) || d.pointSize == 0) return {8, 16};
    int height = (d.pointSize * 96 + 36) / 72;
    return {std::max(1, (height + 1) / 2), height};
}

RECT ToPixels(BaseUnits u, int x, int y, int cx, int cy) {
    RECT r;
    r.left = x * u.x / 4;
    r.top = y * u.y / 8;
    r.right = (x + cx) * u.x / 4;
    r.bottom = (y + cy) * u.y / 8;
    return r;
}

struct KindStyle {
    const char* cls;
    DWORD style;
};

KindStyle ClassOf(res::Kind kind) {
    switch (kind) {
    case res::Kind::PushButton:
        return {"BUTTON", BS_PUSHBUTTON};
    case res::Kind::DefPushButton:
        return {"BUTTON", BS_DEFPUSHBUTTON};
    case res::Kind::AutoRadio:
        return {"BUTTON", BS_AUTORADIOBUTTON};
    case res::Kind::CheckBox:
        return {"BUTTON", BS_AUTOCHECKBOX};
    case res::Kind::GroupBox:
        return {"BUTTON", BS_GROUPBOX};
    case res::Kind::ComboBox:
        return {"COMBOBOX", CBS_DROPDOWNLIST};
    case res::Kind::Edit:
        return {"EDIT", ES_LEFT};
    case res::Kind::Static:
        return {"STATIC", SS_LEFT};
    case res::Kind::EtchedLine:
        return {"STATIC", SS_ETCHEDHORZ};
    case res::Kind::Picture:
        return {"STATIC", SS_BITMAP};
    }
    return {"STATIC", SS_LEFT};
}

bool Focusable(const Window& w) {
    return (w.style & WS_VISIBLE) && !(w.style & WS_DISABLED);
}

// The control that gets the focus by the dialog manager: an edit gets its text selected, as a
// person tabbing into it sees.
void FocusControl(HWND control) {
    if (!control) return;
    SetFocus(control);
    if (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        SendMessageA(control, EM_SETSEL, 0, -1);
}

HWND FirstTabStop(HWND dialog) {
    return GetNextDlgTabItem(dialog, nullptr, FALSE);
}

void RestoreFocus(Window& d) {
    HWND target = d.lastFocus;
    auto t = Get(target);
    if (!t || t->parent != d.handle || !Focusable(*t)) target = FirstTabStop(d.handle);
    if (target) FocusControl(target);
}

// The group of a control: from the nearest WS_GROUP at or before it (or the first control) up to
// the next WS_GROUP.
std::pair<size_t, size_t> GroupOf(const std::vector<HWND>& controls, size_t at) {
    size_t first = at;
    while (first > 0) {
        auto w = Get(controls[first]);
        if (w && (w->style & WS_GROUP)) break;
        --first;
    }
    size_t end = at + 1;
    while (end < controls.size()) {
        auto w = Get(controls[end]);
        if (w && (w->style & WS_GROUP)) break;
        ++end;
    }
    return {first, end};
}

HWND ButtonOf(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    auto w = Get(button);
    return (w && w->className == "BUTTON") ? button : nullptr;
}

// Enter and Escape as the dialog manager does them: WM_COMMAND with the button's id and
// BN_CLICKED, unless that button exists and is disabled.
void PressButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button && !IsWindowEnabled(button)) return;
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

} // namespace

bool InModalLoop(HWND window) {
    return std::find(t_modal.begin(), t_modal.end(), window) != t_modal.end();
}

HWND CreateFromTemplate(HINSTANCE instance, const res::Dialog& d, HWND owner, DLGPROC proc,
                        LPARAM param, const std::function<void(Window&)>& setup) {
    const Class* cls = FindClass(d.windowClass ? d.windowClass : "#32770");
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    BaseUnits units = UnitsOf(d);
    CreateParams p;
    p.exStyle = d.exStyle | ((d.style & DS_SYSMODAL) ? WS_EX_TOPMOST : 0);
    p.cls = cls;
    p.text = d.caption ? d.caption : "";
    p.style = d.style & ~WS_VISIBLE;
    p.rect = ToPixels(units, d.x, d.y, d.cx, d.cy);
    p.parent = owner;
    p.instance = instance;
    p.setup = [&](Window& w) {
        w.kind = Kind::Dialog;
        w.baseX = units.x;
        w.baseY = units.y;
        if (setup) setup(w);
    };
    HWND dialog = Create(p);
    if (!dialog) return nullptr;
    auto dw = Get(dialog);
    HFONT font = (d.style & DS_SETFONT) ? reinterpret_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))
                                        : nullptr;
    for (size_t i = 0; i < d.controlCount; ++i) {
        const res::Control& c = d.controls[i];
        KindStyle ks = ClassOf(c.kind);
        CreateParams cp;
        cp.exStyle = c.exStyle;
        cp.cls = FindClass(ks.cls);
        cp.text = c.text ? c.text : "";
        DWORD style = c.style & ~res::kHidden;
        cp.style = WS_CHILD | ks.style | style | ((c.style & res::kHidden) ? 0 : WS_VISIBLE);
        cp.rect = ToPixels(units, c.x, c.y, c.cx, c.cy);
        cp.parent = dialog;
        cp.id = c.id;
        cp.instance = instance;
        cp.setup = [&](Window& w) {
            // An edit without automatic scrolling takes only what its width shows; characters
            // average 4 dialog units.
            if (c.kind == res::Kind::Edit) w.widthChars = std::max(1, (c.cx - 4) / 4);
            if (c.kind == res::Kind::Picture) {
                w.image = c.image;
                w.imageHandle = LoadBitmapA(instance, MAKEINTRESOURCEA(c.image));
            }
        };
        HWND control = Create(cp);
        if (!control) {
            DestroyWindow(dialog);
            return nullptr;
        }
        if (font) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    if (!IsWindow(dialog)) return nullptr;
    dw->dlgProc = proc;
    if (font) SendMessageA(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    HWND first = FirstTabStop(dialog);
    LRESULT focus = SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    if (!IsWindow(dialog)) return nullptr;
    // TRUE from WM_INITDIALOG: the first tab stop gets the focus, when the dialog is shown.
    if (focus && first && !dw->lastFocus) dw->lastFocus = first;
    if ((d.style & WS_VISIBLE) && !dw->ended) ShowWindow(dialog, SW_SHOWNORMAL);
    return IsWindow(dialog) ? dialog : nullptr;
}

INT_PTR RunModal(HWND dialog, HWND owner) {
    auto w = Get(dialog);
    if (!w) return -1;
    HWND top = owner;
    while (top && (GetWindowLongA(top, GWL_STYLE) & WS_CHILD))
        top = GetParent(top);
    bool disabledOwner = false;
    if (top && IsWindowEnabled(top)) {
        EnableWindow(top, FALSE);
        disabledOwner = true;
    }
    t_modal.push_back(dialog);
    if (!w->ended) {
        ShowWindow(dialog, SW_SHOWNORMAL);
        if (GetFocus() == nullptr || !IsWindow(GetFocus())) RestoreFocus(*w);
    }
    ModalLoop([&] { return !IsWindow(dialog) || w->ended; }, dialog);
    t_modal.erase(std::remove(t_modal.begin(), t_modal.end(), dialog), t_modal.end());
    INT_PTR result = w->ended ? w->endResult : -1;
    if (disabledOwner && IsWindow(top)) EnableWindow(top, TRUE);
    // The ended dialog gives up the activation and the focus while it still exists, as when
    // Windows hides it: the control that had the focus still tells the dialog (an edit's
    // EN_KILLFOCUS), so what was typed there is not lost.
    if (IsWindow(dialog)) {
        if (top && IsWindow(top) && (GetWindowLongA(top, GWL_STYLE) & WS_VISIBLE)) Activate(top);
        if (HWND focus = GetFocus(); focus && (focus == dialog || GetParent(focus) == dialog))
            SetFocus(nullptr);
    }
    if (IsWindow(dialog)) DestroyWindow(dialog);
    if (top && IsWindow(top) && (GetWindowLongA(top, GWL_STYLE) & WS_VISIBLE)) Activate(top);
    return result;
}

LRESULT DefDlgDefault(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto w = Get(dialog);
    if (!w) return 0;
    switch (message) {
    case WM_INITDIALOG:
        return 0;
    case WM_CLOSE:
        // The close box means Cancel.
        PressButton(dialog, IDCANCEL);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            if (!w->iconic) RestoreFocus(*w);
        } else {
            HWND focus = GetFocus();
            auto f = Get(focus);
            if (f && f->parent == dialog) w->lastFocus = focus;
        }
        return 0;
    case WM_SETFOCUS:
        RestoreFocus(*w);
        return 0;
    case WM_NEXTDLGCTL: {
        HWND target = lParam ? reinterpret_cast<HWND>(wParam)
                             : GetNextDlgTabItem(dialog, GetFocus(), wParam != 0);
        FocusControl(target);
        return 0;
    }
    case DM_GETDEFID:
        for (HWND child : w->children) {
            auto c = Get(child);
            if (c && c->kind == Kind::DefButton) return MAKELONG(c->id, DC_HASDEFID);
        }
        return 0;
    case DM_SETDEFID:
        for (HWND child : w->children) {
            auto c = Get(child);
            if (!c || (c->kind != Kind::DefButton && c->kind != Kind::Button)) continue;
            bool def = c->id == static_cast<int>(wParam);
            SendMessageA(child, BM_SETSTYLE, def ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
        }
        return TRUE;
    case WM_ERASEBKGND:
        return 1;
    }
    return DefWindowProcA(dialog, message, wParam, lParam);
}

} // namespace user

using namespace user;

extern "C" HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND parent,
                                          DLGPROC procedure, LPARAM initParam) {
    const res::Dialog* d =
        IS_INTRESOURCE(templateName) ? res::FindDialog(LOWORD(templateName)) : nullptr;
    if (!d) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return CreateFromTemplate(instance, *d, parent, procedure, initParam, nullptr);
}

extern "C" INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent,
                                          DLGPROC procedure, LPARAM initParam) {
    const res::Dialog* d =
        IS_INTRESOURCE(templateName) ? res::FindDialog(LOWORD(templateName)) : nullptr;
    if (!d) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    HWND dialog = CreateFromTemplate(instance, *d, parent, procedure, initParam, nullptr);
    if (!dialog) return -1;
    return RunModal(dialog, parent);
}

extern "C" BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    auto w = Get(dialog);
    if (!w || w->kind != Kind::Dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    w->ended = true;
    w->endResult = result;
    return TRUE;
}

extern "C" LRESULT WINAPI DefDlgProcA(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto w = Get(dialog);
    if (!w) return 0;
    if (w->dlgProc) {
        w->msgResult = 0;
        INT_PTR handled;
        try {
            handled = w->dlgProc(dialog, message, wParam, lParam);
        } catch (...) {
            handled = 0;
        }
        if (handled) {
            switch (message) {
            case WM_INITDIALOG:
            case WM_QUERYDRAGICON:
            case 0x0039: // WM_COMPAREITEM
            case 0x002E: // WM_VKEYTOITEM
            case 0x002F: // WM_CHARTOITEM
                return handled;
            }
            if (message >= 0x0132 && message <= 0x0138) return handled; // WM_CTLCOLOR...
            return Get(dialog) ? w->msgResult : 0;
        }
        if (!Get(dialog)) return 0;
    }
    return DefDlgDefault(dialog, message, wParam, lParam);
}

extern "C" HWND WINAPI GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
    auto d = Get(dialog);
    if (!d) return nullptr;
    const auto& controls = d->children;
    size_t n = controls.size();
    if (n == 0) return nullptr;
    size_t at = n;
    for (size_t i = 0; i < n; ++i)
        if (controls[i] == control) at = i;
    for (size_t step = 1; step <= n; ++step) {
        size_t i = at == n ? (previous ? n - step : step - 1)
                           : (previous ? (at + n - step) % n : (at + step) % n);
        auto w = Get(controls[i]);
        if (!w || !Focusable(*w) || !(w->style & WS_TABSTOP)) continue;
        if (IsRadio(*w)) {
            // Into a radio group the tab goes to the checked button.
            auto [first, end] = GroupOf(controls, i);
            for (size_t j = first; j < end; ++j) {
                auto r = Get(controls[j]);
                if (r && IsRadio(*r) && r->check == BST_CHECKED && Focusable(*r))
                    return controls[j];
            }
        }
        return controls[i];
    }
    return control;
}

extern "C" HWND WINAPI GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
    auto d = Get(dialog);
    if (!d) return nullptr;
    const auto& controls = d->children;
    auto it = std::find(controls.begin(), controls.end(), control);
    if (it == controls.end()) return controls.empty() ? nullptr : controls.front();
    size_t at = static_cast<size_t>(it - controls.begin());
    auto [first, end] = GroupOf(controls, at);
    size_t size = end - first;
    for (size_t step = 1; step < size; ++step) {
        size_t i =
            first + (previous ? (at - first + size - step) % size : (at - first + step) % size);
        auto w = Get(controls[i]);
        if (w && Focusable(*w)) return controls[i];
    }
    return control;
}

extern "C" BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG msg) {
    if (!msg || !Get(dialog)) return FALSE;
    // Only the dialog's own messages and its controls' (not those of a window it owns).
    auto target = Get(msg->hwnd);
    if (!target ||
        (target->handle != dialog && !((target->style & WS_CHILD) && target->parent == dialog)))
        return FALSE;
    if (msg->message == WM_KEYDOWN) {
        HWND focus = GetFocus();
        if (!focus || (focus != dialog && GetParent(focus) != dialog)) focus = msg->hwnd;
        LRESULT code =
            SendMessageA(focus, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
        switch (msg->wParam) {
        case VK_TAB:
            if (code & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) break;
            FocusControl(GetNextDlgTabItem(dialog, focus, (GetKeyState(VK_SHIFT) & 0x8000) != 0));
            return TRUE;
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN: {
            if (code & (DLGC_WANTARROWS | DLGC_WANTALLKEYS)) break;
            bool previous = msg->wParam == VK_LEFT || msg->wParam == VK_UP;
            HWND next = GetNextDlgGroupItem(dialog, focus, previous);
            if (!next || next == focus) return TRUE;
            FocusControl(next);
            // Arrows move the check of an auto radio group with the focus.
            if (auto w = Get(next);
                w && IsRadio(*w) && (w->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
                SendMessageA(next, BM_CLICK, 0, 0);
            return TRUE;
        }
        case VK_RETURN: {
            if (code & DLGC_WANTALLKEYS) break;
            int id = IDOK;
            if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) {
                id = GetDlgCtrlID(focus);
            } else if (LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
                       HIWORD(def) == DC_HASDEFID) {
                id = LOWORD(def);
            }
            PressButton(dialog, id);
            return TRUE;
        }
        case VK_ESCAPE:
            if (code & DLGC_WANTALLKEYS) break;
            PressButton(dialog, IDCANCEL);
            return TRUE;
        }
    }
    TranslateMessage(msg);
    DispatchMessageA(msg);
    return TRUE;
}

extern "C" HWND WINAPI GetDlgItem(HWND dialog, int id) {
    auto d = Get(dialog);
    if (!d) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (HWND child : d->children)
        if (auto w = Get(child); w && w->id == id) return child;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
}

extern "C" int WINAPI GetDlgCtrlID(HWND control) {
    auto w = Get(control);
    return w ? w->id : 0;
}

extern "C" LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    HWND control = GetDlgItem(dialog, id);
    return control ? SendMessageA(control, message, wParam, lParam) : 0;
}

extern "C" BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND control = GetDlgItem(dialog, id);
    return control ? SetWindowTextA(control, text) : FALSE;
}

extern "C" UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int bufferMax) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) {
        if (buffer && bufferMax > 0) buffer[0] = '\0';
        return 0;
    }
    return static_cast<UINT>(GetWindowTextA(control, buffer, bufferMax));
}

extern "C" BOOL WINAPI SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    char text[16];
    if (isSigned)
        std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    else
        std::snprintf(text, sizeof text, "%u", value);
    return SetDlgItemTextA(dialog, id, text);
}

extern "C" UINT WINAPI GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    char text[64];
    if (translated) *translated = FALSE;
    if (!GetDlgItemTextA(dialog, id, text, sizeof text)) return 0;
    const char* p = text;
    while (*p == ' ')
        ++p;
    bool negative = false;
    if (isSigned && *p == '-') {
        negative = true;
        ++p;
    }
    if (*p < '0' || *p > '9') return 0;
    unsigned long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<unsigned>(*p - '0');
        if (value > 0xFFFFFFFFull) return 0;
    }
    while (*p == ' ')
        ++p;
    if (*p) return 0;
    if (isSigned && value > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return 0;
    if (translated) *translated = TRUE;
    return negative ? static_cast<UINT>(-static_cast<long long>(value)) : static_cast<UINT>(value);
}

extern "C" BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND button = GetDlgItem(dialog, id);
    if (!button) return FALSE;
    SendMessageA(button, BM_SETCHECK, check, 0);
    return TRUE;
}

extern "C" UINT WINAPI IsDlgButtonChecked(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    return button ? static_cast<UINT>(SendMessageA(button, BM_GETCHECK, 0, 0)) : 0;
}

extern "C" BOOL WINAPI CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId) {
    auto d = Get(dialog);
    if (!d) return FALSE;
    for (HWND child : std::vector<HWND>(d->children)) {
        auto w = Get(child);
        if (!w || w->id < firstId || w->id > lastId) continue;
        SendMessageA(child, BM_SETCHECK, w->id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    return TRUE;
}

extern "C" BOOL WINAPI MapDialogRect(HWND dialog, LPRECT rect) {
    auto d = Get(dialog);
    if (!d || !rect) return FALSE;
    rect->left = rect->left * d->baseX / 4;
    rect->right = rect->right * d->baseX / 4;
    rect->top = rect->top * d->baseY / 8;
    rect->bottom = rect->bottom * d->baseY / 8;
    return TRUE;
}

extern "C" LONG WINAPI GetDialogBaseUnits(void) {
    return MAKELONG(8, 16);
}

// --- message boxes ---------------------------------------------------------------------------

namespace {

INT_PTR CALLBACK MessageBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM) {
    auto w = Get(box);
    if (!w) return FALSE;
    switch (message) {
    case WM_INITDIALOG: {
        int def = static_cast<int>((w->boxStyle & MB_DEFMASK) >> 8);
        int index = 0;
        for (HWND child : w->children) {
            auto c = Get(child);
            if (!c || c->className != "BUTTON") continue;
            if (index++ == def) w->lastFocus = child;
        }
        if (!w->lastFocus) w->lastFocus = FirstTabStop(box);
        return FALSE;
    }
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        UINT type = w->boxStyle & MB_TYPEMASK;
        if (id == IDCANCEL && !ButtonOf(box, IDCANCEL)) {
            // Escape or the close box: a box with only OK answers OK; Yes/No boxes and the
            // like ignore them, since no answer means cancel there.
            if (type == MB_OK) EndDialog(box, IDOK);
            return TRUE;
        }
        if (ButtonOf(box, id)) EndDialog(box, id);
        return TRUE;
    }
    }
    return FALSE;
}

} // namespace

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    struct Button {
        int id;
        const char* text;
    };
    std::vector<Button> buttons;
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        buttons = {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
        break;
    case MB_ABORTRETRYIGNORE:
        buttons = {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}};
        break;
    case MB_YESNOCANCEL:
        buttons = {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
        break;
    case MB_YESNO:
        buttons = {{IDYES, "&Yes"}, {IDNO, "&No"}};
        break;
    case MB_RETRYCANCEL:
        buttons = {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}};
        break;
    default:
        buttons = {{IDOK, "OK"}};
        break;
    }
    std::string body = text ? text : "";
    std::vector<res::Control> controls;
    // Wide enough for the text (up to a limit) and for every button side by side.
    short width = static_cast<short>(std::max<size_t>(
        {120, std::min<size_t>(body.size() * 4, 320), buttons.size() * 54 + 12}));
    short lines = 1;
    for (char c : body)
        lines = static_cast<short>(lines + (c == '\n'));
    short textTop = 10, textHeight = static_cast<short>(8 * lines);
    if (type & MB_ICONMASK) controls.push_back({res::Kind::Picture, -1, "", SS_ICON, 7, 7, 21, 20});
    controls.push_back({res::Kind::Static, 0xFFFF, body.c_str(), SS_LEFT, 36, textTop,
                        static_cast<short>(width - 44), textHeight});
    short buttonTop = static_cast<short>(textTop + textHeight + 12);
    short x = static_cast<short>((width - static_cast<short>(buttons.size()) * 54) / 2);
    int def = static_cast<int>((type & MB_DEFMASK) >> 8);
    for (size_t i = 0; i < buttons.size(); ++i) {
        bool isDefault = static_cast<int>(i) == def;
        controls.push_back({isDefault ? res::Kind::DefPushButton : res::Kind::PushButton,
                            buttons[i].id, buttons[i].text,
                            static_cast<DWORD>(WS_TABSTOP | (i == 0 ? WS_GROUP : 0)),
                            static_cast<short>(x + 54 * static_cast<short>(i)), buttonTop, 50, 14});
    }
    res::Dialog d{};
    d.caption = caption ? caption : "Error";
    d.fontName = "MS Sans Serif";
    d.pointSize = 8;
    d.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    d.exStyle = (type & (MB_SYSTEMMODAL | MB_TOPMOST)) ? WS_EX_TOPMOST : 0;
    d.cx = width;
    d.cy = static_cast<short>(buttonTop + 22);
    d.controls = controls.data();
    d.controlCount = controls.size();
    HWND box = CreateFromTemplate(nullptr, d, owner, MessageBoxProc, 0, [&](Window& w) {
        w.messageBox = true;
        w.boxStyle = type;
        w.boxText = body;
    });
    if (!box) return 0;
    if (type & MB_SETFOREGROUND) {
        ShowWindow(box, SW_SHOWNORMAL);
        SetForegroundWindow(box);
    }
    return static_cast<int>(RunModal(box, owner));
}

extern "C" BOOL WINAPI MessageBeep(UINT) {
    return TRUE;
}

// --- formatting ------------------------------------------------------------------------------

// wvsprintfA: %[-][#][0][width][.precision][l|h]type with c, d, i, u, x, X, s and %%; the output
// holds at most 1024 characters with its terminator, as on Windows.
extern "C" int WINAPI wvsprintfA(LPSTR buffer, LPCSTR format, va_list arguments) {
    constexpr size_t kMax = 1024;
    if (!buffer) return 0;
    std::string out;
    const char* p = format ? format : "";
    va_list args;
    va_copy(args, arguments);
    while (*p && out.size() < kMax - 1) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        ++p;
        bool left = false, zero = false, alt = false;
        for (;; ++p) {
            if (*p == '-')
                left = true;
            else if (*p == '0')
                zero = true;
            else if (*p == '#')
                alt = true;
            else
                break;
        }
        size_t width = 0;
        while (*p >= '0' && *p <= '9')
            width = width * 10 + static_cast<size_t>(*p++ - '0');
        long precision = -1;
        if (*p == '.') {
            ++p;
            precision = 0;
            while (*p >= '0' && *p <= '9')
                precision = precision * 10 + (*p++ - '0');
        }
        if (*p == 'l' || *p == 'h') ++p;
        std::string field;
        bool numeric = true;
        switch (*p) {
        case 'd':
        case 'i':
            field = std::to_string(va_arg(args, int));
            break;
        case 'u':
            field = std::to_string(va_arg(args, unsigned));
            break;
        case 'x':
        case 'X': {
            char tmp[16];
            std::snprintf(tmp, sizeof tmp, *p == 'x' ? "%x" : "%X", va_arg(args, unsigned));
            field = tmp;
            if (alt) field.insert(0, *p == 'x' ? "0x" : "0X");
            break;
        }
        case 'c':
            field = std::string(1, static_cast<char>(va_arg(args, int)));
            numeric = false;
            break;
        case 's': {
            const char* s = va_arg(args, const char*);
            field = s ? s : "(null)";
            if (precision >= 0 && field.size() > static_cast<size_t>(precision))
                field.resize(static_cast<size_t>(precision));
            numeric = false;
            break;
        }
        case '%':
            field = "%";
            numeric = false;
            break;
        case '\0':
            --p;
            break;
        default:
            field = std::string(1, *p);
            numeric = false;
            break;
        }
        ++p;
        if (field.size() < width) {
            size_t pad = width - field.size();
            if (left)
                field.append(pad, ' ');
            else if (zero && numeric)
                field.insert(field[0] == '-' ? 1 : 0, pad, '0');
            else
                field.insert(0, pad, ' ');
        }
        out += field;
    }
    va_end(args);
    if (out.size() > kMax - 1) out.resize(kMax - 1);
    std::memcpy(buffer, out.c_str(), out.size() + 1);
    return static_cast<int>(out.size());
}

extern "C" int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    int n = wvsprintfA(buffer, format, args);
    va_end(args);
    return n;
}

// The window model: the truth about every window of the process, its controls and their states.
// The Win32 surface (win32/user.h) works on it; renderers present it, and automation reads and
// drives it as a person would. Nothing here is for deliverables.
//
// Map:
//   Window        one window: its class, text, styles, relations, and the state of a control,
//                 a dialog or a message box
//   Get, ...      the window table (one place, so that a window station can later publish it)
//   Host          what a message loop does when it has nothing to do: a renderer waits for a
//                 person's input (the headless one lets a test act as that person)
//   menus         the items of a menu and the popup menu being shown
#pragma once

#include "win32/user.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace user {

enum class Kind {
    Window,
    Dialog,
    Button,
    DefButton,
    Radio,
    CheckBox,
    Edit,
    Combo,
    Static,
    Group,
    Line,
    Picture
};

struct Class;

struct Window {
    HWND handle = nullptr;
    const Class* cls = nullptr;
    std::string className;
    WNDPROC proc = nullptr;
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    HWND parent = nullptr;      // for a child
    HWND owner = nullptr;       // for a top-level window
    std::vector<HWND> children; // in creation order, which for a dialog is template order
    DWORD thread = 0;
    HINSTANCE instance = nullptr;
    std::vector<unsigned char> extra;
    LONG userData = 0;
    RECT rect{}; // in pixels, relative to the parent (to the screen for a top-level window)
    bool destroying = false;
    bool invalid = false; // needs WM_PAINT
    bool iconic = false;
    HICON bigIcon = nullptr, smallIcon = nullptr;
    HMENU sysMenu = nullptr;
    HFONT font = nullptr;

    Kind kind = Kind::Window;

    // A dialog
    DLGPROC dlgProc = nullptr;
    LONG_PTR msgResult = 0;
    LONG_PTR dlgUser = 0;
    bool ended = false;
    INT_PTR endResult = 0;
    HWND lastFocus = nullptr;
    int baseX = 8, baseY = 16; // dialog base units of the dialog's font
    bool messageBox = false;
    UINT boxStyle = 0;
    std::string boxText;

    // A control
    int check = BST_UNCHECKED;
    std::vector<std::string> items; // a list's items
    std::vector<LPARAM> itemData;
    int sel = -1;                   // a list's selection
    UINT limit = 0x7FFFFFFE;        // an edit's typing limit
    DWORD selStart = 0, selEnd = 0; // an edit's selection
    int widthChars = 0;             // an edit without ES_AUTOHSCROLL takes what its width shows
    UINT image = 0;                 // a picture's bitmap resource
    HANDLE imageHandle = nullptr;
};

// The window of a handle, or null when the handle is not a live window.
std::shared_ptr<Window> Get(HWND window);
// Top-level windows of the process, oldest first.
std::vector<HWND> TopLevelWindows();
const char* KindName(Kind kind);
// The dialog's default processing, without its dialog procedure: what DefDlgProcA does when the
// procedure leaves a message alone. The framework calls it for a handler's "Default()".
LRESULT DefDlgDefault(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Whether a message loop runs for this modal dialog or message box right now.
bool InModalLoop(HWND window);

// What a message loop does while it waits. Wait returns when something may have happened (input,
// a message, the deadline passed); deadline is in platform::ClockNowMs() terms, UINT64_MAX for
// none.
class Host {
public:
    virtual ~Host() = default;
    virtual void Wait(uint64_t deadline) = 0;
};
void SetHost(Host* host); // null restores the default: sleep until the deadline
Host* GetHost();

// Keyboard and mouse state that a renderer (or automation) sets as the person acts.
void SetShiftDown(bool down);
void SetCursor(POINT point);

// Menus
struct MenuItem {
    UINT id = 0;
    std::string text;
    UINT flags = 0; // MF_CHECKED, MF_GRAYED, MF_SEPARATOR, MF_POPUP
    HMENU popup = nullptr;
};
std::vector<MenuItem> MenuItems(HMENU menu);

// The popup menu that TrackPopupMenu shows on this thread, or null.
struct Popup {
    HMENU menu = nullptr;
    HWND owner = nullptr;
    bool done = false;
    UINT picked = 0; // 0: dismissed without a pick
};
Popup* ShownPopup();

} // namespace user

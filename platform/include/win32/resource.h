// Resources as C++ data. Each program or module describes its string table, dialogs, menus, icons
// and bitmaps in one res::Module and registers it once with a res::Registration object at
// namespace scope.
//
// Every binary carries its own copy of the platform layer, so the module registered in it is the
// module's own: LoadStringA and its kin look there whatever instance handle they are given, as
// each deliverable only ever loads its own resources.
//
// A dialog template reads like the resource script it replaces:
//
//   constexpr const char* kLpts[] = {"LPT1", "LPT2", "LPT3"};
//   constexpr res::Control kMainControls[] = {
//       {res::Kind::DefPushButton, IDOK, "OK", WS_TABSTOP, 113, 142, 50, 14},
//       {res::Kind::ComboBox, 1003, "", CBS_SORT | WS_VSCROLL | WS_TABSTOP, 84, 30, 48, 60,
//        kLpts, 3},
//       {res::Kind::Picture, -1, "", 0, 7, 7, 43, 37, nullptr, 0, 135},
//   };
//   constexpr res::Dialog kDialogs[] = {{102, "Caption", "Arial", 9, DS_SETFONT | ..., 0,
//                                        "CLASS_NAME", 0, 0, 170, 163, kMainControls, 3}};
//
// The kind gives the control's window class and its type style (BS_AUTORADIOBUTTON,
// SS_ETCHEDHORZ, CBS_DROPDOWNLIST...); `style` adds the rest (WS_TABSTOP, WS_GROUP, CBS_SORT,
// ES_READONLY, ES_AUTOHSCROLL, WS_DISABLED...). Controls are visible unless `style` holds
// kHidden, since nearly every control of a template is.
#pragma once

#include "base.h"

#include <cstddef>

namespace res {

struct String {
    UINT id;
    const char* text;
};

enum class Kind : unsigned char {
    PushButton,
    DefPushButton,
    AutoRadio,
    CheckBox, // an automatic check box
    ComboBox, // a drop-down list (CBS_DROPDOWNLIST)
    Edit,
    Static, // text; SS_RIGHT or SS_CENTER in `style` align it
    GroupBox,
    EtchedLine, // a static, etched horizontal line
    Picture,    // a static bitmap: `image` names the bitmap resource
};

// A style bit that only templates use: the control starts hidden (without WS_VISIBLE). It is the
// bit of WS_POPUP, which a control never has.
constexpr DWORD kHidden = 0x00000001u << 31;

struct Control {
    Kind kind;
    int id; // -1 for controls that carry none (IDC_STATIC)
    const char* text;
    DWORD style;
    short x, y, cx, cy;                 // dialog units
    const char* const* items = nullptr; // list initialisation data, added in this order
    size_t itemCount = 0;
    UINT image = 0; // Picture: the bitmap resource
    DWORD exStyle = 0;
};

struct Dialog {
    UINT id;
    const char* caption;
    const char* fontName; // with DS_SETFONT
    WORD pointSize;
    DWORD style;
    DWORD exStyle;
    const char* windowClass; // nullptr: the system's dialog class
    short x, y, cx, cy;      // dialog units
    const Control* controls;
    size_t controlCount;
};

struct MenuItem {
    UINT id;                         // the command; ignored for a popup
    const char* text;                // nullptr: a separator
    UINT flags;                      // MF_CHECKED, MF_GRAYED...
    const MenuItem* popup = nullptr; // the items of a popup, which has no command
    size_t popupCount = 0;
};

struct Menu {
    UINT id;
    const MenuItem* items;
    size_t itemCount;
};

// Images as text: one character a pixel, '0'..'9' and 'a'..'f' picking one of the 16 colours of
// the classic palette (0 black, 7 light grey, 8 dark grey, f white...), ' ' transparent.
struct Image {
    UINT id;
    int width, height;
    const char* const* rows; // `height` rows of `width` characters
};

struct Module {
    const String* strings = nullptr;
    size_t stringCount = 0;
    const Dialog* dialogs = nullptr;
    size_t dialogCount = 0;
    const Menu* menus = nullptr;
    size_t menuCount = 0;
    const Image* icons = nullptr;
    size_t iconCount = 0;
    const Image* bitmaps = nullptr;
    size_t bitmapCount = 0;
};

void Register(const Module* module);
const Module* Current();
// The text of string `id`, or nullptr when the module has none.
const char* FindString(UINT id);
// The other resources of the current module, or nullptr (these live with the window system).
const Dialog* FindDialog(UINT id);
const Menu* FindMenu(UINT id);
const Image* FindIcon(UINT id);
const Image* FindBitmap(UINT id);

struct Registration {
    explicit Registration(const Module* module) { Register(module); }
};

} // namespace res

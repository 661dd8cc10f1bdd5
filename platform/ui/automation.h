// Reading and driving the window model as a person would: what `selvane win` offers, in one
// place. Tests use it now; the window station will serve it to other processes.
//
// Every action does what a person's gesture does on Windows, with the messages Windows would
// send: a click on a disabled control does nothing, typing stops at the edit's limit, Enter and
// Escape go through the dialog manager of the loop that runs. Actions return false when the
// person could not do it (no such window or control, disabled, hidden, no menu shown).
#pragma once

#include "user/model.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ui::automation {

// Top-level windows, oldest first.
std::vector<HWND> Windows();
// A window by class name, by HWND in hex, or by "title:TEXT"; the newest when several match.
HWND Find(std::string_view target);

struct ControlState {
    HWND hwnd = nullptr;
    int id = 0;
    std::string kind; // button, default, radio, check, edit, combo, static, group, line, picture
    bool enabled = false;
    bool visible = false;
    bool checked = false;
    std::string text;
    int sel = -1;                   // combo
    std::vector<std::string> items; // combo
};
// In template order.
std::vector<ControlState> Controls(HWND window);
std::optional<ControlState> Control(HWND window, int id);
// One line as `selvane win controls` prints it.
std::string Describe(const ControlState& control);

bool Click(HWND window, int id);
bool Select(HWND window, int id, int index);
// Focus the edit, select all, type (the typing limit applies), then leave it for the next tab
// stop unless told to stay.
bool Type(HWND window, int id, std::string_view text, bool leave = true);
enum class Key { Enter, Escape, Tab, ShiftTab, Up, Down, Left, Right };
bool Press(HWND window, Key key);
bool CloseBox(HWND window); // the close box of the caption: WM_SYSCOMMAND SC_CLOSE
bool Close(HWND window);    // WM_CLOSE from outside

std::vector<user::MenuItem> SystemMenu(HWND window);
bool ChooseSystemMenu(HWND window, UINT id);

// The popup menu shown by TrackPopupMenu on this thread.
std::optional<std::vector<user::MenuItem>> PopupMenu();
bool Pick(UINT id);
bool DismissPopup();

struct MessageBoxState {
    HWND hwnd = nullptr;
    UINT style = 0;
    std::string caption;
    std::string text;
};
std::optional<MessageBoxState> MessageBox();
// IDOK, IDCANCEL, IDYES, IDNO...: clicks that button of the message box shown.
bool Answer(int id);

} // namespace ui::automation

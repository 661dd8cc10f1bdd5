// A dialog with one control of every kind, run by whatever renderer SELVANE_UI chooses: the
// terminal tests start it in a tmux pane and operate it with keys.
//
// It writes its pid to $SELVANE_ROOT/pid once the dialog is up, and the dialog's result to
// $SELVANE_ROOT/result when it ends. The status line (id 1030) shows the last thing the dialog
// heard: "selchange N", "maxtext", "answer N" (a message box), "picked N" (the popup menu).
#include "ui/renderer.h"
#include "win32.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

enum : int {
    kModeA = 1000,
    kModeB = 1001,
    kModeC = 1002,
    kPort = 1003,
    kName = 1010,
    kMessage = 1020,
    kMenu = 1021,
    kStatus = 1030,
    kSecret = 1031,
    kOff = 1032,
    kFirst = 40001,
    kSecond = 40002,
    kThird = 40003,
};

constexpr const char* kPorts[] = {"LPT3", "LPT1", "LPT2"};

constexpr res::Control kControls[] = {
    {res::Kind::GroupBox, -1, "Mode", 0, 5, 5, 90, 50},
    {res::Kind::AutoRadio, kModeA, "Mode &A", WS_GROUP | WS_TABSTOP, 12, 16, 70, 10},
    {res::Kind::AutoRadio, kModeB, "Mode B", 0, 12, 28, 70, 10},
    {res::Kind::AutoRadio, kModeC, "Mode C", 0, 12, 40, 70, 10},
    {res::Kind::Static, -1, "Port:", WS_GROUP, 105, 8, 30, 8},
    {res::Kind::ComboBox, kPort, "", CBS_SORT | WS_VSCROLL | WS_TABSTOP, 140, 6, 50, 50},
    {res::Kind::Static, -1, "Name:", 0, 105, 26, 30, 8},
    {res::Kind::Edit, kName, "", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 140, 24, 50, 12},
    {res::Kind::Picture, -1, "", 0, 110, 40, 16, 16, nullptr, 0, 135},
    {res::Kind::Static, kSecret, "Secret", res::kHidden, 140, 42, 40, 8},
    {res::Kind::PushButton, kOff, "Off", WS_DISABLED | WS_TABSTOP, 140, 40, 40, 14},
    {res::Kind::EtchedLine, -1, "", 0, 5, 62, 190, 1},
    {res::Kind::Static, kStatus, "ready", 0, 5, 68, 190, 8},
    {res::Kind::PushButton, kMessage, "&Message...", WS_TABSTOP, 5, 82, 45, 14},
    {res::Kind::PushButton, kMenu, "Me&nu...", WS_TABSTOP, 52, 82, 45, 14},
    {res::Kind::DefPushButton, IDOK, "OK", WS_TABSTOP, 99, 82, 45, 14},
    {res::Kind::PushButton, IDCANCEL, "Cancel", WS_TABSTOP, 146, 82, 45, 14},
};

constexpr res::Dialog kDialogs[] = {
    {100, "Terminal Test", "MS Sans Serif", 8,
     DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, nullptr, 0, 0, 200, 104,
     kControls, std::size(kControls)},
};

// A small picture: a white square with a dark red frame.
constexpr const char* kPixels[] = {"1111", "1ff1", "1ff1", "1111"};
constexpr res::Image kBitmaps[] = {{135, 4, 4, kPixels}};

const res::Module kModule{nullptr, 0, kDialogs, std::size(kDialogs), nullptr, 0,
                          nullptr, 0, kBitmaps, std::size(kBitmaps)};
const res::Registration kRegistration(&kModule);

std::string RootFile(const char* name) {
    const char* root = std::getenv("SELVANE_ROOT");
    return std::string(root ? root : ".") + "/" + name;
}

void WriteFile(const char* name, const std::string& text) {
    std::string path = RootFile(name);
    std::string temp = path + ".tmp";
    if (FILE* f = std::fopen(temp.c_str(), "w")) {
        std::fputs(text.c_str(), f);
        std::fclose(f);
        std::rename(temp.c_str(), path.c_str()); // seen whole or not at all
    }
}

void Status(HWND dialog, const std::string& text) {
    SetDlgItemTextA(dialog, kStatus, text.c_str());
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        CheckRadioButton(dialog, kModeA, kModeC, kModeA);
        // The list's initial items, as the framework adds them from the template.
        for (const char* port : kPorts)
            SendDlgItemMessageA(dialog, kPort, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(port));
        SendDlgItemMessageA(dialog, kPort, CB_SETCURSEL, 0, 0);
        SendDlgItemMessageA(dialog, kName, EM_LIMITTEXT, 8, 0);
        WriteFile("pid", std::to_string(getpid()));
        return TRUE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        int code = HIWORD(wParam);
        if (id == kPort && code == CBN_SELCHANGE) {
            Status(dialog, "selchange " + std::to_string(SendDlgItemMessageA(dialog, kPort,
                                                                             CB_GETCURSEL, 0, 0)));
        } else if (id == kName && code == EN_MAXTEXT) {
            Status(dialog, "maxtext");
        } else if (id == kMessage && code == BN_CLICKED) {
            int answer = MessageBoxA(dialog, "Keep the changes?", "Terminal Test",
                                     MB_YESNO | MB_ICONQUESTION);
            Status(dialog, "answer " + std::to_string(answer));
        } else if (id == kMenu && code == BN_CLICKED) {
            HMENU menu = CreatePopupMenu();
            AppendMenuA(menu, MF_STRING | MF_CHECKED, kFirst, "&First");
            AppendMenuA(menu, MF_STRING, kSecond, "&Second");
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(menu, MF_STRING | MF_GRAYED, kThird, "&Third");
            RECT r{};
            GetWindowRect(GetDlgItem(dialog, kMenu), &r);
            UINT picked = static_cast<UINT>(
                TrackPopupMenu(menu, TPM_RETURNCMD, r.left, r.bottom, 0, dialog, nullptr));
            DestroyMenu(menu);
            Status(dialog, "picked " + std::to_string(picked));
        } else if ((id == IDOK || id == IDCANCEL) && code == BN_CLICKED) {
            EndDialog(dialog, id);
        }
        return TRUE;
    }
    }
    return FALSE;
}

} // namespace

int main() {
    ui::Start();
    INT_PTR result =
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(100), nullptr, DialogProc, 0);
    WriteFile("result", "ended " + std::to_string(result));
    return 0;
}

// The window system driven as a person would: a small test dialog from a template, menus,
// message boxes, timers and the CBT hook, with a clock the test advances.
#include "kernel/clock.h"
#include "support/temp_root.h"
#include "ui/automation.h"
#include "ui/headless.h"
#include "win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace ua = ui::automation;

enum : int {
    kModeA = 1000,
    kModeB = 1001,
    kModeC = 1002,
    kSortedList = 1003,
    kPortA = 1004,
    kPortB = 1005,
    kPortC = 1006,
    kName = 1010,
    kNarrow = 1011,
    kList = 1012,
    kReadOnly = 1013,
};

constexpr res::Control kControls[] = {
    {res::Kind::DefPushButton, IDOK, "OK", WS_TABSTOP, 100, 100, 50, 14},
    {res::Kind::PushButton, IDCANCEL, "Cancel", WS_TABSTOP, 100, 120, 50, 14},
    {res::Kind::AutoRadio, kModeA, "Mode A", WS_GROUP | WS_TABSTOP, 7, 7, 80, 10},
    {res::Kind::AutoRadio, kModeB, "Mode B", 0, 7, 20, 80, 10},
    {res::Kind::ComboBox, kSortedList, "", CBS_SORT | WS_VSCROLL | WS_TABSTOP, 90, 7, 48, 60},
    {res::Kind::AutoRadio, kModeC, "Mode C", 0, 7, 33, 80, 10},
    {res::Kind::Static, -1, "Title", WS_GROUP, 90, 30, 60, 8},
    {res::Kind::GroupBox, -1, "Ports", 0, 5, 45, 80, 50},
    {res::Kind::AutoRadio, kPortA, "A. Port A", WS_GROUP | WS_TABSTOP, 10, 55, 70, 10},
    {res::Kind::AutoRadio, kPortB, "B. Port B", 0, 10, 67, 70, 10},
    {res::Kind::AutoRadio, kPortC, "C. Port C", 0, 10, 79, 70, 10},
    {res::Kind::Edit, kName, "", WS_GROUP | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 90, 45, 60,
     12},
    {res::Kind::Edit, kNarrow, "", WS_TABSTOP | WS_BORDER, 90, 60, 24, 12},
    {res::Kind::ComboBox, kList, "", WS_VSCROLL | WS_TABSTOP, 90, 75, 48, 60},
    {res::Kind::Edit, kReadOnly, "fixed", ES_READONLY | ES_AUTOHSCROLL | res::kHidden, 90, 90, 60,
     12},
    {res::Kind::EtchedLine, -1, "", 0, 5, 98, 150, 1},
    {res::Kind::Picture, -1, "", 0, 150, 7, 20, 20, nullptr, 0, 135},
};

constexpr res::Dialog kDialogs[] = {
    {100, "Test Dialog", "Arial", 9,
     DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_APPWINDOW, nullptr, 0,
     0, 170, 140, kControls, std::size(kControls)},
    {101, "Classed", "Arial", 9, DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, "TEST_CLASS_1",
     0, 0, 100, 60, kControls, 2},
};

constexpr res::MenuItem kPortItems[] = {
    {40007, "Port A", 0}, {40008, "Port B", 0}, {40009, "Port C", 0}, {40010, "Port D", 0}};
constexpr res::MenuItem kMenuBar[] = {{0, "Port", 0, kPortItems, 4}};
constexpr res::Menu kMenus[] = {{109, kMenuBar, 1}};

constexpr const char* kPixels[] = {"0f", "f0"};
constexpr res::Image kImages[] = {{135, 2, 2, kPixels}};
constexpr res::Image kIcons[] = {{128, 2, 2, kPixels}};

constexpr res::String kStrings[] = {{1, "one"}};
const res::Module kModule{kStrings, 1,       kDialogs, std::size(kDialogs), kMenus, 1, kIcons,
                          1,        kImages, 1};

// What the dialog procedure saw.
struct Seen {
    std::vector<std::string> log;
    bool visibleAtInit = true;
    HWND dialog = nullptr;
    bool destroyOnOk = false;
    int quitCode = 0;
};
Seen* g_seen = nullptr;

INT_PTR CALLBACK TestProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        g_seen->dialog = dialog;
        g_seen->visibleAtInit = IsWindowVisible(dialog);
        g_seen->log.push_back("init");
        return TRUE;
    case WM_COMMAND: {
        g_seen->log.push_back("command " + std::to_string(LOWORD(wParam)) + " " +
                              std::to_string(HIWORD(wParam)));
        int id = LOWORD(wParam);
        if (id == IDOK || id == IDCANCEL) {
            if (g_seen->destroyOnOk)
                DestroyWindow(dialog);
            else
                EndDialog(dialog, id);
        }
        return TRUE;
    }
    case WM_SYSCOMMAND:
        g_seen->log.push_back("syscommand " + std::to_string(wParam & 0xFFF0));
        return FALSE;
    case WM_DESTROY:
        g_seen->log.push_back("destroy");
        if (g_seen->destroyOnOk) PostQuitMessage(g_seen->quitCode);
        return TRUE;
    }
    return FALSE;
}

class UserTest : public ::testing::Test {
protected:
    void SetUp() override {
        res::Register(&kModule);
        g_seen = &seen;
        ui::Use(&person);
        platform::SetClock([this] { return now; });
    }
    void TearDown() override {
        for (HWND w : ua::Windows())
            DestroyWindow(w);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        ui::Use(nullptr);
        platform::SetClock({});
        g_seen = nullptr;
    }

    // Runs the test dialog modally while the person does `steps`, one per wait of the loop.
    INT_PTR RunModal(std::vector<std::function<void()>> steps) {
        for (auto& step : steps)
            person.Then(std::move(step));
        return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(100), nullptr, TestProc,
                               0);
    }
    HWND Dialog() const { return seen.dialog; }
    bool Checked(int id) const { return IsDlgButtonChecked(seen.dialog, id) == BST_CHECKED; }
    std::string Text(int id) const {
        char buffer[256];
        GetDlgItemTextA(seen.dialog, id, buffer, sizeof buffer);
        return buffer;
    }

    testing_support::TempRoot root;
    ui::Headless person;
    uint64_t now = 1'000'000;
    Seen seen;
};

// Enter, Escape and the close box end a modal dialog, each with its result; the dialog is
// initialised before it is shown and destroyed when it ends.
TEST_F(UserTest, ModalDialogEndsByEnterEscapeAndCloseBox) {
    struct Case {
        const char* name;
        std::function<void(HWND)> act;
        INT_PTR result;
        const char* command;
    };
    const Case cases[] = {
        {"enter", [](HWND d) { ua::Press(d, ua::Key::Enter); }, IDOK, "command 1 0"},
        {"escape", [](HWND d) { ua::Press(d, ua::Key::Escape); }, IDCANCEL, "command 2 0"},
        {"close box", [](HWND d) { ua::CloseBox(d); }, IDCANCEL, "command 2 0"},
        {"click OK", [](HWND d) { ua::Click(d, IDOK); }, IDOK, "command 1 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        seen = Seen{};
        HWND shown = nullptr;
        bool visible = false;
        INT_PTR result = RunModal({[&] {
            shown = Dialog();
            visible = IsWindowVisible(shown);
            c.act(shown);
        }});
        EXPECT_EQ(result, c.result);
        EXPECT_FALSE(seen.visibleAtInit);
        EXPECT_TRUE(visible);
        ASSERT_GE(seen.log.size(), 3u);
        EXPECT_EQ(seen.log.front(), "init");
        EXPECT_EQ(seen.log[seen.log.size() - 2], c.command);
        EXPECT_EQ(seen.log.back(), "destroy");
        EXPECT_FALSE(IsWindow(shown));
    }
}

TEST_F(UserTest, AutoRadiosCheckOneOfTheirGroupAndNotifyTheParent) {
    std::vector<bool> afterModeB, afterPortC;
    RunModal({[&] {
        ASSERT_TRUE(ua::Click(Dialog(), kModeA));
        ASSERT_TRUE(ua::Click(Dialog(), kPortA));
        ASSERT_TRUE(ua::Click(Dialog(), kModeB));
        afterModeB = {Checked(kModeA), Checked(kModeB), Checked(kModeC), Checked(kPortA)};
        ASSERT_TRUE(ua::Click(Dialog(), kPortC));
        afterPortC = {Checked(kModeB), Checked(kPortA), Checked(kPortB), Checked(kPortC)};
        // A disabled radio takes no click.
        EnableWindow(GetDlgItem(Dialog(), kModeC), FALSE);
        EXPECT_FALSE(ua::Click(Dialog(), kModeC));
        EXPECT_FALSE(Checked(kModeC));
        // BM_CLICK from the program is a click too.
        SendDlgItemMessageA(Dialog(), kPortB, BM_CLICK, 0, 0);
        EXPECT_TRUE(Checked(kPortB));
        EXPECT_FALSE(Checked(kPortC));
        // BM_SETCHECK checks without notifying and without touching the others.
        SendDlgItemMessageA(Dialog(), kModeA, BM_SETCHECK, BST_CHECKED, 0);
        EXPECT_TRUE(Checked(kModeA));
        EXPECT_TRUE(Checked(kModeB));
        ua::Press(Dialog(), ua::Key::Escape);
    }});
    EXPECT_EQ(afterModeB, (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(afterPortC, (std::vector<bool>{true, false, false, true}));
    std::vector<std::string> clicks(seen.log.begin() + 1, seen.log.begin() + 6);
    EXPECT_EQ(clicks,
              (std::vector<std::string>{"command 1000 0", "command 1004 0", "command 1001 0",
                                        "command 1006 0", "command 1005 0"}));
}

TEST_F(UserTest, KeyboardNavigationFollowsTabStopsAndRadioGroups) {
    std::vector<int> focus;
    auto note = [&] { focus.push_back(GetDlgCtrlID(GetFocus())); };
    std::vector<std::function<void()>> steps = {
        [&] {
            note(); // the first tab stop
            SendDlgItemMessageA(Dialog(), kPortB, BM_SETCHECK, BST_CHECKED, 0);
            ua::Press(Dialog(), ua::Key::Tab);
        },
        [&] {
            note();
            ua::Press(Dialog(), ua::Key::Tab);
        },
        [&] {
            note();
            ua::Press(Dialog(), ua::Key::Tab);
        },
        [&] {
            note();
            ua::Press(Dialog(), ua::Key::Tab);
        }, // into the port group: the checked one
        [&] {
            note();
            ua::Press(Dialog(), ua::Key::Down);
        }, // the arrow moves the check
        [&] {
            note();
            EXPECT_TRUE(Checked(kPortC));
            EXPECT_FALSE(Checked(kPortB));
            ua::Press(Dialog(), ua::Key::Down); // wraps within the group
        },
        [&] {
            note();
            EXPECT_TRUE(Checked(kPortA));
            ua::Press(Dialog(), ua::Key::ShiftTab);
        },
        [&] {
            note();
            ua::Press(Dialog(), ua::Key::Escape);
        },
    };
    EXPECT_EQ(RunModal(steps), IDCANCEL);
    EXPECT_EQ(focus, (std::vector<int>{IDOK, IDCANCEL, kModeA, kSortedList, kPortB, kPortC, kPortA,
                                       kSortedList}));
}

TEST_F(UserTest, EnterClicksTheFocusedButtonOrTheDefaultOne) {
    INT_PTR onCancel = RunModal({[&] {
        SetFocus(GetDlgItem(Dialog(), IDCANCEL));
        ua::Press(Dialog(), ua::Key::Enter);
    }});
    EXPECT_EQ(onCancel, IDCANCEL);
    INT_PTR onEdit = RunModal({[&] {
        SetFocus(GetDlgItem(Dialog(), kName));
        ua::Press(Dialog(), ua::Key::Enter);
    }});
    EXPECT_EQ(onEdit, IDOK);
    // A disabled default button makes Enter do nothing.
    INT_PTR disabled = RunModal({[&] {
                                     EnableWindow(GetDlgItem(Dialog(), IDOK), FALSE);
                                     SetFocus(GetDlgItem(Dialog(), kName));
                                     ua::Press(Dialog(), ua::Key::Enter);
                                 },
                                 [&] { ua::Press(Dialog(), ua::Key::Escape); }});
    EXPECT_EQ(disabled, IDCANCEL);
}

TEST_F(UserTest, DropDownListsSortedUnsortedAndTheirSelection) {
    RunModal({[&] {
        HWND sorted = GetDlgItem(Dialog(), kSortedList);
        HWND plain = GetDlgItem(Dialog(), kList);
        for (const char* item : {"LPT3", "lpt1", "LPT2"}) {
            SendMessageA(sorted, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
            SendMessageA(plain, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        }
        EXPECT_EQ(ua::Control(Dialog(), kSortedList)->items,
                  (std::vector<std::string>{"lpt1", "LPT2", "LPT3"}));
        EXPECT_EQ(ua::Control(Dialog(), kList)->items,
                  (std::vector<std::string>{"LPT3", "lpt1", "LPT2"}));
        EXPECT_EQ(SendMessageA(plain, CB_GETCURSEL, 0, 0), CB_ERR);

        // The program's selection does not notify; the selected item follows insertions.
        EXPECT_EQ(SendMessageA(plain, CB_SETCURSEL, 1, 0), 1);
        EXPECT_EQ(SendMessageA(plain, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("First")), 0);
        EXPECT_EQ(SendMessageA(plain, CB_INSERTSTRING, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>("Last")),
                  4);
        EXPECT_EQ(SendMessageA(plain, CB_INSERTSTRING, 9, reinterpret_cast<LPARAM>("x")), CB_ERR);
        EXPECT_EQ(SendMessageA(plain, CB_GETCURSEL, 0, 0), 2);
        EXPECT_EQ(SendMessageA(plain, CB_GETLBTEXTLEN, 2, 0), 4);

        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(SendMessageA(plain, CB_GETLBTEXT, 7, reinterpret_cast<LPARAM>(buffer)), CB_ERR);
        EXPECT_EQ(buffer[0], '#'); // left untouched
        EXPECT_EQ(SendMessageA(plain, CB_GETLBTEXT, 4, reinterpret_cast<LPARAM>(buffer)), 4);
        EXPECT_STREQ(buffer, "Last");
        EXPECT_EQ(SendMessageA(plain, CB_SETCURSEL, 99, 0), CB_ERR);
        EXPECT_EQ(SendMessageA(plain, CB_GETCURSEL, 0, 0), CB_ERR);

        // A person's pick notifies.
        ASSERT_TRUE(ua::Select(Dialog(), kList, 3));
        EXPECT_EQ(SendMessageA(plain, CB_GETCURSEL, 0, 0), 3);
        EXPECT_EQ(Text(kList), "LPT2");
        EXPECT_FALSE(ua::Select(Dialog(), kList, 5));
        EXPECT_EQ(ua::Describe(*ua::Control(Dialog(), kList)),
                  "1012 combo enabled \"LPT2\" sel=3 items=\"First|LPT3|lpt1|LPT2|Last\"");
        EXPECT_EQ(ua::Describe(*ua::Control(Dialog(), kModeA)), "1000 radio enabled \"Mode A\"");
        ua::Press(Dialog(), ua::Key::Escape);
    }});
    std::vector<std::string> selchanges;
    for (const auto& line : seen.log)
        if (line == "command 1012 1" || line == "command 1003 1") selchanges.push_back(line);
    EXPECT_EQ(selchanges, (std::vector<std::string>{"command 1012 1"}));
}

TEST_F(UserTest, EditsLimitTypingNotTheProgramsTextAndReportLeavingFocus) {
    RunModal({[&] {
        SendDlgItemMessageA(Dialog(), kName, EM_LIMITTEXT, 5, 0);
        ASSERT_TRUE(ua::Type(Dialog(), kName, "abcdefgh"));
        EXPECT_EQ(Text(kName), "abcde");
        SetDlgItemTextA(Dialog(), kName, "a text longer than five");
        EXPECT_EQ(Text(kName), "a text longer than five");
        // Typing replaces the selection, still within the limit.
        ASSERT_TRUE(ua::Type(Dialog(), kName, "xy"));
        EXPECT_EQ(Text(kName), "xy");
        DWORD start = 9, end = 9;
        SendDlgItemMessageA(Dialog(), kName, EM_SETSEL, 0, -1);
        SendDlgItemMessageA(Dialog(), kName, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                            reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u);
        EXPECT_EQ(end, 2u);
        // Without automatic scrolling the edit takes what its width shows (24 units: 5 chars).
        ASSERT_TRUE(ua::Type(Dialog(), kNarrow, "123456789"));
        EXPECT_EQ(Text(kNarrow), "12345");
        // A read-only edit takes no typing, and a hidden one no person at all.
        HWND fixed = GetDlgItem(Dialog(), kReadOnly);
        EXPECT_FALSE(ua::Type(Dialog(), kReadOnly, "x"));
        SendMessageA(fixed, WM_CHAR, 'x', 0);
        EXPECT_EQ(Text(kReadOnly), "fixed");
        ua::Press(Dialog(), ua::Key::Escape);
    }});
    int killfocus = 0;
    for (const auto& line : seen.log)
        if (line == "command 1010 512") ++killfocus;
    EXPECT_EQ(killfocus, 2); // EN_KILLFOCUS each time the person left the name edit
}

TEST_F(UserTest, ModelessDialogRunsInTheProgramsLoopUntilTheQuit) {
    seen.destroyOnOk = true;
    seen.quitCode = 7;
    HWND dialog =
        CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(100), nullptr, TestProc, 0);
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(IsWindowVisible(dialog)); // the template lacks WS_VISIBLE
    ShowWindow(dialog, SW_SHOW);
    person.Then([&] { ua::Click(dialog, kPortB); }).Then([&] {
        ua::Press(dialog, ua::Key::Enter);
    });
    MSG msg;
    int taken = 0;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        ++taken;
        if (!IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_GT(taken, 0);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(seen.log.back(), "destroy");
    EXPECT_EQ(seen.log[seen.log.size() - 2], "command 1 0");
}

TEST_F(UserTest, MessagesPostedFromAnotherThreadReachTheWindowsOwnQueue) {
    seen.destroyOnOk = true;
    seen.quitCode = 5;
    HWND dialog =
        CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(100), nullptr, TestProc, 0);
    ASSERT_TRUE(dialog);
    person.WhenIdle([] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
    BOOL posted = FALSE;
    std::thread other([&] { posted = PostMessageA(dialog, WM_COMMAND, IDOK, 0); });
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0))
        DispatchMessageA(&msg);
    other.join();
    EXPECT_TRUE(posted);
    EXPECT_EQ(msg.wParam, 5u);
    EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(UserTest, WindowClassesAndHandles) {
    WNDCLASSA wc{};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = DefDlgProcA;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hIcon = LoadIconA(wc.hInstance, MAKEINTRESOURCEA(128));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = "TEST_CLASS_1";
    EXPECT_TRUE(wc.hIcon && wc.hCursor && wc.hbrBackground);
    EXPECT_EQ(FindWindowA("TEST_CLASS_1", nullptr), nullptr);
    EXPECT_NE(RegisterClassA(&wc), 0);
    EXPECT_EQ(RegisterClassA(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

    WNDCLASSEXA wcx{};
    wcx.cbSize = sizeof wcx - 1;
    wcx.lpfnWndProc = DefDlgProcA;
    wcx.lpszClassName = "TEST_CLASS_2";
    EXPECT_EQ(RegisterClassExA(&wcx), 0);
    wcx.cbSize = sizeof wcx;
    EXPECT_NE(RegisterClassExA(&wcx), 0);

    HWND dialog =
        CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(101), nullptr, TestProc, 0);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(FindWindowA("test_class_1", nullptr), dialog); // class names ignore case
    EXPECT_EQ(FindWindowA(nullptr, "Classed"), dialog);
    EXPECT_EQ(SetWindowLongA(dialog, DWL_USER, 42), 0);
    EXPECT_EQ(GetWindowLongA(dialog, DWL_USER), 42);
    EXPECT_EQ(SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(wc.hIcon)), 0);
    EXPECT_EQ(SendMessageA(dialog, WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(wc.hIcon));
    EXPECT_FALSE(IsIconic(dialog));
    ShowWindow(dialog, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(dialog));
    EXPECT_TRUE(DestroyWindow(dialog));
    EXPECT_EQ(FindWindowA("TEST_CLASS_1", nullptr), nullptr);

    // A handle of a destroyed window stays invalid, even when its slot is used again.
    HWND again =
        CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(101), nullptr, TestProc, 0);
    ASSERT_TRUE(again);
    EXPECT_NE(again, dialog);
    EXPECT_FALSE(IsWindow(dialog));
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetWindowTextA(dialog, buffer, sizeof buffer), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(SendMessageA(dialog, WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_FALSE(DestroyWindow(dialog));
    DestroyWindow(again);
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), 32);
    EXPECT_EQ(GetSystemMetrics(SM_CYICON), 32);
    EXPECT_TRUE(WinHelpA(nullptr, nullptr, HELP_QUIT, 0));
}

TEST_F(UserTest, SystemMenuItemsReachTheWindow) {
    INT_PTR result = RunModal({[&] {
                                   HMENU menu = GetSystemMenu(Dialog(), FALSE);
                                   ASSERT_TRUE(menu);
                                   AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
                                   AppendMenuA(menu, MF_STRING, 0x10, "&About...");
                                   auto items = ua::SystemMenu(Dialog());
                                   ASSERT_GE(items.size(), 3u);
                                   EXPECT_EQ(items.back().text, "&About...");
                                   EXPECT_TRUE(ua::ChooseSystemMenu(Dialog(), 0x10));
                                   EXPECT_FALSE(ua::ChooseSystemMenu(Dialog(), 0x20));
                               },
                               [&] { EXPECT_TRUE(ua::ChooseSystemMenu(Dialog(), SC_CLOSE)); }});
    EXPECT_EQ(result, IDCANCEL);
    auto at = std::find(seen.log.begin(), seen.log.end(), "syscommand 16");
    EXPECT_NE(at, seen.log.end());
    EXPECT_NE(std::find(at, seen.log.end(), "syscommand 61536"), seen.log.end());
}

TEST_F(UserTest, PopupMenuShowsItsCheckMarkAndDeliversThePick) {
    HWND owner =
        CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(100), nullptr, TestProc, 0);
    ASSERT_TRUE(owner);
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(109));
    ASSERT_TRUE(menu);
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_TRUE(popup);
    for (UINT position : {3u, 2u, 1u, 0u})
        EXPECT_TRUE(RemoveMenu(popup, position, MF_BYPOSITION));
    EXPECT_FALSE(RemoveMenu(popup, 0, MF_BYPOSITION));
    EXPECT_EQ(GetMenuItemCount(popup), 0);
    AppendMenuA(popup, MF_STRING, 40007, "Printer");
    AppendMenuA(popup, MF_STRING, 40008, "");
    AppendMenuA(popup, MF_STRING, 40009, "Scanner");
    EXPECT_EQ(CheckMenuItem(menu, 40008, MF_BYCOMMAND | MF_CHECKED), MF_UNCHECKED);
    EXPECT_EQ(CheckMenuItem(popup, 40008, MF_BYCOMMAND | MF_CHECKED), MF_CHECKED);
    EXPECT_EQ(CheckMenuItem(popup, 40010, MF_BYCOMMAND | MF_CHECKED), static_cast<DWORD>(-1));
    EXPECT_TRUE(DeleteMenu(popup, 40009, MF_BYCOMMAND));

    std::vector<std::string> shown;
    person.Then([&] {
        auto items = ua::PopupMenu();
        ASSERT_TRUE(items);
        for (const auto& item : *items)
            shown.push_back(std::to_string(item.id) +
                            ((item.flags & MF_CHECKED) ? " checked" : "") + " \"" + item.text +
                            "\"");
        EXPECT_FALSE(ua::Pick(40010));
        EXPECT_TRUE(ua::Pick(40008));
    });
    EXPECT_TRUE(SetForegroundWindow(owner));
    EXPECT_TRUE(
        TrackPopupMenu(popup, TPM_RIGHTALIGN | TPM_BOTTOMALIGN, 300, 200, 0, owner, nullptr));
    EXPECT_FALSE(ua::PopupMenu());
    EXPECT_EQ(shown, (std::vector<std::string>{"40007 \"Printer\"", "40008 checked \"\""}));
    // The pick arrives as a posted WM_COMMAND, after the menu has gone.
    EXPECT_EQ(seen.log.back(), "init");
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_COMMAND));
    DispatchMessageA(&msg);
    EXPECT_EQ(seen.log.back(), "command 40008 0");
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_FALSE(IsMenu(popup));
    // Menus loaded and destroyed at every click never run out of handles, and a destroyed
    // menu's handle does not reach the menu that takes its place.
    for (int i = 0; i < 70000; ++i) {
        HMENU fresh = CreatePopupMenu();
        ASSERT_TRUE(fresh) << "menu " << i;
        if (i == 0) {
            EXPECT_FALSE(IsMenu(popup) || IsMenu(menu));
        }
        DestroyMenu(fresh);
    }
    EXPECT_TRUE(ReleaseCapture());
    POINT p{};
    EXPECT_TRUE(GetCursorPos(&p));
}

TEST_F(UserTest, MessageBoxAnswersAndKeepsItsOwnerDisabled) {
    HWND owner =
        CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(100), nullptr, TestProc, 0);
    struct Case {
        UINT style;
        std::vector<std::function<void()>> steps;
        int result;
    };
    std::optional<ua::MessageBoxState> state;
    bool ownerEnabled = true;
    const Case cases[] = {
        {MB_YESNO | MB_ICONEXCLAMATION | MB_SYSTEMMODAL,
         {[&] {
              state = ua::MessageBox();
              ownerEnabled = IsWindowEnabled(owner);
              ASSERT_TRUE(state);
              ua::Press(state->hwnd, ua::Key::Escape); // no answer on a Yes/No box
          },
          [&] { ua::CloseBox(state->hwnd); },
          [&] {
              EXPECT_FALSE(ua::Answer(IDOK));
              EXPECT_TRUE(ua::Answer(IDNO));
          }},
         IDNO},
        {MB_YESNO, {[&] { ua::Press(ua::MessageBox()->hwnd, ua::Key::Enter); }}, IDYES},
        {MB_YESNO | MB_DEFBUTTON2,
         {[&] { ua::Press(ua::MessageBox()->hwnd, ua::Key::Enter); }},
         IDNO},
        {MB_OK | MB_ICONINFORMATION,
         {[&] { ua::Press(ua::MessageBox()->hwnd, ua::Key::Escape); }},
         IDOK},
        {MB_OKCANCEL, {[&] { ua::Press(ua::MessageBox()->hwnd, ua::Key::Escape); }}, IDCANCEL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        for (auto step : c.steps)
            person.Then(step);
        EXPECT_EQ(MessageBoxA(owner, "Remove it?", "Caption", c.style), c.result);
        EXPECT_FALSE(ua::MessageBox());
        EXPECT_TRUE(IsWindowEnabled(owner));
    }
    ASSERT_TRUE(state);
    EXPECT_EQ(state->style, static_cast<UINT>(0x1034));
    EXPECT_EQ(state->caption, "Caption");
    EXPECT_EQ(state->text, "Remove it?");
    EXPECT_FALSE(ownerEnabled);
}

// The pattern of a message box that keeps itself in front: the context in a TLS slot, a CBT
// hook that learns the box's window on its activation, and a 15-second thread timer served by
// the box's own loop.
struct BoxContext {
    HHOOK hook = nullptr;
    HWND box = nullptr;
    UINT_PTR timer = 0;
    std::vector<uint64_t> fired;
    std::vector<int> codes;
};
DWORD g_slot = TLS_OUT_OF_INDEXES;
uint64_t* g_now = nullptr;

void CALLBACK ForegroundTimer(HWND, UINT, UINT_PTR, DWORD) {
    auto* context = static_cast<BoxContext*>(TlsGetValue(g_slot));
    context->fired.push_back(*g_now);
    SetForegroundWindow(context->box);
}

LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM) {
    auto* context = static_cast<BoxContext*>(TlsGetValue(g_slot));
    context->codes.push_back(code);
    if (code == HCBT_ACTIVATE) {
        context->box = reinterpret_cast<HWND>(wParam);
        UnhookWindowsHookEx(context->hook);
        context->hook = nullptr;
        context->timer = SetTimer(nullptr, 0, 15000, ForegroundTimer);
    }
    return 0;
}

TEST_F(UserTest, CbtHookSeesTheBoxActivateAndItsTimerFiresEvery15Seconds) {
    g_slot = TlsAlloc();
    ASSERT_NE(g_slot, TLS_OUT_OF_INDEXES);
    g_now = &now;
    BoxContext context;
    TlsSetValue(g_slot, &context);
    context.hook = SetWindowsHookExA(WH_CBT, BoxHook, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(context.hook);
    const uint64_t start = now;
    HWND seenBox = nullptr;
    // The person waits: one second a step, and answers after 40 seconds.
    person.WhenIdle([&] {
        if (now - start < 40000) {
            now += 1000;
            return;
        }
        seenBox = ua::MessageBox()->hwnd;
        ua::Answer(IDOK);
    });
    int result =
        MessageBoxA(nullptr, "Paper out\n", "Printer", MB_SETFOREGROUND | MB_ICONINFORMATION);
    TlsSetValue(g_slot, nullptr);
    KillTimer(nullptr, context.timer);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(context.box, seenBox);
    EXPECT_EQ(context.codes.back(), HCBT_ACTIVATE);
    EXPECT_EQ(context.hook, nullptr);
    EXPECT_EQ(context.fired, (std::vector<uint64_t>{start + 15000, start + 30000}));
    EXPECT_FALSE(UnhookWindowsHookEx(context.hook));
    EXPECT_FALSE(KillTimer(nullptr, context.timer));
    TlsFree(g_slot);
}

TEST_F(UserTest, HooksChainAndThreadTimersRunInAnyLoop) {
    static std::vector<std::string> calls;
    calls.clear();
    static HHOOK first = nullptr, second = nullptr;
    first = SetWindowsHookExA(
        WH_CBT,
        [](int code, WPARAM w, LPARAM l) -> LRESULT {
            calls.push_back("first " + std::to_string(code));
            return CallNextHookEx(first, code, w, l);
        },
        nullptr, GetCurrentThreadId());
    second = SetWindowsHookExA(
        WH_CBT,
        [](int code, WPARAM w, LPARAM l) -> LRESULT {
            calls.push_back("second " + std::to_string(code));
            return CallNextHookEx(second, code, w, l);
        },
        nullptr, GetCurrentThreadId());
    ASSERT_TRUE(first && second);
    EXPECT_EQ(SetWindowsHookExA(
                  WH_CBT, [](int, WPARAM, LPARAM) -> LRESULT { return 0; }, nullptr,
                  GetCurrentThreadId() + 4),
              nullptr);
    HWND dialog =
        CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(100), nullptr, TestProc, 0);
    ShowWindow(dialog, SW_SHOW);
    EXPECT_TRUE(UnhookWindowsHookEx(first));
    EXPECT_TRUE(UnhookWindowsHookEx(second));
    // The most recent hook runs first and hands on; every control's creation passes too.
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0], "second 3");
    EXPECT_EQ(calls[1], "first 3");
    EXPECT_EQ(calls[calls.size() - 2], "second 5");
    EXPECT_EQ(calls.back(), "first 5");

    // A thread timer fires in a modal dialog's loop too; killed, it stops.
    static int ticks = 0;
    ticks = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 500, [](HWND, UINT, UINT_PTR, DWORD) { ++ticks; });
    ASSERT_NE(timer, 0u);
    person.WhenIdle([&] {
        now += 100;
        if (ticks == 2) KillTimer(nullptr, timer);
        if (now > 1'000'000 + 3000) ua::Press(Dialog(), ua::Key::Escape);
    });
    seen.dialog = nullptr;
    RunModal({});
    EXPECT_EQ(ticks, 2);
}

TEST(Wvsprintf, FormatsAsWindowsDoes) {
    testing_support::TempRoot root;
    struct Case {
        const char* format;
        const char* expected;
    };
    char buffer[1100];
    auto format = [&](const char* f, ...) {
        va_list args;
        va_start(args, f);
        int n = wvsprintfA(buffer, f, args);
        va_end(args);
        return n;
    };
    EXPECT_EQ(format("LPT%d: %s", 2, "ready"), 11);
    EXPECT_STREQ(buffer, "LPT2: ready");
    format("[%5d|%-5d|%05d|%x|%X|%#x]", 42, 42, -42, 255, 255, 255);
    EXPECT_STREQ(buffer, "[   42|42   |-0042|ff|FF|0xff]");
    format("%c%% %u %.3s %lu", 'A', 4000000000u, "abcdef", 7u);
    EXPECT_STREQ(buffer, "A% 4000000000 abc 7");
    std::string big(1500, 'x');
    EXPECT_EQ(format("%s", big.c_str()), 1023); // 1024 bytes with the terminator
}

} // namespace

// SWITCH.exe's main dialog run in this process, with the test as the person: what it restores
// from the configuration key, what it sends the box, which controls each mode opens, the default
// printer and its broadcast, the tray companion's start, the save at close.
#include "SwitchApp.h"
#include "SwitchDlg.h"
#include "panel_fixture.h"

#include <filesystem>
#include <string>
#include <vector>

namespace panel_test {
namespace {

namespace fs = std::filesystem;

// The four printers `selvane setup` lists, as device strings.
std::string Device(char port) {
    return std::string("Printer P") + port + ",Generic / Text Only,LPx1-  P" + port + " (selvane):";
}

enum class Ending { Ok, Escape, CloseBox };

class SwitchTest : public PanelTest {
protected:
    // Runs the main dialog; each step runs as the person once a loop waits (a step that opens
    // another dialog hands the next steps to that dialog's loop). The dialog is then closed.
    void Run(std::vector<std::function<void()>> steps = {}, Ending ending = Ending::Ok) {
        for (auto& step : steps)
            person.Then(step);
        person.Then([ending] {
            ASSERT_NE(Main(), nullptr);
            switch (ending) {
            case Ending::Ok:
                ASSERT_TRUE(ua::Press(Main(), ua::Key::Enter));
                break;
            case Ending::Escape:
                ASSERT_TRUE(ua::Press(Main(), ua::Key::Escape));
                break;
            case Ending::CloseBox:
                ASSERT_TRUE(ua::CloseBox(Main()));
                break;
            }
        });
        dlg.DoModal();
        EXPECT_EQ(person.Pending(), 0u);
    }
    // The stored devices of `selvane setup`'s printers, one per port.
    void StoreDevices() {
        for (char p : {'A', 'B', 'C', 'D'})
            SetText((std::string("P") + p + " Spooler").c_str(), Device(p));
    }

    CSwitchDlg dlg;
};

// --- what the dialog restores -------------------------------------------------------------

TEST_F(SwitchTest, WithoutTheKeyItStartsOnLpt1PortAAndSavesNothing) {
    DeleteKey();
    std::vector<std::string> captions;
    Run({[&] {
        for (int id = 1004; id <= 1007; ++id)
            captions.push_back(Caption(id));
        EXPECT_EQ(Ctl(Main(), 1003)->sel, 0);
        EXPECT_TRUE(Checked(1000));
        EXPECT_TRUE(Checked(1004));
        EXPECT_FALSE(Enabled(1002));
        EXPECT_TRUE(Enabled(1006) && Enabled(1007)); // four ports
        ASSERT_TRUE(ua::Click(Main(), 1005));
    }});
    EXPECT_EQ(captions,
              (std::vector<std::string>{"A. Port A", "B. Port B", "C. Port C", "D. Port D"}));
    EXPECT_EQ(TakeBoxLog(), (std::vector<std::string>{Command(0, 'A'), Command(0, 'B')}));
    EXPECT_EQ(DefaultPrinter(), kSentinelPrinter); // no device strings
    EXPECT_FALSE(KeyExists());                     // not made at close
    EXPECT_EQ(TrayStarts(0), 0);                   // no "Path" without the key
}

struct RestoreCase {
    const char* what;
    const char* model;
    DWORD lpt, mode, port;
    // What the dialog shows and sends.
    int lptShown;
    int modeRadio, portRadio; // the checked ones
    const char* enabled;      // 1000 1001 1002 1004 1005 1006 1007 1008, '1' or '0'
    std::vector<std::string> commands;
    const char* defaultPrinter; // the port whose device became default, or "" for none
    // What it saves on OK.
    DWORD savedLpt, savedMode, savedPort;
};

TEST_F(SwitchTest, RestoresTheStoredStateAndSwitchesTheBox) {
    const RestoreCase cases[] = {
        {"mode 0 port B on LPT2",
         "Selvane 4-1",
         1,
         0,
         1,
         1,
         1000,
         1005,
         "11011111",
         {Command(1, 'B')},
         "B",
         1,
         0,
         1},
        {"mode 0 port D",
         "Selvane 4-1",
         0,
         0,
         3,
         0,
         1000,
         1007,
         "11011111",
         {Command(0, 'D')},
         "D",
         0,
         0,
         3},
        {"mode 1",
         "Selvane 4-1",
         2,
         1,
         2,
         2,
         1001,
         1006,
         "11100000",
         {Command(2, 'A')},
         "",
         2,
         1,
         2},
        {"mode 2",
         "Selvane 4-1",
         0,
         2,
         1,
         0,
         1002,
         1005,
         "11100000",
         {Command(0, 'C')},
         "",
         0,
         2,
         1},
        {"two-port model, port D",
         "Selvane 2-1",
         0,
         0,
         3,
         0,
         1000,
         1004,
         "11011001",
         {Command(0, 'A')},
         "A",
         0,
         0,
         0},
        {"two-port model, port B",
         "Selvane 2-1",
         0,
         0,
         1,
         0,
         1000,
         1005,
         "11011001",
         {Command(0, 'B')},
         "B",
         0,
         0,
         1},
        {"two-port model, mode 1",
         "Selvane 2-1",
         0,
         1,
         0,
         0,
         1001,
         1004,
         "11100000",
         {Command(0, 'A')},
         "",
         0,
         1,
         0},
        {"model in other case",
         "selvane 2-1",
         0,
         0,
         3,
         0,
         1000,
         1007,
         "11011111",
         {Command(0, 'D')},
         "D",
         0,
         0,
         3},
        {"other model",
         "Selvane 2-2 / 4-2",
         0,
         0,
         2,
         0,
         1000,
         1006,
         "11011111",
         {Command(0, 'C')},
         "C",
         0,
         0,
         2},
        {"LPTx 5",
         "Selvane 4-1",
         5,
         0,
         0,
         0,
         1000,
         1004,
         "11011111",
         {Command(0, 'A')},
         "A",
         0,
         0,
         0},
        {"LPTx -1",
         "Selvane 4-1",
         0xFFFFFFFF,
         0,
         0,
         0,
         1000,
         1004,
         "11011111",
         {Command(0, 'A')},
         "A",
         0,
         0,
         0},
        {"ActiveMode 7",
         "Selvane 4-1",
         0,
         7,
         1,
         0,
         1001,
         1005,
         "11100000",
         {Command(0, 'A')},
         "",
         0,
         1,
         1},
        {"ActivePort 4",
         "Selvane 4-1",
         0,
         0,
         4,
         0,
         1000,
         1004,
         "11011111",
         {Command(0, 'A')},
         "A",
         0,
         0,
         0},
        {"ActivePort -1",
         "Selvane 4-1",
         0,
         0,
         0xFFFFFFFF,
         0,
         1000,
         1004,
         "11011111",
         {Command(0, 'A')},
         "A",
         0,
         0,
         0},
    };
    const int ids[] = {1000, 1001, 1002, 1004, 1005, 1006, 1007, 1008};
    for (size_t row = 0; row < std::size(cases); ++row) {
        const RestoreCase& c = cases[row];
        SCOPED_TRACE("row " + std::to_string(row) + ": " + c.what);
        SetText("Model Name", c.model);
        SetDword("LPTx", c.lpt);
        SetDword("ActiveMode", c.mode);
        SetDword("ActivePort", c.port);
        StoreDevices();
        SetDefaultPrinterEntry(kSentinelPrinter);
        TakeBoxLog();
        CSwitchDlg panel;
        std::string enabled;
        int lptShown = -1;
        bool modeChecked = false, portChecked = false;
        person.Then([&] {
            for (int id : ids)
                enabled += Enabled(id) ? '1' : '0';
            lptShown = Ctl(Main(), 1003)->sel;
            modeChecked = Checked(c.modeRadio);
            portChecked = Checked(c.portRadio);
            ua::Press(Main(), ua::Key::Enter);
        });
        panel.DoModal();
        EXPECT_EQ(enabled, c.enabled);
        EXPECT_EQ(lptShown, c.lptShown);
        EXPECT_TRUE(modeChecked);
        EXPECT_TRUE(portChecked);
        EXPECT_EQ(TakeBoxLog(), c.commands);
        EXPECT_EQ(DefaultPrinter(),
                  *c.defaultPrinter ? Device(*c.defaultPrinter) : std::string(kSentinelPrinter));
        EXPECT_EQ(Dword("LPTx"), c.savedLpt);
        EXPECT_EQ(Dword("ActiveMode"), c.savedMode);
        EXPECT_EQ(Dword("ActivePort"), c.savedPort);
    }
}

TEST_F(SwitchTest, NamesBecomeRadioCaptionsAndAreSavedWithoutTheirLetter) {
    SetText("PA Name", "Laser");
    DeleteValue("PB Name");
    SetText("PC Name", std::string(252, 'c')); // fills the caption's 256 bytes exactly
    SetDword("PD Name", 0x00434241);           // not text: "ABC" and a zero
    SetText("PA Spooler", "Scanner");
    std::vector<std::string> captions;
    Run({[&] {
        for (int id = 1004; id <= 1007; ++id)
            captions.push_back(Caption(id));
    }});
    EXPECT_EQ(captions, (std::vector<std::string>{"A. Laser", "B. ", "C. " + std::string(252, 'c'),
                                                  "D. ABC"}));
    EXPECT_EQ(Text("PA Name"), "Laser");
    EXPECT_EQ(Text("PB Name"), ""); // saved as an empty name
    EXPECT_EQ(Text("PC Name"), std::string(252, 'c'));
    EXPECT_EQ(Text("PD Name"), "ABC");
    EXPECT_EQ(Text("PA Spooler"), "Scanner");
    EXPECT_EQ(Text("PB Spooler"), ""); // every device string is written
    EXPECT_EQ(DefaultPrinter(), "Scanner");
}

TEST_F(SwitchTest, TextsTooLongForTheirBuffersKeepTheDefaults) {
    // 253 bytes behind the letter, 256 for a device: a longer value is not read at all.
    SetText("PA Name", std::string(253, 'n'));
    SetText("PB Spooler", std::string(256, 's'));
    SetText("Model Name", "Selvane 2-1" + std::string(250, ' '));
    SetDword("ActivePort", 1);
    Run({[&] {
        EXPECT_EQ(Caption(1004), "A. ");
        EXPECT_TRUE(Enabled(1007)); // the model was not read
    }});
    EXPECT_EQ(dlg.m_strSpooler[1], "");
    EXPECT_EQ(DefaultPrinter(), kSentinelPrinter);
}

TEST_F(SwitchTest, TextsThatFillTheirBuffersWithoutATerminatorEndInsideThem) {
    SetBytes("PA Name", std::string(253, 'n'));
    SetBytes("PC Spooler", std::string(256, 's'));
    SetBytes("Model Name", "Selvane 2-1" + std::string(245, '-'));
    std::string caption;
    Run({[&] { caption = Caption(1004); }});
    EXPECT_EQ(caption, "A. " + std::string(252, 'n'));
    EXPECT_EQ(dlg.m_strSpooler[2].str(), std::string(255, 's'));
    EXPECT_FALSE(dlg.m_bTwoPortModel);
    EXPECT_EQ(Text("PC Spooler"), std::string(255, 's'));
}

TEST_F(SwitchTest, EveryEndingSavesTheSameWay) {
    const Ending endings[] = {Ending::Ok, Ending::Escape, Ending::CloseBox};
    for (size_t row = 0; row < std::size(endings); ++row) {
        SCOPED_TRACE("ending " + std::to_string(row));
        SetDword("ActivePort", 0);
        SetDword("LPTx", 0);
        CSwitchDlg panel;
        person.Then([] {
            ua::Click(Main(), 1006);
            ua::Select(Main(), 1003, 2);
        });
        person.Then([row] {
            if (row == 0) ua::Press(Main(), ua::Key::Enter);
            if (row == 1) ua::Press(Main(), ua::Key::Escape);
            if (row == 2) ua::CloseBox(Main());
        });
        INT_PTR result = panel.DoModal();
        EXPECT_EQ(result, row == 0 ? IDOK : IDCANCEL);
        EXPECT_EQ(Main(), nullptr);
        EXPECT_EQ(Dword("ActivePort"), 2u);
        EXPECT_EQ(Dword("LPTx"), 2u);
    }
}

// --- modes and ports -------------------------------------------------------------------------

struct Transition {
    int click;
    std::vector<std::string> commands; // what the box receives
    const char* enabled;               // 1000 1001 1002 1004 1005 1006 1007 1008
    const char* defaultPrinter;        // the port whose device is default now
};

TEST_F(SwitchTest, ModeAndPortPicksSwitchTheBoxAndOpenTheirControls) {
    SetDword("ActiveMode", 1);
    SetDword("ActivePort", 1);
    SetDword("LPTx", 2);
    StoreDevices();
    const Transition steps[] = {
        {1002, {Command(2, 'C')}, "11100000", ""}, // file transfer from mode 1
        {1002, {Command(2, 'C')}, "11100000", ""}, // picked again: sent again
        {1000, {}, "11011111", "B"},               // back to one PC: nothing sent
        {1007, {Command(2, 'D')}, "11011111", "D"},
        {1007, {Command(2, 'D')}, "11011111", "D"},
        {1001, {Command(2, 'A')}, "11100000", "D"},
        {1000, {}, "11011111", "D"},
        {1004, {Command(2, 'A')}, "11011111", "A"},
        {1002, {}, "11011111", "A"}, // shut in mode 0: the click does nothing
    };
    const int ids[] = {1000, 1001, 1002, 1004, 1005, 1006, 1007, 1008};
    std::vector<std::function<void()>> acts;
    acts.push_back([this] { TakeBoxLog(); });
    for (size_t row = 0; row < std::size(steps); ++row) {
        acts.push_back([this, row, &steps, &ids] {
            const Transition& t = steps[row];
            SCOPED_TRACE("step " + std::to_string(row) + ": click " + std::to_string(t.click));
            ua::Click(Main(), t.click);
            EXPECT_EQ(TakeBoxLog(), t.commands);
            std::string enabled;
            for (int id : ids)
                enabled += Enabled(id) ? '1' : '0';
            EXPECT_EQ(enabled, t.enabled);
            EXPECT_EQ(DefaultPrinter(),
                      *t.defaultPrinter ? Device(*t.defaultPrinter) : kSentinelPrinter);
        });
    }
    Run(acts);
    EXPECT_EQ(Dword("ActiveMode"), 0u);
    EXPECT_EQ(Dword("ActivePort"), 0u);
}

TEST_F(SwitchTest, ReturningToOnePcChecksTheKeptPortAndMakesItsDeviceDefault) {
    SetDword("ActiveMode", 2);
    SetDword("ActivePort", 3);
    StoreDevices();
    Run({[&] {
        EXPECT_FALSE(Checked(1007) && Enabled(1007));
        ua::Click(Main(), 1000);
        EXPECT_TRUE(Checked(1000));
        EXPECT_TRUE(Checked(1007));
        EXPECT_FALSE(Checked(1002));
        EXPECT_EQ(Ctl(Main(), 1029)->text, Device('D'));
    }});
    EXPECT_EQ(TakeBoxLog(), (std::vector<std::string>{Command(0, 'C')}));
    EXPECT_EQ(DefaultPrinter(), Device('D'));
}

TEST_F(SwitchTest, TheTwoPortModelNeverOpensPortsCAndD) {
    SetText("Model Name", "Selvane 2-1");
    Run({[&] {
        for (int click : {1001, 1002, 1000, 1005, 1001, 1000}) {
            ua::Click(Main(), click);
            EXPECT_FALSE(Enabled(1006) || Enabled(1007)) << "after " << click;
            EXPECT_FALSE(ua::Click(Main(), 1006));
        }
    }});
}

TEST_F(SwitchTest, TheLptListSendsNothingAndTheNextCommandUsesIt) {
    Run({[&] {
        TakeBoxLog();
        ua::Select(Main(), 1003, 2);
        EXPECT_TRUE(TakeBoxLog().empty());
        ua::Click(Main(), 1005);
        EXPECT_EQ(TakeBoxLog(), (std::vector<std::string>{Command(2, 'B')}));
        ua::Select(Main(), 1003, 1);
    }});
    EXPECT_TRUE(TakeBoxLog().empty());
    EXPECT_EQ(Dword("LPTx"), 1u);
}

TEST_F(SwitchTest, WithoutTheBoxCommandsAreDroppedAndEverythingElseGoesOn) {
    box.reset();
    SetText("PB Spooler", "Mass Storage Device");
    Run({[&] {
        ua::Click(Main(), 1005);
        EXPECT_TRUE(Checked(1005));
    }});
    EXPECT_EQ(DefaultPrinter(), "Mass Storage Device");
    EXPECT_EQ(Dword("ActivePort"), 1u);
}

// --- the default printer and the tray companion on each Windows ------------------------------

struct PlatformCase {
    const char* winver;
    const char* written;            // the default printer afterwards ("" when untouched)
    std::vector<std::string> heard; // the broadcasts
    int trayStarts;
};

TEST_F(SwitchTest, TheDefaultPrinterAndTheTrayStartFollowThePlatform) {
    const PlatformCase cases[] = {
        {"win95", "Scanner", {"windows", "windows"}, 1},
        {"win98", "Scanner", {"windows", "windows"}, 1},
        {"nt4", "Scanner", {"(none)", "(none)"}, 1},
        {"nt351", "Scanner", {"(none)", "(none)"}, 0},
        {"win32s", "", {}, 0},
    };
    SetText("PA Spooler", "Scanner");
    for (size_t row = 0; row < std::size(cases); ++row) {
        const PlatformCase& c = cases[row];
        SCOPED_TRACE(std::string("row ") + std::to_string(row) + ": " + c.winver);
        ScopedEnv winver("SELVANE_WINVER", c.winver);
        fs::remove(root.path() / "tray-starts");
        SetDefaultPrinterEntry(kSentinelPrinter);
        BroadcastListener listener;
        CSwitchDlg panel;
        person.Then([] { ua::Press(Main(), ua::Key::Escape); });
        panel.DoModal();
        // OnModeOnePc and OnPortA each make port A's device default.
        EXPECT_EQ(listener.heard(), c.heard);
        EXPECT_EQ(DefaultPrinter(), *c.written ? c.written : kSentinelPrinter);
        EXPECT_EQ(TrayStarts(c.trayStarts), c.trayStarts);
    }
}

TEST_F(SwitchTest, TheTrayCompanionStartsOnlyWhenItIsNotRunning) {
    Run();
    EXPECT_EQ(TrayStarts(1), 1);

    // Its window is there: nothing is started.
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "SELVANE_TASKBAR_CLASS_ID_000001";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND tray = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(tray, nullptr);
    CSwitchDlg again;
    person.Then([] { ua::Press(Main(), ua::Key::Enter); });
    again.DoModal();
    DestroyWindow(tray);
    UnregisterClassA(wc.lpszClassName, nullptr);
    EXPECT_EQ(TrayStarts(0), 1); // a moment for a second start to show: none does
}

TEST_F(SwitchTest, APathMissingOrTooLongForTheLaunchPathStartsNothing) {
    // The launch path holds 255 characters: the folder, "\" and "TASKBAR.exe" (11).
    std::string folder = root.str() + "/long";
    while (folder.size() < 243 - 10)
        folder += "/" + std::string(std::min<size_t>(9, 243 - folder.size() - 1), 'd');
    folder += std::string(243 - folder.size(), 'e');
    ASSERT_EQ(folder.size(), 243u);
    fs::create_directories(folder);
    fs::copy_file(TrayFolder() + "/TASKBAR.exe", folder + "/TASKBAR.exe");
    struct Case {
        const char* what;
        std::optional<std::string> path;
        int starts;
    };
    const Case cases[] = {
        {"243 characters fit", folder, 1},
        {"244 do not", folder + "e", 0},
        {"no Path", std::nullopt, 0},
        {"an empty Path", std::string(""), 0},
    };
    fs::create_directories(folder + "e");
    fs::copy_file(TrayFolder() + "/TASKBAR.exe", folder + "e/TASKBAR.exe",
                  fs::copy_options::overwrite_existing);
    for (size_t row = 0; row < std::size(cases); ++row) {
        SCOPED_TRACE(std::string("row ") + std::to_string(row) + ": " + cases[row].what);
        fs::remove(root.path() / "tray-starts");
        if (cases[row].path)
            SetText("Path", *cases[row].path);
        else
            DeleteValue("Path");
        CSwitchDlg panel;
        person.Then([] { ua::Press(Main(), ua::Key::Enter); });
        panel.DoModal();
        EXPECT_EQ(TrayStarts(cases[row].starts), cases[row].starts);
    }
}

// --- the about box, the icon, the application ------------------------------------------------

TEST_F(SwitchTest, TheAboutBoxComesFromTheSystemMenuAndOkOrEscapeCloseIt) {
    std::vector<user::MenuItem> menu;
    std::vector<std::string> about;
    Run({[&] {
             menu = ua::SystemMenu(Main());
             ASSERT_TRUE(ua::ChooseSystemMenu(Main(), 0x10));
         },
         [&] {
             HWND box = Dialog("About SWITCH");
             ASSERT_NE(box, nullptr);
             for (auto& c : ua::Controls(box))
                 about.push_back(c.kind + " " + c.text);
             ua::Press(box, ua::Key::Enter);
         },
         [&] {
             EXPECT_EQ(Dialog("About SWITCH"), nullptr);
             ASSERT_TRUE(ua::ChooseSystemMenu(Main(), 0x10));
         },
         [&] { ua::Press(Dialog("About SWITCH"), ua::Key::Escape); },
         [&] { EXPECT_EQ(Dialog("About SWITCH"), nullptr); }});
    ASSERT_GE(menu.size(), 2u);
    EXPECT_EQ(menu.back().id, 0x10u);
    EXPECT_EQ(menu.back().text, "&About SWITCH...");
    EXPECT_TRUE(menu[menu.size() - 2].flags & MF_SEPARATOR);
    EXPECT_EQ(about, (std::vector<std::string>{"picture ", "static SWITCH Version 2.00",
                                               "static Velquor Software", "default OK"}));
    // No button of the dialog opens it.
    for (int id = 1000; id <= 1008; ++id)
        EXPECT_NE(Caption(id).find("About"), 0u);
}

TEST_F(SwitchTest, TheDialogCarriesItsIconForTheCaptionAndWhenDragged) {
    LRESULT big = 0, small = 0, drag = 0;
    Run({[&] {
        big = SendMessageA(Main(), WM_GETICON, ICON_BIG, 0);
        small = SendMessageA(Main(), WM_GETICON, ICON_SMALL, 0);
        drag = SendMessageA(Main(), WM_QUERYDRAGICON, 0, 0);
        ShowWindow(Main(), SW_MINIMIZE);
        InvalidateRect(Main(), nullptr, TRUE);
    }});
    EXPECT_NE(dlg.m_hIcon, nullptr);
    EXPECT_EQ(big, reinterpret_cast<LRESULT>(dlg.m_hIcon));
    EXPECT_EQ(small, reinterpret_cast<LRESULT>(dlg.m_hIcon));
    EXPECT_EQ(drag, reinterpret_cast<LRESULT>(dlg.m_hIcon));
}

TEST_F(SwitchTest, TheTemplateIsTheOneThePanelIsBuiltFrom) {
    DeleteKey(); // the captions as the template gives them
    std::vector<std::string> lines;
    std::string caption;
    Run({[&] {
        char text[64];
        GetWindowTextA(Main(), text, sizeof text);
        caption = text;
        for (auto& c : ua::Controls(Main()))
            lines.push_back(std::to_string(c.id) + " " + c.kind + " \"" + c.text + "\"" +
                            (c.visible ? "" : " hidden"));
    }});
    EXPECT_EQ(caption, "Generic Velquor Software");
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "1 default \"OK\"",
                         "1000 radio \"1 PC using multiple devices\"",
                         "1001 radio \"Multiple PCs sharing 1 device\"",
                         "1002 radio \"File Transfer\"",
                         "1003 combo \"LPT1\"",
                         "-1 static \"Velquor Software\"",
                         "-1 group \"Selvane Port\"",
                         "1004 radio \"A. Port A\"",
                         "1005 radio \"B. Port B\"",
                         "1006 radio \"C. Port C\"",
                         "1007 radio \"D. Port D\"",
                         "1008 button \"Settings\"",
                         "1029 edit \"\" hidden",
                         "-1 line \"\"",
                         "-1 picture \"\"",
                     }));
}

class SwitchAppTest : public PanelTest {};

TEST_F(SwitchAppTest, ASecondStartEndsAtOnceAndTheFirstRunsTheDialog) {
    // The fixture registered the class: as after a start, the registration fails and nothing
    // is shown.
    EXPECT_FALSE(theApp.RegisterDialogClass());
    UnregisterClassA("SELVANE_CLASS_ID_000001", nullptr);

    bool secondRefused = false;
    int windowsDuringSecond = 0;
    person.Then([&] {
        ASSERT_NE(Main(), nullptr);
        EXPECT_EQ(theApp.m_pMainWnd->m_hWnd, Main());
        // A window of the class exists: a second start is refused before it registers.
        size_t before = ua::Windows().size();
        secondRefused = !theApp.RegisterDialogClass();
        windowsDuringSecond = static_cast<int>(ua::Windows().size() - before);
        ua::CloseBox(Main());
    });
    EXPECT_FALSE(theApp.InitInstance());
    EXPECT_TRUE(secondRefused);
    EXPECT_EQ(windowsDuringSecond, 0);
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);
    EXPECT_EQ(Main(), nullptr);
    EXPECT_EQ(Dword("ActivePort"), 0u); // the dialog saved
}

} // namespace
} // namespace panel_test

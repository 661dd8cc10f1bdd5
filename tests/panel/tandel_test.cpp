// TANDEL.exe's dialogs run in this process: ports A and B and file transfer in one radio group,
// its own load and save rules, its templates, and the values of ports C and D left alone.
#include "SettingDlg.h"
#include "SwitchApp.h"
#include "SwitchDlg.h"
#include "panel_fixture.h"

#include <string>
#include <vector>

namespace panel_test {
namespace {

std::string Device(char port) {
    return std::string("Printer P") + port + ",Generic / Text Only,LPx1-  P" + port + " (selvane):";
}

class TandelTest : public PanelTest {
protected:
    void StoreDevices() {
        SetText("PA Spooler", Device('A'));
        SetText("PB Spooler", Device('B'));
    }
    std::string EnabledIds() {
        std::string out;
        for (int id : {1004, 1005, 1002, 1008})
            out += Enabled(id) ? '1' : '0';
        return out;
    }
};

struct TandelCase {
    const char* what;
    std::optional<DWORD> mode, port;
    int checked;                       // the checked radio
    const char* enabled;               // 1004 1005 1002 1008
    std::vector<std::string> commands; // at the start
    const char* defaultPrinter;        // port letter, or "" when untouched
    DWORD savedMode, savedPort;
};

TEST_F(TandelTest, RestoresItsOneRadioGroupAndSavesTheModeAndPortPair) {
    const TandelCase cases[] = {
        {"port A", 0, 0, 1004, "1111", {Command(0, 'A')}, "A", 0, 0},
        {"port B", 0, 1, 1005, "1111", {Command(0, 'B')}, "B", 0, 1},
        {"mode 1 reads as port mode", 1, 1, 1005, "1111", {Command(0, 'B')}, "B", 0, 1},
        {"ActivePort 3", 0, 3, 1004, "1111", {Command(0, 'A')}, "A", 0, 0},
        {"ActivePort 2", 0, 2, 1004, "1111", {Command(0, 'A')}, "A", 0, 0},
        {"file transfer", 2, 1, 1002, "1110", {Command(0, 'C')}, "", 2, 0},
        {"ActiveMode 7", 7, 1, 1005, "1111", {Command(0, 'B')}, "B", 0, 1},
        {"no values", std::nullopt, std::nullopt, 1004, "1111", {Command(0, 'A')}, "A", 0, 0},
    };
    for (size_t row = 0; row < std::size(cases); ++row) {
        const TandelCase& c = cases[row];
        SCOPED_TRACE("row " + std::to_string(row) + ": " + c.what);
        if (c.mode)
            SetDword("ActiveMode", *c.mode);
        else
            DeleteValue("ActiveMode");
        if (c.port)
            SetDword("ActivePort", *c.port);
        else
            DeleteValue("ActivePort");
        StoreDevices();
        SetDefaultPrinterEntry(kSentinelPrinter);
        TakeBoxLog();
        CSwitchDlg panel;
        std::string enabled;
        bool checked = false;
        person.Then([&] {
            enabled = EnabledIds();
            checked = Checked(c.checked);
            ua::Press(Main(), ua::Key::Enter);
        });
        panel.DoModal();
        EXPECT_EQ(enabled, c.enabled);
        EXPECT_TRUE(checked);
        EXPECT_EQ(TakeBoxLog(), c.commands);
        EXPECT_EQ(DefaultPrinter(),
                  *c.defaultPrinter ? Device(*c.defaultPrinter) : std::string(kSentinelPrinter));
        EXPECT_EQ(Dword("ActiveMode"), c.savedMode);
        EXPECT_EQ(Dword("ActivePort"), c.savedPort);
    }
}

TEST_F(TandelTest, WithoutTheKeyItStartsOnPortAAndSavesNothing) {
    DeleteKey();
    std::vector<std::string> captions;
    person.Then([&] {
        captions = {Caption(1004), Caption(1005)};
        ua::Click(Main(), 1002);
        ua::CloseBox(Main());
    });
    CSwitchDlg panel;
    panel.DoModal();
    EXPECT_EQ(captions, (std::vector<std::string>{"A. Port A", "B. Port B"}));
    EXPECT_EQ(TakeBoxLog(), (std::vector<std::string>{Command(0, 'A'), Command(0, 'C')}));
    EXPECT_EQ(DefaultPrinter(), kSentinelPrinter);
    EXPECT_FALSE(KeyExists());
}

TEST_F(TandelTest, FileTransferAndBackAndEveryEndingSavesThePair) {
    SetDword("LPTx", 1);
    StoreDevices();
    for (int ending = 0; ending < 3; ++ending) {
        SCOPED_TRACE("ending " + std::to_string(ending));
        SetDword("ActiveMode", 0);
        SetDword("ActivePort", 0);
        SetDefaultPrinterEntry(kSentinelPrinter);
        CSwitchDlg panel;
        person.Then([&] {
            TakeBoxLog();
            SetDefaultPrinterEntry(kSentinelPrinter);
            ua::Click(Main(), 1002);
            EXPECT_EQ(TakeBoxLog(), (std::vector<std::string>{Command(1, 'C')}));
            EXPECT_EQ(EnabledIds(), "1110");
            EXPECT_EQ(DefaultPrinter(), kSentinelPrinter); // file transfer leaves it
            EXPECT_EQ(Ctl(Main(), 1029)->text, Device('A'));
            ua::Click(Main(), 1005);
            EXPECT_EQ(TakeBoxLog(), (std::vector<std::string>{Command(1, 'B')}));
            EXPECT_EQ(EnabledIds(), "1111");
            EXPECT_EQ(DefaultPrinter(), Device('B'));
            ua::Click(Main(), 1002);
            if (ending == 0) ua::Click(Main(), IDOK);
            if (ending == 1) ua::Press(Main(), ua::Key::Escape);
            if (ending == 2) ua::CloseBox(Main());
        });
        panel.DoModal();
        EXPECT_EQ(Dword("ActiveMode"), 2u);
        EXPECT_EQ(Dword("ActivePort"), 0u);
        EXPECT_EQ(Dword("LPTx"), 1u);
    }
}

TEST_F(TandelTest, LeavesTheValuesOfPortsCAndDAsTheyWere) {
    SetText("PC Name", "Scanner room");
    SetText("PD Name", "Disk");
    SetText("PC Spooler", "Scanner");
    SetText("PD Spooler", "Mass Storage Device");
    SetText("PA Name", "Laser");
    person.Then([] { ua::Click(Main(), 1008); })
        .Then([] {
            HWND settings = Dialog("Setting");
            ASSERT_NE(settings, nullptr);
            ASSERT_TRUE(ua::Select(settings, 1033, 1)); // Printer PB
            ua::Press(settings, ua::Key::Enter);
        })
        .Then([] { ua::Click(Main(), IDOK); });
    CSwitchDlg panel;
    panel.DoModal();
    EXPECT_EQ(Text("PC Name"), "Scanner room");
    EXPECT_EQ(Text("PD Name"), "Disk");
    EXPECT_EQ(Text("PC Spooler"), "Scanner");
    EXPECT_EQ(Text("PD Spooler"), "Mass Storage Device");
    EXPECT_EQ(Text("PA Name"), "Laser");
    EXPECT_EQ(Text("PB Name"), "Printer PB");
    EXPECT_EQ(Text("PB Spooler"), Device('B'));
}

TEST_F(TandelTest, TheSettingsDialogHasTwoPortsAndTheTemplatesAreItsOwn) {
    std::vector<std::string> main, settings;
    std::string mainCaption, about;
    SetText("PB Spooler", "Scanner");
    DeleteValue("PA Name");
    DeleteValue("PB Name");
    auto describe = [](HWND w, std::vector<std::string>& out) {
        for (auto& c : ua::Controls(w))
            out.push_back(std::to_string(c.id) + " " + c.kind + (c.visible ? "" : " hidden") +
                          " \"" + (c.kind == "combo" ? std::to_string(c.sel) : c.text) + "\"");
    };
    person
        .Then([&] {
            describe(Main(), main);
            EXPECT_EQ(ua::SystemMenu(Main()).back().text, "&About SWITCH...");
            ua::ChooseSystemMenu(Main(), 0x10);
        })
        .Then([&] {
            HWND box = Dialog("About TANDEL");
            ASSERT_NE(box, nullptr);
            about = ua::Controls(box)[1].text;
            ua::Press(box, ua::Key::Escape);
        })
        .Then([&] { ua::Click(Main(), 1008); })
        .Then([&] {
            describe(Dialog("Setting"), settings);
            EXPECT_EQ(ua::Control(Dialog("Setting"), 1033)->items.back(), "Scanner");
            ua::Press(Dialog("Setting"), ua::Key::Enter);
        })
        .Then([&] { ua::Click(Main(), IDOK); });
    CSwitchDlg panel;
    panel.DoModal();
    EXPECT_EQ(about, "TANDEL Version 2.00");
    EXPECT_EQ(main, (std::vector<std::string>{
                        "1004 radio \"A. \"",
                        "1005 radio \"B. \"",
                        "1002 radio \"File Transfer\"",
                        "1 default \"OK\"",
                        "1003 combo \"0\"",
                        "-1 static \"Velquor Software\"",
                        "-1 group \"Selvane Port\"",
                        "1008 button \"Settings\"",
                        "1029 edit hidden \"\"",
                        "-1 line \"\"",
                        "-1 picture \"\"",
                    }));
    EXPECT_EQ(settings, (std::vector<std::string>{
                            "1009 edit \"\"",
                            "1010 edit \"\"",
                            "1 default \"OK\"",
                            "1017 static \"Port\"",
                            "1018 static \"Display Name\"",
                            "1019 static \"Device Type\"",
                            "-1 line \"\"",
                            "-1 static \"A. Port A\"",
                            "-1 static \"B. Port B\"",
                            "1032 combo \"0\"",
                            "1033 combo \"5\"",
                            "1020 edit hidden \"\"",
                            "1021 edit hidden \"Scanner\"",
                            "-1 picture \"\"",
                        }));
}

TEST_F(TandelTest, ItsClassIsItsOwnSoAFourPortPanelDoesNotBlockIt) {
    UnregisterClassA("SELVANE_CLASS_ID_000002", nullptr);
    // A window of the four-port panel's class is there.
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "SELVANE_CLASS_ID_000001";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND other = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    bool ran = false;
    person.Then([&] {
        ran = Main() != nullptr;
        char name[64] = {};
        GetClassNameA(Main(), name, sizeof name);
        EXPECT_STREQ(name, "SELVANE_CLASS_ID_000002");
        ua::CloseBox(Main());
    });
    EXPECT_FALSE(theApp.InitInstance());
    EXPECT_TRUE(ran);
    // And its own class blocks a second start.
    EXPECT_FALSE(theApp.RegisterDialogClass());
    DestroyWindow(other);
}

} // namespace
} // namespace panel_test

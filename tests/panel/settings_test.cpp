// The settings dialog of SWITCH.exe, opened from the main dialog's "Settings" in this process:
// the [devices] list and the stored devices it selects, picks, names and their 30-character
// check, and what the main dialog takes back however the dialog closes.
#include "SwitchDlg.h"
#include "panel_fixture.h"

#include <string>
#include <vector>

namespace panel_test {
namespace {

constexpr const char* kPrinters[] = {
    "Laser=HP LaserJet,LPT1:", "Ink=Epson Stylus,LPT2:", "Label=Zebra,LPT1:"};
const std::string kLaser = "Laser,HP LaserJet,LPT1:";
const std::string kInk = "Ink,Epson Stylus,LPT2:";
const std::string kLabel = "Label,Zebra,LPT1:";

class SettingsTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        SetDevices({std::begin(kPrinters), std::end(kPrinters)});
    }
    // Opens the main dialog, then the settings dialog; `inSettings` run there as the person
    // (the last of them closes it), then the main dialog is closed with OK.
    void RunSettings(std::vector<std::function<void()>> inSettings,
                     std::function<void()> afterwards = nullptr) {
        person.Then([] { ASSERT_TRUE(ua::Click(Main(), 1008)); });
        for (auto& step : inSettings)
            person.Then(step);
        person.Then([afterwards] {
            EXPECT_EQ(Settings(), nullptr);
            if (afterwards) afterwards();
            // The focus is on "Settings", which Enter would press again.
            ua::Click(Main(), IDOK);
        });
        dlg.DoModal();
        EXPECT_EQ(person.Pending(), 0u);
    }
    static HWND Settings() { return Dialog("Setting"); }
    static std::optional<ua::ControlState> Set(int id) { return ua::Control(Settings(), id); }
    // The selected position of each port's list.
    static std::vector<int> Selections() {
        std::vector<int> out;
        for (int id = 1032; id <= 1035; ++id)
            out.push_back(Set(id)->sel);
        return out;
    }

    CSwitchDlg dlg;
};

// --- what the lists offer and select -----------------------------------------------------------

struct SelectCase {
    const char* what;
    std::vector<std::string> devices; // what [devices] holds
    std::vector<std::string> stored;  // "PA Spooler".."PD Spooler"
    std::vector<std::string> items;   // what each list offers
    std::vector<int> selected;
};

TEST_F(SettingsTest, TheListsOfferThePrintersAndTheTwoDevicesAndSelectWhatIsStored) {
    const std::vector<std::string> three(std::begin(kPrinters), std::end(kPrinters));
    const std::vector<std::string> threeItems = {"Laser", "Ink", "Label", "Mass Storage Device",
                                                 "Scanner"};
    const SelectCase cases[] = {
        {"port B on the second printer", three, {"", kInk, "", ""}, threeItems, {0, 1, 0, 0}},
        {"the fixed devices",
         three,
         {"Scanner", "Mass Storage Device", kLabel, "scanner"},
         threeItems,
         {4, 3, 2, 0}},
        {"a printer no longer listed",
         three,
         {"Gone,X,LPT1:", kLaser, "", ""},
         threeItems,
         {0, 0, 0, 0}},
        {"no [devices]",
         {},
         {"Scanner", "", "Mass Storage Device", ""},
         {"Mass Storage Device", "Scanner"},
         {1, 0, 0, 0}},
        {"an entry without \"=\" and one with two",
         {"Plain", "A=B=C,LPT1:"},
         {"", "A,B,C,LPT1:", "Plain", ""},
         {"Plain", "A,B", "Mass Storage Device", "Scanner"},
         {0, 1, 0, 0}},
        {"the same printer twice: the later one wins",
         {"Twin=X,LPT1:", "Twin=X,LPT1:"},
         {"Twin,X,LPT1:", "", "", ""},
         {"Twin", "Twin", "Mass Storage Device", "Scanner"},
         {1, 0, 0, 0}},
    };
    for (size_t row = 0; row < std::size(cases); ++row) {
        const SelectCase& c = cases[row];
        SCOPED_TRACE("row " + std::to_string(row) + ": " + c.what);
        SetDevices(c.devices);
        const char* names[] = {"PA Spooler", "PB Spooler", "PC Spooler", "PD Spooler"};
        for (int i = 0; i < 4; ++i)
            SetText(names[i], c.stored[static_cast<size_t>(i)]);
        CSwitchDlg panel;
        std::vector<std::vector<std::string>> items;
        std::vector<int> selected;
        person.Then([] { ua::Click(Main(), 1008); })
            .Then([&] {
                for (int id = 1032; id <= 1035; ++id)
                    items.push_back(Set(id)->items);
                selected = Selections();
                ua::Press(Settings(), ua::Key::Enter);
            })
            .Then([] { ua::Click(Main(), IDOK); });
        panel.DoModal();
        ASSERT_EQ(items.size(), 4u);
        for (auto& list : items)
            EXPECT_EQ(list, c.items);
        EXPECT_EQ(selected, c.selected);
        // OK with nothing picked: the device strings come back as they were.
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(Text(names[i]), c.stored[static_cast<size_t>(i)]) << names[i];
    }
}

TEST_F(SettingsTest, MoreThanFortyEightPrintersListTheFirstFortyEight) {
    std::vector<std::string> many;
    for (int i = 0; i < 60; ++i)
        many.push_back("P" + std::to_string(i) + "=Drv,LPT1:");
    SetDevices(many);
    SetText("PB Spooler", "P47,Drv,LPT1:");
    SetText("PC Spooler", "P48,Drv,LPT1:"); // not listed
    std::vector<std::string> items;
    std::vector<int> selected;
    RunSettings({[&] {
                     items = Set(1032)->items;
                     selected = Selections();
                     ASSERT_TRUE(ua::Select(Settings(), 1035, 49));
                     ASSERT_TRUE(ua::Select(Settings(), 1032, 47));
                 },
                 [&] { ua::Press(Settings(), ua::Key::Escape); }});
    ASSERT_EQ(items.size(), 50u);
    EXPECT_EQ(items[47], "P47");
    EXPECT_EQ(items[48], "Mass Storage Device");
    EXPECT_EQ(items[49], "Scanner");
    EXPECT_EQ(selected, (std::vector<int>{0, 47, 0, 0}));
    EXPECT_EQ(dlg.m_strSpooler[3], "Scanner");
    EXPECT_EQ(dlg.m_strSpooler[0], "P47,Drv,LPT1:");
    EXPECT_EQ(dlg.m_strSpooler[2], "P48,Drv,LPT1:");
}

// --- picks, names, endings ---------------------------------------------------------------------

TEST_F(SettingsTest, APickRenamesThePortAndBothComeBackToTheMainDialog) {
    SetText("PA Name", "Office");
    SetDword("ActivePort", 2);
    std::string nameShown, carried;
    RunSettings({[&] {
                    EXPECT_EQ(Set(1009)->text, "Office");
                    ASSERT_TRUE(ua::Select(Settings(), 1034, 4)); // Scanner for port C
                    nameShown = Set(1011)->text;
                    carried = Set(1022)->text;
                    EXPECT_FALSE(Set(1022)->visible);
                    ASSERT_TRUE(ua::Select(Settings(), 1032, 1)); // Ink for A and D
                    ASSERT_TRUE(ua::Select(Settings(), 1035, 1));
                    ASSERT_TRUE(ua::Type(Settings(), 1035 - 23, "Photo")); // name of D typed over
                    ua::Press(Settings(), ua::Key::Enter);
                }},
                [&] {
                    EXPECT_EQ(Caption(1004), "A. Ink");
                    EXPECT_EQ(Caption(1005), "B. ");
                    EXPECT_EQ(Caption(1006), "C. Scanner");
                    EXPECT_EQ(Caption(1007), "D. Photo");
                    EXPECT_EQ(Ctl(Main(), 1029)->text, "Scanner");
                });
    EXPECT_EQ(nameShown, "Scanner");
    EXPECT_EQ(carried, "Scanner");
    // The active port C's device became default when the dialog closed.
    EXPECT_EQ(DefaultPrinter(), "Scanner");
    EXPECT_EQ(Text("PA Spooler"), kInk);
    EXPECT_EQ(Text("PD Spooler"), kInk);
    EXPECT_EQ(Text("PC Spooler"), "Scanner");
    EXPECT_EQ(Text("PC Name"), "Scanner");
    EXPECT_EQ(Text("PD Name"), "Photo");
    EXPECT_EQ(Text("PA Name"), "Ink");
    EXPECT_TRUE(TakeBoxLog().size() == 1); // the start only: the dialog sends nothing
}

TEST_F(SettingsTest, EscapeAndTheCloseBoxKeepThePicksAsOkDoes) {
    for (int ending = 0; ending < 2; ++ending) {
        SCOPED_TRACE(ending == 0 ? "escape" : "close box");
        SetText("PB Spooler", "");
        SetDword("ActivePort", 1);
        SetDefaultPrinterEntry(kSentinelPrinter);
        CSwitchDlg panel;
        person.Then([] { ua::Click(Main(), 1008); })
            .Then([ending] {
                ASSERT_TRUE(ua::Select(Settings(), 1033, 2));
                if (ending == 0)
                    ua::Press(Settings(), ua::Key::Escape);
                else
                    ua::CloseBox(Settings());
            })
            .Then([] {
                EXPECT_EQ(Settings(), nullptr);
                EXPECT_EQ(Caption(1005), "B. Label");
                ua::CloseBox(Main());
            });
        panel.DoModal();
        EXPECT_EQ(Text("PB Spooler"), kLabel);
        EXPECT_EQ(Text("PB Name"), "Label");
        EXPECT_EQ(DefaultPrinter(), kLabel);
    }
}

TEST_F(SettingsTest, EveryCloseMakesTheActivePortsDeviceDefaultChangedOrNot) {
    SetText("PB Spooler", "Mass Storage Device");
    SetDword("ActivePort", 1);
    BroadcastListener listener;
    RunSettings({[&] {
        SetDefaultPrinterEntry(kSentinelPrinter);
        ASSERT_TRUE(ua::Select(Settings(), 1032, 0)); // another port changes
        ua::Press(Settings(), ua::Key::Escape);
    }});
    EXPECT_EQ(DefaultPrinter(), "Mass Storage Device");
    // Two at the start (mode, port), one at the dialog's close.
    EXPECT_EQ(listener.heard().size(), 3u);
}

TEST_F(SettingsTest, TypingStopsAtThirtyCharactersAndOkRefusesALongerPickedName) {
    SetDevices({"A Printer With A Name Far Longer Than Thirty=Drv,LPT1:", "Short=Drv,LPT1:"});
    std::string typed;
    std::optional<ua::MessageBoxState> box;
    bool stillOpen = false;
    HWND focus = nullptr, nameB = nullptr;
    DWORD start = 99, end = 99;
    RunSettings({[&] {
                     ASSERT_TRUE(ua::Type(Settings(), 1009, std::string(40, 'x')));
                     typed = Set(1009)->text;
                     // Picks for B and D put names past the limit; B is checked first.
                     ASSERT_TRUE(ua::Select(Settings(), 1033, 0));
                     ASSERT_TRUE(ua::Select(Settings(), 1035, 0));
                     ua::Press(Settings(), ua::Key::Enter);
                 },
                 [&] {
                     box = ua::MessageBox();
                     ASSERT_TRUE(box);
                     ua::Answer(IDOK);
                 },
                 [&] {
                     stillOpen = Settings() != nullptr;
                     focus = GetFocus();
                     nameB = GetDlgItem(Settings(), 1010);
                     SendMessageA(nameB, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                                  reinterpret_cast<LPARAM>(&end));
                     ASSERT_TRUE(ua::Type(Settings(), 1010, "Laser B"));
                     ASSERT_TRUE(ua::Type(Settings(), 1012, "Laser D"));
                     ua::Press(Settings(), ua::Key::Enter);
                 }},
                [] {
                    EXPECT_EQ(Caption(1005), "B. Laser B");
                    EXPECT_EQ(Caption(1007), "D. Laser D");
                });
    EXPECT_EQ(typed, std::string(30, 'x'));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, "Please enter no more than 30 characters.");
    EXPECT_EQ(box->style & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(focus, nameB);
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 44u);
    EXPECT_EQ(Text("PA Name"), std::string(30, 'x'));
    EXPECT_EQ(Text("PB Spooler"), "A Printer With A Name Far Longer Than Thirty,Drv,LPT1:");
}

TEST_F(SettingsTest, ANameTooLongForTheCaptionIsCutToWhatFits) {
    std::string longName(300, 'n');
    SetDevices({longName + "=Drv,LPT1:"});
    RunSettings({[&] {
        ASSERT_TRUE(ua::Select(Settings(), 1032, 0));
        ua::Press(Settings(), ua::Key::Escape); // no check on the way out
    }});
    EXPECT_EQ(Text("PA Name"), std::string(252, 'n'));
    EXPECT_EQ(Text("PA Spooler"), longName + ",Drv,LPT1:");
}

TEST_F(SettingsTest, TheTwoPortModelShutsPortsCAndDAndPassesThemThrough) {
    SetText("Model Name", "Selvane 2-1");
    SetText("PC Name", "Kept C");
    SetText("PD Spooler", kLabel);
    std::vector<bool> enabled;
    RunSettings({[&] {
        for (int id : {1009, 1010, 1011, 1012, 1032, 1033, 1034, 1035})
            enabled.push_back(Set(id)->enabled);
        EXPECT_EQ(Set(1035)->sel, 2); // still selected
        EXPECT_EQ(Set(1011)->text, "Kept C");
        EXPECT_FALSE(ua::Select(Settings(), 1034, 4));
        ua::Press(Settings(), ua::Key::Enter);
    }});
    EXPECT_EQ(enabled, (std::vector<bool>{true, true, false, false, true, true, false, false}));
    EXPECT_EQ(Text("PC Name"), "Kept C");
    EXPECT_EQ(Text("PD Spooler"), kLabel);
}

TEST_F(SettingsTest, TheTemplateIsTheOneThePanelIsBuiltFrom) {
    std::vector<std::string> lines;
    RunSettings({[&] {
        for (auto& c : ua::Controls(Settings()))
            lines.push_back(std::to_string(c.id) + " " + c.kind + " " +
                            (c.visible ? "" : "hidden ") + (c.enabled ? "" : "disabled ") + "\"" +
                            (c.kind == "combo" ? "" : c.text) + "\"");
        EXPECT_EQ(GetFocus(), GetDlgItem(Settings(), 1009));
        ua::Press(Settings(), ua::Key::Enter);
    }});
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "1009 edit \"\"",
                         "1010 edit \"\"",
                         "1011 edit \"\"",
                         "1012 edit \"\"",
                         "1 default \"OK\"",
                         "1017 static \"Port\"",
                         "1018 static \"Display Name\"",
                         "1019 static \"Device Type\"",
                         "-1 line \"\"",
                         "-1 static \"A. Port A\"",
                         "-1 static \"B. Port B\"",
                         "-1 static \"C. Port C\"",
                         "-1 static \"D. Port D\"",
                         "1032 combo \"\"",
                         "1033 combo \"\"",
                         "1034 combo \"\"",
                         "1035 combo \"\"",
                         "1020 edit hidden disabled \"\"",
                         "1021 edit hidden disabled \"\"",
                         "1022 edit hidden disabled \"\"",
                         "1023 edit hidden disabled \"\"",
                         "-1 picture \"\"",
                     }));
}

} // namespace
} // namespace panel_test

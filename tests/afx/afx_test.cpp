// The framework driven as a person would: a dialog with radio groups, lists, a limited name
// edit and handlers for what the control panels bind, the application object, CString.
#include "afx.h"
#include "kernel/clock.h"
#include "support/temp_root.h"
#include "ui/automation.h"
#include "ui/headless.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace ua = ui::automation;

enum : int {
    kModeA = 1000,
    kModeB = 1001,
    kModeC = 1002,
    kLpt = 1003,
    kPortA = 1004,
    kPortD = 1007,
    kSettings = 1008,
    kName = 1009,
    kSpooler = 1029,
    kDevices = 1032,
    kAbout = 0x10,
};

constexpr const char* kLpts[] = {"LPT3", "LPT1", "LPT2"};
constexpr res::Control kControls[] = {
    {res::Kind::DefPushButton, IDOK, "OK", WS_TABSTOP, 110, 140, 50, 14},
    {res::Kind::AutoRadio, kModeA, "One PC", WS_GROUP | WS_TABSTOP, 7, 50, 90, 10},
    {res::Kind::AutoRadio, kModeB, "Many PCs", 0, 7, 120, 90, 10},
    {res::Kind::ComboBox, kLpt, "", CBS_SORT | WS_VSCROLL | WS_TABSTOP, 110, 20, 48, 60, kLpts, 3},
    {res::Kind::AutoRadio, kModeC, "File Transfer", 0, 7, 132, 90, 10},
    {res::Kind::Static, -1, "Velquor", WS_GROUP, 60, 7, 80, 8},
    {res::Kind::GroupBox, -1, "Port", 0, 7, 62, 100, 55},
    {res::Kind::AutoRadio, kPortA, "A. Port A", WS_GROUP | WS_TABSTOP, 14, 72, 80, 10},
    {res::Kind::AutoRadio, 1005, "B. Port B", 0, 14, 83, 80, 10},
    {res::Kind::AutoRadio, 1006, "C. Port C", 0, 14, 94, 80, 10},
    {res::Kind::AutoRadio, kPortD, "D. Port D", 0, 14, 105, 80, 10},
    {res::Kind::PushButton, kSettings, "Settings", WS_TABSTOP, 110, 120, 50, 14},
    {res::Kind::Edit, kName, "", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 110, 40, 50, 12},
    {res::Kind::Edit, kSpooler, "", ES_READONLY | ES_AUTOHSCROLL | WS_DISABLED | res::kHidden, 7,
     145, 60, 12},
    {res::Kind::ComboBox, kDevices, "", WS_VSCROLL | WS_TABSTOP, 110, 60, 48, 60},
    {res::Kind::EtchedLine, -1, "", 0, 7, 45, 150, 1},
    {res::Kind::Picture, -1, "", 0, 7, 7, 43, 37, nullptr, 0, 135},
};
constexpr res::Control kAboutControls[] = {
    {res::Kind::DefPushButton, IDOK, "OK", WS_TABSTOP | WS_GROUP, 60, 40, 50, 14},
};
constexpr res::Dialog kDialogs[] = {
    {200, "Generic Velquor Software", "Arial", 9,
     DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, WS_EX_APPWINDOW,
     nullptr, 0, 0, 170, 163, kControls, std::size(kControls)},
    {201, "About", "Arial", 9, DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0,
     nullptr, 0, 0, 120, 60, kAboutControls, 1},
};
constexpr const char* kPixels[] = {"0f", "f0"};
constexpr res::Image kIcons[] = {{128, 2, 2, kPixels}};
constexpr res::Image kBitmaps[] = {{135, 2, 2, kPixels}};
constexpr res::String kStrings[] = {{101, "&About SWITCH..."}, {102, "Generic"}};
const res::Module kModule{kStrings, 2, kDialogs, 2, nullptr, 0, kIcons, 1, kBitmaps, 1};

std::vector<std::string>* g_log = nullptr;
void Note(const std::string& line) {
    if (g_log) g_log->push_back(line);
}

class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(201) {}
};

class CTestDlg : public CDialog {
public:
    explicit CTestDlg(CWnd* parent = nullptr) : CDialog(200, parent) {
        m_hIcon = AfxGetApp()->LoadIcon(128);
    }

    int m_nPort = -1;
    int m_nMode = -1;
    CString m_strName;
    CString m_strSpooler;
    CComboBox m_comboLpt;
    CComboBox m_comboDevices;
    HICON m_hIcon;

protected:
    void DoDataExchange(CDataExchange* dx) override {
        CDialog::DoDataExchange(dx);
        DDX_Control(dx, kLpt, m_comboLpt);
        DDX_Control(dx, kDevices, m_comboDevices);
        DDX_Radio(dx, kPortA, m_nPort);
        DDX_Radio(dx, kModeA, m_nMode);
        DDX_Text(dx, kName, m_strName);
        DDV_MaxChars(dx, m_strName, 5);
        DDX_Text(dx, kSpooler, m_strSpooler);
    }

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        CMenu* sysMenu = GetSystemMenu(FALSE);
        CString about;
        if (sysMenu && about.LoadString(101) && !about.IsEmpty()) {
            sysMenu->AppendMenu(MF_SEPARATOR);
            sysMenu->AppendMenu(MF_STRING, kAbout, about);
        }
        SetIcon(m_hIcon, TRUE);
        SetIcon(m_hIcon, FALSE);
        m_comboDevices.InsertString(0, "Printer B");
        m_comboDevices.InsertString(0, "Printer A");
        m_comboDevices.AddString("Mass Storage Device");
        m_comboDevices.SetCurSel(1); // the program's pick: no notification
        Note("init");
        return TRUE;
    }

    afx_msg void OnSysCommand(UINT id, LPARAM lParam) {
        Note("syscommand " + std::to_string(id));
        if ((id & 0xFFF0) == kAbout) {
            CAboutDlg about;
            about.DoModal();
        } else {
            CDialog::OnSysCommand(id, lParam);
        }
    }
    afx_msg void OnDestroy() {
        Note("destroy");
        CDialog::OnDestroy();
    }
    afx_msg void OnPaint() {
        if (IsIconic()) {
            CPaintDC dc(this);
            SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
            CRect rect;
            GetClientRect(&rect);
            int x = (rect.Width() - GetSystemMetrics(SM_CXICON) + 1) / 2;
            int y = (rect.Height() - GetSystemMetrics(SM_CYICON) + 1) / 2;
            Note(dc.DrawIcon(x, y, m_hIcon) ? "paint icon" : "paint icon failed");
        } else {
            Note("paint");
            CDialog::OnPaint();
        }
    }
    afx_msg HCURSOR OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }
    afx_msg void OnClose() {
        Note("close");
        CDialog::OnClose();
    }
    afx_msg void OnSettings() { Note("settings"); }
    afx_msg void OnModeB() { Note("mode b " + std::to_string(m_nMode)); }
    afx_msg void OnSelchangeDevices() {
        Note("selchange " + std::to_string(m_comboDevices.GetCurSel()));
    }
    afx_msg void OnSelchangeLpt() { Note("lpt"); }
    afx_msg void OnKillfocusName() {
        CString text;
        GetDlgItemText(kName, text);
        Note("killfocus " + text.str());
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_DESTROY()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(kSettings, OnSettings)
ON_BN_CLICKED(kModeB, OnModeB)
ON_WM_CLOSE()
ON_CBN_SELCHANGE(kDevices, OnSelchangeDevices)
ON_CBN_SELCHANGE(kLpt, OnSelchangeLpt)
ON_EN_KILLFOCUS(kName, OnKillfocusName)
END_MESSAGE_MAP()

class CTestApp : public CWinApp {
public:
    std::function<BOOL(CTestApp&)> init;
    int helped = 0;
    BOOL InitInstance() override { return init(*this); }
    afx_msg void OnHelpCommand() { ++helped; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestApp, CWinApp)
ON_COMMAND(ID_HELP, OnHelpCommand)
END_MESSAGE_MAP()

// The application's map as the control panels write it: the help command goes to the
// framework's own handler.
class CWizardApp : public CWinApp {
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CWizardApp, CWinApp)
ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

class AfxTest : public ::testing::Test {
protected:
    void SetUp() override {
        res::Register(&kModule);
        g_log = &log;
        ui::Use(&person);
        app.init = [](CTestApp&) { return FALSE; };
    }
    void TearDown() override {
        for (HWND w : ua::Windows())
            DestroyWindow(w);
        ui::Use(nullptr);
        g_log = nullptr;
    }
    // The dialog shown: the newest top-level window of the test template's caption.
    static HWND Shown() { return ua::Find("title:Generic Velquor Software"); }
    static bool Checked(int id) { return IsDlgButtonChecked(Shown(), id) == BST_CHECKED; }
    bool Logged(const std::string& line) const {
        return std::find(log.begin(), log.end(), line) != log.end();
    }

    testing_support::TempRoot root;
    ui::Headless person;
    CTestApp app;
    std::vector<std::string> log;
};

TEST_F(AfxTest, DataExchangeLoadsTheControlsAndOkSavesThem) {
    CTestDlg dlg;
    dlg.m_nMode = 2; // the third radio of its group: the list inside the group is skipped
    dlg.m_nPort = 1;
    dlg.m_strName = "abc";
    dlg.m_strSpooler = "Printer,DRV,LPT1:";
    person.Then([&] {
        EXPECT_FALSE(Checked(kModeA));
        EXPECT_TRUE(Checked(kModeC));
        EXPECT_TRUE(Checked(1005));
        auto lpt = ua::Control(Shown(), kLpt);
        EXPECT_EQ(lpt->items, (std::vector<std::string>{"LPT1", "LPT2", "LPT3"}));
        EXPECT_EQ(ua::Control(Shown(), kName)->text, "abc");
        EXPECT_EQ(ua::Control(Shown(), kSpooler)->text, "Printer,DRV,LPT1:");
        EXPECT_EQ(ua::Control(Shown(), kDevices)->items,
                  (std::vector<std::string>{"Printer A", "Printer B", "Mass Storage Device"}));
        EXPECT_EQ(dlg.m_comboDevices.GetCurSel(), 1);
        // The first tab stop has the focus.
        EXPECT_EQ(GetFocus(), GetDlgItem(Shown(), IDOK));
        ASSERT_TRUE(ua::Click(Shown(), kModeA));
        ASSERT_TRUE(ua::Click(Shown(), kPortD));
        ASSERT_TRUE(ua::Select(Shown(), kLpt, 2));
        ASSERT_TRUE(ua::Type(Shown(), kName, "vwxyz123")); // DDV_MaxChars limits typing
        EXPECT_EQ(ua::Control(Shown(), kName)->text, "vwxyz");
        // The program's text is not limited, and the members move only on OK.
        EXPECT_EQ(dlg.m_nMode, 2);
        ua::Press(Shown(), ua::Key::Enter);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_nMode, 0);
    EXPECT_EQ(dlg.m_nPort, 3);
    EXPECT_EQ(dlg.m_strName, "vwxyz");
    EXPECT_EQ(dlg.m_strSpooler, "Printer,DRV,LPT1:");
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    EXPECT_EQ(dlg.m_comboLpt.m_hWnd, nullptr); // the control went with the dialog
    EXPECT_EQ(log.front(), "init");
    EXPECT_EQ(log.back(), "destroy");
    EXPECT_TRUE(Logged("lpt"));
    EXPECT_TRUE(Logged("killfocus vwxyz"));
    EXPECT_FALSE(Logged("selchange 1")); // SetCurSel in OnInitDialog
}

TEST_F(AfxTest, RadioExchangeGivesMinusOneWhenNoneIsChecked) {
    CTestDlg dlg;
    dlg.m_nPort = 7; // out of range: no radio of the group is checked
    dlg.m_nMode = 0;
    std::vector<bool> loaded;
    person.Then([&] {
        for (int id = kPortA; id <= kPortD; ++id)
            loaded.push_back(Checked(id));
        dlg.m_nPort = 2;
        dlg.UpdateData(FALSE);
        for (int id = kPortA; id <= kPortD; ++id)
            loaded.push_back(Checked(id));
        for (int id = kPortA; id <= kPortD; ++id)
            SendDlgItemMessageA(Shown(), id, BM_SETCHECK, BST_UNCHECKED, 0);
        EXPECT_TRUE(dlg.UpdateData(TRUE));
        EXPECT_EQ(dlg.m_nPort, -1);
        ua::Press(Shown(), ua::Key::Escape);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(loaded, (std::vector<bool>{false, false, false, false, false, false, true, false}));
}

TEST_F(AfxTest, MaxCharsOnOkWarnsFocusesTheEditAndKeepsTheDialogOpen) {
    CTestDlg dlg;
    dlg.m_nMode = 0;
    dlg.m_nPort = 0;
    dlg.m_strName = "abc";
    std::optional<ua::MessageBoxState> box;
    DWORD start = 99, end = 99;
    bool stillOpen = false;
    person
        .Then([&] {
            // Text set by the program passes the typing limit.
            SetDlgItemTextA(Shown(), kName, "toolongname");
            ua::Press(Shown(), ua::Key::Enter);
        })
        .Then([&] {
            box = ua::MessageBox();
            ASSERT_TRUE(box);
            EXPECT_TRUE(ua::Answer(IDOK));
        })
        .Then([&] {
            stillOpen = Shown() != nullptr;
            EXPECT_EQ(GetFocus(), GetDlgItem(Shown(), kName));
            SendDlgItemMessageA(Shown(), kName, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                                reinterpret_cast<LPARAM>(&end));
            ua::Press(Shown(), ua::Key::Escape);
        });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, "Please enter no more than 5 characters.");
    EXPECT_EQ(box->style & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 11u);
    // As in MFC, what was exchanged before the failing check stays in the member; Escape then
    // exchanges nothing more.
    EXPECT_EQ(dlg.m_strName, "toolongname");
}

// A name typed and left in its edit when Escape ends the dialog still reaches the member
// through the edit's lost focus, before the window goes.
TEST_F(AfxTest, AnEditLosesTheFocusWhenItsDialogEnds) {
    CTestDlg dlg;
    dlg.m_strName = "abc";
    person.Then([&] {
        ASSERT_TRUE(ua::Type(Shown(), kName, "typed", false));
        EXPECT_EQ(GetFocus(), GetDlgItem(Shown(), kName));
        ua::Press(Shown(), ua::Key::Escape);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    auto killfocus = std::find(log.begin(), log.end(), "killfocus typed");
    ASSERT_NE(killfocus, log.end());
    EXPECT_NE(std::find(killfocus, log.end(), "destroy"), log.end());
    EXPECT_EQ(dlg.m_strName, "abc"); // no exchange on Escape
}

TEST_F(AfxTest, MessageMapRoutesNotificationsSystemCommandsAndTheCloseBox) {
    CTestDlg dlg;
    dlg.m_nMode = 1;
    dlg.m_nPort = 0;
    app.m_pMainWnd = &dlg; // the about box, with no parent, is owned by the main window
    bool ownerDisabledDuringAbout = false;
    LRESULT dragIcon = 0;
    person
        .Then([&] {
            ASSERT_TRUE(ua::Click(Shown(), kSettings));
            EnableWindow(GetDlgItem(Shown(), kSettings), FALSE);
            EXPECT_FALSE(ua::Click(Shown(), kSettings));
            ASSERT_TRUE(ua::Click(Shown(), kModeB));
            ASSERT_TRUE(ua::Select(Shown(), kDevices, 2));
            dragIcon = SendMessageA(Shown(), WM_QUERYDRAGICON, 0, 0);
            SendMessageA(Shown(), WM_COMMAND, ID_HELP, 0); // goes on to the application
            auto items = ua::SystemMenu(Shown());
            ASSERT_FALSE(items.empty());
            EXPECT_EQ(items.back().text, "&About SWITCH...");
            EXPECT_TRUE(ua::ChooseSystemMenu(Shown(), kAbout));
        })
        .Then([&] {
            // The about box is up, its owner disabled.
            HWND about = ua::Find("title:About");
            ASSERT_TRUE(about);
            ownerDisabledDuringAbout = !IsWindowEnabled(Shown());
            ua::Press(about, ua::Key::Enter);
        })
        .Then([&] {
            EXPECT_TRUE(IsWindowEnabled(Shown()));
            ShowWindow(Shown(), SW_MINIMIZE);
            InvalidateRect(Shown(), nullptr, TRUE);
        })
        .Then([&] { EXPECT_TRUE(ua::CloseBox(Shown())); });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dragIcon, reinterpret_cast<LRESULT>(dlg.m_hIcon));
    EXPECT_TRUE(ownerDisabledDuringAbout);
    EXPECT_EQ(app.helped, 1);
    std::vector<std::string> expected = {"settings",      "mode b 1",   "selchange 2",
                                         "syscommand 16", "paint icon", "syscommand 61536",
                                         "close",         "destroy"};
    std::vector<std::string> got;
    for (const auto& line : log)
        if (std::find(expected.begin(), expected.end(), line) != expected.end())
            got.push_back(line);
    EXPECT_EQ(got, expected);
}

TEST_F(AfxTest, ApplicationEndsWhenInitInstanceReturnsFalseOrRunsItsLoop) {
    char name[] = "/opt/selvane/SWITCH.exe";
    char* argv[] = {name};
    INT_PTR modalResult = 0;
    app.init = [&](CTestApp& self) {
        self.Enable3dControlsStatic();
        CTestDlg dlg;
        self.m_pMainWnd = &dlg;
        person.Then([&] { ua::CloseBox(Shown()); });
        modalResult = dlg.DoModal();
        self.m_pMainWnd = nullptr;
        return FALSE;
    };
    EXPECT_EQ(AfxWinMain(1, argv), 0);
    EXPECT_EQ(modalResult, IDCANCEL);
    EXPECT_STREQ(AfxGetAppName(), "SWITCH");

    // TRUE: the framework's loop runs until the quit, and its code is the program's.
    CTestDlg main;
    app.init = [&](CTestApp& self) {
        self.m_pMainWnd = &main;
        return main.Create(200);
    };
    person.Then([&] { ua::Press(Shown(), ua::Key::Tab); }).Then([&] {
        EXPECT_EQ(GetFocus(), GetDlgItem(Shown(), kModeA)); // the loop gave the key to the dialog
        PostQuitMessage(3);
    });
    EXPECT_EQ(AfxWinMain(1, argv), 3);
    main.DestroyWindow();
}

TEST(CStringTest, BuffersSlicesAndComparisons) {
    testing_support::TempRoot root;
    CString s("Port A");
    char* buffer = s.GetBuffer(32);
    std::strcpy(buffer, "Printer B,DRV,LPT1:");
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 19);
    EXPECT_EQ(s, "Printer B,DRV,LPT1:");
    struct Slice {
        CString got;
        const char* expected;
    };
    const Slice slices[] = {
        {s.Left(7), "Printer"}, {s.Left(99), "Printer B,DRV,LPT1:"},
        {s.Left(-1), ""},       {CString("B. Port").Mid(3), "Port"},
        {s.Mid(8, 1), "B"},     {s.Mid(30), ""},
        {s.Right(5), "LPT1:"},  {s.Right(0), ""},
    };
    for (size_t i = 0; i < std::size(slices); ++i)
        EXPECT_EQ(slices[i].got, slices[i].expected) << "row " << i;

    CString built;
    built.Format("%s%d", "LPT", 2);
    built += ':';
    built += CString(" ok");
    EXPECT_EQ(built, "LPT2: ok");
    EXPECT_TRUE(CString("a") < CString("b"));
    EXPECT_NE(built, "LPT2");
    EXPECT_EQ(CString("ABC").CompareNoCase("abc"), 0);
    built.Empty();
    EXPECT_TRUE(built.IsEmpty());
    EXPECT_STREQ(static_cast<LPCSTR>(built), "");

    res::Register(&kModule);
    CString loaded;
    EXPECT_TRUE(loaded.LoadString(102));
    EXPECT_EQ(loaded, "Generic");
    EXPECT_TRUE(loaded.LoadString(AFX_IDP_PARSE_STRING_SIZE)); // the framework's own
    EXPECT_FALSE(loaded.LoadString(999));
    EXPECT_EQ(loaded, "Please enter no more than %1 characters."); // unchanged by the miss
    CString prompt;
    AfxFormatString1(prompt, AFX_IDP_PARSE_STRING_SIZE, "30");
    CWizardApp wizard;
    EXPECT_EQ(AfxGetApp(), &wizard);
    EXPECT_TRUE(wizard.OnCmdMsg(ID_HELP, 0));
    EXPECT_FALSE(wizard.OnCmdMsg(IDOK, 0));
    EXPECT_EQ(prompt, "Please enter no more than 30 characters.");
}

} // namespace

// The control panel's resources as data: string table, the main dialog (102), the settings
// dialog (129), the about box, the icon and the picture. One file for both builds; the two-port
// build has templates of its own and names its picture 134.
//
// Map:
//   strings          the words of the configuration key, program and device names
//   main dialog      kMainControls (four ports and three modes, or two ports and file transfer)
//   settings dialog  kSettingControls
//   about box        kAboutControls
//   images           the picture (43 x 37) and the icon (32 x 32), drawn for this program
#include "Profile.h"
#include "afx.h"
#include "resource.h"

#include <iterator>

namespace {

constexpr res::String kStrings[] = {
    {IDS_ABOUTBOX, "&About SWITCH..."},
    {IDS_COMPANY, "Generic"},
    {IDS_PRODUCT, "Selvane"},
    {IDS_VERSION, "2.00"},
    {IDS_TRAY_PROGRAM, "TASKBAR.exe"},
    {IDS_MASS_STORAGE, "Mass Storage Device"},
    {IDS_SCANNER, "Scanner"},
#ifndef TwoPortProfile
    // Only the four-port build tells the models apart.
    {IDS_TWO_PORT_MODEL, "Selvane 2-1"},
    {IDS_TRANSFER_MODEL, "Selvane 2-2 / 4-2"},
#endif
};

constexpr const char* kLpts[] = {"LPT1", "LPT2", "LPT3"};
constexpr DWORD kDialogStyle =
    DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
// The settings dialog stays above other windows (system-modal).
constexpr DWORD kSettingStyle =
    DS_SETFONT | DS_MODALFRAME | DS_SYSMODAL | WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kNameEdit = WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
// The edits that only carry a device string for the data exchange.
constexpr DWORD kCarrier = WS_BORDER | ES_AUTOHSCROLL | WS_DISABLED | res::kHidden;
constexpr DWORD kDeviceList = WS_VSCROLL | WS_TABSTOP;

using res::Kind;

#ifndef TwoPortProfile

// Picture and title at the top, the LPT list under the title; the line; "1 PC" above the box of
// port radios; the other two modes under the box, "Settings" and "OK" to their right.
constexpr res::Control kMainControls[] = {
    {Kind::DefPushButton, IDOK, "OK", WS_TABSTOP, 113, 142, 50, 14},
    {Kind::AutoRadio, IDC_MODE_ONE_PC, "1 PC using multiple devices", WS_GROUP | WS_TABSTOP, 7, 54,
     150, 10},
    {Kind::AutoRadio, IDC_MODE_MANY_PCS, "Multiple PCs sharing 1 device", 0, 7, 129, 104, 10},
    {Kind::AutoRadio, IDC_MODE_FILE_TRANSFER, "File Transfer", 0, 7, 142, 100, 10},
    {Kind::ComboBox, IDC_LPT, "", CBS_SORT | WS_VSCROLL | WS_TABSTOP, 103, 26, 60, 60, kLpts,
     std::size(kLpts)},
    {Kind::Static, -1, "Velquor Software", WS_GROUP, 58, 10, 105, 8},
    {Kind::GroupBox, -1, "Selvane Port", 0, 7, 66, 156, 58},
    {Kind::AutoRadio, IDC_PORT_A, "A. Port A", WS_GROUP | WS_TABSTOP, 14, 77, 140, 10},
    {Kind::AutoRadio, IDC_PORT_B, "B. Port B", 0, 14, 88, 140, 10},
    {Kind::AutoRadio, IDC_PORT_C, "C. Port C", 0, 14, 99, 140, 10},
    {Kind::AutoRadio, IDC_PORT_D, "D. Port D", 0, 14, 110, 140, 10},
    {Kind::PushButton, IDC_SETTINGS, "Settings", WS_TABSTOP, 113, 126, 50, 14},
    {Kind::Edit, IDC_CURRENT_SPOOLER, "", ES_READONLY | kCarrier, 7, 153, 100, 8},
    {Kind::EtchedLine, -1, "", 0, 7, 48, 156, 1},
    {Kind::Picture, -1, "", 0, 7, 7, 43, 37, nullptr, 0, profile::kPicture},
};

// Picture at the top left, the headings and a line under it, one row per port (label, name,
// device list with its carrier edit under it), "OK" centred at the bottom.
constexpr res::Control kSettingControls[] = {
    {Kind::Edit, IDC_NAME_A, "", kNameEdit, 42, 66, 60, 12},
    {Kind::Edit, IDC_NAME_B, "", kNameEdit, 42, 84, 60, 12},
    {Kind::Edit, IDC_NAME_C, "", kNameEdit, 42, 102, 60, 12},
    {Kind::Edit, IDC_NAME_D, "", kNameEdit, 42, 120, 60, 12},
    {Kind::DefPushButton, IDOK, "OK", WS_TABSTOP, 60, 142, 50, 14},
    {Kind::Static, IDC_HEADING_PORT, "Port", 0, 7, 50, 32, 8},
    {Kind::Static, IDC_HEADING_NAME, "Display Name", 0, 42, 50, 60, 8},
    {Kind::Static, IDC_HEADING_DEVICE, "Device Type", 0, 108, 50, 56, 8},
    {Kind::EtchedLine, -1, "", 0, 7, 60, 157, 1},
    {Kind::Static, -1, "A. Port A", 0, 7, 68, 34, 8},
    {Kind::Static, -1, "B. Port B", 0, 7, 86, 34, 8},
    {Kind::Static, -1, "C. Port C", 0, 7, 104, 34, 8},
    {Kind::Static, -1, "D. Port D", 0, 7, 122, 34, 8},
    {Kind::ComboBox, IDC_DEVICE_A, "", kDeviceList, 108, 66, 56, 80},
    {Kind::ComboBox, IDC_DEVICE_B, "", kDeviceList, 108, 84, 56, 80},
    {Kind::ComboBox, IDC_DEVICE_C, "", kDeviceList, 108, 102, 56, 80},
    {Kind::ComboBox, IDC_DEVICE_D, "", kDeviceList, 108, 120, 56, 80},
    {Kind::Edit, IDC_SPOOLER_A, "", kCarrier, 108, 67, 56, 10},
    {Kind::Edit, IDC_SPOOLER_B, "", kCarrier, 108, 85, 56, 10},
    {Kind::Edit, IDC_SPOOLER_C, "", kCarrier, 108, 103, 56, 10},
    {Kind::Edit, IDC_SPOOLER_D, "", kCarrier, 108, 121, 56, 10},
    {Kind::Picture, -1, "", 0, 7, 7, 43, 37, nullptr, 0, profile::kPicture},
};
constexpr short kMainWidth = 170, kMainHeight = 163;
constexpr short kSettingWidth = 171, kSettingHeight = 163;
constexpr const char* kAboutCaption = "About SWITCH";
constexpr const char* kAboutName = "SWITCH Version 2.00";

#else

// Picture and title (right-aligned) at the top, the LPT list under the title; the line; the box
// with ports A, B and file transfer; "Settings" above "OK" at the bottom right.
constexpr res::Control kMainControls[] = {
    {Kind::AutoRadio, IDC_PORT_A, "A. Port A", WS_GROUP | WS_TABSTOP, 14, 66, 86, 10},
    {Kind::AutoRadio, IDC_PORT_B, "B. Port B", 0, 14, 79, 86, 10},
    {Kind::AutoRadio, IDC_MODE_FILE_TRANSFER, "File Transfer", 0, 14, 92, 86, 10},
    {Kind::DefPushButton, IDOK, "OK", WS_TABSTOP, 116, 104, 50, 14},
    {Kind::ComboBox, IDC_LPT, "", CBS_SORT | WS_VSCROLL | WS_TABSTOP, 106, 26, 60, 60, kLpts,
     std::size(kLpts)},
    {Kind::Static, -1, "Velquor Software", SS_RIGHT | WS_GROUP, 58, 10, 108, 8},
    {Kind::GroupBox, -1, "Selvane Port", 0, 7, 54, 100, 54},
    {Kind::PushButton, IDC_SETTINGS, "Settings", WS_TABSTOP, 116, 84, 50, 14},
    {Kind::Edit, IDC_CURRENT_SPOOLER, "", ES_READONLY | kCarrier, 7, 112, 100, 8},
    {Kind::EtchedLine, -1, "", 0, 7, 48, 159, 1},
    {Kind::Picture, -1, "", 0, 7, 7, 43, 37, nullptr, 0, profile::kPicture},
};

constexpr res::Control kSettingControls[] = {
    {Kind::Edit, IDC_NAME_A, "", kNameEdit, 42, 66, 60, 12},
    {Kind::Edit, IDC_NAME_B, "", kNameEdit, 42, 84, 60, 12},
    {Kind::DefPushButton, IDOK, "OK", WS_TABSTOP, 61, 106, 50, 14},
    {Kind::Static, IDC_HEADING_PORT, "Port", 0, 7, 50, 32, 8},
    {Kind::Static, IDC_HEADING_NAME, "Display Name", 0, 42, 50, 60, 8},
    {Kind::Static, IDC_HEADING_DEVICE, "Device Type", 0, 108, 50, 58, 8},
    {Kind::EtchedLine, -1, "", 0, 7, 60, 159, 1},
    {Kind::Static, -1, "A. Port A", 0, 7, 68, 34, 8},
    {Kind::Static, -1, "B. Port B", 0, 7, 86, 34, 8},
    {Kind::ComboBox, IDC_DEVICE_A, "", kDeviceList, 108, 66, 58, 80},
    {Kind::ComboBox, IDC_DEVICE_B, "", kDeviceList, 108, 84, 58, 80},
    {Kind::Edit, IDC_SPOOLER_A, "", kCarrier, 108, 67, 58, 10},
    {Kind::Edit, IDC_SPOOLER_B, "", kCarrier, 108, 85, 58, 10},
    {Kind::Picture, -1, "", 0, 7, 7, 43, 37, nullptr, 0, profile::kPicture},
};
constexpr short kMainWidth = 173, kMainHeight = 127;
constexpr short kSettingWidth = 173, kSettingHeight = 127;
constexpr const char* kAboutCaption = "About TANDEL";
constexpr const char* kAboutName = "TANDEL Version 2.00";

#endif

// The about box: the picture, the program's name and version, and OK.
constexpr res::Control kAboutControls[] = {
    {Kind::Picture, -1, "", 0, 7, 7, 43, 37, nullptr, 0, profile::kPicture},
    {Kind::Static, -1, kAboutName, 0, 58, 12, 110, 8},
    {Kind::Static, -1, "Velquor Software", 0, 58, 24, 110, 8},
    {Kind::DefPushButton, IDOK, "OK", WS_GROUP | WS_TABSTOP, 119, 34, 50, 14},
};

constexpr res::Dialog kDialogs[] = {
    {IDD_ABOUTBOX, kAboutCaption, "Arial", 9,
     DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, nullptr, 0, 0, 176, 55,
     kAboutControls, std::size(kAboutControls)},
    {IDD_SWITCH_DIALOG, "Generic Velquor Software", "Arial", 9, kDialogStyle, WS_EX_APPWINDOW,
     profile::kDialogClass, 0, 0, kMainWidth, kMainHeight, kMainControls, std::size(kMainControls)},
    {IDD_SETTING_DIALOG, "Setting", "Arial", 9, kSettingStyle, 0, nullptr, 0, 0, kSettingWidth,
     kSettingHeight, kSettingControls, std::size(kSettingControls)},
};

// The picture: the PC above, the box with its four lamps, the cables to the devices. 16 colours
// of the classic palette, one character a pixel.
constexpr const char* kPictureRows[] = {
    "7777777777777777777777777777777777777777777", "7777777777777000000000000000007777777777777",
    "7777777777777044444444444444407777777777777", "7777777777777044444444444444407777777777777",
    "7777777777777044ccccccccccc4407777777777777", "7777777777777044cfcfcfcfcfc4407777777777777",
    "7777777777777044ccccccccccc4407777777777777", "7777777777777044ccccccccccc4407777777777777",
    "7777777777777044ccccccccccc4407777777777777", "7777777777777044444444444444407777777777777",
    "7777777777777044444444444444407777777777777", "7777777777777000000000000000007777777777777",
    "7777777777777777777888887777777777777777777", "7777777777777777888888888887777777777777777",
    "7777777777777777777770777777777777777777777", "7777777777777777777770777777777777777777777",
    "7777777777777777777770777777777777777777777", "7777777777777777777770777777777777777777777",
    "7770000000000000000000000000000000000000777", "7770fffffffffffffffffffffffffffffffffff0777",
    "7770f88888888888888888888888888888888880777", "7770f88000000880000008800000088000000880777",
    "7770f880aaaa088099990880bbbb0880eeee0880777", "7770f880aaaa088099990880bbbb0880eeee0880777",
    "7770f880aaaa088099990880bbbb0880eeee0880777", "7770f88000000880000008800000088000000880777",
    "7770f88888888888888888888888888888888880777", "7770f88888888888888888888888888888888880777",
    "7770000000000000000000000000000000000000777", "7777777777077777770777777707777777077777777",
    "7777777777077777770777777707777777077777777", "7777777777077777770777777707777777077777777",
    "7777777777077777770777777707777777077777777", "7777777700000777000007770000077700000777777",
    "7777777702220777088807770888077708880777777", "7777777700000777000007770000077700000777777",
    "7777777777777777777777777777777777777777777",
};
constexpr const char* kIconRows[] = {
    "            44444444            ", "            44444444            ",
    "               00               ", "               00               ",
    "               00               ", "               00               ",
    "               00               ", "               00               ",
    "  0000000000000000000000000000  ", "  0ffffffffffffffffffffffffff0  ",
    "  0f88888888888888888888888880  ", "  0f88888888888888888888888880  ",
    "  0f88888888888888888888888880  ", "  0f80000080000080000080000080  ",
    "  0f80aaa080999080bbb080eee080  ", "  0f80aaa080999080bbb080eee080  ",
    "  0f80aaa080999080bbb080eee080  ", "  0f80aaa080999080bbb080eee080  ",
    "  0f80000080000080000080000080  ", "  0f88888888888888888888888880  ",
    "  0f88888888888888888888888880  ", "  0f88888888888888888888888880  ",
    "  0f88888888888888888888888880  ", "  0000000000000000000000000000  ",
    "       0     0     0     0      ", "       0     0     0     0      ",
    "       0     0     0     0      ", "       0     0     0     0      ",
    "       0     0     0     0      ", "       0     0     0     0      ",
    "                                ", "                                ",
};

constexpr res::Image kIcons[] = {{IDR_MAINFRAME, 32, 32, kIconRows}};
constexpr res::Image kBitmaps[] = {{profile::kPicture, 43, 37, kPictureRows}};

const res::Module kModule{kStrings, std::size(kStrings), kDialogs, std::size(kDialogs), nullptr, 0,
                          kIcons,   std::size(kIcons),   kBitmaps, std::size(kBitmaps)};

} // namespace

// Referenced by the application object so that the resources come with it wherever it is linked.
const res::Registration g_panelResources(&kModule);

// The main dialog: its data exchange and message map, the load in OnInitDialog and the save in
// OnDestroy, the about box and the minimised icon; the mode and port handlers, the default
// printer and the start of the tray companion; the Settings button.
//
// Map:
//   construction, data exchange, message map
//   OnInitDialog        read the key, restore LPT, mode and port, switch the box
//   OnDestroy           write everything back
//   OnSysCommand, OnPaint, OnQueryDragIcon, OnClose, OnSelchangeLpt
//   mode handlers       OnModeOnePc, OnModeManyPcs, OnModeFileTransfer
//   port handlers       OnPortA..OnPortD, SwitchToPort
//   SetDefaultPrinter   [windows] device= and the WM_WININICHANGE broadcast
//   StartTrayCompanion  TASKBAR.exe from "Path"
//   OnSettings          the settings dialog and what comes back from it
#include "SwitchDlg.h"

#include "AboutDlg.h"
#include "SettingDlg.h"
#include "config_key.h"
#include "switch_command.h"

#include <cstring>

namespace {

constexpr int kPortRadio[] = {IDC_PORT_A, IDC_PORT_B, IDC_PORT_C, IDC_PORT_D};
constexpr const char* kNameValue[] = {"PA Name", "PB Name", "PC Name", "PD Name"};
constexpr const char* kSpoolerValue[] = {"PA Spooler", "PB Spooler", "PC Spooler", "PD Spooler"};
constexpr const char* kPrefix[] = {"A. ", "B. ", "C. ", "D. "};
constexpr int kPrefixLength = 3;
constexpr int kTextBuffer = 256;

// HKEY_LOCAL_MACHINE's SOFTWARE\Generic\Selvane\2.00, the words from our string table, loaded
// each time the path is built.
CString ConfigKeyPath() {
    CString word;
    CString path = "SOFTWARE\\";
    word.LoadString(IDS_COMPANY);
    path += word + "\\";
    word.LoadString(IDS_PRODUCT);
    path += word + "\\";
    word.LoadString(IDS_VERSION);
    path += word;
    return path;
}

void QueryDword(HKEY key, LPCSTR name, DWORD& value) {
    DWORD size = sizeof value;
    ::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(&value), &size);
}

// Reads a text value into `buffer` (`size` bytes at most). The bytes that arrive need not end in
// a zero (a DWORD read as text gives four that do not), so the buffer's last byte is always made
// one: the text ends inside the buffer whatever the value held.
void QueryText(HKEY key, LPCSTR name, char* buffer, DWORD size, char* bufferEnd) {
    ::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), &size);
    bufferEnd[-1] = '\0';
}

void SetText(HKEY key, LPCSTR name, LPCSTR text) {
    ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>(std::strlen(text) + 1));
}

void SetDword(HKEY key, LPCSTR name, DWORD value) {
    ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

} // namespace

// --- construction, data exchange, message map -----------------------------------------------

CSwitchDlg::CSwitchDlg(CWnd* pParent) : CDialog(CSwitchDlg::IDD, pParent) {
#ifndef TwoPortProfile
    m_bTwoPortModel = FALSE;
    m_nMode = -1;
#endif
    m_nPort = -1;
    m_strCurrentSpooler = "";
    m_hIcon = AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME)
                          : ::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CSwitchDlg::~CSwitchDlg() {}

void CSwitchDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LPT, m_comboLpt);
    DDX_Radio(pDX, IDC_PORT_A, m_nPort);
#ifndef TwoPortProfile
    DDX_Radio(pDX, IDC_MODE_ONE_PC, m_nMode);
#endif
    DDX_Text(pDX, IDC_CURRENT_SPOOLER, m_strCurrentSpooler);
}

BEGIN_MESSAGE_MAP(CSwitchDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_DESTROY()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_SETTINGS, OnSettings)
#ifndef TwoPortProfile
ON_BN_CLICKED(IDC_MODE_ONE_PC, OnModeOnePc)
ON_BN_CLICKED(IDC_PORT_A, OnPortA)
ON_BN_CLICKED(IDC_PORT_B, OnPortB)
ON_BN_CLICKED(IDC_PORT_C, OnPortC)
ON_BN_CLICKED(IDC_PORT_D, OnPortD)
ON_BN_CLICKED(IDC_MODE_MANY_PCS, OnModeManyPcs)
ON_BN_CLICKED(IDC_MODE_FILE_TRANSFER, OnModeFileTransfer)
#else
ON_BN_CLICKED(IDC_PORT_A, OnPortA)
ON_BN_CLICKED(IDC_PORT_B, OnPortB)
ON_BN_CLICKED(IDC_MODE_FILE_TRANSFER, OnModeFileTransfer)
#endif
ON_WM_CLOSE()
ON_CBN_SELCHANGE(IDC_LPT, OnSelchangeLpt)
END_MESSAGE_MAP()

// --- OnInitDialog ------------------------------------------------------------------------------

BOOL CSwitchDlg::OnInitDialog() {
    // The LPT list gets its items from the template; no radio is checked yet.
    CDialog::OnInitDialog();

    // The about box lives in the system menu; the dialog has no button for it.
    CMenu* pSysMenu = GetSystemMenu(FALSE);
    if (pSysMenu != nullptr) {
        CString strAboutMenu;
        strAboutMenu.LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.IsEmpty()) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    StartTrayCompanion();

    // What a machine without the key gets: LPT1, one PC on many devices, port A, no devices.
    DWORD nLpt = 0;
    DWORD nMode = OnePcManyDevices;
    DWORD nPort = 0;
    for (int i = 0; i < profile::kPorts; ++i)
        m_strSpooler[i].Empty();

    HKEY hKey = nullptr;
    if (::RegOpenKeyA(HKEY_LOCAL_MACHINE, ConfigKeyPath(), &hKey) == ERROR_SUCCESS) {
        char szModel[kTextBuffer] = {};
        QueryText(hKey, "Model Name", szModel, sizeof szModel, szModel + sizeof szModel);
#ifndef TwoPortProfile
        // Only the exact text counts; "Selvane 4-1" and anything else get four ports.
        CString strTwoPort;
        strTwoPort.LoadString(IDS_TWO_PORT_MODEL);
        m_bTwoPortModel = std::strcmp(szModel, strTwoPort) == 0;
#endif
        QueryDword(hKey, "LPTx", nLpt);
        if (nLpt >= 3) nLpt = 0;
        QueryDword(hKey, "ActiveMode", nMode);
#ifdef TwoPortProfile
        // This box knows one PC on its ports and file transfer: anything else is port mode.
        if (nMode != OnePcManyDevices && nMode != FileTransfer) nMode = OnePcManyDevices;
#endif
        QueryDword(hKey, "ActivePort", nPort);
#ifndef TwoPortProfile
        if (m_bTwoPortModel && nPort >= 2) nPort = 0;
        if (nPort >= 4) nPort = 0;
#else
        if (nPort >= 2) nPort = 0;
#endif
        // Each radio shows its port's letter, then the stored name; a missing name leaves the
        // bare letter.
        for (int i = 0; i < profile::kPorts; ++i) {
            char szCaption[kTextBuffer] = {};
            std::memcpy(szCaption, kPrefix[i], kPrefixLength);
            QueryText(hKey, kNameValue[i], szCaption + kPrefixLength, kTextBuffer - kPrefixLength,
                      szCaption + sizeof szCaption);
            SetDlgItemText(kPortRadio[i], szCaption);
        }
        for (int i = 0; i < profile::kPorts; ++i) {
            char szDevice[kTextBuffer] = {};
            QueryText(hKey, kSpoolerValue[i], szDevice, sizeof szDevice,
                      szDevice + sizeof szDevice);
            m_strSpooler[i] = szDevice;
        }
        ::RegCloseKey(hKey);
    }

    m_comboLpt.SetCurSel(static_cast<int>(nLpt));
#ifndef TwoPortProfile
    m_nPort = static_cast<int>(nPort);
    m_nMode = static_cast<int>(nMode);
    m_strCurrentSpooler = m_strSpooler[m_nPort];

    // The box follows what was stored: the port in mode 0, port A in mode 1, port C in mode 2.
    switch (m_nMode) {
    case OnePcManyDevices:
        OnModeOnePc();
        switch (m_nPort) {
        case 0:
            OnPortA();
            break;
        case 1:
            OnPortB();
            break;
        case 2:
            OnPortC();
            break;
        default:
            OnPortD();
            break;
        }
        EnableControl(IDC_MODE_FILE_TRANSFER, FALSE);
        break;
    case ManyPcsOneDevice:
        OnModeManyPcs();
        break;
    case FileTransfer:
        OnModeFileTransfer();
        break;
    default:
        // A mode we do not know is taken for "Multiple PCs sharing 1 device".
        OnModeManyPcs();
        m_nMode = ManyPcsOneDevice;
        break;
    }
    if (m_bTwoPortModel) {
        EnableControl(IDC_PORT_C, FALSE);
        EnableControl(IDC_PORT_D, FALSE);
    }
#else
    if (nMode == FileTransfer) {
        m_nPort = 2;
    } else {
        m_nPort = static_cast<int>(nPort);
        m_strCurrentSpooler = m_strSpooler[m_nPort];
    }
    if (nMode == FileTransfer)
        OnModeFileTransfer();
    else if (m_nPort == 0)
        OnPortA();
    else
        OnPortB();
#endif

    UpdateData(FALSE);
    return TRUE;
}

// --- OnDestroy --------------------------------------------------------------------------------

void CSwitchDlg::OnDestroy() {
    // Without the key nothing is saved, and the key is not made.
    HKEY hKey = nullptr;
    if (::RegOpenKeyA(HKEY_LOCAL_MACHINE, ConfigKeyPath(), &hKey) == ERROR_SUCCESS) {
        SetDword(hKey, "LPTx", static_cast<DWORD>(m_comboLpt.GetCurSel()));
#ifndef TwoPortProfile
        SetDword(hKey, "ActiveMode", static_cast<DWORD>(m_nMode));
        SetDword(hKey, "ActivePort", static_cast<DWORD>(m_nPort));
#else
        // The one radio group holds both: 2 is file transfer, which keeps port A as its port.
        SetDword(hKey, "ActiveMode", m_nPort > 1 ? FileTransfer : OnePcManyDevices);
        SetDword(hKey, "ActivePort", m_nPort > 1 ? 0 : static_cast<DWORD>(m_nPort));
#endif
        // The radio captions hold the names while the dialog is open; the letter is not saved.
        for (int i = 0; i < profile::kPorts; ++i) {
            char szCaption[kTextBuffer] = {};
            GetDlgItemText(kPortRadio[i], szCaption, kTextBuffer);
            SetText(hKey, kNameValue[i], szCaption + kPrefixLength);
        }
        for (int i = profile::kPorts - 1; i >= 0; --i)
            SetText(hKey, kSpoolerValue[i], m_strSpooler[i]);
        ::RegCloseKey(hKey);
    }

    WinHelp(0L, HELP_QUIT);
    CDialog::OnDestroy();
}

// --- system menu, painting, closing ------------------------------------------------------------

void CSwitchDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

// Minimised, the dialog paints its icon in the middle of what is left of it.
void CSwitchDlg::OnPaint() {
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        int cxIcon = ::GetSystemMetrics(SM_CXICON);
        int cyIcon = ::GetSystemMetrics(SM_CYICON);
        CRect rect;
        GetClientRect(&rect);
        int x = (rect.Width() - cxIcon + 1) / 2;
        int y = (rect.Height() - cyIcon + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
    } else {
        CDialog::OnPaint();
    }
}

HCURSOR CSwitchDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

// The close box ends the dialog as Escape does; the window's destruction saves.
void CSwitchDlg::OnClose() {
    CDialog::OnClose();
}

// A new LPT port takes effect with the next command, and is saved at close.
void CSwitchDlg::OnSelchangeLpt() {}

// --- mode handlers -----------------------------------------------------------------------------

void CSwitchDlg::EnableControl(int id, BOOL enable) {
    if (CWnd* control = GetDlgItem(id)) control->EnableWindow(enable);
}

void CSwitchDlg::SendPortCommand(int port) {
    // The LPT list's selection at this moment, as the command's first byte.
    int lpt = m_comboLpt.GetCurSel();
    SendSwitchCommand(MakeSwitchCommand(static_cast<BYTE>(lpt & 0xFF), port));
}

#ifndef TwoPortProfile

// One PC on many devices: the ports and Settings open, "File Transfer" shut (it is reached only
// from the other mode). Nothing is sent: the box stays where the last command put it until a
// port is picked, while the checked port's device becomes the default printer.
void CSwitchDlg::OnModeOnePc() {
    m_nMode = OnePcManyDevices;
    EnableControl(IDC_SETTINGS, TRUE);
    EnableControl(IDC_PORT_A, TRUE);
    EnableControl(IDC_PORT_B, TRUE);
    EnableControl(IDC_MODE_FILE_TRANSFER, FALSE);
    if (!m_bTwoPortModel) {
        EnableControl(IDC_PORT_C, TRUE);
        EnableControl(IDC_PORT_D, TRUE);
    }
    SetDefaultPrinter(m_strCurrentSpooler);
    UpdateData(FALSE);
}

// Several PCs share the device on port A.
void CSwitchDlg::OnModeManyPcs() {
    m_nMode = ManyPcsOneDevice;
    EnableControl(IDC_SETTINGS, FALSE);
    EnableControl(IDC_PORT_A, FALSE);
    EnableControl(IDC_PORT_B, FALSE);
    EnableControl(IDC_MODE_FILE_TRANSFER, TRUE);
    if (!m_bTwoPortModel) {
        EnableControl(IDC_PORT_C, FALSE);
        EnableControl(IDC_PORT_D, FALSE);
    }
    SendPortCommand(0);
}

// Two PCs exchange files through port C.
void CSwitchDlg::OnModeFileTransfer() {
    m_nMode = FileTransfer;
    EnableControl(IDC_SETTINGS, FALSE);
    EnableControl(IDC_PORT_A, FALSE);
    EnableControl(IDC_PORT_B, FALSE);
    if (!m_bTwoPortModel) {
        EnableControl(IDC_PORT_C, FALSE);
        EnableControl(IDC_PORT_D, FALSE);
    }
    SendPortCommand(2);
}

#else

// File transfer through port C. The port radios stay open: picking port A or B leaves it.
void CSwitchDlg::OnModeFileTransfer() {
    EnableControl(IDC_SETTINGS, FALSE);
    m_nPort = 2;
    SendPortCommand(2);
}

#endif

// --- port handlers -----------------------------------------------------------------------------

void CSwitchDlg::SwitchToPort(int port) {
#ifdef TwoPortProfile
    // Back from file transfer, the ports may be set up again.
    EnableControl(IDC_SETTINGS, TRUE);
#endif
    m_nPort = port;
    m_strCurrentSpooler = m_strSpooler[port];
    SendPortCommand(port);
    SetDefaultPrinter(m_strCurrentSpooler);
    UpdateData(FALSE);
}

void CSwitchDlg::OnPortA() {
    SwitchToPort(0);
}
void CSwitchDlg::OnPortB() {
    SwitchToPort(1);
}
#ifndef TwoPortProfile
void CSwitchDlg::OnPortC() {
    SwitchToPort(2);
}
void CSwitchDlg::OnPortD() {
    SwitchToPort(3);
}
#endif

// --- SetDefaultPrinter -------------------------------------------------------------------------

// The device string goes into win.ini unchanged: a printer's "name,driver,port", or the fixed
// text of the storage device or the scanner. Windows 95/98 is told which section changed;
// Windows NT gets no section name; Win32s is left alone.
BOOL CSwitchDlg::SetDefaultPrinter(CString device) {
    if (device.IsEmpty()) return FALSE;
    OSVERSIONINFOA osvi{};
    osvi.dwOSVersionInfoSize = sizeof osvi;
    ::GetVersionExA(&osvi);
    switch (osvi.dwPlatformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
        ::WriteProfileStringA("windows", "device", device);
        ::SendMessageA(HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>("windows"));
        return TRUE;
    case VER_PLATFORM_WIN32_NT:
        ::WriteProfileStringA("windows", "device", device);
        ::SendMessageA(HWND_BROADCAST, WM_WININICHANGE, 0, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

// --- StartTrayCompanion ------------------------------------------------------------------------

void CSwitchDlg::StartTrayCompanion() {
    OSVERSIONINFOA osvi{};
    osvi.dwOSVersionInfoSize = sizeof osvi;
    ::GetVersionExA(&osvi);
    // The tray companion needs a shell with a notification area: not Win32s, not NT 3.x.
    if (osvi.dwPlatformId == VER_PLATFORM_WIN32s) return;
    if (osvi.dwPlatformId == VER_PLATFORM_WIN32_NT && osvi.dwMajorVersion <= 3) return;

    // It runs already: one icon is enough.
    if (::FindWindowA(profile::kTrayClass, nullptr)) return;

    char szKey[kTextBuffer];
    BuildConfigKeyPath(AfxGetInstanceHandle(), "Software\\", IDS_COMPANY, IDS_PRODUCT, IDS_VERSION,
                       szKey, sizeof szKey);
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, szKey, 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
        return;
    char szFile[kTextBuffer] = {};
    DWORD size = kTextBuffer - 1;
    LONG status =
        ::RegQueryValueExA(hKey, "Path", nullptr, nullptr, reinterpret_cast<LPBYTE>(szFile), &size);
    ::RegCloseKey(hKey);
    szFile[kTextBuffer - 1] = '\0';

    // Without a folder there is nothing sensible to start: a bare "\TASKBAR.exe" would name
    // whatever lies at the root. A folder too long for the launch path is not cut either, for
    // a cut path names some other folder.
    CString strProgram;
    strProgram.LoadString(IDS_TRAY_PROGRAM);
    size_t folder = std::strlen(szFile);
    if (status != ERROR_SUCCESS || folder == 0) return;
    if (folder + 1 + static_cast<size_t>(strProgram.GetLength()) > kTextBuffer - 1) return;
    std::strcat(szFile, "\\");
    std::strcat(szFile, strProgram);

    ::ShellExecuteA(m_hWnd, "open", szFile, nullptr, nullptr, SW_SHOWNORMAL);
}

// --- OnSettings -------------------------------------------------------------------------------

// The settings dialog works on copies; whatever it holds when it closes comes back, whether it
// was closed with OK, Escape or its close box. Nothing reaches the registry or the box here:
// the names and devices are saved when this dialog closes.
void CSwitchDlg::OnSettings() {
    CSettingDlg dlg(this);
    for (int i = 0; i < profile::kPorts; ++i) {
        char szCaption[kTextBuffer] = {};
        GetDlgItemText(kPortRadio[i], szCaption, kTextBuffer);
        dlg.m_strName[i] = szCaption + kPrefixLength;
    }
    for (int i = 0; i < profile::kPorts; ++i)
        dlg.m_strSpooler[i] = m_strSpooler[i];
#ifndef TwoPortProfile
    dlg.m_bTwoPortModel = m_bTwoPortModel;
#endif

    dlg.DoModal();

    for (int i = 0; i < profile::kPorts; ++i)
        m_strSpooler[i] = dlg.m_strSpooler[i];
    // Settings is open only while a port is active, so m_nPort names one.
    if (m_nPort >= 0 && m_nPort < profile::kPorts) {
        m_strCurrentSpooler = m_strSpooler[m_nPort];
        SetDefaultPrinter(m_strCurrentSpooler);
    }
    for (int i = 0; i < profile::kPorts; ++i) {
        // The caption is built in 256 bytes: a name longer than the 252 that fit behind the
        // letter (a long printer name kept through Escape) is cut to what fits.
        char szCaption[kTextBuffer] = {};
        std::memcpy(szCaption, kPrefix[i], kPrefixLength);
        std::strncpy(szCaption + kPrefixLength, dlg.m_strName[i], kTextBuffer - kPrefixLength - 1);
        SetDlgItemText(kPortRadio[i], szCaption);
    }
    UpdateData(FALSE);
}

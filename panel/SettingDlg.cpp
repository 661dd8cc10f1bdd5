// The port settings dialog: the [devices] list and the entry table, the picks and the names.
//
// Map:
//   construction, data exchange, message map
//   OnInitDialog       copy [devices], fill the lists, select what each port holds
//   OnSelchangePort*   a pick: the device's name and device string for the port
//   OnKillfocusName*   a typed name
//   OnDestroy          free the section copy
#include "SettingDlg.h"

#include <cstring>

namespace {
constexpr int kNameEdit[] = {IDC_NAME_A, IDC_NAME_B, IDC_NAME_C, IDC_NAME_D};
constexpr int kCarrierEdit[] = {IDC_SPOOLER_A, IDC_SPOOLER_B, IDC_SPOOLER_C, IDC_SPOOLER_D};
} // namespace

CSettingDlg::CSettingDlg(CWnd* pParent) : CDialog(CSettingDlg::IDD, pParent) {
    m_nEntries = 0;
    for (LPCSTR& entry : m_pszEntry)
        entry = nullptr;
    m_pszSection = nullptr;
#ifndef TwoPortProfile
    m_bTwoPortModel = FALSE;
#endif
}

CSettingDlg::~CSettingDlg() {
    // Only when the window never got to OnDestroy.
    delete[] m_pszSection;
}

void CSettingDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
#ifndef TwoPortProfile
    DDX_Control(pDX, IDC_DEVICE_D, m_comboPortD);
    DDX_Control(pDX, IDC_DEVICE_C, m_comboPortC);
#endif
    DDX_Control(pDX, IDC_DEVICE_B, m_comboPortB);
    DDX_Control(pDX, IDC_DEVICE_A, m_comboPortA);
    // Loading limits typing to 30 characters; OK refuses a longer name (a picked printer's name
    // may be longer, as the limit holds only for typing).
    for (int i = 0; i < profile::kPorts; ++i) {
        DDX_Text(pDX, kNameEdit[i], m_strName[i]);
        DDV_MaxChars(pDX, m_strName[i], kMaxName);
    }
    for (int i = 0; i < profile::kPorts; ++i)
        DDX_Text(pDX, kCarrierEdit[i], m_strSpooler[i]);
}

BEGIN_MESSAGE_MAP(CSettingDlg, CDialog)
#ifndef TwoPortProfile
ON_EN_KILLFOCUS(IDC_NAME_B, OnKillfocusNameB)
ON_EN_KILLFOCUS(IDC_NAME_C, OnKillfocusNameC)
ON_EN_KILLFOCUS(IDC_NAME_D, OnKillfocusNameD)
ON_CBN_SELCHANGE(IDC_DEVICE_A, OnSelchangePortA)
ON_CBN_SELCHANGE(IDC_DEVICE_B, OnSelchangePortB)
ON_CBN_SELCHANGE(IDC_DEVICE_C, OnSelchangePortC)
ON_CBN_SELCHANGE(IDC_DEVICE_D, OnSelchangePortD)
ON_WM_DESTROY()
ON_EN_KILLFOCUS(IDC_NAME_A, OnKillfocusNameA)
#else
ON_EN_KILLFOCUS(IDC_NAME_A, OnKillfocusNameA)
ON_EN_KILLFOCUS(IDC_NAME_B, OnKillfocusNameB)
ON_CBN_SELCHANGE(IDC_DEVICE_A, OnSelchangePortA)
ON_CBN_SELCHANGE(IDC_DEVICE_B, OnSelchangePortB)
ON_WM_DESTROY()
#endif
END_MESSAGE_MAP()

CComboBox* CSettingDlg::List(int port) {
    switch (port) {
    case 0:
        return &m_comboPortA;
    case 1:
        return &m_comboPortB;
#ifndef TwoPortProfile
    case 2:
        return &m_comboPortC;
    case 3:
        return &m_comboPortD;
#endif
    default:
        return nullptr;
    }
}

void CSettingDlg::Offer(int position, LPCSTR entry, LPCSTR shown, int selected[]) {
    m_pszEntry[position] = entry;
    // Byte for byte, case included; a later match wins over an earlier one.
    for (int port = 0; port < profile::kPorts; ++port)
        if (std::strcmp(m_strSpooler[port], entry) == 0) selected[port] = position;
    for (int port = 0; port < profile::kPorts; ++port)
        List(port)->InsertString(position, shown);
}

// --- OnInitDialog ------------------------------------------------------------------------------

BOOL CSettingDlg::OnInitDialog() {
    // The names and the carried device strings go into their edits.
    CDialog::OnInitDialog();

#ifndef TwoPortProfile
    // "Selvane 2-1" has no ports C and D; their values pass through untouched.
    if (m_bTwoPortModel) {
        GetDlgItem(IDC_NAME_C)->EnableWindow(FALSE);
        GetDlgItem(IDC_DEVICE_C)->EnableWindow(FALSE);
        GetDlgItem(IDC_NAME_D)->EnableWindow(FALSE);
        GetDlgItem(IDC_DEVICE_D)->EnableWindow(FALSE);
    }
#endif

    // A port whose device matches nothing shows the first item; its string stays as it was.
    int selected[profile::kPorts] = {};

    delete[] m_pszSection;
    m_pszSection = new char[kSectionSize];
    m_nEntries = 0;
    DWORD copied = ::GetProfileSectionA("devices", m_pszSection, kSectionSize);
    if (copied != 0) {
        // The copy is walked within its bounds even if it came back without its final zero.
        m_pszSection[kSectionSize - 1] = '\0';
        const char* end = m_pszSection + kSectionSize - 1;
        char* entry = m_pszSection;
        // The entry table has room for 48 printers beside the two fixed devices: a longer
        // [devices] is listed up to its 48th printer.
        while (entry < end && *entry != '\0' && m_nEntries < kMaxPrinters) {
            size_t length = std::strlen(entry);
            // "name=driver,port" becomes the device string "name,driver,port".
            char* lastEquals = nullptr;
            for (char* p = entry; *p != '\0'; ++p) {
                if (*p == '=') {
                    *p = ',';
                    lastEquals = p;
                }
            }
            // The list shows the printer's name alone: the entry is cut at its last "=" for
            // the insertion and mended at once.
            if (lastEquals) *lastEquals = '\0';
            CString shown = entry;
            if (lastEquals) *lastEquals = ',';
            Offer(m_nEntries, entry, shown, selected);
            ++m_nEntries;
            entry += length + 1;
        }
    }

    m_strMassStorage.LoadString(IDS_MASS_STORAGE);
    Offer(m_nEntries, m_strMassStorage, m_strMassStorage, selected);
    m_strScanner.LoadString(IDS_SCANNER);
    Offer(m_nEntries + 1, m_strScanner, m_strScanner, selected);

    for (int port = 0; port < profile::kPorts; ++port)
        List(port)->SetCurSel(selected[port]);

    UpdateData(FALSE);
    return TRUE;
}

// --- picks and names ---------------------------------------------------------------------------

// Picking a device renames the port after it; the person may type another name afterwards.
void CSettingDlg::OnSelchangePort(int port) {
    CComboBox* list = List(port);
    int position = list->GetCurSel();
    if (position >= 0 && position < m_nEntries + 2) {
        int length = list->GetLBTextLen(position);
        char* text = new char[static_cast<size_t>(length > 0 ? length : 0) + 2];
        text[0] = '\0';
        list->GetLBText(position, text);
        m_strName[port] = text;
        delete[] text;
        m_strSpooler[port] = m_pszEntry[position];
    }
    UpdateData(FALSE);
}

void CSettingDlg::OnKillfocusName(int port) {
    GetDlgItemText(kNameEdit[port], m_strName[port]);
}

void CSettingDlg::OnSelchangePortA() {
    OnSelchangePort(0);
}
void CSettingDlg::OnSelchangePortB() {
    OnSelchangePort(1);
}
void CSettingDlg::OnKillfocusNameA() {
    OnKillfocusName(0);
}
void CSettingDlg::OnKillfocusNameB() {
    OnKillfocusName(1);
}
#ifndef TwoPortProfile
void CSettingDlg::OnSelchangePortC() {
    OnSelchangePort(2);
}
void CSettingDlg::OnSelchangePortD() {
    OnSelchangePort(3);
}
void CSettingDlg::OnKillfocusNameC() {
    OnKillfocusName(2);
}
void CSettingDlg::OnKillfocusNameD() {
    OnKillfocusName(3);
}
#endif

// --- OnDestroy ---------------------------------------------------------------------------------

void CSettingDlg::OnDestroy() {
    CDialog::OnDestroy();
    // The entry table pointed into this copy; it is not used after this.
    delete[] m_pszSection;
    m_pszSection = nullptr;
}

// CSettingDlg: names the box's device ports and tells what each one carries: a printer of
// win.ini's [devices], the mass-storage device or the scanner. The caller fills m_strName,
// m_strSpooler (and, in the four-port build, m_bTwoPortModel) before DoModal and takes them back
// afterwards, however the dialog was closed.
//
// A port's device string is what its list offers at the picked position: the printer's
// [devices] entry with "=" turned into "," (name, driver, port), or the fixed text of the two
// other devices. The lists keep their insertion order, since a position is an index into the
// entry table.
#pragma once

#include "Profile.h"
#include "afx.h"
#include "resource.h"

class CSettingDlg : public CDialog {
public:
    explicit CSettingDlg(CWnd* pParent = nullptr);
    ~CSettingDlg() override;

    enum { IDD = IDD_SETTING_DIALOG };
    // The entry table: the printers, then the storage device and the scanner.
    static constexpr int kEntryPlaces = 50;
    static constexpr int kMaxPrinters = kEntryPlaces - 2;
    static constexpr DWORD kSectionSize = 16384;
    static constexpr int kMaxName = 30;

    // Dialog data, in this order.
    CString m_strScanner;
    CString m_strMassStorage;
    int m_nEntries; // printers listed
    LPCSTR m_pszEntry[kEntryPlaces];
    LPSTR m_pszSection; // the copy of [devices], from OnInitDialog to OnDestroy
#ifndef TwoPortProfile
    BOOL m_bTwoPortModel; // "Selvane 2-1": ports C and D are shown but shut
    CComboBox m_comboPortD;
    CComboBox m_comboPortC;
#endif
    CComboBox m_comboPortB;
    CComboBox m_comboPortA;
    CString m_strName[profile::kPorts];
    CString m_strSpooler[profile::kPorts];

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

#ifndef TwoPortProfile
    afx_msg void OnKillfocusNameB();
    afx_msg void OnKillfocusNameC();
    afx_msg void OnKillfocusNameD();
    afx_msg void OnSelchangePortA();
    afx_msg void OnSelchangePortB();
    afx_msg void OnSelchangePortC();
    afx_msg void OnSelchangePortD();
    afx_msg void OnDestroy();
    afx_msg void OnKillfocusNameA();
#else
    afx_msg void OnKillfocusNameA();
    afx_msg void OnKillfocusNameB();
    afx_msg void OnSelchangePortA();
    afx_msg void OnSelchangePortB();
    afx_msg void OnDestroy();
#endif
    DECLARE_MESSAGE_MAP()

private:
    // The port's lists, A first.
    CComboBox* List(int port);
    // Adds the device at `position` to every port's list and selects it for every port whose
    // device string is the entry's.
    void Offer(int position, LPCSTR entry, LPCSTR shown, int selected[]);
    void OnSelchangePort(int port);
    void OnKillfocusName(int port);
};

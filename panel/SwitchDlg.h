// CSwitchDlg: the control panel's one window. The person picks the PC's parallel port, the box's
// working mode and the active device port; the dialog restores all of it from the configuration
// key when it opens (switching the box to what it restored) and saves it when it closes.
//
// The four-port build has three mode radios and four port radios, and shuts ports C and D for
// the model "Selvane 2-1". The two-port build (TwoPortProfile) has one radio group: port A, port
// B and file transfer, with m_nPort 0, 1 or 2 as its only mode state.
//
// Subclasses override nothing; what the settings dialog and the handlers share is public, as
// the framework's dialog data is.
#pragma once

#include "Profile.h"
#include "afx.h"
#include "resource.h"

class CSwitchDlg : public CDialog {
public:
    explicit CSwitchDlg(CWnd* pParent = nullptr);
    ~CSwitchDlg() override;

    enum { IDD = IDD_SWITCH_DIALOG };

    // Dialog data, in this order.
#ifndef TwoPortProfile
    BOOL m_bTwoPortModel; // the stored model is "Selvane 2-1": ports C and D are shut
#endif
    CString m_strSpooler[4]; // the device string of each port ("PA Spooler".."PD Spooler")
    CComboBox m_comboLpt;    // 1003: its selection is the LPT index of every command
    int m_nPort;             // the checked port radio (two-port build: 2 is file transfer)
#ifndef TwoPortProfile
    int m_nMode; // the checked mode radio: a BoxMode
#endif
    CString m_strCurrentSpooler; // the device string of the active port, last made default
    HICON m_hIcon;

    // Makes `device` the Windows default printer and tells every top-level window; an empty
    // device string changes nothing. FALSE when nothing was written.
    BOOL SetDefaultPrinter(CString device);
    // Starts the tray companion from the installation folder unless it runs already.
    void StartTrayCompanion();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnDestroy();
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnSettings();
#ifndef TwoPortProfile
    afx_msg void OnModeOnePc();
#endif
    afx_msg void OnPortA();
    afx_msg void OnPortB();
#ifndef TwoPortProfile
    afx_msg void OnPortC();
    afx_msg void OnPortD();
    afx_msg void OnModeManyPcs();
#endif
    afx_msg void OnModeFileTransfer();
    afx_msg void OnClose();
    afx_msg void OnSelchangeLpt();
    DECLARE_MESSAGE_MAP()

private:
    // What every port handler does for port `port`.
    void SwitchToPort(int port);
    // Sends the command for `port` on the LPT port the list shows now.
    void SendPortCommand(int port);
    void EnableControl(int id, BOOL enable);
};

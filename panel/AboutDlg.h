// CAboutDlg: the about box of the system menu. The picture, the program's name and version, and
// OK; OK and Escape close it. It has nothing of its own beyond its template.
#pragma once

#include "afx.h"
#include "resource.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
    enum { IDD = IDD_ABOUTBOX };
};

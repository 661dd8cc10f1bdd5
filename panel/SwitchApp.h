// CSwitchApp: the control panel's application object. It refuses to run twice, registers the
// window class that the main dialog's template names, runs the main dialog modally and ends the
// program when that dialog closes: InitInstance always returns FALSE, so the framework never
// enters its message loop.
#pragma once

#include "afx.h"

class CSwitchApp : public CWinApp {
public:
    CSwitchApp();

    BOOL InitInstance() override;

    // True when this start may go on: no window of the dialog's class exists anywhere, and the
    // class was registered.
    BOOL RegisterDialogClass();

    DECLARE_MESSAGE_MAP()
};

extern CSwitchApp theApp;

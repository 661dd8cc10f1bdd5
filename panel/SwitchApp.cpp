// The application object: single instance, the dialog's window class, the modal run.
#include "SwitchApp.h"

#include "Profile.h"
#include "SwitchDlg.h"
#include "resource.h"

BEGIN_MESSAGE_MAP(CSwitchApp, CWinApp)
ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CSwitchApp::CSwitchApp() {}

CSwitchApp theApp;

BOOL CSwitchApp::InitInstance() {
    Enable3dControlsStatic();

    // A second start ends here without a word: the running copy is neither activated nor told.
    if (!RegisterDialogClass()) return FALSE;

    CSwitchDlg dlg;
    m_pMainWnd = &dlg;
    // Whatever ends the dialog, it has saved its state when its window went.
    dlg.DoModal();
    return FALSE;
}

BOOL CSwitchApp::RegisterDialogClass() {
    // Any top-level window of our class, from whatever process, means a copy already runs. The
    // test and the registration are two steps: two starts close together may both pass.
    if (::FindWindowA(profile::kDialogClass, nullptr)) return FALSE;

    WNDCLASSA wc{};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = ::DefDlgProcA;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hIcon = LoadIcon(IDR_MAINFRAME);
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = profile::kDialogClass;
    return ::RegisterClassA(&wc) != 0;
}

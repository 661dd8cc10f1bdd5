// Creating a dialog of 20 controls from its template and running its initialisation (the
// framework's OnInitDialog with its data exchange), then destroying it.
#include "afx.h"
#include "support/temp_root.h"
#include "ui/headless.h"

#include <benchmark/benchmark.h>

namespace {

constexpr const char* kLpts[] = {"LPT3", "LPT1", "LPT2"};
constexpr res::Control kControls[] = {
    {res::Kind::DefPushButton, IDOK, "OK", WS_TABSTOP, 110, 140, 50, 14},
    {res::Kind::AutoRadio, 1000, "One PC", WS_GROUP | WS_TABSTOP, 7, 50, 90, 10},
    {res::Kind::AutoRadio, 1001, "Many PCs", 0, 7, 120, 90, 10},
    {res::Kind::ComboBox, 1003, "", CBS_SORT | WS_VSCROLL | WS_TABSTOP, 110, 20, 48, 60, kLpts, 3},
    {res::Kind::AutoRadio, 1002, "File Transfer", 0, 7, 132, 90, 10},
    {res::Kind::Static, -1, "Velquor Software", WS_GROUP, 60, 7, 80, 8},
    {res::Kind::GroupBox, -1, "Selvane Port", 0, 7, 62, 100, 55},
    {res::Kind::AutoRadio, 1004, "A. Port A", WS_GROUP | WS_TABSTOP, 14, 72, 80, 10},
    {res::Kind::AutoRadio, 1005, "B. Port B", 0, 14, 83, 80, 10},
    {res::Kind::AutoRadio, 1006, "C. Port C", 0, 14, 94, 80, 10},
    {res::Kind::AutoRadio, 1007, "D. Port D", 0, 14, 105, 80, 10},
    {res::Kind::PushButton, 1008, "Settings", WS_TABSTOP, 110, 120, 50, 14},
    {res::Kind::Edit, 1009, "", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 110, 40, 50, 12},
    {res::Kind::Edit, 1010, "", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 110, 54, 50, 12},
    {res::Kind::Edit, 1029, "", ES_READONLY | ES_AUTOHSCROLL | WS_DISABLED | res::kHidden, 7, 145,
     60, 12},
    {res::Kind::ComboBox, 1032, "", WS_VSCROLL | WS_TABSTOP, 110, 60, 48, 60},
    {res::Kind::ComboBox, 1033, "", WS_VSCROLL | WS_TABSTOP, 110, 75, 48, 60},
    {res::Kind::Static, 1017, "Port", 0, 7, 150, 30, 8},
    {res::Kind::EtchedLine, -1, "", 0, 7, 45, 150, 1},
    {res::Kind::Picture, -1, "", 0, 7, 7, 43, 37, nullptr, 0, 135},
};
static_assert(std::size(kControls) == 20);
constexpr res::Dialog kDialogs[] = {
    {102, "Generic Velquor Software", "Arial", 9,
     DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, WS_EX_APPWINDOW,
     nullptr, 0, 0, 170, 163, kControls, std::size(kControls)},
};
constexpr const char* kPixels[] = {"0f", "f0"};
constexpr res::Image kBitmaps[] = {{135, 2, 2, kPixels}};
const res::Module kModule{nullptr, 0, kDialogs, 1, nullptr, 0, nullptr, 0, kBitmaps, 1};

class CBenchDlg : public CDialog {
public:
    CBenchDlg() : CDialog(102) {}
    int m_nPort = 1, m_nMode = 0;
    CString m_strName = "Laser", m_strSpooler = "Laser,DRV,LPT1:";
    CComboBox m_comboLpt;

protected:
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Control(dx, 1003, m_comboLpt);
        DDX_Radio(dx, 1004, m_nPort);
        DDX_Radio(dx, 1000, m_nMode);
        DDX_Text(dx, 1009, m_strName);
        DDV_MaxChars(dx, m_strName, 30);
        DDX_Text(dx, 1029, m_strSpooler);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_comboLpt.SetCurSel(1);
        return TRUE;
    }
};

void BM_CreateDialogOf20Controls(benchmark::State& state) {
    testing_support::TempRoot root;
    res::Register(&kModule);
    ui::Headless person;
    ui::Use(&person);
    for (auto _ : state) {
        CBenchDlg dlg;
        if (!dlg.Create(102)) state.SkipWithError("dialog not created");
        benchmark::DoNotOptimize(dlg.m_hWnd);
        dlg.DestroyWindow();
    }
    ui::Use(nullptr);
}
BENCHMARK(BM_CreateDialogOf20Controls)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();

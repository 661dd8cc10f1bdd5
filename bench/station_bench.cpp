// The window station's speed: FindWindowA with 20 windows in the station, and a whole
// `selvane win click` on a control of another process.
#include "station/station.h"
#include "support/process.h"
#include "support/temp_root.h"
#include "win32.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

void BM_FindWindowAmong20(benchmark::State& state) {
    testing_support::TempRoot root;
    station::Join();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    std::vector<std::string> names;
    std::vector<HWND> windows;
    for (int i = 0; i < 20; ++i)
        names.push_back("BENCH_CLASS_" + std::to_string(i));
    for (const auto& name : names) {
        WNDCLASSA cls{};
        cls.lpfnWndProc = DefWindowProcA;
        cls.hInstance = instance;
        cls.lpszClassName = name.c_str();
        RegisterClassA(&cls);
        windows.push_back(CreateWindowExA(0, name.c_str(), name.c_str(), WS_POPUP, 0, 0, 10, 10,
                                          nullptr, nullptr, instance, nullptr));
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(FindWindowA("BENCH_CLASS_0", nullptr));
    if (!FindWindowA("BENCH_CLASS_0", nullptr)) state.SkipWithError("the window was not found");
    for (HWND window : windows)
        DestroyWindow(window);
    for (const auto& name : names)
        UnregisterClassA(name.c_str(), instance);
}
BENCHMARK(BM_FindWindowAmong20)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

void BM_SelvaneWinClick(benchmark::State& state) {
    testing_support::TempRoot root;
    pid_t window =
        testing_support::Start({testing_support::BinPath("station_window"), "STATION_BENCH"});
    if (testing_support::Selvane({"win", "wait", "STATION_BENCH", "--timeout", "10"}).status != 0) {
        state.SkipWithError("the window did not come");
        testing_support::Stop(window);
        return;
    }
    int id = 30;
    for (auto _ : state) {
        id = id == 30 ? 31 : 30;
        if (testing_support::Selvane({"win", "click", "STATION_BENCH", std::to_string(id)})
                .status != 0)
            state.SkipWithError("the click failed");
    }
    testing_support::Stop(window);
}
BENCHMARK(BM_SelvaneWinClick)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();

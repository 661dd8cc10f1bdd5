// A 10 MB job through the print monitor to an emulated printer, against writing the same data
// straight into the same LPT device, in one run.
//
//   direct    switch the box, CreateFileA("LPT1"), WriteFile in 64 KB blocks, close
//   monitor   the real keldrim.so: OpenPort, StartDocPort, WritePort in 64 KB blocks (the rest
//             again after a partial write), EndDocPort, ClosePort
//
// Target: the monitor at least 90 percent of the direct way's bytes per second (monitor_share). The
// machine root is a fresh temporary folder laid out by `selvane setup`, with the box running.
#include "support/process.h"
#include "support/temp_root.h"
#include "switch_command.h"
#include "win32.h"
#include "win32/spool.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

constexpr size_t kJob = 10u << 20;
constexpr size_t kBlock = 64u << 10;

struct Machine {
    testing_support::TempRoot root;
    std::vector<BYTE> data = std::vector<BYTE>(kJob);
    MONITOR monitor{};
    Machine() {
        for (size_t i = 0; i < kJob; ++i)
            data[i] = static_cast<BYTE>(i * 131 + 7);
        if (testing_support::Selvane({"setup"}).status != 0 ||
            testing_support::Selvane({"box", "start"}).status != 0)
            std::abort();
        void* module = dlopen(testing_support::BinPath("keldrim.so").c_str(), RTLD_NOW);
        if (!module) std::abort();
        auto entry = reinterpret_cast<BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID)>(
            dlsym(module, "DllEntryPoint"));
        auto initialize =
            reinterpret_cast<BOOL(WINAPI*)(LPSTR, LPMONITOR)>(dlsym(module, "InitializeMonitorEx"));
        entry(static_cast<HINSTANCE>(module), 1, nullptr);
        initialize(nullptr, &monitor);
    }
    ~Machine() { testing_support::Selvane({"box", "stop"}); }
};

Machine& TheMachine() {
    static Machine machine;
    return machine;
}

using Clock = std::chrono::steady_clock;

// One job written straight into LPT1, as a program without the monitor would.
bool DirectJob(Machine& m) {
    SendSwitchCommand(MakeSwitchCommand(0, 0));
    HANDLE lpt = CreateFileA("LPT1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    COMMTIMEOUTS timeouts{};
    GetCommTimeouts(lpt, &timeouts);
    timeouts.WriteTotalTimeoutConstant = 3000;
    SetCommTimeouts(lpt, &timeouts);
    bool ok = true;
    for (size_t at = 0; at < kJob && ok;) {
        DWORD written = 0;
        ok = WriteFile(lpt, m.data.data() + at, kBlock, &written, nullptr) || written;
        at += written;
    }
    CloseHandle(lpt);
    return ok;
}

// The same job through the monitor, as the spooler drives it.
bool MonitorJob(Machine& m) {
    char name[] = "LPx1-  PA (selvane)";
    HANDLE port = nullptr;
    bool ok = m.monitor.pfnOpenPort(name, &port) &&
              m.monitor.pfnStartDocPort(port, nullptr, 1, 1, nullptr);
    for (size_t at = 0; at < kJob && ok;) {
        DWORD written = 0;
        ok = m.monitor.pfnWritePort(port, m.data.data() + at, kBlock, &written);
        at += written;
    }
    m.monitor.pfnEndDocPort(port);
    m.monitor.pfnClosePort(port);
    return ok;
}

// The printer keeps every job; between measurements they go, so that neither way of writing
// pays for the other's pile of files.
void ForgetJobs() {
    std::error_code ignored;
    auto folder = TheMachine().root.path() / "box" / "printers" / "LPT1-A";
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        std::filesystem::remove(entry.path(), ignored);
}

// Both ways, one job each per iteration, taking turns so that the machine's state is the same
// for both; the counters give each one's throughput and the monitor's share.
void BM_MonitorAgainstDirect(benchmark::State& state) {
    Machine& m = TheMachine();
    std::chrono::duration<double> direct{}, monitor{};
    for (auto _ : state) {
        auto start = Clock::now();
        if (!DirectJob(m)) state.SkipWithError("the direct write failed");
        auto middle = Clock::now();
        ForgetJobs();
        auto resumed = Clock::now();
        if (!MonitorJob(m)) state.SkipWithError("WritePort failed");
        auto end = Clock::now();
        ForgetJobs();
        direct += middle - start;
        monitor += end - resumed;
        state.SetIterationTime(
            std::chrono::duration<double>((middle - start) + (end - resumed)).count());
    }
    double megabytes = static_cast<double>(state.iterations()) * kJob / 1e6;
    state.counters["direct_MBps"] = megabytes / direct.count();
    state.counters["monitor_MBps"] = megabytes / monitor.count();
    state.counters["monitor_share"] = direct.count() / monitor.count();
}

BENCHMARK(BM_MonitorAgainstDirect)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40)
    ->Repetitions(3)
    ->UseManualTime();

} // namespace

BENCHMARK_MAIN();

// A 10 MB job through the print monitor to an emulated printer, against writing the same data
// straight into the same LPT device, in one run.
//
//   BM_DirectToLpt      switch the box, CreateFileA("LPT1"), WriteFile in 64 KB blocks, close
//   BM_ThroughMonitor   the real keldrim.so: OpenPort, StartDocPort, WritePort in 64 KB blocks
//                       (the rest again after a partial write), EndDocPort, ClosePort
//
// Target: BM_ThroughMonitor at least 90 percent of BM_DirectToLpt's bytes per second. The machine
// root is a fresh temporary folder laid out by `selvane setup`, with the box running.
#include "support/process.h"
#include "support/temp_root.h"
#include "switch_command.h"
#include "win32.h"
#include "win32/spool.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr size_t kJob = 10u << 20;
constexpr size_t kBlock = 64u << 10;

struct Machine {
    testing_support::TempRoot root;
    std::vector<BYTE> data = std::vector<BYTE>(kJob);
    MONITOR monitor{};
    Machine() {
        for (size_t i = 0; i < kJob; ++i) data[i] = static_cast<BYTE>(i * 131 + 7);
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

void BM_DirectToLpt(benchmark::State& state) {
    Machine& m = TheMachine();
    for (auto _ : state) {
        SendSwitchCommand(MakeSwitchCommand(0, 0));
        HANDLE lpt = CreateFileA("LPT1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        COMMTIMEOUTS timeouts{};
        GetCommTimeouts(lpt, &timeouts);
        timeouts.WriteTotalTimeoutConstant = 3000;
        SetCommTimeouts(lpt, &timeouts);
        for (size_t at = 0; at < kJob;) {
            DWORD written = 0;
            if (!WriteFile(lpt, m.data.data() + at, kBlock, &written, nullptr) && !written)
                state.SkipWithError("the direct write failed");
            at += written;
        }
        CloseHandle(lpt);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kJob));
}

void BM_ThroughMonitor(benchmark::State& state) {
    Machine& m = TheMachine();
    char name[] = "LPx1-  PA (selvane)";
    for (auto _ : state) {
        HANDLE port = nullptr;
        m.monitor.pfnOpenPort(name, &port);
        m.monitor.pfnStartDocPort(port, nullptr, 1, 1, nullptr);
        for (size_t at = 0; at < kJob;) {
            DWORD written = 0;
            if (!m.monitor.pfnWritePort(port, m.data.data() + at, kBlock, &written))
                state.SkipWithError("WritePort failed");
            at += written;
        }
        m.monitor.pfnEndDocPort(port);
        m.monitor.pfnClosePort(port);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kJob));
}

BENCHMARK(BM_DirectToLpt)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_ThroughMonitor)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

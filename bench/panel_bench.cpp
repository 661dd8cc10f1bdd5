// SWITCH.exe from the start of its process to its dialog ready for input, headless, with the box
// running: the dialog is in the window station's table and the box has received the command of
// the restored port (OnInitDialog has run). Its memory at that moment is reported as counters
// (VmRSS and VmHWM of /proc, in kB).
#include "support/process.h"
#include "support/temp_root.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/types.h>

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

double StatusKb(pid_t pid, const char* field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(field, 0) == 0) return std::atof(line.c_str() + std::strlen(field) + 1);
    return 0;
}

void BM_SwitchStartToDialogReady(benchmark::State& state) {
    testing_support::TempRoot root;
    setenv("SELVANE_UI", "headless", 1);
    // No tray companion to start: "Path" names an empty folder.
    fs::create_directories(root.path() / "empty");
    if (testing_support::Selvane({"setup", "--path", (root.path() / "empty").string()}).status !=
            0 ||
        testing_support::Selvane({"box", "start"}).status != 0) {
        state.SkipWithError("the machine root could not be set up");
        return;
    }
    const fs::path table = root.path() / "run" / "station" / "table";
    const fs::path log = root.path() / "box" / "log";
    double rss = 0, hwm = 0;
    for (auto _ : state) {
        auto logged = fs::exists(log) ? fs::file_size(log) : 0;
        auto begin = std::chrono::steady_clock::now();
        pid_t pid = testing_support::Start({testing_support::BinPath("SWITCH.exe")});
        const std::string mine = "\t" + std::to_string(pid) + "\t";
        bool ready = false;
        for (int spins = 0; spins < 2000000 && !ready; ++spins) {
            ready = fs::exists(log) && fs::file_size(log) > logged &&
                    ReadFile(table).find(mine) != std::string::npos;
        }
        auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
        rss = StatusKb(pid, "VmRSS");
        hwm = StatusKb(pid, "VmHWM");
        testing_support::Stop(pid);
        if (!ready) {
            state.SkipWithError("the dialog did not come up");
            break;
        }
    }
    state.counters["VmRSS_kB"] = rss;
    state.counters["VmHWM_kB"] = hwm;
    testing_support::Selvane({"box", "stop"});
    unsetenv("SELVANE_UI");
}
BENCHMARK(BM_SwitchStartToDialogReady)
    ->UseManualTime()
    ->Iterations(20)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

// SendSwitchCommand to a running box, from the open of the driver to its close.
#include "support/process.h"
#include "support/temp_root.h"
#include "switch_command.h"

#include <benchmark/benchmark.h>

namespace {

void BM_SendSwitchCommand(benchmark::State& state) {
    testing_support::TempRoot root;
    if (testing_support::Selvane({"box", "start"}).status != 0) {
        state.SkipWithError("the box did not start");
        return;
    }
    SwitchCommand command = MakeSwitchCommand(1, 2);
    for (auto _ : state)
        SendSwitchCommand(command);
    testing_support::Selvane({"box", "stop"});
}
BENCHMARK(BM_SendSwitchCommand)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

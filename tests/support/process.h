// Running programs from tests: the built programs live in SELVANE_BIN_DIR.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

struct RunResult {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// The path of a built program (SELVANE_BIN_DIR/name).
std::string BinPath(const std::string& name);

// Runs a program to its end with the environment of the test (SELVANE_ROOT included), standard
// input from /dev/null, and returns its status and output.
RunResult Run(const std::vector<std::string>& argv);

// Runs `selvane ARGS...`.
RunResult Selvane(const std::vector<std::string>& args);

// Starts a program without waiting for it; the caller ends it with Stop.
pid_t Start(const std::vector<std::string>& argv);
// SIGKILLs (or signals) the process and reaps it; returns its status as Run does.
int Stop(pid_t pid, int signal = 9);

} // namespace testing_support

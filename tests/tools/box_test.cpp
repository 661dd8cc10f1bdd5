#include "support/box.h"
#include "support/process.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <fstream>

using testing_support::RunningBox;
using testing_support::Selvane;
using testing_support::TempRoot;

namespace {

std::string LastLine(const std::string& text) {
    if (text.empty()) return "";
    size_t end = text.size() - (text.back() == '\n' ? 1 : 0);
    size_t start = text.rfind('\n', end - 1);
    return text.substr(start == std::string::npos ? 0 : start + 1,
                       end - (start == std::string::npos ? 0 : start + 1));
}

TEST(Box, SwitchIsLoggedAndShownInTheStatus) {
    TempRoot root;
    ASSERT_EQ(Selvane({"setup"}).status, 0);
    EXPECT_EQ(Selvane({"box", "status"}).out, "LPT1 -\nLPT2 -\nLPT3 -\n");
    RunningBox box;
    auto result = Selvane({"switch", "LPT2", "C"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(LastLine(Selvane({"box", "log"}).out), "01 11 91 32 B2 0D 8D");
    EXPECT_EQ(Selvane({"box", "status"}).out, "LPT1 -\nLPT2 C\nLPT3 -\n");
    ASSERT_EQ(Selvane({"switch", "lpt1", "d"}).status, 0);
    EXPECT_EQ(Selvane({"box", "status"}).out, "LPT1 D\nLPT2 C\nLPT3 -\n");
    EXPECT_EQ(Selvane({"box", "log", "--clear"}).status, 0);
    EXPECT_EQ(Selvane({"box", "log"}).out, "");
}

TEST(Box, StartTwiceSucceedsAndStopEndsIt) {
    TempRoot root;
    RunningBox box;
    auto again = Selvane({"box", "start"});
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.out.find("already"), std::string::npos) << again.out;
    EXPECT_EQ(Selvane({"box", "stop"}).status, 0);
    EXPECT_FALSE(std::filesystem::exists(root.path() / "dev" / "KELDRIM.VXD"));
    auto stopAgain = Selvane({"box", "stop"});
    EXPECT_EQ(stopAgain.status, 1);
    EXPECT_NE(stopAgain.err.find("no box"), std::string::npos) << stopAgain.err;
    auto noDriver = Selvane({"switch", "LPT1", "A"});
    EXPECT_EQ(noDriver.status, 1);
    EXPECT_NE(noDriver.err.find("driver"), std::string::npos) << noDriver.err;
}

TEST(Box, StateOutlivesTheDaemonAndAKilledBoxCanBeStartedAgain) {
    TempRoot root;
    {
        RunningBox box;
        ASSERT_EQ(Selvane({"switch", "LPT3", "B"}).status, 0);
        std::ifstream pidFile(root.path() / "box" / "pid");
        pid_t pid = 0;
        pidFile >> pid;
        ASSERT_GT(pid, 0);
        kill(pid, SIGKILL); // leaves its socket and pid file behind
        for (int i = 0; i < 200 && kill(pid, 0) == 0; ++i)
            usleep(10000);
        auto restarted = Selvane({"box", "start"});
        ASSERT_EQ(restarted.status, 0) << restarted.err;
        EXPECT_EQ(Selvane({"box", "status"}).out, "LPT1 -\nLPT2 -\nLPT3 B\n");
        ASSERT_EQ(Selvane({"switch", "LPT1", "A"}).status, 0);
    }
    EXPECT_EQ(Selvane({"box", "status"}).out, "LPT1 A\nLPT2 -\nLPT3 B\n");
}

TEST(Box, ABoxWhoseMachineRootIsRemovedEndsByItself) {
    TempRoot root;
    auto machine = root.path() / "machine";
    ASSERT_EQ(Selvane({"--root", machine.string(), "box", "start"}).status, 0);
    std::ifstream pidFile(machine / "box" / "pid");
    pid_t pid = 0;
    pidFile >> pid;
    ASSERT_GT(pid, 0);
    std::filesystem::remove_all(machine);
    // Ended: its process is gone, or a zombie that nobody has reaped yet (state Z).
    auto ended = [pid] {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string number, name, state;
        return !(stat >> number >> name >> state) || state == "Z";
    };
    for (int i = 0; i < 500 && !ended(); ++i)
        usleep(10000);
    EXPECT_TRUE(ended());
}

TEST(Box, BadWordsAreUsageErrors) {
    TempRoot root;
    for (std::vector<std::string> args : {std::vector<std::string>{"switch", "LPT4", "A"},
                                          {"switch", "LPT1", "E"},
                                          {"switch", "LPT1"},
                                          {"box", "jump"},
                                          {"box", "status", "extra"},
                                          {"nonsense"}}) {
        auto result = Selvane(args);
        EXPECT_EQ(result.status, 2) << args[0] << " " << args.back();
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    for (std::vector<std::string> args : {std::vector<std::string>{"--help"},
                                          {"setup", "--help"},
                                          {"reg", "--help"},
                                          {"reg", "get", "--help"},
                                          {"box", "--help"},
                                          {"switch", "--help"}}) {
        auto result = Selvane(args);
        EXPECT_EQ(result.status, 0) << args[0];
        EXPECT_NE(result.out.find("usage:"), std::string::npos) << args[0];
    }
}

} // namespace

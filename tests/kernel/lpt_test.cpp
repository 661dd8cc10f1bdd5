// The parallel ports of the emulated box, through the comm functions as a print monitor uses
// them.
#include "support/box.h"
#include "support/temp_root.h"
#include "switch_command.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

using testing_support::RunningBox;
using testing_support::Selvane;
using testing_support::TempRoot;

namespace {

using Clock = std::chrono::steady_clock;

class Lpt {
public:
    explicit Lpt(const char* name, DWORD writeTimeout = 3000) {
        handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(handle, INVALID_HANDLE_VALUE) << name;
        COMMTIMEOUTS timeouts{};
        EXPECT_TRUE(GetCommTimeouts(handle, &timeouts));
        timeouts.WriteTotalTimeoutConstant = writeTimeout;
        timeouts.ReadTotalTimeoutConstant = 100;
        EXPECT_TRUE(SetCommTimeouts(handle, &timeouts));
    }
    ~Lpt() { CloseHandle(handle); }
    DWORD Errors() {
        DWORD errors = 0xDEAD;
        EXPECT_TRUE(ClearCommError(handle, &errors, nullptr));
        return errors;
    }
    HANDLE handle;
};

std::string Jobs(const char* lpt, const char* port) {
    return Selvane({"box", "jobs", lpt, port}).out;
}

std::string FileOfJob(const std::string& line) {
    return line.substr(line.rfind(' ') + 1, line.size() - line.rfind(' ') - 2);
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(Lpt, DataReachesThePrinterTheBoxConnects) {
    TempRoot root;
    RunningBox box;
    SendSwitchCommand(MakeSwitchCommand(1, 2)); // LPT2 to port C
    {
        Lpt lpt("LPT2");
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(lpt.handle, "first page", 10, &written, nullptr));
        EXPECT_EQ(written, 10u);
        // The box obeys the last command: the rest of the opening's data goes to port A.
        SendSwitchCommand(MakeSwitchCommand(1, 0));
        EXPECT_TRUE(WriteFile(lpt.handle, "second", 6, &written, nullptr));
        EXPECT_EQ(lpt.Errors(), 0u);
        char answer[8];
        DWORD read = 99;
        EXPECT_TRUE(ReadFile(lpt.handle, answer, sizeof answer, &read, nullptr));
        EXPECT_EQ(read, 0u); // the printer has nothing to say
        EXPECT_TRUE(PurgeComm(lpt.handle, PURGE_RXABORT | PURGE_RXCLEAR));
    }
    std::string jobsC = Jobs("LPT2", "C"), jobsA = Jobs("LPT2", "A");
    ASSERT_EQ(jobsC.rfind("1 10 ", 0), 0u) << jobsC;
    ASSERT_EQ(jobsA.rfind("1 6 ", 0), 0u) << jobsA;
    EXPECT_EQ(Contents(FileOfJob(jobsC)), "first page");
    EXPECT_EQ(Contents(FileOfJob(jobsA)), "second");
    EXPECT_EQ(Jobs("LPT1", "C"), "");
    { Lpt again("lpt2:"); } // an opening is a job even when nothing is written
    std::string after = Jobs("LPT2", "A");
    EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 2) << after;
    EXPECT_NE(after.find("\n2 0 "), std::string::npos) << after;
}

TEST(Lpt, FaultsShowAsCommErrors) {
    TempRoot root;
    RunningBox box;
    SendSwitchCommand(MakeSwitchCommand(0, 1));
    struct Case {
        const char* fault;
        DWORD errors;
        bool waits; // for the write time-out
    } cases[] = {
        {"paper-out", CE_OOP, false},
        {"io-error", CE_IOE, false},
        {"offline", CE_DNS, true},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(Selvane({"box", "printer", "LPT1", "B", "--fault", c.fault}).status, 0);
        Lpt lpt("LPT1", 300);
        DWORD written = 77;
        auto start = Clock::now();
        EXPECT_FALSE(WriteFile(lpt.handle, "data", 4, &written, nullptr)) << c.fault;
        auto took = Clock::now() - start;
        EXPECT_EQ(written, 0u) << c.fault;
        EXPECT_EQ(lpt.Errors(), c.errors) << c.fault;
        EXPECT_EQ(lpt.Errors(), 0u) << c.fault << ": the bits are cleared once read";
        if (c.waits)
            EXPECT_GE(took, std::chrono::milliseconds(300)) << c.fault;
        else
            EXPECT_LT(took, std::chrono::milliseconds(300)) << c.fault;
    }
    ASSERT_EQ(Selvane({"box", "printer", "LPT1", "B", "--fault", "none"}).status, 0);
    Lpt lpt("LPT1", 300);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(lpt.handle, "data", 4, &written, nullptr));
    EXPECT_EQ(written, 4u);
    EXPECT_EQ(Selvane({"box", "printer", "LPT1", "B"}).out,
              "LPT1 B printer fault=none slow=0 jobs=4\n");
}

TEST(Lpt, ASlowPrinterTakesPartOfAWriteWithinTheTimeOut) {
    TempRoot root;
    RunningBox box;
    SendSwitchCommand(MakeSwitchCommand(2, 3));
    ASSERT_EQ(Selvane({"box", "printer", "LPT3", "D", "--slow", "2000"}).status, 0);
    Lpt lpt("LPT3", 250);
    std::string data(10000, 'x');
    DWORD written = 0;
    EXPECT_TRUE(
        WriteFile(lpt.handle, data.data(), static_cast<DWORD>(data.size()), &written, nullptr));
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, 2000u); // about half a second's worth at most
}

TEST(Lpt, APortTheBoxDoesNotConnectTakesNothing) {
    TempRoot root;
    RunningBox box;
    Lpt lpt("LPT1", 100);
    DWORD written = 5;
    EXPECT_FALSE(WriteFile(lpt.handle, "data", 4, &written, nullptr));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(lpt.Errors(), static_cast<DWORD>(CE_DNS));
}

} // namespace

#include "kernel/parallel_port.h"
#include "kernel/sys.h"
#include "support/temp_root.h"
#include "win32.h"

#include <gtest/gtest.h>

#include <linux/lp.h>

#include <fstream>
#include <sstream>

using testing_support::TempRoot;

namespace {

TEST(Files, DevicesThatAreNotThereCannotBeOpened) {
    TempRoot root;
    for (const char* name : {"\\\\.\\KELDRIM.VXD", "LPT1", "lpt2:", "\\\\.\\..\\registry.db"}) {
        SetLastError(0);
        EXPECT_EQ(
            CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr),
            INVALID_HANDLE_VALUE)
            << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << name;
    }
}

TEST(Files, HandlesAreCheckedAndClosedOnce) {
    TempRoot root;
    auto path = (root.path() / "data.bin").string();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "hello world", 11, &written, nullptr));
    EXPECT_EQ(written, 11u);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(WriteFile(file, "x", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Files, SetEndOfFileCutsAFileWhereItStandsAndAFileIsNoCommDevice) {
    TempRoot root;
    auto path = (root.path() / "LPT9.txt").string();
    std::ofstream(path) << "0123456789";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written;
    ASSERT_TRUE(WriteFile(file, "ab", 2, &written, nullptr));
    EXPECT_TRUE(SetEndOfFile(file));
    COMMTIMEOUTS timeouts{};
    EXPECT_FALSE(GetCommTimeouts(file, &timeouts));
    DWORD errors = 0xFFFF;
    EXPECT_FALSE(ClearCommError(file, &errors, nullptr));
    CloseHandle(file);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "ab");
}

TEST(Files, AFailingSystemCallBecomesAWin32Error) {
    TempRoot root;
    platform::SysOverride<decltype(platform::SysCalls::open)> full(
        &platform::SysCalls::open, [](const char*, int, int) -> int {
            errno = ENOSPC;
            return -1;
        });
    auto path = (root.path() / "x").string();
    EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
}

// The lp driver's status byte as the comm error bits a program sees.
TEST(ParallelPort, StatusLinesBecomeCommErrors) {
    const int ready = LP_PSELECD | LP_PERRORP; // selected, no fault, paper in
    struct Case {
        int status;
        DWORD errors;
    } cases[] = {
        {ready, 0},           {ready | LP_PBUSY, 0}, {ready | LP_POUTPA, CE_OOP},
        {LP_PERRORP, CE_DNS}, {LP_PSELECD, CE_IOE},  {LP_POUTPA, CE_OOP | CE_DNS | CE_IOE},
    };
    int row = 0;
    for (const auto& c : cases) {
        ++row;
        EXPECT_EQ(platform::LpStatusToCommErrors(c.status), c.errors) << "row " << row;
    }
    COMMTIMEOUTS timeouts{0, 0, 0, 10, 3000};
    EXPECT_EQ(platform::LpWriteTimeoutMs(timeouts, 0), 3000u);
    EXPECT_EQ(platform::LpWriteTimeoutMs(timeouts, 100), 4000u);
}

} // namespace

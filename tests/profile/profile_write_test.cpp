// Writing win.ini: WriteProfileStringA changes only the line it concerns, keeps the file's own
// line endings, refuses what it cannot write faithfully, keeps the file's permissions, and stays
// correct when two processes write at once.
#include "kernel/sys.h"
#include "profile_files.h"
#include "support/temp_root.h"
#include "win32/profile.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

// Written by hand: comments, blank lines, blanks around names and values, LF endings, no newline
// at the end.
const std::string kHandWritten = "; written by hand\n"
                                 "[windows]\n"
                                 "  Device = Old Printer,DRV,LPT1:   \n"
                                 "load=\n"
                                 "\n"
                                 "; printers\n"
                                 "[devices]\n"
                                 "Old Printer=DRV,LPT1:\n"
                                 "\n"
                                 "\n"
                                 "[Ports]\n"
                                 "LPT1:=\n"
                                 "COM1:=9600,n,8,1";

// kHandWritten with `from` replaced by `to` (the one place a row changes).
std::string HandWritten(const std::string& from, const std::string& to) {
    std::string text = kHandWritten;
    size_t at = text.find(from);
    if (at == std::string::npos)
        throw std::logic_error("row edits text the fixture lacks: " + from);
    return text.replace(at, from.size(), to);
}

struct WriteCase {
    int row;
    std::optional<std::string> before; // nullopt: no win.ini
    const char* section;
    const char* key;
    const char* value;
    std::optional<std::string> after; // the whole file afterwards
    DWORD error = ERROR_SUCCESS;      // when not ERROR_SUCCESS, the call fails with it
};

const std::string kNoChange = kHandWritten;

const std::vector<WriteCase>& WriteCases() {
    static const std::vector<WriteCase> cases = {
        // a key's line replaced, the key as spelled in the file
        {1, kHandWritten, "windows", "device", "New,DRV2,LPT2:",
         HandWritten("  Device = Old Printer,DRV,LPT1:   \n", "Device=New,DRV2,LPT2:\n")},
        {2, kHandWritten, "PORTS", "com1:", "",
         HandWritten("COM1:=9600,n,8,1", "COM1:=")}, // still no newline at the end
        {3, kHandWritten, "windows", "load", "  spaced  ",
         HandWritten("load=\n", "load=  spaced  \n")},
        // a key added after its section's last non-blank line
        {4, kHandWritten, "WINDOWS", "run", "x.exe",
         HandWritten("; printers\n", "; printers\nrun=x.exe\n")},
        {5, kHandWritten, "devices", "New Printer", "DRV2,LPT2:",
         HandWritten("Old Printer=DRV,LPT1:\n", "Old Printer=DRV,LPT1:\nNew Printer=DRV2,LPT2:\n")},
        {6, kHandWritten, "ports", "COM2:", "", kHandWritten + "\nCOM2:="},
        // a section added at the end, set off by a blank line
        {7, kHandWritten, "Selvane", "key", "value", kHandWritten + "\n\n[Selvane]\nkey=value"},
        {8, "x=1\n"s, "s", "k", "v", "x=1\n\n[s]\nk=v\n"s},
        {9, "[s]\n\n"s, "t", "k", "v", "[s]\n\n[t]\nk=v\n"s},
        // new lines take the file's first line ending; CRLF when it has none
        {10, "[a]\r\nx=1\n"s, "a", "y", "2", "[a]\r\nx=1\ny=2\r\n"s},
        {11, "[a]"s, "a", "k", "v", "[a]\r\nk=v"s},
        {12, ""s, "windows", "device", "P,D,LPT1:", "[windows]\r\ndevice=P,D,LPT1:\r\n"s},
        {13, std::nullopt, "windows", "device", "P,D,LPT1:", "[windows]\r\ndevice=P,D,LPT1:\r\n"s},
        {14, "\xEF\xBB\xBF[s]\na=1\n"s, "s", "a", "2", "\xEF\xBB\xBF[s]\na=2\n"s},
        // deleting a key: every line of it, nothing else
        {15, kHandWritten, "windows", "load", nullptr, HandWritten("load=\n", "")},
        {16, kHandWritten, "ports", "com1:", nullptr, HandWritten("\nCOM1:=9600,n,8,1", "\n")},
        {17, "[s]\na=1\nA=2\nb=3\n"s, "s", "a", nullptr, "[s]\nb=3\n"s},
        {18, kHandWritten, "windows", "missing", nullptr, kNoChange},
        {19, kHandWritten, "missing", "device", nullptr, kNoChange},
        {20, std::nullopt, "windows", "device", nullptr, std::nullopt},
        // deleting a section: its header and its lines up to the next header
        {21, kHandWritten, "Devices", nullptr, nullptr,
         HandWritten("[devices]\nOld Printer=DRV,LPT1:\n\n\n", "")},
        {22, kHandWritten, "ports", nullptr, "ignored",
         HandWritten("[Ports]\nLPT1:=\nCOM1:=9600,n,8,1", "")},
        {23, "[s]\na=1\n[t]\nb=2\n[S]\nc=3\n"s, "s", nullptr, nullptr, "[t]\nb=2\n"s},
        {24, kHandWritten, "missing", nullptr, nullptr, kNoChange},
        // what cannot be written faithfully is refused, the file left alone
        {25, kHandWritten, nullptr, "device", "x", kNoChange, ERROR_INVALID_PARAMETER},
        {26, kHandWritten, nullptr, nullptr, nullptr, kNoChange}, // the flush idiom
        {27, kHandWritten, "windows", "a=b", "x", kNoChange, ERROR_INVALID_PARAMETER},
        {28, kHandWritten, "windows", "device", "x\r\n[evil]", kNoChange, ERROR_INVALID_PARAMETER},
        {29, kHandWritten, "win]dows", "device", "x", kNoChange, ERROR_INVALID_PARAMETER},
        {30, kHandWritten, "windows", "; note", "x", kNoChange, ERROR_INVALID_PARAMETER},
    };
    return cases;
}

void ExpectWrite(const WriteCase& c) {
    SCOPED_TRACE("row " + std::to_string(c.row));
    profile_test::PutWinIni(c.before);
    SetLastError(ERROR_SUCCESS);
    BOOL ok = WriteProfileStringA(c.section, c.key, c.value);
    if (c.error == ERROR_SUCCESS) {
        EXPECT_EQ(ok, TRUE) << "error " << GetLastError();
    } else {
        EXPECT_EQ(ok, FALSE);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(profile_test::ReadWinIni(), c.after);
}

TEST(ProfileWrite, ChangesOnlyTheLineItConcerns) {
    testing_support::TempRoot root;
    for (const WriteCase& c : WriteCases())
        ExpectWrite(c);
}

// What was written reads back, through the same rules a hand-written file is read by.
TEST(ProfileWrite, ReadsBackWhatWasWritten) {
    testing_support::TempRoot root;
    ASSERT_TRUE(WriteProfileStringA("windows", "device", "HP LaserJet 4,HPPCL5MS,LPT1:"));
    ASSERT_TRUE(WriteProfileStringA("devices", "HP LaserJet 4", "HPPCL5MS,LPT1:"));
    ASSERT_TRUE(WriteProfileStringA("devices", "Epson FX-80", "EPSON9,LPT2:"));
    ASSERT_TRUE(WriteProfileStringA("Windows", "Device", "Epson FX-80,EPSON9,LPT2:"));

    char buffer[128];
    EXPECT_EQ(GetProfileStringA("windows", "device", "", buffer, sizeof buffer), 24u);
    EXPECT_STREQ(buffer, "Epson FX-80,EPSON9,LPT2:");
    std::string devices = "HP LaserJet 4=HPPCL5MS,LPT1:\0Epson FX-80=EPSON9,LPT2:\0\0"s;
    EXPECT_EQ(GetProfileSectionA("devices", buffer, sizeof buffer), devices.size() - 1);
    EXPECT_EQ(std::string(buffer, devices.size()), devices);
    EXPECT_EQ(profile_test::ReadWinIni(),
              "[windows]\r\ndevice=Epson FX-80,EPSON9,LPT2:\r\n\r\n"
              "[devices]\r\nHP LaserJet 4=HPPCL5MS,LPT1:\r\nEpson FX-80=EPSON9,LPT2:\r\n"s);
}

TEST(ProfileWrite, CreatesTheMachineRoot) {
    testing_support::TempRoot root;
    fs::path nested = root.path() / "not" / "there";
    setenv("SELVANE_ROOT", nested.c_str(), 1); // TempRoot puts its own value back
    ASSERT_TRUE(WriteProfileStringA("windows", "device", "x"));
    EXPECT_EQ(profile_test::ReadWinIni(), "[windows]\r\ndevice=x\r\n"s);
}

// The file is replaced, not rewritten in place; the replacement keeps the permissions, and no
// temporary file is left beside it.
TEST(ProfileWrite, KeepsPermissionsAndLeavesNothingBehind) {
    testing_support::TempRoot root;
    profile_test::PutWinIni(kHandWritten);
    ASSERT_EQ(chmod(profile_test::WinIni().c_str(), 0640), 0);
    ASSERT_TRUE(WriteProfileStringA("windows", "device", "x"));
    struct stat status {};
    ASSERT_EQ(stat(profile_test::WinIni().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"run", "win.ini"}));
}

// A read-only win.ini is not written, even though the rename could get past it.
TEST(ProfileWrite, ReadOnlyFileIsRefused) {
    testing_support::TempRoot root;
    profile_test::PutWinIni(kHandWritten);
    ASSERT_EQ(chmod(profile_test::WinIni().c_str(), 0444), 0);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(WriteProfileStringA("windows", "device", "x"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(profile_test::ReadWinIni(), kHandWritten);
}

// A write that fails half way (the disk full) leaves the old file whole and no temporary behind.
TEST(ProfileWrite, FailedWriteLeavesTheFileWhole) {
    testing_support::TempRoot root;
    profile_test::PutWinIni(kHandWritten);
    {
        platform::SysOverride full(
            &platform::SysCalls::write, +[](int, const void*, size_t) -> ssize_t {
                errno = ENOSPC;
                return -1;
            });
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(WriteProfileStringA("windows", "device", "x"));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    }
    EXPECT_EQ(profile_test::ReadWinIni(), kHandWritten);
    for (const auto& entry : fs::directory_iterator(root.path()))
        EXPECT_TRUE(entry.path().filename() == "win.ini" || entry.path().filename() == "run")
            << entry.path();
}

// Child processes of one test: killed and reaped however the test ends.
class Children {
public:
    Children() = default;
    Children(const Children&) = delete;
    Children& operator=(const Children&) = delete;
    ~Children() {
        for (pid_t pid : pids_) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    // Runs body in a new process, which exits 0 when body returns true.
    template <class Body> void Start(Body body) {
        pid_t pid = fork();
        if (pid == 0) _exit(body() ? 0 : 1);
        ASSERT_GT(pid, 0);
        pids_.push_back(pid);
    }

    // Waits for every child; true when all exited 0.
    bool WaitAll() {
        bool all = true;
        for (pid_t pid : pids_) {
            int status = 0;
            if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
                all = false;
        }
        pids_.clear();
        return all;
    }

    // Whether a child has yet to exit; WNOWAIT leaves its status for WaitAll.
    bool Running() {
        for (pid_t pid : pids_) {
            siginfo_t info{};
            if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                info.si_pid == 0)
                return true;
        }
        return false;
    }

private:
    std::vector<pid_t> pids_;
};

// Two processes each write 200 keys of one section at the same time: neither loses the other's.
TEST(ProfileWrite, TwoProcessesKeepBothTheirWrites) {
    testing_support::TempRoot root;
    profile_test::PutWinIni(kHandWritten);
    constexpr int kKeys = 200;
    {
        Children children;
        for (int process = 0; process < 2; ++process)
            children.Start([process] {
                for (int i = 0; i < kKeys; ++i) {
                    std::string key = "p" + std::to_string(process) + "k" + std::to_string(i);
                    if (!WriteProfileStringA("race", key.c_str(), key.c_str())) return false;
                }
                return true;
            });
        ASSERT_TRUE(children.WaitAll());
    }
    std::vector<char> section(65536, profile_test::kSentinel);
    DWORD length = GetProfileSectionA("race", section.data(), static_cast<DWORD>(section.size()));
    std::vector<std::string> entries;
    for (size_t at = 0; at < length; at += entries.back().size() + 1)
        entries.emplace_back(section.data() + at);
    EXPECT_EQ(entries.size(), 2u * kKeys);
    for (int process = 0; process < 2; ++process)
        for (int i = 0; i < kKeys; ++i) {
            std::string key = "p" + std::to_string(process) + "k" + std::to_string(i);
            EXPECT_NE(std::find(entries.begin(), entries.end(), key + "=" + key), entries.end())
                << key;
        }
    // What was there before is still there, byte for byte.
    EXPECT_TRUE(profile_test::ReadWinIni()->starts_with(kHandWritten));
}

// While another process rewrites the file again and again, a reader always sees a whole file:
// the last section of it is always there.
TEST(ProfileWrite, ReadersNeverSeeHalfAFile) {
    testing_support::TempRoot root;
    profile_test::PutWinIni("[first]\r\nvalue=\r\n\r\n[last]\r\nmark=yes\r\n"s);
    Children children;
    children.Start([] {
        for (int i = 0; i < 300; ++i) {
            std::string value(static_cast<size_t>(i % 7) * 3000, 'v');
            if (!WriteProfileStringA("first", "value", value.c_str())) return false;
        }
        return true;
    });
    int reads = 0;
    bool whole = true;
    do {
        char mark[8];
        whole = GetProfileStringA("last", "mark", "torn", mark, sizeof mark) == 3 &&
                std::string(mark) == "yes";
        ++reads;
    } while (whole && children.Running());
    EXPECT_TRUE(whole) << "after " << reads << " reads";
    EXPECT_TRUE(children.WaitAll());
}

} // namespace

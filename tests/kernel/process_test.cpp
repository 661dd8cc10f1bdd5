#include "kernel/process.h"
#include "support/temp_root.h"
#include "win32.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

using testing_support::TempRoot;

namespace {

// A program that writes what it was given, and where its streams go, into `out`.
void MakeProgram(const std::filesystem::path& path, const std::filesystem::path& out) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "#!/bin/sh\n"
                        << "i=$(readlink /proc/$$/fd/0); o=$(readlink /proc/$$/fd/1)\n"
                        << "{ echo \"args=$*\"; echo \"root=$SELVANE_ROOT\"; "
                        << "echo \"$i\"; echo \"$o\"; } > '" << out.string() << ".tmp'\nmv '"
                        << out.string() << ".tmp' '" << out.string() << "'\n";
    chmod(path.c_str(), 0755);
}

std::string WaitForFile(const std::filesystem::path& path) {
    for (int i = 0; i < 500 && !std::filesystem::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Backslashed(std::string path) {
    for (auto& c : path)
        if (c == '/') c = '\\';
    return path;
}

TEST(CreateProcess, AnUnquotedPathWithSpacesIsFoundPrefixByPrefix) {
    TempRoot root;
    auto program = root.path() / "Program Files" / "Selvane Tools" / "TASKBAR.exe";
    auto decoy = root.path() / "Program"; // a directory is no program: the search goes on
    std::filesystem::create_directories(decoy);
    auto out = root.path() / "ran.txt";
    MakeProgram(program, out);
    std::string line = Backslashed(program.string()) + " one \"two three\"";
    PROCESS_INFORMATION info{};
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &info))
        << GetLastError();
    EXPECT_GT(info.dwProcessId, 0u);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    std::string ran = WaitForFile(out);
    EXPECT_NE(ran.find("args=one two three\n"), std::string::npos) << ran;
    EXPECT_NE(ran.find("root=" + root.str() + "\n"), std::string::npos) << ran;
    // Never the terminal: both streams on /dev/null.
    EXPECT_NE(ran.find("/dev/null\n/dev/null\n"), std::string::npos) << ran;
}

TEST(CreateProcess, QuotedAndApplicationNameForms) {
    TempRoot root;
    auto program = root.path() / "My Apps" / "SWITCH.exe";
    auto out = root.path() / "ran.txt";
    MakeProgram(program, out);
    std::string quoted = "\"" + program.string() + "\" x";
    ASSERT_TRUE(CreateProcessA(nullptr, quoted.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               nullptr, nullptr));
    EXPECT_NE(WaitForFile(out).find("args=x\n"), std::string::npos);
    std::filesystem::remove(out);
    ASSERT_TRUE(CreateProcessA(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, nullptr, nullptr));
    EXPECT_NE(WaitForFile(out).find("args=\n"), std::string::npos);
}

TEST(CreateProcess, AMissingProgramFails) {
    TempRoot root;
    std::string line = root.str() + "\\nowhere\\SWITCH.exe";
    EXPECT_FALSE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    auto notExecutable = root.path() / "plain.exe";
    std::ofstream(notExecutable) << "data";
    line = notExecutable.string();
    EXPECT_FALSE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

} // namespace

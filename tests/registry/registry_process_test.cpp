// The registry shared by processes: what one commits the others see at once, concurrent
// writers lose nothing, and a writer killed mid-stream loses nothing it reported committed.
// The other processes are registry_child (registry_child.cpp).
#include "support/process.h"
#include "support/temp_root.h"
#include "win32/registry.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <set>
#include <string>
#include <vector>

extern char** environ;

namespace {

using testing_support::BinPath;
using testing_support::Run;
using testing_support::TempRoot;

testing_support::RunResult Child(std::vector<std::string> args) {
    args.insert(args.begin(), BinPath("registry_child"));
    return Run(args);
}

std::string Text(HKEY key, const char* name) {
    char buffer[64] = {};
    DWORD size = sizeof buffer - 1;
    LONG error =
        RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    return error == ERROR_SUCCESS ? std::string(buffer) : "error " + std::to_string(error);
}

std::string IntegrityCheck(const std::filesystem::path& db) {
    sqlite3* connection = nullptr;
    std::string verdict = "cannot open";
    if (sqlite3_open_v2(db.c_str(), &connection, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(connection, "PRAGMA integrity_check", -1, &stmt, nullptr) ==
                SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            verdict = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(connection);
    return verdict;
}

class RegistryProcesses : public ::testing::Test {
protected:
    TempRoot root_;
};

TEST_F(RegistryProcesses, WhatOneProcessCommitsTheOthersSeeAtOnce) {
    ASSERT_EQ(0, Child({"set", "Software\\Generic\\Selvane\\2.00", "Path", "C:\\one"}).status);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Generic\\Selvane\\2.00",
                                           0, KEY_ALL_ACCESS, &key));
    EXPECT_EQ("C:\\one", Text(key, "Path"));
    // Through the same open handle, every call reads afresh.
    ASSERT_EQ(0, Child({"set", "Software\\Generic\\Selvane\\2.00", "Path", "C:\\two"}).status);
    EXPECT_EQ("C:\\two", Text(key, "Path"));
    ASSERT_EQ(0, Child({"delete", "Software\\Generic"}).status);
    EXPECT_EQ("error " + std::to_string(ERROR_KEY_DELETED), Text(key, "Path"));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Generic", &key));
}

TEST_F(RegistryProcesses, ConcurrentWritersLoseNothing) {
    constexpr int kWriters = 4, kCount = 150;
    std::vector<pid_t> children;
    for (int i = 0; i < kWriters; ++i)
        children.push_back(testing_support::Start({BinPath("registry_child"), "writer", "Shared",
                                                   std::to_string(i), std::to_string(kCount)}));
    std::ofstream(root_.path() / "go").put('\n'); // all of them start writing at once
    for (pid_t child : children) {
        int raw = 0;
        waitpid(child, &raw, 0);
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << "writer status " << raw;
    }
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, "Shared", &key));
    std::set<std::string> lasts;
    for (int i = 0; i < kWriters; ++i) {
        for (int j = 0; j < kCount; ++j) {
            std::string name = "c" + std::to_string(i) + "-" + std::to_string(j);
            ASSERT_EQ(name, Text(key, name.c_str()));
        }
        lasts.insert("c" + std::to_string(i) + "-" + std::to_string(kCount - 1));
    }
    // The value all of them wrote holds the last write of one of them.
    EXPECT_EQ(1u, lasts.count(Text(key, "Same")));
    DWORD count = 0;
    char name[64];
    DWORD size = sizeof name;
    while (RegEnumValueA(key, count, name, &size, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS)
        ++count, size = sizeof name;
    EXPECT_EQ(DWORD(kWriters * kCount + 1), count);
    HKEY shared = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(key, "Shared", &shared));
    for (DWORD i = 0; i < 5; ++i) {
        ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyA(shared, i, name, sizeof name));
        EXPECT_EQ("S" + std::to_string(i), name);
    }
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(shared, 5, name, sizeof name));
    RegCloseKey(shared);
    RegCloseKey(key);
    EXPECT_EQ("ok", IntegrityCheck(root_.path() / "registry.db"));
}

// The child writes "vJ" and then reports J on a pipe; whatever it reported before the kill is
// in the registry afterwards.
TEST_F(RegistryProcesses, AWriterKilledMidStreamLosesNothingItReported) {
    int out[2];
    ASSERT_EQ(0, pipe2(out, O_CLOEXEC));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::string program = BinPath("registry_child");
    std::vector<char*> argv = {program.data(), const_cast<char*>("stream"),
                               const_cast<char*>("Stream"), nullptr};
    pid_t child = -1;
    ASSERT_EQ(0, posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ));
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);

    std::string received;
    auto newlines = [&] { return std::count(received.begin(), received.end(), '\n'); };
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    char buffer[4096];
    while (newlines() < 300 && std::chrono::steady_clock::now() < deadline) {
        pollfd fd = {out[0], POLLIN, 0};
        if (poll(&fd, 1, 1000) <= 0) continue;
        ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        received.append(buffer, static_cast<size_t>(n));
    }
    EXPECT_EQ(9 + 128, testing_support::Stop(child, SIGKILL));
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0)
        received.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    ASSERT_GE(newlines(), 300) << "the writer stalled";

    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, "Stream", &key));
    size_t start = 0, end;
    int checked = 0;
    while ((end = received.find('\n', start)) != std::string::npos) {
        DWORD j = static_cast<DWORD>(std::stoul(received.substr(start, end - start)));
        std::string name = "v" + std::to_string(j);
        DWORD value = ~j, size = 4;
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                                                  reinterpret_cast<BYTE*>(&value), &size))
            << name;
        ASSERT_EQ(j, value);
        ++checked;
        start = end + 1;
    }
    EXPECT_EQ(newlines(), checked);
    RegCloseKey(key);
    EXPECT_EQ("ok", IntegrityCheck(root_.path() / "registry.db"));
}

} // namespace

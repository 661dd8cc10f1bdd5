#include "monitor_fixture.h"

#include "support/process.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace monitor_test {

using testing_support::BinPath;
using testing_support::Selvane;

void LaidOut(const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"setup", "--lpt", "LPT1,LPT2"};
    args.insert(args.end(), extra.begin(), extra.end());
    auto setup = Selvane(args);
    ASSERT_EQ(setup.status, 0) << setup.err;
}

namespace {
HKEY Create(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    EXPECT_EQ(
        RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS)
        << path;
    return key;
}
} // namespace

void SetText(HKEY root, const std::string& path, const char* value, const std::string& text) {
    HKEY key = Create(root, path);
    RegSetValueExA(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

void SetDword(HKEY root, const std::string& path, const char* value, DWORD data) {
    HKEY key = Create(root, path);
    RegSetValueExA(key, value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    RegCloseKey(key);
}

void SetBinary(HKEY root, const std::string& path, const char* value,
               const std::vector<BYTE>& data) {
    HKEY key = Create(root, path);
    RegSetValueExA(key, value, 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

void DeleteKey(HKEY root, const std::string& path) {
    RegDeleteKeyA(root, path.c_str());
}

void DeleteValue(HKEY root, const std::string& path, const char* value) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, value);
    RegCloseKey(key);
}

bool ReadDword(HKEY root, const std::string& path, const char* value, DWORD& data) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD size = sizeof data;
    LONG status =
        RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<LPBYTE>(&data), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

Monitor::Monitor() {
    // dlopen hands back the module already loaded for a path, so each monitor is a file of its
    // own in the test's machine root.
    static std::atomic<int> copies{0};
    const char* root = std::getenv("SELVANE_ROOT");
    EXPECT_TRUE(root) << "a monitor needs the test's machine root";
    auto copy = std::filesystem::path(root ? root : "/tmp") /
                ("keldrim-" + std::to_string(++copies) + ".so");
    std::filesystem::copy_file(BinPath("keldrim.so"), copy,
                               std::filesystem::copy_options::overwrite_existing);
    void* module = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        ADD_FAILURE() << dlerror();
        return;
    }
    auto entry =
        reinterpret_cast<BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID)>(dlsym(module, "DllEntryPoint"));
    auto initialize =
        reinterpret_cast<BOOL(WINAPI*)(LPSTR, LPMONITOR)>(dlsym(module, "InitializeMonitorEx"));
    if (!entry || !initialize) {
        ADD_FAILURE() << "keldrim.so lacks an export";
        return;
    }
    EXPECT_TRUE(entry(static_cast<HINSTANCE>(module), 1, nullptr));
    EXPECT_TRUE(initialize(nullptr, &table_));
}

std::vector<std::string> Monitor::PortNames() const {
    DWORD needed = 0, returned = 0;
    table_.pfnEnumPorts(nullptr, 1, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    std::vector<std::string> names;
    if (!table_.pfnEnumPorts(nullptr, 1, buffer.data(), needed, &needed, &returned)) {
        ADD_FAILURE() << "EnumPorts failed with " << LastError();
        return names;
    }
    for (DWORD i = 0; i < returned; ++i) {
        PORT_INFO_1 info;
        std::memcpy(&info, buffer.data() + i * sizeof info, sizeof info);
        names.push_back(info.pName);
    }
    return names;
}

PortEntry* Monitor::Open(const std::string& name) const {
    std::string copy = name;
    HANDLE handle = nullptr;
    EXPECT_TRUE(table_.pfnOpenPort(copy.data(), &handle)) << name;
    return static_cast<PortEntry*>(handle);
}

BOOL WriteAll(const Monitor& monitor, PortEntry* port, std::string_view data, DWORD* error) {
    size_t offset = 0;
    do {
        DWORD written = 0;
        auto* bytes = reinterpret_cast<LPBYTE>(const_cast<char*>(data.data())) + offset;
        if (!monitor->pfnWritePort(port, bytes, static_cast<DWORD>(data.size() - offset),
                                   &written)) {
            if (error) *error = monitor.LastError();
            return FALSE;
        }
        offset += written;
    } while (offset < data.size());
    return TRUE;
}

std::string PrintJob(const Monitor& monitor, PortEntry* port, std::string_view data,
                     const std::string& printer) {
    std::string name = printer;
    EXPECT_TRUE(monitor->pfnStartDocPort(port, name.data(), 1, 1, nullptr));
    DWORD error = 0;
    BOOL ok = WriteAll(monitor, port, data, &error);
    EXPECT_TRUE(monitor->pfnEndDocPort(port));
    return ok ? "" : std::to_string(error);
}

std::vector<std::string> Received(int lpt, char port) {
    auto jobs = Selvane({"box", "jobs", "LPT" + std::to_string(lpt), std::string(1, port)});
    EXPECT_EQ(jobs.status, 0) << jobs.err;
    std::vector<std::string> contents;
    std::istringstream lines(jobs.out);
    std::string number, bytes, file;
    while (lines >> number >> bytes >> file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream data;
        data << in.rdbuf();
        contents.push_back(data.str());
    }
    return contents;
}

::testing::AssertionResult SameJobs(const std::vector<std::string>& received,
                                    const std::vector<std::string>& sent) {
    if (received.size() != sent.size())
        return ::testing::AssertionFailure()
               << received.size() << " job(s) received, " << sent.size() << " sent";
    for (size_t i = 0; i < sent.size(); ++i) {
        if (received[i] == sent[i]) continue;
        size_t at = 0;
        while (at < received[i].size() && at < sent[i].size() && received[i][at] == sent[i][at])
            ++at;
        return ::testing::AssertionFailure()
               << "job " << i + 1 << ": " << received[i].size() << " bytes received, "
               << sent[i].size() << " sent, first difference at byte " << at;
    }
    return ::testing::AssertionSuccess();
}

std::vector<std::string> BoxLog() {
    std::vector<std::string> lines;
    std::istringstream in(Selvane({"box", "log"}).out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string Pattern(size_t size, char seed) {
    std::string data(size, '\0');
    unsigned state = static_cast<unsigned char>(seed) * 2654435761u + 1;
    for (auto& c : data) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    return data;
}

} // namespace monitor_test

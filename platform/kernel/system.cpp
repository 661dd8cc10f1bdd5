// The last error, the version the machine reports, time, module handles and string tables.
#include "kernel/clock.h"
#include "win32/kernel.h"
#include "win32/resource.h"

#include <dlfcn.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
const res::Module* g_module = nullptr;

// The instance handle of the program itself, as Windows loads an executable at 0x400000.
HMODULE const kProgramInstance = reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x400000));

struct Version {
    std::string_view name;
    DWORD major, minor, build, platform;
};
constexpr Version kVersions[] = {
    {"win95", 4, 0, 950, VER_PLATFORM_WIN32_WINDOWS},
    {"win98", 4, 10, 1998, VER_PLATFORM_WIN32_WINDOWS},
    {"nt4", 4, 0, 1381, VER_PLATFORM_WIN32_NT},
    {"nt351", 3, 51, 1057, VER_PLATFORM_WIN32_NT},
    {"win32s", 3, 10, 0, VER_PLATFORM_WIN32s},
};
} // namespace

namespace res {
void Register(const Module* module) {
    g_module = module;
}
const Module* Current() {
    return g_module;
}
const char* FindString(UINT id) {
    if (!g_module) return nullptr;
    for (size_t i = 0; i < g_module->stringCount; ++i)
        if (g_module->strings[i].id == id) return g_module->strings[i].text;
    return nullptr;
}
} // namespace res

// The last error belongs to the thread, whichever module sets or reads it, as with the one
// kernel of Windows. Every binary carries its own copy of this layer, so a module loaded into a
// program (the print monitor in the spooler host) looks for the program's slot through the
// dynamic linker and uses it: the error the monitor sets is the one the spooler reads. A program
// that exports no slot (it is not linked to export its symbols) leaves each module its own.
extern "C" __attribute__((visibility("default"))) DWORD* SelvaneLastErrorSlot(void) {
    return &t_lastError;
}

namespace {
using SlotFunction = DWORD* (*)();
SlotFunction LastErrorSlot() {
    static const SlotFunction slot = [] {
        void* found = dlsym(RTLD_DEFAULT, "SelvaneLastErrorSlot");
        return found ? reinterpret_cast<SlotFunction>(found) : &SelvaneLastErrorSlot;
    }();
    return slot;
}
} // namespace

extern "C" DWORD WINAPI GetLastError(void) {
    return *LastErrorSlot()();
}
extern "C" void WINAPI SetLastError(DWORD error) {
    *LastErrorSlot()() = error;
}

extern "C" BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const Version* version = &kVersions[1]; // Windows 98 unless told otherwise
    if (const char* wanted = std::getenv("SELVANE_WINVER"); wanted && *wanted) {
        for (const auto& v : kVersions)
            if (v.name == wanted) version = &v;
    }
    info->dwMajorVersion = version->major;
    info->dwMinorVersion = version->minor;
    info->dwBuildNumber = version->build;
    info->dwPlatformId = version->platform;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    return TRUE;
}

namespace platform {
namespace {
std::function<uint64_t()>& InstalledClock() {
    static std::function<uint64_t()> clock;
    return clock;
}
} // namespace

uint64_t ClockNowMs() {
    if (auto& clock = InstalledClock()) return clock();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u +
           static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

void SetClock(std::function<uint64_t()> clock) {
    InstalledClock() = std::move(clock);
}
bool ClockIsReal() {
    return !InstalledClock();
}
} // namespace platform

// Wraps around after 49.7 days, as on Windows.
extern "C" DWORD WINAPI GetTickCount(void) {
    return static_cast<DWORD>(platform::ClockNowMs());
}

extern "C" void WINAPI Sleep(DWORD milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

extern "C" HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName == nullptr) return kProgramInstance;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

// Copies string `id` into the buffer, cut to fit and always terminated; returns the characters
// copied, 0 when the string is missing.
extern "C" int WINAPI LoadStringA(HINSTANCE, UINT id, LPSTR buffer, int bufferMax) {
    if (!buffer || bufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char* text = res::FindString(id);
    if (!text) {
        buffer[0] = '\0';
        SetLastError(ERROR_NOT_FOUND);
        return 0;
    }
    size_t length = std::min(std::strlen(text), static_cast<size_t>(bufferMax - 1));
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
    return static_cast<int>(length);
}

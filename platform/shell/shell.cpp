// The shell: the tray icons of the notification area, and ShellExecuteA.
//
// A tray icon lives in the window station, where the renderer of the desktop (or `selvane win
// tray`) finds it and sends its owner the icon's notifications: the message the record names,
// with the icon's id in wParam and the mouse message (WM_LBUTTONUP, WM_LBUTTONDBLCLK,
// WM_RBUTTONUP...) in lParam.
#include "win32/shell.h"
#include "kernel/process.h"
#include "station/station.h"
#include "win32/kernel.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

std::mutex g_lock;
std::vector<station::TrayEntry> g_icons;

uint64_t Value(HWND window) {
    return reinterpret_cast<uintptr_t>(window);
}

// The tip as the shell keeps it: at most 63 characters, whatever the record holds.
std::string Tip(const NOTIFYICONDATAA& data) {
    size_t length = strnlen(data.szTip, sizeof data.szTip - 1);
    return std::string(data.szTip, length);
}

} // namespace

extern "C" BOOL WINAPI Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data) {
    if (!data || data->cbSize < NOTIFYICONDATAA_V1_SIZE || !IsWindow(data->hWnd)) return FALSE;
    station::Join();
    std::lock_guard guard(g_lock);
    auto it = std::find_if(g_icons.begin(), g_icons.end(), [&](const station::TrayEntry& e) {
        return e.owner == Value(data->hWnd) && e.id == data->uID;
    });
    switch (message) {
    case NIM_ADD: {
        if (it != g_icons.end()) return FALSE;
        station::TrayEntry entry;
        entry.owner = Value(data->hWnd);
        entry.id = data->uID;
        if (data->uFlags & NIF_MESSAGE) entry.callbackMessage = data->uCallbackMessage;
        if (data->uFlags & NIF_TIP) entry.tip = Tip(*data);
        g_icons.push_back(entry);
        break;
    }
    case NIM_MODIFY:
        if (it == g_icons.end()) return FALSE;
        if (data->uFlags & NIF_MESSAGE) it->callbackMessage = data->uCallbackMessage;
        if (data->uFlags & NIF_TIP) it->tip = Tip(*data);
        break;
    case NIM_DELETE:
        if (it == g_icons.end()) return FALSE;
        g_icons.erase(it);
        break;
    default:
        return FALSE;
    }
    station::SetTrayIcons(g_icons);
    return TRUE;
}

// "open" (or no verb) on a program file starts it; anything else is refused. Results above 32
// mean success, as on Windows.
extern "C" HINSTANCE WINAPI ShellExecuteA(HWND, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                                          LPCSTR directory, INT) {
    auto result = [](uintptr_t code) { return reinterpret_cast<HINSTANCE>(code); };
    if (operation && *operation && std::strcmp(operation, "open") != 0)
        return result(31); // no association
    if (!file || !*file) return result(ERROR_FILE_NOT_FOUND);
    std::string line = "\"" + std::string(file) + "\"";
    if (parameters && *parameters) line += " " + std::string(parameters);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, directory,
                        &startup, &info)) {
        DWORD error = GetLastError();
        return result(error == ERROR_ACCESS_DENIED ? 5 : error == ERROR_PATH_NOT_FOUND ? 3 : 2);
    }
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return result(42);
}

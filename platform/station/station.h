// The window station: what crosses processes. The top-level windows and tray icons of every
// process of the machine root are published in one table (table.h); each process with windows
// serves a socket, run/station/PID.sock, on which other processes send and post it messages and
// `selvane win` reads and drives its windows as a person would (automation.h).
//
// A program joins the station when its renderer starts (ui::Start); from then on FindWindowA,
// SendMessageA, PostMessageA and HWND_BROADCAST reach every process of the machine root.
#pragma once

#include "station/table.h"
#include "win32/user.h"

#include <optional>
#include <string>
#include <vector>

namespace station {

// Joins this process to the station: installs the hooks of platform/user. Idempotent.
void Join();
bool Joined();

// The process a window handle belongs to (window handles carry their process).
int PidOf(HWND window);

// The newest top-level window of any process that matches; null when none does.
HWND Find(const char* className, const char* title);

// Messages to a window of another process. Send waits up to `timeoutMs` for the window
// procedure's result (nullopt when the process does not answer in time).
std::optional<LRESULT> Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, int timeoutMs);
bool Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Sends to every top-level window of every other process; a process that does not answer
// within a few seconds is left behind.
void Broadcast(UINT message, WPARAM wParam, LPARAM lParam, bool wait);

// The tray icons this process shows (the shell's notification area keeps them here).
void SetTrayIcons(std::vector<TrayEntry> icons);

// One automation request to the process that owns `window` (or to `pid` for requests without a
// window): `op` and its words; the answer's status (0 done, 1 could not be done, 2 no answer)
// and text.
struct Answer {
    int status = 2;
    std::string text;
};
Answer Automate(int pid, const std::vector<std::string>& words, int timeoutMs = 5000);

} // namespace station

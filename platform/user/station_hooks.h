// Where the window station plugs into the window system. The station (platform/station)
// installs its hooks when a program joins it; without them every window is this process's only.
//
// The inbox lets another thread (the station's, serving requests of other processes) run work on
// the thread of a window, inside whatever message loop that thread runs: a Host waits on the
// thread's wake descriptor along with its own input, and the loop runs the work when it wakes.
#pragma once

#include "win32/user.h"

#include <functional>

namespace user {

struct StationHooks {
    // The top-level windows of this process changed: one was created, destroyed or retitled.
    void (*topLevelChanged)();
    // A message for a window of another process: true when the station took it.
    bool (*send)(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    bool (*post)(HWND window, UINT message, WPARAM wParam, LPARAM lParam, BOOL* posted);
    // HWND_BROADCAST, for the windows of the other processes.
    void (*broadcast)(UINT message, WPARAM wParam, LPARAM lParam, bool wait);
    // FindWindowA over every process.
    HWND (*find)(const char* className, const char* title);
};

void SetStationHooks(const StationHooks* hooks);
const StationHooks* GetStationHooks();

// Runs `work` on thread `thread` (0: the thread of the program's message loops) the next time
// that thread's message loop waits or wakes. Safe from any thread.
void RunInLoop(DWORD thread, std::function<void()> work);
// The calling thread's wake descriptor: readable while work waits for it.
int LoopWakeFd();
// Runs the work waiting for the calling thread.
void RunLoopWork();
// Waits until `deadline` (platform::ClockNowMs() terms), `maxSliceMs` at most, or until work
// arrives for the calling thread: what a Host does when it has no input of its own.
void WaitForWake(uint64_t deadline, uint64_t maxSliceMs);

// The thread of a window of this process, 0 when it is none.
DWORD WindowThread(HWND window);
// The thread that runs the program's message loops: the thread of its oldest top-level window,
// else the first thread that waited in a loop.
DWORD MainLoopThread();
// The message box shown by this process, if any.
HWND FindMessageBoxWindow();

} // namespace user

// Work handed to a thread's message loop from another thread (see station_hooks.h).
#include "user/internal.h"
#include "user/station_hooks.h"

#include "kernel/clock.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

namespace user {

namespace {

struct Inbox {
    std::mutex lock;
    std::deque<std::function<void()>> work;
    int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
};

std::mutex g_inboxesLock;
std::map<DWORD, std::shared_ptr<Inbox>> g_inboxes;
std::atomic<DWORD> g_mainThread{0};
std::atomic<const StationHooks*> g_hooks{nullptr};

std::shared_ptr<Inbox> InboxOf(DWORD thread) {
    std::lock_guard guard(g_inboxesLock);
    auto& inbox = g_inboxes[thread];
    if (!inbox) inbox = std::make_shared<Inbox>();
    return inbox;
}

DWORD Self() {
    DWORD self = GetCurrentThreadId();
    DWORD none = 0;
    g_mainThread.compare_exchange_strong(none, self);
    return self;
}

} // namespace

void SetStationHooks(const StationHooks* hooks) {
    g_hooks.store(hooks);
}
const StationHooks* GetStationHooks() {
    return g_hooks.load();
}

void RunInLoop(DWORD thread, std::function<void()> work) {
    if (thread == 0) thread = MainLoopThread();
    auto inbox = InboxOf(thread);
    {
        std::lock_guard guard(inbox->lock);
        inbox->work.push_back(std::move(work));
    }
    uint64_t one = 1;
    (void)!write(inbox->wake, &one, sizeof one);
}

int LoopWakeFd() {
    return InboxOf(Self())->wake;
}

void RunLoopWork() {
    auto inbox = InboxOf(Self());
    uint64_t count;
    (void)!read(inbox->wake, &count, sizeof count);
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard guard(inbox->lock);
            if (inbox->work.empty()) return;
            work = std::move(inbox->work.front());
            inbox->work.pop_front();
        }
        work(); // may run a modal loop of its own, which serves the rest
    }
}

void WaitForWake(uint64_t deadline, uint64_t maxSliceMs) {
    uint64_t now = platform::ClockNowMs();
    uint64_t wait = deadline > now ? std::min(deadline - now, maxSliceMs) : 0;
    pollfd ready{LoopWakeFd(), POLLIN, 0};
    poll(&ready, 1, static_cast<int>(wait));
}

DWORD WindowThread(HWND window) {
    auto w = Get(window);
    return w ? w->thread : 0;
}

DWORD MainLoopThread() {
    for (HWND top : TopLevelWindows())
        if (auto w = Get(top)) return w->thread;
    DWORD main = g_mainThread.load();
    return main ? main : GetCurrentThreadId();
}

HWND FindMessageBoxWindow() {
    auto windows = TopLevelWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        if (auto w = Get(*it); w && w->messageBox && !w->destroying) return *it;
    return nullptr;
}

} // namespace user

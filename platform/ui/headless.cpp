// The headless renderer.
#include "ui/headless.h"

#include "kernel/clock.h"
#include "user/station_hooks.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace ui {

Headless& Headless::Then(std::function<void()> action) {
    std::lock_guard guard(lock_);
    actions_.push_back(std::move(action));
    return *this;
}

size_t Headless::Pending() const {
    std::lock_guard guard(lock_);
    return actions_.size();
}

void Headless::Wait(uint64_t deadline) {
    std::function<void()> action;
    {
        std::lock_guard guard(lock_);
        if (!actions_.empty()) {
            action = std::move(actions_.front());
            actions_.pop_front();
        }
    }
    if (action) {
        action();
        return;
    }
    if (idle_) {
        idle_();
        return;
    }
    if (!platform::ClockIsReal()) {
        // A clock that only the test moves, and nothing left to act: the loop would wait
        // forever. That is a test without its person.
        std::fprintf(stderr, "headless: a message loop waits, and no action is left to run\n");
        std::abort();
    }
    // Nobody acts in this process: wait for the next timer, or for a person acting from another
    // process through the window station.
    user::WaitForWake(deadline, 1000);
}

} // namespace ui

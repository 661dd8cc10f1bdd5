// The headless renderer: no screen at all. The window model is all there is; a person acts
// through automation.h. Inside one process a test is that person: it queues actions that run
// one at a time whenever a message loop waits (a modal dialog, a message box, a popup menu),
// so tests need no threads.
#pragma once

#include "ui/renderer.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace ui {

class Headless : public Renderer {
public:
    const char* Name() const override { return "headless"; }
    void Wait(uint64_t deadline) override;

    // Queues an action of the person; each runs when a loop next waits.
    Headless& Then(std::function<void()> action);
    // Runs when a loop waits and no queued action is left (e.g. to advance a test clock).
    void WhenIdle(std::function<void()> action) { idle_ = std::move(action); }
    size_t Pending() const;

private:
    // Loops on several threads (a print monitor's boxes) may wait at once: each takes its own
    // next action.
    mutable std::mutex lock_;
    std::deque<std::function<void()>> actions_;
    std::function<void()> idle_;
};

} // namespace ui

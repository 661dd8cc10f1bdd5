// The clock behind GetTickCount and every time-out of the layer. Tests install a clock that they
// advance by hand, so that a 15-second timer can be seen to fire without waiting 15 seconds.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

// Milliseconds since an arbitrary start, monotonic.
uint64_t ClockNowMs();

// Replaces the clock (an empty function restores the real one).
void SetClock(std::function<uint64_t()> clock);
bool ClockIsReal();

} // namespace platform

// The emulated box's daemon: it serves the switch driver's socket (dev/KELDRIM.VXD), keeps for
// each LPT the device port it connects, and logs every command it receives. A command whose
// byte 0 is not 0 to 2, or whose bytes 1 to 6 are not one of the four port patterns, is refused:
// logged as refused, the state unchanged. It runs until SIGTERM or SIGINT.
#pragma once

namespace selvane::box {

// Serves in the foreground; returns the exit status.
int Serve();

} // namespace selvane::box

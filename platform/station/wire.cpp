#include "station/wire.h"

#include "kernel/sys.h"
#include "station/table.h"

#include <poll.h>

#include <chrono>

namespace station {

bool SendFrame(int fd, const std::string& frame) {
    // A peer that went away is a failed send, never a SIGPIPE that would end a program because
    // a `selvane win` was interrupted.
    return static_cast<bool>(platform::SysSendAll(fd, frame.data(), frame.size()));
}

bool ReceiveFrame(int fd, std::string& payload, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string got;
    uint32_t length = 0;
    bool haveLength = false;
    char buffer[65536];
    for (;;) {
        if (!haveLength && got.size() >= sizeof length) {
            std::memcpy(&length, got.data(), sizeof length);
            got.erase(0, sizeof length);
            haveLength = true;
            if (length > (64u << 20)) return false;
        }
        if (haveLength && got.size() >= length) {
            payload = got.substr(0, length);
            return true;
        }
        int wait = -1;
        if (timeoutMs > 0) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            if (left <= 0) return false;
            wait = static_cast<int>(left);
        }
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, wait);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        ssize_t n = platform::Sys().read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got.append(buffer, static_cast<size_t>(n));
    }
}

int Connect(int pid) {
    auto fd = platform::SysConnectUnix(SocketOf(pid).string());
    return fd ? fd.value : -1;
}

} // namespace station

#include "kernel/parallel_port.h"

#include <linux/lp.h>

namespace platform {

DWORD LpStatusToCommErrors(int status) {
    DWORD errors = 0;
    if (status & LP_POUTPA) errors |= CE_OOP;
    if (!(status & LP_PSELECD)) errors |= CE_DNS;
    if (!(status & LP_PERRORP)) errors |= CE_IOE;
    return errors;
}

DWORD LpWriteTimeoutMs(const COMMTIMEOUTS& timeouts, DWORD bytes) {
    uint64_t total =
        uint64_t{timeouts.WriteTotalTimeoutMultiplier} * bytes + timeouts.WriteTotalTimeoutConstant;
    return total > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(total);
}

} // namespace platform

// The wire format between a device handle and the process that serves the device's socket under
// dev/ (the emulated switch driver and the emulated box's LPT ports). A request is a header and
// `length` bytes; the answer is a header and `length` bytes. Integers are little-endian on this
// machine's byte order: both ends run on the same machine.
#pragma once

#include <cstdint>

namespace platform::device {

enum class Request : uint32_t {
    IoControl = 1,      // `code` is the control code; the payload is the input bytes
    Write = 2,          // the payload is the data; `code` is the write time-out in ms (0: none)
                        // the answer's payload is the 4-byte count the device took
    Read = 3,           // `outLength` bytes at most; `code` is the read time-out in ms
    ClearCommError = 4, // the answer's payload is the 4-byte CE_ error bits, which are cleared
    Purge = 5,          // `code` is the PURGE_ flags
};

struct RequestHeader {
    uint32_t request;   // a Request
    uint32_t code;      // control code
    uint32_t length;    // bytes of payload that follow
    uint32_t outLength; // bytes the caller can take back
};

struct ReplyHeader {
    uint32_t error;  // 0, or the Win32 error the call fails with
    uint32_t length; // bytes of payload that follow
};

constexpr uint32_t kMaxPayload = 1u << 20;

} // namespace platform::device

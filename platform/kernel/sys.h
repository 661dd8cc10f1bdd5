// The one seam between the platform layer and the operating system. Every system call the layer
// makes goes through Sys(), so a test can swap an entry to make that call fail. Each wrapper
// returns a SysResult: the value, or the errno of the failure.
#pragma once

#include <sys/types.h>

#include <cerrno>
#include <string>
#include <utility>

struct sockaddr;

namespace platform {

template <class T> struct SysResult {
    T value{};
    int error = 0; // errno, 0 on success
    explicit operator bool() const { return error == 0; }
};

struct SysCalls {
    int (*open)(const char* path, int flags, int mode);
    int (*close)(int fd);
    ssize_t (*read)(int fd, void* buffer, size_t size);
    ssize_t (*write)(int fd, const void* buffer, size_t size);
    int (*socket)(int domain, int type, int protocol);
    int (*connect)(int fd, const struct sockaddr* address, unsigned length);
    int (*ioctl)(int fd, unsigned long request, void* argument);
    int (*ftruncate)(int fd, off_t length);
    off_t (*lseek)(int fd, off_t offset, int whence);
    ssize_t (*send)(int fd, const void* buffer, size_t size, int flags);
};

// The table in force. Tests may replace entries and must restore them (SysOverride does).
SysCalls& Sys();

// Replaces one entry of the table for the lifetime of the object.
template <class Fn> class SysOverride {
public:
    SysOverride(Fn SysCalls::*slot, Fn replacement) : slot_(slot), saved_(Sys().*slot) {
        Sys().*slot_ = replacement;
    }
    ~SysOverride() { Sys().*slot_ = saved_; }
    SysOverride(const SysOverride&) = delete;
    SysOverride& operator=(const SysOverride&) = delete;

private:
    Fn SysCalls::*slot_;
    Fn saved_;
};

SysResult<int> SysOpen(const std::string& path, int flags, int mode = 0);
void SysClose(int fd);
// Reads or writes all of the buffer unless the peer ends or an error occurs; EINTR is retried.
SysResult<size_t> SysReadAll(int fd, void* buffer, size_t size);
SysResult<size_t> SysWriteAll(int fd, const void* buffer, size_t size);
// Sends all of the buffer on a socket; a peer that went away is an EPIPE error, never a SIGPIPE.
SysResult<size_t> SysSendAll(int fd, const void* buffer, size_t size);
// Connects a stream socket to a Unix socket path.
SysResult<int> SysConnectUnix(const std::string& path);

// Maps an errno value onto the Win32 error a program would see.
unsigned long ErrnoToWin32(int error);

} // namespace platform

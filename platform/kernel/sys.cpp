#include "kernel/sys.h"

#include "win32/base.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace platform {

namespace {
int RealOpen(const char* path, int flags, int mode) {
    return ::open(path, flags, mode);
}
int RealConnect(int fd, const struct sockaddr* address, unsigned length) {
    return ::connect(fd, address, static_cast<socklen_t>(length));
}
int RealIoctl(int fd, unsigned long request, void* argument) {
    return ::ioctl(fd, request, argument);
}
} // namespace

SysCalls& Sys() {
    static SysCalls calls{RealOpen,    ::close,   ::read,      ::write, ::socket,
                          RealConnect, RealIoctl, ::ftruncate, ::lseek, ::send};
    return calls;
}

SysResult<int> SysOpen(const std::string& path, int flags, int mode) {
    int fd;
    do {
        fd = Sys().open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return {-1, errno};
    return {fd, 0};
}

void SysClose(int fd) {
    if (fd >= 0) Sys().close(fd);
}

SysResult<size_t> SysReadAll(int fd, void* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = Sys().read(fd, static_cast<char*>(buffer) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {done, errno};
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return {done, 0};
}

SysResult<size_t> SysWriteAll(int fd, const void* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = Sys().write(fd, static_cast<const char*>(buffer) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {done, errno};
        done += static_cast<size_t>(n);
    }
    return {done, 0};
}

SysResult<size_t> SysSendAll(int fd, const void* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n =
            Sys().send(fd, static_cast<const char*>(buffer) + done, size - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {done, errno};
        done += static_cast<size_t>(n);
    }
    return {done, 0};
}

SysResult<int> SysConnectUnix(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) return {-1, ENAMETOOLONG};
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int fd = Sys().socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {-1, errno};
    int rc;
    do {
        rc = Sys().connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) {
        int error = errno;
        Sys().close(fd);
        return {-1, error};
    }
    return {fd, 0};
}

unsigned long ErrnoToWin32(int error) {
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
    case ECONNREFUSED: // a socket with nobody behind it is a device that is not there
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ENAMETOOLONG:
        return ERROR_INVALID_NAME;
    case ENOSPC:
        return ERROR_DISK_FULL;
    case EBUSY:
        return ERROR_BUSY;
    case EAGAIN:
        return ERROR_BUSY;
    case ETIMEDOUT:
        return ERROR_SEM_TIMEOUT;
    case EPIPE:
    case ECONNRESET:
        return ERROR_BROKEN_PIPE;
    case ENODEV:
    case ENXIO:
        return ERROR_DEV_NOT_EXIST;
    case ENOTSUP:
        return ERROR_NOT_SUPPORTED;
    case EIO:
        return ERROR_IO_DEVICE;
    default:
        return ERROR_GEN_FAILURE;
    }
}

} // namespace platform

// Files and devices: CreateFileA, ReadFile, WriteFile, DeviceIoControl, CloseHandle.
//
// "\\.\NAME" and "LPTn" (with or without a trailing colon) name devices in the machine root's
// dev/ folder. A device there is a Unix socket served by another process (the emulated driver
// or box) or a link to a real device node. Any other name is a file path, with backslashes as
// separators.
#include "kernel/device_protocol.h"
#include "kernel/handles.h"
#include "kernel/machine_root.h"
#include "kernel/parallel_port.h"
#include "kernel/sys.h"
#include "win32/kernel.h"

#include <fcntl.h>
#include <linux/lp.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace platform {

namespace {

// A handle to a file, or to a device node such as a real parallel port (/dev/lpN): reads and
// writes go straight to the descriptor; on a parallel port the comm functions talk to the lp
// driver.
class FileObject : public KernelObject {
public:
    FileObject(int fd, bool parallelPort) : fd_(fd), parallelPort_(parallelPort) {}
    ~FileObject() override { SysClose(fd_); }

    BOOL Read(void* buffer, DWORD toRead, DWORD* read) override {
        auto result = Sys().read(fd_, buffer, toRead);
        if (result < 0) return Fail(ErrnoToWin32(errno));
        if (read) *read = static_cast<DWORD>(result);
        return TRUE;
    }
    BOOL Write(const void* buffer, DWORD toWrite, DWORD* written) override {
        auto result = SysWriteAll(fd_, buffer, toWrite);
        if (written) *written = static_cast<DWORD>(result.value);
        if (!result) return Fail(ErrnoToWin32(result.error));
        return TRUE;
    }
    BOOL SetEndOfFile() override {
        if (parallelPort_) return TRUE; // a port has no end to move
        off_t at = Sys().lseek(fd_, 0, SEEK_CUR);
        if (at < 0 || Sys().ftruncate(fd_, at) != 0) return Fail(ErrnoToWin32(errno));
        return TRUE;
    }
    BOOL GetCommTimeouts(COMMTIMEOUTS* timeouts) override {
        if (!parallelPort_) return KernelObject::GetCommTimeouts(timeouts);
        *timeouts = timeouts_;
        return TRUE;
    }
    BOOL SetCommTimeouts(const COMMTIMEOUTS& timeouts) override {
        if (!parallelPort_) return KernelObject::SetCommTimeouts(timeouts);
        // The lp driver knows one time-out, for a write that makes no progress.
        if (DWORD ms = LpWriteTimeoutMs(timeouts, 0)) {
            timeval value{static_cast<time_t>(ms / 1000),
                          static_cast<suseconds_t>(ms % 1000 * 1000)};
            if (Sys().ioctl(fd_, LPSETTIMEOUT, &value) != 0) return Fail(ErrnoToWin32(errno));
        }
        timeouts_ = timeouts;
        return TRUE;
    }
    BOOL ClearCommError(DWORD* errors) override {
        if (!parallelPort_) return KernelObject::ClearCommError(errors);
        int status = 0;
        if (Sys().ioctl(fd_, LPGETSTATUS, &status) != 0) return Fail(ErrnoToWin32(errno));
        *errors = LpStatusToCommErrors(status);
        return TRUE;
    }
    BOOL PurgeComm(DWORD) override {
        if (!parallelPort_) return KernelObject::PurgeComm(0);
        return TRUE; // the lp driver buffers no input, and output is not thrown away
    }

private:
    static BOOL Fail(DWORD error) {
        SetLastError(error);
        return FALSE;
    }
    int fd_;
    bool parallelPort_;
    COMMTIMEOUTS timeouts_{};
};

// A handle to a device served on a socket under dev/ (the emulated switch driver, the emulated
// box's parallel ports): every call travels as one device_protocol request and its answer.
class SocketDevice : public KernelObject {
public:
    explicit SocketDevice(int fd) : fd_(fd) {}
    ~SocketDevice() override { SysClose(fd_); }

    BOOL IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                   DWORD* returned) override {
        std::vector<char> reply;
        BOOL ok = Exchange(device::Request::IoControl, code, in, inSize, out ? outSize : 0, reply);
        DWORD copied = std::min<DWORD>(static_cast<DWORD>(reply.size()), out ? outSize : 0);
        if (copied) std::memcpy(out, reply.data(), copied);
        if (returned) *returned = copied;
        return ok;
    }
    BOOL Write(const void* buffer, DWORD toWrite, DWORD* written) override {
        std::vector<char> reply;
        BOOL ok = Exchange(device::Request::Write, LpWriteTimeoutMs(timeouts_, toWrite), buffer,
                           toWrite, 0, reply);
        if (written) *written = Count(reply);
        return ok;
    }
    BOOL Read(void* buffer, DWORD toRead, DWORD* read) override {
        uint64_t total = uint64_t{timeouts_.ReadTotalTimeoutMultiplier} * toRead +
                         timeouts_.ReadTotalTimeoutConstant;
        std::vector<char> reply;
        BOOL ok = Exchange(device::Request::Read,
                           static_cast<DWORD>(std::min<uint64_t>(total, 0xFFFFFFFFu)), nullptr, 0,
                           toRead, reply);
        DWORD copied = std::min<DWORD>(static_cast<DWORD>(reply.size()), toRead);
        if (copied) std::memcpy(buffer, reply.data(), copied);
        if (read) *read = copied;
        return ok;
    }
    BOOL SetEndOfFile() override { return TRUE; }
    BOOL GetCommTimeouts(COMMTIMEOUTS* timeouts) override {
        *timeouts = timeouts_;
        return TRUE;
    }
    BOOL SetCommTimeouts(const COMMTIMEOUTS& timeouts) override {
        timeouts_ = timeouts;
        return TRUE;
    }
    BOOL ClearCommError(DWORD* errors) override {
        std::vector<char> reply;
        if (!Exchange(device::Request::ClearCommError, 0, nullptr, 0, 4, reply)) return FALSE;
        *errors = Count(reply);
        return TRUE;
    }
    BOOL PurgeComm(DWORD flags) override {
        std::vector<char> reply;
        return Exchange(device::Request::Purge, flags, nullptr, 0, 0, reply);
    }

private:
    static DWORD Count(const std::vector<char>& reply) {
        uint32_t value = 0;
        if (reply.size() >= sizeof value) std::memcpy(&value, reply.data(), sizeof value);
        return value;
    }

    // Sends one request and reads its answer; FALSE with the device's error, or with
    // ERROR_GEN_FAILURE when the device went away.
    BOOL Exchange(device::Request request, DWORD code, const void* in, DWORD inSize,
                  DWORD outLength, std::vector<char>& reply) {
        reply.clear();
        if (inSize > device::kMaxPayload || (inSize && !in)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        std::vector<char> frame(sizeof(device::RequestHeader) + inSize);
        device::RequestHeader header{static_cast<uint32_t>(request), code, inSize, outLength};
        std::memcpy(frame.data(), &header, sizeof header);
        if (inSize) std::memcpy(frame.data() + sizeof header, in, inSize);
        if (!SysSendAll(fd_, frame.data(), frame.size())) return Broken();
        device::ReplyHeader answer{};
        auto got = SysReadAll(fd_, &answer, sizeof answer);
        if (!got || got.value != sizeof answer || answer.length > device::kMaxPayload)
            return Broken();
        reply.resize(answer.length);
        if (answer.length) {
            got = SysReadAll(fd_, reply.data(), reply.size());
            if (!got || got.value != reply.size()) return Broken();
        }
        if (answer.error) {
            SetLastError(answer.error);
            return FALSE;
        }
        return TRUE;
    }
    BOOL Broken() {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }

    int fd_;
    COMMTIMEOUTS timeouts_{};
};

bool IEquals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

// The device a name stands for, or "" when it is a plain file name.
std::string DeviceName(std::string_view name) {
    if (name.starts_with("\\\\.\\")) return std::string(name.substr(4));
    std::string_view bare = name;
    if (bare.ends_with(':')) bare.remove_suffix(1);
    if (bare.size() == 4 && IEquals(bare.substr(0, 3), "LPT") && bare[3] >= '1' && bare[3] <= '9') {
        std::string upper(bare);
        for (auto& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return upper;
    }
    return {};
}

int OpenFlags(DWORD access, DWORD creation) {
    int flags = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    switch (creation) {
    case CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        break;
    case CREATE_ALWAYS:
        flags |= O_CREAT | O_TRUNC;
        break;
    case OPEN_ALWAYS:
        flags |= O_CREAT;
        break;
    case TRUNCATE_EXISTING:
        flags |= O_TRUNC;
        break;
    default:
        break;
    }
    return flags;
}

HANDLE Fail(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

} // namespace

} // namespace platform

using namespace platform;

extern "C" HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD access, DWORD, LPSECURITY_ATTRIBUTES,
                                     DWORD creation, DWORD, HANDLE) {
    if (!fileName || !*fileName) return Fail(ERROR_PATH_NOT_FOUND);
    if (creation < CREATE_NEW || creation > TRUNCATE_EXISTING) return Fail(ERROR_INVALID_PARAMETER);
    std::string device = DeviceName(fileName);
    if (!device.empty()) {
        if (device.find_first_of("\\/") != std::string::npos) return Fail(ERROR_FILE_NOT_FOUND);
        std::string path = DevicePath(device).string();
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) return Fail(ERROR_FILE_NOT_FOUND);
        if (S_ISSOCK(info.st_mode)) {
            auto fd = SysConnectUnix(path);
            if (!fd) return Fail(ErrnoToWin32(fd.error));
            return InsertHandle(std::make_shared<SocketDevice>(fd.value));
        }
        // A device node (a real parallel port): opened for reading and writing, never created.
        auto fd = SysOpen(path, O_RDWR);
        if (!fd) return Fail(ErrnoToWin32(fd.error));
        return InsertHandle(std::make_shared<FileObject>(fd.value, S_ISCHR(info.st_mode)));
    }
    std::string path(fileName);
    std::replace(path.begin(), path.end(), '\\', '/');
    auto fd = SysOpen(path, OpenFlags(access, creation), 0644);
    if (!fd) return Fail(ErrnoToWin32(fd.error));
    return InsertHandle(std::make_shared<FileObject>(fd.value, false));
}

extern "C" BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize,
                                       LPVOID out, DWORD outSize, LPDWORD returned, LPOVERLAPPED) {
    auto object = LookupHandle(device);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return object->IoControl(code, in, inSize, out, outSize, returned);
}

extern "C" BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read,
                                LPOVERLAPPED) {
    auto object = LookupHandle(file);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (read) *read = 0;
    return object->Read(buffer, toRead, read);
}

extern "C" BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written,
                                 LPOVERLAPPED) {
    auto object = LookupHandle(file);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (written) *written = 0;
    return object->Write(buffer, toWrite, written);
}

extern "C" BOOL WINAPI CloseHandle(HANDLE object) {
    if (!RemoveHandle(object)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

namespace {
std::shared_ptr<KernelObject> Object(HANDLE handle) {
    auto object = LookupHandle(handle);
    if (!object) SetLastError(ERROR_INVALID_HANDLE);
    return object;
}
} // namespace

extern "C" BOOL WINAPI SetEndOfFile(HANDLE file) {
    auto object = Object(file);
    return object ? object->SetEndOfFile() : FALSE;
}

extern "C" BOOL WINAPI GetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts) {
    auto object = Object(file);
    if (!object || !timeouts) {
        if (object) SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return object->GetCommTimeouts(timeouts);
}

extern "C" BOOL WINAPI SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts) {
    auto object = Object(file);
    if (!object || !timeouts) {
        if (object) SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return object->SetCommTimeouts(*timeouts);
}

extern "C" BOOL WINAPI ClearCommError(HANDLE file, LPDWORD errors, LPCOMSTAT status) {
    auto object = Object(file);
    if (!object) return FALSE;
    DWORD bits = 0;
    if (!object->ClearCommError(&bits)) return FALSE;
    if (errors) *errors = bits;
    if (status) *status = COMSTAT{};
    return TRUE;
}

extern "C" BOOL WINAPI PurgeComm(HANDLE file, DWORD flags) {
    auto object = Object(file);
    return object ? object->PurgeComm(flags) : FALSE;
}

// Files and devices: CreateFileA, ReadFile, WriteFile, DeviceIoControl, CloseHandle.
//
// "\\.\NAME" and "LPTn" (with or without a trailing colon) name devices in the machine root's
// dev/ folder. A device there is a Unix socket served by another process (the emulated driver
// or box) or a link to a real device node. Any other name is a file path, with backslashes as
// separators.
#include "kernel/device_protocol.h"
#include "kernel/handles.h"
#include "kernel/machine_root.h"
#include "kernel/sys.h"
#include "win32/kernel.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace platform {

namespace {

// A handle to a file or device node: reads and writes go straight to the descriptor.
class FileObject : public KernelObject {
public:
    explicit FileObject(int fd) : fd_(fd) {}
    ~FileObject() override { SysClose(fd_); }

    BOOL Read(void* buffer, DWORD toRead, DWORD* read) override {
        auto result = Sys().read(fd_, buffer, toRead);
        if (result < 0) {
            SetLastError(ErrnoToWin32(errno));
            return FALSE;
        }
        if (read) *read = static_cast<DWORD>(result);
        return TRUE;
    }
    BOOL Write(const void* buffer, DWORD toWrite, DWORD* written) override {
        auto result = SysWriteAll(fd_, buffer, toWrite);
        if (written) *written = static_cast<DWORD>(result.value);
        if (!result) {
            SetLastError(ErrnoToWin32(result.error));
            return FALSE;
        }
        return TRUE;
    }

private:
    int fd_;
};

// A handle to a device served on a socket: control requests travel as device_protocol frames.
class SocketDevice : public KernelObject {
public:
    explicit SocketDevice(int fd) : fd_(fd) {}
    ~SocketDevice() override { SysClose(fd_); }

    BOOL IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                   DWORD* returned) override {
        if (inSize > device::kMaxPayload || (inSize && !in)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        std::vector<char> frame(sizeof(device::RequestHeader) + inSize);
        device::RequestHeader header{static_cast<uint32_t>(device::Request::IoControl), code,
                                     inSize, out ? outSize : 0};
        std::memcpy(frame.data(), &header, sizeof header);
        if (inSize) std::memcpy(frame.data() + sizeof header, in, inSize);
        if (!SysWriteAll(fd_, frame.data(), frame.size())) return Broken();
        device::ReplyHeader reply{};
        auto got = SysReadAll(fd_, &reply, sizeof reply);
        if (!got || got.value != sizeof reply || reply.length > device::kMaxPayload)
            return Broken();
        std::vector<char> payload(reply.length);
        if (reply.length) {
            got = SysReadAll(fd_, payload.data(), payload.size());
            if (!got || got.value != payload.size()) return Broken();
        }
        DWORD copied = std::min<DWORD>(reply.length, out ? outSize : 0);
        if (copied) std::memcpy(out, payload.data(), copied);
        if (returned) *returned = copied;
        if (reply.error) {
            SetLastError(reply.error);
            return FALSE;
        }
        return TRUE;
    }

private:
    BOOL Broken() {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    int fd_;
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
        for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return upper;
    }
    return {};
}

int OpenFlags(DWORD access, DWORD creation) {
    int flags = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    switch (creation) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
    default: break;
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
        return InsertHandle(std::make_shared<FileObject>(fd.value));
    }
    std::string path(fileName);
    std::replace(path.begin(), path.end(), '\\', '/');
    auto fd = SysOpen(path, OpenFlags(access, creation), 0644);
    if (!fd) return Fail(ErrnoToWin32(fd.error));
    return InsertHandle(std::make_shared<FileObject>(fd.value));
}

extern "C" BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize,
                                       LPVOID out, DWORD outSize, LPDWORD returned,
                                       LPOVERLAPPED) {
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

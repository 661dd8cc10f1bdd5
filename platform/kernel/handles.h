// Kernel handles: a process-wide table from HANDLE values to the objects behind them. A HANDLE is
// never a pointer to the object itself, so a stale or made-up handle is caught as
// ERROR_INVALID_HANDLE instead of being followed.
#pragma once

#include "win32/kernel.h"

#include <memory>

namespace platform {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // The file and device operations; the defaults refuse with ERROR_INVALID_FUNCTION.
    virtual BOOL Read(void* buffer, DWORD toRead, DWORD* read);
    virtual BOOL Write(const void* buffer, DWORD toWrite, DWORD* written);
    virtual BOOL IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                           DWORD* returned);
    virtual BOOL SetEndOfFile();
    // The comm functions of a communications device (a parallel port).
    virtual BOOL GetCommTimeouts(COMMTIMEOUTS* timeouts);
    virtual BOOL SetCommTimeouts(const COMMTIMEOUTS& timeouts);
    virtual BOOL ClearCommError(DWORD* errors);
    virtual BOOL PurgeComm(DWORD flags);
};

HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
// Takes the handle out of the table; the object goes when its last user lets go of it.
bool RemoveHandle(HANDLE handle);

template <class T> std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

} // namespace platform

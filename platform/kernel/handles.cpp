#include "kernel/handles.h"

#include <mutex>
#include <unordered_map>

namespace platform {

namespace {
struct HandleTable {
    std::mutex lock;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    uintptr_t next = 0x100;
};

HandleTable& Table() {
    static HandleTable* table = new HandleTable; // outlives every static destructor
    return *table;
}
} // namespace

BOOL KernelObject::Read(void*, DWORD, DWORD*) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}
BOOL KernelObject::Write(const void*, DWORD, DWORD*) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}
BOOL KernelObject::IoControl(DWORD, const void*, DWORD, void*, DWORD, DWORD*) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}
BOOL KernelObject::SetEndOfFile() {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}
BOOL KernelObject::GetCommTimeouts(COMMTIMEOUTS*) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}
BOOL KernelObject::SetCommTimeouts(const COMMTIMEOUTS&) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}
BOOL KernelObject::ClearCommError(DWORD*) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}
BOOL KernelObject::PurgeComm(DWORD) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
    auto& table = Table();
    std::lock_guard guard(table.lock);
    uintptr_t value = table.next;
    table.next += 4; // Windows hands out multiples of four; never reused within a process
    table.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
    auto& table = Table();
    std::lock_guard guard(table.lock);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == table.objects.end() ? nullptr : it->second;
}

bool RemoveHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> object;
    {
        auto& table = Table();
        std::lock_guard guard(table.lock);
        auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
        if (it == table.objects.end()) return false;
        object = std::move(it->second);
        table.objects.erase(it);
    }
    return true; // the object is released here, outside the lock
}

} // namespace platform

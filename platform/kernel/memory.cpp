// The local heap, thread-local storage and critical sections.
#include "win32/kernel.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {
constexpr DWORD kTlsSlots = 64;
std::mutex g_tlsLock;
bool g_tlsUsed[kTlsSlots];
thread_local LPVOID t_tlsValues[kTlsSlots];
} // namespace

extern "C" HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes) {
    void* memory = (flags & LMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1)
                                           : std::malloc(bytes ? bytes : 1);
    if (!memory) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return memory;
}

extern "C" HLOCAL WINAPI LocalFree(HLOCAL memory) {
    std::free(memory);
    return nullptr;
}

extern "C" DWORD WINAPI TlsAlloc(void) {
    std::lock_guard guard(g_tlsLock);
    for (DWORD i = 0; i < kTlsSlots; ++i) {
        if (!g_tlsUsed[i]) {
            g_tlsUsed[i] = true;
            return i;
        }
    }
    SetLastError(ERROR_NO_MORE_ITEMS);
    return TLS_OUT_OF_INDEXES;
}

extern "C" BOOL WINAPI TlsFree(DWORD index) {
    std::lock_guard guard(g_tlsLock);
    if (index >= kTlsSlots || !g_tlsUsed[index]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    g_tlsUsed[index] = false;
    return TRUE;
}

extern "C" BOOL WINAPI TlsSetValue(DWORD index, LPVOID value) {
    if (index >= kTlsSlots) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    t_tlsValues[index] = value;
    return TRUE;
}

extern "C" LPVOID WINAPI TlsGetValue(DWORD index) {
    if (index >= kTlsSlots) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS); // a stored null is told from a failure by the last error
    return t_tlsValues[index];
}

extern "C" void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section) {
    section->impl = new std::recursive_mutex;
}
extern "C" void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section) {
    static_cast<std::recursive_mutex*>(section->impl)->lock();
}
extern "C" void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section) {
    static_cast<std::recursive_mutex*>(section->impl)->unlock();
}
extern "C" void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section) {
    delete static_cast<std::recursive_mutex*>(section->impl);
    section->impl = nullptr;
}

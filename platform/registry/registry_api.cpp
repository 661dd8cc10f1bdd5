// The registry functions of the Win32 surface, over registry::Store.
//
// Map of this file:
//   - KeyHandles: the process-wide table from HKEY values to key ids
//   - copying a value out: the sizes, ERROR_MORE_DATA with the buffer untouched, the terminator
//     a string gets when it was stored without one
//   - the entry points, each behind Entry(), which keeps C++ exceptions inside
#include "registry/registry_store.h"
#include "win32/registry.h"

#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

using platform::registry::KeyId;
using platform::registry::Store;
using platform::registry::Value;

namespace {

// An HKEY is a number in this table, never a pointer: a closed or made-up handle is caught as
// ERROR_INVALID_HANDLE. Numbers are not reused, so a handle closed by mistake never comes back
// to life as another key. The predefined roots are fixed key ids and need no entry.
class KeyHandles {
public:
    HKEY Insert(KeyId key) {
        std::lock_guard lock(mutex_);
        next_ += 4;
        keys_.emplace(next_, key);
        return reinterpret_cast<HKEY>(next_);
    }
    KeyId Lookup(HKEY handle) {
        if (KeyId root = Store::RootId(handle)) return root;
        std::lock_guard lock(mutex_);
        auto it = keys_.find(reinterpret_cast<ULONG_PTR>(handle));
        return it == keys_.end() ? 0 : it->second;
    }
    bool Remove(HKEY handle) {
        std::lock_guard lock(mutex_);
        return keys_.erase(reinterpret_cast<ULONG_PTR>(handle)) == 1;
    }

private:
    std::mutex mutex_;
    std::unordered_map<ULONG_PTR, KeyId> keys_;
    ULONG_PTR next_ = 0x1000;
};

KeyHandles& Handles() {
    static KeyHandles* handles = new KeyHandles(); // outlives every caller, threads included
    return *handles;
}

std::string_view Name(LPCSTR text) {
    return text ? std::string_view(text) : std::string_view();
}

template <class F> LONG Entry(F f) noexcept {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    } catch (...) {
        return ERROR_GEN_FAILURE;
    }
}

bool IsString(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

DWORD Size(const Value& value) {
    return static_cast<DWORD>(value.data.size());
}

// Copies the data into a buffer known to be large enough. A string stored without its
// terminating zero gets one when the buffer has room for it; the size reported stays the size
// stored.
void CopyData(const Value& value, LPBYTE data, DWORD room) {
    if (!value.data.empty()) std::memcpy(data, value.data.data(), value.data.size());
    if (IsString(value.type) && room > Size(value) &&
        (value.data.empty() || value.data.back() != 0))
        data[value.data.size()] = 0;
}

LONG OpenKey(HKEY key, LPCSTR subKey, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    KeyId parent = Handles().Lookup(key);
    if (!parent) return ERROR_INVALID_HANDLE;
    KeyId opened = 0;
    if (LONG error = Store::Instance().Open(parent, Name(subKey), opened); error != ERROR_SUCCESS)
        return error;
    // A NULL or empty subkey opens the same key again, as a handle of its own: the caller
    // closes both, and neither close disturbs the other.
    *result = Handles().Insert(opened);
    return ERROR_SUCCESS;
}

} // namespace

extern "C" {

LONG WINAPI RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result) {
    return Entry([&] { return OpenKey(key, subKey, result); });
}

// Access masks are accepted and not enforced: there are no users here, so KEY_ALL_ACCESS is
// always granted.
LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result) {
    return Entry([&] { return OpenKey(key, subKey, result); });
}

LONG WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM,
                            LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
    return Entry([&]() -> LONG {
        if (!result) return ERROR_INVALID_PARAMETER;
        *result = nullptr;
        KeyId parent = Handles().Lookup(key);
        if (!parent) return ERROR_INVALID_HANDLE;
        KeyId created = 0;
        bool isNew = false;
        if (LONG error = Store::Instance().Create(parent, Name(subKey), created, isNew);
            error != ERROR_SUCCESS)
            return error;
        *result = Handles().Insert(created);
        if (disposition) *disposition = isNew ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data,
                             LPDWORD dataSize) {
    return Entry([&]() -> LONG {
        if (data && !dataSize) return ERROR_INVALID_PARAMETER;
        KeyId id = Handles().Lookup(key);
        if (!id) return ERROR_INVALID_HANDLE;
        thread_local Value value; // its storage is reused; its content is overwritten below
        if (LONG error = Store::Instance().QueryValue(id, Name(valueName), value);
            error != ERROR_SUCCESS)
            return error;
        if (type) *type = value.type;
        if (!data) {
            if (dataSize) *dataSize = Size(value);
            return ERROR_SUCCESS;
        }
        // Too small: not one byte is written, so the caller keeps what its buffer held.
        if (*dataSize < Size(value)) {
            *dataSize = Size(value);
            return ERROR_MORE_DATA;
        }
        CopyData(value, data, *dataSize);
        *dataSize = Size(value);
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data,
                           DWORD dataSize) {
    return Entry([&]() -> LONG {
        if (!data && dataSize) return ERROR_INVALID_PARAMETER;
        KeyId id = Handles().Lookup(key);
        if (!id) return ERROR_INVALID_HANDLE;
        // Exactly the bytes given, whatever the type: a REG_SZ keeps the length its writer
        // chose, terminator or not.
        return Store::Instance().SetValue(id, Name(valueName), type,
                                          std::span<const BYTE>(data, data ? dataSize : 0));
    });
}

LONG WINAPI RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD nameSize) {
    return Entry([&]() -> LONG {
        if (!name) return ERROR_INVALID_PARAMETER;
        KeyId id = Handles().Lookup(key);
        if (!id) return ERROR_INVALID_HANDLE;
        std::string found;
        if (LONG error = Store::Instance().EnumKey(id, index, found); error != ERROR_SUCCESS)
            return error;
        if (nameSize < found.size() + 1) return ERROR_MORE_DATA;
        std::memcpy(name, found.c_str(), found.size() + 1);
        return ERROR_SUCCESS;
    });
}

// On ERROR_MORE_DATA neither buffer is written, and the sizes tell what is needed: *nameSize
// the name's buffer size (its terminator included), *dataSize the data's size. On success
// *nameSize is the name's length without the terminator, as Windows reports it.
LONG WINAPI RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD,
                          LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    return Entry([&]() -> LONG {
        if (!name || !nameSize || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
        KeyId id = Handles().Lookup(key);
        if (!id) return ERROR_INVALID_HANDLE;
        Value value;
        if (LONG error = Store::Instance().EnumValue(id, index, value); error != ERROR_SUCCESS)
            return error;
        DWORD nameNeeded = static_cast<DWORD>(value.name.size() + 1);
        if (*nameSize < nameNeeded || (data && *dataSize < Size(value))) {
            *nameSize = nameNeeded;
            if (dataSize) *dataSize = Size(value);
            if (type) *type = value.type;
            return ERROR_MORE_DATA;
        }
        std::memcpy(name, value.name.c_str(), nameNeeded);
        *nameSize = nameNeeded - 1;
        if (type) *type = value.type;
        if (data) CopyData(value, data, *dataSize);
        if (dataSize) *dataSize = Size(value);
        return ERROR_SUCCESS;
    });
}

// Deletes the key with everything under it, as Windows 95 does. A NULL subkey deletes nothing
// (ERROR_INVALID_PARAMETER); "" deletes the key of the handle itself; a root is never deleted.
LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    return Entry([&]() -> LONG {
        if (!subKey) return ERROR_INVALID_PARAMETER;
        KeyId id = Handles().Lookup(key);
        if (!id) return ERROR_INVALID_HANDLE;
        return Store::Instance().DeleteKey(id, subKey);
    });
}

LONG WINAPI RegDeleteValueA(HKEY key, LPCSTR valueName) {
    return Entry([&]() -> LONG {
        KeyId id = Handles().Lookup(key);
        if (!id) return ERROR_INVALID_HANDLE;
        return Store::Instance().DeleteValue(id, Name(valueName));
    });
}

// Closing a predefined root is allowed and changes nothing; a handle to a deleted key closes
// like any other.
LONG WINAPI RegCloseKey(HKEY key) {
    return Entry([&]() -> LONG {
        if (Store::RootId(key)) return ERROR_SUCCESS;
        return Handles().Remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    });
}

} // extern "C"

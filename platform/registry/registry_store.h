// The registry's store: keys and values of the three roots in one SQLite database, registry.db in
// the machine root, shared by every process of that machine. The Win32 functions
// (registry_api.cpp) are a thin surface over this class; the tools use it directly where they
// need more than Win32 offers (one transaction around a whole import).
//
// Every method returns a Win32 error code (ERROR_SUCCESS on success). Names are compared without
// regard to case and stored as first spelled. Methods are safe to call from several threads.
#pragma once

#include "win32/base.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

using KeyId = int64_t;

struct Value {
    std::string name; // "" is the key's default value
    DWORD type = 0;
    std::vector<BYTE> data;
};

class Store {
public:
    // The store of the current machine root (MachineRoot()); reopened when the root changes.
    static Store& Instance();

    // The key id of a predefined root (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_DYN_DATA),
    // or 0 for any other value.
    static KeyId RootId(HKEY root);

    // `path` is relative to `parent`, components separated by backslashes; "" is `parent`.
    LONG Open(KeyId parent, std::string_view path, KeyId& key);
    LONG Create(KeyId parent, std::string_view path, KeyId& key, bool& created);
    // ERROR_KEY_DELETED when `key` no longer exists.
    LONG QueryValue(KeyId key, std::string_view name, Value& value);
    LONG SetValue(KeyId key, std::string_view name, DWORD type, std::span<const BYTE> data);
    LONG DeleteValue(KeyId key, std::string_view name);
    // Deletes the key at `path` under `parent` with everything under it.
    LONG DeleteKey(KeyId parent, std::string_view path);
    // Subkeys in the order of their names without regard to case; ERROR_NO_MORE_ITEMS past the
    // end.
    LONG EnumKey(KeyId key, DWORD index, std::string& name);
    // Values in creation order; ERROR_NO_MORE_ITEMS past the end.
    LONG EnumValue(KeyId key, DWORD index, Value& value);

    // Runs `body` in one write transaction: everything it did through this store (on this
    // thread, Win32 calls included) is committed when it returns ERROR_SUCCESS, and none of it
    // otherwise. Returns body's result, or the error of the commit.
    LONG Transaction(const std::function<LONG()>& body);

    // ERROR_SUCCESS when registry.db is missing or is a registry; otherwise ERROR_BADDB with a
    // one-line account in `problem` (a corrupt file, or a database that is not a registry). A
    // store in that state refuses every call and never writes the file.
    LONG Check(std::string& problem);

private:
    Store();
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace platform::registry

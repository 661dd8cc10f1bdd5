// Registry key names as people write them: a root (HKEY_LOCAL_MACHINE or HKLM,
// HKEY_CURRENT_USER or HKCU, HKEY_DYN_DATA or HKDD, in any case), then the path.
#pragma once

#include "win32.h"

#include <string>

namespace selvane {

struct KeyName {
    HKEY root;
    std::string rootName; // the long form, as REGEDIT4 writes it
    std::string path;     // without leading or trailing backslashes; "" is the root itself

    std::string full() const { return path.empty() ? rootName : rootName + "\\" + path; }
};

// Parses a key name; false when the root is not one of ours.
bool ParseKeyName(const std::string& text, KeyName& key);

// Opens the key (never creates it); throws Failure naming it when it is missing, or when the
// registry itself cannot be read.
HKEY OpenKey(const KeyName& key);

// The registry's own account of a corrupt or foreign registry.db, thrown as a Failure.
void CheckRegistry();

// "REG_SZ", "REG_DWORD", ...
std::string TypeName(DWORD type);

} // namespace selvane

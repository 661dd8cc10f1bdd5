// win.ini on disk: reading it afresh, and changing it safely while other processes do the same.
#pragma once

#include "kernel/sys.h"
#include "profile/ini_file.h"

#include <filesystem>
#include <functional>
#include <string>

namespace platform::profile {

// MachineRoot()/win.ini, looked up on every call.
std::filesystem::path WinIniPath();

// The whole file as it is now. A missing file reads as empty text with error ENOENT.
SysResult<std::string> ReadWinIni();

// Read-modify-write under the profile lock: reads the file, lets `edit` change it (edit returns
// whether it did), and when it did, puts the new text in place in one step. value is whether the
// file was written; error is the errno of what failed, the file then left as it was.
SysResult<bool> UpdateWinIni(const std::function<bool(IniFile&)>& edit);

} // namespace platform::profile

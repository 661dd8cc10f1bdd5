// The profile functions: GetProfileSectionA, GetProfileStringA, WriteProfileStringA over win.ini
// in the machine root.
//
//   CopyString, CopyList   how Windows fills a caller's buffer, cut to size
//   GetProfile*            read win.ini afresh on every call (a person may have edited it)
//   WriteProfileStringA    one locked read-modify-write (win_ini.cpp)
//
// Every entry point catches what C++ may throw (an allocation failing): nothing crosses into C.
#include "win32/profile.h"

#include "kernel/sys.h"
#include "profile/ini_file.h"
#include "profile/win_ini.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using platform::profile::IniFile;

// One text, zero-terminated. A text too long is cut to size - 1 characters, and the result is the
// number of characters copied. Nothing is written past size; a size of 0 writes nothing.
DWORD CopyString(std::string_view text, LPSTR buffer, DWORD size) {
    if (size == 0) return 0;
    size_t length = std::min<size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return static_cast<DWORD>(length);
}

// Texts one after the other, each zero-terminated, a second zero at the end. The result counts
// what was copied without that last zero. A list too long is cut so that the last two bytes of
// the buffer are both zero, and the result is size - 2. An empty list is "\0\0", as far as it fits.
DWORD CopyList(const std::vector<std::string>& texts, LPSTR buffer, DWORD size) {
    if (size == 0) return 0;
    std::string joined;
    for (const std::string& text : texts) {
        joined += text;
        joined += '\0';
    }
    if (joined.empty()) {
        buffer[0] = '\0';
        if (size >= 2) buffer[1] = '\0';
        return 0;
    }
    if (joined.size() < size) {
        std::memcpy(buffer, joined.data(), joined.size());
        buffer[joined.size()] = '\0';
        return static_cast<DWORD>(joined.size());
    }
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, joined.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
}

// win.ini as it is now. A missing or unreadable file reads as an empty one (the caller gets its
// default), the reason left in the last error as Windows does.
IniFile ReadProfile() {
    platform::SysResult<std::string> text = platform::profile::ReadWinIni();
    if (!text) {
        SetLastError(platform::ErrnoToWin32(text.error));
        return IniFile::Parse({});
    }
    return IniFile::Parse(text.value);
}

std::string_view TrimTrailingBlanks(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Names and values that would not read back as written: a line break would split the line, "]"
// would end the header early, "=" would end the key early, and a key starting with ";" or "["
// would read as a comment or a header. Refused rather than written half right.
bool Writable(LPCSTR section, LPCSTR key, LPCSTR value) {
    const auto has = [](LPCSTR text, std::string_view chars) {
        return text && std::string_view(text).find_first_of(chars) != std::string_view::npos;
    };
    if (has(section, "]\r\n") || has(key, "=\r\n") || has(value, "\r\n")) return false;
    if (key) {
        std::string_view name = platform::profile::TrimBlanks(key);
        if (!name.empty() && (name.front() == ';' || name.front() == '[')) return false;
    }
    return true;
}

} // namespace

extern "C" DWORD WINAPI GetProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size) {
    if (size == 0) return 0;
    if (!section || !buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    try {
        std::optional<std::vector<std::string>> entries = ReadProfile().SectionEntries(section);
        return CopyList(entries ? *entries : std::vector<std::string>{}, buffer, size);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

extern "C" DWORD WINAPI GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue,
                                          LPSTR buffer, DWORD size) {
    if (size == 0) return 0;
    if (!buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    try {
        IniFile file = ReadProfile();
        if (!section) return CopyList(file.SectionNames(), buffer, size);
        if (!key) {
            std::optional<std::vector<std::string>> keys = file.KeyNames(section);
            return CopyList(keys ? *keys : std::vector<std::string>{}, buffer, size);
        }
        if (std::optional<std::string> value = file.Value(section, key))
            return CopyString(*value, buffer, size);
        return CopyString(TrimTrailingBlanks(defaultValue ? defaultValue : ""), buffer, size);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

extern "C" BOOL WINAPI WriteProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value) {
    if (!section) {
        // All three NULL is how a program asks Windows to flush its profile cache. Every write
        // here reaches the file at once, so there is nothing to do. A NULL section with a key or
        // a value names nothing to change: refused, the file left alone.
        if (!key && !value) return TRUE;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!Writable(section, key, value)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    try {
        platform::SysResult<bool> written = platform::profile::UpdateWinIni([&](IniFile& file) {
            if (!key) return file.DeleteSection(section);
            if (!value) return file.DeleteKey(section, key);
            return file.SetValue(section, key, value);
        });
        if (!written) {
            SetLastError(platform::ErrnoToWin32(written.error));
            return FALSE;
        }
        return TRUE;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

#include "config_key.h"

#include <cstring>

namespace {
// Appends `text` to the path; false when it does not fit.
bool Append(LPSTR path, DWORD size, DWORD& length, LPCSTR text) {
    size_t add = std::strlen(text);
    if (length + add + 1 > size) {
        size_t room = size - 1 - length;
        std::memcpy(path + length, text, room);
        length += static_cast<DWORD>(room);
        path[length] = '\0';
        return false;
    }
    std::memcpy(path + length, text, add + 1);
    length += static_cast<DWORD>(add);
    return true;
}
// Opens the key for this one value, queries it into `data` (at most *size bytes; *size then
// holds what the query reported), closes the key.
LONG QueryConfigValue(HKEY root, LPCSTR path, LPCSTR valueName, LPBYTE data, DWORD* size) {
    HKEY key;
    LONG status = RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key);
    if (status != ERROR_SUCCESS) return status;
    status = RegQueryValueExA(key, valueName, nullptr, nullptr, data, size);
    RegCloseKey(key);
    return status;
}

} // namespace

BOOL BuildConfigKeyPath(HINSTANCE instance, LPCSTR first, UINT companyId, UINT productId,
                        UINT versionId, LPSTR path, DWORD size) {
    if (!path || size == 0) return FALSE;
    path[0] = '\0';
    DWORD length = 0;
    char word[256];
    bool fits = Append(path, size, length, first);
    const UINT ids[] = {companyId, productId, versionId};
    for (int i = 0; i < 3 && fits; ++i) {
        LoadStringA(instance, ids[i], word, sizeof word);
        fits = Append(path, size, length, word) && (i == 2 || Append(path, size, length, "\\"));
    }
    return fits ? TRUE : FALSE;
}

LONG ReadConfigValue(HKEY root, LPCSTR path, LPCSTR valueName, LPBYTE data, DWORD size) {
    return QueryConfigValue(root, path, valueName, data, &size);
}

LONG WriteConfigDword(HKEY root, LPCSTR path, LPCSTR valueName, const BYTE* data, DWORD size) {
    HKEY key;
    LONG status = RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExA(key, valueName, 0, REG_DWORD, data, size);
    RegCloseKey(key);
    return status;
}

LONG ReadConfigText(HKEY root, LPCSTR path, LPCSTR valueName, LPSTR text, DWORD size) {
    if (!text || size == 0) return ERROR_INVALID_PARAMETER;
    DWORD got = size;
    LONG status = QueryConfigValue(root, path, valueName, reinterpret_cast<LPBYTE>(text), &got);
    // The bytes that arrived need not hold a terminator: end the text after them.
    if (status == ERROR_SUCCESS && !std::memchr(text, '\0', got < size ? got : size))
        text[got < size ? got : size - 1] = '\0';
    text[size - 1] = '\0';
    return status;
}

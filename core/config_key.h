// The configuration key: HKEY_LOCAL_MACHINE, a first component ("SOFTWARE\" or "Software\"), then
// the company, product and version words of the deliverable's own string table, joined by
// backslashes. Nothing here creates the key: the installation does; when it is missing, reads and
// writes are skipped.
#pragma once

#include "win32.h"

// Value names.
#define CONFIG_MODEL_NAME "Model Name"
#define CONFIG_PATH "Path"
#define CONFIG_LPT "LPTx"
#define CONFIG_ACTIVE_MODE "ActiveMode"
#define CONFIG_ACTIVE_PORT "ActivePort"

// Writes the key's path into `path` (at most `size` bytes, always terminated): `first`, then the
// strings `companyId`, `productId` and `versionId` of `instance`'s string table, loaded now, with
// a backslash between them and none at the end. Returns FALSE when the path did not fit; the
// buffer then holds a cut path that opens no key of ours.
BOOL BuildConfigKeyPath(HINSTANCE instance, LPCSTR first, UINT companyId, UINT productId,
                        UINT versionId, LPSTR path, DWORD size);

// One-shot access to one value. Each opens the key with RegOpenKeyExA and KEY_ALL_ACCESS and
// returns the open's status when that fails; otherwise the query's (or the set's) status.
LONG ReadConfigValue(HKEY root, LPCSTR path, LPCSTR valueName, LPBYTE data, DWORD size);
LONG WriteConfigDword(HKEY root, LPCSTR path, LPCSTR valueName, const BYTE* data, DWORD size);

// ReadConfigValue for a text buffer: afterwards the text is terminated within the buffer, whatever
// the value held (a DWORD read as text gives four bytes with no terminator of their own). A value
// missing or too long for the buffer leaves the buffer's text as it was.
LONG ReadConfigText(HKEY root, LPCSTR path, LPCSTR valueName, LPSTR text, DWORD size);

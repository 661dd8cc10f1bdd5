// The profile: win.ini in the machine root.
#pragma once

#include "base.h"

extern "C" {
DWORD WINAPI GetProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size);
DWORD WINAPI GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                               DWORD size);
BOOL WINAPI WriteProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value);
}

// The shell: the notification area (the tray) and starting programs by their files.
#pragma once

#include "base.h"
#include "user.h"

#define NIM_ADD 0x00000000u
#define NIM_MODIFY 0x00000001u
#define NIM_DELETE 0x00000002u

#define NIF_MESSAGE 0x00000001u
#define NIF_ICON 0x00000002u
#define NIF_TIP 0x00000004u

typedef struct _NOTIFYICONDATAA {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[64];
} NOTIFYICONDATAA, *PNOTIFYICONDATAA;

// The size of the record on the 32-bit Windows the programs were written for.
#define NOTIFYICONDATAA_V1_SIZE 88

#ifndef SW_SHOWNORMAL
#define SW_SHOWNORMAL 1
#endif

extern "C" {
BOOL WINAPI Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data);
HINSTANCE WINAPI ShellExecuteA(HWND window, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                               LPCSTR directory, INT showCommand);
}

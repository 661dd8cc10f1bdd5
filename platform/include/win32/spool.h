// The print spooler's side: printer records and the print monitor interface.
#pragma once

#include "base.h"
#include "kernel.h"
#include "user.h"

// PORT_INFO_2 fPortType
#define PORT_TYPE_WRITE 0x0001u
#define PORT_TYPE_READ 0x0002u
#define PORT_TYPE_REDIRECTED 0x0004u
#define PORT_TYPE_NET_ATTACHED 0x0008u

typedef struct _PORT_INFO_1A {
    LPSTR pName;
} PORT_INFO_1A, PORT_INFO_1, *LPPORT_INFO_1;

typedef struct _PORT_INFO_2A {
    LPSTR pPortName;
    LPSTR pMonitorName;
    LPSTR pDescription;
    DWORD fPortType;
    DWORD Reserved;
} PORT_INFO_2A, PORT_INFO_2, *LPPORT_INFO_2;

// The entry points a print monitor hands the spooler, in slot order.
typedef struct _MONITOR {
    BOOL(WINAPI* pfnEnumPorts)(LPSTR name, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                               LPDWORD returned);
    BOOL(WINAPI* pfnOpenPort)(LPSTR name, LPHANDLE handle);
    BOOL(WINAPI* pfnOpenPortEx)(LPSTR portName, LPSTR printerName, LPHANDLE handle,
                                struct _MONITOR* monitor);
    BOOL(WINAPI* pfnStartDocPort)(HANDLE port, LPSTR printerName, DWORD jobId, DWORD level,
                                  LPBYTE docInfo);
    BOOL(WINAPI* pfnWritePort)(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD written);
    BOOL(WINAPI* pfnReadPort)(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read);
    BOOL(WINAPI* pfnEndDocPort)(HANDLE port);
    BOOL(WINAPI* pfnClosePort)(HANDLE port);
    BOOL(WINAPI* pfnAddPort)(LPSTR name, HWND window, LPSTR monitorName);
    BOOL(WINAPI* pfnConfigurePort)(LPSTR name, HWND window, LPSTR portName);
    BOOL(WINAPI* pfnDeletePort)(LPSTR name, HWND window, LPSTR portName);
    BOOL(WINAPI* pfnGetPrinterDataFromPort)(HANDLE port, DWORD controlId, LPSTR valueName,
                                            LPSTR inBuffer, DWORD inSize, LPSTR outBuffer,
                                            DWORD outSize, LPDWORD returned);
    BOOL(WINAPI* pfnSetPortTimeOuts)(HANDLE port, LPCOMMTIMEOUTS timeouts, DWORD reserved);
} MONITOR, *LPMONITOR;

typedef struct _PRINTER_DEFAULTSA {
    LPSTR pDatatype;
    void* pDevMode;
    DWORD DesiredAccess;
} PRINTER_DEFAULTSA, *LPPRINTER_DEFAULTSA;

typedef struct _PRINTER_INFO_5A {
    LPSTR pPrinterName;
    LPSTR pPortName;
    DWORD Attributes;
    DWORD DeviceNotSelectedTimeout; // milliseconds
    DWORD TransmissionRetryTimeout; // milliseconds
} PRINTER_INFO_5A, PRINTER_INFO_5, *LPPRINTER_INFO_5;

extern "C" {
BOOL WINAPI OpenPrinterA(LPSTR printerName, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults);
BOOL WINAPI GetPrinterA(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed);
BOOL WINAPI ClosePrinter(HANDLE printer);
}

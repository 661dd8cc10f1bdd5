// The print monitor keldrim: what its files share.
//
//   entry.cpp    the module's load and start, port discovery, the port list, EnumPorts
//   job.cpp      the job path: OpenPort to ClosePort, the claim of a parallel port, retries
//   restore.cpp  where the box stands after a job
//   notify.cpp   the message box and the remaining entry points
//   strings.cpp  the string table
//
// The spooler reaches the module through two exports and the MONITOR table. The port records
// are built once at start and never change or go away, so the spooler's handle for a port is the
// record itself.
#pragma once

#include "win32.h"
#include "win32/spool.h"

#include <atomic>

#define KELDRIM_EXPORT extern "C" __attribute__((visibility("default")))

// String table ids.
#define IDS_PRODUCT 512      // "Selvane"
#define IDS_VERSION 513      // "2.00"
#define IDS_COMPANY 514      // "Dorvane"
#define IDS_MASS_STORAGE 515 // "Mass Storage Device"
#define IDS_MONITOR_NAME 516 // "selvane Port"

#define PORT_ENTRY_SIGNATURE 0x4F50u
#define PORT_FLAG_DOCUMENT 0x1u // a document is open on the port

#define LPT_SLOTS 3

// One spooler port. Allocated zero-filled as one block with the characters of its name after
// the fixed fields.
struct PortEntry {
    DWORD signature;
    DWORD size; // bytes of the whole block, name and terminator included
    PortEntry* next;
    LPSTR name;        // inside this block
    LPSTR description; // null for every discovered port
    DWORD flags;
    HANDLE device;  // the parallel port, open while the job holds it; null otherwise
    HANDLE printer; // the job's printer, open while the job holds its parallel port
    DWORD jobId;
    DWORD retryTimeout;       // ms
    DWORD notSelectedTimeout; // ms
    DWORD retryStart;         // tick count; 0: no retry period running
    BYTE command[7];          // the port's switch command; byte 0 is its LptIndex
    CHAR printerName[128];
};

// Module state.
extern HINSTANCE g_instance;
extern DWORD g_tlsIndex;
extern CRITICAL_SECTION MonitorLock;
extern PortEntry* PortList;
// The job that holds each parallel port. A slot goes from empty to held in one indivisible step,
// so two jobs that write their first data at the same moment never both get it.
extern std::atomic<PortEntry*> LptOwner[LPT_SLOTS];

// entry.cpp
KELDRIM_EXPORT BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID reserved);
KELDRIM_EXPORT BOOL WINAPI InitializeMonitorEx(LPSTR registerRoot, LPMONITOR monitor);
PortEntry* FindPort(LPCSTR name);
PortEntry* CreatePortEntry(LPCSTR name, const BYTE command[7]);
void DiscoverPorts();
DWORD PortInfoSize(const PortEntry* entry, DWORD level);
LPBYTE PackPortInfo(const PortEntry* entry, DWORD level, LPBYTE structure, LPBYTE end);
BOOL WINAPI EnumPorts(LPSTR serverName, DWORD level, LPBYTE ports, DWORD bufferSize, LPDWORD needed,
                      LPDWORD returned);

// job.cpp
BOOL WINAPI OpenPort(LPSTR portName, LPHANDLE handle);
BOOL WINAPI StartDocPort(HANDLE port, LPSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo);
BOOL WINAPI WritePort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD written);
BOOL WINAPI ReadPort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read);
BOOL WINAPI EndDocPort(HANDLE port);
BOOL WINAPI ClosePort(HANDLE port);
BOOL WriteWithRetry(PortEntry* entry, LPCVOID buffer, DWORD size, LPDWORD written);
bool RetryExpired(PortEntry* entry, DWORD timeout);
void ReadPrinterTimeouts(PortEntry* entry);
// True while the port's job holds its parallel port with the device open.
bool HoldsOpenDevice(const PortEntry* entry);

// restore.cpp
BOOL RestoreAfterJob(PortEntry* entry);

// notify.cpp
int MonitorMessageBox(HWND owner, UINT style, UINT captionId, UINT textId, ...);
BOOL WINAPI AddPort(LPSTR serverName, HWND window, LPSTR monitorName);
BOOL WINAPI ConfigurePort(LPSTR serverName, HWND window, LPSTR portName);
BOOL WINAPI DeletePort(LPSTR serverName, HWND window, LPSTR portName);
BOOL WINAPI GetPrinterDataFromPort(HANDLE port, DWORD controlId, LPSTR valueName, LPSTR inBuffer,
                                   DWORD inSize, LPSTR outBuffer, DWORD outSize, LPDWORD returned);
BOOL WINAPI SetPortTimeOuts(HANDLE port, LPCOMMTIMEOUTS timeouts, DWORD reserved);

// Runs an entry point's body so that no C++ exception leaves the module: an exception (only
// std::bad_alloc can come from below) becomes FALSE with ERROR_NOT_ENOUGH_MEMORY.
template <class Body> BOOL Guarded(Body body) {
    try {
        return body();
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

// The job path: OpenPort, StartDocPort, WritePort, ReadPort, EndDocPort, ClosePort.
//
// Several spooler ports share one parallel port, and the box connects it to one device port at a
// time. The first write of a job claims the parallel port (its LptOwner slot), switches the box
// to the job's device port and opens the device; jobs of the other ports of that parallel port
// wait in 5-second steps until the holder's EndDocPort. The spooler never calls two entry points
// for one port at the same time, so a port's job fields need no lock; only the slots are shared.
//
//   OpenPort .. ClosePort     the entry points
//   ClaimDevice               opening the device for the job that holds the parallel port
//   WriteWithRetry, RetryExpired, ReadPrinterTimeouts
#include "keldrim.h"

#include "switch_command.h"

#include <cstring>

namespace {

// The write time-out bounds each pass of the retry loop; the read time-outs serve ReadPort.
const DWORD kWriteTimeout = 3000;
const DWORD kReadTimeout = 5000;
const DWORD kReadIntervalTimeout = 200;
const DWORD kWaitForParallelPort = 5000;
const DWORD kDefaultNotSelectedTimeout = 15000;
const DWORD kDefaultRetryTimeout = 45000;

PortEntry* Entry(HANDLE port) {
    return static_cast<PortEntry*>(port);
}

std::atomic<PortEntry*>& OwnerSlot(const PortEntry* entry) {
    return LptOwner[entry->command[0] < LPT_SLOTS ? entry->command[0] : 0];
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// Opens the parallel port for the job that holds it: "LPx2-  PB (selvane)" writes to LPT2.
bool ClaimDevice(PortEntry* entry) {
    char deviceName[5];
    std::memcpy(deviceName, entry->name, 4);
    deviceName[2] = 'T';
    deviceName[4] = '\0';
    HANDLE device = CreateFileA(deviceName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (device == INVALID_HANDLE_VALUE) return false;
    entry->device = device;
    SetEndOfFile(device);
    if (!entry->printer) ReadPrinterTimeouts(entry);
    COMMTIMEOUTS timeouts;
    if (GetCommTimeouts(device, &timeouts)) {
        timeouts.WriteTotalTimeoutConstant = kWriteTimeout;
        timeouts.ReadTotalTimeoutConstant = kReadTimeout;
        timeouts.ReadIntervalTimeout = kReadIntervalTimeout;
        SetCommTimeouts(device, &timeouts);
    }
    return true;
}

// Closes what the job opened while it held its parallel port.
void CloseJob(PortEntry* entry) {
    if (entry->printer) {
        ClosePrinter(entry->printer);
        entry->printer = nullptr;
    }
    if (entry->device) {
        // Pending reads are abandoned; data still on its way out to the printer is kept.
        PurgeComm(entry->device, PURGE_RXABORT | PURGE_RXCLEAR);
        CloseHandle(entry->device);
        entry->device = nullptr;
    }
}

} // namespace

bool HoldsOpenDevice(const PortEntry* entry) {
    return (entry->flags & PORT_FLAG_DOCUMENT) && entry->device && OwnerSlot(entry).load() == entry;
}

BOOL WINAPI OpenPort(LPSTR portName, LPHANDLE handle) {
    return Guarded([&] {
        EnterCriticalSection(&MonitorLock);
        PortEntry* entry = FindPort(portName);
        if (entry && handle) *handle = entry;
        LeaveCriticalSection(&MonitorLock);
        return entry ? TRUE : FALSE;
    });
}

BOOL WINAPI StartDocPort(HANDLE port, LPSTR printerName, DWORD jobId, DWORD, LPBYTE) {
    PortEntry* entry = Entry(port);
    if (entry->flags & PORT_FLAG_DOCUMENT) return TRUE;
    entry->jobId = jobId;
    // A longer printer name is cut to what the record holds.
    std::memset(entry->printerName, 0, sizeof entry->printerName);
    if (printerName) std::strncpy(entry->printerName, printerName, sizeof entry->printerName - 1);
    entry->flags |= PORT_FLAG_DOCUMENT;
    return TRUE;
}

BOOL WINAPI WritePort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD written) {
    return Guarded([&] {
        PortEntry* entry = Entry(port);
        DWORD taken = 0;
        if (!written) written = &taken;
        *written = 0;
        PortEntry* holder = nullptr;
        if (OwnerSlot(entry).compare_exchange_strong(holder, entry)) {
            // The parallel port is ours: the box is switched before the device is opened, so the
            // first byte already goes to this port's printer.
            SwitchCommand command;
            std::memcpy(command.bytes, entry->command, sizeof command.bytes);
            SendSwitchCommand(command);
            if (!ClaimDevice(entry)) return Fail(ERROR_SHARING_VIOLATION); // the claim stays
        } else if (holder != entry) {
            // Another port's job holds the parallel port: the spooler calls again with the same
            // data after this wait.
            Sleep(kWaitForParallelPort);
            return TRUE;
        } else if (!entry->device) {
            // The device failed to open at the claim: try again rather than drop the job's data.
            if (!ClaimDevice(entry)) return Fail(ERROR_SHARING_VIOLATION);
        }
        if (size == 0) return TRUE;
        return WriteWithRetry(entry, buffer, size, written);
    });
}

BOOL WriteWithRetry(PortEntry* entry, LPCVOID buffer, DWORD size, LPDWORD written) {
    for (;;) {
        *written = 0;
        BOOL ok = WriteFile(entry->device, buffer, size, written, nullptr);
        if (ok || *written > 0) {
            // A partial write counts: the spooler passes the rest in its next call.
            entry->retryStart = 0;
            return TRUE;
        }
        DWORD errors = 0;
        if (!ClearCommError(entry->device, &errors, nullptr)) errors = 0;
        DWORD error = 0;
        if (errors & CE_OOP) {
            error = ERROR_OUT_OF_PAPER;
        } else if (errors & (CE_IOE | CE_BREAK)) {
            error = ERROR_IO_DEVICE;
        } else if (errors & CE_DNS) {
            if (RetryExpired(entry, entry->notSelectedTimeout)) error = ERROR_NOT_READY;
        } else if (RetryExpired(entry, entry->retryTimeout)) {
            error = ERROR_COUNTER_TIMEOUT;
        }
        if (error) {
            *written = 0;
            return Fail(error);
        }
        // No sleep here: each pass lasts as long as the write waited, up to its time-out.
    }
}

bool RetryExpired(PortEntry* entry, DWORD timeout) {
    if (timeout == 0) return false; // a time-out of 0 never ends
    DWORD now = GetTickCount();
    // The failed write that led here has already waited its write time-out.
    if (entry->retryStart == 0) entry->retryStart = now - kWriteTimeout;
    if (now - entry->retryStart < timeout) return false; // unsigned: the tick count may wrap
    entry->retryStart = 0;
    return true;
}

void ReadPrinterTimeouts(PortEntry* entry) {
    entry->notSelectedTimeout = kDefaultNotSelectedTimeout;
    entry->retryTimeout = kDefaultRetryTimeout;
    HANDLE printer = nullptr;
    if (!OpenPrinterA(entry->printerName, &printer, nullptr)) {
        entry->printer = nullptr;
        return;
    }
    entry->printer = printer;
    alignas(PRINTER_INFO_5) BYTE info[540];
    DWORD needed = 0;
    if (GetPrinterA(printer, 5, info, sizeof info, &needed)) {
        PRINTER_INFO_5 level5;
        std::memcpy(&level5, info, sizeof level5);
        entry->notSelectedTimeout = level5.DeviceNotSelectedTimeout;
        entry->retryTimeout = level5.TransmissionRetryTimeout;
    }
}

BOOL WINAPI ReadPort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read) {
    return Guarded([&] {
        PortEntry* entry = Entry(port);
        if (read) *read = 0;
        if (!entry->device || OwnerSlot(entry).load() != entry) return Fail(ERROR_INVALID_HANDLE);
        return ReadFile(entry->device, buffer, size, read, nullptr);
    });
}

BOOL WINAPI EndDocPort(HANDLE port) {
    return Guarded([&] {
        PortEntry* entry = Entry(port);
        std::atomic<PortEntry*>& slot = OwnerSlot(entry);
        bool holder = slot.load() == entry;
        if (!(entry->flags & PORT_FLAG_DOCUMENT)) {
            // No document: a claim of this port's own (a write without StartDocPort) is given up;
            // another job's claim is not touched. No restore: no job ended here.
            if (holder) {
                CloseJob(entry);
                slot.store(nullptr);
            }
            return TRUE;
        }
        if (!holder) {
            // The job ended while it waited: it opened nothing, and the parallel port, the box
            // and the restore belong to the job that holds it.
            EnterCriticalSection(&MonitorLock);
            entry->flags &= ~PORT_FLAG_DOCUMENT;
            LeaveCriticalSection(&MonitorLock);
            return TRUE;
        }
        CloseJob(entry);
        EnterCriticalSection(&MonitorLock);
        entry->flags &= ~PORT_FLAG_DOCUMENT;
        LeaveCriticalSection(&MonitorLock);
        // The restore runs while the claim still stands, so that a job of another port of this
        // parallel port cannot have claimed it and been switched away from.
        RestoreAfterJob(entry);
        slot.store(nullptr);
        return TRUE;
    });
}

BOOL WINAPI ClosePort(HANDLE) {
    return TRUE;
}

// The module's load and start, port discovery, the port list and EnumPorts.
//
//   DllEntryPoint, InitializeMonitorEx   the two exports
//   DiscoverPorts, DiscoverNode          one port per parallel port and port subkey
//   CreatePortEntry, FindPort            the port list
//   EnumPorts, PortInfoSize, PackPortInfo
#include "keldrim.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>

HINSTANCE g_instance;
DWORD g_tlsIndex = TLS_OUT_OF_INDEXES;
CRITICAL_SECTION MonitorLock;
PortEntry* PortList;
std::atomic<PortEntry*> LptOwner[LPT_SLOTS];

namespace {

const char kEnumKey[] = "Config Manager\\Enum";
// The installer writes this key; its name is the product word, a space and "Port".
const char kMonitorKey[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\selvane Port\\";
const char kLocalPort[] = "Local Port";
// Port names are kept to 127 characters, as every buffer the spooler hands a port name in.
const size_t kMaxPortName = 127;

bool IEquals(LPCSTR a, LPCSTR b) {
    for (; *a && *b; ++a, ++b)
        if (std::toupper(static_cast<unsigned char>(*a)) !=
            std::toupper(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

// Reads a text value into `text`; false when it is missing or does not fit with its terminator.
bool ReadText(HKEY key, LPCSTR valueName, LPSTR text, DWORD size) {
    DWORD got = size;
    if (RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(text), &got) !=
        ERROR_SUCCESS)
        return false;
    if (std::memchr(text, '\0', got)) return true;
    if (got >= size) return false; // no room left for the terminator: counts as too long
    text[got] = '\0';
    return true;
}

PortEntry* Lookup(LPCSTR name) {
    for (PortEntry* entry = PortList; entry; entry = entry->next)
        if (IEquals(entry->name, name)) return entry;
    return nullptr;
}

// The ports of one port subkey of the monitor's key on the parallel port `lpt`.
void AddSwitchPort(HKEY monitorKey, LPCSTR subkey, LPCSTR prefix, BYTE lpt) {
    HKEY portKey;
    if (RegOpenKeyExA(monitorKey, subkey, 0, KEY_READ, &portKey) != ERROR_SUCCESS) return;
    BYTE command[7] = {};
    DWORD size = sizeof command;
    LONG status = RegQueryValueExA(portKey, "Command", nullptr, nullptr, command, &size);
    RegCloseKey(portKey);
    // A command shorter than its 6 bytes would leave the box half told: no port for it.
    if (status != ERROR_SUCCESS || size < 6) return;
    char name[kMaxPortName + 2];
    int length = std::snprintf(name, sizeof name, "%s  %s (selvane)", prefix, subkey);
    if (length < 0 || static_cast<size_t>(length) > kMaxPortName) return;
    if (FindPort(name)) return;
    BYTE full[7] = {lpt, command[0], command[1], command[2], command[3], command[4], command[5]};
    CreatePortEntry(name, full);
}

// One device node of the hardware enumeration: a parallel port gets one port per port subkey.
void DiscoverNode(HKEY enumKey, LPCSTR node) {
    HKEY nodeKey;
    if (RegOpenKeyExA(enumKey, node, 0, KEY_READ, &nodeKey) != ERROR_SUCCESS) return;
    char hardware[122];
    HKEY hardwareKey = nullptr;
    if (ReadText(nodeKey, "HardWareKey", hardware, sizeof hardware)) {
        char path[sizeof "Enum\\" + sizeof hardware];
        std::snprintf(path, sizeof path, "Enum\\%s", hardware);
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &hardwareKey) != ERROR_SUCCESS)
            hardwareKey = nullptr;
    }
    char portClass[128], portName[128];
    if (hardwareKey && ReadText(hardwareKey, "Class", portClass, sizeof portClass) &&
        IEquals(portClass, "ports") &&
        ReadText(hardwareKey, "PortName", portName, sizeof portName) &&
        std::strncmp(portName, "LPT", 3) == 0) {
        BYTE lpt = portName[3] == '2' ? 1 : portName[3] == '3' ? 2 : 0;
        char prefix[sizeof portName + 1];
        std::snprintf(prefix, sizeof prefix, "%s-", portName);
        prefix[2] = 'x';
        HKEY monitorKey;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMonitorKey, 0, KEY_READ, &monitorKey) ==
            ERROR_SUCCESS) {
            DWORD used = 0, size = sizeof used;
            if (RegQueryValueExA(monitorKey, "PortUsed", nullptr, nullptr,
                                 reinterpret_cast<LPBYTE>(&used), &size) != ERROR_SUCCESS)
                used = 4;
            for (DWORD j = 0; j < used; ++j) {
                char subkey[256];
                LONG status = RegEnumKeyA(monitorKey, j, subkey, sizeof subkey);
                if (status == ERROR_MORE_DATA) continue; // a name too long for any port
                if (status != ERROR_SUCCESS) break;
                AddSwitchPort(monitorKey, subkey, prefix, lpt);
            }
            RegCloseKey(monitorKey);
        }
    }
    if (hardwareKey) RegCloseKey(hardwareKey);
    RegCloseKey(nodeKey);
}

} // namespace

void DiscoverPorts() {
    HKEY enumKey;
    if (RegOpenKeyExA(HKEY_DYN_DATA, kEnumKey, 0, KEY_READ, &enumKey) != ERROR_SUCCESS) return;
    char node[256];
    for (DWORD i = 0;; ++i) {
        LONG status = RegEnumKeyA(enumKey, i, node, sizeof node);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) break;
        DiscoverNode(enumKey, node);
    }
    RegCloseKey(enumKey);
}

PortEntry* CreatePortEntry(LPCSTR name, const BYTE command[7]) {
    size_t length = std::strlen(name);
    DWORD size = static_cast<DWORD>(sizeof(PortEntry) + length + 1);
    EnterCriticalSection(&MonitorLock);
    auto* entry = static_cast<PortEntry*>(LocalAlloc(LPTR, size));
    if (entry) {
        entry->signature = PORT_ENTRY_SIGNATURE;
        entry->size = size;
        entry->name = reinterpret_cast<LPSTR>(entry + 1);
        std::memcpy(entry->name, name, length + 1);
        std::memcpy(entry->command, command, sizeof entry->command);
        PortEntry** tail = &PortList;
        while (*tail)
            tail = &(*tail)->next;
        *tail = entry;
    }
    LeaveCriticalSection(&MonitorLock);
    return entry;
}

PortEntry* FindPort(LPCSTR name) {
    if (!name) return nullptr;
    PortEntry* found = Lookup(name);
    if (found || !*name) return found;
    // The spooler names ports with and without a trailing colon: try the other form.
    size_t length = std::strlen(name);
    auto* other = static_cast<LPSTR>(LocalAlloc(LPTR, length + 2));
    if (!other) return nullptr;
    std::memcpy(other, name, length);
    if (other[length - 1] == ':')
        other[length - 1] = '\0';
    else
        other[length] = ':';
    found = Lookup(other);
    LocalFree(other);
    return found;
}

DWORD PortInfoSize(const PortEntry* entry, DWORD level) {
    DWORD name = static_cast<DWORD>(std::strlen(entry->name));
    switch (level) {
    case 1:
        return sizeof(PORT_INFO_1) + name + 1;
    case 2: {
        DWORD description =
            entry->description ? static_cast<DWORD>(std::strlen(entry->description)) : 0;
        // Three terminators are counted even when there is no description.
        return sizeof(PORT_INFO_2) + name + description + (sizeof kLocalPort - 1) + 3;
    }
    default:
        return 0;
    }
}

LPBYTE PackPortInfo(const PortEntry* entry, DWORD level, LPBYTE structure, LPBYTE end) {
    auto pack = [&end](LPCSTR text) -> LPSTR {
        if (!text) return nullptr;
        size_t size = std::strlen(text) + 1;
        end -= size;
        std::memcpy(end, text, size);
        return reinterpret_cast<LPSTR>(end);
    };
    // The caller's buffer need not be aligned for the structures: they are copied in whole.
    if (level == 1) {
        PORT_INFO_1 info{};
        info.pName = pack(entry->name);
        std::memcpy(structure, &info, sizeof info);
    } else if (level == 2) {
        PORT_INFO_2 info{};
        info.pPortName = pack(entry->name);
        info.pMonitorName = pack(kLocalPort);
        info.pDescription = pack(entry->description);
        info.fPortType = PORT_TYPE_WRITE | PORT_TYPE_READ;
        info.Reserved = 0;
        std::memcpy(structure, &info, sizeof info);
    }
    return end;
}

BOOL WINAPI EnumPorts(LPSTR, DWORD level, LPBYTE ports, DWORD bufferSize, LPDWORD needed,
                      LPDWORD returned) {
    if (level > 2) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    EnterCriticalSection(&MonitorLock);
    DWORD total = 0;
    for (const PortEntry* entry = PortList; entry; entry = entry->next)
        total += PortInfoSize(entry, level);
    if (needed) *needed = total;
    if (total > bufferSize) {
        LeaveCriticalSection(&MonitorLock);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    DWORD count = 0;
    size_t stride = level == 1 ? sizeof(PORT_INFO_1) : level == 2 ? sizeof(PORT_INFO_2) : 0;
    LPBYTE structure = ports;
    LPBYTE end = ports ? ports + bufferSize : nullptr;
    for (const PortEntry* entry = PortList; entry; entry = entry->next) {
        if (stride) {
            end = PackPortInfo(entry, level, structure, end);
            structure += stride;
        }
        ++count;
    }
    if (returned) *returned = count;
    LeaveCriticalSection(&MonitorLock);
    return TRUE;
}

KELDRIM_EXPORT BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == 1) { // process attach
        g_instance = instance;
        g_tlsIndex = TlsAlloc();
    }
    return TRUE;
}

KELDRIM_EXPORT BOOL WINAPI InitializeMonitorEx(LPSTR, LPMONITOR monitor) {
    static std::once_flag created;
    std::call_once(created, [] { InitializeCriticalSection(&MonitorLock); });
    EnterCriticalSection(&MonitorLock);
    try {
        DiscoverPorts();
    } catch (...) {
        // Out of memory in the middle of discovery: the ports found so far are the monitor's.
    }
    if (monitor) {
        monitor->pfnEnumPorts = EnumPorts;
        monitor->pfnOpenPort = OpenPort;
        monitor->pfnOpenPortEx = nullptr; // not offered
        monitor->pfnStartDocPort = StartDocPort;
        monitor->pfnWritePort = WritePort;
        monitor->pfnReadPort = ReadPort;
        monitor->pfnEndDocPort = EndDocPort;
        monitor->pfnClosePort = ClosePort;
        monitor->pfnAddPort = AddPort;
        monitor->pfnConfigurePort = ConfigurePort;
        monitor->pfnDeletePort = DeletePort;
        monitor->pfnGetPrinterDataFromPort = GetPrinterDataFromPort;
        monitor->pfnSetPortTimeOuts = SetPortTimeOuts;
    }
    LeaveCriticalSection(&MonitorLock);
    return TRUE;
}

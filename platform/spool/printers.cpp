// Printer records: OpenPrinterA, GetPrinterA, ClosePrinter.
//
// A printer is a key under HKEY_LOCAL_MACHINE\System\CurrentControlSet\control\Print\Printers
// named after the printer, holding "Name", "Port", "Attributes" and its two time-outs in
// milliseconds, "dnsTimeout" (device not selected) and "txTimeout" (transmission retry). A
// printer handle is a kernel handle; the record is read afresh at every GetPrinterA, so a change
// made by another process is seen at once.
#include "kernel/handles.h"
#include "win32/registry.h"
#include "win32/spool.h"

#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace platform {

namespace {

const char kPrintersKey[] = "System\\CurrentControlSet\\control\\Print\\Printers\\";
// Windows' own defaults for a printer that states no time-outs.
const DWORD kDefaultNotSelectedTimeout = 15000;
const DWORD kDefaultRetryTimeout = 45000;

class PrinterObject : public KernelObject {
public:
    explicit PrinterObject(std::string name) : name_(std::move(name)) {}
    const std::string& name() const { return name_; }

private:
    std::string name_;
};

// An open printer record, closed with the object.
class RecordKey {
public:
    explicit RecordKey(const std::string& printer) {
        std::string path = kPrintersKey + printer;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~RecordKey() {
        if (key_) RegCloseKey(key_);
    }
    RecordKey(const RecordKey&) = delete;
    RecordKey& operator=(const RecordKey&) = delete;

    explicit operator bool() const { return key_ != nullptr; }

    std::optional<std::string> Text(const char* value) const {
        DWORD size = 0;
        if (RegQueryValueExA(key_, value, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        std::string text(size, '\0');
        if (size && RegQueryValueExA(key_, value, nullptr, nullptr,
                                     reinterpret_cast<LPBYTE>(text.data()), &size) != ERROR_SUCCESS)
            return std::nullopt;
        text.resize(std::strlen(text.c_str()));
        return text;
    }
    DWORD Dword(const char* value, DWORD fallback) const {
        DWORD data = 0, size = sizeof data, type = 0;
        if (RegQueryValueExA(key_, value, nullptr, &type, reinterpret_cast<LPBYTE>(&data), &size) !=
                ERROR_SUCCESS ||
            type != REG_DWORD || size != sizeof data)
            return fallback;
        return data;
    }

private:
    HKEY key_ = nullptr;
};

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace

} // namespace platform

using namespace platform;

extern "C" BOOL WINAPI OpenPrinterA(LPSTR printerName, LPHANDLE printer, LPPRINTER_DEFAULTSA) {
    try {
        if (!printer) return Fail(ERROR_INVALID_PARAMETER);
        if (!printerName || !*printerName || std::strchr(printerName, '\\'))
            return Fail(ERROR_INVALID_PRINTER_NAME);
        if (!RecordKey(printerName)) return Fail(ERROR_INVALID_PRINTER_NAME);
        *printer = InsertHandle(std::make_shared<PrinterObject>(printerName));
        return TRUE;
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
}

extern "C" BOOL WINAPI GetPrinterA(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size,
                                   LPDWORD needed) {
    try {
        auto object = LookupHandleAs<PrinterObject>(printer);
        if (!object) return Fail(ERROR_INVALID_HANDLE);
        if (level != 5) return Fail(ERROR_INVALID_LEVEL);
        RecordKey record(object->name());
        if (!record) return Fail(ERROR_INVALID_PRINTER_NAME); // deleted since it was opened
        std::string name = record.Text("Name").value_or(object->name());
        std::string port = record.Text("Port").value_or("");
        DWORD total =
            static_cast<DWORD>(sizeof(PRINTER_INFO_5) + name.size() + 1 + port.size() + 1);
        if (needed) *needed = total;
        if (!buffer || size < total) return Fail(ERROR_INSUFFICIENT_BUFFER);
        // The strings follow the structure, in the caller's buffer.
        PRINTER_INFO_5 info{};
        LPBYTE at = buffer + sizeof info;
        std::memcpy(at, name.c_str(), name.size() + 1);
        info.pPrinterName = reinterpret_cast<LPSTR>(at);
        at += name.size() + 1;
        std::memcpy(at, port.c_str(), port.size() + 1);
        info.pPortName = reinterpret_cast<LPSTR>(at);
        info.Attributes = record.Dword("Attributes", 0);
        info.DeviceNotSelectedTimeout = record.Dword("dnsTimeout", kDefaultNotSelectedTimeout);
        info.TransmissionRetryTimeout = record.Dword("txTimeout", kDefaultRetryTimeout);
        std::memcpy(buffer, &info, sizeof info);
        return TRUE;
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
}

extern "C" BOOL WINAPI ClosePrinter(HANDLE printer) {
    if (!LookupHandleAs<PrinterObject>(printer)) return Fail(ERROR_INVALID_HANDLE);
    RemoveHandle(printer);
    return TRUE;
}

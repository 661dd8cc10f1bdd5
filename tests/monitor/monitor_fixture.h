// What the monitor's tests share: a fresh copy of the real keldrim.so loaded the way the spooler
// loads it, the machine layouts the tests print on, and the emulated box's view of what its
// printers received.
#pragma once

#include "keldrim.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace monitor_test {

// The port names the machine of LaidOut() offers.
inline const char kPortA1[] = "LPx1-  PA (selvane)";
inline const char kPortB1[] = "LPx1-  PB (selvane)";
inline const char kPortC1[] = "LPx1-  PC (selvane)";
inline const char kPortA2[] = "LPx2-  PA (selvane)";

// `selvane setup` with LPT1 and LPT2 and the port subkeys PA to PD; fails the test otherwise.
void LaidOut(const std::vector<std::string>& extra = {});

// The registry as the tests change it, under a root key: paths use backslashes.
void SetText(HKEY root, const std::string& path, const char* value, const std::string& text);
void SetDword(HKEY root, const std::string& path, const char* value, DWORD data);
void SetBinary(HKEY root, const std::string& path, const char* value,
               const std::vector<BYTE>& data);
void DeleteKey(HKEY root, const std::string& path);
void DeleteValue(HKEY root, const std::string& path, const char* value);
bool ReadDword(HKEY root, const std::string& path, const char* value, DWORD& data);

inline const char kMonitorKey[] =
    "System\\CurrentControlSet\\Control\\Print\\Monitors\\selvane Port";
inline const char kConfigKey[] = "Software\\Dorvane\\Selvane\\2.00";
inline const char kPrintersKey[] = "System\\CurrentControlSet\\control\\Print\\Printers";

// A copy of keldrim.so of its own, loaded, attached and started: every test gets a module that
// discovers its ports afresh from the test's machine root. It is never unloaded, as a spooler
// keeps its monitors.
class Monitor {
public:
    Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    const MONITOR& operator*() const { return table_; }
    const MONITOR* operator->() const { return &table_; }
    // The error the module's last failing call on this thread left.
    // The monitor sets the last error of this program, as it would the spooler's.
    DWORD LastError() const { return GetLastError(); }

    std::vector<std::string> PortNames() const;
    // OpenPort; the handle is the port's record.
    PortEntry* Open(const std::string& name) const;

private:
    MONITOR table_{};
};

// Writes all of `data` as the spooler does (the rest again after a partial write, the same
// again when nothing was taken); FALSE with the error of the failing WritePort.
BOOL WriteAll(const Monitor& monitor, PortEntry* port, std::string_view data, DWORD* error);

// A job from StartDocPort to EndDocPort; "" when it printed, else the error's number.
std::string PrintJob(const Monitor& monitor, PortEntry* port, std::string_view data,
                     const std::string& printer = "");

// What the box's printer on LPTn port P received: one string per job.
std::vector<std::string> Received(int lpt, char port);
// Compares what printers received with what was sent, job by job, and names the first byte that
// differs instead of printing megabytes.
::testing::AssertionResult SameJobs(const std::vector<std::string>& received,
                                    const std::vector<std::string>& sent);

// The box's command log, one string per command.
std::vector<std::string> BoxLog();

// Data no two jobs share.
std::string Pattern(size_t size, char seed);

} // namespace monitor_test

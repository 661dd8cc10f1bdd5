// The remaining entry points (AddPort, ConfigurePort, DeletePort, GetPrinterDataFromPort,
// SetPortTimeOuts, ReadPort) and the printer records the monitor reads its time-outs from.
#include "monitor_fixture.h"
#include "support/box.h"
#include "support/temp_root.h"

#include <chrono>
#include <cstring>

using namespace monitor_test;
using testing_support::RunningBox;
using testing_support::TempRoot;

namespace {

// Leaves a known error in the module, so that "sets no error" can be seen.
void MarkLastError(const Monitor& monitor) {
    DWORD needed = 0, returned = 0;
    EXPECT_FALSE(monitor->pfnEnumPorts(nullptr, 3, nullptr, 0, &needed, &returned));
    ASSERT_EQ(monitor.LastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
}

TEST(Entries, AddConfigureDeleteChangeNothing) {
    TempRoot root;
    LaidOut();
    Monitor monitor;
    auto ports = monitor.PortNames();
    char name[] = "LPx1-  PA (selvane)";
    EXPECT_TRUE(monitor->pfnAddPort(nullptr, nullptr, nullptr)); // shows nothing: no strings
    MarkLastError(monitor);
    EXPECT_TRUE(monitor->pfnConfigurePort(nullptr, nullptr, name));
    EXPECT_FALSE(monitor->pfnDeletePort(nullptr, nullptr, name));
    EXPECT_EQ(monitor.LastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
    EXPECT_EQ(monitor.PortNames(), ports);
    EXPECT_EQ(monitor->pfnOpenPortEx, nullptr);
}

TEST(Entries, TheDeviceEntriesActOnlyForTheJobThatHoldsItsPort) {
    TempRoot root;
    LaidOut();
    RunningBox box;
    Monitor monitor;
    PortEntry* port = monitor.Open(kPortA1);
    char value[] = "Value";
    char in[4] = {}, out[16] = {};
    DWORD returned = 0;
    BYTE buffer[8];
    DWORD read = 5;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadTotalTimeoutConstant = 100;

    // No job yet.
    MarkLastError(monitor);
    EXPECT_FALSE(monitor->pfnGetPrinterDataFromPort(port, 1, nullptr, in, 4, out, 16, &returned));
    EXPECT_FALSE(monitor->pfnSetPortTimeOuts(port, &timeouts, 0));
    EXPECT_EQ(monitor.LastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
    EXPECT_FALSE(monitor->pfnReadPort(port, buffer, sizeof buffer, &read));
    EXPECT_EQ(monitor.LastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(read, 0u);

    ASSERT_TRUE(monitor->pfnStartDocPort(port, nullptr, 1, 1, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(monitor->pfnWritePort(port, buffer, 0, &written)); // the claim
    MarkLastError(monitor);
    EXPECT_FALSE(monitor->pfnGetPrinterDataFromPort(port, 1, value, in, 4, out, 16, &returned));
    EXPECT_EQ(monitor.LastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
    // With no value name the request goes to the device, whose answer comes back: the emulated
    // parallel port knows no control codes.
    EXPECT_FALSE(monitor->pfnGetPrinterDataFromPort(port, 1, nullptr, in, 4, out, 16, &returned));
    EXPECT_EQ(monitor.LastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));

    EXPECT_FALSE(monitor->pfnSetPortTimeOuts(port, &timeouts, 1));
    EXPECT_TRUE(monitor->pfnSetPortTimeOuts(port, &timeouts, 0));
    // The read now gives up after 100 ms instead of the claim's 5000 ms.
    auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(monitor->pfnReadPort(port, buffer, sizeof buffer, &read));
    EXPECT_EQ(read, 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2500));
    // The write time-out of the claim stays: a write to an offline printer fails after it.
    EXPECT_TRUE(monitor->pfnEndDocPort(port));
}

// The printer records, through the platform layer's printer functions.
TEST(PrinterRecords, OpenReadAtLevelFiveAndClose) {
    TempRoot root;
    LaidOut();
    SetDword(HKEY_LOCAL_MACHINE, std::string(kPrintersKey) + "\\Printer PB", "dnsTimeout", 1111);
    SetDword(HKEY_LOCAL_MACHINE, std::string(kPrintersKey) + "\\Printer PB", "txTimeout", 2222);
    HANDLE printer = reinterpret_cast<HANDLE>(0x5A5A);
    char unknown[] = "No Such Printer";
    EXPECT_FALSE(OpenPrinterA(unknown, &printer, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
    EXPECT_EQ(printer, reinterpret_cast<HANDLE>(0x5A5A));
    char name[] = "printer pb"; // names compare without regard to case
    ASSERT_TRUE(OpenPrinterA(name, &printer, nullptr));

    const std::string port = "LPx1-  PB (selvane):";
    DWORD expected =
        static_cast<DWORD>(sizeof(PRINTER_INFO_5) + sizeof "Printer PB" + port.size() + 1);
    DWORD needed = 0;
    EXPECT_FALSE(GetPrinterA(printer, 5, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(needed, expected);

    alignas(8) BYTE buffer[512];
    std::memset(buffer, 0xCD, sizeof buffer);
    needed = 0;
    EXPECT_FALSE(GetPrinterA(printer, 5, buffer, expected - 1, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(needed, expected);
    EXPECT_EQ(buffer[0], 0xCD);
    EXPECT_FALSE(GetPrinterA(printer, 2, buffer, sizeof buffer, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));

    ASSERT_TRUE(GetPrinterA(printer, 5, buffer, expected, &needed));
    PRINTER_INFO_5 info;
    std::memcpy(&info, buffer, sizeof info);
    EXPECT_STREQ(info.pPrinterName, "Printer PB");
    EXPECT_STREQ(info.pPortName, port.c_str());
    EXPECT_EQ(info.DeviceNotSelectedTimeout, 1111u);
    EXPECT_EQ(info.TransmissionRetryTimeout, 2222u);
    EXPECT_GE(reinterpret_cast<BYTE*>(info.pPrinterName), buffer + sizeof info);
    EXPECT_EQ(buffer[expected], 0xCD) << "written past the buffer";

    EXPECT_TRUE(ClosePrinter(printer));
    EXPECT_FALSE(ClosePrinter(printer));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(GetPrinterA(printer, 5, buffer, sizeof buffer, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

} // namespace

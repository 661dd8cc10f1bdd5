// Where the box stands after a job: back on a stored mass-storage port, or the printed port
// becomes the stored "ActivePort" of the monitor's own configuration key.
#include "monitor_fixture.h"
#include "support/box.h"
#include "support/temp_root.h"

#include <optional>

using namespace monitor_test;
using testing_support::RunningBox;
using testing_support::Selvane;
using testing_support::TempRoot;

namespace {

TEST(Restore, AfterEachJobByTheStoredPortsDevice) {
    struct Row {
        const char* what;
        std::optional<DWORD> active;  // "ActivePort" before the job
        const char* spoolerValue;     // "PA Spooler".. of that letter, or nullptr
        const char* device;           // its text
        const char* port;             // the job's port
        std::vector<std::string> log; // commands the box received
        std::optional<DWORD> after;   // "ActivePort" after the job
    };
    const char* kMass = "Mass Storage Device";
    const Row rows[] = {
        {"mass storage stored: the box goes back",
         2,
         "PC Spooler",
         kMass,
         "LPx2-  PA (selvane)",
         {"01 11 91 30 B0 0D 8D", "01 11 91 32 B2 0D 8D"},
         2},
        {"mass storage on B, a job on A",
         1,
         "PB Spooler",
         kMass,
         "LPx1-  PA (selvane)",
         {"00 11 91 30 B0 0D 8D", "00 11 91 31 B1 0D 8D"},
         1},
        {"the device text in another case is no storage",
         2,
         "PC Spooler",
         "mass storage device",
         "LPx2-  PA (selvane)",
         {"01 11 91 30 B0 0D 8D"},
         0},
        {"no ActivePort: the printed port is stored",
         std::nullopt,
         nullptr,
         nullptr,
         "LPx1-  PB (selvane)",
         {"00 11 91 31 B1 0D 8D"},
         1},
        {"ActivePort 7: the printed port is stored",
         7,
         nullptr,
         nullptr,
         "LPx1-  PC (selvane)",
         {"00 11 91 32 B2 0D 8D"},
         2},
        {"a port without a letter keeps ActivePort",
         3,
         "PD Spooler",
         "Printer PD,Generic / Text Only,LPx1-  PD (selvane):",
         "LPx1-  PX (selvane)",
         {"00 11 91 30 B0 0D 8D"},
         3},
        {"a port without a letter and no ActivePort",
         std::nullopt,
         nullptr,
         nullptr,
         "LPx1-  PX (selvane)",
         {"00 11 91 30 B0 0D 8D"},
         std::nullopt},
    };
    TempRoot root;
    LaidOut({"--ports", "PA,PB,PC,PD,PX"});
    RunningBox box;
    Monitor monitor;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        DeleteValue(HKEY_LOCAL_MACHINE, kConfigKey, "ActivePort");
        for (const char* value : {"PA Spooler", "PB Spooler", "PC Spooler", "PD Spooler"})
            DeleteValue(HKEY_LOCAL_MACHINE, kConfigKey, value);
        if (row.active) SetDword(HKEY_LOCAL_MACHINE, kConfigKey, "ActivePort", *row.active);
        if (row.spoolerValue) SetText(HKEY_LOCAL_MACHINE, kConfigKey, row.spoolerValue, row.device);
        Selvane({"box", "log", "--clear"});
        EXPECT_EQ(PrintJob(monitor, monitor.Open(row.port), "data"), "");
        EXPECT_EQ(BoxLog(), row.log);
        DWORD after = 99;
        bool present = ReadDword(HKEY_LOCAL_MACHINE, kConfigKey, "ActivePort", after);
        EXPECT_EQ(present, row.after.has_value());
        if (row.after) {
            EXPECT_EQ(after, *row.after);
        }
    }
}

TEST(Restore, WithoutTheConfigurationKeyNothingHappens) {
    TempRoot root;
    LaidOut();
    DeleteKey(HKEY_LOCAL_MACHINE, kConfigKey);
    RunningBox box;
    Monitor monitor;
    EXPECT_EQ(PrintJob(monitor, monitor.Open(kPortB1), "data"), "");
    EXPECT_EQ(BoxLog(), std::vector<std::string>{"00 11 91 31 B1 0D 8D"});
    HKEY key;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kConfigKey, 0, KEY_READ, &key), ERROR_SUCCESS)
        << "the monitor created its key";
}

} // namespace

// The monitor's start: discovery of its ports from the hardware enumeration and its own key,
// EnumPorts at every level, and the lookup of a port by name.
#include "monitor_fixture.h"
#include "support/temp_root.h"

#include <cstring>
#include <functional>
#include <optional>

using namespace monitor_test;
using testing_support::TempRoot;

namespace {

// A device node of the hardware enumeration and the hardware key it names.
void Node(const std::string& node, const std::string& portName, const std::string& cls = "Ports") {
    std::string hardware = "BIOS\\*PNP0400\\" + node;
    SetText(HKEY_DYN_DATA, "Config Manager\\Enum\\" + node, "HardWareKey", hardware);
    SetText(HKEY_LOCAL_MACHINE, "Enum\\" + hardware, "Class", cls);
    SetText(HKEY_LOCAL_MACHINE, "Enum\\" + hardware, "PortName", portName);
}

std::vector<BYTE> Command(int port, size_t size = 6) {
    std::vector<BYTE> bytes = {
        0x11, 0x91, static_cast<BYTE>(0x30 + port), static_cast<BYTE>(0xB0 + port), 0x0D, 0x8D,
        0x77, 0x66};
    bytes.resize(size);
    return bytes;
}

// Port subkeys of the monitor's key, each with the command of its letter; "PortUsed" when given.
void SwitchPorts(const std::vector<std::string>& subkeys, std::optional<DWORD> used) {
    SetText(HKEY_LOCAL_MACHINE, kMonitorKey, "Driver", "keldrim.so");
    for (const auto& subkey : subkeys)
        SetBinary(HKEY_LOCAL_MACHINE, std::string(kMonitorKey) + "\\" + subkey, "Command",
                  Command((subkey[1] - 'A') & 3));
    if (used) SetDword(HKEY_LOCAL_MACHINE, kMonitorKey, "PortUsed", *used);
}

std::string Name(const std::string& lpt, const std::string& subkey) {
    return "LPx" + lpt + "-  " + subkey + " (selvane)";
}

struct DiscoveryCase {
    const char* what;
    std::function<void()> lay;
    std::vector<std::string> ports;
    int lptIndex; // of every port found
};

const DiscoveryCase kDiscovery[] = {
    {"no hardware enumeration",
     [] {
         SwitchPorts({"PA", "PB"}, 2);
     },
     {},
     0},
    {"LPT1 with PA and PB",
     [] {
         Node("0000", "LPT1");
         SwitchPorts({"PA", "PB"}, 2);
     },
     {Name("1", "PA"), Name("1", "PB")},
     0},
    {"the class in upper case",
     [] {
         Node("0000", "LPT2", "PORTS");
         SwitchPorts({"PA"}, 1);
     },
     {Name("2", "PA")},
     1},
    {"a device of another class",
     [] {
         Node("0000", "LPT1", "Modem");
         SwitchPorts({"PA"}, 1);
     },
     {},
     0},
    {"a lower-case lpt1",
     [] {
         Node("0000", "lpt1");
         SwitchPorts({"PA"}, 1);
     },
     {},
     0},
    {"LPT4 takes LPT1's index",
     [] {
         Node("0000", "LPT4");
         SwitchPorts({"PA"}, 1);
     },
     {Name("4", "PA")},
     0},
    {"LPT3",
     [] {
         Node("0000", "LPT3");
         SwitchPorts({"PC"}, 1);
     },
     {Name("3", "PC")},
     2},
    {"PortUsed 0",
     [] {
         Node("0000", "LPT1");
         SwitchPorts({"PA", "PB"}, 0);
     },
     {},
     0},
    {"no PortUsed: the first four subkeys",
     [] {
         Node("0000", "LPT1");
         SwitchPorts({"PA", "PB", "PC", "PD", "PE"}, std::nullopt);
     },
     {Name("1", "PA"), Name("1", "PB"), Name("1", "PC"), Name("1", "PD")},
     0},
    {"PortUsed 10 with three subkeys",
     [] {
         Node("0000", "LPT1");
         SwitchPorts({"PA", "PB", "PC"}, 10);
     },
     {Name("1", "PA"), Name("1", "PB"), Name("1", "PC")},
     0},
    {"a subkey without Command still counts against PortUsed",
     [] {
         Node("0000", "LPT1");
         SwitchPorts({"PB", "PC"}, 2);
         SetText(HKEY_LOCAL_MACHINE, std::string(kMonitorKey) + "\\PA", "Other", "x");
     },
     {Name("1", "PB")},
     0},
    {"Command of 8, 5, 6 and 7 bytes",
     [] {
         Node("0000", "LPT1");
         SwitchPorts({}, 4);
         const size_t sizes[] = {8, 5, 6, 7};
         const char* subkeys[] = {"PA", "PB", "PC", "PD"};
         for (int i = 0; i < 4; ++i)
             SetBinary(HKEY_LOCAL_MACHINE, std::string(kMonitorKey) + "\\" + subkeys[i], "Command",
                       Command(i, sizes[i]));
     },
     {Name("1", "PC"), Name("1", "PD")},
     0},
    {"two nodes of one parallel port",
     [] {
         Node("0000", "LPT1");
         Node("0001", "LPT1");
         SwitchPorts({"PA"}, 1);
     },
     {Name("1", "PA")},
     0},
    {"nodes without a hardware key are passed over",
     [] {
         SetText(HKEY_DYN_DATA, "Config Manager\\Enum\\0000", "Other", "x");
         SetText(HKEY_DYN_DATA, "Config Manager\\Enum\\0001", "HardWareKey", "BIOS\\MISSING");
         Node("0002", "LPT2");
         SwitchPorts({"PA"}, 1);
     },
     {Name("2", "PA")},
     1},
    {"a port name of 127 characters, and one of 128",
     [] {
         Node("0000", "LPT1");
         SwitchPorts({"PA" + std::string(108, 'x'), "PB" + std::string(109, 'x')}, 2);
     },
     {Name("1", "PA" + std::string(108, 'x'))},
     0},
    {"a PortName of 128 characters",
     [] {
         Node("0000", "LPT1" + std::string(124, '1'));
         SwitchPorts({"PA"}, 1);
     },
     {},
     0},
};

TEST(Discovery, PortsFromTheHardwareEnumerationAndTheMonitorsKey) {
    for (const auto& row : kDiscovery) {
        SCOPED_TRACE(row.what);
        TempRoot root;
        row.lay();
        Monitor monitor;
        EXPECT_EQ(monitor.PortNames(), row.ports);
        for (const auto& name : row.ports) {
            PortEntry* entry = monitor.Open(name);
            if (!entry) continue;
            EXPECT_EQ(entry->command[0], row.lptIndex) << name;
        }
    }
}

TEST(Discovery, ThePortRecord) {
    TempRoot root;
    Node("0000", "LPT2");
    SwitchPorts({"PC"}, 1);
    Monitor monitor;
    PortEntry* entry = monitor.Open(Name("2", "PC"));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->signature, 0x4F50u);
    EXPECT_EQ(entry->size, sizeof(PortEntry) + std::strlen("LPx2-  PC (selvane)") + 1);
    EXPECT_EQ(entry->name, reinterpret_cast<char*>(entry + 1)); // inside its own block
    EXPECT_STREQ(entry->name, "LPx2-  PC (selvane)");
    EXPECT_EQ(entry->description, nullptr);
    const BYTE command[7] = {1, 0x11, 0x91, 0x32, 0xB2, 0x0D, 0x8D};
    EXPECT_EQ(std::memcmp(entry->command, command, 7), 0);
    EXPECT_EQ(entry->flags, 0u);
    EXPECT_EQ(entry->next, nullptr);
}

// EnumPorts on the machine of `selvane setup`: eight ports, LPT1 and LPT2 times PA to PD.
class EnumPortsTest : public ::testing::Test {
protected:
    void SetUp() override {
        LaidOut();
        monitor_.emplace();
        names_ = {Name("1", "PA"), Name("1", "PB"), Name("1", "PC"), Name("1", "PD"),
                  Name("2", "PA"), Name("2", "PB"), Name("2", "PC"), Name("2", "PD")};
    }
    DWORD Needed(DWORD level) const {
        DWORD total = 0;
        for (const auto& name : names_)
            total += level == 1   ? static_cast<DWORD>(sizeof(PORT_INFO_1) + name.size() + 1)
                     : level == 2 ? static_cast<DWORD>(sizeof(PORT_INFO_2) + name.size() + 13)
                                  : 0;
        return total;
    }

    static constexpr BYTE kSentinel = 0xCD;
    static constexpr DWORD kUntouched = 0xDEADBEEF;
    TempRoot root_;
    std::optional<Monitor> monitor_;
    std::vector<std::string> names_;
};

TEST_F(EnumPortsTest, EveryLevelWithAnExactBufferAndOneByteShort) {
    struct Row {
        DWORD level;
        int shortBy; // bytes fewer than needed
        BOOL result;
        DWORD error;
    };
    const Row rows[] = {
        {0, 0, TRUE, 0},
        {1, 0, TRUE, 0},
        {1, 1, FALSE, ERROR_INSUFFICIENT_BUFFER},
        {2, 0, TRUE, 0},
        {2, 1, FALSE, ERROR_INSUFFICIENT_BUFFER},
        {3, 0, FALSE, ERROR_INVALID_LEVEL},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("level " + std::to_string(row.level) + ", short by " +
                     std::to_string(row.shortBy));
        DWORD size = Needed(row.level) - row.shortBy;
        std::vector<BYTE> buffer(size + 64, kSentinel); // 64 guard bytes past the end
        DWORD needed = kUntouched, returned = kUntouched;
        BOOL ok =
            (*monitor_)->pfnEnumPorts(nullptr, row.level, buffer.data(), size, &needed, &returned);
        EXPECT_EQ(ok, row.result);
        if (!ok) {
            EXPECT_EQ(monitor_->LastError(), row.error);
        }
        EXPECT_EQ(needed, row.level > 2 ? kUntouched : Needed(row.level));
        EXPECT_EQ(returned, ok ? names_.size() : kUntouched);
        size_t written = 0;
        for (size_t i = 0; i < buffer.size(); ++i)
            written += buffer[i] != kSentinel;
        if (!ok || row.level == 0) {
            EXPECT_EQ(written, 0u) << "the buffer was written";
            continue;
        }
        for (size_t i = size; i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], kSentinel) << "overrun";
        // The first port's name ends at the last byte of the buffer.
        EXPECT_EQ(buffer[size - 1], 0);
        BYTE* begin = buffer.data();
        BYTE* end = begin + size;
        BYTE* below = end; // the strings grow downwards, in port order
        for (size_t i = 0; i < names_.size(); ++i) {
            SCOPED_TRACE(names_[i]);
            if (row.level == 1) {
                PORT_INFO_1 info;
                std::memcpy(&info, begin + i * sizeof info, sizeof info);
                ASSERT_TRUE(info.pName);
                EXPECT_STREQ(info.pName, names_[i].c_str());
                EXPECT_EQ(reinterpret_cast<BYTE*>(info.pName) + names_[i].size() + 1, below);
                below = reinterpret_cast<BYTE*>(info.pName);
            } else {
                PORT_INFO_2 info;
                std::memcpy(&info, begin + i * sizeof info, sizeof info);
                ASSERT_TRUE(info.pPortName && info.pMonitorName);
                EXPECT_STREQ(info.pPortName, names_[i].c_str());
                EXPECT_STREQ(info.pMonitorName, "Local Port");
                EXPECT_EQ(info.pDescription, nullptr);
                EXPECT_EQ(info.fPortType, 3u);
                EXPECT_EQ(info.Reserved, 0u);
                EXPECT_EQ(reinterpret_cast<BYTE*>(info.pPortName) + names_[i].size() + 1, below);
                EXPECT_EQ(reinterpret_cast<BYTE*>(info.pMonitorName) + 11,
                          reinterpret_cast<BYTE*>(info.pPortName));
                below = reinterpret_cast<BYTE*>(info.pMonitorName);
            }
        }
        EXPECT_GE(below, begin + names_.size() *
                                     (row.level == 1 ? sizeof(PORT_INFO_1) : sizeof(PORT_INFO_2)));
    }
}

TEST(EnumPorts, NoPortsAtAll) {
    TempRoot root;
    Monitor monitor;
    DWORD needed = 7, returned = 7;
    BYTE buffer[4] = {0xCD, 0xCD, 0xCD, 0xCD};
    EXPECT_TRUE(monitor->pfnEnumPorts(nullptr, 1, buffer, 0, &needed, &returned));
    EXPECT_EQ(needed, 0u);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(buffer[0], 0xCD);
}

TEST(FindPort, NamesWithAndWithoutTheColonInAnyCase) {
    TempRoot root;
    LaidOut();
    Monitor monitor;
    struct Row {
        const char* name;
        const char* found; // nullptr: no port
    };
    const Row rows[] = {
        {"LPx1-  PA (selvane)", "LPx1-  PA (selvane)"},
        {"LPx1-  PA (selvane):", "LPx1-  PA (selvane)"},
        {"lpx2-  pb (SELVANE)", "LPx2-  PB (selvane)"},
        {"LPX2-  PD (Selvane):", "LPx2-  PD (selvane)"},
        {"LPx1-  PA (selvane)::", nullptr},
        {"LPx1- PA (selvane)", nullptr},
        {"LPT1:", nullptr},
        {":", nullptr},
        {"", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string("\"") + row.name + "\"");
        std::string name = row.name;
        HANDLE handle = reinterpret_cast<HANDLE>(0x5A5A);
        BOOL ok = monitor->pfnOpenPort(name.data(), &handle);
        EXPECT_EQ(ok, row.found ? TRUE : FALSE);
        if (row.found) {
            EXPECT_STREQ(static_cast<PortEntry*>(handle)->name, row.found);
        } else {
            EXPECT_EQ(handle, reinterpret_cast<HANDLE>(0x5A5A));
        }
    }
    HANDLE handle = nullptr;
    EXPECT_FALSE(monitor->pfnOpenPort(nullptr, &handle));
}

} // namespace

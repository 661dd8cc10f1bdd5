#include "support/box.h"
#include "support/temp_root.h"
#include "switch_command.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

using testing_support::RunningBox;
using testing_support::Selvane;
using testing_support::TempRoot;

namespace {

std::string Hex(const SwitchCommand& command) {
    std::string out;
    char byte[4];
    for (unsigned char b : command.bytes) {
        std::snprintf(byte, sizeof byte, out.empty() ? "%02X" : " %02X", b);
        out += byte;
    }
    return out;
}

TEST(SwitchCommand, EveryPortOnEveryLpt) {
    const char* ports[] = {"11 91 30 B0 0D 8D", "11 91 31 B1 0D 8D", "11 91 32 B2 0D 8D",
                           "11 91 33 B3 0D 8D"};
    for (LptIndex lpt = 0; lpt < 3; ++lpt) {
        for (SwitchPort port = 0; port < 4; ++port) {
            std::string expected = "0" + std::to_string(lpt) + " " + ports[port];
            EXPECT_EQ(Hex(MakeSwitchCommand(lpt, port)), expected)
                << "LPT" << lpt + 1 << " port " << char('A' + port);
        }
    }
}

TEST(SwitchCommand, ReachesTheBoxAndTheBoxObeysTheLastCommand) {
    TempRoot root;
    RunningBox box;
    SendSwitchCommand(MakeSwitchCommand(1, 2));
    SendSwitchCommand(MakeSwitchCommand(0, 3));
    SendSwitchCommand(MakeSwitchCommand(1, 0));
    EXPECT_EQ(Selvane({"box", "log"}).out,
              "01 11 91 32 B2 0D 8D\n00 11 91 33 B3 0D 8D\n01 11 91 30 B0 0D 8D\n");
    EXPECT_EQ(Selvane({"box", "status"}).out, "LPT1 D\nLPT2 A\nLPT3 -\n");
}

TEST(SwitchCommand, WithoutTheDriverTheCommandIsDroppedSilently) {
    TempRoot root;
    SendSwitchCommand(MakeSwitchCommand(0, 1)); // returns, nothing to see
    EXPECT_FALSE(TrySendSwitchCommand(MakeSwitchCommand(0, 1)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    {
        RunningBox box; // a box that ran and stopped leaves no driver behind
    }
    EXPECT_FALSE(TrySendSwitchCommand(MakeSwitchCommand(0, 1)));
}

TEST(SwitchCommand, TheBoxRefusesMalformedCommandsAndKeepsItsState) {
    TempRoot root;
    RunningBox box;
    SendSwitchCommand(MakeSwitchCommand(2, 1));
    struct Case {
        const char* what;
        std::vector<BYTE> bytes;
        const char* logged;
    } cases[] = {
        {"LPT index 3", {3, 0x11, 0x91, 0x30, 0xB0, 0x0D, 0x8D}, "03 11 91 30 B0 0D 8D refused"},
        {"port E", {0, 0x11, 0x91, 0x34, 0xB4, 0x0D, 0x8D}, "00 11 91 34 B4 0D 8D refused"},
        {"pair broken", {0, 0x11, 0x91, 0x31, 0xB0, 0x0D, 0x8D}, "00 11 91 31 B0 0D 8D refused"},
        {"six bytes", {0, 0x11, 0x91, 0x30, 0xB0, 0x0D}, "00 11 91 30 B0 0D refused"},
    };
    for (auto& c : cases) {
        Selvane({"box", "log", "--clear"});
        HANDLE driver = CreateFileA("\\\\.\\KELDRIM.VXD", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(driver, INVALID_HANDLE_VALUE);
        DWORD returned;
        EXPECT_FALSE(DeviceIoControl(driver, IOCTL_SWITCH_COMMAND, c.bytes.data(),
                                     static_cast<DWORD>(c.bytes.size()), nullptr, 0, &returned,
                                     nullptr))
            << c.what;
        CloseHandle(driver);
        EXPECT_EQ(Selvane({"box", "log"}).out, std::string(c.logged) + "\n") << c.what;
        EXPECT_EQ(Selvane({"box", "status"}).out, "LPT1 -\nLPT2 -\nLPT3 B\n") << c.what;
    }
}

} // namespace

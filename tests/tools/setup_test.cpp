#include "support/process.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using testing_support::BinPath;
using testing_support::Selvane;
using testing_support::TempRoot;

namespace {

std::string Get(const std::string& key, const std::string& value) {
    auto result = Selvane({"reg", "get", key, value});
    EXPECT_EQ(result.status, 0) << key << " " << value << ": " << result.err;
    return result.out;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

const char kUser[] = "HKLM\\SOFTWARE\\Generic\\Selvane\\2.00";
const char kMonitor[] = "HKLM\\System\\CurrentControlSet\\Control\\Print\\Monitors\\selvane Port";

TEST(Setup, LaysTheMachineOutAsTheInstallationWould) {
    TempRoot root;
    auto result = Selvane({"setup", "--lpt", "LPT1,LPT2"});
    ASSERT_EQ(result.status, 0) << result.err;

    EXPECT_EQ(Get(kUser, "Model Name"), "Selvane 4-1\n");
    EXPECT_EQ(Get("HKLM\\Software\\Dorvane\\Selvane\\2.00", "Model Name"), "Selvane 4-1\n");
    std::string folder = std::filesystem::path(BinPath("selvane")).parent_path().string();
    EXPECT_EQ(Get(kUser, "Path"), folder + "\n");
    EXPECT_EQ(Get(kMonitor, "PortUsed"), "4\n");
    EXPECT_EQ(Get(kMonitor, "Driver"), folder + "/keldrim.so\n");
    EXPECT_EQ(Get(std::string(kMonitor) + "\\PA", "Command"), "11 91 30 B0 0D 8D\n");
    EXPECT_EQ(Get(std::string(kMonitor) + "\\PD", "Command"), "11 91 33 B3 0D 8D\n");

    // Each parallel port is a device node whose hardware key says it is a port.
    auto nodes = Selvane({"reg", "ls", "HKDD\\Config Manager\\Enum"});
    ASSERT_EQ(nodes.status, 0) << nodes.err;
    std::istringstream lines(nodes.out);
    std::string node;
    std::vector<std::string> portNames;
    while (std::getline(lines, node)) {
        ASSERT_EQ(node.back(), '\\');
        node.pop_back();
        std::string hardware = Get("HKDD\\Config Manager\\Enum\\" + node, "HardWareKey");
        hardware.pop_back();
        EXPECT_EQ(Get("HKLM\\Enum\\" + hardware, "Class"), "Ports\n");
        portNames.push_back(Get("HKLM\\Enum\\" + hardware, "PortName"));
    }
    EXPECT_EQ(portNames, (std::vector<std::string>{"LPT1\n", "LPT2\n"}));

    // One printer per port subkey, attached to that port of the first parallel port.
    std::string ini = ReadFile(root.path() / "win.ini");
    EXPECT_NE(ini.find("[devices]\r\nPrinter PA=Generic / Text Only,LPx1-  PA (selvane):\r\n"),
              std::string::npos)
        << ini;
    EXPECT_NE(ini.find("device=Printer PA,Generic / Text Only,LPx1-  PA (selvane):"),
              std::string::npos);
    EXPECT_EQ(Get("HKLM\\System\\CurrentControlSet\\control\\Print\\Printers\\Printer PC", "Port"),
              "LPx1-  PC (selvane):\n");
    EXPECT_EQ(
        Get("HKLM\\System\\CurrentControlSet\\control\\Print\\Printers\\Printer PC", "txTimeout"),
        "45000\n");
}

TEST(Setup, RunningAgainKeepsWhatIsThereUnlessForced) {
    TempRoot root;
    ASSERT_EQ(Selvane({"setup", "--model", "Selvane 2-1"}).status, 0);
    ASSERT_EQ(Selvane({"reg", "set", kUser, "Path", "--sz", "C:\\SELVANE"}).status, 0);
    ASSERT_EQ(Selvane({"setup", "--model", "Selvane 2-2 / 4-2"}).status, 0);
    EXPECT_EQ(Get(kUser, "Model Name"), "Selvane 2-1\n");
    EXPECT_EQ(Get(kUser, "Path"), "C:\\SELVANE\n");
    ASSERT_EQ(
        Selvane({"setup", "--model", "Selvane 2-2 / 4-2", "--path", "/opt/selvane", "--force"})
            .status,
        0);
    EXPECT_EQ(Get(kUser, "Model Name"), "Selvane 2-2 / 4-2\n");
    EXPECT_EQ(Get(kUser, "Path"), "/opt/selvane\n");
}

TEST(Setup, PortsAndPrintersAsGiven) {
    TempRoot root;
    auto result =
        Selvane({"setup", "--ports", "PB,PD", "--printer",
                 "Laser=HPPCL5MS,LPx1-  PB (selvane):", "--printer", "Dots=EPSON9,LPT1:"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Get(kMonitor, "PortUsed"), "2\n");
    EXPECT_EQ(Get(std::string(kMonitor) + "\\PD", "Command"), "11 91 33 B3 0D 8D\n");
    EXPECT_EQ(Selvane({"reg", "get", std::string(kMonitor) + "\\PA", "Command"}).status, 1);
    std::string ini = ReadFile(root.path() / "win.ini");
    EXPECT_NE(ini.find("[devices]\r\nLaser=HPPCL5MS,LPx1-  PB (selvane):\r\nDots=EPSON9,LPT1:\r\n"),
              std::string::npos)
        << ini;
}

TEST(Setup, BadArgumentsChangeNothing) {
    TempRoot root;
    for (std::vector<std::string> args : {std::vector<std::string>{"setup", "--lpt", "COM1"},
                                          {"setup", "--printer", "NoDriver"},
                                          {"setup", "--bogus"},
                                          {"setup", "--ports", ""}}) {
        auto result = Selvane(args);
        EXPECT_EQ(result.status, 2) << args[1] << " " << (args.size() > 2 ? args[2] : "");
        EXPECT_FALSE(result.err.empty());
        EXPECT_FALSE(std::filesystem::exists(root.path() / "registry.db"));
    }
}

} // namespace

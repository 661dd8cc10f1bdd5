// selvane setup: lays the machine out as the installation would.
//
// It writes the configuration keys ("Model Name", "Path"), the print monitor's key ("PortUsed",
// "Driver" and one subkey per port with its 6-byte "Command"), the hardware enumeration of the
// parallel ports, and the printers (win.ini [devices] and their records). Running it again keeps
// every value that is already there, unless --force.
#include "cli.h"
#include "kernel/machine_root.h"
#include "reg_key.h"
#include "registry/registry_store.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>

namespace selvane {

namespace {

const char kHelp[] =
    "usage: selvane setup [--model TEXT] [--path DIR] [--lpt LIST] [--probe] [--ports LIST]\n"
    "                     [--printer \"NAME=DRIVER,PORT\"]... [--monitor FILE] [--force]\n"
    "\n"
    "Lays the machine root out as the installation would; running it again keeps what is there\n"
    "unless --force.\n"
    "  --model TEXT     \"Model Name\" of both configuration keys (default \"Selvane 4-1\")\n"
    "  --path DIR       \"Path\", the folder of the programs (default: this program's folder)\n"
    "  --lpt LIST       the parallel ports present, e.g. LPT1,LPT2 (default LPT1)\n"
    "  --probe          the machine's real parallel ports (/dev/lpN) instead of --lpt\n"
    "  --ports LIST     the print monitor's port subkeys (default PA,PB,PC,PD)\n"
    "  --printer SPEC   a printer, \"NAME=DRIVER,PORT\", in [devices] order; given once or more,\n"
    "                   replaces the default of one printer per port subkey\n"
    "  --monitor FILE   the print monitor module (default keldrim.so in the programs' folder)\n"
    "  --force          overwrite values that are already there\n";

const char kUserKey[] = "SOFTWARE\\Generic\\Selvane\\2.00";
const char kMonitorConfigKey[] = "Software\\Dorvane\\Selvane\\2.00";
const char kMonitorKey[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\selvane Port";
const char kPrintersKey[] = "System\\CurrentControlSet\\control\\Print\\Printers";
const char kEnumKey[] = "Config Manager\\Enum";

// Printers wait this long for a device that is not selected and for a transmission retry.
const DWORD kNotSelectedTimeout = 15000;
const DWORD kRetryTimeout = 45000;

struct Printer {
    std::string name, driver, port;
};

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ','))
        if (!item.empty()) items.push_back(item);
    return items;
}

class Writer {
public:
    explicit Writer(bool force) : force_(force) {}

    HKEY Key(HKEY root, const std::string& path) {
        HKEY key;
        LONG status = RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                      &key, nullptr);
        if (status != ERROR_SUCCESS)
            throw Failure("cannot create " + path + " (error " + std::to_string(status) + ")");
        return key;
    }

    void Set(HKEY key, const std::string& name, DWORD type, const std::vector<BYTE>& data) {
        if (!force_ && RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
                           ERROR_SUCCESS)
            return;
        LONG status = RegSetValueExA(key, name.c_str(), 0, type, data.data(),
                                     static_cast<DWORD>(data.size()));
        if (status != ERROR_SUCCESS)
            throw Failure("cannot set " + name + " (error " + std::to_string(status) + ")");
    }
    void Text(HKEY key, const std::string& name, const std::string& text) {
        std::vector<BYTE> data(text.begin(), text.end());
        data.push_back(0);
        Set(key, name, REG_SZ, data);
    }
    void Dword(HKEY key, const std::string& name, DWORD value) {
        Set(key, name, REG_DWORD,
            {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
             static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)});
    }
    void Profile(const std::string& section, const std::string& key, const std::string& value) {
        char existing[2];
        if (!force_ &&
            GetProfileStringA(section.c_str(), key.c_str(), "\x01", existing, sizeof existing) &&
            existing[0] != '\x01')
            return;
        if (!WriteProfileStringA(section.c_str(), key.c_str(), value.c_str()))
            throw Failure("cannot write win.ini");
    }

private:
    bool force_;
};

struct KeyCloser {
    HKEY key;
    ~KeyCloser() { RegCloseKey(key); }
};

// The device port a port subkey stands for: its second letter (PA is port A), else its place.
int PortOfSubkey(const std::string& name, size_t place) {
    if (name.size() >= 2) {
        char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[1])));
        if (letter >= 'A' && letter <= 'D') return letter - 'A';
    }
    return static_cast<int>(place % 4);
}

std::string SpoolerPortName(const std::string& lpt, const std::string& subkey) {
    return "LPx" + lpt.substr(3) + "-  " + subkey + " (selvane)";
}

std::vector<std::string> ProbeParallelPorts() {
    std::vector<std::string> lpts;
    for (int n = 0; n < 3; ++n) {
        std::string node = "/dev/lp" + std::to_string(n);
        if (access(node.c_str(), F_OK) != 0) continue;
        std::string lpt = "LPT" + std::to_string(n + 1);
        auto link = platform::DevicePath(lpt);
        std::error_code error;
        std::filesystem::remove(link, error);
        std::filesystem::create_symlink(node, link, error);
        if (error) throw Failure("cannot link " + link.string() + " to " + node);
        lpts.push_back(lpt);
    }
    return lpts;
}

} // namespace

int Setup(Args& args) {
    std::string model = "Selvane 4-1", path = ProgramFolder(), lptList = "LPT1",
                portList = "PA,PB,PC,PD", monitor, value;
    bool probe = false, force = false;
    std::vector<Printer> printers;
    while (!args.empty()) {
        if (args.peek() == "--help" || args.peek() == "-h") {
            std::cout << kHelp;
            return 0;
        }
        if (args.takeOption("--model", model) || args.takeOption("--path", path) ||
            args.takeOption("--lpt", lptList) || args.takeOption("--ports", portList) ||
            args.takeOption("--monitor", monitor))
            continue;
        if (args.takeFlag("--probe")) {
            probe = true;
        } else if (args.takeFlag("--force")) {
            force = true;
        } else if (args.takeOption("--printer", value)) {
            size_t equals = value.find('='), comma = value.find(',', equals);
            if (equals == 0 || equals == std::string::npos || comma == std::string::npos ||
                comma == equals + 1 || comma + 1 == value.size())
                throw Usage("a printer is \"NAME=DRIVER,PORT\", not '" + value + "'");
            printers.push_back({value.substr(0, equals),
                                value.substr(equals + 1, comma - equals - 1),
                                value.substr(comma + 1)});
        } else {
            throw Usage("unexpected argument '" + args.peek() + "'");
        }
    }
    if (monitor.empty()) monitor = path + "/keldrim.so";
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\'))
        path.pop_back();
    std::vector<std::string> ports = SplitList(portList);
    if (ports.empty()) throw Usage("--ports needs at least one port subkey");
    for (const auto& port : ports)
        if (port.find('\\') != std::string::npos) throw Usage("a port subkey has no backslash");

    std::vector<std::string> lpts;
    if (!probe) {
        for (auto lpt : SplitList(lptList)) {
            for (auto& c : lpt)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (lpt.size() != 4 || lpt.compare(0, 3, "LPT") != 0 || lpt[3] < '1' || lpt[3] > '9')
                throw Usage("--lpt takes LPT1 to LPT9, not '" + lpt + "'");
            lpts.push_back(lpt);
        }
    }

    auto root = platform::MachineRoot();
    for (const char* folder : {"dev", "run", "box"})
        std::filesystem::create_directories(root / folder);
    if (probe) {
        lpts = ProbeParallelPorts();
        if (lpts.empty()) std::cerr << "selvane setup: no parallel port found on this machine\n";
    }

    CheckRegistry();
    Writer writer(force);
    LONG status = platform::registry::Store::Instance().Transaction([&]() -> LONG {
        for (const char* configPath : {kUserKey, kMonitorConfigKey}) {
            KeyCloser config{writer.Key(HKEY_LOCAL_MACHINE, configPath)};
            writer.Text(config.key, "Model Name", model);
            writer.Text(config.key, "Path", path);
        }
        KeyCloser monitorKey{writer.Key(HKEY_LOCAL_MACHINE, kMonitorKey)};
        writer.Dword(monitorKey.key, "PortUsed", static_cast<DWORD>(ports.size()));
        writer.Text(monitorKey.key, "Driver", monitor);
        for (size_t i = 0; i < ports.size(); ++i) {
            KeyCloser portKey{writer.Key(monitorKey.key, ports[i])};
            int port = PortOfSubkey(ports[i], i);
            writer.Set(portKey.key, "Command", REG_BINARY,
                       {0x11, 0x91, static_cast<BYTE>(0x30 + port), static_cast<BYTE>(0xB0 + port),
                        0x0D, 0x8D});
        }
        // The hardware enumeration: one device node per parallel port, naming its hardware key.
        for (size_t i = 0; i < lpts.size(); ++i) {
            char node[32], hardware[64];
            std::snprintf(node, sizeof node, "%s\\C%07zX", kEnumKey, 0x29A3E00 + i * 0x20);
            std::snprintf(hardware, sizeof hardware, "BIOS\\*PNP0400\\%04zu", i);
            KeyCloser nodeKey{writer.Key(HKEY_DYN_DATA, node)};
            writer.Text(nodeKey.key, "HardWareKey", hardware);
            KeyCloser hardwareKey{writer.Key(HKEY_LOCAL_MACHINE, std::string("Enum\\") + hardware)};
            writer.Text(hardwareKey.key, "Class", "Ports");
            writer.Text(hardwareKey.key, "PortName", lpts[i]);
            writer.Text(hardwareKey.key, "DeviceDesc", "Printer Port (" + lpts[i] + ")");
        }
        if (printers.empty() && !lpts.empty())
            for (const auto& port : ports)
                printers.push_back({"Printer " + port, "Generic / Text Only",
                                    SpoolerPortName(lpts[0], port) + ":"});
        for (const auto& printer : printers) {
            KeyCloser record{
                writer.Key(HKEY_LOCAL_MACHINE, std::string(kPrintersKey) + "\\" + printer.name)};
            writer.Text(record.key, "Name", printer.name);
            writer.Text(record.key, "Printer Driver", printer.driver);
            writer.Text(record.key, "Port", printer.port);
            writer.Dword(record.key, "dnsTimeout", kNotSelectedTimeout);
            writer.Dword(record.key, "txTimeout", kRetryTimeout);
        }
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS)
        throw Failure("setup failed (error " + std::to_string(status) + ")");

    for (const auto& printer : printers)
        writer.Profile("devices", printer.name, printer.driver + "," + printer.port);
    if (!printers.empty()) {
        // The first printer becomes the default printer of a machine that has none yet.
        Writer keep(false);
        const auto& first = printers.front();
        keep.Profile("windows", "device", first.name + "," + first.driver + "," + first.port);
    }
    std::cout << "machine root " << root.string() << " set up: " << model << ", " << lpts.size()
              << " parallel port(s), " << ports.size() << " switch port(s), " << printers.size()
              << " printer(s)\n";
    return 0;
}

} // namespace selvane

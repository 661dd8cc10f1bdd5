#include "box_state.h"

#include "kernel/machine_root.h"
#include "kernel/sys.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace selvane::box {

std::filesystem::path Folder() {
    return platform::MachineRoot() / "box";
}
std::filesystem::path StatePath() {
    return Folder() / "state";
}
std::filesystem::path LogPath() {
    return Folder() / "log";
}
std::filesystem::path PidPath() {
    return Folder() / "pid";
}
std::filesystem::path DriverSocket() {
    return platform::DevicePath("KELDRIM.VXD");
}

Connections LoadState() {
    Connections connections;
    connections.fill(-1);
    std::ifstream in(StatePath());
    std::string lpt, port;
    while (in >> lpt >> port) {
        if (lpt.size() != 4 || lpt.compare(0, 3, "LPT") != 0) continue;
        int index = lpt[3] - '1';
        if (index < 0 || index >= kLpts) continue;
        connections[static_cast<size_t>(index)] =
            port.size() == 1 && port[0] >= 'A' && port[0] <= 'D' ? port[0] - 'A' : -1;
    }
    return connections;
}

std::string FormatState(const Connections& connections) {
    std::string out;
    for (int i = 0; i < kLpts; ++i) {
        int port = connections[static_cast<size_t>(i)];
        out += "LPT" + std::to_string(i + 1) + " " +
               (port < 0 ? std::string("-") : std::string(1, static_cast<char>('A' + port))) + "\n";
    }
    return out;
}

void SaveState(const Connections& connections) {
    auto temp = StatePath();
    temp += ".new";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << FormatState(connections);
    }
    std::filesystem::rename(temp, StatePath());
}

bool SaveConnection(int fd, int lpt, int port) {
    char letter = port < 0 ? '-' : static_cast<char>('A' + port);
    constexpr off_t kLine = 7; // "LPT1 A\n"
    return pwrite(fd, &letter, 1, lpt * kLine + 5) == 1;
}

int CommandPort(const unsigned char* b) {
    if (b[0] != 0x11 || b[1] != 0x91 || b[4] != 0x0D || b[5] != 0x8D) return -1;
    int port = b[2] - 0x30;
    if (port < 0 || port > 3 || b[3] != 0xB0 + port) return -1;
    return port;
}

bool Answers() {
    auto fd = platform::SysConnectUnix(DriverSocket().string());
    if (!fd) return false;
    platform::SysClose(fd.value);
    return true;
}

} // namespace selvane::box

namespace selvane::box {

std::filesystem::path LptSocket(int lpt) {
    return platform::DevicePath("LPT" + std::to_string(lpt + 1));
}

std::filesystem::path PrinterFolder(int lpt, int port) {
    return Folder() / "printers" /
           ("LPT" + std::to_string(lpt + 1) + "-" + std::string(1, static_cast<char>('A' + port)));
}

namespace {
const char* const kFaultNames[] = {"none", "paper-out", "offline", "io-error"};
}

const char* FaultName(Fault fault) {
    return kFaultNames[static_cast<int>(fault)];
}

bool ParseFault(const std::string& text, Fault& fault) {
    for (int i = 0; i < 4; ++i) {
        if (text == kFaultNames[i]) {
            fault = static_cast<Fault>(i);
            return true;
        }
    }
    return false;
}

Printer LoadPrinter(int lpt, int port) {
    Printer printer;
    std::ifstream in(PrinterFolder(lpt, port) / "config");
    std::string word, value;
    while (in >> word >> value) {
        if (word == "fault") ParseFault(value, printer.fault);
        if (word == "slow") printer.bytesPerSecond = std::stoul(value);
    }
    return printer;
}

void SavePrinter(int lpt, int port, const Printer& printer) {
    auto folder = PrinterFolder(lpt, port);
    std::filesystem::create_directories(folder);
    auto temp = folder / "config.new";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << "fault " << FaultName(printer.fault) << "\nslow " << printer.bytesPerSecond << "\n";
    }
    std::filesystem::rename(temp, folder / "config");
}

std::vector<Job> Jobs(int lpt, int port) {
    std::vector<Job> jobs;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(PrinterFolder(lpt, port), error)) {
        std::string name = entry.path().filename().string();
        if (name.size() != 12 || name.compare(0, 4, "job-") != 0 || name.compare(8, 4, ".prn") != 0)
            continue;
        jobs.push_back({std::stoi(name.substr(4, 4)), entry.path()});
    }
    std::sort(jobs.begin(), jobs.end(),
              [](const Job& a, const Job& b) { return a.number < b.number; });
    return jobs;
}

Job NewJob(int lpt, int port) {
    auto jobs = Jobs(lpt, port);
    int number = jobs.empty() ? 1 : jobs.back().number + 1;
    char name[32];
    std::snprintf(name, sizeof name, "job-%04d.prn", number % 10000);
    auto folder = PrinterFolder(lpt, port);
    std::filesystem::create_directories(folder);
    std::ofstream(folder / name, std::ios::trunc);
    return {number, folder / name};
}

} // namespace selvane::box

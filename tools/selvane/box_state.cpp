#include "box_state.h"

#include "kernel/machine_root.h"
#include "kernel/sys.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace selvane::box {

std::filesystem::path Folder() { return platform::MachineRoot() / "box"; }
std::filesystem::path StatePath() { return Folder() / "state"; }
std::filesystem::path LogPath() { return Folder() / "log"; }
std::filesystem::path PidPath() { return Folder() / "pid"; }
std::filesystem::path DriverSocket() { return platform::DevicePath("KELDRIM.VXD"); }

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

// The emulated box's files under the machine root's box/ folder, shared by the daemon that
// writes them and the commands that read them:
//   box/state   one line per LPT: "LPT1 A", or "LPT1 -" before any command
//   box/log     one line per command received: "01 11 91 31 B1 0D 8D", " refused" appended
//               when the box refused it
//   box/pid     the daemon's process id while it runs
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace selvane::box {

constexpr int kLpts = 3;

// For each LPT the device port it connects: 0 to 3 for A to D, -1 before any command.
using Connections = std::array<int, kLpts>;

std::filesystem::path Folder();
std::filesystem::path StatePath();
std::filesystem::path LogPath();
std::filesystem::path PidPath();
std::filesystem::path DriverSocket(); // dev/KELDRIM.VXD

Connections LoadState();
void SaveState(const Connections& connections); // atomic: readers see the old or the new state
// Changes one LPT's line of the state file open as `fd`: one byte in place, which readers see
// whole, as the lines have a fixed length.
bool SaveConnection(int fd, int lpt, int port);
std::string FormatState(const Connections& connections);

// The device port a command's bytes 1 to 6 select, or -1 when they are none of the four
// patterns.
int CommandPort(const unsigned char* bytes6);

// True when a daemon answers on the driver's socket.
bool Answers();

} // namespace selvane::box

namespace selvane::box {

// The emulated device on one device port of one LPT: a printer unless told otherwise, with the
// fault and the speed `selvane box printer` gives it. Kept in box/printers/LPTn-X/.
enum class Fault { None, PaperOut, Offline, IoError };

struct Printer {
    Fault fault = Fault::None;
    unsigned long bytesPerSecond = 0; // 0: as fast as data comes
};

std::filesystem::path PrinterFolder(int lpt, int port);
Printer LoadPrinter(int lpt, int port);
void SavePrinter(int lpt, int port, const Printer& printer);
const char* FaultName(Fault fault);
bool ParseFault(const std::string& text, Fault& fault);

struct Job {
    int number;
    std::filesystem::path file;
};
// A new, empty job file for the printer.
Job NewJob(int lpt, int port);
// The printer's jobs, oldest first.
std::vector<Job> Jobs(int lpt, int port);

std::filesystem::path LptSocket(int lpt); // dev/LPT1 ..

} // namespace selvane::box

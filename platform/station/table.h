// The window station's table: the top-level windows and tray icons of every process of the
// machine root, in one file, run/station/table, that each process rewrites for its own entries
// (under a lock, by writing a new file and renaming it over the old, so that a reader never sees
// half a table). An entry names its process by pid and start time: the entries of a process that
// ended, even one killed without warning, are never found, and the next writer drops them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace station {

struct WindowEntry {
    uint64_t hwnd = 0;
    int pid = 0;
    uint64_t sequence = 0; // creation order across the machine: the newest has the highest
    std::string className;
    std::string title;
    uint64_t start = 0; // the process's start time, as the table holds it
};

struct TrayEntry {
    uint64_t owner = 0; // the window that gets the icon's notifications
    int pid = 0;
    uint32_t id = 0;
    uint32_t callbackMessage = 0;
    std::string tip;
};

struct Table {
    std::vector<WindowEntry> windows;
    std::vector<TrayEntry> icons;
};

std::filesystem::path Folder(); // run/station
std::filesystem::path SocketOf(int pid);

// The live entries of every process.
Table Read();
// Every entry of the table, live or not: for a caller that checks only the ones it wants.
Table ReadUnchecked();

// Replaces this process's entries with `mine`, dropping the entries of processes that ended.
// Sequence numbers of new windows (sequence 0) are given here.
void Publish(Table& mine);

// True when the process is alive and is the one that wrote entries under this pid.
bool Alive(int pid, uint64_t startTime);
uint64_t StartTimeOf(int pid);

} // namespace station

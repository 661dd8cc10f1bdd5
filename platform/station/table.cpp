#include "station/table.h"

#include "kernel/machine_root.h"
#include "kernel/sys.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string_view>

namespace station {

namespace {

// Text fields are written with \, tab and line breaks escaped, so a record is one line.
std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out.empty() ? "\\0" : out; // never an empty field
}

std::string Unescape(const std::string& text) {
    if (text == "\\0") return "";
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char c = text[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos) return fields;
        start = tab + 1;
    }
}

uint64_t Number(std::string_view text, int base = 10) {
    uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        throw std::invalid_argument("not a number");
    return value;
}

struct Raw {
    Table table;
    std::map<int, uint64_t> startTimes;
    uint64_t lastSequence = 0;
};

Raw Parse(const std::string& text) {
    Raw raw;
    std::string_view rest(text);
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        auto f = Fields(line);
        try {
            if (f.size() == 2 && f[0] == "S") {
                raw.lastSequence = Number(f[1]);
            } else if (f.size() == 7 && f[0] == "W") {
                WindowEntry w{Number(f[1], 16),
                              static_cast<int>(Number(f[2])),
                              Number(f[4]),
                              Unescape(std::string(f[5])),
                              Unescape(std::string(f[6])),
                              Number(f[3])};
                raw.startTimes[w.pid] = w.start;
                raw.table.windows.push_back(std::move(w));
            } else if (f.size() == 7 && f[0] == "T") {
                TrayEntry t{Number(f[1], 16), static_cast<int>(Number(f[2])),
                            static_cast<uint32_t>(Number(f[4])),
                            static_cast<uint32_t>(Number(f[5])), Unescape(std::string(f[6]))};
                raw.startTimes[t.pid] = Number(f[3]);
                raw.table.icons.push_back(std::move(t));
            }
        } catch (const std::exception&) {
            // a line no writer of ours made: passed over
        }
    }
    return raw;
}

std::string Slurp(const std::filesystem::path& path) {
    auto fd = platform::SysOpen(path.string(), O_RDONLY);
    if (!fd) return {};
    std::string text;
    char buffer[8192];
    for (;;) {
        ssize_t n = platform::Sys().read(fd.value, buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    platform::SysClose(fd.value);
    return text;
}

std::filesystem::path TablePath() {
    return Folder() / "table";
}

} // namespace

std::filesystem::path Folder() {
    return platform::MachineRoot() / "run" / "station";
}

std::filesystem::path SocketOf(int pid) {
    return Folder() / (std::to_string(pid) + ".sock");
}

uint64_t StartTimeOf(int pid) {
    // Field 22 of /proc/PID/stat, counted after the command name in parentheses (field 2).
    std::string stat = Slurp("/proc/" + std::to_string(pid) + "/stat");
    size_t at = stat.rfind(')');
    if (at == std::string::npos) return 0;
    at += 2; // field 3
    for (int field = 3; field < 22 && at != std::string::npos; ++field) {
        at = stat.find(' ', at);
        if (at != std::string::npos) ++at;
    }
    if (at == std::string::npos) return 0;
    uint64_t value = 0;
    std::from_chars(stat.data() + at, stat.data() + stat.size(), value);
    return value;
}

bool Alive(int pid, uint64_t startTime) {
    if (pid <= 0 || (kill(pid, 0) != 0 && errno == ESRCH)) return false;
    return StartTimeOf(pid) == startTime;
}

Table ReadUnchecked() {
    return Parse(Slurp(TablePath())).table;
}

Table Read() {
    Raw raw = Parse(Slurp(TablePath()));
    std::map<int, bool> alive;
    for (const auto& [pid, start] : raw.startTimes)
        alive[pid] = Alive(pid, start);
    Table table;
    for (auto& w : raw.table.windows)
        if (alive[w.pid]) table.windows.push_back(std::move(w));
    for (auto& t : raw.table.icons)
        if (alive[t.pid]) table.icons.push_back(std::move(t));
    return table;
}

void Publish(Table& mine) {
    std::error_code error;
    std::filesystem::create_directories(Folder(), error);
    auto lockPath = (Folder() / "lock").string();
    auto lock = platform::SysOpen(lockPath, O_RDWR | O_CREAT, 0644);
    if (!lock) return;
    flock(lock.value, LOCK_EX);
    Raw raw = Parse(Slurp(TablePath()));
    int self = getpid();
    uint64_t selfStart = StartTimeOf(self);
    std::map<int, bool> alive;
    for (const auto& [pid, start] : raw.startTimes)
        alive[pid] = pid != self && Alive(pid, start);
    for (auto& w : mine.windows)
        if (w.sequence == 0) w.sequence = ++raw.lastSequence;

    std::string text = "S\t" + std::to_string(raw.lastSequence) + "\n";
    char hwnd[32];
    auto window = [&](const WindowEntry& w, uint64_t start) {
        std::snprintf(hwnd, sizeof hwnd, "%llx", static_cast<unsigned long long>(w.hwnd));
        text += std::string("W\t") + hwnd + "\t" + std::to_string(w.pid) + "\t" +
                std::to_string(start) + "\t" + std::to_string(w.sequence) + "\t" +
                Escape(w.className) + "\t" + Escape(w.title) + "\n";
    };
    auto icon = [&](const TrayEntry& t, uint64_t start) {
        std::snprintf(hwnd, sizeof hwnd, "%llx", static_cast<unsigned long long>(t.owner));
        text += std::string("T\t") + hwnd + "\t" + std::to_string(t.pid) + "\t" +
                std::to_string(start) + "\t" + std::to_string(t.id) + "\t" +
                std::to_string(t.callbackMessage) + "\t" + Escape(t.tip) + "\n";
    };
    for (const auto& w : raw.table.windows)
        if (alive[w.pid]) window(w, raw.startTimes[w.pid]);
    for (const auto& w : mine.windows)
        window(w, selfStart);
    for (const auto& t : raw.table.icons)
        if (alive[t.pid]) icon(t, raw.startTimes[t.pid]);
    for (const auto& t : mine.icons)
        icon(t, selfStart);

    auto temp = Folder() / ("table." + std::to_string(self));
    {
        std::ofstream out(temp, std::ios::trunc | std::ios::binary);
        out << text;
    }
    std::filesystem::rename(temp, TablePath(), error);
    flock(lock.value, LOCK_UN);
    platform::SysClose(lock.value);
}

} // namespace station

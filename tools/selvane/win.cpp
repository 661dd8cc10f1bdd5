// selvane win: reads and drives the windows of the machine's programs as a person would,
// through the window station.
#include "cli.h"
#include "station/station.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <strings.h>
#include <thread>

namespace selvane {

namespace {

const char kHelp[] =
    "usage: selvane win list\n"
    "       selvane win controls TARGET\n"
    "       selvane win click TARGET ID\n"
    "       selvane win select TARGET ID INDEX\n"
    "       selvane win type TARGET ID TEXT\n"
    "       selvane win key TARGET enter|escape\n"
    "       selvane win close TARGET\n"
    "       selvane win sysmenu TARGET [ID]\n"
    "       selvane win tray TARGET left|double|right\n"
    "       selvane win menu | pick ID | msgbox | answer ok|cancel|yes|no\n"
    "       selvane win wait TARGET [--gone] [--timeout SECONDS]\n"
    "\n"
    "TARGET is a window class name, an HWND in hex, or title:TEXT; with several matches, the\n"
    "newest. Actions act as a person would, through the program's own handlers. A window is\n"
    "listed from the moment it is created, before its program has finished setting it up.\n";

using station::WindowEntry;

// The newest window of the table that TARGET names, or null.
const WindowEntry* Match(const station::Table& table, const std::string& target) {
    const WindowEntry* best = nullptr;
    bool byTitle = target.rfind("title:", 0) == 0;
    std::string title = byTitle ? target.substr(6) : "";
    char* end = nullptr;
    unsigned long long hwnd = std::strtoull(target.c_str(), &end, 16);
    bool byHandle = !byTitle && end && *end == '\0' && !target.empty();
    for (const auto& w : table.windows) {
        bool match = byTitle ? w.title == title
                             : (byHandle && w.hwnd == hwnd) ||
                                   strcasecmp(w.className.c_str(), target.c_str()) == 0;
        if (match && (!best || w.sequence > best->sequence)) best = &w;
    }
    return best;
}

WindowEntry Target(const std::string& target) {
    auto table = station::Read();
    if (auto w = Match(table, target)) return *w;
    throw Failure("no window " + target);
}

std::string Hex(uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

int Print(const station::Answer& answer) {
    if (answer.status != 0) throw Failure(answer.text.empty() ? "could not be done" : answer.text);
    std::cout << answer.text;
    return 0;
}

// Asks each process with windows in turn, for what belongs to no one window (the popup menu or
// the message box shown).
int AskAny(const std::vector<std::string>& words) {
    station::Answer last;
    last.text = "no program with windows";
    std::vector<int> asked;
    for (const auto& w : station::Read().windows) {
        if (std::find(asked.begin(), asked.end(), w.pid) != asked.end()) continue;
        asked.push_back(w.pid);
        auto answer = station::Automate(w.pid, words);
        if (answer.status == 0) return Print(answer);
        last = answer;
    }
    return Print(last);
}

int Wait(Args& args) {
    std::string target = args.take("TARGET");
    bool gone = false;
    double seconds = 10;
    std::string value;
    while (!args.empty()) {
        if (args.takeFlag("--gone")) {
            gone = true;
        } else if (args.takeOption("--timeout", value)) {
            char* end = nullptr;
            seconds = std::strtod(value.c_str(), &end);
            if (value.empty() || *end || seconds < 0)
                throw Usage("--timeout takes seconds, not '" + value + "'");
        } else {
            throw Usage("unexpected argument '" + args.peek() + "'");
        }
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        bool there = Match(station::Read(), target) != nullptr;
        if (there != gone) return 0;
        if (std::chrono::steady_clock::now() >= deadline)
            throw Failure(gone ? "window " + target + " is still there" : "no window " + target);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int Tray(Args& args) {
    auto window = Target(args.take("TARGET"));
    std::string click = args.take("left|double|right");
    args.done();
    std::vector<UINT> mouse;
    if (click == "left")
        mouse = {WM_LBUTTONDOWN, WM_LBUTTONUP};
    else if (click == "double")
        mouse = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP};
    else if (click == "right")
        mouse = {WM_RBUTTONDOWN, WM_RBUTTONUP};
    else
        throw Usage("a tray click is left, double or right, not '" + click + "'");
    for (const auto& icon : station::Read().icons) {
        if (icon.owner != window.hwnd) continue;
        HWND owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(icon.owner));
        // The shell posts the icon's notifications to its owner, one per mouse event.
        for (UINT message : mouse)
            if (!station::Post(owner, icon.callbackMessage, icon.id, static_cast<LPARAM>(message)))
                throw Failure("the window's process does not answer");
        return 0;
    }
    throw Failure("window " + Hex(window.hwnd) + " has no tray icon");
}

} // namespace

int Win(Args& args) {
    if (args.empty()) throw Usage("missing a win command (see selvane win --help)");
    std::string command = args.take("command");
    if (command == "--help" || command == "-h" || (!args.empty() && WantsHelp({args.peek()}))) {
        std::cout << kHelp;
        return 0;
    }
    RequireRoot();
    if (command == "list") {
        args.done();
        for (const auto& w : station::Read().windows)
            std::cout << Hex(w.hwnd) << " " << w.pid << " " << w.className << " \"" << w.title
                      << "\"\n";
        return 0;
    }
    if (command == "wait") return Wait(args);
    if (command == "tray") return Tray(args);
    if (command == "menu" || command == "msgbox") {
        args.done();
        return AskAny({command});
    }
    if (command == "pick" || command == "answer") {
        std::string word = args.take(command == "pick" ? "ID" : "ok|cancel|yes|no");
        args.done();
        if (command == "answer" && word != "ok" && word != "cancel" && word != "yes" &&
            word != "no")
            throw Usage("an answer is ok, cancel, yes or no, not '" + word + "'");
        return AskAny({command, word});
    }
    std::vector<std::string> words{command};
    auto window = Target(args.take("TARGET"));
    words.push_back(Hex(window.hwnd));
    if (command == "controls" || command == "close") {
    } else if (command == "click") {
        words.push_back(args.take("ID"));
    } else if (command == "select") {
        words.push_back(args.take("ID"));
        words.push_back(args.take("INDEX"));
    } else if (command == "type") {
        words.push_back(args.take("ID"));
        words.push_back(args.take("TEXT"));
    } else if (command == "key") {
        std::string key = args.take("enter|escape");
        if (key != "enter" && key != "escape")
            throw Usage("a key is enter or escape, not '" + key + "'");
        words.push_back(key);
    } else if (command == "sysmenu") {
        if (!args.empty()) words.push_back(args.take("ID"));
    } else {
        throw Usage("unknown win command '" + command + "'");
    }
    args.done();
    return Print(station::Automate(window.pid, words));
}

} // namespace selvane

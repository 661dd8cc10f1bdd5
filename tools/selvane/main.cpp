// selvane: installs a machine, edits its registry, runs the emulated switch box, and switches it.
//
//   selvane [--root DIR] COMMAND [ARGS...]
//
// Every command has --help. Exit status: 0 on success, 1 on failure, 2 on a usage error, with a
// one-line message on standard error.
#include "cli.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: selvane [--root DIR] COMMAND [ARGS...]\n"
    "\n"
    "Commands:\n"
    "  setup    lay the machine out as the installation would\n"
    "  reg      read and change the registry (get, set, del, ls, export, import)\n"
    "  box      the emulated switch box (start, stop, serve, status, log)\n"
    "  switch   send the command for a device port through the switch driver\n"
    "  spool    the spooler's part for the print monitor (ports, print)\n"
    "  win      read and drive the windows of the machine's programs\n"
    "\n"
    "The machine root is --root DIR, else $SELVANE_ROOT, else $XDG_DATA_HOME/selvane\n"
    "(~/.local/share/selvane). Each command has --help.\n";

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    size_t at = 0;
    if (at < words.size() && (words[at] == "--root" || words[at].rfind("--root=", 0) == 0)) {
        std::string root;
        if (words[at] == "--root") {
            if (at + 1 >= words.size()) {
                std::fprintf(stderr, "selvane: missing a folder after --root\n");
                return 2;
            }
            root = words[at + 1];
            at += 2;
        } else {
            root = words[at].substr(7);
            at += 1;
        }
        // The programs this one starts (the box daemon) find the same root.
        setenv("SELVANE_ROOT", root.c_str(), 1);
    }
    if (at >= words.size() || words[at] == "--help" || words[at] == "-h" || words[at] == "help") {
        std::fputs(kUsage, at >= words.size() ? stderr : stdout);
        return at >= words.size() ? 2 : 0;
    }
    std::string command = words[at];
    selvane::Args args(
        std::vector<std::string>(words.begin() + static_cast<long>(at) + 1, words.end()));
    try {
        if (command == "setup") return selvane::Setup(args);
        if (command == "reg") return selvane::Reg(args);
        if (command == "box") return selvane::Box(args);
        if (command == "switch") return selvane::Switch(args);
        if (command == "spool") return selvane::Spool(args);
        if (command == "win") return selvane::Win(args);
        throw selvane::Usage("unknown command '" + command + "' (see selvane --help)");
    } catch (const selvane::Usage& error) {
        std::fprintf(stderr, "selvane %s: %s\n", command.c_str(), error.what());
        return 2;
    } catch (const selvane::Failure& error) {
        std::fprintf(stderr, "selvane %s: %s\n", command.c_str(), error.what());
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "selvane %s: %s\n", command.c_str(), error.what());
        return 1;
    }
}

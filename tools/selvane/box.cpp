// selvane box (start, stop, serve, status, log) and selvane switch.
#include "box_server.h"
#include "box_state.h"
#include "cli.h"
#include "switch_command.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

namespace selvane {

namespace {

const char kBoxHelp[] =
    "usage: selvane box start | stop | serve | status | log [--clear]\n"
    "       selvane box printer LPTn PORT [--fault none|paper-out|offline|io-error]\n"
    "                           [--slow BYTES_PER_SECOND]\n"
    "       selvane box jobs LPTn PORT\n"
    "\n"
    "The emulated switch box of the machine root: it serves the switch driver\n"
    "(dev/KELDRIM.VXD), keeps for each LPT the device port it connects and logs every command.\n"
    "  start    start it in the background; returns once it answers\n"
    "  stop     stop it\n"
    "  serve    run it in the foreground\n"
    "  status   one line per LPT: \"LPT1 A\" (\"LPT1 -\" before any command)\n"
    "  log      one line per command received, oldest first, \" refused\" after a refused one;\n"
    "           --clear empties the log\n"
    "  printer  the emulated printer on that device port: its state, or a change of it\n"
    "  jobs     what that printer received, one line per job: NUMBER BYTES FILE\n";

const char kSwitchHelp[] =
    "usage: selvane switch LPTn PORT\n"
    "\n"
    "Sends the command for device port PORT (A to D) on LPTn (LPT1 to LPT3) through the switch\n"
    "driver. Fails when the driver is not there (no box running).\n";

using Clock = std::chrono::steady_clock;

pid_t RunningPid() {
    std::ifstream in(box::PidPath());
    long pid = 0;
    if (!(in >> pid) || pid <= 0) return 0;
    if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) return 0;
    return static_cast<pid_t>(pid);
}

int Start() {
    if (box::Answers()) {
        std::cout << "the box already runs\n";
        return 0;
    }
    std::filesystem::create_directories(box::Folder());
    std::string self = ProgramFolder() + "/selvane";
    pid_t child = fork();
    if (child < 0) throw Failure("cannot start the box");
    if (child == 0) {
        // The daemon: a session of its own, no terminal, standard streams to /dev/null.
        setsid();
        if (fork() != 0) _exit(0);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        execl(self.c_str(), self.c_str(), "box", "serve", static_cast<char*>(nullptr));
        _exit(127);
    }
    waitpid(child, nullptr, 0);
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        if (box::Answers()) {
            std::cout << "the box runs (pid " << RunningPid() << ")\n";
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    throw Failure("the box did not answer");
}

int Stop() {
    pid_t pid = RunningPid();
    if (pid == 0 || !box::Answers()) throw Failure("no box is running");
    kill(pid, SIGTERM);
    auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
        // The daemon removes its pid file as it ends (and a zombie nobody reaps still answers
        // kill).
        if ((kill(pid, 0) != 0 && errno == ESRCH) || !std::filesystem::exists(box::PidPath()))
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill(pid, SIGKILL);
    return 0;
}

int Status() {
    RequireRoot();
    std::cout << box::FormatState(box::LoadState());
    return 0;
}

int Log(Args& args) {
    bool clear = args.takeFlag("--clear");
    args.done();
    RequireRoot();
    if (clear) {
        if (std::filesystem::exists(box::LogPath()) && truncate(box::LogPath().c_str(), 0) != 0)
            throw Failure("cannot clear " + box::LogPath().string());
        return 0;
    }
    std::ifstream in(box::LogPath());
    std::cout << in.rdbuf();
    return 0;
}

// "LPTn" and "A".."D" as indexes; Usage errors otherwise.
std::pair<int, int> TakeLptAndPort(Args& args) {
    std::string lpt = args.take("LPTn");
    std::string port = args.take("PORT");
    for (auto& c : lpt)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (auto& c : port)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (lpt.size() != 4 || lpt.compare(0, 3, "LPT") != 0 || lpt[3] < '1' || lpt[3] > '3')
        throw Usage("LPTn is LPT1, LPT2 or LPT3, not '" + lpt + "'");
    if (port.size() != 1 || port[0] < 'A' || port[0] > 'D')
        throw Usage("PORT is A, B, C or D, not '" + port + "'");
    return {lpt[3] - '1', port[0] - 'A'};
}

int PrinterCommand(Args& args) {
    auto [lpt, port] = TakeLptAndPort(args);
    box::Printer printer = box::LoadPrinter(lpt, port);
    bool change = false;
    std::string value;
    while (!args.empty()) {
        if (args.takeOption("--fault", value)) {
            if (!box::ParseFault(value, printer.fault))
                throw Usage("--fault is none, paper-out, offline or io-error, not '" + value + "'");
        } else if (args.takeOption("--slow", value)) {
            char* end = nullptr;
            errno = 0;
            unsigned long rate = std::strtoul(value.c_str(), &end, 10);
            if (value.empty() || *end || errno || value[0] == '-')
                throw Usage("--slow takes bytes per second, not '" + value + "'");
            printer.bytesPerSecond = rate;
        } else {
            throw Usage("unexpected argument '" + args.peek() + "'");
        }
        change = true;
    }
    if (change) {
        std::filesystem::create_directories(box::Folder());
        box::SavePrinter(lpt, port, printer);
        return 0;
    }
    RequireRoot();
    std::cout << "LPT" << lpt + 1 << " " << static_cast<char>('A' + port)
              << " printer fault=" << box::FaultName(printer.fault)
              << " slow=" << printer.bytesPerSecond << " jobs=" << box::Jobs(lpt, port).size()
              << "\n";
    return 0;
}

int JobsCommand(Args& args) {
    auto [lpt, port] = TakeLptAndPort(args);
    args.done();
    RequireRoot();
    for (const auto& job : box::Jobs(lpt, port)) {
        std::error_code error;
        auto size = std::filesystem::file_size(job.file, error);
        std::cout << job.number << " " << (error ? 0 : size) << " " << job.file.string() << "\n";
    }
    return 0;
}

} // namespace

int Box(Args& args) {
    if (args.empty()) throw Usage("missing a box command (start, stop, serve, status, log)");
    std::string command = args.take("command");
    if (command == "--help" || command == "-h" || (!args.empty() && WantsHelp({args.peek()}))) {
        std::cout << kBoxHelp;
        return 0;
    }
    if (command == "log") return Log(args);
    if (command == "printer") return PrinterCommand(args);
    if (command == "jobs") return JobsCommand(args);
    args.done();
    if (command == "start") return Start();
    if (command == "stop") return Stop();
    if (command == "serve") return box::Serve();
    if (command == "status") return Status();
    throw Usage("unknown box command '" + command + "'");
}

int Switch(Args& args) {
    if (!args.empty() && WantsHelp({args.peek()})) {
        std::cout << kSwitchHelp;
        return 0;
    }
    auto [lpt, port] = TakeLptAndPort(args);
    args.done();
    if (!TrySendSwitchCommand(MakeSwitchCommand(lpt, port)))
        throw Failure(GetLastError() == ERROR_FILE_NOT_FOUND
                          ? "the switch driver is not there (is the box running?)"
                          : "the switch driver refused the command (error " +
                                std::to_string(GetLastError()) + ")");
    return 0;
}

} // namespace selvane

// selvane spool: the Windows 95 spooler's part for the print monitor.
//
// It loads the module that the monitor's key names in "Driver", starts it as the spooler does
// (DllEntryPoint for the process attach, then InitializeMonitorEx) and drives its MONITOR table:
// `ports` lists what EnumPorts gives, `print` runs one job per PORT FILE pair, all at once on
// threads of this one process, so that jobs of one parallel port meet at the monitor's owner
// slots as they would in the spooler.
//
//   Monitor                the loaded module and its table
//   PrinterOfPort          the printer whose record is attached to a port
//   RunJob                 OpenPort, StartDocPort, WritePort until all is taken, EndDocPort
//   Ports, Print           the two subcommands
#include "cli.h"

#include "win32.h"
#include "win32/spool.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace selvane {

namespace {

const char kHelp[] =
    "usage: selvane spool ports [--level 1|2]\n"
    "       selvane spool print [--printer NAME] PORT FILE [PORT FILE]...\n"
    "\n"
    "The spooler's part for the print monitor named by the monitor key's \"Driver\" value.\n"
    "  ports  the monitor's ports through EnumPorts, one a line\n"
    "         (level 2: NAME<TAB>MONITOR<TAB>DESCRIPTION<TAB>TYPE)\n"
    "  print  one job per PORT FILE pair, all at the same time in this one process; each goes\n"
    "         through OpenPort, StartDocPort, WritePort until all data is taken, EndDocPort and\n"
    "         ClosePort. The job's printer is NAME, else the printer attached to the port.\n"
    "         Fails naming the Windows error when a job fails.\n";

const char kMonitorKey[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\selvane Port";
const char kPrintersKey[] = "System\\CurrentControlSet\\control\\Print\\Printers";

// The spooler hands the monitor a job's data in blocks of this size.
const size_t kBlockSize = 64 * 1024;
// When WritePort took nothing, the spooler waits this long and offers the same data again.
const auto kRetryWait = std::chrono::milliseconds(100);

typedef BOOL(WINAPI* DllEntryPointFn)(HINSTANCE, DWORD, LPVOID);
typedef BOOL(WINAPI* InitializeMonitorExFn)(LPSTR, LPMONITOR);

std::string ErrorName(DWORD error) {
    struct Name {
        DWORD code;
        const char* name;
    };
    static const Name kNames[] = {
        {ERROR_FILE_NOT_FOUND, "ERROR_FILE_NOT_FOUND"},
        {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED"},
        {ERROR_INVALID_HANDLE, "ERROR_INVALID_HANDLE"},
        {ERROR_NOT_ENOUGH_MEMORY, "ERROR_NOT_ENOUGH_MEMORY"},
        {ERROR_NOT_READY, "ERROR_NOT_READY"},
        {ERROR_OUT_OF_PAPER, "ERROR_OUT_OF_PAPER"},
        {ERROR_GEN_FAILURE, "ERROR_GEN_FAILURE"},
        {ERROR_SHARING_VIOLATION, "ERROR_SHARING_VIOLATION"},
        {ERROR_INVALID_PARAMETER, "ERROR_INVALID_PARAMETER"},
        {ERROR_BROKEN_PIPE, "ERROR_BROKEN_PIPE"},
        {ERROR_SEM_TIMEOUT, "ERROR_SEM_TIMEOUT"},
        {ERROR_INVALID_LEVEL, "ERROR_INVALID_LEVEL"},
        {ERROR_IO_DEVICE, "ERROR_IO_DEVICE"},
        {ERROR_COUNTER_TIMEOUT, "ERROR_COUNTER_TIMEOUT"},
        {ERROR_TIMEOUT, "ERROR_TIMEOUT"},
        {ERROR_INVALID_PRINTER_NAME, "ERROR_INVALID_PRINTER_NAME"},
    };
    for (const auto& name : kNames)
        if (name.code == error) return std::string(name.name) + " (" + std::to_string(error) + ")";
    return "error " + std::to_string(error);
}

bool IEquals(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

std::string WithoutColon(std::string name) {
    if (!name.empty() && name.back() == ':') name.pop_back();
    return name;
}

// A text value of a key, or "" when it is missing.
std::string ReadText(HKEY root, const std::string& path, const char* value) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    char text[1024] = {};
    DWORD size = sizeof text - 1;
    LONG status =
        RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<LPBYTE>(text), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? std::string(text) : std::string();
}

// The first printer whose record is attached to `port` (its "Port", with or without the colon);
// "" when there is none, and the monitor then takes its default time-outs.
std::string PrinterOfPort(const std::string& port) {
    HKEY printers;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPrintersKey, 0, KEY_READ, &printers) != ERROR_SUCCESS)
        return {};
    std::string found;
    char name[256];
    for (DWORD i = 0; found.empty() && RegEnumKeyA(printers, i, name, sizeof name) == ERROR_SUCCESS;
         ++i) {
        std::string attached =
            ReadText(HKEY_LOCAL_MACHINE, std::string(kPrintersKey) + "\\" + name, "Port");
        if (!attached.empty() && IEquals(WithoutColon(attached), WithoutColon(port))) found = name;
    }
    RegCloseKey(printers);
    return found;
}

// The monitor module, loaded and started as the spooler does. It stays loaded until the process
// ends: a spooler never unloads a monitor while it runs.
class Monitor {
public:
    Monitor() {
        std::string driver = ReadText(HKEY_LOCAL_MACHINE, kMonitorKey, "Driver");
        if (driver.empty())
            throw Failure("the monitor's key names no \"Driver\" (run selvane setup)");
        module_ = dlopen(driver.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module_) throw Failure("cannot load the monitor " + driver + ": " + dlerror());
        auto entry = reinterpret_cast<DllEntryPointFn>(dlsym(module_, "DllEntryPoint"));
        auto initialize =
            reinterpret_cast<InitializeMonitorExFn>(dlsym(module_, "InitializeMonitorEx"));
        if (!entry || !initialize)
            throw Failure(driver +
                          " is no print monitor (no DllEntryPoint or InitializeMonitorEx)");
        entry(static_cast<HINSTANCE>(module_), 1, nullptr); // process attach
        char registerRoot[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\selvane Port";
        if (!initialize(registerRoot, &table_)) throw Failure("the monitor failed to start");
    }

    const MONITOR& table() const { return table_; }
    // The error the monitor's last failed call on this thread left.
    DWORD LastError() const { return GetLastError(); }

private:
    void* module_ = nullptr;
    MONITOR table_{};
};

struct Job {
    std::string port, file, printer;
    DWORD id = 0;
    std::atomic<uint64_t> sent{0};
    uint64_t size = 0;
    std::atomic<bool> done{false};
    std::string error; // set before `done` when the job failed
};

void Fail(Job& job, const std::string& what) {
    job.error =
        "job " + std::to_string(job.id) + " (" + job.file + " to " + job.port + "): " + what;
}

void RunJob(const Monitor& monitor, Job& job) {
    const MONITOR& m = monitor.table();
    std::string portName = job.port, printerName = job.printer;
    HANDLE port = nullptr;
    if (!m.pfnOpenPort(portName.data(), &port)) {
        Fail(job, "the monitor has no port \"" + job.port + "\"");
        return;
    }
    if (!m.pfnStartDocPort(port, printerName.data(), job.id, 1, nullptr)) {
        Fail(job, "StartDocPort failed: " + ErrorName(monitor.LastError()));
        m.pfnClosePort(port);
        return;
    }
    std::ifstream in(job.file, std::ios::binary);
    std::vector<BYTE> block(kBlockSize);
    bool first = true;
    while (job.error.empty()) {
        in.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(block.size()));
        DWORD length = static_cast<DWORD>(in.gcount());
        if (length == 0 && !first) break;
        first = false;
        // An empty job still makes one write, which claims the parallel port.
        DWORD offset = 0;
        do {
            DWORD written = 0;
            if (!m.pfnWritePort(port, block.data() + offset, length - offset, &written)) {
                Fail(job, ErrorName(monitor.LastError()));
                break;
            }
            if (written == 0 && length > 0) std::this_thread::sleep_for(kRetryWait);
            offset += written;
            job.sent += written;
        } while (offset < length);
        if (length < block.size()) break;
    }
    m.pfnEndDocPort(port);
    m.pfnClosePort(port);
}

int Ports(Args& args) {
    std::string level = "1";
    while (!args.empty()) {
        if (args.takeFlag("--help") || args.takeFlag("-h")) {
            std::cout << kHelp;
            return 0;
        }
        if (!args.takeOption("--level", level))
            throw Usage("unexpected argument '" + args.peek() + "'");
    }
    if (level != "1" && level != "2") throw Usage("--level is 1 or 2, not '" + level + "'");
    DWORD wanted = level == "1" ? 1 : 2;
    RequireRoot();
    Monitor monitor;
    DWORD needed = 0, returned = 0;
    std::vector<BYTE> buffer;
    while (!monitor.table().pfnEnumPorts(nullptr, wanted, buffer.data(),
                                         static_cast<DWORD>(buffer.size()), &needed, &returned)) {
        DWORD error = monitor.LastError();
        if (error != ERROR_INSUFFICIENT_BUFFER || needed <= buffer.size())
            throw Failure("EnumPorts failed: " + ErrorName(error));
        buffer.resize(needed);
    }
    auto text = [](LPCSTR s) { return s ? std::string(s) : std::string(); };
    for (DWORD i = 0; i < returned; ++i) {
        if (wanted == 1) {
            PORT_INFO_1 info;
            std::memcpy(&info, buffer.data() + i * sizeof info, sizeof info);
            std::cout << text(info.pName) << "\n";
        } else {
            PORT_INFO_2 info;
            std::memcpy(&info, buffer.data() + i * sizeof info, sizeof info);
            std::cout << text(info.pPortName) << "\t" << text(info.pMonitorName) << "\t"
                      << text(info.pDescription) << "\t" << info.fPortType << "\n";
        }
    }
    return 0;
}

void ShowProgress(const std::vector<std::unique_ptr<Job>>& jobs) {
    std::string line = "\r";
    for (const auto& job : jobs) {
        uint64_t sent = job->sent.load();
        int percent = job->size ? static_cast<int>(sent * 100 / job->size) : 100;
        line += job->file + " " + std::to_string(percent) + "%  ";
    }
    std::cout << line << std::flush;
}

int Print(Args& args) {
    std::string printer;
    bool printerGiven = false;
    std::vector<std::unique_ptr<Job>> jobs;
    while (!args.empty()) {
        if (args.takeFlag("--help") || args.takeFlag("-h")) {
            std::cout << kHelp;
            return 0;
        }
        if (args.takeOption("--printer", printer)) {
            printerGiven = true;
            continue;
        }
        auto job = std::make_unique<Job>();
        job->port = args.take("PORT");
        job->file = args.take("FILE");
        jobs.push_back(std::move(job));
    }
    if (jobs.empty()) throw Usage("print needs at least one PORT FILE pair");
    RequireRoot();
    for (size_t i = 0; i < jobs.size(); ++i) {
        Job& job = *jobs[i];
        std::ifstream in(job.file, std::ios::binary | std::ios::ate);
        if (!in) throw Failure("cannot read " + job.file);
        job.size = static_cast<uint64_t>(in.tellg());
        job.id = static_cast<DWORD>(i + 1);
        job.printer = printerGiven ? printer : PrinterOfPort(job.port);
    }
    Monitor monitor;
    std::vector<std::thread> threads;
    for (auto& job : jobs)
        threads.emplace_back([&monitor, &job] {
            try {
                RunJob(monitor, *job);
            } catch (const std::exception& error) {
                Fail(*job, error.what());
            }
            job->done = true;
        });
    bool terminal = isatty(STDOUT_FILENO);
    if (terminal) {
        auto running = [&] {
            for (const auto& job : jobs)
                if (!job->done) return true;
            return false;
        };
        while (running()) {
            ShowProgress(jobs);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        ShowProgress(jobs);
        std::cout << "\n";
    }
    for (auto& thread : threads)
        thread.join();
    int failed = 0;
    for (const auto& job : jobs) {
        if (job->error.empty()) {
            std::cout << "job " << job->id << ": " << job->sent << " bytes of " << job->file
                      << " to " << job->port << "\n";
        } else {
            std::cerr << "selvane spool: " << job->error << "\n";
            ++failed;
        }
    }
    return failed ? 1 : 0;
}

} // namespace

int Spool(Args& args) {
    if (args.empty()) throw Usage("spool needs ports or print");
    std::string command = args.take("command");
    if (command == "--help" || command == "-h") {
        std::cout << kHelp;
        return 0;
    }
    if (command == "ports") return Ports(args);
    if (command == "print") return Print(args);
    throw Usage("unknown spool command '" + command + "'");
}

} // namespace selvane

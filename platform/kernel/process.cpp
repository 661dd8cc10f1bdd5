// Starting programs: CreateProcessA.
//
// The command line is read as Windows reads it. A quoted program name ends at its closing quote;
// an unquoted one may hold spaces, so the prefixes that end at a space are tried in turn, the
// shortest first, until one names a program file ("C:\Program Files\x.exe a" tries "C:\Program",
// then "C:\Program Files\x.exe"). Backslashes in the path are separators.
//
// The started program is a process of its own: a session of its own, no terminal, standard
// streams on /dev/null, and the environment of this one (SELVANE_ROOT, SELVANE_UI and
// SELVANE_WINVER with it). It is started through an intermediate process so that it is nobody's
// child here: nothing waits for it, and it leaves no zombie behind.
#include "kernel/process.h"
#include "kernel/handles.h"
#include "kernel/sys.h"
#include "win32/kernel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace platform {

namespace {

class ProcessObject : public KernelObject {
public:
    explicit ProcessObject(pid_t pid) : pid_(pid) {}
    pid_t pid() const { return pid_; }

private:
    pid_t pid_;
};

bool IsProgram(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Splits the arguments after the program name as Windows' C runtime does: blanks separate,
// double quotes group, backslashes escape a quote.
std::vector<std::string> SplitArguments(std::string_view text) {
    std::vector<std::string> args;
    size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
            ++at;
        if (at >= text.size()) break;
        std::string arg;
        bool quoted = false;
        while (at < text.size() && (quoted || (text[at] != ' ' && text[at] != '\t'))) {
            size_t slashes = 0;
            while (at < text.size() && text[at] == '\\')
                ++slashes, ++at;
            if (at < text.size() && text[at] == '"') {
                arg.append(slashes / 2, '\\');
                if (slashes % 2) {
                    arg += '"';
                } else {
                    quoted = !quoted;
                }
                ++at;
            } else {
                arg.append(slashes, '\\');
                if (at < text.size() && (quoted || (text[at] != ' ' && text[at] != '\t')))
                    arg += text[at++];
            }
        }
        args.push_back(arg);
    }
    return args;
}

} // namespace

std::string WindowsPathToLocal(std::string_view path) {
    std::string local(path);
    std::replace(local.begin(), local.end(), '\\', '/');
    return local;
}

bool ParseCommandLine(std::string_view line, std::vector<std::string>& argv) {
    argv.clear();
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) return false;
    line.remove_prefix(start);
    std::string program;
    std::string_view rest;
    if (line[0] == '"') {
        size_t close = line.find('"', 1);
        program = WindowsPathToLocal(
            line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
        rest = close == std::string_view::npos ? std::string_view{} : line.substr(close + 1);
        if (!IsProgram(program)) return false;
    } else {
        // Try each prefix that ends before a blank, then the whole line.
        size_t end = 0;
        bool found = false;
        while (!found) {
            size_t blank = line.find_first_of(" \t", end);
            std::string candidate = WindowsPathToLocal(line.substr(0, blank));
            if (IsProgram(candidate)) {
                program = candidate;
                rest = blank == std::string_view::npos ? std::string_view{} : line.substr(blank);
                found = true;
            } else if (blank == std::string_view::npos) {
                return false;
            } else {
                end = blank + 1;
            }
        }
    }
    argv.push_back(program);
    for (auto& arg : SplitArguments(rest))
        argv.push_back(std::move(arg));
    return true;
}

} // namespace platform

using namespace platform;

extern "C" BOOL WINAPI CreateProcessA(LPCSTR applicationName, LPSTR commandLine,
                                      LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                                      LPVOID, LPCSTR currentDirectory, LPSTARTUPINFOA,
                                      LPPROCESS_INFORMATION processInformation) {
    std::vector<std::string> argv;
    if (applicationName && *applicationName) {
        argv.push_back(WindowsPathToLocal(applicationName));
        if (!IsProgram(argv[0])) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return FALSE;
        }
        if (commandLine) {
            // The command line's first word is the program's name as the caller spelled it.
            std::vector<std::string> words = SplitArguments(commandLine);
            for (size_t i = 1; i < words.size(); ++i)
                argv.push_back(words[i]);
        }
    } else if (!commandLine || !ParseCommandLine(commandLine, argv)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (access(argv[0].c_str(), X_OK) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::string directory = currentDirectory ? WindowsPathToLocal(currentDirectory) : "";

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        SetLastError(ErrnoToWin32(errno));
        return FALSE;
    }
    std::vector<char*> args;
    for (auto& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    pid_t middle = fork();
    if (middle < 0) {
        SysClose(report[0]);
        SysClose(report[1]);
        SetLastError(ErrnoToWin32(errno));
        return FALSE;
    }
    if (middle == 0) {
        setsid();
        pid_t child = fork();
        if (child != 0) {
            // Tell the starter the program's pid (or the failure), then leave it to init.
            int32_t message[2] = {child, child < 0 ? errno : 0};
            (void)!write(report[1], message, sizeof message);
            _exit(0);
        }
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        if (!directory.empty() && chdir(directory.c_str()) != 0) {
            int32_t message[2] = {-1, errno};
            (void)!write(report[1], message, sizeof message);
            _exit(127);
        }
        execve(args[0], args.data(), environ);
        int32_t message[2] = {-1, errno};
        (void)!write(report[1], message, sizeof message);
        _exit(127);
    }
    SysClose(report[1]);
    waitpid(middle, nullptr, 0);
    // The middle process writes the pid; a failing exec writes its error after it (the pipe
    // closes on a successful exec).
    int32_t started[2] = {-1, ECHILD}, failed[2] = {0, 0};
    auto got = SysReadAll(report[0], started, sizeof started);
    bool execFailed = SysReadAll(report[0], failed, sizeof failed).value == sizeof failed;
    SysClose(report[0]);
    if (!got || got.value != sizeof started || started[0] < 0 || execFailed) {
        SetLastError(ErrnoToWin32(execFailed ? failed[1] : started[1]));
        return FALSE;
    }
    if (processInformation) {
        processInformation->hProcess = InsertHandle(std::make_shared<ProcessObject>(started[0]));
        processInformation->hThread = InsertHandle(std::make_shared<ProcessObject>(started[0]));
        processInformation->dwProcessId = static_cast<DWORD>(started[0]);
        processInformation->dwThreadId = static_cast<DWORD>(started[0]);
    }
    return TRUE;
}

extern "C" DWORD WINAPI GetCurrentProcessId(void) {
    return static_cast<DWORD>(getpid());
}

// The emulated box's daemon.
//
// One poll loop serves the switch driver's socket and the three LPT sockets. A connection to an
// LPT socket is one opening of that parallel port; the data written to it reaches the device on
// the device port the box connects the LPT to at that moment. A write that the printer cannot
// take at once (it is slow, or offline) stays pending in the loop, so that no client holds up
// another, until the data is taken, the printer fails, or the write's time-out ends it.
#include "box_server.h"

#include "box_state.h"
#include "cli.h"
#include "kernel/device_protocol.h"
#include "kernel/sys.h"
#include "switch_command.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <vector>

namespace selvane::box {

namespace {

namespace proto = platform::device;
using Clock = std::chrono::steady_clock;

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

// How often a pending write looks at its printer again.
constexpr auto kTick = std::chrono::milliseconds(20);
// How often an idle box looks whether its machine root is still there.
constexpr int kIdleCheckMs = 1000;

struct Pending {
    proto::Request request;
    std::vector<unsigned char> data; // what a write still has to hand over
    uint32_t taken = 0;
    std::optional<Clock::time_point> deadline; // none: the write waits as long as it takes
    Clock::time_point last;                    // when a slow printer last took data
};

struct Client {
    int lpt = -1; // -1: the switch driver
    std::vector<char> in;
    DWORD commErrors = 0;
    // This opening's job on each device port that received data: its file, open while the
    // opening lasts.
    std::map<int, std::ofstream> jobs;
    std::optional<Pending> pending;
};

int Listen(const std::filesystem::path& path) {
    std::string name = path.string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.size() >= sizeof address.sun_path)
        throw Failure("the machine root's path is too long for a socket: " + name);
    std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
    unlink(name.c_str()); // a socket left by a box that did not end cleanly
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw Failure("cannot serve " + name + ": " + std::strerror(errno));
    return fd;
}

class Server {
public:
    Server() : connections_(LoadState()) {
        SaveState(connections_);
        stateFd_ = open(StatePath().c_str(), O_RDWR | O_CLOEXEC);
        logFd_ = open(LogPath().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    }
    ~Server() {
        close(stateFd_);
        close(logFd_);
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // `listeners[i]` serves the LPT `lpts[i]`, or the switch driver where that is -1.
    void Run(const std::vector<int>& listeners, const std::vector<int>& lpts) {
        while (!g_stop) {
            std::vector<pollfd> fds;
            for (int fd : listeners)
                fds.push_back({fd, POLLIN, 0});
            for (const auto& [fd, client] : clients_)
                fds.push_back({fd, static_cast<short>(client.pending ? 0 : POLLIN), 0});
            bool waiting = false;
            for (const auto& [fd, client] : clients_)
                waiting = waiting || client.pending;
            int timeout = waiting ? static_cast<int>(kTick.count()) : kIdleCheckMs;
            if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) break;
            if (g_stop) break;
            // A machine root removed under the box (a test's, say) takes the box with it.
            std::error_code gone;
            if (!std::filesystem::exists(DriverSocket(), gone)) break;
            for (size_t i = 0; i < listeners.size(); ++i) {
                if (!(fds[i].revents & POLLIN)) continue;
                int fd = accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0) Open(fd, lpts[i]);
            }
            for (size_t i = listeners.size(); i < fds.size(); ++i)
                if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) Read(fds[i].fd);
            std::vector<int> busy;
            for (const auto& [fd, client] : clients_)
                if (client.pending) busy.push_back(fd);
            for (int fd : busy)
                Advance(fd);
        }
        for (const auto& [fd, client] : clients_)
            close(fd);
    }

private:
    void Open(int fd, int lpt) {
        Client client;
        client.lpt = lpt;
        // Opening the port while the box connects it to a printer starts that printer's job.
        if (lpt >= 0 && connections_[static_cast<size_t>(lpt)] >= 0) {
            int port = connections_[static_cast<size_t>(lpt)];
            StartJob(client, port);
        }
        clients_[fd] = std::move(client);
    }

    void Drop(int fd) {
        close(fd);
        clients_.erase(fd);
    }

    void Read(int fd) {
        char buffer[65536];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return Drop(fd);
        auto& in = clients_[fd].in;
        in.insert(in.end(), buffer, buffer + n);
        Process(fd);
    }

    // Handles the requests waiting in the client's input, one at a time: a request that waits
    // holds up the ones behind it, as on one device handle.
    void Process(int fd) {
        while (clients_.count(fd) && !clients_[fd].pending) {
            auto& client = clients_[fd];
            if (client.in.size() < sizeof(proto::RequestHeader)) return;
            proto::RequestHeader header;
            std::memcpy(&header, client.in.data(), sizeof header);
            if (header.length > proto::kMaxPayload) return Drop(fd);
            size_t whole = sizeof header + header.length;
            if (client.in.size() < whole) return;
            std::vector<unsigned char> payload(client.in.begin() + sizeof header,
                                               client.in.begin() + static_cast<long>(whole));
            client.in.erase(client.in.begin(), client.in.begin() + static_cast<long>(whole));
            Handle(fd, header, std::move(payload));
        }
    }

    void Reply(int fd, uint32_t error, const void* payload = nullptr, uint32_t length = 0) {
        proto::ReplyHeader reply{error, length};
        std::vector<char> frame(sizeof reply + length);
        std::memcpy(frame.data(), &reply, sizeof reply);
        if (length) std::memcpy(frame.data() + sizeof reply, payload, length);
        if (!platform::SysWriteAll(fd, frame.data(), frame.size())) Drop(fd);
    }
    void ReplyCount(int fd, uint32_t error, uint32_t count) {
        Reply(fd, error, &count, sizeof count);
    }

    void Handle(int fd, const proto::RequestHeader& header, std::vector<unsigned char> payload) {
        auto& client = clients_[fd];
        auto request = static_cast<proto::Request>(header.request);
        if (client.lpt < 0) {
            if (request == proto::Request::IoControl && header.code == IOCTL_SWITCH_COMMAND)
                return Reply(fd, Switch(payload));
            return Reply(fd, ERROR_INVALID_FUNCTION);
        }
        switch (request) {
        case proto::Request::Write:
        case proto::Request::Read: {
            Pending pending{request, std::move(payload), 0, std::nullopt, Clock::now()};
            if (header.code)
                pending.deadline = Clock::now() + std::chrono::milliseconds(header.code);
            else if (request == proto::Request::Read)
                pending.deadline = Clock::now();
            client.pending = std::move(pending);
            return Advance(fd);
        }
        case proto::Request::ClearCommError: {
            uint32_t errors = client.commErrors;
            client.commErrors = 0;
            return ReplyCount(fd, 0, errors);
        }
        case proto::Request::Purge:
            return Reply(fd, 0);
        default:
            return Reply(fd, ERROR_INVALID_FUNCTION);
        }
    }

    // A command for the switch: 0, or the error the driver refuses it with.
    uint32_t Switch(const std::vector<unsigned char>& payload) {
        bool valid = payload.size() == 7 && payload[0] <= 2;
        int port = valid ? CommandPort(payload.data() + 1) : -1;
        valid = valid && port >= 0;
        Log(HexBytes(payload.data(), payload.size()) + (valid ? "" : " refused"));
        if (!valid) return ERROR_INVALID_PARAMETER;
        connections_[payload[0]] = port;
        if (!SaveConnection(stateFd_, payload[0], port)) SaveState(connections_);
        return 0;
    }

    void Log(const std::string& line) {
        std::string text = line + "\n";
        platform::SysWriteAll(logFd_, text.data(), text.size());
    }

    // Moves a pending read or write on as far as its printer lets it, and answers it when it
    // is done.
    void Advance(int fd) {
        auto& client = clients_[fd];
        auto& pending = *client.pending;
        auto now = Clock::now();
        bool expired = pending.deadline && now >= *pending.deadline;
        if (pending.request == proto::Request::Read) {
            // The emulated devices have nothing to say: a read ends empty at its time-out.
            if (!expired) return;
            client.pending.reset();
            Reply(fd, 0);
            return Process(fd);
        }
        int port = connections_[static_cast<size_t>(client.lpt)];
        Printer printer = port >= 0 ? LoadPrinter(client.lpt, port) : Printer{Fault::Offline, 0};
        DWORD fail = 0, bits = 0;
        if (printer.fault == Fault::PaperOut) {
            fail = ERROR_OUT_OF_PAPER;
            bits = CE_OOP;
        } else if (printer.fault == Fault::IoError) {
            fail = ERROR_IO_DEVICE;
            bits = CE_IOE;
        } else if (printer.fault == Fault::None) {
            size_t room = pending.data.size();
            if (printer.bytesPerSecond) {
                auto elapsed =
                    std::chrono::duration_cast<std::chrono::milliseconds>(now - pending.last)
                        .count();
                room = std::min<size_t>(room, static_cast<size_t>(elapsed) *
                                                  printer.bytesPerSecond / 1000);
            }
            if (room) {
                Deliver(client, port, pending.data.data(), room);
                pending.data.erase(pending.data.begin(),
                                   pending.data.begin() + static_cast<long>(room));
                pending.taken += static_cast<uint32_t>(room);
                pending.last = now;
            }
            if (pending.data.empty()) return Finish(fd, 0);
        }
        if (fail) {
            client.commErrors |= bits;
            return Finish(fd, pending.taken ? 0 : fail);
        }
        if (expired) {
            // Offline, or too slow for the time-out: what was taken counts; nothing taken fails.
            if (printer.fault == Fault::Offline) client.commErrors |= CE_DNS;
            return Finish(fd, pending.taken ? 0 : ERROR_SEM_TIMEOUT);
        }
    }

    void Finish(int fd, uint32_t error) {
        uint32_t taken = clients_[fd].pending->taken;
        clients_[fd].pending.reset();
        ReplyCount(fd, error, taken);
        Process(fd);
    }

    std::ofstream& StartJob(Client& client, int port) {
        Job job = NewJob(client.lpt, port);
        return client.jobs[port] = std::ofstream(job.file, std::ios::binary | std::ios::app);
    }

    void Deliver(Client& client, int port, const unsigned char* data, size_t size) {
        auto job = client.jobs.find(port);
        std::ofstream& out = job == client.jobs.end() ? StartJob(client, port) : job->second;
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        out.flush(); // `selvane box jobs` shows what arrived so far
    }

    Connections connections_;
    std::map<int, Client> clients_;
    int stateFd_ = -1, logFd_ = -1; // box/state and box/log, open while the box runs
};

} // namespace

int Serve() {
    std::filesystem::create_directories(Folder());
    std::filesystem::create_directories(DriverSocket().parent_path());
    if (Answers()) throw Failure("a box already runs for this machine root");
    std::vector<std::filesystem::path> paths{DriverSocket()};
    std::vector<int> lpts{-1};
    for (int lpt = 0; lpt < kLpts; ++lpt) {
        // A real parallel port linked here by `selvane setup --probe` is left alone.
        std::error_code error;
        if (std::filesystem::is_symlink(LptSocket(lpt), error)) continue;
        paths.push_back(LptSocket(lpt));
        lpts.push_back(lpt);
    }
    std::vector<int> listeners;
    for (const auto& path : paths)
        listeners.push_back(Listen(path));
    {
        // Written before the sockets listen, so whoever sees the box answer also finds its pid.
        std::ofstream pid(PidPath(), std::ios::trunc);
        pid << getpid() << "\n";
    }
    for (size_t i = 0; i < listeners.size(); ++i)
        if (listen(listeners[i], 64) != 0)
            throw Failure("cannot serve " + paths[i].string() + ": " + std::strerror(errno));

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    Server server;
    server.Run(listeners, lpts);
    for (size_t i = 0; i < listeners.size(); ++i) {
        close(listeners[i]);
        unlink(paths[i].c_str());
    }
    std::error_code ignored;
    std::filesystem::remove(PidPath(), ignored);
    return 0;
}

} // namespace selvane::box

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

#include <cstring>
#include <fstream>
#include <map>
#include <vector>

namespace selvane::box {

namespace {

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

struct Client {
    std::vector<char> in;
};

class Server {
public:
    Server() : connections_(LoadState()) {}

    void Run(int listener) {
        while (!g_stop) {
            std::vector<pollfd> fds{{listener, POLLIN, 0}};
            for (const auto& [fd, client] : clients_) fds.push_back({fd, POLLIN, 0});
            if (poll(fds.data(), fds.size(), -1) < 0) continue; // EINTR: look at g_stop
            if (fds[0].revents & POLLIN) {
                int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0) clients_[fd] = Client{};
            }
            for (size_t i = 1; i < fds.size(); ++i)
                if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) Read(fds[i].fd);
        }
        for (const auto& [fd, client] : clients_) close(fd);
    }

private:
    void Read(int fd) {
        char buffer[4096];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            close(fd);
            clients_.erase(fd);
            return;
        }
        auto& in = clients_[fd].in;
        in.insert(in.end(), buffer, buffer + n);
        while (in.size() >= sizeof(platform::device::RequestHeader)) {
            platform::device::RequestHeader header;
            std::memcpy(&header, in.data(), sizeof header);
            if (header.length > platform::device::kMaxPayload) {
                close(fd);
                clients_.erase(fd);
                return;
            }
            size_t whole = sizeof header + header.length;
            if (in.size() < whole) break;
            std::vector<unsigned char> payload(in.begin() + sizeof header, in.begin() + static_cast<long>(whole));
            in.erase(in.begin(), in.begin() + static_cast<long>(whole));
            platform::device::ReplyHeader reply{Handle(header, payload), 0};
            if (!platform::SysWriteAll(fd, &reply, sizeof reply)) {
                close(fd);
                clients_.erase(fd);
                return;
            }
        }
    }

    // The driver's answer to one request: 0, or the Win32 error it fails with.
    uint32_t Handle(const platform::device::RequestHeader& header,
                    const std::vector<unsigned char>& payload) {
        if (header.request != static_cast<uint32_t>(platform::device::Request::IoControl) ||
            header.code != IOCTL_SWITCH_COMMAND)
            return ERROR_INVALID_FUNCTION;
        bool valid = payload.size() == 7 && payload[0] <= 2;
        int port = valid ? CommandPort(payload.data() + 1) : -1;
        valid = valid && port >= 0;
        Log(HexBytes(payload.data(), payload.size()) + (valid ? "" : " refused"));
        if (!valid) return ERROR_INVALID_PARAMETER;
        connections_[payload[0]] = port;
        SaveState(connections_);
        return 0;
    }

    void Log(const std::string& line) {
        int fd = open(LogPath().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) return;
        std::string text = line + "\n";
        platform::SysWriteAll(fd, text.data(), text.size());
        close(fd);
    }

    Connections connections_;
    std::map<int, Client> clients_;
};

} // namespace

int Serve() {
    std::filesystem::create_directories(Folder());
    std::filesystem::create_directories(DriverSocket().parent_path());
    if (Answers()) throw Failure("a box already runs for this machine root");
    std::string path = DriverSocket().string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        throw Failure("the machine root's path is too long for a socket: " + path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    unlink(path.c_str()); // a socket left by a box that did not end cleanly
    int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw Failure("cannot serve " + path + ": " + std::strerror(errno));
    {
        // Written before the socket listens, so whoever sees the box answer also finds its pid.
        std::ofstream pid(PidPath(), std::ios::trunc);
        pid << getpid() << "\n";
    }
    if (listen(listener, 64) != 0) throw Failure("cannot serve " + path + ": " + std::strerror(errno));

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    Server server;
    server.Run(listener);
    close(listener);
    unlink(path.c_str());
    std::error_code ignored;
    std::filesystem::remove(PidPath(), ignored);
    return 0;
}

} // namespace selvane::box

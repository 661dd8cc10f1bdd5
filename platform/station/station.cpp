// The window station in one process: publishing its windows, serving its socket, and reaching
// the windows of other processes.
//
// Map:
//   Publish...         this process's top-level windows and tray icons into the table
//   Server             the thread that accepts requests on run/station/PID.sock and hands each
//                      to the thread of the window it concerns, which answers it
//   Execute            a request on the window's thread: a message, or an automation action
//   Send, Post, ...    the other side: requests to another process
#include "station/station.h"

#include "kernel/sys.h"
#include "station/wire.h"
#include "ui/automation.h"
#include "user/station_hooks.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

namespace station {

namespace {

std::atomic<bool> g_joined{false};
std::mutex g_lock;                        // guards what follows
std::map<uint64_t, uint64_t> g_sequences; // this process's published windows: hwnd -> sequence
std::vector<TrayEntry> g_icons;
int g_listener = -1;
std::string g_listenerRoot; // the machine root the socket was made for

uint64_t Value(HWND window) {
    return reinterpret_cast<uintptr_t>(window);
}
HWND Handle(uint64_t value) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
}

bool TextInMessage(UINT message, LPARAM lParam) {
    return lParam != 0 && (message == WM_SETTEXT || message == WM_WININICHANGE);
}

// --- serving requests ------------------------------------------------------------------------

void Reply(int fd, int64_t result, uint32_t status, const std::string& text) {
    SendFrame(fd, Writer().u64(static_cast<uint64_t>(result)).u32(status).str(text).frame());
    platform::SysClose(fd);
}

std::string MenuLines(const std::vector<user::MenuItem>& items) {
    std::string out;
    for (const auto& item : items) {
        if (item.flags & MF_SEPARATOR) continue;
        out += std::to_string(item.id) + ((item.flags & MF_CHECKED) ? " checked" : "") + " \"" +
               item.text + "\"\n";
    }
    return out;
}

int ToInt(const std::string& word, int fallback = -1) {
    try {
        size_t used = 0;
        int value = std::stoi(word, &used, 0);
        return used == word.size() ? value : fallback;
    } catch (const std::exception&) {
        return fallback;
    }
}

// An automation request, on the thread of the window it concerns. Actions answer before they
// act: a click may open a modal dialog that runs until somebody closes it.
void Automation(int fd, const std::vector<std::string>& words) {
    namespace a = ui::automation;
    const std::string& op = words.empty() ? std::string() : words[0];
    auto window = [&](size_t i) {
        return i < words.size() ? Handle(std::stoull(words[i], nullptr, 16)) : nullptr;
    };
    auto fail = [&](const std::string& why) { Reply(fd, 0, 1, why); };
    try {
        if (op == "controls") {
            HWND w = window(1);
            if (!IsWindow(w)) return fail("no such window");
            std::string out;
            for (const auto& control : a::Controls(w))
                out += a::Describe(control) + "\n";
            return Reply(fd, 0, 0, out);
        }
        if (op == "click" || op == "select" || op == "type") {
            HWND w = window(1);
            int id = words.size() > 2 ? ToInt(words[2], 0x7FFFFFFF) : 0x7FFFFFFF;
            auto control = a::Control(w, id);
            if (!control) return fail("no control " + (words.size() > 2 ? words[2] : ""));
            if (!control->enabled || !control->visible)
                return fail("control " + words[2] + " is disabled or hidden");
            if (op == "select") {
                int index = words.size() > 3 ? ToInt(words[3]) : -1;
                if (index < 0 || index >= static_cast<int>(control->items.size()))
                    return fail("no item " + (words.size() > 3 ? words[3] : ""));
                Reply(fd, 0, 0, "");
                a::Select(w, id, index);
                return;
            }
            Reply(fd, 0, 0, "");
            if (op == "click")
                a::Click(w, id);
            else
                a::Type(w, id, words.size() > 3 ? words[3] : "");
            return;
        }
        if (op == "key") {
            HWND w = window(1);
            std::string key = words.size() > 2 ? words[2] : "";
            if (!IsWindow(w)) return fail("no such window");
            if (key != "enter" && key != "escape") return fail("no key " + key);
            Reply(fd, 0, 0, "");
            a::Press(w, key == "enter" ? a::Key::Enter : a::Key::Escape);
            return;
        }
        if (op == "close") {
            HWND w = window(1);
            if (!IsWindow(w)) return fail("no such window");
            Reply(fd, 0, 0, "");
            a::Close(w);
            return;
        }
        if (op == "sysmenu") {
            HWND w = window(1);
            if (!IsWindow(w)) return fail("no such window");
            auto items = a::SystemMenu(w);
            if (words.size() < 3) return Reply(fd, 0, 0, MenuLines(items));
            UINT id = static_cast<UINT>(ToInt(words[2], 0));
            bool present = false;
            for (const auto& item : items)
                present = present || (item.id == id && !(item.flags & MF_GRAYED));
            if (!present) return fail("no system menu item " + words[2]);
            Reply(fd, 0, 0, "");
            a::ChooseSystemMenu(w, id);
            return;
        }
        if (op == "menu" || op == "pick") {
            auto items = a::PopupMenu();
            if (!items) return fail("no popup menu is shown");
            if (op == "menu") return Reply(fd, 0, 0, MenuLines(*items));
            UINT id = static_cast<UINT>(words.size() > 1 ? ToInt(words[1], 0) : 0);
            bool present = false;
            for (const auto& item : *items)
                present = present || (item.id == id && !(item.flags & (MF_GRAYED | MF_SEPARATOR)));
            if (!present) return fail("no menu item " + (words.size() > 1 ? words[1] : ""));
            Reply(fd, 0, 0, "");
            a::Pick(id);
            return;
        }
        if (op == "msgbox" || op == "answer") {
            auto box = a::MessageBox();
            if (!box) return fail("no message box is shown");
            if (op == "msgbox") {
                char style[16];
                std::snprintf(style, sizeof style, "%X", box->style);
                return Reply(fd, 0, 0,
                             std::string(style) + " \"" + box->caption + "\" \"" + box->text +
                                 "\"\n");
            }
            std::string answer = words.size() > 1 ? words[1] : "";
            int id = answer == "ok"       ? IDOK
                     : answer == "cancel" ? IDCANCEL
                     : answer == "yes"    ? IDYES
                     : answer == "no"     ? IDNO
                                          : 0;
            if (!id) return fail("no answer " + answer);
            Reply(fd, 0, 0, "");
            if (!a::Answer(id)) return; // the box had no such button: nothing happens
            return;
        }
        fail("unknown request " + op);
    } catch (const std::exception& error) {
        fail(error.what());
    }
}

void Message(int fd, Op op, Reader& in) {
    HWND window = Handle(in.u64());
    UINT message = in.u32();
    WPARAM wParam = static_cast<WPARAM>(in.u64());
    LPARAM lParam = static_cast<LPARAM>(in.u64());
    auto marshal = static_cast<Marshal>(in.u32());
    std::string text = in.str();
    if (op == Op::Post) {
        // Pointers do not travel with posted messages, as on Windows.
        PostMessageA(window, message, wParam, lParam);
        return;
    }
    if (marshal == Marshal::TextIn) lParam = reinterpret_cast<LPARAM>(text.c_str());
    std::string out;
    if (marshal == Marshal::TextOut) {
        out.assign(wParam, '\0');
        lParam = reinterpret_cast<LPARAM>(out.data());
    }
    LRESULT result = SendMessageA(window, message, wParam, lParam);
    if (marshal == Marshal::TextOut) out.resize(std::min(out.size(), std::strlen(out.c_str())));
    Reply(fd, result, 0, out);
}

// The thread a request runs on: the thread of the window it names, else the first thread with
// a window here.
DWORD ThreadFor(const std::vector<std::string>& words, Op op, HWND window) {
    if (op == Op::Automate) {
        const std::string& request = words.empty() ? std::string() : words[0];
        if (request == "msgbox" || request == "answer")
            window = user::FindMessageBoxWindow();
        else if (request == "menu" || request == "pick")
            window = nullptr; // the popup menu belongs to the loop of the program's windows
        else if (words.size() > 1)
            window = Handle(std::strtoull(words[1].c_str(), nullptr, 16));
    }
    if (DWORD thread = user::WindowThread(window)) return thread;
    return user::MainLoopThread();
}

void Serve(int listener) {
    for (;;) {
        int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return; // the socket was closed: the process is ending
        }
        std::string payload;
        if (!ReceiveFrame(fd, payload, 2000)) {
            platform::SysClose(fd);
            continue;
        }
        auto in = std::make_shared<Reader>(payload);
        auto op = static_cast<Op>(in->u32());
        std::vector<std::string> words;
        HWND window = nullptr;
        if (op == Op::Automate) {
            uint32_t count = in->u32();
            for (uint32_t i = 0; i < count && in->ok() && i < 64; ++i)
                words.push_back(in->str());
        } else {
            Reader peek(payload);
            peek.u32();
            window = Handle(peek.u64());
        }
        if (!in->ok() || (op != Op::Automate && op != Op::Send && op != Op::Post)) {
            platform::SysClose(fd);
            continue;
        }
        if (op == Op::Post) Reply(fd, 0, 0, ""); // a posted message is not waited for
        DWORD thread = ThreadFor(words, op, window);
        int replyFd = op == Op::Post ? -1 : fd;
        user::RunInLoop(thread, [replyFd, op, in, words]() {
            if (op == Op::Automate)
                Automation(replyFd, words);
            else
                Message(replyFd, op, *in);
        });
    }
}

// Makes this process's socket (once per machine root), so that a window is never published
// before its process can be reached.
void Listen() {
    std::string root = Folder().string();
    if (g_listener >= 0 && g_listenerRoot == root) return;
    std::error_code error;
    std::filesystem::create_directories(Folder(), error);
    std::string path = SocketOf(getpid()).string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    unlink(path.c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 64) != 0) {
        close(fd);
        return;
    }
    g_listener = fd;
    g_listenerRoot = root;
    std::thread(Serve, fd).detach();
}

// --- publishing ------------------------------------------------------------------------------

void PublishLocked() {
    Listen();
    Table mine;
    std::map<uint64_t, uint64_t> kept;
    for (HWND window : user::TopLevelWindows()) {
        auto w = user::Get(window);
        if (!w || w->destroying) continue;
        auto known = g_sequences.find(Value(window));
        mine.windows.push_back({Value(window), static_cast<int>(getpid()),
                                known == g_sequences.end() ? 0 : known->second, w->className,
                                w->text});
    }
    mine.icons = g_icons;
    Publish(mine);
    for (const auto& w : mine.windows)
        kept[w.hwnd] = w.sequence;
    g_sequences = std::move(kept);
}

void TopLevelChanged() {
    std::lock_guard guard(g_lock);
    PublishLocked();
}

// --- reaching other processes ----------------------------------------------------------------

std::string MessageFrame(Op op, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Writer w;
    w.u32(static_cast<uint32_t>(op))
        .u64(Value(window))
        .u32(message)
        .u64(wParam)
        .u64(static_cast<uint64_t>(lParam));
    if (op == Op::Send && TextInMessage(message, lParam))
        w.u32(static_cast<uint32_t>(Marshal::TextIn)).str(reinterpret_cast<const char*>(lParam));
    else if (op == Op::Send && message == WM_GETTEXT && lParam)
        w.u32(static_cast<uint32_t>(Marshal::TextOut)).str("");
    else
        w.u32(static_cast<uint32_t>(Marshal::None)).str("");
    return w.frame();
}

bool HookSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (PidOf(window) == getpid() || PidOf(window) == 0) return false;
    auto answer = Send(window, message, wParam, lParam, 30000);
    if (result) *result = answer.value_or(0);
    return true;
}

bool HookPost(HWND window, UINT message, WPARAM wParam, LPARAM lParam, BOOL* posted) {
    if (PidOf(window) == getpid() || PidOf(window) == 0) return false;
    *posted = Post(window, message, wParam, lParam) ? TRUE : FALSE;
    return true;
}

const user::StationHooks kHooks{TopLevelChanged, HookSend, HookPost, Broadcast, Find};

} // namespace

int PidOf(HWND window) {
    return static_cast<int>(Value(window) >> 32);
}

void Join() {
    if (g_joined.exchange(true)) return;
    user::SetStationHooks(&kHooks);
}

bool Joined() {
    return g_joined.load();
}

HWND Find(const char* className, const char* title) {
    // Only the matches are checked for life, the newest first: the table is read once and no
    // other process is looked at.
    Table table = ReadUnchecked();
    std::vector<const WindowEntry*> matches;
    for (const auto& w : table.windows) {
        if (className && strcasecmp(w.className.c_str(), className) != 0) continue;
        if (title && w.title != title) continue;
        matches.push_back(&w);
    }
    std::sort(matches.begin(), matches.end(),
              [](const WindowEntry* a, const WindowEntry* b) { return a->sequence > b->sequence; });
    for (const WindowEntry* w : matches)
        if (Alive(w->pid, w->start)) return Handle(w->hwnd);
    return nullptr;
}

std::optional<LRESULT> Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            int timeoutMs) {
    int fd = Connect(PidOf(window));
    if (fd < 0) return std::nullopt;
    std::string payload;
    bool ok = SendFrame(fd, MessageFrame(Op::Send, window, message, wParam, lParam)) &&
              ReceiveFrame(fd, payload, timeoutMs);
    platform::SysClose(fd);
    if (!ok) return std::nullopt;
    Reader in(payload);
    auto result = static_cast<LRESULT>(in.u64());
    in.u32();
    std::string text = in.str();
    if (message == WM_GETTEXT && lParam && wParam) {
        size_t n = std::min<size_t>(text.size(), wParam - 1);
        std::memcpy(reinterpret_cast<char*>(lParam), text.data(), n);
        reinterpret_cast<char*>(lParam)[n] = '\0';
    }
    return result;
}

bool Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    int fd = Connect(PidOf(window));
    if (fd < 0) return false;
    std::string payload;
    bool ok = SendFrame(fd, MessageFrame(Op::Post, window, message, wParam, lParam)) &&
              ReceiveFrame(fd, payload, 5000);
    platform::SysClose(fd);
    return ok;
}

void Broadcast(UINT message, WPARAM wParam, LPARAM lParam, bool wait) {
    // Every request goes out first; the answers are then collected against one deadline, so a
    // process that hangs costs the sender a few seconds at most, whatever the number of windows.
    const int self = getpid();
    std::vector<int> pending;
    for (const auto& w : Read().windows) {
        if (w.pid == self) continue;
        int fd = Connect(w.pid);
        if (fd < 0) continue;
        if (SendFrame(fd, MessageFrame(wait ? Op::Send : Op::Post, Handle(w.hwnd), message, wParam,
                                       lParam)))
            pending.push_back(fd);
        else
            platform::SysClose(fd);
    }
    // Posted messages are not waited for; sent ones for a few seconds in all.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(wait ? 3 : 0);
    for (int fd : pending) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        std::string payload;
        if (left > 0) ReceiveFrame(fd, payload, static_cast<int>(left));
        platform::SysClose(fd);
    }
}

void SetTrayIcons(std::vector<TrayEntry> icons) {
    std::lock_guard guard(g_lock);
    for (auto& icon : icons)
        icon.pid = static_cast<int>(getpid());
    g_icons = std::move(icons);
    PublishLocked();
}

Answer Automate(int pid, const std::vector<std::string>& words, int timeoutMs) {
    Answer answer;
    int fd = Connect(pid);
    if (fd < 0) {
        answer.text = "process " + std::to_string(pid) + " does not answer";
        return answer;
    }
    Writer w;
    w.u32(static_cast<uint32_t>(Op::Automate)).u32(static_cast<uint32_t>(words.size()));
    for (const auto& word : words)
        w.str(word);
    std::string payload;
    bool ok = SendFrame(fd, w.frame()) && ReceiveFrame(fd, payload, timeoutMs);
    platform::SysClose(fd);
    if (!ok) {
        answer.text = "process " + std::to_string(pid) + " does not answer";
        return answer;
    }
    Reader in(payload);
    in.u64();
    answer.status = static_cast<int>(in.u32());
    answer.text = in.str();
    return answer;
}

} // namespace station

// Windows and messages.
//
// Map:
//   the window table     handles, Get, TopLevelWindows, FindWindowA
//   classes              the system classes, RegisterClassA/ExA
//   thread state         each thread's queue, timers, hooks, focus and active window
//   creation, destruction  Create, CreateWindowExA, DestroyWindow
//   messages             SendMessageA, PostMessageA, GetMessageA, PeekMessageA, DispatchMessageA,
//                        ModalLoop, DefWindowProcA
//   state of a window    show, enable, text, focus, activation, window longs, painting
//   timers, hooks
#include "kernel/clock.h"
#include "user/internal.h"
#include "user/station_hooks.h"

#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace user {
namespace {

// --- the window table ------------------------------------------------------------------------
// A handle is (generation << 16) | (slot + 1): a stale handle to a reused slot is told apart by
// its generation, so an old HWND never reaches a new window.
struct Slot {
    std::shared_ptr<Window> window;
    uint16_t generation = 0;
};

std::recursive_mutex g_lock;
std::vector<Slot> g_slots;
std::vector<size_t> g_freeSlots;
std::vector<HWND> g_topLevel;
std::vector<std::unique_ptr<Class>> g_classes;
ATOM g_nextAtom = 0xC000;
HWND g_foreground = nullptr;

// A window handle carries its process in its high half, so that a handle seen in another process
// (through the window station) still says whose window it is.
uint64_t ProcessTag() {
    // Asked on every handle lookup: kept, and taken afresh in a child after fork.
    static std::atomic<uint64_t> tag{0};
    static std::once_flag once;
    std::call_once(once, [] { pthread_atfork(nullptr, nullptr, [] { tag.store(0); }); });
    uint64_t value = tag.load(std::memory_order_relaxed);
    if (value == 0) {
        value = static_cast<uint64_t>(getpid()) << 32;
        tag.store(value, std::memory_order_relaxed);
    }
    return value;
}

HWND MakeHandle(size_t slot, uint16_t generation) {
    return reinterpret_cast<HWND>(
        static_cast<uintptr_t>(ProcessTag() | (uint32_t(generation) << 16) | uint32_t(slot + 1)));
}

// Tells the window station that this process's top-level windows changed.
void TopLevelChanged() {
    if (auto hooks = GetStationHooks()) hooks->topLevelChanged();
}

// --- thread state ----------------------------------------------------------------------------
struct Timer {
    HWND window;
    UINT_PTR id;
    UINT elapse;
    uint64_t due;
    TIMERPROC proc;
};

struct Hook {
    int type;
    HOOKPROC proc;
    DWORD thread;
    HHOOK handle = nullptr;
};

struct ThreadState {
    std::deque<MSG> queue;
    bool quit = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    UINT_PTR nextTimerId = 0x7F00;
    std::vector<std::shared_ptr<Hook>> hooks; // most recent first
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
    bool shift = false;
    POINT cursor{320, 240};
    Popup* popup = nullptr;
    DWORD id = 0;
    ~ThreadState();
};

// Every thread's queue can be posted to from any thread: the queues are found by thread id and
// touched under one lock.
std::mutex g_queueLock;
std::unordered_map<DWORD, ThreadState*> g_threads;

ThreadState::~ThreadState() {
    std::lock_guard guard(g_queueLock);
    if (id) g_threads.erase(id);
}

std::atomic<DWORD> g_nextThreadId{0x100};
thread_local ThreadState t;

ThreadState& T() {
    if (t.id == 0) {
        t.id = g_nextThreadId.fetch_add(4);
        std::lock_guard guard(g_queueLock);
        g_threads[t.id] = &t;
    }
    return t;
}

HandleTable<Hook> g_hooks(0x00400000u);

// --- the host --------------------------------------------------------------------------------
class SleepingHost : public Host {
public:
    void Wait(uint64_t deadline) override {
        // Wakes for the next timer, or for work another thread hands this one (the station).
        WaitForWake(deadline, 1000);
    }
};
SleepingHost g_sleepingHost;
std::atomic<Host*> g_host{nullptr};

// --- helpers ---------------------------------------------------------------------------------
LRESULT CallCbt(int code, WPARAM wParam, LPARAM lParam) {
    auto& s = T();
    for (size_t i = 0; i < s.hooks.size(); ++i) {
        auto hook = s.hooks[i];
        if (hook->type != WH_CBT) continue;
        try {
            return hook->proc(code, wParam, lParam);
        } catch (...) {
            return 0;
        }
    }
    return 0;
}

bool IsDescendant(HWND ancestor, HWND window) {
    for (auto w = Get(window); w; w = Get(w->parent))
        if (w->handle == ancestor) return true;
    return false;
}

HWND TopLevelOf(HWND window) {
    auto w = Get(window);
    while (w && (w->style & WS_CHILD) && w->parent) {
        auto parent = Get(w->parent);
        if (!parent) break;
        w = parent;
    }
    return w ? w->handle : nullptr;
}

void RemoveFromTable(const Window& w) {
    {
        std::lock_guard guard(g_lock);
        uintptr_t value = reinterpret_cast<uintptr_t>(w.handle);
        size_t slot = (value & 0xFFFF) - 1;
        if (slot < g_slots.size() && g_slots[slot].window.get() == &w) {
            g_slots[slot].window.reset();
            g_freeSlots.push_back(slot);
        }
        g_topLevel.erase(std::remove(g_topLevel.begin(), g_topLevel.end(), w.handle),
                         g_topLevel.end());
        if (g_foreground == w.handle) g_foreground = nullptr;
    }
    if (!(w.style & WS_CHILD)) TopLevelChanged();
}

void RegisterSystemClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct Def {
            const char* name;
            WNDPROC proc;
            int extra;
        };
        const Def defs[] = {{"BUTTON", ButtonProc, 0},
                            {"EDIT", EditProc, 0},
                            {"STATIC", StaticProc, 0},
                            {"COMBOBOX", ComboProc, 0},
                            {"#32770", DefDlgProcA, DLGWINDOWEXTRA}};
        std::lock_guard guard(g_lock);
        for (const auto& d : defs) {
            auto c = std::make_unique<Class>();
            c->name = d.name;
            c->proc = d.proc;
            c->wndExtra = d.extra;
            c->system = true;
            c->atom = g_nextAtom++;
            g_classes.push_back(std::move(c));
        }
    });
}

ATOM Register(const Class& wanted) {
    RegisterSystemClasses();
    if (wanted.name.empty() || !wanted.proc || wanted.wndExtra < 0 || wanted.clsExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard guard(g_lock);
    for (const auto& c : g_classes) {
        if (!c->system && EqualNoCase(c->name, wanted.name)) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    auto c = std::make_unique<Class>(wanted);
    c->atom = g_nextAtom++;
    // A program's class of a system name stands in front of the system's, as on Windows.
    g_classes.insert(g_classes.begin(), std::move(c));
    return g_classes.front()->atom;
}

const Class* FindClassArg(LPCSTR name) {
    RegisterSystemClasses();
    if (!name) return nullptr;
    if (IS_INTRESOURCE(name)) {
        ATOM atom = LOWORD(name);
        std::lock_guard guard(g_lock);
        for (const auto& c : g_classes)
            if (c->atom == atom) return c.get();
        return nullptr;
    }
    return FindClass(name);
}

void DropMessagesOf(HWND window) {
    {
        auto& q = T().queue;
        std::lock_guard guard(g_queueLock);
        q.erase(std::remove_if(q.begin(), q.end(), [&](const MSG& m) { return m.hwnd == window; }),
                q.end());
    }
    auto& timers = T().timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [&](const Timer& tm) { return tm.window == window; }),
                 timers.end());
}

void SendDestroy(HWND window) {
    auto w = Get(window);
    if (!w) return;
    Call(window, WM_DESTROY, 0, 0);
    for (HWND child : std::vector<HWND>(w->children))
        SendDestroy(child);
}

void Free(HWND window) {
    auto w = Get(window);
    if (!w) return;
    for (HWND child : std::vector<HWND>(w->children))
        Free(child);
    Call(window, WM_NCDESTROY, 0, 0);
    auto& s = T();
    if (s.focus == window) s.focus = nullptr;
    if (s.active == window) s.active = nullptr;
    if (s.capture == window) s.capture = nullptr;
    DropMessagesOf(window);
    if (w->sysMenu) DestroyMenu(w->sysMenu);
    RemoveFromTable(*w);
}

uint64_t NextTimerDue() {
    uint64_t due = UINT64_MAX;
    for (const auto& tm : T().timers)
        due = std::min(due, tm.due);
    return due;
}

bool Matches(const MSG& m, HWND window, UINT min, UINT max) {
    if (window && m.hwnd != window && !IsDescendant(window, m.hwnd)) return false;
    if (min == 0 && max == 0) return true;
    return m.message >= min && m.message <= max;
}

MSG MakeMsg(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG m{};
    m.hwnd = window;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = static_cast<DWORD>(platform::ClockNowMs());
    m.pt = T().cursor;
    return m;
}

// The next message, in Windows' order: posted messages, the quit, painting, timers.
bool Peek(MSG* out, HWND window, UINT min, UINT max, bool remove) {
    auto& s = T();
    {
        std::lock_guard guard(g_queueLock);
        for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
            if (!Matches(*it, window, min, max)) continue;
            *out = *it;
            if (remove) s.queue.erase(it);
            return true;
        }
    }
    if (s.quit && (min == 0 || (WM_QUIT >= min && WM_QUIT <= max))) {
        *out = MakeMsg(nullptr, WM_QUIT, static_cast<WPARAM>(s.quitCode), 0);
        if (remove) s.quit = false;
        return true;
    }
    if (min == 0 || (WM_PAINT >= min && WM_PAINT <= max)) {
        std::vector<std::shared_ptr<Window>> candidates;
        {
            std::lock_guard guard(g_lock);
            for (const auto& slot : g_slots)
                if (slot.window && slot.window->invalid && slot.window->thread == s.id &&
                    (slot.window->style & WS_VISIBLE))
                    candidates.push_back(slot.window);
        }
        for (const auto& w : candidates) {
            if (window && w->handle != window && !IsDescendant(window, w->handle)) continue;
            *out = MakeMsg(w->handle, WM_PAINT, 0, 0);
            return true;
        }
    }
    if (min == 0 || (WM_TIMER >= min && WM_TIMER <= max)) {
        uint64_t now = platform::ClockNowMs();
        for (auto& tm : s.timers) {
            if (tm.due > now) continue;
            if (window && tm.window != window && !IsDescendant(window, tm.window)) continue;
            *out = MakeMsg(tm.window, WM_TIMER, tm.id, reinterpret_cast<LPARAM>(tm.proc));
            // Windows does not queue up missed periods: one WM_TIMER, then a full period again.
            if (remove) tm.due = now + tm.elapse;
            return true;
        }
    }
    return false;
}

void WaitForSomething() {
    Host* host = g_host.load();
    (host ? host : &g_sleepingHost)->Wait(NextTimerDue());
    RunLoopWork();
}

} // namespace

// --- the window table ------------------------------------------------------------------------

std::shared_ptr<Window> Get(HWND window) {
    uint64_t value = reinterpret_cast<uintptr_t>(window);
    if (value == 0 || (value & ~uint64_t{0xFFFFFFFFu}) != ProcessTag()) return nullptr;
    size_t slot = (value & 0xFFFF) - 1;
    uint16_t generation = static_cast<uint16_t>(value >> 16);
    std::lock_guard guard(g_lock);
    if (slot >= g_slots.size() || g_slots[slot].generation != generation) return nullptr;
    return g_slots[slot].window;
}

std::vector<HWND> TopLevelWindows() {
    std::lock_guard guard(g_lock);
    return g_topLevel;
}

const char* KindName(Kind kind) {
    switch (kind) {
    case Kind::Button:
        return "button";
    case Kind::DefButton:
        return "default";
    case Kind::Radio:
        return "radio";
    case Kind::CheckBox:
        return "check";
    case Kind::Edit:
        return "edit";
    case Kind::Combo:
        return "combo";
    case Kind::Static:
        return "static";
    case Kind::Group:
        return "group";
    case Kind::Line:
        return "line";
    case Kind::Picture:
        return "picture";
    case Kind::Dialog:
        return "dialog";
    case Kind::Window:
        break;
    }
    return "window";
}

void SetHost(Host* host) {
    g_host = host;
}
Host* GetHost() {
    return g_host.load();
}
void SetShiftDown(bool down) {
    T().shift = down;
}
void SetCursor(POINT point) {
    T().cursor = point;
}
Popup* ShownPopup() {
    return T().popup;
}

// Popups nest: TrackPopupMenu keeps the previous one and puts it back.
Popup* ExchangePopup(Popup* popup) {
    Popup* previous = T().popup;
    T().popup = popup;
    return previous;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return CompareNoCase(a, b) == 0;
}

int CompareNoCase(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = std::tolower(static_cast<unsigned char>(a[i]));
        int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

const Class* FindClass(std::string_view name) {
    RegisterSystemClasses();
    std::lock_guard guard(g_lock);
    for (const auto& c : g_classes)
        if (EqualNoCase(c->name, name)) return c.get();
    return nullptr;
}

// --- creation and destruction ----------------------------------------------------------------

HWND Create(const CreateParams& p) {
    if (!p.cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    bool child = (p.style & WS_CHILD) != 0;
    auto parent = Get(p.parent);
    if (child && !parent) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    auto w = std::make_shared<Window>();
    w->cls = p.cls;
    w->className = p.cls->name;
    w->proc = p.cls->proc;
    w->text = std::string(p.text);
    w->style = p.style;
    w->exStyle = p.exStyle;
    w->id = child ? p.id : 0;
    w->thread = T().id;
    w->instance = p.instance;
    w->extra.assign(static_cast<size_t>(p.cls->wndExtra), 0);
    w->rect = p.rect;
    if (child) {
        w->parent = p.parent;
    } else if (parent) {
        w->owner = TopLevelOf(p.parent);
    }
    if (p.setup) p.setup(*w);
    {
        std::lock_guard guard(g_lock);
        size_t slot;
        if (!g_freeSlots.empty()) {
            slot = g_freeSlots.back();
            g_freeSlots.pop_back();
        } else {
            if (g_slots.size() >= 0xFFFE) {
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return nullptr;
            }
            slot = g_slots.size();
            g_slots.emplace_back();
        }
        auto& s = g_slots[slot];
        s.generation = static_cast<uint16_t>(s.generation % 0x7FFF + 1);
        s.window = w;
        w->handle = MakeHandle(slot, s.generation);
        if (child)
            parent->children.push_back(w->handle);
        else
            g_topLevel.push_back(w->handle);
    }
    // Another process finds a top-level window from the moment it exists.
    if (!child) TopLevelChanged();
    HWND handle = w->handle;
    CREATESTRUCTA cs{};
    cs.lpCreateParams = p.param;
    cs.hInstance = p.instance;
    cs.hwndParent = p.parent;
    cs.x = p.rect.left;
    cs.y = p.rect.top;
    cs.cx = p.rect.right - p.rect.left;
    cs.cy = p.rect.bottom - p.rect.top;
    cs.style = static_cast<LONG>(p.style);
    cs.lpszName = w->text.c_str();
    cs.lpszClass = w->className.c_str();
    cs.dwExStyle = p.exStyle;
    CBT_CREATEWNDA cbt{&cs, nullptr};
    auto unlink = [&] {
        if (auto pw = Get(p.parent); pw && child)
            pw->children.erase(std::remove(pw->children.begin(), pw->children.end(), handle),
                               pw->children.end());
        RemoveFromTable(*w);
    };
    if (CallCbt(HCBT_CREATEWND, reinterpret_cast<WPARAM>(handle), reinterpret_cast<LPARAM>(&cbt))) {
        unlink();
        return nullptr;
    }
    if (!Call(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        unlink();
        return nullptr;
    }
    if (Call(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if (IsWindow(handle) && (p.style & WS_VISIBLE) && !child) {
        w->style &= ~WS_VISIBLE;
        ShowWindow(handle, SW_SHOWNORMAL);
    } else if (IsWindow(handle) && (p.style & WS_VISIBLE)) {
        w->invalid = true;
    }
    return IsWindow(handle) ? handle : nullptr;
}

LRESULT Call(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto w = Get(window);
    if (!w || !w->proc) return 0;
    try {
        return w->proc(window, message, wParam, lParam);
    } catch (...) {
        // No exception crosses a window procedure: the message counts as not handled.
        return 0;
    }
}

void NotifyParent(HWND control, WORD code) {
    auto w = Get(control);
    if (!w || !w->parent) return;
    SendMessageA(w->parent, WM_COMMAND, MAKEWPARAM(w->id, code), reinterpret_cast<LPARAM>(control));
}

void Activate(HWND window) {
    auto& s = T();
    HWND top = TopLevelOf(window);
    if (!top || top == s.active) return;
    CBTACTIVATESTRUCT cbt{FALSE, s.active};
    if (CallCbt(HCBT_ACTIVATE, reinterpret_cast<WPARAM>(top), reinterpret_cast<LPARAM>(&cbt)))
        return;
    HWND old = s.active;
    s.active = top;
    {
        std::lock_guard guard(g_lock);
        g_foreground = top;
    }
    if (old && IsWindow(old)) Call(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(top));
    if (IsWindow(top)) Call(top, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
}

void Invalidate(HWND window) {
    if (auto w = Get(window)) w->invalid = true;
}

bool ModalLoop(const std::function<bool()>& done, HWND dialog) {
    while (!done()) {
        MSG msg;
        if (!Peek(&msg, nullptr, 0, 0, true)) {
            WaitForSomething();
            continue;
        }
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (dialog && IsWindow(dialog) && IsDialogMessageA(dialog, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

} // namespace user

using namespace user;

// --- the Win32 surface -----------------------------------------------------------------------

extern "C" DWORD WINAPI GetCurrentThreadId(void) {
    return T().id;
}

extern "C" ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXA ex{sizeof ex,         wc->style,        wc->lpfnWndProc,   wc->cbClsExtra,
                   wc->cbWndExtra,    wc->hInstance,    wc->hIcon,         wc->hCursor,
                   wc->hbrBackground, wc->lpszMenuName, wc->lpszClassName, nullptr};
    return RegisterClassExA(&ex);
}

extern "C" ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc) {
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXA) || !wc->lpszClassName ||
        IS_INTRESOURCE(wc->lpszClassName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Class c;
    c.name = wc->lpszClassName;
    c.style = wc->style;
    c.proc = wc->lpfnWndProc;
    c.clsExtra = wc->cbClsExtra;
    c.wndExtra = wc->cbWndExtra;
    c.instance = wc->hInstance;
    c.icon = wc->hIcon;
    c.iconSm = wc->hIconSm;
    c.cursor = wc->hCursor;
    c.background = wc->hbrBackground;
    return Register(c);
}

extern "C" BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE) {
    const Class* c = FindClassArg(className);
    if (!c || c->system) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    {
        std::lock_guard guard(g_lock);
        for (const auto& slot : g_slots)
            if (slot.window && slot.window->cls == c) {
                SetLastError(ERROR_ACCESS_DENIED); // windows of the class still exist
                return FALSE;
            }
        g_classes.erase(std::remove_if(g_classes.begin(), g_classes.end(),
                                       [&](const auto& k) { return k.get() == c; }),
                        g_classes.end());
    }
    return TRUE;
}

extern "C" HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName,
                                       DWORD style, int x, int y, int width, int height,
                                       HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    CreateParams p;
    p.exStyle = exStyle;
    p.cls = FindClassArg(className);
    p.text = windowName ? windowName : "";
    p.style = style;
    p.rect = RECT{x, y, x + width, y + height};
    p.parent = parent;
    p.id = static_cast<int>(reinterpret_cast<uintptr_t>(menu));
    p.instance = instance;
    p.param = param;
    if (p.cls && p.cls->proc == DefDlgProcA) p.setup = [](Window& w) { w.kind = Kind::Dialog; };
    return Create(p);
}

extern "C" BOOL WINAPI DestroyWindow(HWND window) {
    auto w = Get(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->destroying) return FALSE;
    if (CallCbt(HCBT_DESTROYWND, reinterpret_cast<WPARAM>(window), 0)) return FALSE;
    w->destroying = true;
    bool wasActive = T().active == window;
    HWND owner = w->owner;
    // Owned windows go first, as on Windows.
    for (HWND other : TopLevelWindows()) {
        auto o = Get(other);
        if (o && o->owner == window) DestroyWindow(other);
    }
    if (IsDescendant(window, T().focus)) T().focus = nullptr;
    w->style &= ~WS_VISIBLE;
    SendDestroy(window);
    Free(window);
    if (auto parent = Get(w->parent))
        parent->children.erase(
            std::remove(parent->children.begin(), parent->children.end(), window),
            parent->children.end());
    if (wasActive) {
        T().active = nullptr;
        auto o = Get(owner);
        if (o && !(o->style & WS_DISABLED) && (o->style & WS_VISIBLE)) Activate(owner);
    }
    return TRUE;
}

extern "C" BOOL WINAPI IsWindow(HWND window) {
    return Get(window) ? TRUE : FALSE;
}

extern "C" HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName) {
    // The newest match: a program that starts again finds the window it looks for whichever came
    // first. Through the window station every process's windows are seen (this one's included);
    // a class given by its atom names a class of this process only.
    if (auto hooks = GetStationHooks(); hooks && (!className || !IS_INTRESOURCE(className)))
        return hooks->find(className, windowName);
    auto windows = TopLevelWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        auto w = Get(*it);
        if (!w || w->destroying) continue;
        if (className) {
            if (IS_INTRESOURCE(className)) {
                if (!w->cls || w->cls->atom != LOWORD(className)) continue;
            } else if (!EqualNoCase(w->className, className)) {
                continue;
            }
        }
        if (windowName && w->text != windowName) continue;
        return *it;
    }
    return nullptr;
}

extern "C" HWND WINAPI GetParent(HWND window) {
    auto w = Get(window);
    if (!w) return nullptr;
    return (w->style & WS_CHILD) ? w->parent : w->owner;
}

extern "C" HWND WINAPI GetWindow(HWND window, UINT relation) {
    auto w = Get(window);
    if (!w) return nullptr;
    if (relation == GW_OWNER) return w->owner;
    if (relation == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
    std::vector<HWND> siblings;
    if (auto parent = Get(w->parent); parent && (w->style & WS_CHILD))
        siblings = parent->children;
    else
        siblings = TopLevelWindows();
    auto it = std::find(siblings.begin(), siblings.end(), window);
    if (it == siblings.end()) return nullptr;
    switch (relation) {
    case GW_HWNDFIRST:
        return siblings.front();
    case GW_HWNDLAST:
        return siblings.back();
    case GW_HWNDNEXT:
        return it + 1 == siblings.end() ? nullptr : *(it + 1);
    case GW_HWNDPREV:
        return it == siblings.begin() ? nullptr : *(it - 1);
    }
    return nullptr;
}

extern "C" BOOL WINAPI ShowWindow(HWND window, int command) {
    auto w = Get(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    BOOL wasVisible = (w->style & WS_VISIBLE) ? TRUE : FALSE;
    if (command == SW_HIDE) {
        if (wasVisible) {
            w->style &= ~WS_VISIBLE;
            Call(window, WM_SHOWWINDOW, FALSE, 0);
            if (T().active == window) {
                T().active = nullptr;
                if (w->owner && IsWindow(w->owner)) Activate(w->owner);
            }
            if (IsDescendant(window, T().focus)) T().focus = nullptr;
        }
        return wasVisible;
    }
    if (command == SW_MINIMIZE || command == SW_SHOWMINIMIZED || command == SW_SHOWMINNOACTIVE) {
        w->iconic = true;
        w->style |= WS_MINIMIZE;
    } else if (command == SW_RESTORE || command == SW_SHOWNORMAL || command == SW_SHOWMAXIMIZED) {
        w->iconic = false;
        w->style &= ~WS_MINIMIZE;
    }
    if (!wasVisible) {
        w->style |= WS_VISIBLE;
        Call(window, WM_SHOWWINDOW, TRUE, 0);
    }
    w->invalid = true;
    bool activate = command != SW_SHOWNA && command != SW_SHOWNOACTIVATE &&
                    command != SW_SHOWMINNOACTIVE && command != SW_MINIMIZE;
    if (activate && !(w->style & WS_CHILD) && IsWindow(window)) Activate(window);
    return wasVisible;
}

extern "C" BOOL WINAPI UpdateWindow(HWND window) {
    auto w = Get(window);
    if (!w) return FALSE;
    if (w->invalid && (w->style & WS_VISIBLE)) Call(window, WM_PAINT, 0, 0);
    return TRUE;
}

extern "C" BOOL WINAPI EnableWindow(HWND window, BOOL enable) {
    auto w = Get(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
    if (enable && wasDisabled) {
        w->style &= ~WS_DISABLED;
        Call(window, WM_ENABLE, TRUE, 0);
    } else if (!enable && !wasDisabled) {
        if (IsDescendant(window, T().focus)) SetFocus(nullptr);
        w->style |= WS_DISABLED;
        Call(window, WM_ENABLE, FALSE, 0);
    }
    w->invalid = true;
    return wasDisabled;
}

extern "C" BOOL WINAPI IsWindowEnabled(HWND window) {
    auto w = Get(window);
    return w && !(w->style & WS_DISABLED);
}

extern "C" BOOL WINAPI IsWindowVisible(HWND window) {
    for (auto w = Get(window); w; w = Get(w->parent)) {
        if (!(w->style & WS_VISIBLE)) return FALSE;
        if (!(w->style & WS_CHILD)) return TRUE;
    }
    return FALSE;
}

extern "C" BOOL WINAPI IsIconic(HWND window) {
    auto w = Get(window);
    return w && w->iconic;
}

extern "C" BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
    if (!Get(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) ? TRUE
                                                                                           : FALSE;
}

extern "C" int WINAPI GetWindowTextA(HWND window, LPSTR buffer, int bufferMax) {
    if (!Get(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        if (buffer && bufferMax > 0) buffer[0] = '\0';
        return 0;
    }
    if (!buffer || bufferMax <= 0) return 0;
    return static_cast<int>(SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(bufferMax),
                                         reinterpret_cast<LPARAM>(buffer)));
}

extern "C" int WINAPI GetWindowTextLengthA(HWND window) {
    return static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
}

extern "C" int WINAPI GetClassNameA(HWND window, LPSTR buffer, int bufferMax) {
    auto w = Get(window);
    if (!w || !buffer || bufferMax <= 0) return 0;
    size_t n = std::min(w->className.size(), static_cast<size_t>(bufferMax - 1));
    std::memcpy(buffer, w->className.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

extern "C" LONG WINAPI GetWindowLongA(HWND window, int index) {
    auto w = Get(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (index) {
    case GWL_STYLE:
        return static_cast<LONG>(w->style);
    case GWL_EXSTYLE:
        return static_cast<LONG>(w->exStyle);
    case GWL_ID:
        return w->id;
    case GWL_USERDATA:
        return w->userData;
    }
    if (w->kind == Kind::Dialog && index == DWL_MSGRESULT) return static_cast<LONG>(w->msgResult);
    if (w->kind == Kind::Dialog && index == DWL_USER) return static_cast<LONG>(w->dlgUser);
    if (index >= 0 && static_cast<size_t>(index) + 4 <= w->extra.size()) {
        LONG value;
        std::memcpy(&value, &w->extra[static_cast<size_t>(index)], 4);
        return value;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

extern "C" LONG WINAPI SetWindowLongA(HWND window, int index, LONG value) {
    auto w = Get(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG old = GetWindowLongA(window, index);
    switch (index) {
    case GWL_STYLE:
        w->style = static_cast<DWORD>(value);
        return old;
    case GWL_EXSTYLE:
        w->exStyle = static_cast<DWORD>(value);
        return old;
    case GWL_ID:
        w->id = value;
        return old;
    case GWL_USERDATA:
        w->userData = value;
        return old;
    }
    if (w->kind == Kind::Dialog && index == DWL_MSGRESULT) {
        w->msgResult = value;
        return old;
    }
    if (w->kind == Kind::Dialog && index == DWL_USER) {
        w->dlgUser = value;
        return old;
    }
    if (index >= 0 && static_cast<size_t>(index) + 4 <= w->extra.size()) {
        std::memcpy(&w->extra[static_cast<size_t>(index)], &value, 4);
        return old;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

extern "C" BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
    auto w = Get(window);
    if (!w || !rect) return FALSE;
    *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

extern "C" BOOL WINAPI GetWindowRect(HWND window, LPRECT rect) {
    auto w = Get(window);
    if (!w || !rect) return FALSE;
    *rect = w->rect;
    for (auto p = Get(w->parent); p && (w->style & WS_CHILD); p = Get(p->parent)) {
        rect->left += p->rect.left;
        rect->right += p->rect.left;
        rect->top += p->rect.top;
        rect->bottom += p->rect.top;
        if (!(p->style & WS_CHILD)) break;
    }
    return TRUE;
}

extern "C" BOOL WINAPI InvalidateRect(HWND window, const RECT*, BOOL) {
    if (!window) return TRUE;
    auto w = Get(window);
    if (!w) return FALSE;
    w->invalid = true;
    return TRUE;
}

extern "C" HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    auto w = Get(window);
    if (!w || !paint) return nullptr;
    w->invalid = false;
    std::memset(paint, 0, sizeof *paint);
    // One device context per window while it paints; headless, nothing is drawn on it.
    paint->hdc = reinterpret_cast<HDC>(reinterpret_cast<uintptr_t>(window) | 0x80000000u);
    GetClientRect(window, &paint->rcPaint);
    paint->fErase = TRUE;
    return paint->hdc;
}

extern "C" BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT*) {
    return TRUE;
}

extern "C" HWND WINAPI SetFocus(HWND window) {
    auto& s = T();
    HWND old = s.focus;
    if (window && !Get(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (window == old) return old;
    if (window) {
        HWND top = TopLevelOf(window);
        if (top != s.active) Activate(top);
        if (!IsWindow(window)) return old;
        auto topWindow = Get(top);
        if (topWindow && topWindow->kind == Kind::Dialog && top != window)
            topWindow->lastFocus = window;
    }
    s.focus = window;
    if (old && IsWindow(old)) Call(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    if (window && IsWindow(window) && s.focus == window)
        Call(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

extern "C" HWND WINAPI GetFocus(void) {
    return T().focus;
}
extern "C" HWND WINAPI GetActiveWindow(void) {
    return T().active;
}

extern "C" HWND WINAPI SetActiveWindow(HWND window) {
    HWND old = T().active;
    if (Get(window)) Activate(window);
    return old;
}

extern "C" HWND WINAPI GetForegroundWindow(void) {
    std::lock_guard guard(g_lock);
    return g_foreground;
}

extern "C" BOOL WINAPI SetForegroundWindow(HWND window) {
    if (!Get(window)) return FALSE;
    Activate(window);
    std::lock_guard guard(g_lock);
    g_foreground = TopLevelOf(window);
    return TRUE;
}

extern "C" HWND WINAPI SetCapture(HWND window) {
    HWND old = T().capture;
    T().capture = window;
    return old;
}
extern "C" HWND WINAPI GetCapture(void) {
    return T().capture;
}
extern "C" BOOL WINAPI ReleaseCapture(void) {
    T().capture = nullptr;
    return TRUE;
}

extern "C" BOOL WINAPI GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    *point = T().cursor;
    return TRUE;
}

extern "C" BOOL WINAPI SetCursorPos(int x, int y) {
    T().cursor = POINT{x, y};
    return TRUE;
}

extern "C" short WINAPI GetKeyState(int key) {
    if (key == VK_SHIFT && T().shift) return static_cast<short>(0x8000);
    return 0;
}

// --- messages --------------------------------------------------------------------------------

extern "C" LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == HWND_BROADCAST) {
        for (HWND top : TopLevelWindows())
            Call(top, message, wParam, lParam);
        if (auto hooks = GetStationHooks()) hooks->broadcast(message, wParam, lParam, true);
        return TRUE;
    }
    if (!Get(window)) {
        LRESULT result = 0;
        if (auto hooks = GetStationHooks();
            hooks && hooks->send(window, message, wParam, lParam, &result))
            return result;
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return Call(window, message, wParam, lParam);
}

extern "C" BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == HWND_BROADCAST) {
        for (HWND top : TopLevelWindows())
            PostMessageA(top, message, wParam, lParam);
        if (auto hooks = GetStationHooks()) hooks->broadcast(message, wParam, lParam, false);
        return TRUE;
    }
    DWORD thread = T().id;
    if (window) {
        auto w = Get(window);
        if (!w) {
            BOOL posted = FALSE;
            if (auto hooks = GetStationHooks();
                hooks && hooks->post(window, message, wParam, lParam, &posted))
                return posted;
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        thread = w->thread; // into the queue of the window's own thread
    }
    MSG msg = MakeMsg(window, message, wParam, lParam);
    std::lock_guard guard(g_queueLock);
    auto it = g_threads.find(thread);
    if (it == g_threads.end()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    it->second->queue.push_back(msg);
    return TRUE;
}

extern "C" BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    if (!msg) return -1;
    while (!Peek(msg, window, filterMin, filterMax, true))
        WaitForSomething();
    return msg->message != WM_QUIT;
}

extern "C" BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax,
                                    UINT remove) {
    if (!msg) return FALSE;
    return Peek(msg, window, filterMin, filterMax, (remove & PM_REMOVE) != 0);
}

extern "C" BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (!msg || msg->message != WM_KEYDOWN) return FALSE;
    int key = static_cast<int>(msg->wParam);
    char ch = 0;
    if (key >= 'A' && key <= 'Z')
        ch = static_cast<char>(T().shift ? key : key + ('a' - 'A'));
    else if ((key >= '0' && key <= '9') || key == VK_SPACE || key == VK_RETURN ||
             key == VK_ESCAPE || key == VK_BACK || key == VK_TAB)
        ch = static_cast<char>(key);
    if (!ch) return FALSE;
    MSG translated = MakeMsg(msg->hwnd, WM_CHAR, static_cast<unsigned char>(ch), msg->lParam);
    auto& queue = T().queue;
    std::lock_guard guard(g_queueLock);
    queue.push_front(translated);
    return TRUE;
}

extern "C" LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        // The timer may have been killed since the message was made.
        auto& timers = T().timers;
        bool alive = std::any_of(timers.begin(), timers.end(), [&](const Timer& tm) {
            return tm.window == msg->hwnd && tm.id == msg->wParam && tm.proc == proc;
        });
        if (!alive) return 0;
        try {
            proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        } catch (...) {
        }
        return 0;
    }
    if (!msg->hwnd) return 0;
    if (!Get(msg->hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LRESULT result = Call(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    // A procedure that neither painted nor passed WM_PAINT on would get it again at once, for
    // ever; the window counts as painted, so that the loop can go on to wait for the person.
    if (msg->message == WM_PAINT)
        if (auto w = Get(msg->hwnd)) w->invalid = false;
    return result;
}

extern "C" void WINAPI PostQuitMessage(int exitCode) {
    T().quit = true;
    T().quitCode = exitCode;
}

extern "C" LRESULT WINAPI CallWindowProcA(WNDPROC procedure, HWND window, UINT message,
                                          WPARAM wParam, LPARAM lParam) {
    if (!procedure) return 0;
    try {
        return procedure(window, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

extern "C" LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto w = Get(window);
    if (!w) return 0;
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_SETTEXT:
        w->text = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
        w->invalid = true;
        if (!(w->style & WS_CHILD)) TopLevelChanged(); // titles are found across processes
        return TRUE;
    case WM_GETTEXT: {
        if (wParam == 0 || !lParam) return 0;
        auto* buffer = reinterpret_cast<LPSTR>(lParam);
        size_t n = std::min(w->text.size(), static_cast<size_t>(wParam - 1));
        std::memcpy(buffer, w->text.data(), n);
        buffer[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w->text.size());
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
    case WM_ICONERASEBKGND:
        return 1;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            SendMessageA(window, WM_CLOSE, 0, 0);
            break;
        case SC_MINIMIZE:
            ShowWindow(window, SW_MINIMIZE);
            break;
        case SC_RESTORE:
            ShowWindow(window, SW_RESTORE);
            break;
        }
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !w->iconic) SetFocus(window);
        return 0;
    case WM_SETICON: {
        HICON& slot = wParam == ICON_SMALL ? w->smallIcon : w->bigIcon;
        HICON old = slot;
        slot = reinterpret_cast<HICON>(lParam);
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_GETICON:
        return reinterpret_cast<LRESULT>(wParam == ICON_SMALL ? w->smallIcon : w->bigIcon);
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(w->cls ? w->cls->icon : nullptr);
    case WM_SETFONT:
        w->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(w->font);
    }
    return 0;
}

// --- timers ----------------------------------------------------------------------------------

extern "C" UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC procedure) {
    if (window && !Get(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    elapse = std::max<UINT>(elapse, 10); // the shortest period Windows keeps
    auto& s = T();
    uint64_t due = platform::ClockNowMs() + elapse;
    for (auto& tm : s.timers) {
        if (tm.window == window && tm.id == id && (window || id != 0)) {
            tm.elapse = elapse;
            tm.due = due;
            tm.proc = procedure;
            return window ? id : tm.id;
        }
    }
    if (!window) {
        // A thread timer gets an id of its own unless it replaces one of the thread's timers.
        id = s.nextTimerId++;
    }
    s.timers.push_back(Timer{window, id, elapse, due, procedure});
    return window ? (id ? id : 1) : id;
}

extern "C" BOOL WINAPI KillTimer(HWND window, UINT_PTR id) {
    auto& timers = T().timers;
    auto it = std::find_if(timers.begin(), timers.end(),
                           [&](const Timer& tm) { return tm.window == window && tm.id == id; });
    if (it == timers.end()) return FALSE;
    timers.erase(it);
    // A WM_TIMER already taken from the queue is not delivered after this (DispatchMessageA
    // looks the timer up again).
    return TRUE;
}

// --- hooks -----------------------------------------------------------------------------------

extern "C" HHOOK WINAPI SetWindowsHookExA(int idHook, HOOKPROC procedure, HINSTANCE module,
                                          DWORD threadId) {
    (void)module;
    if (!procedure) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (idHook != WH_CBT) {
        SetLastError(ERROR_INVALID_HOOK_FILTER);
        return nullptr;
    }
    // Only hooks of the calling thread exist here: a system-wide hook needs a module that other
    // processes can load, which this system does not offer.
    if (threadId != 0 && threadId != T().id) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto hook = std::make_shared<Hook>();
    hook->type = idHook;
    hook->proc = procedure;
    hook->thread = T().id;
    {
        std::lock_guard guard(g_lock);
        hook->handle = reinterpret_cast<HHOOK>(g_hooks.Add(hook));
    }
    T().hooks.insert(T().hooks.begin(), hook);
    return hook->handle;
}

extern "C" BOOL WINAPI UnhookWindowsHookEx(HHOOK hook) {
    std::shared_ptr<Hook> found;
    {
        std::lock_guard guard(g_lock);
        found = g_hooks.Find(reinterpret_cast<uintptr_t>(hook));
        if (found) g_hooks.Remove(reinterpret_cast<uintptr_t>(hook));
    }
    if (!found) {
        SetLastError(ERROR_INVALID_HOOK_HANDLE);
        return FALSE;
    }
    auto& hooks = T().hooks;
    hooks.erase(std::remove(hooks.begin(), hooks.end(), found), hooks.end());
    return TRUE;
}

extern "C" LRESULT WINAPI CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
    auto hooks = T().hooks;
    auto it =
        std::find_if(hooks.begin(), hooks.end(), [&](const auto& h) { return h->handle == hook; });
    if (it == hooks.end()) return 0;
    int type = (*it)->type;
    for (++it; it != hooks.end(); ++it) {
        if ((*it)->type != type) continue;
        try {
            return (*it)->proc(code, wParam, lParam);
        } catch (...) {
            return 0;
        }
    }
    return 0;
}

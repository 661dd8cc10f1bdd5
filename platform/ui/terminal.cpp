// The terminal renderer.
//
// Map:
//   restoring    the terminal's modes given back at exit, on a crash signal (then re-raised) and
//                when another process ends the program
//   geometry     pixels of the model to cells: one cell is 4 by 8 dialog units
//   Canvas       writing clipped to a window's client area
//   drawing      windows and their controls, the open list, the system menu, popup menus
//   input        keys and clicks turned into automation's actions, as in a Windows dialog
//   Terminal     the Host: draw, wait for input, the station's work or the next timer; act
#include "ui/terminal.h"

#include "kernel/clock.h"
#include "ui/automation.h"
#include "user/station_hooks.h"
#include "win32/resource.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <string_view>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

// ncurses' function-like macros (move, erase, timeout...) would shadow the standard library's
// names; its functions are enough.
#define NCURSES_NOMACROS
#include <curses.h>

namespace ui {

bool OnTerminal() {
    return isatty(STDIN_FILENO) && isatty(STDOUT_FILENO);
}

namespace {

// --- restoring -------------------------------------------------------------------------------

// What a signal handler needs, prepared while curses is open: only write and tcsetattr run in
// the handler, both safe there.
termios g_savedModes{};
char g_resetText[512];
size_t g_resetLength = 0;
std::atomic<bool> g_open{false};

constexpr int kSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGTERM, SIGHUP, SIGINT};
struct sigaction g_previous[std::size(kSignals)];
bool g_installed[std::size(kSignals)] = {};

void AppendReset(const char* text) {
    if (!text || text == reinterpret_cast<const char*>(-1)) return;
    size_t length = std::strlen(text);
    if (g_resetLength + length >= sizeof g_resetText) return;
    std::memcpy(g_resetText + g_resetLength, text, length);
    g_resetLength += length;
}

void RestoreFromSignal() {
    if (!g_open.exchange(false)) return;
    (void)!write(STDOUT_FILENO, g_resetText, g_resetLength);
    tcsetattr(STDIN_FILENO, TCSANOW, &g_savedModes);
}

void OnSignal(int signal) {
    int saved = errno;
    RestoreFromSignal();
    // Then what would have happened without us: the previous action (the default one: a core
    // for a crash, the end of the process for the others) runs as the handler returns.
    for (size_t i = 0; i < std::size(kSignals); ++i)
        if (kSignals[i] == signal && g_installed[i]) sigaction(signal, &g_previous[i], nullptr);
    raise(signal);
    errno = saved;
}

void InstallSignalHandlers() {
    for (size_t i = 0; i < std::size(kSignals); ++i) {
        struct sigaction previous {};
        if (sigaction(kSignals[i], nullptr, &previous) != 0) continue;
        // A signal the program was told to ignore (nohup) stays ignored.
        if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler == SIG_IGN) continue;
        struct sigaction mine {};
        mine.sa_handler = OnSignal;
        sigemptyset(&mine.sa_mask);
        if (sigaction(kSignals[i], &mine, &g_previous[i]) == 0) g_installed[i] = true;
    }
}

void CloseCurses() {
    if (!g_open.exchange(false)) return;
    endwin();
    tcsetattr(STDIN_FILENO, TCSANOW, &g_savedModes);
}

// --- geometry --------------------------------------------------------------------------------

// Pixels of a window with base units `base` back to dialog units, rounded.
int Units(int pixels, int base, int per) {
    if (base <= 0) base = per == 4 ? 8 : 16;
    pixels = std::max(pixels, 0);
    return (pixels * per * 2 + base) / (2 * base);
}
int Col(int pixels, int baseX) {
    return Units(pixels, baseX, 4) / 4;
}
int Row(int pixels, int baseY) {
    return Units(pixels, baseY, 8) / 8;
}

struct Box {
    int y = 0, x = 0, h = 0, w = 0;
    bool Has(int row, int col) const { return row >= y && row < y + h && col >= x && col < x + w; }
};

// The base units of a window: its own for a dialog, its parent's for a control.
std::pair<int, int> BaseOf(const user::Window& w) {
    if (w.kind == user::Kind::Dialog || !w.parent) return {w.baseX, w.baseY};
    auto parent = user::Get(w.parent);
    return parent ? std::pair{parent->baseX, parent->baseY} : std::pair{8, 16};
}

// The cells of a control inside its dialog's client area.
Box CellsOf(const user::Window& control) {
    auto [bx, by] = BaseOf(control);
    const RECT& r = control.rect;
    Box b;
    b.x = Col(r.left, bx);
    b.w = std::max(1, Col(r.right, bx) - b.x);
    b.y = Row(r.top, by);
    int bottom = (Units(r.bottom, by, 8) - 1) / 8; // the last row the control reaches into
    b.h = std::max(1, bottom - b.y + 1);
    return b;
}

// The row a single-line control sits on: the one that holds its middle. A drop-down list's
// height is mostly its dropped list; the line that shows its selection is its first 12 units.
int MiddleRow(const user::Window& control) {
    int by = BaseOf(control).second;
    int top = Units(control.rect.top, by, 8);
    int bottom = Units(control.rect.bottom, by, 8);
    if (control.kind == user::Kind::Combo) bottom = std::min(bottom, top + 12);
    return (top + bottom) / 2 / 8;
}

// The client area of a top-level window, in cells.
std::pair<int, int> ClientSize(const user::Window& w) {
    int du_w = Units(w.rect.right - w.rect.left, w.baseX, 4);
    int du_h = Units(w.rect.bottom - w.rect.top, w.baseY, 8);
    return {std::max(1, (du_h + 7) / 8), std::max(1, (du_w + 3) / 4)};
}

// A window's frame on the screen: the title bar on the first row, a border around the client.
Box FrameOf(const user::Window& w) {
    auto [rows, cols] = ClientSize(w);
    Box b;
    b.h = rows + 2;
    b.w = cols + 2;
    b.y = std::max(0, (LINES - b.h) / 2);
    b.x = std::max(0, (COLS - b.w) / 2);
    return b;
}

// --- text ------------------------------------------------------------------------------------

// A label without its mnemonic marks ("&Yes" shows "Yes", "&&" one "&"); `mnemonic` gets the
// position of the marked character, -1 when none.
std::string Label(std::string_view text, int* mnemonic = nullptr) {
    std::string out;
    if (mnemonic) *mnemonic = -1;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != '&' && mnemonic && *mnemonic < 0)
                *mnemonic = static_cast<int>(out.size());
        }
        out += text[i];
    }
    return out;
}

char MnemonicOf(std::string_view text) {
    int at = -1;
    std::string label = Label(text, &at);
    if (at < 0) return 0;
    return static_cast<char>(
        std::tolower(static_cast<unsigned char>(label[static_cast<size_t>(at)])));
}

// Text broken into lines of at most `width` characters, at spaces where it can.
std::vector<std::string> Wrap(std::string_view text, int width) {
    std::vector<std::string> lines;
    size_t w = static_cast<size_t>(std::max(width, 1));
    size_t start = 0;
    while (start <= text.size()) {
        size_t newline = text.find('\n', start);
        std::string_view para =
            text.substr(start, newline == std::string_view::npos ? text.npos : newline - start);
        while (para.size() > w) {
            size_t cut = para.rfind(' ', w);
            if (cut == std::string_view::npos || cut == 0) cut = w;
            lines.emplace_back(para.substr(0, cut));
            para = para.substr(cut);
            while (!para.empty() && para.front() == ' ')
                para.remove_prefix(1);
        }
        lines.emplace_back(para);
        if (newline == std::string_view::npos) break;
        start = newline + 1;
    }
    return lines;
}

// --- Canvas ----------------------------------------------------------------------------------

// Writes clipped to a rectangle of the screen (a window's client area, or the whole screen).
struct Canvas {
    Box clip;

    bool Inside(int y, int x) const { return clip.Has(y, x) && y < LINES && x < COLS; }
    void Char(int y, int x, chtype ch) const {
        if (Inside(y, x)) mvaddch(y, x, ch);
    }
    void Text(int y, int x, std::string_view text, attr_t attr = A_NORMAL) const {
        for (size_t i = 0; i < text.size(); ++i) {
            auto ch = static_cast<unsigned char>(text[i]);
            if (ch < 0x20) ch = ' ';
            Char(y, x + static_cast<int>(i), ch | attr);
        }
    }
    // A label with its mnemonic underlined.
    void LabelAt(int y, int x, std::string_view text, attr_t attr) const {
        int mnemonic = -1;
        std::string label = Label(text, &mnemonic);
        Text(y, x, label, attr);
        if (mnemonic >= 0)
            Char(y, x + mnemonic,
                 static_cast<unsigned char>(label[static_cast<size_t>(mnemonic)]) | attr |
                     A_UNDERLINE);
    }
    void Fill(const Box& b, chtype ch) const {
        for (int y = b.y; y < b.y + b.h; ++y)
            for (int x = b.x; x < b.x + b.w; ++x)
                Char(y, x, ch);
    }
    void HLine(int y, int x, int w, attr_t attr = A_NORMAL) const {
        for (int i = 0; i < w; ++i)
            Char(y, x + i, ACS_HLINE | attr);
    }
    void VLine(int y, int x, int h, attr_t attr = A_NORMAL) const {
        for (int i = 0; i < h; ++i)
            Char(y + i, x, ACS_VLINE | attr);
    }
    void Frame(const Box& b, attr_t attr = A_NORMAL) const {
        if (b.w < 2 || b.h < 2) {
            HLine(b.y, b.x, b.w, attr);
            return;
        }
        HLine(b.y, b.x + 1, b.w - 2, attr);
        HLine(b.y + b.h - 1, b.x + 1, b.w - 2, attr);
        VLine(b.y + 1, b.x, b.h - 2, attr);
        VLine(b.y + 1, b.x + b.w - 1, b.h - 2, attr);
        Char(b.y, b.x, ACS_ULCORNER | attr);
        Char(b.y, b.x + b.w - 1, ACS_URCORNER | attr);
        Char(b.y + b.h - 1, b.x, ACS_LLCORNER | attr);
        Char(b.y + b.h - 1, b.x + b.w - 1, ACS_LRCORNER | attr);
    }
};

std::string Fit(std::string text, int width) {
    size_t w = static_cast<size_t>(std::max(width, 0));
    if (text.size() > w) text.resize(w);
    return text;
}
std::string Pad(std::string text, int width) {
    text = Fit(std::move(text), width);
    text.resize(static_cast<size_t>(std::max(width, 0)), ' ');
    return text;
}

// Colour pairs 1 to 16 paint a cell in one of the 16 colours of the classic palette, whose order
// is the terminal's (0 black, 1 dark red... 7 light grey, 8 dark grey... 15 white).
bool g_colours = false;
attr_t PaletteCell(int index) {
    return g_colours ? COLOR_PAIR(1 + index) : A_NORMAL;
}
int PaletteIndex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1; // transparent
}

// Keys ncurses does not name: Alt with the arrows and F4, as xterm and tmux send them.
constexpr int kAltDown = KEY_MAX + 1;
constexpr int kAltUp = KEY_MAX + 2;
constexpr int kAltF4 = KEY_MAX + 3;

} // namespace

// --- the renderer's state --------------------------------------------------------------------

struct Terminal::State {
    bool tried = false; // curses was set up, or found impossible
    SCREEN* screen = nullptr;
    std::thread::id owner;

    // What is where on the screen, from the last drawing, for mouse clicks.
    enum class Spot { Control, CloseBox, ListItem, MenuItem };
    struct Area {
        Box box;
        Spot spot;
        HWND window;
        int id; // a control's id, a list's index, a menu's item index
    };
    std::vector<Area> areas;

    // A drop-down list the person opened (the model's combo shows only its selection).
    HWND list = nullptr;
    int listHighlight = 0;
    // The system menu the person opened with Alt-Space.
    HWND sysMenuOf = nullptr;
    int sysHighlight = 0;
    // The highlight in the popup menu the program shows.
    HMENU popupMenu = nullptr;
    int popupHighlight = 0;

    bool Open();
    void Draw();
    void DrawWindow(const user::Window& w, bool active);
    void DrawControl(const Canvas& c, const Box& client, const user::Window& w, bool active);
    void DrawMenu(const std::vector<user::MenuItem>& items, int highlight, int y, int x,
                  HWND window);
    void DrawList();

    HWND Active() const;
    void Act(int key, bool alt);
    bool MenuKey(int key, const std::vector<user::MenuItem>& items, int& highlight, UINT* chosen,
                 bool* dismissed);
    void DialogKey(HWND dialog, int key, bool alt);
    void Click(int y, int x);
};

namespace {
bool Selectable(const user::MenuItem& item) {
    return !(item.flags & (MF_SEPARATOR | MF_POPUP | MF_GRAYED | MF_DISABLED));
}

int FirstSelectable(const std::vector<user::MenuItem>& items) {
    for (size_t i = 0; i < items.size(); ++i)
        if (Selectable(items[i])) return static_cast<int>(i);
    return 0;
}
} // namespace

bool Terminal::State::Open() {
    if (tried) return screen != nullptr;
    tried = true;
    owner = std::this_thread::get_id();
    if (!OnTerminal() || tcgetattr(STDIN_FILENO, &g_savedModes) != 0) return false;
    // Ours first, so that ncurses leaves the signals alone and every way out restores.
    InstallSignalHandlers();
    screen = newterm(nullptr, stdout, stdin);
    if (!screen) return false;
    set_term(screen);
    cbreak(); // Ctrl-C still interrupts: the handler gives the terminal back first
    noecho();
    nonl();
    intrflush(stdscr, FALSE);
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    set_escdelay(25);
    curs_set(0);
    mousemask(BUTTON1_PRESSED | BUTTON1_CLICKED, nullptr);
    mouseinterval(0);
    define_key("\033[1;3B", kAltDown);
    define_key("\033[1;3A", kAltUp);
    define_key("\033[1;3S", kAltF4);
    if (has_colors() && start_color() == OK) {
        use_default_colors();
        int colours = COLORS >= 16 ? 16 : 8;
        for (short i = 0; i < 16; ++i) {
            short c = static_cast<short>(i % colours);
            init_pair(static_cast<short>(1 + i), c, c);   // a block of colour
            init_pair(static_cast<short>(17 + i), c, -1); // a sign in colour
        }
        g_colours = true;
    }
    // What endwin would write, for the signal handler that may not call it.
    g_resetLength = 0;
    AppendReset(tigetstr("sgr0"));
    AppendReset(tigetstr("cnorm"));
    AppendReset(tigetstr("rmkx"));
    AppendReset("\033[?1000l\033[?1002l\033[?1006l"); // mouse reports off
    AppendReset(tigetstr("rmcup"));
    g_open = true;
    static bool atExit = (std::atexit(CloseCurses), true);
    (void)atExit;
    return true;
}

// --- drawing ---------------------------------------------------------------------------------

void Terminal::State::Draw() {
    areas.clear();
    erase();
    HWND active = Active();
    std::vector<std::shared_ptr<user::Window>> shown;
    for (HWND h : user::TopLevelWindows())
        if (auto w = user::Get(h); w && (w->style & WS_VISIBLE) && !w->iconic && !w->destroying)
            shown.push_back(w);

    // A window that does not fit would be drawn cut: say so instead, until the terminal grows.
    for (const auto& w : shown) {
        Box f = FrameOf(*w);
        if (f.h <= LINES && f.w <= COLS) continue;
        Canvas screenCanvas{{0, 0, LINES, COLS}};
        std::string text = "\"" + w->text + "\" needs " + std::to_string(f.w) + "x" +
                           std::to_string(f.h) + "; the terminal has " + std::to_string(COLS) +
                           "x" + std::to_string(LINES) + ". Enlarge it.";
        auto lines = Wrap(text, std::max(1, COLS - 2));
        int y = std::max(0, (LINES - static_cast<int>(lines.size())) / 2);
        for (const auto& line : lines)
            screenCanvas.Text(y++, std::max(0, (COLS - static_cast<int>(line.size())) / 2), line);
        curs_set(0);
        refresh();
        return;
    }

    int cursorY = -1, cursorX = -1;
    for (const auto& w : shown) {
        DrawWindow(*w, w->handle == active);
        // The caret of the focused edit of the active window.
        HWND focus = GetFocus();
        auto f = user::Get(focus);
        if (w->handle == active && f && f->parent == w->handle && f->kind == user::Kind::Edit &&
            (f->style & WS_VISIBLE)) {
            Box frame = FrameOf(*w);
            Box cells = CellsOf(*f);
            int row = frame.y + 1 + MiddleRow(*f);
            int field = std::max(1, cells.w);
            int caret = static_cast<int>(std::min<size_t>(f->selEnd, f->text.size()));
            int first = std::max(0, caret - (field - 1));
            cursorY = row;
            cursorX = frame.x + 1 + cells.x + (caret - first);
        }
    }
    // What the person opened lies over the windows.
    if (list) DrawList();
    if (sysMenuOf) {
        if (auto w = user::Get(sysMenuOf)) {
            Box f = FrameOf(*w);
            DrawMenu(automation::SystemMenu(sysMenuOf), sysHighlight, f.y + 1, f.x, sysMenuOf);
        }
    }
    if (user::Popup* popup = user::ShownPopup(); popup && !popup->done) {
        auto items = user::MenuItems(popup->menu);
        if (popupMenu != popup->menu) {
            popupMenu = popup->menu;
            popupHighlight = FirstSelectable(items);
        }
        // At the cursor where TrackPopupMenu was asked to show it, inside its owner's frame.
        int y = LINES / 2, x = COLS / 2;
        if (auto owner = user::Get(popup->owner)) {
            Box f = FrameOf(*owner);
            POINT at{};
            GetCursorPos(&at);
            y = f.y + 1 + Row(at.y - owner->rect.top, owner->baseY);
            x = f.x + 1 + Col(at.x - owner->rect.left, owner->baseX);
            if (!f.Has(y, x)) y = f.y + 1, x = f.x + 1;
        }
        DrawMenu(items, popupHighlight, y, x, popup->owner);
    } else {
        popupMenu = nullptr;
    }
    if (cursorY >= 0 && !list && !sysMenuOf && !user::ShownPopup()) {
        curs_set(1);
        move(cursorY, cursorX);
    } else {
        curs_set(0);
    }
    refresh();
}

void Terminal::State::DrawWindow(const user::Window& w, bool active) {
    Box f = FrameOf(w);
    Canvas screenCanvas{{0, 0, LINES, COLS}};
    screenCanvas.Fill(f, ' ');
    screenCanvas.Frame(f);
    // The title bar: the caption, and the close box of a window with a system menu. The active
    // window's stands out, as on Windows.
    bool closeBox = (w.style & WS_SYSMENU) != 0;
    int room = f.w - 2 - (closeBox ? 4 : 0);
    if (active) {
        screenCanvas.Text(f.y, f.x, Pad(" " + w.text, f.w), A_REVERSE);
    } else {
        screenCanvas.Text(f.y, f.x + 1, Fit(" " + w.text + " ", room));
    }
    if (closeBox) {
        screenCanvas.Text(f.y, f.x + f.w - 4, "[X]", active ? A_REVERSE : A_NORMAL);
        areas.push_back({{f.y, f.x + f.w - 4, 1, 3}, Spot::CloseBox, w.handle, 0});
    }
    Box client{f.y + 1, f.x + 1, f.h - 2, f.w - 2};
    Canvas c{client};
    for (HWND child : w.children)
        if (auto control = user::Get(child); control && (control->style & WS_VISIBLE))
            DrawControl(c, client, *control, active);
}

void Terminal::State::DrawControl(const Canvas& c, const Box& client, const user::Window& w,
                                  bool active) {
    Box b = CellsOf(w);
    b.y += client.y;
    b.x += client.x;
    bool enabled = !(w.style & WS_DISABLED);
    bool focused = active && GetFocus() == w.handle;
    attr_t dim = enabled ? A_NORMAL : A_DIM;
    attr_t focus = focused ? A_REVERSE : A_NORMAL;
    int mid = client.y + MiddleRow(w);
    auto area = [&](const Box& box) { areas.push_back({box, Spot::Control, w.parent, w.id}); };

    // A message box's icon is the one control of the box without text or image.
    auto parent = user::Get(w.parent);
    bool boxIcon = parent && parent->messageBox && w.text.empty() && !w.image &&
                   (w.kind == user::Kind::Picture || w.kind == user::Kind::Static);

    switch (boxIcon ? user::Kind::Picture : w.kind) {
    case user::Kind::Button:
    case user::Kind::DefButton: {
        // "[ OK ]"; the default button "[> OK <]", as Windows draws it with a heavier frame.
        // A label that leaves no room for the spaces loses them; the frame may then reach one
        // cell past the button, into the gap dialogs leave between controls.
        bool def = w.kind == user::Kind::DefButton;
        std::string label = Label(w.text);
        int len = static_cast<int>(label.size());
        bool tight = len + (def ? 6 : 4) > b.w;
        std::string open = def ? (tight ? "[>" : "[> ") : (tight ? "[" : "[ ");
        std::string close = def ? (tight ? "<]" : " <]") : (tight ? "]" : " ]");
        int room = b.w + 1 - static_cast<int>(open.size() + close.size());
        if (len > room) label.resize(static_cast<size_t>(std::max(0, room)));
        std::string text = open + label + close;
        int x = b.x + (b.w - static_cast<int>(text.size())) / 2;
        c.Text(mid, x, text, dim | focus);
        int mnemonic = -1;
        Label(w.text, &mnemonic);
        if (mnemonic >= 0 && mnemonic < static_cast<int>(label.size()))
            c.Char(mid, x + static_cast<int>(open.size()) + mnemonic,
                   static_cast<unsigned char>(label[static_cast<size_t>(mnemonic)]) | dim | focus |
                       A_UNDERLINE);
        area({mid, b.x, 1, b.w});
        break;
    }
    case user::Kind::Radio:
    case user::Kind::CheckBox: {
        bool radio = w.kind == user::Kind::Radio;
        bool checked = w.check == BST_CHECKED;
        std::string mark = radio ? (checked ? "(*)" : "( )") : (checked ? "[x]" : "[ ]");
        c.Text(mid, b.x, mark + " ", dim);
        c.LabelAt(mid, b.x + 4, Fit(w.text, b.w - 4 + 1), dim | focus);
        area({mid, b.x, 1, b.w});
        break;
    }
    case user::Kind::Edit: {
        // The field is underlined; what is typed past its width scrolls, keeping the caret seen.
        bool readOnly = (w.style & ES_READONLY) != 0;
        int field = std::max(1, b.w);
        int caret = static_cast<int>(std::min<size_t>(w.selEnd, w.text.size()));
        int first = std::max(0, caret - (field - 1));
        int selStart = static_cast<int>(std::min(w.selStart, w.selEnd));
        int selEnd = static_cast<int>(std::max(w.selStart, w.selEnd));
        for (int i = 0; i < field; ++i) {
            int at = first + i;
            chtype ch = at < static_cast<int>(w.text.size())
                            ? static_cast<unsigned char>(w.text[static_cast<size_t>(at)])
                            : (readOnly ? ' ' : '_');
            attr_t attr = dim;
            if (focused && at >= selStart && at < selEnd) attr |= A_REVERSE;
            c.Char(mid, b.x + i, ch | attr);
        }
        area({mid, b.x, 1, b.w});
        break;
    }
    case user::Kind::Combo: {
        // A drop-down list shows its selection and the mark that opens it: "[LPT1     v]".
        std::string text = w.sel >= 0 && w.sel < static_cast<int>(w.items.size())
                               ? w.items[static_cast<size_t>(w.sel)]
                               : "";
        int field = std::max(0, b.w - 3);
        c.Text(mid, b.x, "[", dim);
        c.Text(mid, b.x + 1, Pad(text, field), dim | focus);
        c.Text(mid, b.x + 1 + field, "v]", dim);
        area({mid, b.x, 1, b.w});
        break;
    }
    case user::Kind::Static: {
        // Lines of 8 units, each on the row that holds its middle, as many as the height takes.
        DWORD type = w.style & SS_TYPEMASK;
        int by = BaseOf(w).second;
        int top = Units(w.rect.top, by, 8);
        int lines = std::max(1, (Units(w.rect.bottom, by, 8) - top) / 8);
        int row = client.y + (top + 4) / 8;
        for (const auto& line : Wrap(Label(w.text), b.w)) {
            if (lines-- <= 0) break;
            int x = b.x;
            int len = static_cast<int>(line.size());
            if (type == SS_CENTER) x += std::max(0, (b.w - len) / 2);
            if (type == SS_RIGHT) x += std::max(0, b.w - len);
            c.Text(row++, x, line, dim);
        }
        break;
    }
    case user::Kind::Group: {
        c.Frame(b, dim);
        if (!w.text.empty()) c.LabelAt(b.y, b.x + 1, " " + Fit(w.text, b.w - 4) + " ", dim);
        break;
    }
    case user::Kind::Line: {
        DWORD type = w.style & SS_TYPEMASK;
        if (type == SS_ETCHEDVERT)
            c.VLine(b.y, b.x, b.h, dim);
        else if (type == SS_ETCHEDFRAME)
            c.Frame(b, dim);
        else
            c.HLine(b.y, b.x, b.w, dim);
        break;
    }
    case user::Kind::Picture: {
        if (boxIcon) {
            // A message box's icon: its sign, in the colour Windows gives it.
            const char* sign = nullptr;
            int colour = 0;
            switch (parent->boxStyle & MB_ICONMASK) {
            case MB_ICONHAND:
                sign = "(X)", colour = 9;
                break;
            case MB_ICONQUESTION:
                sign = "(?)", colour = 12;
                break;
            case MB_ICONEXCLAMATION:
                sign = "/!\\", colour = 11;
                break;
            case MB_ICONASTERISK:
                sign = "(i)", colour = 12;
                break;
            }
            if (sign) {
                attr_t attr = g_colours ? COLOR_PAIR(17 + colour) | A_BOLD : A_BOLD;
                c.Text(mid, b.x + std::max(0, (b.w - 3) / 2), sign, attr);
            }
            break;
        }
        // A bitmap, one cell for each block of its pixels: colours where the terminal has
        // them, else characters by how dark the pixel is.
        const res::Image* image = w.image ? res::FindBitmap(w.image) : nullptr;
        if (!image || image->width <= 0 || image->height <= 0) {
            c.Fill(b, ACS_CKBOARD | dim);
            break;
        }
        for (int row = 0; row < b.h; ++row) {
            int py = (2 * row + 1) * image->height / (2 * b.h);
            for (int col = 0; col < b.w; ++col) {
                int px = (2 * col + 1) * image->width / (2 * b.w);
                int index = PaletteIndex(image->rows[py][px]);
                if (index < 0) continue;
                if (g_colours) {
                    c.Char(b.y + row, b.x + col, ' ' | PaletteCell(index));
                } else {
                    static constexpr char kShade[] = "#%+=+%=:#%+=:-.";
                    c.Char(b.y + row, b.x + col,
                           index == 15 ? ' ' : static_cast<unsigned char>(kShade[index]));
                }
            }
        }
        break;
    }
    case user::Kind::Dialog:
    case user::Kind::Window:
        break;
    }
}

void Terminal::State::DrawMenu(const std::vector<user::MenuItem>& items, int highlight, int y,
                               int x, HWND window) {
    // "x Item    Accel", with a column for the check mark and a frame around.
    size_t textWidth = 0, accelWidth = 0;
    std::vector<std::pair<std::string, std::string>> texts;
    for (const auto& item : items) {
        std::string label = item.text;
        std::string accel;
        if (auto tab = label.find('\t'); tab != std::string::npos) {
            accel = label.substr(tab + 1);
            label.resize(tab);
        }
        textWidth = std::max(textWidth, Label(label).size());
        accelWidth = std::max(accelWidth, accel.size());
        texts.emplace_back(label, accel);
    }
    int width = static_cast<int>(textWidth + (accelWidth ? accelWidth + 2 : 0)) + 4;
    Box b{y, x, static_cast<int>(items.size()) + 2, width + 2};
    b.y = std::clamp(b.y, 0, std::max(0, LINES - b.h));
    b.x = std::clamp(b.x, 0, std::max(0, COLS - b.w));
    Canvas c{{0, 0, LINES, COLS}};
    c.Fill(b, ' ');
    c.Frame(b);
    for (size_t i = 0; i < items.size(); ++i) {
        int row = b.y + 1 + static_cast<int>(i);
        const auto& item = items[i];
        if (item.flags & MF_SEPARATOR) {
            c.Char(row, b.x, ACS_LTEE);
            c.HLine(row, b.x + 1, b.w - 2);
            c.Char(row, b.x + b.w - 1, ACS_RTEE);
            continue;
        }
        attr_t attr = Selectable(item) ? A_NORMAL : A_DIM;
        if (static_cast<int>(i) == highlight) attr |= A_REVERSE;
        c.Text(row, b.x + 1, std::string(static_cast<size_t>(width), ' '), attr);
        if (item.flags & MF_CHECKED) c.Text(row, b.x + 2, "x", attr);
        c.LabelAt(row, b.x + 4, texts[i].first, attr);
        if (!texts[i].second.empty())
            c.Text(row, b.x + 1 + width - 1 - static_cast<int>(texts[i].second.size()),
                   texts[i].second, attr);
        if (item.flags & MF_POPUP) c.Text(row, b.x + width, ">", attr);
        areas.push_back({{row, b.x + 1, 1, width}, Spot::MenuItem, window, static_cast<int>(i)});
    }
}

void Terminal::State::DrawList() {
    auto w = user::Get(list);
    auto dialog = w ? user::Get(w->parent) : nullptr;
    if (!w || !dialog) return;
    Box f = FrameOf(*dialog);
    Box cells = CellsOf(*w);
    int count = static_cast<int>(w->items.size());
    // As long as the template's height allows, as Windows sizes the dropped list.
    int shown = std::clamp(cells.h - 1, 1, std::max(1, count));
    shown = std::min(shown, std::max(1, LINES - 2));
    Box b{f.y + 1 + MiddleRow(*w) + 1, f.x + 1 + cells.x, shown + 2, std::max(cells.w, 4)};
    if (b.y + b.h > LINES) b.y = std::max(0, LINES - b.h);
    int first = std::clamp(listHighlight - shown + 1, 0, std::max(0, count - shown));
    Canvas c{{0, 0, LINES, COLS}};
    c.Fill(b, ' ');
    c.Frame(b);
    for (int i = 0; i < shown && first + i < count; ++i) {
        int index = first + i;
        attr_t attr = index == listHighlight ? A_REVERSE : A_NORMAL;
        c.Text(b.y + 1 + i, b.x + 1, Pad(w->items[static_cast<size_t>(index)], b.w - 2), attr);
        areas.push_back({{b.y + 1 + i, b.x + 1, 1, b.w - 2}, Spot::ListItem, list, index});
    }
}

// --- input -----------------------------------------------------------------------------------

// The window the person's keys go to: the newest shown top-level window that takes input (a
// modal dialog disables its owner).
HWND Terminal::State::Active() const {
    auto windows = user::TopLevelWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        if (auto w = user::Get(*it); w && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED) &&
                                     !w->iconic && !w->destroying)
            return *it;
    return nullptr;
}

// Keys of an open menu: true when the key was the menu's. A choice or a dismissal is reported.
bool Terminal::State::MenuKey(int key, const std::vector<user::MenuItem>& items, int& highlight,
                              UINT* chosen, bool* dismissed) {
    int count = static_cast<int>(items.size());
    auto step = [&](int by) {
        for (int n = 0, i = highlight; n < count; ++n) {
            i = (i + by + count) % count;
            if (Selectable(items[static_cast<size_t>(i)])) {
                highlight = i;
                return;
            }
        }
    };
    switch (key) {
    case KEY_UP:
        step(-1);
        return true;
    case KEY_DOWN:
        step(1);
        return true;
    case '\r':
    case '\n':
    case KEY_ENTER:
    case ' ':
        if (highlight >= 0 && highlight < count &&
            Selectable(items[static_cast<size_t>(highlight)]))
            *chosen = items[static_cast<size_t>(highlight)].id;
        return true;
    case 27:
        *dismissed = true;
        return true;
    default:
        break;
    }
    if (key > 0 && key < 256 && std::isalnum(key)) {
        for (const auto& item : items)
            if (Selectable(item) && MnemonicOf(item.text) == std::tolower(key)) {
                *chosen = item.id;
                return true;
            }
        return true;
    }
    return false;
}

void Terminal::State::Act(int key, bool alt) {
    if (key == KEY_RESIZE) return; // drawn again as the loop waits next
    if (key == KEY_MOUSE) {
        MEVENT event{};
        if (getmouse(&event) == OK && (event.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)))
            Click(event.y, event.x);
        return;
    }

    // A popup menu the program shows is modal: every key is its own.
    if (user::Popup* popup = user::ShownPopup(); popup && !popup->done) {
        auto items = user::MenuItems(popup->menu);
        UINT chosen = 0;
        bool dismissed = false;
        MenuKey(key, items, popupHighlight, &chosen, &dismissed);
        if (chosen) automation::Pick(chosen);
        if (dismissed) automation::DismissPopup();
        return;
    }
    if (sysMenuOf) {
        HWND window = sysMenuOf;
        auto items = automation::SystemMenu(window);
        UINT chosen = 0;
        bool dismissed = false;
        if (!IsWindow(window) || !MenuKey(key, items, sysHighlight, &chosen, &dismissed)) {
            sysMenuOf = nullptr;
            return;
        }
        if (chosen || dismissed) sysMenuOf = nullptr;
        if (chosen) automation::ChooseSystemMenu(window, chosen);
        return;
    }
    if (list) {
        auto w = user::Get(list);
        if (!w || GetFocus() != list || !(w->style & WS_VISIBLE) || (w->style & WS_DISABLED)) {
            list = nullptr;
        } else {
            int count = static_cast<int>(w->items.size());
            switch (key) {
            case KEY_UP:
                listHighlight = std::max(0, listHighlight - 1);
                return;
            case KEY_DOWN:
                listHighlight = std::min(count - 1, listHighlight + 1);
                return;
            case KEY_HOME:
                listHighlight = 0;
                return;
            case KEY_END:
                listHighlight = std::max(0, count - 1);
                return;
            case '\r':
            case '\n':
            case KEY_ENTER:
            case KEY_F(4):
            case kAltUp: {
                // Closing the list on an item picks it: the dialog hears CBN_SELCHANGE when the
                // selection changes.
                list = nullptr;
                if (listHighlight != w->sel && listHighlight >= 0 && listHighlight < count)
                    automation::Select(w->parent, w->id, listHighlight);
                return;
            }
            case 27:
                list = nullptr; // closed without a pick
                return;
            default:
                if (key == '\t' || key == KEY_BTAB)
                    list = nullptr; // closes, and moves on
                else
                    return;
            }
        }
    }
    if (HWND dialog = Active()) DialogKey(dialog, key, alt);
}

void Terminal::State::DialogKey(HWND dialog, int key, bool alt) {
    namespace ua = automation;
    HWND focus = GetFocus();
    auto f = user::Get(focus);
    if (f && f->parent != dialog) f = nullptr;
    auto kind = f ? f->kind : user::Kind::Window;

    if (alt && key == ' ') {
        if (GetSystemMenu(dialog, FALSE)) {
            sysMenuOf = dialog;
            sysHighlight = FirstSelectable(ua::SystemMenu(dialog));
        }
        return;
    }
    if (key == kAltF4 || (alt && key == KEY_F(4))) {
        ua::CloseBox(dialog); // Alt-F4 closes as the close box does
        return;
    }
    if ((key == KEY_F(4) || key == kAltDown || (alt && key == KEY_DOWN)) &&
        kind == user::Kind::Combo) {
        list = f->handle;
        listHighlight = std::max(0, f->sel);
        return;
    }
    switch (key) {
    case '\t':
        ua::Press(dialog, ua::Key::Tab);
        return;
    case KEY_BTAB:
        ua::Press(dialog, ua::Key::ShiftTab);
        return;
    case KEY_UP:
        ua::Press(dialog, ua::Key::Up);
        return;
    case KEY_DOWN:
        ua::Press(dialog, ua::Key::Down);
        return;
    case KEY_LEFT:
        ua::Press(dialog, ua::Key::Left);
        return;
    case KEY_RIGHT:
        ua::Press(dialog, ua::Key::Right);
        return;
    case '\r':
    case '\n':
    case KEY_ENTER:
        ua::Press(dialog, ua::Key::Enter);
        return;
    case 27:
        ua::Press(dialog, ua::Key::Escape);
        return;
    default:
        break;
    }
    bool button = kind == user::Kind::Button || kind == user::Kind::DefButton ||
                  kind == user::Kind::Radio || kind == user::Kind::CheckBox;
    if (key == ' ' && button && !alt) {
        ua::Click(dialog, f->id); // Space clicks the button with the focus
        return;
    }
    if (kind == user::Kind::Edit && !alt) {
        // Typing goes to the edit as the characters Windows would send it.
        if (key == KEY_BACKSPACE || key == 127 || key == 8) {
            PostMessageA(focus, WM_CHAR, VK_BACK, 0);
            return;
        }
        if (key >= 0x20 && key < 0x7F) {
            PostMessageA(focus, WM_CHAR, static_cast<WPARAM>(key), 0);
            return;
        }
        return;
    }
    // A mnemonic: Alt with the letter, or the letter alone where the focus takes no typing (a
    // drop-down list takes letters for its items, which it does not look up here), clicks the
    // button it marks.
    if (kind == user::Kind::Combo && !alt) return;
    if (key > 0 && key < 256 && std::isalnum(key)) {
        auto d = user::Get(dialog);
        if (!d) return;
        for (HWND child : d->children) {
            auto c = user::Get(child);
            if (!c || !(c->style & WS_VISIBLE) || (c->style & WS_DISABLED)) continue;
            bool clickable = c->kind == user::Kind::Button || c->kind == user::Kind::DefButton ||
                             c->kind == user::Kind::Radio || c->kind == user::Kind::CheckBox;
            if (clickable && MnemonicOf(c->text) == std::tolower(key)) {
                ua::Click(dialog, c->id);
                return;
            }
        }
    }
}

void Terminal::State::Click(int y, int x) {
    namespace ua = automation;
    const Area* hit = nullptr;
    // The last drawn lies on top.
    for (auto it = areas.rbegin(); it != areas.rend(); ++it)
        if (it->box.Has(y, x)) {
            hit = &*it;
            break;
        }
    Area area = hit ? *hit : Area{{}, Spot::Control, nullptr, 0};
    if (user::Popup* popup = user::ShownPopup(); popup && !popup->done) {
        // A click outside a shown popup menu dismisses it, as on Windows.
        if (!hit || area.spot != Spot::MenuItem) {
            ua::DismissPopup();
            return;
        }
        auto items = user::MenuItems(popup->menu);
        if (area.id < static_cast<int>(items.size()) &&
            Selectable(items[static_cast<size_t>(area.id)]))
            ua::Pick(items[static_cast<size_t>(area.id)].id);
        return;
    }
    if (sysMenuOf) {
        HWND window = sysMenuOf;
        sysMenuOf = nullptr;
        if (!hit || area.spot != Spot::MenuItem) return;
        auto items = ua::SystemMenu(window);
        if (area.id < static_cast<int>(items.size()) &&
            Selectable(items[static_cast<size_t>(area.id)]))
            ua::ChooseSystemMenu(window, items[static_cast<size_t>(area.id)].id);
        return;
    }
    if (list) {
        HWND combo = list;
        list = nullptr;
        if (hit && area.spot == Spot::ListItem && area.window == combo) {
            auto w = user::Get(combo);
            if (w && area.id != w->sel) ua::Select(w->parent, w->id, area.id);
            return;
        }
    }
    if (!hit) return;
    HWND active = Active();
    if (area.window != active) return; // a window under a modal one takes no clicks
    if (area.spot == Spot::CloseBox) {
        ua::CloseBox(area.window);
        return;
    }
    if (area.spot != Spot::Control) return;
    auto c = user::Get(GetDlgItem(area.window, area.id));
    if (!c) return;
    ua::Click(area.window, area.id);
    if (c->kind == user::Kind::Combo && GetFocus() == c->handle) {
        list = c->handle; // a click on a drop-down list opens it
        listHighlight = std::max(0, c->sel);
    }
}

// --- Terminal --------------------------------------------------------------------------------

Terminal::Terminal() : state_(std::make_unique<State>()) {}

Terminal::~Terminal() {
    if (state_->screen) {
        CloseCurses();
        delscreen(state_->screen);
    }
}

void Terminal::Wait(uint64_t deadline) {
    State& s = *state_;
    // Only the thread that took the terminal draws and reads it; another thread's loop (a print
    // monitor's box) waits as without a screen.
    if ((s.tried && s.owner != std::this_thread::get_id()) || !s.Open() || !g_open) {
        user::WaitForWake(deadline, 1000);
        return;
    }
    s.Draw();
    int key = getch();
    if (key == ERR) {
        uint64_t now = platform::ClockNowMs();
        uint64_t wait = deadline > now ? std::min<uint64_t>(deadline - now, 1000) : 0;
        pollfd ready[2] = {{STDIN_FILENO, POLLIN, 0}, {user::LoopWakeFd(), POLLIN, 0}};
        if (poll(ready, 2, static_cast<int>(wait)) <= 0 || !(ready[0].revents & POLLIN)) return;
        key = getch();
        if (key == ERR) return;
    }
    // Escape and what follows at once is Alt with that key; Escape alone is Escape.
    bool alt = false;
    if (key == 27) {
        int next = getch();
        if (next != ERR) {
            alt = true;
            key = next;
        }
    }
    // One key a wait: the loop handles what it caused before the next key is read.
    s.Act(key, alt);
}

} // namespace ui

// The terminal renderer operated as a person would: the test dialog runs in a shell of a tmux
// pane of its own (a server per test, on its own socket), keys go in with send-keys, the screen
// comes back with capture-pane, and `selvane win` checks that the window model saw the same.
#include "support/process.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

namespace ts = testing_support;
using namespace std::chrono_literals;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return done();
}

// A tmux server of the test's own, with one 100x40 pane running a plain shell in the test's
// machine root. Its server is killed with the object, and the pane's processes with it.
class Tmux {
public:
    explicit Tmux(const std::string& root) : root_(root) {
        static int serial = 0;
        socket_ = "selvane-term-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
        // sh, not an interactive bash: no line editing of its own, so the terminal's modes are
        // what a person sees.
        std::string shell = "env -i PATH=/usr/bin:/bin HOME=" + root + " SELVANE_ROOT=" + root +
                            " SELVANE_UI=terminal TERM=screen PS1='$ ' /bin/sh";
        Tmux::Run({"-f", "/dev/null", "new-session", "-d", "-s", "t", "-x", "100", "-y", "40", "-c",
                   root, shell});
        socketPath_ = Display("#{socket_path}");
    }
    ~Tmux() {
        Run({"kill-server"});
        if (!socketPath_.empty()) std::filesystem::remove(socketPath_); // the server leaves it
    }

    ts::RunResult Run(std::vector<std::string> args) const {
        args.insert(args.begin(), {"/usr/bin/tmux", "-L", socket_});
        return ts::Run(args);
    }
    // Keys by tmux's names ("Tab", "Escape", "M-Down"...), each a key of its own.
    void Keys(std::initializer_list<std::string> keys) const {
        for (const auto& key : keys) {
            Run({"send-keys", "-t", "t", key});
            std::this_thread::sleep_for(60ms); // a person's pace: Escape is not Alt with the next
        }
    }
    void Type(const std::string& text) const { Run({"send-keys", "-t", "t", "-l", text}); }
    void Line(const std::string& command) const {
        Type(command);
        Keys({"Enter"});
    }
    // A click of the left button, as a terminal reports it: ESC [ M, then the button (0 the
    // left one pressed, 3 released), the column and the row, each plus 32, counted from 1.
    void Click(int row, int col) const {
        std::string report;
        for (char button : {' ', '#'}) {
            report += "\033[M";
            report += button;
            report += static_cast<char>(33 + col);
            report += static_cast<char>(33 + row);
        }
        Type(report);
        std::this_thread::sleep_for(60ms);
    }
    // Where `text` first shows on the screen: {row, column}, {-1, -1} when nowhere.
    std::pair<int, int> Where(const std::string& text) const {
        std::istringstream lines(Screen());
        std::string line;
        for (int row = 0; std::getline(lines, line); ++row)
            if (auto col = line.find(text); col != std::string::npos)
                return {row, static_cast<int>(col)};
        return {-1, -1};
    }
    std::string Screen() const { return Run({"capture-pane", "-p", "-t", "t"}).out; }
    std::string Display(const std::string& format) const {
        std::string out = Run({"display-message", "-p", "-t", "t", format}).out;
        while (!out.empty() && out.back() == '\n')
            out.pop_back();
        return out;
    }
    // Waits until the screen shows `text`; false (with the screen reported) when it never does.
    bool Shows(const std::string& text) const {
        bool ok = Eventually([&] { return Screen().find(text) != std::string::npos; });
        if (!ok) ADD_FAILURE() << "the screen never showed \"" << text << "\":\n" << Screen();
        return ok;
    }

private:
    std::string root_;
    std::string socket_;
    std::string socketPath_;
};

class TerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists("/usr/bin/tmux"));
        // The shell notes the terminal's modes before and after the program, so that a program
        // that leaves them changed is caught.
        tmux.Line("stty -g > before; " + ts::BinPath("terminal_dialog"));
        ASSERT_TRUE(tmux.Shows("Terminal Test"));
        ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(root.path() / "pid"); }));
    }

    // One control as `selvane win controls` reports it, from the model of the program.
    std::string Control(int id) const {
        auto result = ts::Selvane({"win", "controls", "title:Terminal Test"});
        std::istringstream lines(result.out);
        std::string line;
        while (std::getline(lines, line))
            if (line.rfind(std::to_string(id) + " ", 0) == 0) return line;
        return "no control " + std::to_string(id) + " in:\n" + result.out + result.err;
    }
    bool ControlHas(int id, const std::string& text) const {
        bool ok = Eventually([&] { return Control(id).find(text) != std::string::npos; });
        if (!ok)
            ADD_FAILURE() << "control " << id << " never had \"" << text << "\": " << Control(id);
        return ok;
    }
    pid_t Pid() const { return std::stoi(ReadFile(root.path() / "pid")); }
    // The program has ended and the shell runs again: the pane is out of the alternate screen,
    // with its cursor shown, the modes the shell had before, and typing shows.
    void ExpectTerminalGivenBack() const {
        pid_t pid = Pid();
        ASSERT_TRUE(Eventually([&] { return kill(pid, 0) != 0; })) << "the program still runs";
        EXPECT_EQ(tmux.Display("#{alternate_on}"), "0");
        EXPECT_EQ(tmux.Display("#{cursor_flag}"), "1");
        tmux.Line("stty -g > after; echo given-back");
        EXPECT_TRUE(tmux.Shows("$ stty -g > after; echo given-back\ngiven-back"));
        std::string before = ReadFile(root.path() / "before");
        EXPECT_FALSE(before.empty());
        EXPECT_TRUE(Eventually([&] { return ReadFile(root.path() / "after") == before; }))
            << "before: " << before << "after: " << ReadFile(root.path() / "after");
    }

    ts::TempRoot root;
    Tmux tmux{root.str()};
};

TEST_F(TerminalTest, DrawsEveryControlAsAPersonKnowsIt) {
    std::string screen = tmux.Screen();
    for (const char* part : {"Terminal Test", "[X]", "Mode", "(*) Mode A", "( ) Mode B",
                             "( ) Mode C", "Port:", "[LPT1", "v]", "Name:", "________", "ready",
                             "[Message...]", "[ Menu... ]", "[> OK <]", "[ Cancel ]", "[ Off ]"})
        EXPECT_NE(screen.find(part), std::string::npos) << "no \"" << part << "\" in:\n" << screen;
    EXPECT_EQ(screen.find("Secret"), std::string::npos) << "a hidden control is drawn";
    // The disabled button is dim, the focused radio's label stands out.
    std::string styled = tmux.Run({"capture-pane", "-e", "-p", "-t", "t"}).out;
    EXPECT_NE(styled.find("\033[2m[ Off ]"), std::string::npos) << styled;
    EXPECT_NE(styled.find("\033[7mMode "), std::string::npos) << styled;
    EXPECT_EQ(screen.find("LPT2"), std::string::npos) << "a closed list shows its items";
}

TEST_F(TerminalTest, ArrowsMoveTheRadioCheckAndTabReachesTheListWhereAPickIsHeard) {
    tmux.Keys({"Down"});
    ASSERT_TRUE(tmux.Shows("(*) Mode B"));
    EXPECT_TRUE(ControlHas(1001, "radio enabled checked"));
    EXPECT_EQ(Control(1000).find("checked"), std::string::npos);

    tmux.Keys({"Tab", "F4"});
    ASSERT_TRUE(tmux.Shows("LPT2"));
    tmux.Keys({"Down", "Down", "Enter"});
    ASSERT_TRUE(tmux.Shows("selchange 2"));
    EXPECT_TRUE(tmux.Shows("[LPT3"));
    EXPECT_TRUE(ControlHas(1003, "sel=2"));

    // Alt-Down opens it too; Escape closes it without a pick, and leaves the dialog up.
    tmux.Keys({"M-Down"});
    ASSERT_TRUE(tmux.Shows("LPT1 "));
    tmux.Keys({"Up", "Escape"});
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(tmux.Shows("selchange 2"));
    EXPECT_TRUE(ControlHas(1003, "sel=2"));
    EXPECT_TRUE(tmux.Shows("Terminal Test"));
}

TEST_F(TerminalTest, TypingStopsAtTheLimitAndShiftTabGoesBack) {
    tmux.Keys({"Tab", "Tab"}); // the list, then the edit
    tmux.Type("abcdefghijk");
    ASSERT_TRUE(tmux.Shows("maxtext"));
    EXPECT_TRUE(tmux.Shows("abcdefgh_"));
    EXPECT_TRUE(ControlHas(1010, "edit enabled \"abcdefgh\""));
    tmux.Keys({"BSpace"});
    EXPECT_TRUE(ControlHas(1010, "\"abcdefg\""));

    // Shift-Tab back to the list, where Down changes the selection at once.
    tmux.Keys({"BTab", "Down"});
    EXPECT_TRUE(tmux.Shows("selchange 1"));
}

TEST_F(TerminalTest, EscapeEndsTheDialogAndGivesTheTerminalBack) {
    tmux.Keys({"Escape"});
    ASSERT_TRUE(Eventually([&] { return ReadFile(root.path() / "result") == "ended 2"; }));
    ExpectTerminalGivenBack();
}

TEST_F(TerminalTest, TheSystemMenuClosesTheDialog) {
    tmux.Keys({"M-Space"});
    ASSERT_TRUE(tmux.Shows("Close"));
    EXPECT_TRUE(tmux.Shows("Alt+F4"));
    tmux.Keys({"Down", "Enter"});
    ASSERT_TRUE(Eventually([&] { return ReadFile(root.path() / "result") == "ended 2"; }));
    ExpectTerminalGivenBack();
}

TEST_F(TerminalTest, AltF4ClosesTheDialog) {
    tmux.Keys({"M-F4"});
    ASSERT_TRUE(Eventually([&] { return ReadFile(root.path() / "result") == "ended 2"; }));
}

TEST_F(TerminalTest, AMessageBoxIsAnsweredWithTheKeyboard) {
    tmux.Keys({"m"}); // the mnemonic of "&Message..."
    ASSERT_TRUE(tmux.Shows("Keep the changes?"));
    std::string screen = tmux.Screen();
    for (const char* part : {"(?)", "[> Yes <]", "[ No ]"})
        EXPECT_NE(screen.find(part), std::string::npos) << "no \"" << part << "\" in:\n" << screen;
    auto box = ts::Selvane({"win", "msgbox"});
    EXPECT_NE(box.out.find("Keep the changes?"), std::string::npos) << box.out << box.err;

    // Modal: the dialog under it takes no keys. Tab moves to "No", Enter presses it.
    tmux.Keys({"Tab", "Enter"});
    ASSERT_TRUE(tmux.Shows("answer 7"));
    EXPECT_EQ(tmux.Screen().find("Keep the changes?"), std::string::npos);
    EXPECT_TRUE(ControlHas(1030, "\"answer 7\""));
}

TEST_F(TerminalTest, APopupMenuShowsItsCheckAndTakesAPick) {
    tmux.Keys({"n"}); // the mnemonic of "Me&nu..."
    ASSERT_TRUE(tmux.Shows("x First"));
    EXPECT_TRUE(tmux.Shows(" Second"));
    EXPECT_TRUE(tmux.Shows(" Third"));
    // Down skips nothing pickable; the grayed item and the separator are passed over.
    tmux.Keys({"Down", "Down", "Enter"});
    ASSERT_TRUE(tmux.Shows("picked 40001"));
    tmux.Keys({"n"});
    ASSERT_TRUE(tmux.Shows("x First"));
    tmux.Keys({"Down", "Enter"});
    ASSERT_TRUE(tmux.Shows("picked 40002"));
    tmux.Keys({"n"});
    ASSERT_TRUE(tmux.Shows("x First"));
    tmux.Keys({"Escape"});
    ASSERT_TRUE(tmux.Shows("picked 0"));
}

TEST_F(TerminalTest, ATerminalTooSmallIsToldSoAndTheDialogComesBackWhenItGrows) {
    tmux.Run({"resize-window", "-t", "t", "-x", "30", "-y", "10"});
    ASSERT_TRUE(tmux.Shows("Enlarge it."));
    EXPECT_EQ(tmux.Screen().find("[ Cancel ]"), std::string::npos);
    tmux.Run({"resize-window", "-t", "t", "-x", "100", "-y", "40"});
    ASSERT_TRUE(tmux.Shows("[ Cancel ]"));
}

TEST_F(TerminalTest, ActionsFromSelvaneWinShowOnTheScreen) {
    ASSERT_EQ(ts::Selvane({"win", "click", "title:Terminal Test", "1002"}).status, 0);
    EXPECT_TRUE(tmux.Shows("(*) Mode C"));
    ASSERT_EQ(ts::Selvane({"win", "type", "title:Terminal Test", "1010", "hello"}).status, 0);
    EXPECT_TRUE(tmux.Shows("hello___"));
}

TEST_F(TerminalTest, MouseClicksActWhereTheTerminalReportsThem) {
    auto [row, col] = tmux.Where("( ) Mode C");
    ASSERT_GE(row, 0);
    tmux.Click(row, col + 5);
    EXPECT_TRUE(tmux.Shows("(*) Mode C"));
    EXPECT_TRUE(ControlHas(1002, "radio enabled checked"));

    // A click on a drop-down list opens it; a click on an item picks it.
    auto list = tmux.Where("[LPT1");
    ASSERT_GE(list.first, 0);
    tmux.Click(list.first, list.second + 2);
    ASSERT_TRUE(tmux.Shows("LPT3"));
    auto item = tmux.Where("LPT3");
    tmux.Click(item.first, item.second);
    EXPECT_TRUE(tmux.Shows("selchange 2"));

    // The close box ends the dialog.
    auto close = tmux.Where("[X]");
    tmux.Click(close.first, close.second + 1);
    ASSERT_TRUE(Eventually([&] { return ReadFile(root.path() / "result") == "ended 2"; }));
}

// Ended by another process, or crashed: the terminal is given back all the same.
class TerminalSignalTest : public TerminalTest, public ::testing::WithParamInterface<int> {};

TEST_P(TerminalSignalTest, TheTerminalIsGivenBack) {
    ASSERT_EQ(tmux.Display("#{alternate_on}"), "1");
    ASSERT_EQ(kill(Pid(), GetParam()), 0);
    ExpectTerminalGivenBack();
    EXPECT_FALSE(std::filesystem::exists(root.path() / "result"));
}

std::string SignalName(const ::testing::TestParamInfo<int>& info) {
    switch (info.param) {
    case SIGTERM:
        return "Term";
    case SIGHUP:
        return "Hup";
    case SIGINT:
        return "Int";
    case SIGSEGV:
        return "Segv";
    case SIGABRT:
        return "Abrt";
    }
    return std::to_string(info.param);
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminalSignalTest,
                         ::testing::Values(SIGTERM, SIGHUP, SIGINT, SIGSEGV, SIGABRT), SignalName);

} // namespace

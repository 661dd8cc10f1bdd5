// The real SWITCH.exe and TANDEL.exe, started as programs in a fresh machine root with the box
// running and driven through `selvane win` as a person would: single instance, the two panels
// side by side, the tray companion started once, the default printer's broadcast reaching other
// processes, a tour through the dialogs and what it leaves in the box, the registry and win.ini.
#include "support/box.h"
#include "support/process.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <signal.h>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::Selvane;

constexpr const char* kSwitch = "SELVANE_CLASS_ID_000001";
constexpr const char* kTandel = "SELVANE_CLASS_ID_000002";
constexpr const char* kTray = "SELVANE_TASKBAR_CLASS_ID_000001";
constexpr const char* kKey = "HKLM\\SOFTWARE\\Generic\\Selvane\\2.00";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) out.push_back(line);
    return out;
}

class PanelProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SELVANE_UI", "headless", 1);
        // "Path" names a folder whose TASKBAR.exe is the stand-in tray companion.
        fs::create_directories(root.path() / "bin");
        fs::create_symlink(testing_support::BinPath("fake_taskbar"),
                           root.path() / "bin" / "TASKBAR.exe");
        auto setup = Selvane({"setup", "--path", (root.path() / "bin").string()});
        ASSERT_EQ(setup.status, 0) << setup.err;
        box.emplace();
    }
    void TearDown() override {
        for (pid_t pid : started)
            testing_support::Stop(pid);
        // The tray companion was started by a panel, apart from us: it ends when closed, or is
        // ended by its process id.
        for (const auto& line : Lines(Win({"list"}).out)) {
            std::istringstream fields(line);
            std::string hwnd, cls;
            int pid = 0;
            fields >> hwnd >> pid >> cls;
            if (cls == kTray && pid > 0) {
                Win({"close", hwnd});
                if (Win({"wait", hwnd, "--gone", "--timeout", "2"}).status != 0) kill(pid, SIGKILL);
            }
        }
        box.reset();
        unsetenv("SELVANE_UI");
    }

    static testing_support::RunResult Win(std::vector<std::string> args) {
        args.insert(args.begin(), "win");
        return Selvane(args);
    }
    // Starts a panel and waits for its dialog.
    // Starts a panel and waits for its dialog to be up: the window is there, and the box has
    // the command of the restored port (the window is listed already while it initialises).
    pid_t StartPanel(const char* program, const char* cls) {
        size_t logged = BoxLog().size();
        pid_t pid = testing_support::Start({testing_support::BinPath(program)});
        started.push_back(pid);
        auto waited = Win({"wait", cls, "--timeout", "10"});
        EXPECT_EQ(waited.status, 0) << program << " shows no dialog: " << waited.err;
        for (int i = 0; i < 500 && BoxLog().size() == logged; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_GT(BoxLog().size(), logged) << program << " sent no command at its start";
        return pid;
    }
    // Closes the panel's dialog and waits for its process to end; its exit status.
    int ClosePanel(pid_t pid, const char* cls) {
        EXPECT_EQ(Win({"close", cls}).status, 0);
        EXPECT_EQ(Win({"wait", cls, "--gone", "--timeout", "10"}).status, 0);
        for (int i = 0; i < 500; ++i) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                std::erase(started, pid);
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ADD_FAILURE() << "the panel did not end";
        return -1;
    }
    int Count(const char* file) const {
        std::ifstream in(root.path() / file);
        int count = 0;
        for (std::string line; std::getline(in, line);)
            ++count;
        return count;
    }
    // What the tray companion heard; the broadcast may still be on its way.
    std::vector<std::string> Heard() const {
        for (int i = 0; i < 200 && !fs::exists(root.path() / "tray-heard"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(root.path() / "tray-heard");
        std::vector<std::string> out;
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        return out;
    }
    int Windows(const char* cls) {
        int n = 0;
        for (const auto& line : Lines(Win({"list"}).out))
            if (line.find(std::string(" ") + cls + " ") != std::string::npos) ++n;
        return n;
    }
    std::string Reg(const char* value) {
        auto r = Selvane({"reg", "get", kKey, value});
        return r.status == 0 ? Lines(r.out).empty() ? "" : Lines(r.out)[0] : "(missing)";
    }
    std::vector<std::string> BoxLog() { return Lines(Selvane({"box", "log"}).out); }

    testing_support::TempRoot root;
    std::optional<testing_support::RunningBox> box;
    std::vector<pid_t> started;
};

TEST_F(PanelProcessTest, ASecondStartEndsAtOnceAndLeavesTheFirstAsItWas) {
    pid_t first = StartPanel("SWITCH.exe", kSwitch);
    ASSERT_EQ(Win({"click", kSwitch, "1006"}).status, 0);
    auto before = Win({"controls", kSwitch}).out;
    auto second = testing_support::Run({testing_support::BinPath("SWITCH.exe")});
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(Windows(kSwitch), 1);
    EXPECT_EQ(Win({"controls", kSwitch}).out, before);
    EXPECT_EQ(ClosePanel(first, kSwitch), 0);
    EXPECT_EQ(Reg("ActivePort"), "2");
}

TEST_F(PanelProcessTest, TheTwoPanelsDoNotBlockEachOther) {
    // Either order: each looks only for its own class.
    pid_t tandel = StartPanel("TANDEL.exe", kTandel);
    pid_t sw = StartPanel("SWITCH.exe", kSwitch);
    EXPECT_EQ(Windows(kSwitch), 1);
    EXPECT_EQ(Windows(kTandel), 1);
    auto again = testing_support::Run({testing_support::BinPath("TANDEL.exe")});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(Windows(kTandel), 1);
    // Each works on: file transfer in the one, port D in the other; the box obeys the last.
    ASSERT_EQ(Selvane({"box", "log", "--clear"}).status, 0);
    ASSERT_EQ(Win({"click", kTandel, "1002"}).status, 0);
    ASSERT_EQ(Win({"click", kSwitch, "1007"}).status, 0);
    EXPECT_EQ(BoxLog(), (std::vector<std::string>{"00 11 91 32 B2 0D 8D", "00 11 91 33 B3 0D 8D"}));
    auto tandelControls = Lines(Win({"controls", kTandel}).out);
    ASSERT_GE(tandelControls.size(), 8u);
    EXPECT_EQ(tandelControls[2], "1002 radio enabled checked \"File Transfer\"");
    EXPECT_EQ(tandelControls[7], "1008 button disabled \"Settings\"");
    EXPECT_EQ(ClosePanel(tandel, kTandel), 0);
    EXPECT_EQ(ClosePanel(sw, kSwitch), 0);
    EXPECT_EQ(Reg("ActiveMode"), "0"); // the last to close wins
    EXPECT_EQ(Reg("ActivePort"), "3");
}

TEST_F(PanelProcessTest, TheTrayCompanionIsStartedOnceAndNotTwice) {
    pid_t first = StartPanel("SWITCH.exe", kSwitch);
    ASSERT_EQ(Win({"wait", kTray, "--timeout", "10"}).status, 0);
    EXPECT_EQ(ClosePanel(first, kSwitch), 0);
    // It runs on after the panel; the next panels find it.
    pid_t again = StartPanel("SWITCH.exe", kSwitch);
    pid_t tandel = StartPanel("TANDEL.exe", kTandel);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Count("tray-starts"), 1);
    EXPECT_EQ(Windows(kTray), 1);
    EXPECT_EQ(ClosePanel(again, kSwitch), 0);
    EXPECT_EQ(ClosePanel(tandel, kTandel), 0);
}

TEST_F(PanelProcessTest, TheDefaultPrinterBroadcastReachesOtherProcesses) {
    struct Case {
        const char* winver;
        std::vector<std::string> heard; // by the tray companion, after picking port B
    };
    const Case cases[] = {{"win98", {"windows"}}, {"nt4", {"(none)"}}};
    ASSERT_EQ(Selvane({"reg", "set", kKey, "PB Spooler", "--sz", "Scanner"}).status, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.winver);
        setenv("SELVANE_WINVER", c.winver, 1);
        pid_t pid = StartPanel("SWITCH.exe", kSwitch);
        ASSERT_EQ(Win({"wait", kTray, "--timeout", "10"}).status, 0);
        fs::remove(root.path() / "tray-heard");
        ASSERT_EQ(Win({"click", kSwitch, "1005"}).status, 0);
        EXPECT_EQ(Heard(), c.heard);
        EXPECT_EQ(ClosePanel(pid, kSwitch), 0);
    }
    unsetenv("SELVANE_WINVER");
}

TEST_F(PanelProcessTest, ATourThroughTheDialogsLeavesItsMarkInTheBoxTheKeyAndWinIni) {
    pid_t pid = StartPanel("SWITCH.exe", kSwitch);
    ASSERT_EQ(Selvane({"box", "log", "--clear"}).status, 0);
    ASSERT_EQ(Win({"select", kSwitch, "1003", "1"}).status, 0);
    ASSERT_EQ(Win({"click", kSwitch, "1005"}).status, 0);
    ASSERT_EQ(Win({"click", kSwitch, "1008"}).status, 0);
    ASSERT_EQ(Win({"wait", "title:Setting", "--timeout", "5"}).status, 0);
    ASSERT_EQ(Win({"select", "title:Setting", "1033", "4"}).status, 0); // Mass Storage Device
    ASSERT_EQ(Win({"type", "title:Setting", "1010", "Archive"}).status, 0);
    ASSERT_EQ(Win({"key", "title:Setting", "enter"}).status, 0);
    ASSERT_EQ(Win({"wait", "title:Setting", "--gone", "--timeout", "5"}).status, 0);
    ASSERT_EQ(Win({"click", kSwitch, "1001"}).status, 0);
    auto controls = Lines(Win({"controls", kSwitch}).out);
    ASSERT_GE(controls.size(), 9u);
    EXPECT_EQ(controls[8], "1005 radio disabled checked \"B. Archive\"");
    auto menu = Lines(Win({"sysmenu", kSwitch}).out);
    ASSERT_FALSE(menu.empty());
    EXPECT_EQ(menu.back(), "16 \"&About SWITCH...\"");
    EXPECT_EQ(ClosePanel(pid, kSwitch), 0);

    EXPECT_EQ(BoxLog(), (std::vector<std::string>{"01 11 91 31 B1 0D 8D", "01 11 91 30 B0 0D 8D"}));
    EXPECT_EQ(Lines(Selvane({"box", "status"}).out)[1], "LPT2 A");
    EXPECT_EQ(Reg("LPTx"), "1");
    EXPECT_EQ(Reg("ActiveMode"), "1");
    EXPECT_EQ(Reg("ActivePort"), "1");
    EXPECT_EQ(Reg("PB Name"), "Archive");
    EXPECT_EQ(Reg("PB Spooler"), "Mass Storage Device");
    std::ifstream ini(root.path() / "win.ini");
    std::stringstream text;
    text << ini.rdbuf();
    EXPECT_NE(text.str().find("device=Mass Storage Device"), std::string::npos) << text.str();
}

} // namespace

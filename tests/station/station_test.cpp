// Windows across processes: real programs in a fresh machine root, found and driven from this
// process and through `selvane win`.
#include "station/station.h"
#include "support/process.h"
#include "support/temp_root.h"
#include "ui/renderer.h"
#include "win32.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

using testing_support::BinPath;
using testing_support::RunResult;
using testing_support::Selvane;
using testing_support::TempRoot;

namespace {

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The log of a station_window, once it holds `expected` (a few seconds at most).
std::string WaitForLog(const std::filesystem::path& log, const std::string& expected) {
    for (int i = 0; i < 300; ++i) {
        std::string text = Contents(log);
        if (text.find(expected) != std::string::npos) return text;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Contents(log);
}

class StationWindow {
public:
    StationWindow(const std::string& className, const std::filesystem::path& log,
                  bool tray = false) {
        std::vector<std::string> argv{BinPath("station_window"), className, "--log", log.string()};
        if (tray) argv.push_back("--tray");
        pid = testing_support::Start(argv);
        auto waited = Selvane({"win", "wait", className, "--timeout", "10"});
        EXPECT_EQ(waited.status, 0) << waited.err;
    }
    ~StationWindow() {
        if (pid > 0) testing_support::Stop(pid);
    }
    StationWindow(const StationWindow&) = delete;
    StationWindow& operator=(const StationWindow&) = delete;
    pid_t pid;
};

std::string Control(const std::string& target, int id) {
    std::istringstream lines(Selvane({"win", "controls", target}).out);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind(std::to_string(id) + " ", 0) == 0) return line;
    return "";
}

void Ok(const RunResult& result) {
    EXPECT_EQ(result.status, 0) << result.err;
}

class Station : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(root.path());
        station::Join();
    }
    TempRoot root;
    std::filesystem::path log = root.path() / "window.log";
};

TEST_F(Station, AWindowOfAnotherProcessIsFoundUntilItsProcessDies) {
    StationWindow first("STATION_TEST_A", log);
    HWND found = FindWindowA("STATION_TEST_A", nullptr);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(station::PidOf(found), first.pid);
    EXPECT_EQ(FindWindowA("station_test_a", "Station Window"), found); // class without case
    EXPECT_EQ(FindWindowA(nullptr, "Station Window"), found);
    EXPECT_EQ(FindWindowA("STATION_TEST_A", "Another Title"), nullptr);
    EXPECT_EQ(FindWindowA("STATION_TEST_B", nullptr), nullptr);
    char title[64] = "sentinel";
    EXPECT_EQ(GetWindowTextA(found, title, sizeof title), 0); // not this process's window
    EXPECT_EQ(SendMessageA(found, WM_GETTEXT, sizeof title, reinterpret_cast<LPARAM>(title)), 14);
    EXPECT_STREQ(title, "Station Window");

    // A second start is found by the first's class; the newest of two is the answer.
    StationWindow second("STATION_TEST_A", root.path() / "second.log");
    HWND newest = FindWindowA("STATION_TEST_A", nullptr);
    EXPECT_EQ(station::PidOf(newest), second.pid);
    auto listed = Selvane({"win", "list"}).out;
    EXPECT_NE(listed.find(std::to_string(first.pid) + " STATION_TEST_A \"Station Window\""),
              std::string::npos)
        << listed;

    // Killed without warning, a process leaves nothing that can be found.
    testing_support::Stop(second.pid, SIGKILL);
    second.pid = 0;
    EXPECT_EQ(station::PidOf(FindWindowA("STATION_TEST_A", nullptr)), first.pid);
    testing_support::Stop(first.pid, SIGKILL);
    first.pid = 0;
    EXPECT_EQ(FindWindowA("STATION_TEST_A", nullptr), nullptr);
    EXPECT_EQ(Selvane({"win", "list"}).out, "");
}

TEST_F(Station, SelvaneWinDrivesADialogAsAPersonWould) {
    StationWindow window("STATION_TEST_D", log, /*tray=*/true);
    const std::string w = "STATION_TEST_D";
    EXPECT_NE(Control(w, 30).find("radio enabled checked \"Radio A\""), std::string::npos);

    Ok(Selvane({"win", "click", w, "31"}));
    EXPECT_NE(Control(w, 31).find("checked"), std::string::npos) << Control(w, 31);
    EXPECT_EQ(Control(w, 30).find("checked"), std::string::npos) << Control(w, 30);

    Ok(Selvane({"win", "select", w, "20", "2"}));
    EXPECT_NE(WaitForLog(log, "selchange 2").find("selchange 2"), std::string::npos);
    EXPECT_NE(Control(w, 20).find("sel=2 items=\"Alpha|Mike|Zulu\""), std::string::npos)
        << Control(w, 20);

    Ok(Selvane({"win", "type", w, "40", "abcdefgh"}));
    EXPECT_NE(Control(w, 40).find("\"abcde\""), std::string::npos) << Control(w, 40);

    Ok(Selvane({"win", "click", w, "10"}));
    Ok(Selvane({"win", "wait", "title:Question"}));
    EXPECT_EQ(Selvane({"win", "msgbox"}).out, "34 \"Question\" \"Proceed?\"\n");
    Ok(Selvane({"win", "answer", "no"}));
    EXPECT_NE(WaitForLog(log, "answer 7").find("answer 7"), std::string::npos);
    EXPECT_EQ(Selvane({"win", "msgbox"}).status, 1);

    Ok(Selvane({"win", "click", w, "11"}));
    RunResult menu;
    for (int i = 0; i < 200 && (menu = Selvane({"win", "menu"})).status != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(menu.out, "201 checked \"First\"\n202 \"Second\"\n");
    Ok(Selvane({"win", "pick", "202"}));
    EXPECT_NE(WaitForLog(log, "command 202").find("command 202"), std::string::npos);

    Ok(Selvane({"win", "tray", w, "double"}));
    EXPECT_NE(WaitForLog(log, "tray 7 514\ntray 7 515\ntray 7 514")
                  .find("tray 7 513\ntray 7 514\ntray 7 515\ntray 7 514"),
              std::string::npos);

    // A person cannot click what is not there, and bad words are usage errors.
    EXPECT_EQ(Selvane({"win", "click", w, "999"}).status, 1);
    EXPECT_EQ(Selvane({"win", "click", "NO_SUCH_CLASS", "1"}).status, 1);
    EXPECT_EQ(Selvane({"win", "key", w, "space"}).status, 2);
    EXPECT_EQ(Selvane({"win", "tray", w, "middle"}).status, 2);

    Ok(Selvane({"win", "close", w}));
    Ok(Selvane({"win", "wait", w, "--gone", "--timeout", "5"}));
    EXPECT_NE(Contents(log).find("close"), std::string::npos);
    int raw = 0;
    waitpid(window.pid, &raw, 0);
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0);
    window.pid = 0;
}

TEST_F(Station, ABroadcastReachesEveryOtherProcess) {
    StationWindow b("STATION_TEST_B", root.path() / "b.log");
    StationWindow c("STATION_TEST_C", root.path() / "c.log");
    // A process that does not answer holds the sender up a few seconds at most.
    StationWindow stuck("STATION_TEST_STUCK", root.path() / "stuck.log");
    kill(stuck.pid, SIGSTOP);
    SendMessageA(HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>("windows"));
    PostMessageA(HWND_BROADCAST, WM_WININICHANGE, 0, 0);
    kill(stuck.pid, SIGCONT);
    for (const char* name : {"b.log", "c.log"}) {
        std::string text = WaitForLog(root.path() / name, "wininichange 0");
        EXPECT_NE(text.find("wininichange windows\n"), std::string::npos) << name << ": " << text;
        EXPECT_NE(text.find("wininichange 0\n"), std::string::npos) << name << ": " << text;
    }
    // WM_CLOSE sent from here reaches the window procedure as one sent in its own process.
    HWND window = FindWindowA("STATION_TEST_B", nullptr);
    ASSERT_NE(window, nullptr);
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_NE(Contents(root.path() / "b.log").find("close\n"), std::string::npos);
    EXPECT_EQ(Selvane({"win", "wait", "STATION_TEST_B", "--gone", "--timeout", "5"}).status, 0);
}

} // namespace

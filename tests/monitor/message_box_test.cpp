// The monitor's message box on a test clock: a box that is not system-modal is brought back to
// the front every 15 seconds while it is up; a system-modal one is left alone. The monitor's
// objects are linked here beside the window system so that the test drives their clock.
#include "keldrim.h"
#include "kernel/clock.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

using testing_support::TempRoot;

namespace {

// Every look at the clock moves it on by 250 ms, so a 40-second box is up for a moment.
uint64_t g_now;

struct Script {
    HWND other = nullptr;         // a window of the test's that takes the front at 16 s
    HWND box = nullptr;           // the box, seen in front at the first tick
    std::vector<bool> boxInFront; // at 16.x, 31.x s (after the monitor's timer could act)
    int activationsSeen = 0;      // HCBT_ACTIVATE that reached the test's own hook
    bool movedAway = false, checked = false;
};
Script g_script;
uint64_t g_start;

LRESULT CALLBACK TestHook(int code, WPARAM, LPARAM) {
    if (code == HCBT_ACTIVATE) ++g_script.activationsSeen;
    return 0;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    uint64_t at = g_now - g_start;
    if (!g_script.box) g_script.box = GetForegroundWindow();
    if (at >= 16000 && !g_script.movedAway) {
        g_script.movedAway = true;
        SetForegroundWindow(g_script.other);
        g_script.boxInFront.push_back(GetForegroundWindow() == g_script.box);
    } else if (at >= 31000 && !g_script.checked) {
        g_script.checked = true;
        g_script.boxInFront.push_back(GetForegroundWindow() == g_script.box);
    } else if (at >= 40000 && g_script.box) {
        PostMessageA(g_script.box, WM_COMMAND, IDOK, 0);
    }
}

LRESULT CALLBACK OtherProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SELVANE_UI", "headless", 1);
        g_now = 1000000;
        platform::SetClock([] { return g_now += 250; });
        DllEntryPoint(nullptr, 1, nullptr); // allocates the monitor's storage slot
        static bool registered = false;
        if (!registered) {
            WNDCLASSA other{};
            other.lpfnWndProc = OtherProc;
            other.lpszClassName = "MonitorTestOther";
            RegisterClassA(&other);
            registered = true;
        }
        g_script = Script{};
        g_script.other = CreateWindowExA(0, "MonitorTestOther", "Other", WS_VISIBLE, 0, 0, 100, 100,
                                         nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(g_script.other);
        hook_ = SetWindowsHookExA(WH_CBT, TestHook, nullptr, GetCurrentThreadId());
        timer_ = SetTimer(nullptr, 0, 1000, Tick);
        g_start = g_now;
    }
    void TearDown() override {
        KillTimer(nullptr, timer_);
        UnhookWindowsHookEx(hook_);
        DestroyWindow(g_script.other);
        platform::SetClock({});
    }

    TempRoot root_;
    HHOOK hook_ = nullptr;
    UINT_PTR timer_ = 0;
};

TEST_F(MessageBoxTest, ABoxComesBackToTheFrontEveryFifteenSeconds) {
    // String 515 serves as the format, 512 as the caption.
    int result =
        MonitorMessageBox(nullptr, MB_OK | MB_ICONINFORMATION, IDS_PRODUCT, IDS_MASS_STORAGE);
    EXPECT_EQ(result, IDOK);
    // At 16 s the test's window took the front; at 30 s the monitor's timer brought the box back.
    EXPECT_EQ(g_script.boxInFront, (std::vector<bool>{false, true}));
    // The monitor's hook took the box's activation and did not hand it on, then went away.
    int seen = g_script.activationsSeen;
    SetForegroundWindow(g_script.other);
    EXPECT_GT(g_script.activationsSeen, seen) << "the monitor's hook is still installed";
    EXPECT_EQ(TlsGetValue(g_tlsIndex), nullptr);
}

TEST_F(MessageBoxTest, ASystemModalBoxHasNoHookAndNoTimer) {
    int result = MonitorMessageBox(nullptr, MB_OK | MB_SYSTEMMODAL, IDS_PRODUCT, IDS_MASS_STORAGE);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(g_script.boxInFront, (std::vector<bool>{false, false}));
    EXPECT_GE(g_script.activationsSeen, 1); // the box's own activation reached the test's hook
}

TEST_F(MessageBoxTest, AMissingStringShowsNothing) {
    EXPECT_EQ(MonitorMessageBox(nullptr, MB_OK, IDS_PRODUCT, 503), 0);
    EXPECT_EQ(MonitorMessageBox(nullptr, MB_OK, 700, IDS_MASS_STORAGE), 0);
    EXPECT_EQ(g_script.activationsSeen, 0);
}

} // namespace

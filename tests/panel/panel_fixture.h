// What the control panel's tests share: a fresh machine root with the box running, a fake tray
// companion in the folder "Path" names, the configuration key and win.ini as the test sets and
// reads them, and the person who drives the dialogs in this process.
#pragma once

#include "Profile.h"
#include "afx.h"
#include "support/box.h"
#include "support/temp_root.h"
#include "ui/automation.h"
#include "ui/headless.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace panel_test {

namespace ua = ui::automation;

inline constexpr const char* kKeyPath = "SOFTWARE\\Generic\\Selvane\\2.00";
inline constexpr const char* kKeyName = "HKLM\\SOFTWARE\\Generic\\Selvane\\2.00";
// A known-bad default printer: still there means nobody wrote one.
inline constexpr const char* kSentinelPrinter = "sentinel,never,written";

// The command lines the box logs, by port, on LPT1.
std::string Command(int lpt, char port);

// The configuration key, read and written as the installation and a person would.
void SetDword(const char* name, DWORD value);
void SetText(const char* name, const std::string& text);
// A value of these bytes and no terminator (REG_BINARY).
void SetBytes(const char* name, const std::string& bytes);
void DeleteValue(const char* name);
void DeleteKey();
bool KeyExists();
std::optional<DWORD> Dword(const char* name);
std::optional<std::string> Text(const char* name);

std::string DefaultPrinter();
void SetDefaultPrinterEntry(const std::string& device);
// Replaces win.ini's [devices] with these "NAME=DRIVER,PORT" entries (none: no section).
void SetDevices(const std::vector<std::string>& entries);

// Every process-wide window of this test is gone and the dialog classes are unregistered.
void DestroyAllWindows();

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // What the box received since the last call, oldest first.
    std::vector<std::string> TakeBoxLog();
    // How many times the fake tray companion was started, once `expected` starts had time to
    // note themselves (it is started apart from us).
    int TrayStarts(int expected) const;
    // The folder "Path" names, holding the fake TASKBAR.exe.
    std::string TrayFolder() const { return root.str() + "/bin"; }

    // The main dialog shown, found by its window class.
    static HWND Main();
    static HWND Dialog(const char* caption);
    static std::optional<ua::ControlState> Ctl(HWND window, int id) {
        return ua::Control(window, id);
    }
    static bool Checked(int id) { return Ctl(Main(), id) && Ctl(Main(), id)->checked; }
    static bool Enabled(int id) { return Ctl(Main(), id) && Ctl(Main(), id)->enabled; }
    static std::string Caption(int id) { return Ctl(Main(), id) ? Ctl(Main(), id)->text : "?"; }

    testing_support::TempRoot root;
    std::optional<testing_support::RunningBox> box;
    ui::Headless person;
};

// A top-level window of this process that notes the WM_WININICHANGE broadcasts it receives:
// the section's name, or "(none)" for lParam 0.
class BroadcastListener {
public:
    BroadcastListener();
    ~BroadcastListener();
    BroadcastListener(const BroadcastListener&) = delete;
    BroadcastListener& operator=(const BroadcastListener&) = delete;
    const std::vector<std::string>& heard() const;

private:
    HWND window_ = nullptr;
};

// Sets an environment variable for the object's life.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> saved_;
};

} // namespace panel_test

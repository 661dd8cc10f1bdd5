#include "panel_fixture.h"

#include "support/process.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace panel_test {

namespace fs = std::filesystem;

std::string Command(int lpt, char port) {
    static const char* kPorts[] = {"30 B0", "31 B1", "32 B2", "33 B3"};
    return "0" + std::to_string(lpt) + " 11 91 " + kPorts[port - 'A'] + " 0D 8D";
}

namespace {
HKEY OpenKey() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}
} // namespace

void SetDword(const char* name, DWORD value) {
    HKEY key = OpenKey();
    ASSERT_NE(key, nullptr);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    RegCloseKey(key);
}

void SetText(const char* name, const std::string& text) {
    HKEY key = OpenKey();
    ASSERT_NE(key, nullptr);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

void SetBytes(const char* name, const std::string& bytes) {
    HKEY key = OpenKey();
    ASSERT_NE(key, nullptr);
    RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

void DeleteValue(const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kKeyPath, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}

void DeleteKey() {
    auto r = testing_support::Selvane({"reg", "del", kKeyName});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_FALSE(KeyExists());
}

bool KeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kKeyPath, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::optional<DWORD> Dword(const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kKeyPath, &key) != ERROR_SUCCESS) return std::nullopt;
    DWORD value = 0xBADBAD, type = 0, size = 4;
    LONG status =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != 4) return std::nullopt;
    return value;
}

std::optional<std::string> Text(const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kKeyPath, &key) != ERROR_SUCCESS) return std::nullopt;
    char buffer[1024];
    DWORD type = 0, size = sizeof buffer;
    LONG status =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ || size == 0) return std::nullopt;
    // Written with its terminating zero counted.
    if (buffer[size - 1] != '\0') return "(unterminated)";
    return std::string(buffer, size - 1);
}

std::string DefaultPrinter() {
    char buffer[1024];
    GetProfileStringA("windows", "device", "", buffer, sizeof buffer);
    return buffer;
}

void SetDefaultPrinterEntry(const std::string& device) {
    WriteProfileStringA("windows", "device", device.c_str());
}

void SetDevices(const std::vector<std::string>& entries) {
    // Written as a person edits win.ini: the lines as they are, duplicates and all.
    std::string device = DefaultPrinter();
    std::ofstream ini(std::string(std::getenv("SELVANE_ROOT")) + "/win.ini", std::ios::trunc);
    ini << "[windows]\ndevice=" << device << "\n";
    if (entries.empty()) return;
    ini << "\n[devices]\n";
    for (const auto& entry : entries)
        ini << entry << "\n";
}

void DestroyAllWindows() {
    for (HWND w : ua::Windows())
        DestroyWindow(w);
    UnregisterClassA("SELVANE_CLASS_ID_000001", nullptr);
    UnregisterClassA("SELVANE_CLASS_ID_000002", nullptr);
}

// --- PanelTest -------------------------------------------------------------------------------

void PanelTest::SetUp() {
    // The fake tray companion notes each start in the machine root and ends.
    fs::create_directories(TrayFolder());
    {
        std::ofstream script(TrayFolder() + "/TASKBAR.exe");
        script << "#!/bin/sh\necho started >> \"$SELVANE_ROOT/tray-starts\"\n";
    }
    fs::permissions(TrayFolder() + "/TASKBAR.exe", fs::perms::owner_all);
    auto setup = testing_support::Selvane({"setup", "--path", TrayFolder()});
    ASSERT_EQ(setup.status, 0) << setup.err;
    box.emplace();
    SetDefaultPrinterEntry(kSentinelPrinter);
    ui::Use(&person);
    // A loop that waits with nothing left for the person to do would wait forever: that is a
    // fault of the test's steps, reported, and every dialog is ended.
    person.WhenIdle([] {
        std::string shown;
        for (HWND w : ua::Windows()) {
            char text[64] = {};
            GetWindowTextA(w, text, sizeof text);
            shown += std::string(" \"") + text + "\"";
        }
        if (auto box = ua::MessageBox()) shown += " message box \"" + box->text + "\"";
        ADD_FAILURE() << "a dialog waits for the person, and no step is left:" << shown;
        if (ua::MessageBox()) ua::Answer(IDOK);
        for (HWND w : ua::Windows())
            EndDialog(w, IDCANCEL);
    });
    // The dialog class as the application registers it.
    WNDCLASSA wc{};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = DefDlgProcA;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.lpszClassName = profile::kDialogClass;
    ASSERT_NE(RegisterClassA(&wc), 0);
}

void PanelTest::TearDown() {
    DestroyAllWindows();
    ui::Use(nullptr);
    box.reset();
}

std::vector<std::string> PanelTest::TakeBoxLog() {
    auto r = testing_support::Selvane({"box", "log"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testing_support::Selvane({"box", "log", "--clear"}).status, 0);
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

int PanelTest::TrayStarts(int expected) const {
    auto count = [this] {
        std::ifstream in(root.path() / "tray-starts");
        int lines = 0;
        for (std::string line; std::getline(in, line);)
            ++lines;
        return lines;
    };
    if (expected == 0) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (int i = 0; i < 500 && count() < expected; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return count();
}

HWND PanelTest::Main() {
    return FindWindowA(profile::kDialogClass, nullptr);
}

HWND PanelTest::Dialog(const char* caption) {
    return ua::Find(std::string("title:") + caption);
}

// --- BroadcastListener ---------------------------------------------------------------------------

namespace {
std::vector<std::string> g_heard;
LRESULT CALLBACK ListenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_WININICHANGE)
        g_heard.push_back(lParam ? reinterpret_cast<const char*>(lParam) : "(none)");
    return DefWindowProcA(window, message, wParam, lParam);
}
} // namespace

BroadcastListener::BroadcastListener() {
    g_heard.clear();
    WNDCLASSA wc{};
    wc.lpfnWndProc = ListenerProc;
    wc.lpszClassName = "PanelTestListener";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, "PanelTestListener", "listener", WS_POPUP, 0, 0, 10, 10, nullptr,
                              nullptr, nullptr, nullptr);
}

BroadcastListener::~BroadcastListener() {
    if (IsWindow(window_)) DestroyWindow(window_);
    UnregisterClassA("PanelTestListener", nullptr);
}

const std::vector<std::string>& BroadcastListener::heard() const {
    return g_heard;
}

// --- ScopedEnv -----------------------------------------------------------------------------------

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    setenv(name, value, 1);
}

ScopedEnv::~ScopedEnv() {
    if (saved_)
        setenv(name_.c_str(), saved_->c_str(), 1);
    else
        unsetenv(name_.c_str());
}

} // namespace panel_test

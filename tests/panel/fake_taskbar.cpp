// A stand-in for the tray companion in the control panels' tests: it shows a hidden window of
// the tray companion's class, so that a panel finds it running, notes each start in the machine
// root (tray-starts), notes the WM_WININICHANGE broadcasts it receives (tray-heard: the
// section's name, or "(none)"), and ends when its window is closed.
#include "ui/renderer.h"
#include "win32.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

void Note(const char* file, const std::string& line) {
    const char* root = std::getenv("SELVANE_ROOT");
    if (!root) return;
    std::ofstream out(std::string(root) + "/" + file, std::ios::app);
    out << line << "\n";
}

LRESULT CALLBACK TrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_WININICHANGE:
        Note("tray-heard", lParam ? reinterpret_cast<const char*>(lParam) : "(none)");
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

int main() {
    ui::Start();
    WNDCLASSA wc{};
    wc.lpfnWndProc = TrayProc;
    wc.lpszClassName = "SELVANE_TASKBAR_CLASS_ID_000001";
    if (!RegisterClassA(&wc)) return 1;
    HWND window = CreateWindowExA(0, wc.lpszClassName, "fake tray", WS_POPUP, 0, 0, 1, 1, nullptr,
                                  nullptr, nullptr, nullptr);
    if (!window) return 1;
    Note("tray-starts", "started");
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}

// The monitor's message box and its remaining entry points: AddPort, ConfigurePort, DeletePort,
// GetPrinterDataFromPort, SetPortTimeOuts.
//
// A message box that is not system-modal brings itself back to the foreground every 15 seconds
// while it is up: a CBT hook on the calling thread learns the box's window at its activation and
// starts a thread timer; both reach the box's context through the thread's storage slot, so boxes
// on different threads never meet.
#include "keldrim.h"

#include <cstdarg>
#include <cstring>

namespace {

const UINT kForegroundInterval = 15000;
const DWORD kTextSize = 1024;

struct MessageBoxContext {
    HHOOK hook;
    HWND box;
    UINT_PTR timer;
};

MessageBoxContext* Context() {
    return static_cast<MessageBoxContext*>(TlsGetValue(g_tlsIndex));
}

} // namespace

void CALLBACK ForegroundTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    if (MessageBoxContext* context = Context(); context && context->box)
        SetForegroundWindow(context->box);
}

LRESULT CALLBACK MessageBoxHook(int code, WPARAM wParam, LPARAM) {
    MessageBoxContext* context = Context();
    if (context && code == HCBT_ACTIVATE && context->hook) {
        // The window about to be activated is the box: from now on the timer keeps it in front.
        context->box = reinterpret_cast<HWND>(wParam);
        UnhookWindowsHookEx(context->hook);
        context->hook = nullptr;
        context->timer = SetTimer(nullptr, 0, kForegroundInterval, ForegroundTimerProc);
    }
    return 0; // every event goes ahead; it is not handed on
}

int MonitorMessageBox(HWND owner, UINT style, UINT captionId, UINT textId, ...) {
    auto* text = static_cast<LPSTR>(LocalAlloc(LPTR, kTextSize));
    if (!text) return 0;
    char format[120], caption[20];
    if (LoadStringA(g_instance, textId, format, sizeof format) == 0 ||
        LoadStringA(g_instance, captionId, caption, sizeof caption) == 0) {
        LocalFree(text);
        return 0;
    }
    va_list arguments;
    va_start(arguments, textId);
    wvsprintfA(text, format, arguments); // at most 1022 characters: room for "\n" and the end
    va_end(arguments);
    text[kTextSize - 2] = '\0';
    std::strcat(text, "\n");

    int result;
    if (style & MB_SYSTEMMODAL) {
        result = MessageBoxA(owner, text, caption, style);
    } else {
        MessageBoxContext context{nullptr, nullptr, 0};
        TlsSetValue(g_tlsIndex, &context);
        context.hook = SetWindowsHookExA(WH_CBT, MessageBoxHook, nullptr, GetCurrentThreadId());
        result = MessageBoxA(owner, text, caption, style);
        TlsSetValue(g_tlsIndex, nullptr);
        if (context.timer) KillTimer(nullptr, context.timer);
        if (context.hook) UnhookWindowsHookEx(context.hook); // the box was never activated
    }
    LocalFree(text);
    return result;
}

BOOL WINAPI AddPort(LPSTR, HWND window, LPSTR) {
    return Guarded([&] {
        // The ports come from the registry alone; the strings 700 and 503 are not in the table,
        // so the user sees nothing.
        MonitorMessageBox(window, MB_SETFOREGROUND | MB_ICONINFORMATION, 700, 503);
        return TRUE;
    });
}

BOOL WINAPI ConfigurePort(LPSTR, HWND, LPSTR) {
    return TRUE;
}

BOOL WINAPI DeletePort(LPSTR, HWND, LPSTR) {
    return FALSE;
}

BOOL WINAPI GetPrinterDataFromPort(HANDLE port, DWORD controlId, LPSTR valueName, LPSTR inBuffer,
                                   DWORD inSize, LPSTR outBuffer, DWORD outSize, LPDWORD returned) {
    return Guarded([&] {
        PortEntry* entry = static_cast<PortEntry*>(port);
        if (valueName || !HoldsOpenDevice(entry)) return FALSE;
        return DeviceIoControl(entry->device, controlId, inBuffer, inSize, outBuffer, outSize,
                               returned, nullptr);
    });
}

BOOL WINAPI SetPortTimeOuts(HANDLE port, LPCOMMTIMEOUTS timeouts, DWORD reserved) {
    return Guarded([&] {
        PortEntry* entry = static_cast<PortEntry*>(port);
        if (reserved != 0 || !timeouts || !HoldsOpenDevice(entry)) return FALSE;
        COMMTIMEOUTS current;
        if (!GetCommTimeouts(entry->device, &current)) return FALSE;
        // Only the read time-outs are the caller's; the write time-out of the claim stays.
        current.ReadIntervalTimeout = timeouts->ReadIntervalTimeout;
        current.ReadTotalTimeoutConstant = timeouts->ReadTotalTimeoutConstant;
        return SetCommTimeouts(entry->device, &current);
    });
}

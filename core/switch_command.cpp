#include "switch_command.h"

SwitchCommand MakeSwitchCommand(LptIndex lpt, SwitchPort port) {
    SwitchCommand command;
    command.bytes[0] = static_cast<BYTE>(lpt);
    command.bytes[1] = 0x11;
    command.bytes[2] = 0x91;
    command.bytes[3] = static_cast<BYTE>(0x30 + port);
    command.bytes[4] = static_cast<BYTE>(0xB0 + port);
    command.bytes[5] = 0x0D;
    command.bytes[6] = 0x8D;
    return command;
}

BOOL TrySendSwitchCommand(const SwitchCommand& command) {
    // FILE_FLAG_DELETE_ON_CLOSE lets Windows 95/98 unload a dynamically loaded driver when its
    // last handle closes.
    HANDLE driver = CreateFileA(SWITCH_DRIVER_NAME, 0, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (driver == INVALID_HANDLE_VALUE) return FALSE;
    BYTE input[sizeof command.bytes];
    for (size_t i = 0; i < sizeof input; ++i)
        input[i] = command.bytes[i];
    DWORD returned = 0;
    BOOL sent = DeviceIoControl(driver, IOCTL_SWITCH_COMMAND, input, sizeof input, nullptr, 0,
                                &returned, nullptr);
    DWORD error = GetLastError();
    CloseHandle(driver);
    SetLastError(error);
    return sent;
}

void SendSwitchCommand(const SwitchCommand& command) {
    TrySendSwitchCommand(command);
}

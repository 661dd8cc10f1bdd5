// The switch command and the channel to the switch driver.
//
// Every change of the box's state is one 7-byte command handed to the driver KELDRIM.VXD: byte 0
// names the PC's parallel port, bytes 1 to 6 are three pairs (a byte, then the same byte with bit
// 7 set) that name the device port. The driver is opened for each command and closed at once; a
// driver that cannot be opened drops the command. Senders in different processes are not
// serialised: the box obeys the last command.
#pragma once

#include "win32.h"

// 0 to 2 for LPT1 to LPT3.
typedef int LptIndex;
// 0 to 3 for device ports A to D.
typedef int SwitchPort;

// The box's working mode, stored as "ActiveMode".
enum BoxMode { OnePcManyDevices = 0, ManyPcsOneDevice = 1, FileTransfer = 2 };

struct SwitchCommand {
    BYTE bytes[7];
};

#define SWITCH_DRIVER_NAME "\\\\.\\KELDRIM.VXD"
#define IOCTL_SWITCH_COMMAND 0x192004u // decimal 1646596

// The command that connects `lpt` to device port `port`.
SwitchCommand MakeSwitchCommand(LptIndex lpt, SwitchPort port);

// Opens the driver, hands it the command, closes it. Nothing is reported: a driver that is not
// there drops the command, and the caller goes on as if it had been sent.
void SendSwitchCommand(const SwitchCommand& command);

// The same, for a caller that wants to know: FALSE with the last error set when the driver could
// not be opened or refused the command.
BOOL TrySendSwitchCommand(const SwitchCommand& command);

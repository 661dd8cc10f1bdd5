// A real parallel port behind dev/LPTn: the link `selvane setup --probe` makes to /dev/lpN. The
// comm functions map onto the lp driver's interface: its status lines become the CE_ error bits,
// and the write time-out becomes the driver's own time-out.
#pragma once

#include "win32/kernel.h"

namespace platform {

// The CE_ bits the lp driver's status byte (LPGETSTATUS) stands for: paper out is CE_OOP, a
// printer that is not selected CE_DNS, the fault line (active low) CE_IOE.
DWORD LpStatusToCommErrors(int status);

// The lp driver's write time-out for the COMMTIMEOUTS of a write of `bytes` bytes, in
// milliseconds; 0 means none.
DWORD LpWriteTimeoutMs(const COMMTIMEOUTS& timeouts, DWORD bytes);

} // namespace platform

// What differs between the two builds of the control panel. SWITCH.exe serves the four-port
// boxes ("Selvane 4-1", and "Selvane 2-1" with ports C and D shut); TANDEL.exe, built with
// TwoPortProfile defined, serves "Selvane 2-2 / 4-2": ports A and B and file transfer.
#pragma once

#include "resource.h"

namespace profile {

#ifdef TwoPortProfile
constexpr int kPorts = 2;
constexpr const char* kDialogClass = "SELVANE_CLASS_ID_000002";
constexpr unsigned kPicture = IDB_PICTURE_TWO_PORT;
#else
constexpr int kPorts = 4;
constexpr const char* kDialogClass = "SELVANE_CLASS_ID_000001";
constexpr unsigned kPicture = IDB_PICTURE;
#endif

// Every build writes the tray companion's class name the same way.
constexpr const char* kTrayClass = "SELVANE_TASKBAR_CLASS_ID_000001";

} // namespace profile

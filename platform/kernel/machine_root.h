// The machine root: the folder that holds everything a Windows machine would (registry.db,
// win.ini, dev/, run/, box/). $SELVANE_ROOT names it, else $XDG_DATA_HOME/selvane, else
// ~/.local/share/selvane. It is read afresh on every call, so a test that points SELVANE_ROOT
// elsewhere is followed at once.
#pragma once

#include <filesystem>

namespace platform {

std::filesystem::path MachineRoot();

// The device namespace: "\\.\NAME" and "LPTn" open MachineRoot()/dev/NAME.
std::filesystem::path DevicePath(const std::string& name);

} // namespace platform

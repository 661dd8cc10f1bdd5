#include "kernel/machine_root.h"

#include <cstdlib>
#include <string>

namespace platform {

std::filesystem::path MachineRoot() {
    if (const char* root = std::getenv("SELVANE_ROOT"); root && *root) return root;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return std::filesystem::path(data) / "selvane";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : "/") / ".local/share/selvane";
}

std::filesystem::path DevicePath(const std::string& name) {
    return MachineRoot() / "dev" / name;
}

} // namespace platform

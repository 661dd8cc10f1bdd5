#include "profile_files.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace profile_test {

std::filesystem::path WinIni() {
    const char* root = std::getenv("SELVANE_ROOT");
    if (!root) throw std::logic_error("a profile test runs in a TempRoot");
    return std::filesystem::path(root) / "win.ini";
}

std::optional<std::string> ReadWinIni() {
    std::ifstream in(WinIni(), std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void PutWinIni(const std::optional<std::string>& text) {
    if (!text) {
        std::filesystem::remove(WinIni());
        return;
    }
    std::ofstream out(WinIni(), std::ios::binary | std::ios::trunc);
    out << *text;
    if (!out) throw std::runtime_error("cannot write win.ini");
}

} // namespace profile_test

#include "cli.h"

#include "kernel/machine_root.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace selvane {

std::string Args::take(const std::string& what) {
    if (empty()) throw Usage("missing " + what);
    return words_[next_++];
}

bool Args::takeFlag(const std::string& flag) {
    if (empty() || peek() != flag) return false;
    ++next_;
    return true;
}

bool Args::takeOption(const std::string& option, std::string& value) {
    if (empty()) return false;
    const std::string& word = peek();
    if (word == option) {
        ++next_;
        value = take("a value after " + option);
        return true;
    }
    if (word.size() > option.size() + 1 && word.compare(0, option.size(), option) == 0 &&
        word[option.size()] == '=') {
        value = word.substr(option.size() + 1);
        ++next_;
        return true;
    }
    return false;
}

void Args::done() const {
    if (!empty()) throw Usage("unexpected argument '" + peek() + "'");
}

bool WantsHelp(const std::vector<std::string>& words) {
    for (const auto& word : words)
        if (word == "--help" || word == "-h") return true;
    return false;
}

void RequireRoot() {
    auto root = platform::MachineRoot();
    if (!std::filesystem::is_directory(root))
        throw Failure("machine root " + root.string() + " does not exist (run selvane setup)");
}

std::string ProgramFolder() {
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return std::filesystem::current_path().string();
    return self.parent_path().string();
}

std::string HexBytes(const unsigned char* data, size_t size) {
    std::string out;
    char byte[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", data[i]);
        out += byte;
    }
    return out;
}

} // namespace selvane

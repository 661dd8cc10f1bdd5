#include "reg_key.h"

#include "cli.h"
#include "registry/registry_store.h"

#include <algorithm>
#include <cctype>

namespace selvane {

namespace {
struct RootName {
    const char* longName;
    const char* shortName;
    HKEY root;
};
const RootName kRoots[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_DYN_DATA", "HKDD", HKEY_DYN_DATA},
};

std::string Upper(std::string text) {
    for (auto& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}
} // namespace

bool ParseKeyName(const std::string& text, KeyName& key) {
    size_t slash = text.find('\\');
    std::string first = Upper(text.substr(0, slash));
    for (const auto& root : kRoots) {
        if (first != root.longName && first != root.shortName) continue;
        key.root = root.root;
        key.rootName = root.longName;
        key.path = slash == std::string::npos ? "" : text.substr(slash + 1);
        while (!key.path.empty() && key.path.back() == '\\')
            key.path.pop_back();
        while (!key.path.empty() && key.path.front() == '\\')
            key.path.erase(0, 1);
        return true;
    }
    return false;
}

void CheckRegistry() {
    std::string problem;
    if (platform::registry::Store::Instance().Check(problem) != ERROR_SUCCESS)
        throw Failure(problem);
}

HKEY OpenKey(const KeyName& key) {
    CheckRegistry();
    HKEY handle;
    LONG status = RegOpenKeyExA(key.root, key.path.c_str(), 0, KEY_ALL_ACCESS, &handle);
    if (status == ERROR_FILE_NOT_FOUND) throw Failure("no key " + key.full());
    if (status != ERROR_SUCCESS)
        throw Failure("cannot open " + key.full() + " (error " + std::to_string(status) + ")");
    return handle;
}

std::string TypeName(DWORD type) {
    switch (type) {
    case REG_NONE:
        return "REG_NONE";
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ";
    default:
        return "REG_" + std::to_string(type);
    }
}

} // namespace selvane

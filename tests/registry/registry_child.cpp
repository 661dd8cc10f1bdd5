// A second process for the registry tests. Every mode works on a key under HKEY_LOCAL_MACHINE
// of the machine root in $SELVANE_ROOT; the exit status is 0 when every call succeeded.
//
//   registry_child set KEY NAME TEXT     creates KEY, sets NAME to TEXT (REG_SZ, terminator
//                                        included)
//   registry_child delete KEY            deletes KEY with everything under it
//   registry_child writer KEY ID COUNT   waits for the file "go" in the machine root, then
//                                        COUNT times: sets "cID-j" and "Same" to "cID-j" and
//                                        creates KEY\Shared\Sj (j mod 5)
//   registry_child stream KEY            sets "v0", "v1", ... (REG_DWORD j) until killed, and
//                                        writes "j\n" to standard output once "vj" is committed
#include "win32/registry.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

namespace {

HKEY CreateKey(const char* path) {
    HKEY key = nullptr;
    LONG error = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                 &key, nullptr);
    if (error != ERROR_SUCCESS) {
        std::fprintf(stderr, "create %s: %ld\n", path, static_cast<long>(error));
        std::exit(1);
    }
    return key;
}

LONG SetText(HKEY key, const std::string& name, const std::string& text) {
    return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

int Writer(const char* path, const std::string& id, int count) {
    const char* root = std::getenv("SELVANE_ROOT");
    std::filesystem::path go = std::filesystem::path(root ? root : ".") / "go";
    while (!std::filesystem::exists(go))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    HKEY key = CreateKey(path);
    int failures = 0;
    for (int j = 0; j < count; ++j) {
        std::string text = "c" + id + "-" + std::to_string(j);
        std::string sub = std::string(path) + "\\Shared\\S" + std::to_string(j % 5);
        for (LONG error : {SetText(key, text, text), SetText(key, "Same", text)}) {
            if (error != ERROR_SUCCESS) {
                std::fprintf(stderr, "set %s: %ld\n", text.c_str(), static_cast<long>(error));
                ++failures;
            }
        }
        RegCloseKey(CreateKey(sub.c_str()));
    }
    RegCloseKey(key);
    return failures == 0 ? 0 : 1;
}

int Stream(const char* path) {
    HKEY key = CreateKey(path);
    for (DWORD j = 0;; ++j) {
        std::string name = "v" + std::to_string(j);
        LONG error =
            RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&j), 4);
        if (error != ERROR_SUCCESS) {
            std::fprintf(stderr, "set %s: %ld\n", name.c_str(), static_cast<long>(error));
            return 1;
        }
        std::string line = std::to_string(j) + "\n";
        if (write(1, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return 1;
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "set" && argc == 5) {
        HKEY key = CreateKey(argv[2]);
        LONG error = SetText(key, argv[3], argv[4]);
        RegCloseKey(key);
        return error == ERROR_SUCCESS ? 0 : 1;
    }
    if (mode == "delete" && argc == 3) return RegDeleteKeyA(HKEY_LOCAL_MACHINE, argv[2]) ? 1 : 0;
    if (mode == "writer" && argc == 5) return Writer(argv[2], argv[3], std::atoi(argv[4]));
    if (mode == "stream" && argc == 3) return Stream(argv[2]);
    std::fprintf(stderr, "usage: registry_child set|delete|writer|stream KEY ...\n");
    return 2;
}

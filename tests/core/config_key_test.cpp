#include "config_key.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using testing_support::TempRoot;

namespace {

// The words a deliverable's string table gives the key path.
const res::String kStrings[] = {
    {5, "Generic"}, {6, "Selvane"}, {7, "2.00"}, {514, "Dorvane"}, {512, "Selvane"}, {513, "2.00"},
};
const res::Module kModule{kStrings, std::size(kStrings)};
const res::Registration kRegistration(&kModule);

const char kPath[] = "Software\\Generic\\Selvane\\2.00";

void MakeKey(const char* path) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetValue(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPath, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST(ConfigKey, PathFromTheStringTable) {
    HINSTANCE self = GetModuleHandleA(nullptr);
    char path[256];
    EXPECT_TRUE(BuildConfigKeyPath(self, "Software\\", 5, 6, 7, path, sizeof path));
    EXPECT_STREQ(path, "Software\\Generic\\Selvane\\2.00");
    EXPECT_TRUE(BuildConfigKeyPath(self, "Software\\", 514, 512, 513, path, sizeof path));
    EXPECT_STREQ(path, "Software\\Dorvane\\Selvane\\2.00");

    char small[12];
    std::memset(small, '#', sizeof small);
    EXPECT_FALSE(BuildConfigKeyPath(self, "Software\\", 5, 6, 7, small, 10));
    EXPECT_STREQ(small, "Software\\");
    EXPECT_EQ(small[10], '#'); // nothing past the size given
}

TEST(ConfigKey, OneShotAccessNeverCreatesTheKey) {
    TempRoot root;
    DWORD value = 0xAAAAAAAA;
    EXPECT_EQ(
        ReadConfigValue(HKEY_LOCAL_MACHINE, kPath, "LPTx", reinterpret_cast<BYTE*>(&value), 4),
        ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(value, 0xAAAAAAAAu);
    DWORD port = 2;
    EXPECT_EQ(WriteConfigDword(HKEY_LOCAL_MACHINE, kPath, "ActivePort",
                               reinterpret_cast<BYTE*>(&port), 4),
              ERROR_FILE_NOT_FOUND);
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPath, 0, KEY_ALL_ACCESS, &key),
              ERROR_FILE_NOT_FOUND);
}

TEST(ConfigKey, OneShotWriteAndReadOfADword) {
    TempRoot root;
    MakeKey(kPath);
    DWORD port = 3;
    EXPECT_EQ(WriteConfigDword(HKEY_LOCAL_MACHINE, kPath, "ActivePort",
                               reinterpret_cast<BYTE*>(&port), 4),
              ERROR_SUCCESS);
    DWORD read = 0;
    // Key names compare without regard to case: the control panels spell it SOFTWARE.
    EXPECT_EQ(ReadConfigValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\generic\\SELVANE\\2.00", "activeport",
                              reinterpret_cast<BYTE*>(&read), 4),
              ERROR_SUCCESS);
    EXPECT_EQ(read, 3u);
    DWORD type = 0, size = 0;
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPath, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(key, "ActivePort", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(size, 4u);
}

// A text buffer read from the key is always terminated within itself, whatever the value holds.
TEST(ConfigKey, TextReadsStayTerminatedInTheirBuffer) {
    TempRoot root;
    MakeKey(kPath);
    const DWORD dword = 0x41424344; // "DCBA" with no terminator of its own
    SetValue("LPTx", REG_DWORD, &dword, 4);
    SetValue("Model Name", REG_SZ, "Selvane 2-1", 12);
    SetValue("Unterminated", REG_BINARY, "ABCDEFGH", 8);
    const std::string longText(200, 'x');
    SetValue("Long", REG_SZ, longText.c_str(), static_cast<DWORD>(longText.size() + 1));

    struct Case {
        const char* name;
        DWORD size;
        const char* expected; // the text afterwards
    } cases[] = {
        {"Model Name", 128, "Selvane 2-1"},
        {"LPTx", 128, "DCBA"},          // a DWORD read as text
        {"LPTx", 4, "DCB"},             // ... into a buffer of exactly four bytes
        {"Unterminated", 8, "ABCDEFG"}, // bytes that fill the buffer
        {"Long", 128, "default"},       // too long: the reader keeps its default
        {"Missing", 128, "default"},
    };
    for (const auto& c : cases) {
        char buffer[160];
        std::memset(buffer, '#', sizeof buffer);
        std::string initial = std::string("default").substr(0, c.size - 1);
        std::memcpy(buffer, initial.c_str(), initial.size() + 1); // the reader's default
        ReadConfigText(HKEY_LOCAL_MACHINE, kPath, c.name, buffer, c.size);
        EXPECT_STREQ(buffer, c.expected) << c.name << " into " << c.size << " bytes";
        EXPECT_EQ(buffer[c.size], '#') << c.name << ": written past the buffer";
    }
}

} // namespace

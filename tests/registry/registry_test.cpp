// The registry's Win32 behaviour within one process: names, opening, queries with the buffer
// rules, enumeration orders, deletion under open handles, files that are not a registry, and
// transactions.
#include "registry/registry_store.h"
#include "support/temp_root.h"
#include "win32/registry.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

using platform::registry::Store;
using testing_support::TempRoot;

constexpr BYTE kSentinel = 0xCC;
constexpr DWORD kTypeSentinel = 0xDEADBEEF;

using Bytes = std::vector<BYTE>;

Bytes B(std::string_view text) {
    return Bytes(text.begin(), text.end());
}
Bytes Sz(std::string_view text) { // with its terminator
    Bytes b = B(text);
    b.push_back(0);
    return b;
}
Bytes Dword(DWORD v) {
    return {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)};
}

class Registry : public ::testing::Test {
protected:
    HKEY Create(HKEY parent, const char* path, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, disposition))
            << path;
        return key;
    }
    HKEY Create(const char* path) { return Create(HKEY_LOCAL_MACHINE, path); }
    LONG Set(HKEY key, const char* name, DWORD type, const Bytes& data) {
        return RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
    }
    // The value's bytes, or the error as the only "byte" list entry being absent.
    LONG Get(HKEY key, const char* name, Bytes& data, DWORD* type = nullptr) {
        DWORD size = 0;
        LONG error = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
        if (error != ERROR_SUCCESS) return error;
        data.assign(size, 0);
        return RegQueryValueExA(key, name, nullptr, type, data.data(), &size);
    }
    std::vector<std::string> Subkeys(HKEY key) {
        std::vector<std::string> names;
        char name[256];
        LONG error;
        for (DWORD i = 0; (error = RegEnumKeyA(key, i, name, sizeof name)) == ERROR_SUCCESS; ++i)
            names.push_back(name);
        EXPECT_EQ(ERROR_NO_MORE_ITEMS, error);
        return names;
    }
    std::vector<std::string> ValueNames(HKEY key) {
        std::vector<std::string> names;
        char name[256];
        DWORD size = sizeof name;
        LONG error;
        for (DWORD i = 0; (error = RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr,
                                                 nullptr)) == ERROR_SUCCESS;
             ++i, size = sizeof name)
            names.push_back(name);
        EXPECT_EQ(ERROR_NO_MORE_ITEMS, error);
        return names;
    }
    std::filesystem::path Db() const { return root_.path() / "registry.db"; }

    TempRoot root_;
};

// ---- Queries -------------------------------------------------------------------------------

TEST_F(Registry, QueryValueFollowsTheBufferRules) {
    HKEY key = Create("Software\\Generic\\Selvane\\2.00");
    ASSERT_EQ(ERROR_SUCCESS, Set(key, "Model Name", REG_SZ, Sz("Selvane 4-1")));
    ASSERT_EQ(ERROR_SUCCESS, Set(key, "Bare", REG_SZ, B("abc")));
    ASSERT_EQ(ERROR_SUCCESS, Set(key, "Expand", REG_EXPAND_SZ, B("%x%")));
    ASSERT_EQ(ERROR_SUCCESS, Set(key, "Empty", REG_SZ, {}));
    ASSERT_EQ(ERROR_SUCCESS, Set(key, "ActivePort", REG_DWORD, Dword(0x01020304)));
    ASSERT_EQ(ERROR_SUCCESS, Set(key, "Command", REG_BINARY, {0x11, 0x91, 0x30}));
    ASSERT_EQ(ERROR_SUCCESS, Set(key, "Odd", 0x4242, {0x00, 0x7F}));
    ASSERT_EQ(ERROR_SUCCESS, Set(key, nullptr, REG_SZ, Sz("default")));

    constexpr int kNullData = -1;
    struct Case {
        const char* name;
        int buffer; // bytes offered, or kNullData for no buffer
        LONG result;
        DWORD size;    // *size afterwards
        DWORD type;    // *type afterwards
        Bytes written; // the buffer's first bytes afterwards; the rest must be the sentinel
    } cases[] = {
        {"Model Name", 64, ERROR_SUCCESS, 12, REG_SZ, Sz("Selvane 4-1")},
        {"model NAME", 12, ERROR_SUCCESS, 12, REG_SZ, Sz("Selvane 4-1")},
        {"Model Name", 11, ERROR_MORE_DATA, 12, REG_SZ, {}},
        {"Model Name", 0, ERROR_MORE_DATA, 12, REG_SZ, {}},
        {"Model Name", kNullData, ERROR_SUCCESS, 12, REG_SZ, {}},
        {"Bare", 3, ERROR_SUCCESS, 3, REG_SZ, B("abc")}, // no room for a terminator
        {"Bare", 4, ERROR_SUCCESS, 3, REG_SZ, Sz("abc")},
        {"Bare", 2, ERROR_MORE_DATA, 3, REG_SZ, {}},
        {"Expand", 8, ERROR_SUCCESS, 3, REG_EXPAND_SZ, Sz("%x%")},
        {"Empty", 4, ERROR_SUCCESS, 0, REG_SZ, {0}},
        {"ActivePort", 4, ERROR_SUCCESS, 4, REG_DWORD, Dword(0x01020304)},
        {"ActivePort", 3, ERROR_MORE_DATA, 4, REG_DWORD, {}},
        {"Command", 8, ERROR_SUCCESS, 3, REG_BINARY, {0x11, 0x91, 0x30}}, // binary: no terminator
        {"Odd", 8, ERROR_SUCCESS, 2, 0x4242, {0x00, 0x7F}},
        {nullptr, 64, ERROR_SUCCESS, 8, REG_SZ, Sz("default")},
        {"", 64, ERROR_SUCCESS, 8, REG_SZ, Sz("default")},
        {"Missing", 64, ERROR_FILE_NOT_FOUND, 64, kTypeSentinel, {}},
        {"Missing", kNullData, ERROR_FILE_NOT_FOUND, 5, kTypeSentinel, {}},
    };
    for (size_t row = 0; row < std::size(cases); ++row) {
        const Case& c = cases[row];
        SCOPED_TRACE("row " + std::to_string(row) + " " + (c.name ? c.name : "(null)"));
        std::array<BYTE, 64> buffer;
        buffer.fill(kSentinel);
        DWORD size = c.buffer == kNullData ? 5 : static_cast<DWORD>(c.buffer);
        DWORD type = kTypeSentinel;
        EXPECT_EQ(c.result,
                  RegQueryValueExA(key, c.name, nullptr, &type,
                                   c.buffer == kNullData ? nullptr : buffer.data(), &size));
        EXPECT_EQ(c.size, size);
        EXPECT_EQ(c.type, type);
        Bytes expected = c.written;
        expected.resize(buffer.size(), kSentinel);
        EXPECT_EQ(expected, Bytes(buffer.begin(), buffer.end()));
    }

    // The type pointer is optional, and a buffer without a size is refused before anything.
    DWORD size = 64;
    std::array<BYTE, 64> buffer;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Bare", nullptr, nullptr, buffer.data(), &size));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegQueryValueExA(key, "Bare", nullptr, nullptr, buffer.data(), nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Bare", nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(key);
}

TEST_F(Registry, SetStoresExactlyTheBytesGivenAndOverwritesInPlace) {
    HKEY key = Create("Software\\Dorvane\\Selvane\\2.00");
    ASSERT_EQ(ERROR_SUCCESS, Set(key, "First", REG_SZ, Sz("one")));
    ASSERT_EQ(ERROR_SUCCESS, Set(key, "ActivePort", REG_DWORD, Dword(1)));
    ASSERT_EQ(ERROR_SUCCESS, Set(key, "Last", REG_SZ, Sz("three")));
    // Another spelling of the same name, another type and size: the value keeps its first
    // spelling and its place.
    ASSERT_EQ(ERROR_SUCCESS, Set(key, "ACTIVEPORT", REG_BINARY, {9, 8, 7, 6, 5, 4}));
    EXPECT_EQ((std::vector<std::string>{"First", "ActivePort", "Last"}), ValueNames(key));
    Bytes data;
    DWORD type = 0;
    ASSERT_EQ(ERROR_SUCCESS, Get(key, "activeport", data, &type));
    EXPECT_EQ((Bytes{9, 8, 7, 6, 5, 4}), data);
    EXPECT_EQ(DWORD(REG_BINARY), type);
    // A REG_SZ keeps the length its writer gave, embedded zeros and all.
    ASSERT_EQ(ERROR_SUCCESS, Set(key, "First", REG_SZ, Bytes{'a', 0, 'b'}));
    ASSERT_EQ(ERROR_SUCCESS, Get(key, "First", data));
    EXPECT_EQ((Bytes{'a', 0, 'b'}), data);
    // A size without data is refused and changes nothing.
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueExA(key, "First", 0, REG_SZ, nullptr, 4));
    ASSERT_EQ(ERROR_SUCCESS, Get(key, "First", data));
    EXPECT_EQ((Bytes{'a', 0, 'b'}), data);
    RegCloseKey(key);
}

// ---- Opening and creating ------------------------------------------------------------------

TEST_F(Registry, OpenFindsKeysWithoutRegardToCaseAndNeverCreates) {
    RegCloseKey(Create("SOFTWARE\\Generic\\Selvane\\2.00"));
    struct Case {
        HKEY root;
        const char* path;
        LONG result;
    } cases[] = {
        {HKEY_LOCAL_MACHINE, "Software\\Generic\\Selvane\\2.00", ERROR_SUCCESS},
        {HKEY_LOCAL_MACHINE, "software\\GENERIC\\sElVaNe\\2.00", ERROR_SUCCESS},
        {HKEY_LOCAL_MACHINE, "Software\\Generic\\Selvane\\2.00\\", ERROR_SUCCESS},
        {HKEY_LOCAL_MACHINE, "Software\\Generic", ERROR_SUCCESS},
        {HKEY_LOCAL_MACHINE, "", ERROR_SUCCESS},
        {HKEY_LOCAL_MACHINE, nullptr, ERROR_SUCCESS},
        {HKEY_LOCAL_MACHINE, "Software\\Generic\\Selvane\\2.0", ERROR_FILE_NOT_FOUND},
        {HKEY_LOCAL_MACHINE, "Software\\Dorvane\\Selvane\\2.00", ERROR_FILE_NOT_FOUND},
        {HKEY_LOCAL_MACHINE, "Software\\Generic\\Selvane\\2.00\\X", ERROR_FILE_NOT_FOUND},
        {HKEY_CURRENT_USER, "Software\\Generic", ERROR_FILE_NOT_FOUND}, // another root
        {HKEY_DYN_DATA, "Software", ERROR_FILE_NOT_FOUND},
        {HKEY_DYN_DATA, "", ERROR_SUCCESS},
        {HKEY_CLASSES_ROOT, "", ERROR_INVALID_HANDLE},
        {reinterpret_cast<HKEY>(0x1234), "Software", ERROR_INVALID_HANDLE},
    };
    for (size_t row = 0; row < std::size(cases); ++row) {
        const Case& c = cases[row];
        SCOPED_TRACE("row " + std::to_string(row) + " " + (c.path ? c.path : "(null)"));
        for (bool ex : {false, true}) {
            HKEY key = reinterpret_cast<HKEY>(0x77);
            LONG result = ex ? RegOpenKeyExA(c.root, c.path, 0, KEY_ALL_ACCESS, &key)
                             : RegOpenKeyA(c.root, c.path, &key);
            EXPECT_EQ(c.result, result);
            if (result == ERROR_SUCCESS) {
                EXPECT_NE(c.root, key); // a handle of its own
                EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
            } else {
                EXPECT_EQ(nullptr, key);
            }
        }
    }
    // Nothing was made by the failed opens.
    EXPECT_EQ((std::vector<std::string>{"SOFTWARE"}), Subkeys(HKEY_LOCAL_MACHINE));
    EXPECT_EQ((std::vector<std::string>{"Generic"}), [&] {
        HKEY software = nullptr;
        RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software", &software);
        auto names = Subkeys(software);
        RegCloseKey(software);
        return names;
    }());
    EXPECT_TRUE(Subkeys(HKEY_DYN_DATA).empty());
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software", nullptr));
}

TEST_F(Registry, CreateMakesWhatIsMissingAndKeepsTheFirstSpelling) {
    DWORD disposition = 0;
    HKEY a = Create(HKEY_LOCAL_MACHINE, "Enum\\Root\\Ports", &disposition);
    EXPECT_EQ(DWORD(REG_CREATED_NEW_KEY), disposition);
    HKEY b = Create(HKEY_LOCAL_MACHINE, "ENUM\\root\\PORTS\\", &disposition);
    EXPECT_EQ(DWORD(REG_OPENED_EXISTING_KEY), disposition);
    ASSERT_EQ(ERROR_SUCCESS, Set(a, "PortName", REG_SZ, Sz("LPT1")));
    Bytes data;
    ASSERT_EQ(ERROR_SUCCESS, Get(b, "portname", data)); // both handles name one key
    EXPECT_EQ(Sz("LPT1"), data);
    // Relative to an open key, and "" opens that key again.
    HKEY c = Create(b, "0000", &disposition);
    EXPECT_EQ(DWORD(REG_CREATED_NEW_KEY), disposition);
    HKEY d = Create(b, "", &disposition);
    EXPECT_EQ(DWORD(REG_OPENED_EXISTING_KEY), disposition);
    EXPECT_EQ((std::vector<std::string>{"0000"}), Subkeys(d));
    EXPECT_EQ((std::vector<std::string>{"Enum"}), Subkeys(HKEY_LOCAL_MACHINE));
    for (HKEY key : {a, b, c, d})
        EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

// ---- Enumeration ---------------------------------------------------------------------------

TEST_F(Registry, SubkeysEnumerateByUpperCasedNameValuesByCreation) {
    HKEY key = Create("Order");
    // Upper-cased, "_x" sorts after the letters and "a1" between "A" and "b"; a case-sensitive
    // order would put "C" and "_x" first.
    for (const char* name : {"b", "_x", "C", "a1", "A", "1"})
        RegCloseKey(Create(key, name));
    EXPECT_EQ((std::vector<std::string>{"1", "A", "a1", "b", "C", "_x"}), Subkeys(key));
    for (const char* name : {"zeta", "Alpha", "", "mid"})
        ASSERT_EQ(ERROR_SUCCESS, Set(key, name, REG_DWORD, Dword(7)));
    EXPECT_EQ((std::vector<std::string>{"zeta", "Alpha", "", "mid"}), ValueNames(key));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "ALPHA"));
    ASSERT_EQ(ERROR_SUCCESS, Set(key, "Alpha", REG_DWORD, Dword(8))); // a new value: at the end
    EXPECT_EQ((std::vector<std::string>{"zeta", "", "mid", "Alpha"}), ValueNames(key));
    RegCloseKey(key);
}

TEST_F(Registry, EnumKeyReportsAShortBufferAndLeavesItAlone) {
    HKEY key = Create("Config Manager\\Enum\\C29A4A30");
    HKEY parent = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, "Config Manager\\Enum", &parent));
    struct Case {
        DWORD index, size;
        LONG result;
        Bytes written;
    } cases[] = {
        {0, 9, ERROR_SUCCESS, Sz("C29A4A30")},
        {0, 8, ERROR_MORE_DATA, {}},
        {0, 0, ERROR_MORE_DATA, {}},
        {1, 64, ERROR_NO_MORE_ITEMS, {}},
    };
    for (size_t row = 0; row < std::size(cases); ++row) {
        SCOPED_TRACE("row " + std::to_string(row));
        std::array<char, 64> name;
        name.fill(static_cast<char>(kSentinel));
        EXPECT_EQ(cases[row].result,
                  RegEnumKeyA(parent, cases[row].index, name.data(), cases[row].size));
        Bytes expected = cases[row].written;
        expected.resize(name.size(), kSentinel);
        EXPECT_EQ(expected, Bytes(name.begin(), name.end()));
    }
    RegCloseKey(key);
    RegCloseKey(parent);
}

TEST_F(Registry, EnumValueReportsTheSizesNeeded) {
    HKEY key = Create("Values");
    ASSERT_EQ(ERROR_SUCCESS, Set(key, "Command", REG_BINARY, {0x11, 0x91, 0x30, 0xB0, 0x0D, 0x8D}));
    ASSERT_EQ(ERROR_SUCCESS, Set(key, "Bare", REG_SZ, B("xy")));
    constexpr int kNoData = -1;
    struct Case {
        DWORD index, nameSize;
        int dataSize; // or kNoData: no data buffer and no size
        LONG result;
        DWORD nameSizeAfter;
        DWORD dataSizeAfter;
        DWORD type;
        Bytes name, data; // written; the rest must be the sentinel
    } cases[] = {
        {0,
         8,
         6,
         ERROR_SUCCESS,
         7,
         6,
         REG_BINARY,
         Sz("Command"),
         {0x11, 0x91, 0x30, 0xB0, 0x0D, 0x8D}},
        {0, 7, 6, ERROR_MORE_DATA, 8, 6, REG_BINARY, {}, {}}, // name one byte short
        {0, 8, 5, ERROR_MORE_DATA, 8, 6, REG_BINARY, {}, {}}, // data one byte short
        {0, 8, kNoData, ERROR_SUCCESS, 7, 0, REG_BINARY, Sz("Command"), {}},
        {1, 8, 3, ERROR_SUCCESS, 4, 2, REG_SZ, Sz("Bare"), Sz("xy")},
        {1, 8, 2, ERROR_SUCCESS, 4, 2, REG_SZ, Sz("Bare"), B("xy")},
        {2, 8, 6, ERROR_NO_MORE_ITEMS, 8, 6, kTypeSentinel, {}, {}},
    };
    for (size_t row = 0; row < std::size(cases); ++row) {
        const Case& c = cases[row];
        SCOPED_TRACE("row " + std::to_string(row));
        std::array<char, 32> name;
        std::array<BYTE, 32> data;
        name.fill(static_cast<char>(kSentinel));
        data.fill(kSentinel);
        DWORD nameSize = c.nameSize, type = kTypeSentinel;
        DWORD dataSize = c.dataSize == kNoData ? 0 : static_cast<DWORD>(c.dataSize);
        EXPECT_EQ(c.result, RegEnumValueA(key, c.index, name.data(), &nameSize, nullptr, &type,
                                          c.dataSize == kNoData ? nullptr : data.data(),
                                          c.dataSize == kNoData ? nullptr : &dataSize));
        EXPECT_EQ(c.nameSizeAfter, nameSize);
        EXPECT_EQ(c.dataSizeAfter, dataSize);
        EXPECT_EQ(c.type, type);
        Bytes expectedName = c.name, expectedData = c.data;
        expectedName.resize(name.size(), kSentinel);
        expectedData.resize(data.size(), kSentinel);
        EXPECT_EQ(expectedName, Bytes(name.begin(), name.end()));
        EXPECT_EQ(expectedData, Bytes(data.begin(), data.end()));
    }
    RegCloseKey(key);
}

// ---- Deletion and handles ------------------------------------------------------------------

TEST_F(Registry, DeleteKeyTakesTheWholeTreeAndLeavesNeighbours) {
    HKEY leaf = Create("A\\B\\C\\D");
    ASSERT_EQ(ERROR_SUCCESS, Set(leaf, "v", REG_DWORD, Dword(1)));
    // Neighbours whose paths share the prefix "A\B": they sort just before and after the tree.
    for (const char* name : {"A\\BC", "A\\B]", "A\\B[", "A\\B0", "A\\Bz\\q"})
        RegCloseKey(Create(name));
    HKEY b = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, "A\\B", &b));
    ASSERT_EQ(ERROR_SUCCESS, Set(b, "w", REG_DWORD, Dword(2)));

    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "a\\b"));
    HKEY gone = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyA(HKEY_LOCAL_MACHINE, "A\\B", &gone));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyA(HKEY_LOCAL_MACHINE, "A\\B\\C\\D", &gone));
    HKEY a = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, "A", &a));
    EXPECT_EQ((std::vector<std::string>{"B0", "BC", "Bz", "B[", "B]"}), Subkeys(a));

    // The same name made again is another key: the old handles stay deleted.
    HKEY again = Create("A\\B\\C\\D");
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegQueryValueExA(again, "v", nullptr, nullptr, nullptr, nullptr));
    for (HKEY key : {leaf, b}) {
        HKEY sub = nullptr;
        DWORD size = 4;
        BYTE data[4];
        char name[16];
        DWORD nameSize = sizeof name;
        EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(key, "v", nullptr, nullptr, data, &size));
        EXPECT_EQ(ERROR_KEY_DELETED, Set(key, "v", REG_DWORD, Dword(3)));
        EXPECT_EQ(ERROR_KEY_DELETED, RegEnumKeyA(key, 0, name, sizeof name));
        EXPECT_EQ(ERROR_KEY_DELETED,
                  RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(ERROR_KEY_DELETED, RegOpenKeyA(key, "", &sub));
        EXPECT_EQ(ERROR_KEY_DELETED, RegOpenKeyA(key, "C", &sub));
        EXPECT_EQ(ERROR_KEY_DELETED, RegCreateKeyExA(key, "New", 0, nullptr, 0, KEY_ALL_ACCESS,
                                                     nullptr, &sub, nullptr));
        EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteValueA(key, "v"));
        EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteKeyA(key, "C"));
        EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    }
    RegCloseKey(again);
    RegCloseKey(a);
}

TEST_F(Registry, DeleteRefusesRootsAndMissingThings) {
    HKEY key = Create("Software");
    ASSERT_EQ(ERROR_SUCCESS, Set(key, nullptr, REG_SZ, Sz("d")));
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_DYN_DATA})
        EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(root, ""));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Hardware"));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyA(key, nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, "nothing"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, ""));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, nullptr));
    // "" names the key of the handle itself.
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, ""));
    EXPECT_TRUE(Subkeys(HKEY_LOCAL_MACHINE).empty());
    RegCloseKey(key);
}

TEST_F(Registry, HandlesAreCheckedEverywhere) {
    HKEY key = Create("Software");
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_LOCAL_MACHINE)); // a root stays usable
    EXPECT_EQ((std::vector<std::string>{"Software"}), Subkeys(HKEY_LOCAL_MACHINE));
    for (HKEY bad : {key, reinterpret_cast<HKEY>(0), HKEY_USERS}) {
        HKEY out = nullptr;
        char name[8];
        DWORD size = sizeof name;
        BYTE data[4] = {1, 2, 3, 4};
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyA(bad, "", &out));
        EXPECT_EQ(ERROR_INVALID_HANDLE,
                  RegCreateKeyExA(bad, "x", 0, nullptr, 0, 0, nullptr, &out, nullptr));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExA(bad, "v", nullptr, nullptr, data, &size));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegSetValueExA(bad, "v", 0, REG_BINARY, data, 4));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegEnumKeyA(bad, 0, name, sizeof name));
        EXPECT_EQ(ERROR_INVALID_HANDLE,
                  RegEnumValueA(bad, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteKeyA(bad, "x"));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteValueA(bad, "v"));
    }
}

// ---- The file ------------------------------------------------------------------------------

TEST_F(Registry, ReadsOfAnEmptyMachineCreateNothingAndTheFirstWriteDoes) {
    std::filesystem::path nested = root_.path() / "not" / "yet";
    setenv("SELVANE_ROOT", nested.c_str(), 1); // TempRoot restores and removes it
    HKEY key = nullptr;
    BYTE data[4];
    DWORD size = sizeof data;
    char name[8];
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS, &key));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegQueryValueExA(HKEY_LOCAL_MACHINE, "v", nullptr, nullptr, data, &size));
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(HKEY_DYN_DATA, 0, name, sizeof name));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(HKEY_LOCAL_MACHINE, "v"));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, "", &key));
    RegCloseKey(key);
    std::string problem = "x";
    EXPECT_EQ(ERROR_SUCCESS, Store::Instance().Check(problem));
    EXPECT_EQ("", problem);
    EXPECT_FALSE(std::filesystem::exists(root_.path() / "not"));

    key = Create("Software");
    EXPECT_TRUE(std::filesystem::exists(nested / "registry.db"));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, "software", &key));
    RegCloseKey(key);
}

TEST_F(Registry, FollowsTheMachineRootAndTheFileUnderIt) {
    RegCloseKey(Create("InFirst"));
    {
        TempRoot second;
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyA(HKEY_LOCAL_MACHINE, "InFirst", &key));
        RegCloseKey(Create("InSecond"));
    }
    EXPECT_EQ((std::vector<std::string>{"InFirst"}), Subkeys(HKEY_LOCAL_MACHINE));
    // The files taken away under an open connection: the next write goes to a new file, not
    // into the removed one.
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(Db() += suffix);
    RegCloseKey(Create("Again"));
    EXPECT_TRUE(std::filesystem::exists(Db()));
    EXPECT_EQ((std::vector<std::string>{"Again"}), Subkeys(HKEY_LOCAL_MACHINE));
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void MakeForeignDatabase(const std::filesystem::path& path) {
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db));
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(db,
                                      "CREATE TABLE keys(id INTEGER PRIMARY KEY, path TEXT);"
                                      "INSERT INTO keys(path) VALUES ('HKEY_LOCAL_MACHINE');",
                                      nullptr, nullptr, nullptr));
    sqlite3_close(db);
}

void MakeCorruptFile(const std::filesystem::path& path) {
    std::string bytes(8192, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 7919) >> 3);
    std::ofstream(path, std::ios::binary) << bytes;
}

// A registry of ours with its second page (the root of the keys table) overwritten.
void MakeDamagedRegistry(const std::filesystem::path& path) {
    std::string bytes;
    {
        TempRoot source;
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
        RegCloseKey(key);
        // Moving to the other root lets go of the source: its WAL goes into the file.
        setenv("SELVANE_ROOT", path.parent_path().c_str(), 1);
        std::string problem;
        ASSERT_EQ(ERROR_SUCCESS, Store::Instance().Check(problem));
        ASSERT_FALSE(std::filesystem::exists(source.path() / "registry.db-wal"));
        bytes = ReadFile(source.path() / "registry.db");
    }
    ASSERT_GT(bytes.size(), 8192u);
    for (size_t i = 4096; i < 8192; ++i)
        bytes[i] = static_cast<char>(0xA5);
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST_F(Registry, AFileThatIsNotOursIsReportedAndNeverWritten) {
    struct Kind {
        const char* name;
        void (*make)(const std::filesystem::path&);
    } kinds[] = {
        {"corrupt", MakeCorruptFile},
        {"foreign", MakeForeignDatabase},
        {"damaged", MakeDamagedRegistry},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        TempRoot root;
        std::filesystem::path db = root.path() / "registry.db";
        kind.make(db);
        std::string before = ReadFile(db);

        std::string problem;
        EXPECT_EQ(ERROR_BADDB, Store::Instance().Check(problem)) << problem;
        EXPECT_NE(std::string::npos, problem.find("registry.db")) << problem;
        EXPECT_EQ(std::string::npos, problem.find('\n')) << problem;

        HKEY key = nullptr;
        BYTE data[4] = {1, 2, 3, 4};
        DWORD size = sizeof data;
        char name[8];
        DWORD disposition = 0;
        std::vector<std::pair<const char*, LONG>> calls = {
            {"open", RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS, &key)},
            {"open root", RegOpenKeyA(HKEY_LOCAL_MACHINE, "", &key)},
            {"create", RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\New", 0, nullptr, 0,
                                       KEY_ALL_ACCESS, nullptr, &key, &disposition)},
            {"set", RegSetValueExA(HKEY_LOCAL_MACHINE, "v", 0, REG_BINARY, data, 4)},
            {"query", RegQueryValueExA(HKEY_LOCAL_MACHINE, "v", nullptr, nullptr, data, &size)},
            {"enum key", RegEnumKeyA(HKEY_LOCAL_MACHINE, 0, name, sizeof name)},
            {"delete key", RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software")},
            {"delete value", RegDeleteValueA(HKEY_LOCAL_MACHINE, "v")},
            {"transaction", Store::Instance().Transaction([] { return ERROR_SUCCESS; })},
        };
        for (auto [call, result] : calls)
            EXPECT_EQ(ERROR_BADDB, result) << call;
        EXPECT_EQ(before, ReadFile(db));
        // Reading a file whose header says WAL makes an empty WAL beside it; nothing more.
        std::filesystem::path wal = root.path() / "registry.db-wal";
        EXPECT_TRUE(!std::filesystem::exists(wal) || std::filesystem::file_size(wal) == 0);
    }
}

// ---- Transactions --------------------------------------------------------------------------

TEST_F(Registry, TransactionCommitsAllOrNothing) {
    HKEY key = Create("Import");
    Store& store = Store::Instance();
    auto body = [&](LONG result) {
        return [&, result]() -> LONG {
            EXPECT_EQ(ERROR_SUCCESS, Set(key, "a", REG_DWORD, Dword(1)));
            HKEY sub = Create(key, "Sub");
            EXPECT_EQ(ERROR_SUCCESS, Set(sub, "b", REG_DWORD, Dword(2)));
            RegCloseKey(sub);
            // Inside, the body sees its own changes.
            EXPECT_EQ((std::vector<std::string>{"Sub"}), Subkeys(key));
            // A nested transaction joins this one; its failure undoes only its own part.
            EXPECT_EQ(ERROR_BAD_FORMAT, store.Transaction([&] {
                EXPECT_EQ(ERROR_SUCCESS, Set(key, "nested", REG_DWORD, Dword(3)));
                return LONG(ERROR_BAD_FORMAT);
            }));
            EXPECT_EQ((std::vector<std::string>{"a"}), ValueNames(key));
            return result;
        };
    };
    EXPECT_EQ(ERROR_BAD_FORMAT, store.Transaction(body(ERROR_BAD_FORMAT)));
    EXPECT_TRUE(Subkeys(key).empty());
    EXPECT_TRUE(ValueNames(key).empty());
    EXPECT_EQ(ERROR_SUCCESS, store.Transaction(body(ERROR_SUCCESS)));
    EXPECT_EQ((std::vector<std::string>{"Sub"}), Subkeys(key));
    EXPECT_EQ((std::vector<std::string>{"a"}), ValueNames(key));
    RegCloseKey(key);
}

TEST_F(Registry, TransactionOnAnEmptyMachine) {
    Store& store = Store::Instance();
    // Reading only: no file.
    EXPECT_EQ(ERROR_SUCCESS, store.Transaction([&] { return LONG(ERROR_SUCCESS); }));
    EXPECT_FALSE(std::filesystem::exists(Db()));
    // A failed body that wrote leaves no key behind, whatever the file.
    EXPECT_EQ(ERROR_BAD_FORMAT, store.Transaction([&] {
        RegCloseKey(Create("Made"));
        return LONG(ERROR_BAD_FORMAT);
    }));
    EXPECT_TRUE(Subkeys(HKEY_LOCAL_MACHINE).empty());
    EXPECT_EQ(ERROR_SUCCESS, store.Transaction([&] {
        RegCloseKey(Create("Made"));
        return LONG(ERROR_SUCCESS);
    }));
    EXPECT_EQ((std::vector<std::string>{"Made"}), Subkeys(HKEY_LOCAL_MACHINE));

    // A nested body that fails, on a machine with no file yet: its writes go, the rest stays.
    TempRoot fresh;
    EXPECT_EQ(ERROR_SUCCESS, store.Transaction([&] {
        EXPECT_EQ(ERROR_BAD_FORMAT, store.Transaction([&] {
            RegCloseKey(Create("Nested"));
            return LONG(ERROR_BAD_FORMAT);
        }));
        RegCloseKey(Create("Kept"));
        return LONG(ERROR_SUCCESS);
    }));
    EXPECT_EQ((std::vector<std::string>{"Kept"}), Subkeys(HKEY_LOCAL_MACHINE));
}

TEST_F(Registry, AnotherThreadWaitsForTheTransactionAndKeepsItsWrite) {
    HKEY key = Create("Threads");
    std::atomic<bool> inside{false};
    std::thread other;
    EXPECT_EQ(ERROR_BAD_FORMAT, Store::Instance().Transaction([&] {
        EXPECT_EQ(ERROR_SUCCESS, Set(key, "rolled back", REG_DWORD, Dword(1)));
        other = std::thread([&] {
            inside = true;
            EXPECT_EQ(ERROR_SUCCESS, Set(key, "kept", REG_DWORD, Dword(2)));
        });
        while (!inside)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return LONG(ERROR_BAD_FORMAT);
    }));
    other.join();
    EXPECT_EQ((std::vector<std::string>{"kept"}), ValueNames(key));
    RegCloseKey(key);
}

} // namespace

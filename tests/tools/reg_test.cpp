#include "support/process.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using testing_support::RunResult;
using testing_support::Selvane;
using testing_support::TempRoot;

namespace {

const char kKey[] = "HKLM\\SOFTWARE\\Generic\\Selvane\\2.00";

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}
std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(Reg, SetGetEachType) {
    TempRoot root;
    struct Case {
        std::vector<std::string> set; // after KEY VALUE
        std::string shown;
    } cases[] = {
        {{"--sz", "Selvane 4-1"}, "Selvane 4-1"},
        {{"--sz", ""}, ""},
        {{"--dword", "4294967295"}, "4294967295"},
        {{"--dword", "0x10"}, "16"},
        {{"--hex", "11 91 30 b0 0d 8d"}, "11 91 30 B0 0D 8D"},
        {{"--hex", "11,91"}, "11 91"},
    };
    int row = 0;
    for (const auto& c : cases) {
        std::string name = "Value" + std::to_string(++row);
        std::vector<std::string> args{"reg", "set", kKey, name};
        args.insert(args.end(), c.set.begin(), c.set.end());
        auto set = Selvane(args);
        ASSERT_EQ(set.status, 0) << "row " << row << ": " << set.err;
        // Names are matched without regard to case.
        auto get = Selvane({"reg", "get", "hklm\\software\\GENERIC\\selvane\\2.00",
                            "VALUE" + std::to_string(row)});
        EXPECT_EQ(get.status, 0) << "row " << row;
        EXPECT_EQ(get.out, c.shown + "\n") << "row " << row;
    }
    auto defaultValue = Selvane({"reg", "set", kKey, "@", "--sz", "default"});
    ASSERT_EQ(defaultValue.status, 0);
    EXPECT_EQ(Selvane({"reg", "get", kKey, ""}).out, "default\n");
}

TEST(Reg, LsListsSubkeysThenValues) {
    TempRoot root;
    ASSERT_EQ(Selvane({"reg", "set", std::string(kKey) + "\\zeta", "x", "--dword", "1"}).status, 0);
    ASSERT_EQ(Selvane({"reg", "set", std::string(kKey) + "\\Alpha", "x", "--dword", "1"}).status,
              0);
    ASSERT_EQ(Selvane({"reg", "set", kKey, "Model Name", "--sz", "Selvane 2-1"}).status, 0);
    ASSERT_EQ(Selvane({"reg", "set", kKey, "LPTx", "--dword", "2"}).status, 0);
    ASSERT_EQ(Selvane({"reg", "set", kKey, "Command", "--hex", "11 91"}).status, 0);
    auto ls = Selvane({"reg", "ls", kKey});
    EXPECT_EQ(ls.status, 0);
    EXPECT_EQ(ls.out, "Alpha\\\nzeta\\\n"
                      "Model Name\tREG_SZ\tSelvane 2-1\n"
                      "LPTx\tREG_DWORD\t2\n"
                      "Command\tREG_BINARY\t11 91\n");
}

TEST(Reg, DelRemovesAValueOrAWholeKey) {
    TempRoot root;
    ASSERT_EQ(
        Selvane({"reg", "set", std::string(kKey) + "\\Sub\\Deeper", "x", "--dword", "1"}).status,
        0);
    ASSERT_EQ(Selvane({"reg", "set", kKey, "Keep", "--dword", "1"}).status, 0);
    ASSERT_EQ(Selvane({"reg", "set", kKey, "Drop", "--dword", "1"}).status, 0);
    EXPECT_EQ(Selvane({"reg", "del", kKey, "Drop"}).status, 0);
    EXPECT_EQ(Selvane({"reg", "get", kKey, "Drop"}).status, 1);
    EXPECT_EQ(Selvane({"reg", "del", kKey, "Drop"}).status, 1);
    EXPECT_EQ(Selvane({"reg", "del", std::string(kKey) + "\\Sub"}).status, 0);
    EXPECT_EQ(Selvane({"reg", "ls", std::string(kKey) + "\\Sub\\Deeper"}).status, 1);
    EXPECT_EQ(Selvane({"reg", "get", kKey, "Keep"}).out, "1\n");
}

TEST(Reg, ExportThenImportRestoresTheKey) {
    TempRoot root;
    const std::string sub = std::string(kKey) + "\\Odd \"names\"";
    ASSERT_EQ(
        Selvane({"reg", "set", kKey, "Path", "--sz", "C:\\Program Files\\\"Selvane\""}).status, 0);
    ASSERT_EQ(Selvane({"reg", "set", kKey, "LPTx", "--dword", "1"}).status, 0);
    std::string many;
    for (int i = 0; i < 60; ++i)
        many += (i ? " " : "") + std::to_string(10 + i);
    ASSERT_EQ(Selvane({"reg", "set", kKey, "Long", "--hex", many}).status, 0);
    ASSERT_EQ(Selvane({"reg", "set", sub, "@", "--sz", "inner"}).status, 0);

    auto exported = Selvane({"reg", "export", kKey});
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(exported.out.rfind(
                  "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Generic\\Selvane\\2.00]\r\n", 0),
              0u)
        << exported.out;
    EXPECT_NE(exported.out.find("\"Path\"=\"C:\\\\Program Files\\\\\\\"Selvane\\\"\"\r\n"),
              std::string::npos);
    EXPECT_NE(exported.out.find("\"LPTx\"=dword:00000001\r\n"), std::string::npos);
    EXPECT_NE(exported.out.find(",\\\r\n  "), std::string::npos); // a long hex list goes on
    auto file = root.path() / "saved.reg";
    WriteFile(file, exported.out);

    ASSERT_EQ(Selvane({"reg", "del", kKey}).status, 0);
    auto imported = Selvane({"reg", "import", file.string()});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(Selvane({"reg", "export", kKey}).out, exported.out);
    EXPECT_EQ(Selvane({"reg", "get", sub, "@"}).out, "inner\n");
}

TEST(Reg, ImportDeletesKeysAndValues) {
    TempRoot root;
    ASSERT_EQ(Selvane({"reg", "set", std::string(kKey) + "\\Old", "x", "--dword", "1"}).status, 0);
    ASSERT_EQ(Selvane({"reg", "set", kKey, "Gone", "--dword", "1"}).status, 0);
    auto file = root.path() / "change.reg";
    WriteFile(
        file,
        "REGEDIT4\n\n; a comment\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Generic\\Selvane\\2.00\\Old]\n\n"
        "[HKLM\\SOFTWARE\\Generic\\Selvane\\2.00]\n\"Gone\"=-\n\"New\"=hex(7):41,00,\\\n  00\n");
    auto imported = Selvane({"reg", "import", file.string()});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(Selvane({"reg", "ls", kKey}).out, "New\tREG_MULTI_SZ\t41 00 00\n");
}

TEST(Reg, AMalformedImportNamesTheLineAndChangesNothing) {
    TempRoot root;
    ASSERT_EQ(Selvane({"reg", "set", kKey, "Keep", "--dword", "7"}).status, 0);
    const std::string before = Selvane({"reg", "export", "HKLM"}).out;
    struct Case {
        const char* text;
        const char* line;
    } cases[] = {
        {"REGEDIT4\n\n[HKLM\\New]\n\"A\"=dword:1\n\"B\"=dword:xyz\n", "line 5"},
        {"REGEDIT4\n\"A\"=\"x\"\n", "line 2"},
        {"REGEDIT4\n[HKEY_NOWHERE\\X]\n", "line 2"},
        {"REGEDIT4\n[HKLM\\X]\n\"A\"=hex:1,zz\n", "line 3"},
        {"REGEDIT4\n[HKLM\\X]\n\"A\"=\"unterminated\n", "line 3"},
        {"REGEDIT4\n[HKLM\\X]\n\"Keep\"=dword:123456789\n", "line 3"},
        {"Windows Registry Editor\n", "line 1"},
    };
    for (const auto& c : cases) {
        auto file = root.path() / "bad.reg";
        WriteFile(file, c.text);
        auto result = Selvane({"reg", "import", file.string()});
        EXPECT_EQ(result.status, 1) << c.text;
        EXPECT_NE(result.err.find(c.line), std::string::npos) << c.text << " -> " << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_EQ(Selvane({"reg", "export", "HKLM"}).out, before) << c.text;
    }
}

TEST(Reg, BadInputIsAnsweredWithOneLineAndChangesNothing) {
    TempRoot root;
    ASSERT_EQ(Selvane({"reg", "set", kKey, "Keep", "--dword", "7"}).status, 0);
    struct Case {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"reg", "get", "HKEY_NOWHERE\\X", "v"}, 2},
        {{"reg", "set", "HKXX\\X", "v", "--dword", "1"}, 2},
        {{"reg", "set", kKey, "Keep", "--dword", "12x"}, 2},
        {{"reg", "set", kKey, "Keep", "--dword", "-1"}, 2},
        {{"reg", "set", kKey, "Keep", "--dword", "4294967296"}, 2},
        {{"reg", "set", kKey, "Keep", "--hex", "1 2 345"}, 2},
        {{"reg", "set", kKey, "Keep", "--hex", "zz"}, 2},
        {{"reg", "set", kKey, "Keep"}, 2},
        {{"reg", "get", kKey, "Missing"}, 1},
        {{"reg", "get", "HKLM\\No\\Such\\Key", "v"}, 1},
        {{"reg", "frobnicate"}, 2},
        {{"reg", "import", "/nonexistent/file.reg"}, 1},
    };
    for (const auto& c : cases) {
        auto result = Selvane(c.args);
        EXPECT_EQ(result.status, c.status) << c.args[1] << " " << c.args.back();
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    EXPECT_EQ(Selvane({"reg", "get", kKey, "Keep"}).out, "7\n");
}

TEST(Reg, ReadingAMachineThatDoesNotExistFails) {
    TempRoot root;
    auto missing = (root.path() / "nowhere").string();
    for (std::vector<std::string> args : {std::vector<std::string>{"reg", "get", kKey, "x"},
                                          {"reg", "ls", "HKLM"},
                                          {"reg", "export", "HKLM"},
                                          {"box", "status"},
                                          {"box", "log"}}) {
        std::vector<std::string> all{"--root", missing};
        all.insert(all.end(), args.begin(), args.end());
        auto result = Selvane(all);
        EXPECT_EQ(result.status, 1) << args[0] << " " << args[1];
        EXPECT_NE(result.err.find("does not exist"), std::string::npos) << result.err;
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(Reg, ACorruptOrForeignRegistryIsReportedNeverOverwritten) {
    TempRoot root;
    const auto db = root.path() / "registry.db";
    const std::string corrupt(4096, 'Z');
    WriteFile(db, corrupt);
    for (std::vector<std::string> args : {std::vector<std::string>{"reg", "get", kKey, "x"},
                                          {"reg", "set", kKey, "x", "--dword", "1"},
                                          {"setup"}}) {
        auto result = Selvane(args);
        EXPECT_EQ(result.status, 1) << args[0] << " " << args[1];
        EXPECT_NE(result.err.find("registry.db"), std::string::npos) << result.err;
        EXPECT_EQ(ReadFile(db), corrupt);
    }
}

} // namespace

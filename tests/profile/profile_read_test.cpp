// Reading win.ini: GetProfileStringA and GetProfileSectionA over one hand-written file, each case a
// numbered row. Every call gets a buffer filled with a sentinel well past `size`, so a row checks
// the exact bytes written and that nothing else was touched.
#include "profile_files.h"
#include "support/temp_root.h"
#include "win32/profile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;
using profile_test::kSentinel;

namespace {

// Blanks around names and values, a comment, a line without "=", quotes of both kinds, an empty
// section, and a second [windows] that must not be read.
const std::string kFixture = "; profile read cases\r\n"
                             "[windows]\r\n"
                             "device=HP LaserJet 4,HPPCL5MS,LPT1:\r\n"
                             "  Load =  \r\n"
                             "\r\n"
                             "[ Devices ]\r\n"
                             "HP LaserJet 4=HPPCL5MS,LPT1:\r\n"
                             "\tEpson FX-80 = EPSON9,LPT2:  \r\n"
                             "; a comment in the section\r\n"
                             "orphan line\r\n"
                             "\r\n"
                             "[quotes]\r\n"
                             "double=\"  spaced  \"\r\n"
                             "single='x'\r\n"
                             "mixed=\"x'\r\n"
                             "lone=\"\r\n"
                             "inner=a \"b\" c\r\n"
                             "[empty]\r\n"
                             "[WINDOWS]\r\n"
                             "device=second copy\r\n";

const std::string kPrinter = "HP LaserJet 4,HPPCL5MS,LPT1:"; // 28 characters

// Calls `call` with a sentinel-filled buffer of `size` (and room behind it), then checks that it
// returned `result`, wrote exactly `expected`, and left every other byte alone.
template <class Call>
void ExpectFilled(int row, DWORD size, const std::string& expected, DWORD result, Call call) {
    SCOPED_TRACE("row " + std::to_string(row));
    ASSERT_LE(expected.size(), size) << "a row may not expect bytes past its size";
    std::vector<char> buffer(size + 16, kSentinel);
    DWORD got = call(buffer.data(), size);
    EXPECT_EQ(got, result);
    EXPECT_EQ(std::string(buffer.data(), expected.size()), expected);
    for (size_t i = expected.size(); i < buffer.size(); ++i)
        EXPECT_EQ(buffer[i], kSentinel) << "byte " << i << " written";
}

struct StringCase {
    int row;
    const char* section;
    const char* key;
    const char* defaultValue;
    DWORD size;
    std::string expected; // bytes written, terminators included
    DWORD result;
};

const StringCase kStringCases[] = {
    // one value
    {1, "windows", "device", "def", 64, kPrinter + '\0', 28},
    {2, "WINDOWS", "DEVICE", "def", 64, kPrinter + '\0', 28},
    {3, " windows\t", "\tdevice ", "def", 64, kPrinter + '\0', 28},
    {4, "windows", "load", "def", 64, "\0"s, 0},
    {5, "devices", "epson fx-80", "def", 64, "EPSON9,LPT2:\0"s, 12},
    {6, "devices", "orphan line", "def", 64, "def\0"s, 3},
    {7, "quotes", "double", "def", 64, "  spaced  \0"s, 10},
    {8, "quotes", "single", "def", 64, "x\0"s, 1},
    {9, "quotes", "mixed", "def", 64, "\"x'\0"s, 3},
    {10, "quotes", "lone", "def", 64, "\"\0"s, 1},
    {11, "quotes", "inner", "def", 64, "a \"b\" c\0"s, 7},
    // the default
    {12, "windows", "missing", "def \t ", 64, "def\0"s, 3},
    {13, "windows", "missing", nullptr, 64, "\0"s, 0},
    {14, "missing", "device", "  keep  lead", 64, "  keep  lead\0"s, 12},
    {15, "empty", "device", "def", 64, "def\0"s, 3},
    // lists: section names, key names
    {16, nullptr, "ignored", "def", 64, "windows\0Devices\0quotes\0empty\0\0"s, 29},
    {17, "devices", nullptr, "def", 64, "HP LaserJet 4\0Epson FX-80\0orphan line\0\0"s, 38},
    {18, "empty", nullptr, "def", 64, "\0\0"s, 0},
    {19, "missing", nullptr, "def", 64, "\0\0"s, 0},
    // one value, buffer too small: cut to size - 1
    {20, "windows", "device", "def", 29, kPrinter + '\0', 28},
    {21, "windows", "device", "def", 28, kPrinter.substr(0, 27) + '\0', 27},
    {22, "windows", "device", "def", 5, "HP L\0"s, 4},
    {23, "windows", "device", "def", 1, "\0"s, 0},
    {24, "windows", "device", "def", 0, ""s, 0},
    {25, "missing", "device", "default", 4, "def\0"s, 3},
    // lists, buffer too small: cut, the last two bytes zero, size - 2
    {26, nullptr, nullptr, nullptr, 30, "windows\0Devices\0quotes\0empty\0\0"s, 29},
    {27, nullptr, nullptr, nullptr, 29, "windows\0Devices\0quotes\0empt\0\0"s, 27},
    {28, nullptr, nullptr, nullptr, 10, "windows\0\0\0"s, 8},
    {29, nullptr, nullptr, nullptr, 12, "windows\0De\0\0"s, 10},
    {30, nullptr, nullptr, nullptr, 2, "\0\0"s, 0},
    {31, nullptr, nullptr, nullptr, 1, "\0"s, 0},
    {32, nullptr, nullptr, nullptr, 0, ""s, 0},
    {33, "devices", nullptr, nullptr, 16, "HP LaserJet 4\0\0\0"s, 14},
    {34, "missing", nullptr, nullptr, 1, "\0"s, 0},
};

TEST(ProfileRead, GetProfileStringA) {
    testing_support::TempRoot root;
    profile_test::PutWinIni(kFixture);
    for (const StringCase& c : kStringCases)
        ExpectFilled(c.row, c.size, c.expected, c.result, [&](LPSTR buffer, DWORD size) {
            return GetProfileStringA(c.section, c.key, c.defaultValue, buffer, size);
        });
}

struct SectionCase {
    int row;
    const char* section;
    DWORD size;
    std::string expected;
    DWORD result;
};

const std::string kDevices = "HP LaserJet 4=HPPCL5MS,LPT1:\0"s // 29
                             "Epson FX-80=EPSON9,LPT2:\0"s     // 25
                             "orphan line\0"s;                 // 12

const SectionCase kSectionCases[] = {
    {1, "devices", 256, kDevices + '\0', 66},
    {2, "Windows", 256, "device=HP LaserJet 4,HPPCL5MS,LPT1:\0Load=\0\0"s, 42},
    {3, "quotes", 256,
     "double=\"  spaced  \"\0single='x'\0mixed=\"x'\0lone=\"\0inner=a \"b\" c\0\0"s, 62},
    {4, "empty", 256, "\0\0"s, 0},
    {5, "missing", 256, "\0\0"s, 0},
    {6, " devices ", 67, kDevices + '\0', 66},
    // too small: cut, the last two bytes zero, size - 2
    {7, "devices", 66, kDevices.substr(0, 64) + "\0\0"s, 64},
    {8, "devices", 31, kDevices.substr(0, 29) + "\0\0"s, 29},
    {9, "devices", 10, "HP Laser\0\0"s, 8},
    {10, "devices", 2, "\0\0"s, 0},
    {11, "devices", 1, "\0"s, 0},
    {12, "devices", 0, ""s, 0},
    {13, "missing", 1, "\0"s, 0},
};

TEST(ProfileRead, GetProfileSectionA) {
    testing_support::TempRoot root;
    profile_test::PutWinIni(kFixture);
    for (const SectionCase& c : kSectionCases)
        ExpectFilled(c.row, c.size, c.expected, c.result, [&](LPSTR buffer, DWORD size) {
            return GetProfileSectionA(c.section, buffer, size);
        });
}

// A program's view follows the file as a person edits it, and follows the machine root.
TEST(ProfileRead, ReadsTheFileAfreshOnEveryCall) {
    testing_support::TempRoot root;
    char buffer[32];
    EXPECT_EQ(GetProfileStringA("windows", "device", "none", buffer, sizeof buffer), 4u);
    EXPECT_STREQ(buffer, "none");

    profile_test::PutWinIni("[windows]\ndevice=first\n"s);
    EXPECT_EQ(GetProfileStringA("windows", "device", "none", buffer, sizeof buffer), 5u);
    EXPECT_STREQ(buffer, "first");

    profile_test::PutWinIni("[windows]\ndevice=second\n"s);
    EXPECT_EQ(GetProfileStringA("windows", "device", "none", buffer, sizeof buffer), 6u);
    EXPECT_STREQ(buffer, "second");

    testing_support::TempRoot other;
    EXPECT_EQ(GetProfileStringA("windows", "device", "none", buffer, sizeof buffer), 4u);
    EXPECT_STREQ(buffer, "none");
}

// An editor that saves UTF-8 with its marker must not hide the first section.
TEST(ProfileRead, MarkerBeforeTheFirstHeader) {
    testing_support::TempRoot root;
    profile_test::PutWinIni("\xEF\xBB\xBF[windows]\r\ndevice=x\r\n"s);
    char buffer[16];
    EXPECT_EQ(GetProfileStringA("windows", "device", "", buffer, sizeof buffer), 1u);
    EXPECT_STREQ(buffer, "x");
}

} // namespace

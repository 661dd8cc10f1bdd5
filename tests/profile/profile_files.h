// What the profile tests share: win.ini of the test's machine root, read and written by hand.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace profile_test {

// The byte the tests fill output buffers with: any byte of it still there was left untouched.
inline constexpr char kSentinel = '\xAB';

std::filesystem::path WinIni();
// The file's bytes, or nullopt when there is no file.
std::optional<std::string> ReadWinIni();
// Puts exactly these bytes in win.ini; nullopt removes the file.
void PutWinIni(const std::optional<std::string>& text);

} // namespace profile_test

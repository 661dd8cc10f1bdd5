// How the layer reads Windows command lines and paths, shared by CreateProcessA and the shell.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A Windows path as a path of this machine: backslashes become slashes.
std::string WindowsPathToLocal(std::string_view path);

// Splits a command line into the program (an existing file, see process.cpp) and its
// arguments; false when no prefix of the line names a program.
bool ParseCommandLine(std::string_view line, std::vector<std::string>& argv);

} // namespace platform

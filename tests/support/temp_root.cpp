#include "support/temp_root.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace testing_support {

TempRoot::TempRoot() {
    std::string pattern = (std::filesystem::temp_directory_path() / "selvane-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    if (const char* old = std::getenv("SELVANE_ROOT")) {
        hadRoot_ = true;
        savedRoot_ = old;
    }
    setenv("SELVANE_ROOT", path_.c_str(), 1);
}

TempRoot::~TempRoot() {
    if (hadRoot_)
        setenv("SELVANE_ROOT", savedRoot_.c_str(), 1);
    else
        unsetenv("SELVANE_ROOT");
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

} // namespace testing_support

// A fresh machine root for one test: a temporary folder that SELVANE_ROOT points at while the
// object lives, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

private:
    std::filesystem::path path_;
    std::string savedRoot_;
    bool hadRoot_ = false;
};

} // namespace testing_support

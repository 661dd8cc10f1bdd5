// What every subcommand of `selvane` shares: its arguments, and the two ways it fails. A Usage
// error (bad words on the command line) exits 2, a Failure (the work could not be done) exits 1;
// both print one line on standard error.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace selvane {

struct Usage : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The words after the subcommand's name, read from left to right.
class Args {
public:
    explicit Args(std::vector<std::string> words) : words_(std::move(words)) {}

    bool empty() const { return next_ >= words_.size(); }
    size_t left() const { return words_.size() - next_; }
    const std::string& peek() const { return words_.at(next_); }
    // The next word; a Usage error naming `what` when there is none.
    std::string take(const std::string& what);
    // True (and consumed) when the next word is `flag`.
    bool takeFlag(const std::string& flag);
    // The value after `option` when the next word is that option.
    bool takeOption(const std::string& option, std::string& value);
    // A Usage error when words are left over.
    void done() const;

private:
    std::vector<std::string> words_;
    size_t next_ = 0;
};

// True when the words ask for help (--help or -h anywhere).
bool WantsHelp(const std::vector<std::string>& words);

// The machine root must exist for a command that only reads.
void RequireRoot();

// The folder that holds this program (and the other programs and modules of the build).
std::string ProgramFolder();

std::string HexBytes(const unsigned char* data, size_t size); // "11 91 30"

int Setup(Args& args);
int Reg(Args& args);
int Box(Args& args);
int Switch(Args& args);
int Spool(Args& args);
int Win(Args& args);

} // namespace selvane

// win.ini on disk.
//
// Readers take no lock: a writer never changes the file in place but writes the new text to a
// temporary file beside it and renames that over win.ini, so a reader sees the old file or the
// new one, never half of one. Writers serialise on an flock of run/win.ini.lock, held from before
// they read the file until after the rename, so two processes changing different keys at once
// both keep their change (the second reads what the first wrote).
#include "profile/win_ini.h"

#include "kernel/machine_root.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace platform::profile {

namespace fs = std::filesystem;

namespace {

// An open descriptor, closed with the object.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { SysClose(fd_); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

int ErrorOf(const std::error_code& code) {
    return code.value() ? code.value() : EIO;
}

// win.ini itself, or, when a person made it a link to a file elsewhere, that file: the rename
// must replace the file the link points to, not the link.
fs::path ResolveLinks(fs::path path) {
    std::error_code ignored;
    for (int hops = 0; hops < 16 && fs::is_symlink(fs::symlink_status(path, ignored)); ++hops) {
        std::error_code error;
        fs::path to = fs::read_symlink(path, error);
        if (error) break;
        path = to.is_absolute() ? to : path.parent_path() / to;
    }
    return path;
}

SysResult<std::string> ReadWhole(const fs::path& path) {
    SysResult<int> opened = SysOpen(path.string(), O_RDONLY);
    if (!opened) return {{}, opened.error};
    Descriptor fd(opened.value);
    std::string text;
    char chunk[16384];
    for (;;) {
        SysResult<size_t> got = SysReadAll(fd.get(), chunk, sizeof chunk);
        if (!got) return {{}, got.error};
        text.append(chunk, got.value);
        if (got.value < sizeof chunk) return {std::move(text), 0};
    }
}

// Writes text to a new file in target's folder and renames it over target. mode is the
// permission bits to give it (those of the file it replaces), or -1 for a new file's defaults.
int ReplaceFile(const fs::path& target, const std::string& text, int mode) {
    fs::path temporary = target.parent_path() / ("." + target.filename().string() + "." +
                                                 std::to_string(::getpid()) + ".tmp");
    // We hold the lock, so a file of that name can only be left over from a writer that died.
    ::unlink(temporary.c_str());
    SysResult<int> opened = SysOpen(temporary.string(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (!opened) return opened.error;
    int error = 0;
    {
        Descriptor fd(opened.value);
        if (mode >= 0 && ::fchmod(fd.get(), static_cast<mode_t>(mode)) != 0) error = errno;
        if (!error) error = SysWriteAll(fd.get(), text.data(), text.size()).error;
        // Flushed before the rename, so a crash cannot leave an empty win.ini behind.
        if (!error && ::fsync(fd.get()) != 0) error = errno;
    }
    if (!error && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    if (error) ::unlink(temporary.c_str());
    return error;
}

} // namespace

fs::path WinIniPath() {
    return MachineRoot() / "win.ini";
}

SysResult<std::string> ReadWinIni() {
    return ReadWhole(WinIniPath());
}

SysResult<bool> UpdateWinIni(const std::function<bool(IniFile&)>& edit) {
    const fs::path root = MachineRoot();
    std::error_code created;
    fs::create_directories(root / "run", created);
    if (created) return {false, ErrorOf(created)};

    SysResult<int> opened =
        SysOpen((root / "run" / "win.ini.lock").string(), O_RDWR | O_CREAT, 0666);
    if (!opened) return {false, opened.error};
    Descriptor lock(opened.value); // closing it releases the lock
    while (::flock(lock.get(), LOCK_EX) != 0)
        if (errno != EINTR) return {false, errno};

    const fs::path target = ResolveLinks(root / "win.ini");
    struct stat status {};
    const bool exists = ::stat(target.c_str(), &status) == 0;
    if (!exists && errno != ENOENT) return {false, errno};
    std::string text;
    if (exists) {
        SysResult<std::string> read = ReadWhole(target);
        if (!read) return {false, read.error};
        text = std::move(read.value);
    }

    IniFile file = IniFile::Parse(text);
    if (!edit(file)) return {false, 0};

    // The rename would get past a read-only win.ini; Windows refuses to write one, and so do we.
    // Write permission for nobody is the read-only attribute (it stops even root).
    if (exists && ((status.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0))
        return {false, EACCES};
    int error = ReplaceFile(target, file.Text(), exists ? int(status.st_mode & 07777) : -1);
    return {error == 0, error};
}

} // namespace platform::profile

// The station's wire format between processes: a request or a reply is a 4-byte length and that
// many bytes, built and read field by field.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace station {

enum class Op : uint32_t {
    Send = 1,     // a message that waits for the window procedure's result
    Post = 2,     // a message for the window's queue
    Automate = 3, // a person's action or a reading of the window model (`selvane win`)
};

// How the text behind a message's pointer travels.
enum class Marshal : uint32_t {
    None = 0,
    TextIn = 1,  // lParam points to a text the receiver reads (WM_SETTEXT, WM_WININICHANGE)
    TextOut = 2, // lParam points to a buffer of wParam bytes the receiver fills (WM_GETTEXT)
};

class Writer {
public:
    Writer& u32(uint32_t v) { return raw(&v, sizeof v); }
    Writer& u64(uint64_t v) { return raw(&v, sizeof v); }
    Writer& str(std::string_view s) {
        u32(static_cast<uint32_t>(s.size()));
        return raw(s.data(), s.size());
    }
    // The frame: length, then the fields.
    std::string frame() const {
        uint32_t length = static_cast<uint32_t>(bytes_.size());
        std::string out(reinterpret_cast<const char*>(&length), sizeof length);
        return out + bytes_;
    }

private:
    Writer& raw(const void* p, size_t n) {
        bytes_.append(static_cast<const char*>(p), n);
        return *this;
    }
    std::string bytes_;
};

class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    bool ok() const { return ok_; }
    uint32_t u32() { return fixed<uint32_t>(); }
    uint64_t u64() { return fixed<uint64_t>(); }
    std::string str() {
        uint32_t n = u32();
        if (!ok_ || n > bytes_.size() - at_) {
            ok_ = false;
            return {};
        }
        std::string s = bytes_.substr(at_, n);
        at_ += n;
        return s;
    }

private:
    template <class T> T fixed() {
        T v{};
        if (bytes_.size() - at_ < sizeof v) {
            ok_ = false;
            return v;
        }
        std::memcpy(&v, bytes_.data() + at_, sizeof v);
        at_ += sizeof v;
        return v;
    }
    std::string bytes_;
    size_t at_ = 0;
    bool ok_ = true;
};

// Sends a frame; reads one with a time-out in milliseconds (0: wait as long as it takes).
bool SendFrame(int fd, const std::string& frame);
bool ReceiveFrame(int fd, std::string& payload, int timeoutMs);

// Connects to the station socket of a process; -1 when it does not answer.
int Connect(int pid);

} // namespace station

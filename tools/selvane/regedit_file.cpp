#include "regedit_file.h"

#include "cli.h"

#include <cstdio>

namespace selvane {

namespace {

[[noreturn]] void Bad(size_t line, const std::string& what) {
    throw Failure("line " + std::to_string(line) + ": " + what);
}

// Reads a quoted string starting at text[at] == '"'; leaves `at` after the closing quote.
bool ReadQuoted(const std::string& text, size_t& at, std::string& out) {
    if (at >= text.size() || text[at] != '"') return false;
    out.clear();
    for (++at; at < text.size(); ++at) {
        char c = text[at];
        if (c == '"') {
            ++at;
            return true;
        }
        if (c == '\\') {
            if (++at >= text.size()) return false;
            c = text[at];
            if (c != '\\' && c != '"') return false;
        }
        out += c;
    }
    return false;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ParseHexList(const std::string& text, std::vector<BYTE>& out) {
    out.clear();
    size_t at = 0;
    auto skip = [&] {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
            ++at;
    };
    skip();
    if (at == text.size()) return true; // hex: with no bytes is an empty value
    for (;;) {
        skip();
        int high = at < text.size() ? HexDigit(text[at]) : -1;
        int low = at + 1 < text.size() ? HexDigit(text[at + 1]) : -1;
        if (high < 0 || low < 0) return false;
        out.push_back(static_cast<BYTE>(high * 16 + low));
        at += 2;
        skip();
        if (at == text.size()) return true;
        if (text[at] != ',') return false;
        ++at;
    }
}

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

// The file's logical lines: line endings removed, a line ending in "\" joined with the next.
struct Line {
    size_t number;
    std::string text;
};

std::vector<Line> LogicalLines(const std::string& text) {
    std::vector<Line> lines;
    size_t number = 0, at = 0;
    bool joining = false;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string raw = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        ++number;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        std::string piece = joining ? Trim(raw) : raw;
        std::string trimmed = Trim(piece);
        bool continues =
            !trimmed.empty() && trimmed.back() == '\\' && trimmed[0] != ';' && trimmed[0] != '[';
        if (continues) {
            piece = trimmed;
            piece.pop_back();
        }
        if (joining)
            lines.back().text += piece;
        else
            lines.push_back({number, piece});
        joining = continues;
    }
    return lines;
}

} // namespace

std::vector<RegOperation> ParseRegedit(const std::string& text) {
    std::vector<Line> lines = LogicalLines(text);
    std::vector<RegOperation> operations;
    size_t first = 0;
    while (first < lines.size() && Trim(lines[first].text).empty())
        ++first;
    std::string header = first < lines.size() ? Trim(lines[first].text) : "";
    if (header.size() >= 3 && static_cast<unsigned char>(header[0]) == 0xEF) header.erase(0, 3);
    if (header != "REGEDIT4")
        Bad(first < lines.size() ? lines[first].number : 1, "not a REGEDIT4 file");
    bool haveKey = false;
    KeyName current;
    for (size_t i = first + 1; i < lines.size(); ++i) {
        const size_t number = lines[i].number;
        std::string line = Trim(lines[i].text);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.back() != ']') Bad(number, "a key line must end in ]");
            std::string name = line.substr(1, line.size() - 2);
            bool remove = !name.empty() && name[0] == '-';
            if (remove) name.erase(0, 1);
            KeyName key;
            if (!ParseKeyName(name, key)) Bad(number, "unknown key root in [" + name + "]");
            if (remove) {
                if (key.path.empty()) Bad(number, "a root key cannot be deleted");
                operations.push_back({RegOperation::DeleteKey, key, "", REG_NONE, {}});
                haveKey = false;
            } else {
                operations.push_back({RegOperation::CreateKey, key, "", REG_NONE, {}});
                current = key;
                haveKey = true;
            }
            continue;
        }
        if (!haveKey) Bad(number, "a value outside of a key");
        size_t at = 0;
        std::string name;
        if (line[0] == '@') {
            at = 1;
        } else if (!ReadQuoted(line, at, name)) {
            Bad(number, "a value name must be quoted, or @");
        }
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        if (at >= line.size() || line[at] != '=') Bad(number, "missing = after the value name");
        std::string data = Trim(line.substr(at + 1));
        RegOperation op{RegOperation::SetValue, current, name, REG_SZ, {}};
        if (data == "-") {
            op.kind = RegOperation::DeleteValue;
        } else if (!data.empty() && data[0] == '"') {
            size_t pos = 0;
            std::string value;
            if (!ReadQuoted(data, pos, value) || pos != data.size())
                Bad(number, "malformed text value");
            op.data.assign(value.begin(), value.end());
            op.data.push_back(0);
        } else if (data.compare(0, 6, "dword:") == 0) {
            std::string digits = data.substr(6);
            if (digits.empty() || digits.size() > 8) Bad(number, "malformed dword value");
            DWORD value = 0;
            for (char c : digits) {
                int d = HexDigit(c);
                if (d < 0) Bad(number, "malformed dword value");
                value = value * 16 + static_cast<DWORD>(d);
            }
            op.type = REG_DWORD;
            for (int b = 0; b < 4; ++b)
                op.data.push_back(static_cast<BYTE>(value >> (8 * b)));
        } else if (data.compare(0, 3, "hex") == 0) {
            size_t colon = data.find(':');
            if (colon == std::string::npos) Bad(number, "malformed hex value");
            std::string kind = data.substr(3, colon - 3);
            op.type = REG_BINARY;
            if (!kind.empty()) {
                if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')')
                    Bad(number, "malformed hex type");
                DWORD type = 0;
                for (size_t k = 1; k + 1 < kind.size(); ++k) {
                    int d = HexDigit(kind[k]);
                    if (d < 0 || k > 8) Bad(number, "malformed hex type");
                    type = type * 16 + static_cast<DWORD>(d);
                }
                op.type = type;
            }
            if (!ParseHexList(data.substr(colon + 1), op.data)) Bad(number, "malformed hex bytes");
        } else {
            Bad(number, "unknown value format");
        }
        operations.push_back(std::move(op));
    }
    return operations;
}

std::string FormatRegeditValue(const std::string& name, DWORD type, const std::vector<BYTE>& data) {
    std::string line;
    auto quote = [](const std::string& text) {
        std::string out = "\"";
        for (char c : text) {
            if (c == '\\' || c == '"') out += '\\';
            out += c;
        }
        return out + "\"";
    };
    line = name.empty() ? "@" : quote(name);
    line += "=";
    // Text with exactly one terminator at its end reads back as it was; anything else goes as hex.
    bool plainText = type == REG_SZ && !data.empty() && data.back() == 0;
    for (size_t i = 0; plainText && i + 1 < data.size(); ++i)
        if (data[i] == 0 || data[i] == '\r' || data[i] == '\n') plainText = false;
    if (plainText) return line + quote(std::string(data.begin(), data.end() - 1));
    if (type == REG_DWORD && data.size() == 4) {
        char text[16];
        DWORD value = static_cast<DWORD>(data[0]) | static_cast<DWORD>(data[1]) << 8 |
                      static_cast<DWORD>(data[2]) << 16 | static_cast<DWORD>(data[3]) << 24;
        std::snprintf(text, sizeof text, "dword:%08x", value);
        return line + text;
    }
    char prefix[24];
    if (type == REG_BINARY)
        std::snprintf(prefix, sizeof prefix, "hex:");
    else
        std::snprintf(prefix, sizeof prefix, "hex(%x):", type);
    line += prefix;
    size_t width = line.size();
    for (size_t i = 0; i < data.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        if (i) {
            line += ",";
            ++width;
            if (width + 3 > 77) { // wrap as the registry editor does, keeping lines short
                line += "\\\r\n  ";
                width = 2;
            }
        }
        line += byte;
        width += 2;
    }
    return line;
}

} // namespace selvane

// IniFile: parsing win.ini into lines, the lookups, and the edits that touch only their own lines.
//
//   TrimBlanks, EqualNoCase   the two text rules every lookup uses
//   Classify                  what one line is (header, comment, entry, ...)
//   Parse, Text               bytes to lines and back, unchanged
//   SectionNames ... Value    reading
//   SetValue, DeleteKey, DeleteSection   editing
#include "profile/ini_file.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace platform::profile {

std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// Fills in kind, name and value from the line's text. A file saved by an editor that marks UTF-8
// starts with three marker bytes; they are kept, but must not hide the first header.
void Classify(IniFile::Line& line, bool firstLine) {
    std::string_view text = line.text;
    if (firstLine && text.starts_with(kUtf8Mark)) text.remove_prefix(kUtf8Mark.size());
    text = TrimBlanks(text);
    line.name.clear();
    line.value.clear();
    if (text.empty()) {
        line.kind = IniFile::LineKind::Blank;
    } else if (text.front() == ';') {
        line.kind = IniFile::LineKind::Comment;
    } else if (text.front() == '[') {
        // A header missing its "]" still opens a section: the rest of the line names it.
        text.remove_prefix(1);
        line.kind = IniFile::LineKind::Section;
        line.name = TrimBlanks(text.substr(0, text.find(']')));
    } else if (size_t equals = text.find('='); equals != std::string_view::npos) {
        line.kind = IniFile::LineKind::Entry;
        line.name = TrimBlanks(text.substr(0, equals));
        line.value = TrimBlanks(text.substr(equals + 1));
    } else {
        line.kind = IniFile::LineKind::Text;
        line.name = text;
    }
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

} // namespace

IniFile IniFile::Parse(std::string_view text) {
    IniFile file;
    bool endingFound = false;
    while (!text.empty()) {
        Line line;
        size_t newline = text.find('\n');
        if (newline == std::string_view::npos) {
            line.text = text;
            text = {};
        } else {
            // A CR directly before the LF belongs to the ending; a CR anywhere else is text.
            size_t textEnd = newline > 0 && text[newline - 1] == '\r' ? newline - 1 : newline;
            line.text = text.substr(0, textEnd);
            line.ending = text.substr(textEnd, newline + 1 - textEnd);
            text.remove_prefix(newline + 1);
            if (!endingFound) {
                file.lineEnding_ = line.ending;
                endingFound = true;
            }
        }
        Classify(line, file.lines_.empty());
        file.lines_.push_back(std::move(line));
    }
    return file;
}

std::string IniFile::Text() const {
    std::string text;
    for (const Line& line : lines_) {
        text += line.text;
        text += line.ending;
    }
    return text;
}

IniFile::Range IniFile::RangeAt(size_t header) const {
    size_t end = header + 1;
    while (end < lines_.size() && lines_[end].kind != LineKind::Section)
        ++end;
    return {header, end};
}

std::optional<IniFile::Range> IniFile::FindSection(std::string_view section) const {
    section = TrimBlanks(section);
    for (size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].kind == LineKind::Section && EqualNoCase(lines_[i].name, section))
            return RangeAt(i);
    return std::nullopt;
}

std::optional<size_t> IniFile::FindKey(const Range& range, std::string_view key) const {
    key = TrimBlanks(key);
    for (size_t i = range.header + 1; i < range.end; ++i) {
        const Line& line = lines_[i];
        if ((line.kind == LineKind::Entry || line.kind == LineKind::Text) &&
            EqualNoCase(line.name, key))
            return i;
    }
    return std::nullopt;
}

namespace {
void AddOnce(std::vector<std::string>& names, const std::string& name) {
    if (name.empty()) return; // an empty name would end the caller's double-zero list early
    for (const std::string& seen : names)
        if (EqualNoCase(seen, name)) return;
    names.push_back(name);
}
} // namespace

std::vector<std::string> IniFile::SectionNames() const {
    std::vector<std::string> names;
    for (const Line& line : lines_)
        if (line.kind == LineKind::Section) AddOnce(names, line.name);
    return names;
}

std::optional<std::vector<std::string>> IniFile::KeyNames(std::string_view section) const {
    std::optional<Range> range = FindSection(section);
    if (!range) return std::nullopt;
    std::vector<std::string> names;
    for (size_t i = range->header + 1; i < range->end; ++i)
        if (lines_[i].kind == LineKind::Entry || lines_[i].kind == LineKind::Text)
            AddOnce(names, lines_[i].name);
    return names;
}

std::optional<std::vector<std::string>> IniFile::SectionEntries(std::string_view section) const {
    std::optional<Range> range = FindSection(section);
    if (!range) return std::nullopt;
    std::vector<std::string> entries;
    for (size_t i = range->header + 1; i < range->end; ++i) {
        const Line& line = lines_[i];
        if (line.kind == LineKind::Entry)
            entries.push_back(line.name + "=" + line.value);
        else if (line.kind == LineKind::Text)
            entries.push_back(line.name);
    }
    return entries;
}

std::optional<std::string> IniFile::Value(std::string_view section, std::string_view key) const {
    std::optional<Range> range = FindSection(section);
    if (!range) return std::nullopt;
    std::optional<size_t> at = FindKey(*range, key);
    if (!at || lines_[*at].kind != LineKind::Entry) return std::nullopt;
    std::string_view value = lines_[*at].value;
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

// Puts a new line before index `at`, with the file's line ending. When it lands after a last line
// that has no newline, that line gets one and the new line goes without: the file keeps ending
// the way it did.
void IniFile::Insert(size_t at, std::string text) {
    Line line;
    line.text = std::move(text);
    line.ending = lineEnding_;
    if (at == lines_.size() && at > 0 && lines_[at - 1].ending.empty()) {
        lines_[at - 1].ending = lineEnding_;
        line.ending.clear();
    }
    Classify(line, at == 0);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

bool IniFile::SetValue(std::string_view section, std::string_view key, std::string_view value) {
    key = TrimBlanks(key);
    std::string entry = std::string(key) + "=" + std::string(value);
    std::optional<Range> range = FindSection(section);
    if (!range) {
        // A new section goes at the end, a blank line setting it off from what is above.
        if (!lines_.empty() && lines_.back().kind != LineKind::Blank) Insert(lines_.size(), "");
        Insert(lines_.size(), "[" + std::string(TrimBlanks(section)) + "]");
        Insert(lines_.size(), std::move(entry));
        return true;
    }
    if (std::optional<size_t> at = FindKey(*range, key)) {
        Line& line = lines_[*at];
        std::string replacement = line.name + "=" + std::string(value);
        if (replacement == line.text) return false;
        line.text = std::move(replacement);
        Classify(line, *at == 0);
        return true;
    }
    // A new key follows the section's last non-blank line, so the blank lines that set the
    // next section off stay where they are.
    size_t last = range->end - 1;
    while (last > range->header && lines_[last].kind == LineKind::Blank)
        --last;
    Insert(last + 1, std::move(entry));
    return true;
}

bool IniFile::DeleteKey(std::string_view section, std::string_view key) {
    std::optional<Range> range = FindSection(section);
    if (!range) return false;
    // Every line of the key goes: were only the first removed, a second one would come to light.
    bool changed = false;
    for (size_t i = range->end; i-- > range->header + 1;) {
        const Line& line = lines_[i];
        if ((line.kind == LineKind::Entry || line.kind == LineKind::Text) &&
            EqualNoCase(line.name, TrimBlanks(key))) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
            changed = true;
        }
    }
    return changed;
}

bool IniFile::DeleteSection(std::string_view section) {
    bool changed = false;
    while (std::optional<Range> range = FindSection(section)) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->header),
                     lines_.begin() + static_cast<std::ptrdiff_t>(range->end));
        changed = true;
    }
    return changed;
}

} // namespace platform::profile

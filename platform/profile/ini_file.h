// IniFile: the text of an .ini file (win.ini) as a list of lines kept byte for byte, with the
// lookups and the one-line edits the profile functions need.
//
// A person may edit win.ini by hand, so an edit must leave every byte it does not concern as it
// was: comments, blank lines, order, odd spacing, the line endings, a last line without a newline.
// Each line therefore keeps its text and its ending apart; Text() puts them back together.
//
// How a line reads (leading and trailing spaces and tabs never count):
//   [name]        a section header; the name is what stands between "[" and "]", trimmed
//   ; anything    a comment
//   key = value   an entry of the section above it
//   text          a line without "=": listed as it stands; as a key it has no value
// Lines before the first header belong to no section. Names match without regard to case; when a
// section or a key appears twice, the first one is the one read and written.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::profile {

class IniFile {
public:
    enum class LineKind { Blank, Comment, Section, Entry, Text };

    struct Line {
        std::string text;   // the line without its ending
        std::string ending; // "\r\n", "\n", or "" for a last line without a newline
        LineKind kind = LineKind::Blank;
        std::string name;  // section name or key, trimmed
        std::string value; // an entry's value, trimmed (quotes kept)
    };

    // Splits text into lines. Never fails: every byte belongs to some line.
    static IniFile Parse(std::string_view text);
    // The file again: the lines' texts and endings, in order.
    std::string Text() const;

    // The line ending new lines take: the first one the file uses, CRLF when it has none.
    const std::string& LineEnding() const { return lineEnding_; }
    const std::vector<Line>& Lines() const { return lines_; }

    // Section names in file order, each once, empty names left out.
    std::vector<std::string> SectionNames() const;
    // Key names of a section in file order, each once, empty names left out; nullopt when the
    // section is missing.
    std::optional<std::vector<std::string>> KeyNames(std::string_view section) const;
    // A section's entries as "key=value" (trimmed), text lines as they stand (trimmed); comments
    // and blank lines left out. nullopt when the section is missing.
    std::optional<std::vector<std::string>> SectionEntries(std::string_view section) const;
    // The value of a key, trimmed, without a matching pair of surrounding quotes. nullopt when the
    // section or the key is missing, or the key's line has no "=".
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;

    // Edits. Each returns whether the text changed.
    // Replaces the key's line by "key=value" (the key as spelled in the file), or adds the key
    // after the last non-blank line of its section, or adds the section at the end of the file.
    bool SetValue(std::string_view section, std::string_view key, std::string_view value);
    // Removes every line of the key in its section.
    bool DeleteKey(std::string_view section, std::string_view key);
    // Removes every section of that name: its header and its lines up to the next header.
    bool DeleteSection(std::string_view section);

private:
    // The lines [header, end) of a section: its header line and everything up to the next one.
    struct Range {
        size_t header;
        size_t end;
    };

    std::optional<Range> FindSection(std::string_view section) const;
    Range RangeAt(size_t header) const;
    std::optional<size_t> FindKey(const Range& range, std::string_view key) const;
    void Insert(size_t at, std::string text);

    std::vector<Line> lines_;
    std::string lineEnding_ = "\r\n";
};

// Leading and trailing spaces and tabs removed.
std::string_view TrimBlanks(std::string_view text);
// ASCII comparison without regard to case, as the profile matches names.
bool EqualNoCase(std::string_view a, std::string_view b);

} // namespace platform::profile

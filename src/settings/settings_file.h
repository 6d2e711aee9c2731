#pragma once

#include "messages/message_texts.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// tavrin.ini as the bytes it holds, with the entries of [tavrin] located in
// them. Values are read from the lines that hold them; setting a value
// replaces the bytes of that one value, so every other byte of the file
// (signature, line ends, comments, other sections, blanks, lines that are
// not entries) stays as it was.
//
// The syntax: lines end in CR LF, LF or CR. A line whose first character
// after blanks and tabs is ";" or "#" is a comment. "[name]" starts a
// section, the name trimmed of blanks and tabs and matched without regard to
// ASCII letter case; what follows "]" on its line is ignored. "key=value" is
// an entry: key and value trimmed of blanks and tabs, the value running to
// the line end. Any other line (no "=", an empty key, "[" without "]") is
// not an entry. UTF-8, a signature allowed; bytes that are not UTF-8 read as
// U+FFFD.
class SettingsFile final : public AuthorsTextSource {
public:
    explicit SettingsFile(std::string a_bytes);

    const std::string& bytes() const { return m_bytes; }

    // Whether the file has a [tavrin] section (in any letter case).
    bool hasSection() const { return m_sectionLine != noLine; }

    // The value of the last entry of [tavrin] whose key is exactly a_key;
    // none when there is no such entry. Text after a NUL is not part of it.
    std::optional<std::wstring> value(const char* a_key) const;

    // The same for the entries of another section, such as
    // [tavrin.messages.de-DE] (its name in any letter case).
    std::optional<std::wstring> value(const std::string& a_section,
                                      const char* a_key) const override;

    // The file's bytes with a_key of [tavrin] set to a_value: the value of
    // the entry that value() reads replaced, or, when there is none, a new
    // line "a_key=a_value" after the section's last entry, with the line end
    // the file uses. None when the value is already a_value, byte for byte,
    // or the file has no [tavrin] section.
    std::optional<std::string> withValue(const char* a_key, const std::wstring& a_value) const;

private:
    static constexpr std::size_t noLine = static_cast<std::size_t>(-1);

    struct Line {
        std::size_t begin;
        std::size_t contentEnd; // where its line end begins
        std::size_t end;        // after its line end
    };
    struct Entry {
        std::string key;
        std::size_t valueBegin;
        std::size_t valueEnd;
        std::size_t line;
    };

    void readLine(const Line& a_line, std::string& a_section);
    std::optional<std::wstring> valueOf(const Entry* a_entry) const;
    const Entry* lastEntry(const char* a_key) const;
    const Line& anchorLine() const;
    std::string lineEndOf(const Line& a_line) const;
    std::string lineEnd() const;
    std::string withNewLine(const std::string& a_line) const;

    std::string m_bytes;
    std::vector<Line> m_lines;
    std::vector<Entry> m_entries;                              // of [tavrin], in file order
    std::vector<std::pair<std::string, Entry>> m_otherEntries; // with their section, lower case
    std::size_t m_sectionLine = noLine;
};

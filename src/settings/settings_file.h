#pragma once

#include "messages/message_texts.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// tavrin.ini as the bytes it holds, with the entries of [tavrin] located in
// them, and those of the program's own section: a launcher's file name, such
// as [example.exe], whose entries stand over those of [tavrin], key by key.
// Values are read from the lines that hold them; setting a value
// replaces the bytes of that one value, so every other byte of the file
// (signature, line ends, comments, other sections, blanks, lines that are
// not entries) stays as it was.
//
// The syntax: lines end in CR LF, LF or CR. A line whose first character
// after blanks and tabs is ";" or "#" is a comment. "[name]" starts a
// section, the name trimmed of blanks and tabs and matched without regard to
// letter case (the program's as Windows compares file names, the others in
// ASCII); what follows "]" on its line is ignored. "key=value" is
// an entry: key and value trimmed of blanks and tabs, the value running to
// the line end. Any other line (no "=", an empty key, "[" without "]") is
// not an entry. UTF-8, a signature allowed; bytes that are not UTF-8 read as
// U+FFFD.
class SettingsFile final : public AuthorsTextSource {
public:
    // a_programSection: the program's own section, its name in any letter
    // case; empty: [tavrin] alone.
    explicit SettingsFile(std::string a_bytes, const std::string& a_programSection = "");

    // Where a value is written: where it was read (the program's entry, else
    // that of [tavrin]), or into the program's own section.
    enum class Into { whereRead, programSection };

    const std::string& bytes() const { return m_bytes; }
    const std::string& programSection() const { return m_program; }

    // Whether the file has a [tavrin] section (in any letter case), or the
    // program's own.
    bool hasSection() const { return m_sectionLine != noLine || hasProgramSection(); }
    bool hasProgramSection() const { return m_programSectionLine != noLine; }

    // The sections read, "[tavrin], [Example.exe]" or either alone, each
    // named as the file writes it: for the log.
    std::wstring sectionsRead() const;
    // The other programs' sections ([NAME.exe]), as written, such as
    // "[Example.exe], [example-tool.exe]"; empty when there are none.
    std::wstring otherProgramSections() const;

    // Whether the program's own section has an entry of a_key (an empty one
    // too).
    bool programHas(const char* a_key) const;

    // The value of the last entry whose key is exactly a_key, in the
    // program's section, or else in [tavrin]; none when neither has one, or
    // the program's entry is empty (it clears the shared one). Text after a
    // NUL is not part of it.
    std::optional<std::wstring> value(const char* a_key) const;
    // The same for an optional key: an empty value counts as absent, as an
    // author clearing a value expects.
    std::optional<std::wstring> givenValue(const char* a_key) const;

    // The same for the entries of another section, such as
    // [tavrin.messages.de-DE] (its name in any letter case).
    std::optional<std::wstring> value(const std::string& a_section,
                                      const char* a_key) const override;

    // The file's bytes with a_key set to a_value: the value of the last
    // entry of a_key replaced (the program's, else that of [tavrin]), or, when there is none, a new
    // line "a_key=a_value" after the last entry of [tavrin] (of the program's section when there is
    // no [tavrin]), with the line end the file uses. Into::programSection: the program's entry, or
    // a new line in its section, whatever [tavrin] has. None when the value is already a_value,
    // byte for byte, or the file has no section to write into.
    std::optional<std::string> withValue(const char* a_key, const std::wstring& a_value,
                                         Into a_into = Into::whereRead) const;

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

    // The section the lines being read belong to.
    struct Section {
        enum class Kind { none, shared, program, other } kind = Kind::none;
        std::string name; // lower case
    };

    void readLine(const Line& a_line, Section& a_section);
    void readSectionLine(const std::string& a_written, Section& a_section);
    std::optional<std::wstring> valueOf(const Entry* a_entry) const;
    static const Entry* lastEntryIn(const std::vector<Entry>& a_entries, const char* a_key);
    const Entry* lastEntry(const char* a_key) const;
    const Line& anchorLine(Into a_into) const;
    std::string lineEndOf(const Line& a_line) const;
    std::string lineEnd(const Line& a_anchor) const;
    std::string withNewLine(const std::string& a_line, Into a_into) const;

    std::string m_bytes;
    std::vector<Line> m_lines;
    std::string m_program;                                     // as the launcher is named
    std::wstring m_programName;                                // the same, to compare
    std::string m_programWritten;                              // as the file names it
    std::vector<std::string> m_otherPrograms;                  // as the file names them
    std::vector<Entry> m_entries;                              // of [tavrin], in file order
    std::vector<Entry> m_programEntries;                       // of the program's section
    std::vector<std::pair<std::string, Entry>> m_otherEntries; // with their section, lower case
    std::size_t m_sectionLine = noLine;
    std::size_t m_programSectionLine = noLine;
};

// A whole number key from a_lowest to a_highest (at most four digits), in
// a_unit: read into a_value when given; otherwise "key: why" is appended to
// a_problems, a_value keeping its default.
void readNumberKey(const SettingsFile& a_settings, const char* a_key, unsigned long a_lowest,
                   unsigned long a_highest, const wchar_t* a_unit, unsigned long& a_value,
                   std::vector<std::wstring>& a_problems);

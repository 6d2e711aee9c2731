#include "settings/settings_file.h"

#include "platform/paths.h"
#include "platform/text.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* utf8Signature = "\xEF\xBB\xBF";
constexpr const char* sectionName = "tavrin";

bool isLineEnd(char a_character) {
    return a_character == '\r' || a_character == '\n';
}

std::size_t skipBlanks(const std::string& a_text, std::size_t a_at, std::size_t a_end) {
    while (a_at < a_end && isBlank(a_text[a_at])) {
        ++a_at;
    }
    return a_at;
}

std::size_t trimBlanksBefore(const std::string& a_text, std::size_t a_begin, std::size_t a_end) {
    while (a_end > a_begin && isBlank(a_text[a_end - 1])) {
        --a_end;
    }
    return a_end;
}

// Where a_character first occurs in [a_begin, a_end), or a_end.
std::size_t findIn(const std::string& a_text, char a_character, std::size_t a_begin,
                   std::size_t a_end) {
    return static_cast<std::size_t>(std::find(a_text.begin() + static_cast<std::ptrdiff_t>(a_begin),
                                              a_text.begin() + static_cast<std::ptrdiff_t>(a_end),
                                              a_character) -
                                    a_text.begin());
}

char asciiLower(char a_character) {
    return a_character >= 'A' && a_character <= 'Z' ? static_cast<char>(a_character - 'A' + 'a')
                                                    : a_character;
}

std::string lowerCase(const std::string& a_text, std::size_t a_begin, std::size_t a_end) {
    std::string lowered;
    for (std::size_t i = a_begin; i < a_end; ++i) {
        lowered.push_back(asciiLower(a_text[i]));
    }
    return lowered;
}

bool endsWithExe(const std::string& a_lowerName) {
    return a_lowerName.size() > 4 && a_lowerName.compare(a_lowerName.size() - 4, 4, ".exe") == 0;
}

} // namespace

SettingsFile::SettingsFile(std::string a_bytes, const std::string& a_programSection)
    : m_bytes(std::move(a_bytes)), m_program(a_programSection),
      m_programName(decodeUtf8(a_programSection.data(), a_programSection.size())) {
    std::size_t at = m_bytes.compare(0, 3, utf8Signature) == 0 ? 3 : 0;
    Section section;
    while (at < m_bytes.size()) {
        Line line{at, at, at};
        while (line.contentEnd < m_bytes.size() && !isLineEnd(m_bytes[line.contentEnd])) {
            ++line.contentEnd;
        }
        line.end = m_bytes.compare(line.contentEnd, 2, "\r\n") == 0
                       ? line.contentEnd + 2
                       : std::min(line.contentEnd + 1, m_bytes.size());
        m_lines.push_back(line);
        readLine(line, section);
        at = line.end;
    }
}

// Sections and entries, as the syntax above describes them.
void SettingsFile::readLine(const Line& a_line, Section& a_section) {
    const std::size_t first = skipBlanks(m_bytes, a_line.begin, a_line.contentEnd);
    if (first == a_line.contentEnd || m_bytes[first] == ';' || m_bytes[first] == '#') {
        return;
    }
    if (m_bytes[first] == '[') {
        const std::size_t nameBegin = skipBlanks(m_bytes, first + 1, a_line.contentEnd);
        const std::size_t close = findIn(m_bytes, ']', nameBegin, a_line.contentEnd);
        if (close != a_line.contentEnd) {
            readSectionLine(
                m_bytes.substr(nameBegin, trimBlanksBefore(m_bytes, nameBegin, close) - nameBegin),
                a_section);
        }
        return;
    }
    const std::size_t equals = findIn(m_bytes, '=', first, a_line.contentEnd);
    if (equals == a_line.contentEnd || equals == first || a_section.kind == Section::Kind::none) {
        return;
    }
    const std::size_t valueBegin = skipBlanks(m_bytes, equals + 1, a_line.contentEnd);
    const Entry entry{m_bytes.substr(first, trimBlanksBefore(m_bytes, first, equals) - first),
                      valueBegin, trimBlanksBefore(m_bytes, valueBegin, a_line.contentEnd),
                      m_lines.size() - 1};
    switch (a_section.kind) {
    case Section::Kind::shared:
        m_entries.push_back(entry);
        break;
    case Section::Kind::program:
        m_programEntries.push_back(entry);
        break;
    default:
        m_otherEntries.push_back({a_section.name, entry});
    }
}

// The program's own section is matched as Windows compares file names, in
// any letter case beyond ASCII too; other programs' sections are kept for
// the log.
void SettingsFile::readSectionLine(const std::string& a_written, Section& a_section) {
    a_section.name = lowerCase(a_written, 0, a_written.size());
    if (a_section.name == sectionName) {
        a_section.kind = Section::Kind::shared;
        m_sectionLine = m_lines.size() - 1;
    } else if (!m_program.empty() &&
               samePath(decodeUtf8(a_written.data(), a_written.size()), m_programName)) {
        a_section.kind = Section::Kind::program;
        if (m_programSectionLine == noLine) {
            m_programWritten = a_written;
        }
        m_programSectionLine = m_lines.size() - 1;
    } else {
        a_section.kind = Section::Kind::other;
        if (endsWithExe(a_section.name) && std::find(m_otherPrograms.begin(), m_otherPrograms.end(),
                                                     a_written) == m_otherPrograms.end()) {
            m_otherPrograms.push_back(a_written);
        }
    }
}

const SettingsFile::Entry* SettingsFile::lastEntryIn(const std::vector<Entry>& a_entries,
                                                     const char* a_key) {
    for (auto entry = a_entries.rbegin(); entry != a_entries.rend(); ++entry) {
        if (entry->key == a_key) {
            return &*entry;
        }
    }
    return nullptr;
}

// The entry a value is written into: the program's, else the shared one.
const SettingsFile::Entry* SettingsFile::lastEntry(const char* a_key) const {
    const Entry* own = lastEntryIn(m_programEntries, a_key);
    return own != nullptr ? own : lastEntryIn(m_entries, a_key);
}

namespace {

// "[a], [b]" of the names given, as written.
std::wstring sectionList(const std::vector<std::string>& a_names) {
    std::wstring list;
    for (const std::string& name : a_names) {
        list += (list.empty() ? L"[" : L", [") + decodeUtf8(name.data(), name.size()) + L"]";
    }
    return list;
}

} // namespace

std::wstring SettingsFile::sectionsRead() const {
    std::vector<std::string> read;
    if (m_sectionLine != noLine) {
        read.push_back(sectionName);
    }
    if (hasProgramSection()) {
        read.push_back(m_programWritten);
    }
    return sectionList(read);
}

std::wstring SettingsFile::otherProgramSections() const {
    return sectionList(m_otherPrograms);
}

bool SettingsFile::programHas(const char* a_key) const {
    return lastEntryIn(m_programEntries, a_key) != nullptr;
}

std::optional<std::wstring> SettingsFile::value(const char* a_key) const {
    const Entry* own = lastEntryIn(m_programEntries, a_key);
    if (own != nullptr && own->valueBegin == own->valueEnd) {
        return std::nullopt; // cleared for this program
    }
    return valueOf(own != nullptr ? own : lastEntryIn(m_entries, a_key));
}

std::optional<std::wstring> SettingsFile::givenValue(const char* a_key) const {
    std::optional<std::wstring> given = value(a_key);
    if (given && given->empty()) {
        given.reset();
    }
    return given;
}

std::optional<std::wstring> SettingsFile::value(const std::string& a_section,
                                                const char* a_key) const {
    const std::string wanted = lowerCase(a_section, 0, a_section.size());
    const Entry* found = nullptr;
    for (const auto& [section, entry] : m_otherEntries) {
        if (entry.key == a_key && section == wanted) {
            found = &entry;
        }
    }
    return valueOf(found);
}

std::optional<std::wstring> SettingsFile::valueOf(const Entry* a_entry) const {
    if (a_entry == nullptr) {
        return std::nullopt;
    }
    std::wstring text =
        decodeUtf8(m_bytes.data() + a_entry->valueBegin, a_entry->valueEnd - a_entry->valueBegin);
    text.erase(std::min(text.find(L'\0'), text.size()));
    return text;
}

std::optional<std::string> SettingsFile::withValue(const char* a_key, const std::wstring& a_value,
                                                   Into a_into) const {
    if (a_into == Into::programSection ? !hasProgramSection() : !hasSection()) {
        return std::nullopt;
    }
    const std::string value = encodeUtf8(a_value);
    const Entry* entry =
        a_into == Into::programSection ? lastEntryIn(m_programEntries, a_key) : lastEntry(a_key);
    if (entry == nullptr) {
        return withNewLine(std::string(a_key) + "=" + value, a_into);
    }
    const std::size_t length = entry->valueEnd - entry->valueBegin;
    if (m_bytes.compare(entry->valueBegin, length, value) == 0) {
        return std::nullopt;
    }
    return std::string(m_bytes).replace(entry->valueBegin, length, value);
}

// Where a new line goes: after the last entry of [tavrin], or after its
// section line when it has none; the program's section stands in for a
// missing [tavrin], and is the place itself for Into::programSection.
const SettingsFile::Line& SettingsFile::anchorLine(Into a_into) const {
    const bool shared = m_sectionLine != noLine && a_into == Into::whereRead;
    const std::vector<Entry>& entries = shared ? m_entries : m_programEntries;
    return m_lines[!entries.empty() ? entries.back().line
                   : shared         ? m_sectionLine
                                    : m_programSectionLine];
}

// The bytes that end a_line; empty for a last line without a line end.
std::string SettingsFile::lineEndOf(const Line& a_line) const {
    return m_bytes.substr(a_line.contentEnd, a_line.end - a_line.contentEnd);
}

// The anchor's line end, else the file's first one, else the Windows one.
std::string SettingsFile::lineEnd(const Line& a_anchor) const {
    std::string ending = lineEndOf(a_anchor);
    for (auto line = m_lines.begin(); ending.empty() && line != m_lines.end(); ++line) {
        ending = lineEndOf(*line);
    }
    return ending.empty() ? "\r\n" : ending;
}

std::string SettingsFile::withNewLine(const std::string& a_line, Into a_into) const {
    const Line& anchor = anchorLine(a_into);
    const std::string ending = lineEnd(anchor);
    std::string inserted = a_line + ending;
    if (lineEndOf(anchor).empty()) {
        inserted.insert(0, ending); // the file's last line had none
    }
    return std::string(m_bytes).insert(anchor.end, inserted);
}

void readNumberKey(const SettingsFile& a_settings, const char* a_key, unsigned long a_lowest,
                   unsigned long a_highest, const wchar_t* a_unit, unsigned long& a_value,
                   std::vector<std::wstring>& a_problems) {
    const std::optional<std::wstring> value = a_settings.givenValue(a_key);
    if (!value) {
        return;
    }
    const std::wstring digits = trimmed(*value, L" \t");
    const bool number = !digits.empty() && digits.size() <= 4 &&
                        digits.find_first_not_of(L"0123456789") == std::wstring::npos;
    const auto read = static_cast<unsigned long>(number ? leadingNumber(digits.c_str()) : 0);
    if (!number || read < a_lowest || read > a_highest) {
        a_problems.push_back(formatWideString(L"%hs: not a number of %ls from %lu to %lu: %ls",
                                              a_key, a_unit, a_lowest, a_highest, value->c_str()));
        return;
    }
    a_value = read;
}

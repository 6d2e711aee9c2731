#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

// Text helpers. The launcher keeps its own text as wide strings (UTF-16).

// A blank: a space or a tab, in text of either width.
constexpr bool isBlank(wchar_t a_character) {
    return a_character == L' ' || a_character == L'\t';
}
constexpr bool isBlank(char a_character) {
    return a_character == ' ' || a_character == '\t';
}

// Whether a_text begins with a_prefix, letter case aside.
bool startsWithIgnoringCase(const std::wstring& a_text, const wchar_t* a_prefix);

// a_text without the characters of a_characters at either end.
std::wstring trimmed(const std::wstring& a_text, const wchar_t* a_characters);

// Bytes in the system's ANSI code page (what a console program such as
// java.exe writes to a file) as UTF-16.
std::wstring fromAnsi(const std::string& a_bytes);

// UTF-8 bytes to UTF-16 and back; what is not UTF-8 (or UTF-16) becomes
// U+FFFD, as the system's conversion does it.
std::wstring decodeUtf8(const char* a_bytes, std::size_t a_length);
std::string encodeUtf8(const std::wstring& a_text);

// a_text in the system's ANSI code page, or in a_codePage; false when a
// character has no place in it. Never a look-alike: without its own place,
// "Ł" is refused, not written as "L".
bool encodeAnsi(const std::wstring& a_text, std::string& a_bytes);
bool encodeInCodePage(unsigned a_codePage, const std::wstring& a_text, std::string& a_bytes);

// a_text cut at every a_separator: "a;;b" gives "a", "" and "b", and an empty
// text one empty part.
std::vector<std::wstring> splitAt(const std::wstring& a_text, wchar_t a_separator);

// 64-bit FNV-1a of a_length code units, each taken whole: a short name for a
// content (bytes) or for a name (UTF-16 units).
template <typename Unit> unsigned long long fnv1aHash(const Unit* a_units, std::size_t a_length) {
    unsigned long long hash = 0xcbf29ce484222325ULL;
    for (std::size_t i = 0; i < a_length; ++i) {
        using Unsigned =
            typename std::conditional<sizeof(Unit) == 1, unsigned char, unsigned short>::type;
        hash = (hash ^ static_cast<Unsigned>(a_units[i])) * 0x100000001b3ULL;
    }
    return hash;
}

// Whether a_character is one of a_set's.
bool isAnyOf(wchar_t a_character, const wchar_t* a_set);

// The decimal digits at a_text's start as a number (0 when there are none);
// past 19 digits the rest is not read.
unsigned long long leadingNumber(const wchar_t* a_text);

// The hash's 16 hexadecimal digits, in lower case.
std::wstring hexDigits(unsigned long long a_value);

// a_bytes as lower-case hexadecimal digits, two for each.
std::wstring hexOfBytes(const std::string& a_bytes);

// The bytes that base64 a_text stands for, blanks and line breaks left out;
// none when it is not base64 (or has padding inside).
std::optional<std::string> fromBase64(const std::wstring& a_text);

// Whether a_bytes are UTF-8 throughout (a UTF-16 file, say, is not).
bool isUtf8(const std::string& a_bytes);

// A system error for the log: "error 2: " and the system's own text of it.
std::wstring systemErrorText(unsigned long a_error);

// printf-style formatting in which "%s" takes a wide string. The result is at
// most formatBufferCharacters long; longer texts are cut.
constexpr std::size_t formatBufferCharacters = 5048;
std::wstring formatWideString(const wchar_t* a_wcsFormat, ...);

// The whole text of a system call that fills a buffer, such as
// GetSystemDirectoryW: a_call(buffer, size) returns 0 when it fails, the
// length it wrote when the text fits (less than size), and otherwise the size
// it needs or, for calls that cut the text, size itself. The buffer grows
// until the text fits; empty on failure.
template <typename Call> std::wstring textFromSystem(Call a_call) {
    std::vector<wchar_t> buffer(260);
    for (;;) {
        const auto length = a_call(buffer.data(), static_cast<unsigned long>(buffer.size()));
        if (length == 0) {
            return std::wstring();
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(length >= buffer.size() * 2 ? length + 1 : buffer.size() * 2);
    }
}

#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Text helpers. The launcher keeps its own text as wide strings (UTF-16);
// narrow strings are bytes in the system's ANSI code page. Failures raise
// std::invalid_argument with fixed English messages.

// Converts a_wcsSource into the ANSI code page, NUL-terminated, into a buffer
// of a_uBufferSize bytes. Throws when the bytes and terminator do not fit.
char* convertWStringToTString(const wchar_t* a_wcsSource, char* a_tcsBuffer,
                              std::size_t a_uBufferSize);

// Converts ANSI code page bytes into UTF-16, NUL-terminated, into a buffer
// of a_uBufferSize wide characters. Throws when the text does not fit.
wchar_t* convertCStringToTString(const char* a_tcsSource, wchar_t* a_wcsBuffer,
                                 std::size_t a_uBufferSize);

std::string toNarrowString(const wchar_t* a_wcsSource);
std::wstring toWideString(const char* a_tcsSource);
std::wstring copyWideString(const wchar_t* a_wcsSource);

// UTF-8 bytes to UTF-16 and back; what is not UTF-8 (or UTF-16) becomes
// U+FFFD, as the system's conversion does it.
std::wstring decodeUtf8(const char* a_bytes, std::size_t a_length);
std::string encodeUtf8(const std::wstring& a_text);

// printf-style formatting in which "%s" takes a wide string. The result is at
// most formatBufferCharacters long; longer texts are cut.
constexpr std::size_t formatBufferCharacters = 5048;
std::wstring formatWideString(const wchar_t* a_wcsFormat, ...);

// k dots give k + 1 pieces, empty ones included.
std::vector<std::wstring> splitAtDots(const wchar_t* a_wcsText);

// Removes a_wcCharacter from both ends of a_wcsSource into a_tcsStringTrimmed,
// whose capacity is a_uCapacity wide characters, terminator included.
wchar_t* trimCharacter(const wchar_t* a_wcsSource, wchar_t a_wcCharacter,
                       wchar_t* a_tcsStringTrimmed, std::size_t a_uCapacity);
void trimInPlace(std::wstring& a_wstrText, wchar_t a_wcCharacter);
std::wstring trimmedCopy(std::wstring a_wstrText, wchar_t a_wcCharacter);

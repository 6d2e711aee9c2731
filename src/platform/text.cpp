#include "platform/text.h"

#include <windows.h>

#include <cstdarg>
#include <cwchar>
#include <vector>

namespace {

// Every message goes through this one buffer; it is allocated at start-up so
// that formatting a message late in a run needs no large allocation.
std::vector<wchar_t> formatBuffer(formatBufferCharacters);

// a_length bytes of a_codePage as UTF-16.
std::wstring decode(UINT a_codePage, const char* a_bytes, std::size_t a_length) {
    const int length = static_cast<int>(a_length);
    if (length == 0) {
        return std::wstring();
    }
    std::wstring text(
        static_cast<std::size_t>(MultiByteToWideChar(a_codePage, 0, a_bytes, length, nullptr, 0)),
        L'\0');
    MultiByteToWideChar(a_codePage, 0, a_bytes, length, text.data(), static_cast<int>(text.size()));
    return text;
}

} // namespace

std::wstring trimmed(const std::wstring& a_text, const wchar_t* a_characters) {
    const std::size_t first = a_text.find_first_not_of(a_characters);
    if (first == std::wstring::npos) {
        return std::wstring();
    }
    return a_text.substr(first, a_text.find_last_not_of(a_characters) - first + 1);
}

bool startsWithIgnoringCase(const std::wstring& a_text, const wchar_t* a_prefix) {
    const int length = static_cast<int>(std::wcslen(a_prefix));
    return a_text.size() >= static_cast<std::size_t>(length) &&
           CompareStringOrdinal(a_text.c_str(), length, a_prefix, length, TRUE) == CSTR_EQUAL;
}

std::wstring fromAnsi(const std::string& a_bytes) {
    return decode(CP_ACP, a_bytes.data(), a_bytes.size());
}

std::wstring decodeUtf8(const char* a_bytes, std::size_t a_length) {
    return decode(CP_UTF8, a_bytes, a_length);
}

bool encodeAnsi(const std::wstring& a_text, std::string& a_bytes) {
    return encodeInCodePage(CP_ACP, a_text, a_bytes);
}

bool encodeInCodePage(unsigned a_codePage, const std::wstring& a_text, std::string& a_bytes) {
    const int length = static_cast<int>(a_text.size());
    a_bytes.clear();
    if (length == 0) {
        return true;
    }
    // No best fit: a character without a place of its own takes the default
    // character, which the flag reports.
    constexpr DWORD flags = WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    a_bytes.resize(static_cast<std::size_t>(WideCharToMultiByte(
        a_codePage, flags, a_text.data(), length, nullptr, 0, nullptr, &lossy)));
    WideCharToMultiByte(a_codePage, flags, a_text.data(), length, a_bytes.data(),
                        static_cast<int>(a_bytes.size()), nullptr, &lossy);
    return !a_bytes.empty() && !lossy;
}

std::vector<std::wstring> splitAt(const std::wstring& a_text, wchar_t a_separator) {
    std::vector<std::wstring> parts;
    for (std::size_t begin = 0;;) {
        const std::size_t end = a_text.find(a_separator, begin);
        parts.push_back(a_text.substr(begin, end == std::wstring::npos ? end : end - begin));
        if (end == std::wstring::npos) {
            return parts;
        }
        begin = end + 1;
    }
}

std::wstring hexDigits(unsigned long long a_value) {
    std::wstring digits(16, L'0');
    for (int i = 15; i >= 0; --i, a_value >>= 4) {
        digits[static_cast<std::size_t>(i)] = L"0123456789abcdef"[a_value & 0xF];
    }
    return digits;
}

namespace {

// A base64 digit's value; -1 for any other character.
int base64Value(wchar_t a_character) {
    if (a_character >= L'A' && a_character <= L'Z') {
        return a_character - L'A';
    }
    if (a_character >= L'a' && a_character <= L'z') {
        return a_character - L'a' + 26;
    }
    if (a_character >= L'0' && a_character <= L'9') {
        return a_character - L'0' + 52;
    }
    return a_character == L'+' ? 62 : a_character == L'/' ? 63 : -1;
}

} // namespace

std::wstring hexOfBytes(const std::string& a_bytes) {
    std::wstring digits;
    for (const char byte : a_bytes) {
        const auto value = static_cast<unsigned char>(byte);
        digits += L"0123456789abcdef"[value >> 4];
        digits += L"0123456789abcdef"[value & 0xF];
    }
    return digits;
}

std::optional<std::string> fromBase64(const std::wstring& a_text) {
    std::string bytes;
    unsigned long bits = 0;
    int count = 0; // characters of the group read
    int padding = 0;
    for (const wchar_t character : a_text) {
        if (isAnyOf(character, L" \t\r\n")) {
            continue;
        }
        if (character == L'=') {
            ++padding;
            continue;
        }
        const int value = base64Value(character);
        if (value < 0 || padding != 0) {
            return std::nullopt;
        }
        bits = (bits << 6) | static_cast<unsigned long>(value);
        if (++count == 4) {
            bytes += {static_cast<char>(bits >> 16), static_cast<char>(bits >> 8),
                      static_cast<char>(bits)};
            bits = 0;
            count = 0;
        }
    }
    if (count == 1 || (padding != 0 && count + padding != 4)) {
        return std::nullopt;
    }
    if (count == 2) {
        bytes += static_cast<char>(bits >> 4);
    } else if (count == 3) {
        bytes += {static_cast<char>(bits >> 10), static_cast<char>(bits >> 2)};
    }
    return bytes;
}

bool isUtf8(const std::string& a_bytes) {
    return a_bytes.empty() ||
           MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, a_bytes.data(),
                               static_cast<int>(a_bytes.size()), nullptr, 0) != 0;
}

std::string encodeUtf8(const std::wstring& a_text) {
    const int length = static_cast<int>(a_text.size());
    if (length == 0) {
        return std::string();
    }
    std::string bytes(static_cast<std::size_t>(WideCharToMultiByte(
                          CP_UTF8, 0, a_text.data(), length, nullptr, 0, nullptr, nullptr)),
                      '\0');
    WideCharToMultiByte(CP_UTF8, 0, a_text.data(), length, bytes.data(),
                        static_cast<int>(bytes.size()), nullptr, nullptr);
    return bytes;
}

std::wstring formatWideString(const wchar_t* a_wcsFormat, ...) {
    va_list arguments;
    va_start(arguments, a_wcsFormat);
    // The Microsoft C runtime's formatter, in which "%s" of a wide format takes
    // a wide string. It answers -1 when the text does not fit.
    const int written =
        _vsnwprintf(formatBuffer.data(), formatBuffer.size(), a_wcsFormat, arguments);
    va_end(arguments);
    const std::size_t length =
        written < 0 ? formatBuffer.size() : static_cast<std::size_t>(written);
    return std::wstring(formatBuffer.data(), length);
}

std::wstring systemErrorText(unsigned long a_error) {
    wchar_t* text = nullptr;
    // The system allocates the text, freed with LocalFree.
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, a_error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length != 0 ? std::wstring(text, length) : std::wstring();
    if (text != nullptr) {
        LocalFree(text);
    }
    message = trimmed(message, L" \r\n.");
    return formatWideString(L"error %lu", a_error) + (message.empty() ? L"" : L": " + message);
}

unsigned long long leadingNumber(const wchar_t* a_text) {
    unsigned long long number = 0;
    for (int digits = 0; digits < 19 && *a_text >= L'0' && *a_text <= L'9'; ++digits, ++a_text) {
        number = number * 10 + static_cast<unsigned long long>(*a_text - L'0');
    }
    return number;
}

bool isAnyOf(wchar_t a_character, const wchar_t* a_set) {
    for (; *a_set != L'\0'; ++a_set) {
        if (*a_set == a_character) {
            return true;
        }
    }
    return false;
}

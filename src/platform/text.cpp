#include "platform/text.h"

#include <windows.h>

#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <memory>
#include <stdexcept>

namespace {

// Every message goes through this one buffer; it is allocated at start-up so
// that formatting a message late in a run needs no large allocation.
std::vector<wchar_t> formatBuffer(formatBufferCharacters);

int narrowLength(const wchar_t* a_wcsSource) {
    // Counts exclude the terminator: the length is always passed explicitly.
    const int sourceLength = static_cast<int>(std::wcslen(a_wcsSource));
    if (sourceLength == 0) {
        return 0;
    }
    return WideCharToMultiByte(CP_ACP, 0, a_wcsSource, sourceLength, nullptr, 0, nullptr, nullptr);
}

int wideLength(const char* a_tcsSource) {
    const int sourceLength = static_cast<int>(std::strlen(a_tcsSource));
    if (sourceLength == 0) {
        return 0;
    }
    return MultiByteToWideChar(CP_ACP, 0, a_tcsSource, sourceLength, nullptr, 0);
}

} // namespace

char* convertWStringToTString(const wchar_t* a_wcsSource, char* a_tcsBuffer,
                              std::size_t a_uBufferSize) {
    const int needed = narrowLength(a_wcsSource);
    if (a_uBufferSize < static_cast<std::size_t>(needed) + 1) {
        throw std::invalid_argument("convertWStringToTString. Buffer is too small.");
    }
    int produced = 0;
    if (needed > 0) {
        produced =
            WideCharToMultiByte(CP_ACP, 0, a_wcsSource, static_cast<int>(std::wcslen(a_wcsSource)),
                                a_tcsBuffer, static_cast<int>(a_uBufferSize), nullptr, nullptr);
    }
    a_tcsBuffer[produced] = '\0';
    return a_tcsBuffer;
}

wchar_t* convertCStringToTString(const char* a_tcsSource, wchar_t* a_wcsBuffer,
                                 std::size_t a_uBufferSize) {
    const int needed = wideLength(a_tcsSource);
    if (a_uBufferSize < static_cast<std::size_t>(needed) + 1) {
        throw std::invalid_argument("convertCStringToTString. Buffer is too small.");
    }
    int produced = 0;
    if (needed > 0) {
        produced =
            MultiByteToWideChar(CP_ACP, 0, a_tcsSource, static_cast<int>(std::strlen(a_tcsSource)),
                                a_wcsBuffer, static_cast<int>(a_uBufferSize));
    }
    a_wcsBuffer[produced] = L'\0';
    return a_wcsBuffer;
}

std::string toNarrowString(const wchar_t* a_wcsSource) {
    const std::size_t capacity = static_cast<std::size_t>(narrowLength(a_wcsSource)) + 1;
    auto scratch = std::make_unique<char[]>(capacity);
    return std::string(convertWStringToTString(a_wcsSource, scratch.get(), capacity));
}

std::wstring toWideString(const char* a_tcsSource) {
    const std::size_t capacity = static_cast<std::size_t>(wideLength(a_tcsSource)) + 1;
    auto scratch = std::make_unique<wchar_t[]>(capacity);
    return std::wstring(convertCStringToTString(a_tcsSource, scratch.get(), capacity));
}

std::wstring copyWideString(const wchar_t* a_wcsSource) {
    return std::wstring(a_wcsSource);
}

std::wstring decodeUtf8(const char* a_bytes, std::size_t a_length) {
    const int length = static_cast<int>(a_length);
    if (length == 0) {
        return std::wstring();
    }
    std::wstring text(
        static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, a_bytes, length, nullptr, 0)),
        L'\0');
    MultiByteToWideChar(CP_UTF8, 0, a_bytes, length, text.data(), static_cast<int>(text.size()));
    return text;
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

std::vector<std::wstring> splitAtDots(const wchar_t* a_wcsText) {
    std::vector<std::wstring> pieces;
    const wchar_t* pieceStart = a_wcsText;
    for (const wchar_t* dot = std::wcschr(pieceStart, L'.'); dot != nullptr;
         dot = std::wcschr(pieceStart, L'.')) {
        pieces.emplace_back(pieceStart, dot);
        pieceStart = dot + 1;
    }
    pieces.emplace_back(pieceStart);
    return pieces;
}

wchar_t* trimCharacter(const wchar_t* a_wcsSource, wchar_t a_wcCharacter,
                       wchar_t* a_tcsStringTrimmed, std::size_t a_uCapacity) {
    const std::size_t sourceLength = std::wcslen(a_wcsSource);
    std::size_t first = 0;
    while (first < sourceLength && a_wcsSource[first] == a_wcCharacter) {
        ++first;
    }
    std::size_t end = sourceLength;
    while (end > first && a_wcsSource[end - 1] == a_wcCharacter) {
        --end;
    }
    const std::size_t trimmedLength = end - first;
    if (a_uCapacity < trimmedLength + 1) {
        throw std::invalid_argument("Length of a_tcsStringTrimmed is too low.");
    }
    std::wmemcpy(a_tcsStringTrimmed, a_wcsSource + first, trimmedLength);
    a_tcsStringTrimmed[trimmedLength] = L'\0';
    return a_tcsStringTrimmed;
}

void trimInPlace(std::wstring& a_wstrText, wchar_t a_wcCharacter) {
    if (a_wstrText.empty()) {
        return;
    }
    const std::size_t capacity = a_wstrText.size() + 1;
    auto scratch = std::make_unique<wchar_t[]>(capacity);
    a_wstrText = trimCharacter(a_wstrText.c_str(), a_wcCharacter, scratch.get(), capacity);
}

std::wstring trimmedCopy(std::wstring a_wstrText, wchar_t a_wcCharacter) {
    trimInPlace(a_wstrText, a_wcCharacter);
    return a_wstrText;
}

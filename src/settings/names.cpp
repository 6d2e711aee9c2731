#include "settings/settings.h"

#include "platform/text.h"

#include <windows.h>

#include <cwchar>

namespace {

// Currency symbols (Unicode's Sc) are Java letters, as $ is: probe.\u20acuro is a
// class name.
bool isCurrencySymbol(wchar_t a_character) {
    static const wchar_t ranges[][2] = {
        {0x00A2, 0x00A5}, {0x058F, 0x058F}, {0x060B, 0x060B}, {0x07FE, 0x07FF}, {0x09F2, 0x09F3},
        {0x09FB, 0x09FB}, {0x0AF1, 0x0AF1}, {0x0BF9, 0x0BF9}, {0x0E3F, 0x0E3F}, {0x17DB, 0x17DB},
        {0x20A0, 0x20C0}, {0xA838, 0xA838}, {0xFDFC, 0xFDFC}, {0xFE69, 0xFE69}, {0xFF04, 0xFF04},
        {0xFFE0, 0xFFE1}, {0xFFE5, 0xFFE6},
    };
    for (const auto& range : ranges) {
        if (a_character >= range[0] && a_character <= range[1]) {
            return true;
        }
    }
    return false;
}

bool isJavaLetter(wchar_t a_character) {
    if (a_character < 0x80) {
        return (a_character >= L'a' && a_character <= L'z') ||
               (a_character >= L'A' && a_character <= L'Z') || a_character == L'_' ||
               a_character == L'$';
    }
    if (a_character >= 0xD800 && a_character <= 0xDFFF) {
        return true; // a letter beyond the first plane, taken as one
    }
    WORD type = 0;
    return isCurrencySymbol(a_character) ||
           (GetStringTypeW(CT_CTYPE1, &a_character, 1, &type) && (type & C1_ALPHA) != 0);
}

bool isJavaDigit(wchar_t a_character) {
    if (a_character < 0x80) {
        return a_character >= L'0' && a_character <= L'9';
    }
    WORD type = 0;
    return GetStringTypeW(CT_CTYPE1, &a_character, 1, &type) && (type & C1_DIGIT) != 0;
}

} // namespace

bool isQualifiedJavaName(const std::wstring& a_name) {
    bool identifierStart = true;
    for (wchar_t character : a_name) {
        if (character == L'.' && !identifierStart) {
            identifierStart = true;
        } else if (isJavaLetter(character) || (!identifierStart && isJavaDigit(character))) {
            identifierStart = false;
        } else {
            return false;
        }
    }
    return !identifierStart;
}

bool isServiceName(const std::wstring& a_name) {
    return !a_name.empty() && a_name.size() <= 256 &&
           a_name.find_first_of(L"/\\") == std::wstring::npos;
}

bool isUsableMutexName(const std::wstring& a_name) {
    std::wstring name = a_name;
    for (const wchar_t* prefix : {L"Global\\", L"Local\\"}) {
        if (name.compare(0, std::wcslen(prefix), prefix) == 0) {
            name = name.substr(std::wcslen(prefix));
            break;
        }
    }
    return !name.empty() && a_name.size() <= MAX_PATH && name.find(L'\\') == std::wstring::npos;
}

bool isWebAddress(const std::wstring& a_value) {
    constexpr std::size_t longestAddress = 2048;
    std::size_t hostBegin = 0;
    if (startsWithIgnoringCase(a_value, L"https://")) {
        hostBegin = 8;
    } else if (startsWithIgnoringCase(a_value, L"http://")) {
        hostBegin = 7;
    } else {
        return false;
    }
    if (a_value.size() > longestAddress) {
        return false;
    }
    for (wchar_t character : a_value) {
        if (character <= L' ' || (character >= 0x7F && character <= 0x9F) ||
            isAnyOf(character, L"\"<>")) {
            return false;
        }
    }
    const std::size_t authorityEnd = a_value.find_first_of(L"/?#", hostBegin);
    std::wstring authority = a_value.substr(hostBegin, authorityEnd - hostBegin);
    authority = authority.substr(authority.rfind(L'@') + 1); // without user@
    return !authority.empty() && authority.front() != L':';
}

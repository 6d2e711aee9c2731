#include "version/java_version.h"

#include "platform/text.h"

#include <climits>
#include <cwchar>
#include <stdexcept>
#include <vector>

namespace {

constexpr unsigned long conversionFailed = 0;
constexpr unsigned long conversionOverflow = 4294967295UL;

std::int32_t parseComponent(const std::wstring& a_piece) {
    if (trimmedCopy(a_piece, L' ') == L"0") {
        return 0;
    }
    // 32 bits wide on Windows: an overflow gives 4294967295 and a minus sign
    // negates modulo 2^32.
    const unsigned long value =
        static_cast<std::uint32_t>(std::wcstoul(a_piece.c_str(), nullptr, 10));
    if (value == conversionFailed || value == conversionOverflow) {
        throw std::invalid_argument("Invalid argument format.");
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// Absent orders below present; two absent components end the comparison.
int compareOptional(std::int32_t a_left, std::int32_t a_right, bool& a_decided) {
    a_decided = true;
    if (a_left == -1) {
        return a_right == -1 ? 0 : -1;
    }
    if (a_right == -1) {
        return 1;
    }
    if (a_left != a_right) {
        return a_left < a_right ? -1 : 1;
    }
    a_decided = false;
    return 0;
}

std::wstring normalisedVersionText(const std::wstring& a_text) {
    const std::size_t firstDot = a_text.find(L'.');
    if (firstDot == std::wstring::npos) {
        return a_text + L".0";
    }
    return a_text.substr(0, a_text.find(L'.', firstDot + 1));
}

bool tryParseJavaVersion(const std::wstring& a_text, JavaVersion& a_version) {
    try {
        parseJavaVersion(a_text.c_str(), a_version);
        return true;
    } catch (const std::invalid_argument&) {
        return false;
    }
}

// Decimal digits that fit an int, blanks around them allowed.
bool isPlainNumber(const std::wstring& a_piece) {
    const std::wstring digits = trimmedCopy(a_piece, L' ');
    long long value = 0;
    for (wchar_t digit : digits) {
        if (digit < L'0' || digit > L'9') {
            return false;
        }
        value = value * 10 + (digit - L'0');
        if (value > INT_MAX) {
            return false;
        }
    }
    return !digits.empty();
}

} // namespace

void parseJavaVersion(const wchar_t* a_wcsText, JavaVersion& a_version) {
    a_version = JavaVersion{};
    if (a_wcsText == nullptr) {
        throw std::invalid_argument("Uninitialized string passed.");
    }
    if (*a_wcsText == L'\0') {
        throw std::invalid_argument("Empty string passed.");
    }
    const std::vector<std::wstring> pieces = splitAtDots(a_wcsText);
    if (pieces.size() < 2 || pieces.size() > 4) {
        throw std::invalid_argument("Invalid argument format.");
    }
    a_version.major = parseComponent(pieces[0]);
    a_version.minor = parseComponent(pieces[1]);
    a_version.parsedCount = 2;
    a_version.third = -1;
    a_version.fourth = -1;
}

int compareJavaVersions(const JavaVersion& a_left, const JavaVersion& a_right) {
    if (a_left.major != a_right.major) {
        return a_left.major < a_right.major ? -1 : 1;
    }
    if (a_left.minor != a_right.minor) {
        return a_left.minor < a_right.minor ? -1 : 1;
    }
    bool decided = false;
    const int byThird = compareOptional(a_left.third, a_right.third, decided);
    if (decided) {
        return byThird;
    }
    const int byFourth = compareOptional(a_left.fourth, a_right.fourth, decided);
    return decided ? byFourth : 0;
}

bool readJavaVersion(const std::wstring& a_text, JavaVersion& a_version) {
    return tryParseJavaVersion(a_text, a_version) ||
           tryParseJavaVersion(normalisedVersionText(a_text), a_version);
}

bool readSettingsVersion(const std::wstring& a_text, JavaVersion& a_version) {
    const std::vector<std::wstring> pieces = splitAtDots(a_text.c_str());
    if (!isPlainNumber(pieces[0]) || (pieces.size() > 1 && !isPlainNumber(pieces[1]))) {
        a_version = JavaVersion{};
        return false;
    }
    return readJavaVersion(a_text, a_version);
}

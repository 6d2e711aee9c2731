#include "version/java_version.h"

#include "platform/text.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace {

constexpr std::uint64_t noNumber = 0xFFFFFFFFull; // wcstoul's answer to an overflow

bool isDigit(wchar_t a_character) {
    return a_character >= L'0' && a_character <= L'9';
}

// The one reader of decimal digits: the run starting at a_at, which it passes.
// Saturates at a_limit + 1, so that a caller sees an overflow as a number
// above its limit.
std::uint64_t readDigits(const std::wstring& a_text, std::size_t& a_at, std::uint64_t a_limit) {
    std::uint64_t value = 0;
    for (; a_at < a_text.size() && isDigit(a_text[a_at]); ++a_at) {
        value = std::min(value * 10 + static_cast<unsigned>(a_text[a_at] - L'0'), a_limit + 1);
    }
    return value;
}

bool isWhiteSpace(wchar_t a_character) {
    return a_character == L' ' || (a_character >= L'\t' && a_character <= L'\r');
}

// As wcstoul(a_piece, nullptr, 10) with a 32-bit unsigned long: an overflow
// gives 4294967295, and a minus sign negates modulo 2^32.
std::uint32_t runtimeNumber(const std::wstring& a_piece) {
    std::size_t at = 0;
    while (at < a_piece.size() && isWhiteSpace(a_piece[at])) {
        ++at;
    }
    const bool negative = at < a_piece.size() && a_piece[at] == L'-';
    if (at < a_piece.size() && (a_piece[at] == L'-' || a_piece[at] == L'+')) {
        ++at;
    }
    const std::uint64_t value = readDigits(a_piece, at, noNumber);
    if (value > noNumber) {
        return static_cast<std::uint32_t>(noNumber);
    }
    return negative ? static_cast<std::uint32_t>(0x100000000ull - value)
                    : static_cast<std::uint32_t>(value);
}

// A version piece: a number that is neither 0 (unless the piece is "0") nor
// an overflow.
bool readComponent(const std::wstring& a_piece, std::int32_t& a_component) {
    if (trimmed(a_piece, L" ") == L"0") {
        a_component = 0;
        return true;
    }
    const std::uint32_t value = runtimeNumber(a_piece);
    if (value == 0 || value == noNumber) {
        return false;
    }
    a_component = static_cast<std::int32_t>(value);
    return true;
}

// k dots give k + 1 pieces, empty ones included.
std::vector<std::wstring> splitAtDots(const std::wstring& a_text) {
    std::vector<std::wstring> pieces;
    std::size_t start = 0;
    for (std::size_t dot = a_text.find(L'.'); dot != std::wstring::npos;
         dot = a_text.find(L'.', start)) {
        pieces.push_back(a_text.substr(start, dot - start));
        start = dot + 1;
    }
    pieces.push_back(a_text.substr(start));
    return pieces;
}

std::wstring normalisedVersionText(const std::wstring& a_text) {
    const std::size_t firstDot = a_text.find(L'.');
    if (firstDot == std::wstring::npos) {
        return a_text + L".0";
    }
    return a_text.substr(0, a_text.find(L'.', firstDot + 1));
}

// Decimal digits that fit an int, blanks around them allowed.
bool isPlainNumber(const std::wstring& a_piece) {
    const std::wstring digits = trimmed(a_piece, L" ");
    std::size_t at = 0;
    return readDigits(digits, at, INT_MAX) <= INT_MAX && at == digits.size() && !digits.empty();
}

bool startsWith(const std::string& a_text, std::size_t a_at, const char* a_prefix) {
    return a_text.compare(a_at, std::char_traits<char>::length(a_prefix), a_prefix) == 0;
}

// The runtime echoes options from JAVA_TOOL_OPTIONS, _JAVA_OPTIONS and
// JDK_JAVA_OPTIONS before its report; those lines may hold quotes of their own.
std::string withoutPickedUpLines(const std::string& a_report) {
    std::string kept;
    for (std::size_t start = 0; start < a_report.size();) {
        const std::size_t lineEnd = a_report.find('\n', start);
        const std::size_t next = lineEnd == std::string::npos ? a_report.size() : lineEnd + 1;
        if (!startsWith(a_report, start, "Picked up ") &&
            !startsWith(a_report, start, "NOTE: Picked up ")) {
            kept.append(a_report, start, next - start);
        }
        start = next;
    }
    return kept;
}

std::vector<std::uint64_t> numbersIn(const std::wstring& a_name) {
    std::vector<std::uint64_t> numbers;
    for (std::size_t at = 0; at < a_name.size();) {
        if (isDigit(a_name[at])) {
            numbers.push_back(readDigits(a_name, at, UINT64_MAX - 1));
        } else {
            ++at;
        }
    }
    return numbers;
}

} // namespace

bool parseJavaVersion(const std::wstring& a_text, JavaVersion& a_version) {
    a_version = JavaVersion{};
    const std::vector<std::wstring> pieces = splitAtDots(a_text);
    return pieces.size() >= 2 && pieces.size() <= 4 && readComponent(pieces[0], a_version.major) &&
           readComponent(pieces[1], a_version.minor);
}

int compareJavaVersions(const JavaVersion& a_left, const JavaVersion& a_right) {
    if (a_left.major != a_right.major) {
        return a_left.major < a_right.major ? -1 : 1;
    }
    if (a_left.minor != a_right.minor) {
        return a_left.minor < a_right.minor ? -1 : 1;
    }
    return 0;
}

bool readJavaVersion(const std::wstring& a_text, JavaVersion& a_version) {
    return parseJavaVersion(a_text, a_version) ||
           parseJavaVersion(normalisedVersionText(a_text), a_version);
}

bool readSettingsVersion(const std::wstring& a_text, JavaVersion& a_version) {
    const std::vector<std::wstring> pieces = splitAtDots(a_text);
    if (!isPlainNumber(pieces[0]) || (pieces.size() > 1 && !isPlainNumber(pieces[1]))) {
        a_version = JavaVersion{};
        return false;
    }
    return readJavaVersion(a_text, a_version);
}

bool extractVersionText(const std::string& a_report, std::wstring& a_versionText) {
    const std::string report = withoutPickedUpLines(a_report);
    const std::size_t first = report.find('"');
    if (first == std::string::npos) {
        return false;
    }
    const std::size_t second = report.find('"', first + 1);
    if (second == std::string::npos || second == first + 1) {
        return false;
    }
    a_versionText = fromAnsi(report.substr(first + 1, second - first - 1));
    return true;
}

bool releaseValue(const std::string& a_release, const char* a_key, std::wstring& a_value) {
    const std::string key = std::string(a_key) + "=\"";
    for (std::size_t start = 0; start < a_release.size();) {
        const std::size_t lineEnd = std::min(a_release.find('\n', start), a_release.size());
        if (startsWith(a_release, start, key.c_str())) {
            const std::size_t first = start + key.size();
            const std::size_t closing = a_release.find('"', first);
            if (closing == std::string::npos || closing > lineEnd || closing == first) {
                return false;
            }
            a_value = decodeUtf8(a_release.data() + first, closing - first);
            return true;
        }
        start = lineEnd + 1;
    }
    return false;
}

bool releaseVersionText(const std::string& a_release, std::wstring& a_versionText) {
    return releaseValue(a_release, "JAVA_VERSION", a_versionText);
}

int compareVersionNames(const std::wstring& a_left, const std::wstring& a_right) {
    const std::vector<std::uint64_t> left = numbersIn(a_left);
    const std::vector<std::uint64_t> right = numbersIn(a_right);
    if (std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end())) {
        return -1;
    }
    return std::lexicographical_compare(right.begin(), right.end(), left.begin(), left.end()) ? 1
                                                                                              : 0;
}

int javaFeatureVersion(const JavaVersion& a_version) {
    return a_version.major == 1 ? a_version.minor : a_version.major;
}

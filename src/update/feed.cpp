#include "update/feed.h"

#include "platform/crypto.h"
#include "platform/text.h"

#include <vector>

namespace {

constexpr std::size_t signatureBytes = 64;

// Whether a_text is 1 to a_longest characters, each of a_set.
bool consistsOf(const std::wstring& a_text, std::size_t a_longest, const wchar_t* a_set) {
    return !a_text.empty() && a_text.size() <= a_longest &&
           a_text.find_first_not_of(a_set) == std::wstring::npos;
}

constexpr const wchar_t* digits = L"0123456789";
constexpr const wchar_t* hexadecimal = L"0123456789abcdefABCDEF";

// "A.B.C", each number at most 65535; 0 when it is not one.
unsigned long long versionOf(const std::wstring& a_text) {
    const std::vector<std::wstring> numbers = splitAt(a_text, L'.');
    if (numbers.size() != 3) {
        return 0;
    }
    unsigned long long version = 0;
    for (std::size_t index = 0; index < numbers.size(); ++index) {
        const unsigned long long number =
            consistsOf(numbers[index], 5, digits) ? leadingNumber(numbers[index].c_str()) : ~0ULL;
        if (number > 0xFFFF) {
            return 0;
        }
        version |= number << (48 - 16 * index);
    }
    return version;
}

bool isGuid(const std::wstring& a_text) {
    const std::vector<std::wstring> groups = splitAt(a_text, L'-');
    const std::size_t lengths[] = {8, 4, 4, 4, 12};
    if (groups.size() != 5) {
        return false;
    }
    for (std::size_t index = 0; index < groups.size(); ++index) {
        if (groups[index].size() != lengths[index] ||
            !consistsOf(groups[index], lengths[index], hexadecimal)) {
            return false;
        }
    }
    return true;
}

bool isDate(const std::wstring& a_text) {
    return a_text.size() == 10 && a_text[4] == L'-' && a_text[7] == L'-' &&
           consistsOf(a_text.substr(0, 4) + a_text.substr(5, 2) + a_text.substr(8), 8, digits);
}

std::wstring inCase(std::wstring a_text, bool a_upper) {
    for (wchar_t& character : a_text) {
        if (a_upper && character >= L'a' && character <= L'z') {
            character = static_cast<wchar_t>(character - L'a' + L'A');
        } else if (!a_upper && character >= L'A' && character <= L'Z') {
            character = static_cast<wchar_t>(character - L'A' + L'a');
        }
    }
    return a_text;
}

// The bytes the signature covers (every line before its own) and the
// signature's text; false when the last line is no signature line.
bool splitAtSignature(const std::string& a_bytes, std::string& a_signed, std::string& a_signature) {
    const std::size_t line = a_bytes.rfind("\nsignature=");
    if (line == std::string::npos) {
        return false;
    }
    a_signed = a_bytes.substr(0, line + 1);
    a_signature = a_bytes.substr(line + 11);
    while (!a_signature.empty() && (a_signature.back() == '\n' || a_signature.back() == '\r')) {
        a_signature.pop_back();
    }
    return a_signature.find('\n') == std::string::npos;
}

// The signed lines' values, each key at most once.
struct FeedLines {
    std::wstring version, package, size, sha256, upgradeCode, validUntil;

    std::wstring read(const std::wstring& a_text) {
        const std::pair<const wchar_t*, std::wstring*> keys[] = {
            {L"version", &version}, {L"package", &package},          {L"size", &size},
            {L"sha256", &sha256},   {L"upgrade-code", &upgradeCode}, {L"valid-until", &validUntil}};
        // Other keys are room for what later feeds may say.
        for (const auto& [name, text] : keyValueLines(a_text)) {
            for (const auto& [key, value] : keys) {
                if (name != key) {
                    continue;
                }
                if (!value->empty()) {
                    return L"the feed gives " + name + L" twice";
                }
                *value = text;
            }
        }
        for (const auto& [key, value] : keys) {
            if (value->empty()) {
                return std::wstring(L"the feed has no ") + key;
            }
        }
        return std::wstring();
    }
};

// The feed's values, checked; why not, else empty.
std::wstring fill(const FeedLines& a_lines, Feed& a_feed) {
    a_feed.version = versionOf(a_lines.version);
    if (a_feed.version == 0) {
        return L"the feed's version is not three numbers such as 1.2.3: " + a_lines.version;
    }
    if (!consistsOf(a_lines.size, 12, digits)) {
        return L"the feed's size is not a number of bytes: " + a_lines.size;
    }
    if (!consistsOf(a_lines.sha256, 64, hexadecimal) || a_lines.sha256.size() != 64) {
        return L"the feed's sha256 is not 64 hexadecimal digits: " + a_lines.sha256;
    }
    const std::wstring& code = a_lines.upgradeCode;
    const bool braced = code.size() == 38 && code.front() == L'{' && code.back() == L'}';
    a_feed.upgradeCode = inCase(braced ? code.substr(1, 36) : code, true);
    if (!isGuid(a_feed.upgradeCode)) {
        return L"the feed's upgrade-code is not a GUID: " + code;
    }
    if (!isDate(a_lines.validUntil)) {
        return L"the feed's valid-until is not a date such as 2027-06-30: " + a_lines.validUntil;
    }
    a_feed.versionText = versionText(a_feed.version);
    a_feed.package = a_lines.package;
    a_feed.size = leadingNumber(a_lines.size.c_str());
    a_feed.sha256 = inCase(a_lines.sha256, false);
    a_feed.validUntil = a_lines.validUntil;
    return std::wstring();
}

} // namespace

FeedReading readFeed(const std::string& a_bytes, const std::string& a_point) {
    FeedReading reading;
    std::string signedBytes;
    std::string signatureText;
    if (!isUtf8(a_bytes) || !splitAtSignature(a_bytes, signedBytes, signatureText)) {
        reading.why = L"the feed is no text that ends in a signature line";
        return reading;
    }
    const std::optional<std::string> signature =
        fromBase64(decodeUtf8(signatureText.data(), signatureText.size()));
    if (!signature || signature->size() != signatureBytes ||
        !verifiesWithP256(a_point, sha256Of(signedBytes), *signature)) {
        reading.why = L"the feed's signature does not verify with update-key";
        return reading;
    }
    FeedLines lines;
    reading.why = lines.read(decodeUtf8(signedBytes.data(), signedBytes.size()));
    Feed feed;
    if (reading.why.empty()) {
        reading.why = fill(lines, feed);
    }
    if (reading.why.empty()) {
        reading.feed = feed;
    }
    return reading;
}

std::wstring refusalOf(const Feed& a_feed, unsigned long long a_ownVersion,
                       const std::wstring& a_today) {
    if (a_feed.version <= a_ownVersion) {
        return L"the feed's version " + a_feed.versionText + L" is not higher than this one, " +
               versionText(a_ownVersion);
    }
    if (a_today > a_feed.validUntil) {
        return L"the feed was valid until " + a_feed.validUntil + L" and is no longer believed";
    }
    return std::wstring();
}

KeyValueLines keyValueLines(const std::wstring& a_text) {
    KeyValueLines found;
    for (std::wstring line : splitAt(a_text, L'\n')) {
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        const std::size_t equals = line.find(L'=');
        if (equals != std::wstring::npos) {
            found.emplace_back(line.substr(0, equals), line.substr(equals + 1));
        }
    }
    return found;
}

std::wstring versionText(unsigned long long a_version) {
    return formatWideString(L"%llu.%llu.%llu", a_version >> 48, (a_version >> 32) & 0xFFFF,
                            (a_version >> 16) & 0xFFFF);
}

std::wstring packageAddress(const std::wstring& a_feedAddress, const std::wstring& a_package) {
    if (a_package.find(L"://") != std::wstring::npos) {
        return a_package;
    }
    const std::wstring feed = a_feedAddress.substr(0, a_feedAddress.find_first_of(L"?#"));
    if (!a_package.empty() && a_package.front() == L'/') { // from the server's root
        return feed.substr(0, feed.find(L'/', feed.find(L"://") + 3)) + a_package;
    }
    return feed.substr(0, feed.rfind(L'/') + 1) + a_package;
}

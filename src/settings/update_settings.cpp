#include "settings/update_settings.h"

#include "platform/text.h"
#include "settings/settings.h"

namespace {

// SubjectPublicKeyInfo of an uncompressed P-256 point up to the point's x.
constexpr char p256KeyPrefix[] = "\x30\x59\x30\x13\x06\x07\x2a\x86\x48\xce\x3d\x02\x01\x06\x08"
                                 "\x2a\x86\x48\xce\x3d\x03\x01\x07\x03\x42\x00\x04";
constexpr std::size_t p256KeyPrefixLength = sizeof p256KeyPrefix - 1;
constexpr std::size_t p256PointLength = 64;

// a_text without every a_line in it.
std::wstring without(std::wstring a_text, const wchar_t* a_line) {
    for (std::size_t at = a_text.find(a_line); at != std::wstring::npos; at = a_text.find(a_line)) {
        a_text.erase(at, std::char_traits<wchar_t>::length(a_line));
    }
    return a_text;
}

} // namespace

std::string p256PointOf(const std::wstring& a_key) {
    const std::optional<std::string> bytes = fromBase64(
        without(without(a_key, L"-----BEGIN PUBLIC KEY-----"), L"-----END PUBLIC KEY-----"));
    if (!bytes || bytes->size() != p256KeyPrefixLength + p256PointLength ||
        bytes->compare(0, p256KeyPrefixLength, p256KeyPrefix, p256KeyPrefixLength) != 0) {
        return std::string();
    }
    return bytes->substr(p256KeyPrefixLength);
}

bool isUpdateAddress(const std::wstring& a_address) {
    if (!isWebAddress(a_address)) {
        return false;
    }
    for (const wchar_t* local :
         {L"http://127.0.0.1/", L"http://127.0.0.1:", L"http://localhost/", L"http://localhost:"}) {
        if (startsWithIgnoringCase(a_address, local)) {
            return true;
        }
    }
    return startsWithIgnoringCase(a_address, L"https://");
}

UpdateSettings readUpdateSettings(const SettingsFile& a_settings,
                                  std::vector<std::wstring>& a_problems) {
    UpdateSettings read;
    if (const std::optional<std::wstring> mode = a_settings.givenValue("update-mode")) {
        const std::wstring value = trimmed(*mode, L" \t");
        read.off = value == L"off";
        if (!read.off && value != L"next-start") {
            a_problems.push_back(L"update-mode: neither next-start nor off: " + *mode);
        }
    }
    readNumberKey(a_settings, "update-check-hours", 0, 8760, L"hours", read.checkHours, a_problems);
    const std::optional<std::wstring> feed = a_settings.givenValue("update-feed");
    if (!feed) {
        return read;
    }
    if (!isUpdateAddress(*feed)) {
        a_problems.push_back(L"update-feed: not an https:// address (http:// only for 127.0.0.1 "
                             L"and localhost): " +
                             *feed);
        return read;
    }
    const std::optional<std::wstring> key = a_settings.givenValue("update-key");
    if (!key) {
        a_problems.push_back(L"update-key: missing, and update-feed names a feed");
        return read;
    }
    read.feed = *feed;
    read.key = *key;
    return read;
}

void readUsersUpdateMode(const SettingsFile& a_user, UpdateSettings& a_settings) {
    const std::optional<std::wstring> mode = a_user.givenValue("update-mode");
    if (mode && trimmed(*mode, L" \t") == L"off") {
        a_settings.off = true;
    }
}

#include "settings/service_settings.h"

#include "platform/text.h"

namespace {

// A whole number from a_lowest to a_highest, in a_unit; a problem of a_key
// otherwise, a_value keeping its default.
void readNumber(const SettingsFile& a_settings, const char* a_key, unsigned long a_lowest,
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

} // namespace

std::wstring readServiceName(const SettingsFile& a_settings) {
    const std::optional<std::wstring> name = a_settings.givenValue("service-name");
    return name ? *name : std::wstring();
}

ServiceSettings readServiceSettings(const SettingsFile& a_settings,
                                    std::vector<std::wstring>& a_problems) {
    ServiceSettings read;
    read.name = readServiceName(a_settings);
    if (!read.name.empty() && !isServiceName(read.name)) {
        a_problems.push_back(
            L"service-name: not a service name (at most 256 characters, no / or \\): " + read.name);
    }
    readNumber(a_settings, "service-stop-timeout", 1, 300, L"seconds", read.stopTimeoutSeconds,
               a_problems);
    if (const std::optional<std::wstring> restart = a_settings.givenValue("service-restart")) {
        const std::wstring value = trimmed(*restart, L" \t");
        read.restartOnFailure = value != L"no";
        if (read.restartOnFailure && value != L"on-failure") {
            a_problems.push_back(L"service-restart: neither on-failure nor no: " + *restart);
        }
    }
    readNumber(a_settings, "service-restart-delay", 0, 300, L"seconds", read.restartDelaySeconds,
               a_problems);
    readNumber(a_settings, "service-log-size", 1, 1024, L"MiB", read.logSizeMiB, a_problems);
    readNumber(a_settings, "service-log-keep", 0, 99, L"files", read.logKeep, a_problems);
    return read;
}

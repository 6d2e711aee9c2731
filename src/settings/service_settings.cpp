#include "settings/service_settings.h"

#include "platform/text.h"

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
    readNumberKey(a_settings, "service-stop-timeout", 1, 300, L"seconds", read.stopTimeoutSeconds,
                  a_problems);
    if (const std::optional<std::wstring> restart = a_settings.givenValue("service-restart")) {
        const std::wstring value = trimmed(*restart, L" \t");
        read.restartOnFailure = value != L"no";
        if (read.restartOnFailure && value != L"on-failure") {
            a_problems.push_back(L"service-restart: neither on-failure nor no: " + *restart);
        }
    }
    readNumberKey(a_settings, "service-restart-delay", 0, 300, L"seconds", read.restartDelaySeconds,
                  a_problems);
    readNumberKey(a_settings, "service-log-size", 1, 1024, L"MiB", read.logSizeMiB, a_problems);
    readNumberKey(a_settings, "service-log-keep", 0, 99, L"files", read.logKeep, a_problems);
    return read;
}

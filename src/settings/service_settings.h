#pragma once

#include "settings/settings_file.h"

#include <string>
#include <vector>

// The keys of a launcher that is a Windows service (service-name).
struct ServiceSettings {
    std::wstring name;
    // How long a stop waits for the application after Ctrl+C.
    unsigned long stopTimeoutSeconds = 20;
    // service-restart=on-failure: an end nobody asked for starts the
    // application again, after service-restart-delay seconds.
    bool restartOnFailure = true;
    unsigned long restartDelaySeconds = 5;
    // The application's output log: rotated past service-log-size MiB,
    // keeping service-log-keep older files.
    unsigned long logSizeMiB = 10;
    unsigned long logKeep = 5;
};

// service-name as written: empty when the key is absent or empty.
std::wstring readServiceName(const SettingsFile& a_settings);

// A name the service control manager takes: 1 to 256 characters, no slash
// or backslash.
bool isServiceName(const std::wstring& a_name);

// Every service key; what is wrong with one is appended to a_problems as
// "key: why", the key keeping its default.
ServiceSettings readServiceSettings(const SettingsFile& a_settings,
                                    std::vector<std::wstring>& a_problems);

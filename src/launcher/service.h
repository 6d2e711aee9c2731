#pragma once

#include <optional>
#include <string>
#include <vector>

class SettingsFile;

// A launcher whose settings name a service (service-name) is that Windows
// service when the service control manager starts it: it connects first,
// reports its start as it goes, runs the application as a process it waits
// for, stops it with Ctrl+C when asked (ending it after
// service-stop-timeout), and stops with the application's exit code, or the
// launcher's own when the start could not happen. None when the launcher is
// no service: no service-name, or started by a person, who gets the plain
// start. a_launcherArguments are the launcher's own command-line arguments;
// the service's start parameters follow them. a_settingsFile: tavrin.ini as
// the entry point read it (null: none could be read), which the service's
// start reads no second time.
std::optional<int> runAsService(const SettingsFile* a_settingsFile,
                                const std::vector<std::wstring>& a_launcherArguments);

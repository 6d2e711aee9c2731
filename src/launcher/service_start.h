#pragma once

#include <optional>
#include <string>
#include <vector>

class SettingsFile;

// The launcher as the Windows service its settings name (service-name), when
// the service control manager started it: the start-up sequence in the
// service's role, on the service's thread (see service/service.h). None when
// it is no service: no settings, no service-name, or started by a person.
std::optional<int> startAsService(const SettingsFile* a_settingsFile,
                                  const std::vector<std::wstring>& a_launcherArguments);

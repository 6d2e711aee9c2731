#pragma once

#include <optional>
#include <string>
#include <vector>

class SettingsFile;

// The launcher as a Windows service, when the service control manager
// started it (its parent is services.exe), whatever its settings say: the
// start-up sequence in the service's role, on the service's thread (see
// service/service.h). None when it was started by a person.
std::optional<int> startAsService(const SettingsFile* a_settingsFile,
                                  const std::vector<std::wstring>& a_launcherArguments);

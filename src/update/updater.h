#pragma once

#include <optional>
#include <string>
#include <vector>

class LauncherHost;

// The updater (tavrin-update.exe) runs as a copy in the user's update
// folder, so that checks and installs hold nothing of the application's
// folder. It is told its step by its first argument: the check, after a
// start; the install, before one. Runs that step when a_arguments name one
// (its exit code); none otherwise.
std::optional<int> runUpdaterStep(LauncherHost& a_host,
                                  const std::vector<std::wstring>& a_arguments);

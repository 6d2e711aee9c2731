#pragma once

#include "launcher/role.h"
#include "platform/named_mutex.h"

#include <windows.h>

#include <string>
#include <vector>

class LauncherHost;
class MessageTexts;
class ServiceSide;
class SettingsFile;
class StartLog;
struct SettingsProblem;

// The start-up sequence, from finding tavrin.ini to rewriting it after the
// launch: the settings file, the single-run rule, the settings, the search
// for a runtime, the launch (in the launcher's process, or as a process) and
// its end. a_launcherArguments are the launcher's own command-line
// arguments, which reach the application only with pass-arguments=1.
// a_singleRunMutex holds the single-run-mutex while the launcher runs; the
// caller releases it. a_kind chooses the launcher's role (role.h); with
// LauncherKind::service, a_service is the service's side, and the exit code
// is the application's, or the launcher's own when it could not start it.
// a_settingsFile: tavrin.ini as the entry point has read it already, so that
// a start reads it once; null: read here. Returns the process exit code (see
// exit_codes.h).
int runLauncher(LauncherHost& a_host, NamedMutex& a_singleRunMutex,
                const std::vector<std::wstring>& a_launcherArguments,
                LauncherKind a_kind = LauncherKind::windowed, ServiceSide* a_service = nullptr,
                const SettingsFile* a_settingsFile = nullptr);

// The settings' problems, in the log and to the user: the box of the first
// missing file, then the invalid-settings one.
void showSettingsProblems(LauncherHost& a_host, const std::vector<SettingsProblem>& a_problems,
                          const MessageTexts& a_texts, StartLog& a_log);

#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

class LauncherHost;
class StartLog;
struct LauncherSettings;

// What a start with a staged update hands to the updater.
struct UpdateHandOver {
    HANDLE singleRunMutex = nullptr;     // held by this start; null when there is none
    std::wstring callersFolder;          // where the new version starts
    std::vector<std::wstring> arguments; // the new version's, as this start got them
};

// Before Java starts, the single-run rule held: a staged update goes to the
// updater, which installs it once this launcher has ended (nothing may
// hold the application's files then) and starts the new version. The
// updater holds the single-run-mutex until then. Returns this start's exit
// code; none when nothing is staged or the updater cannot take it, and the
// start goes on as before.
std::optional<int> handOverStagedUpdate(LauncherHost& a_host, const LauncherSettings& a_settings,
                                        const UpdateHandOver& a_handOver, StartLog& a_log);

// The updater's install; a_arguments: the launcher's path, the caller's
// folder, the launcher's process and single-run-mutex handles (inherited),
// then the application's arguments. Once the launcher has ended, the staged
// package is opened without write sharing and its SHA-256 checked again,
// then msiexec installs it (quietly for a per-user package; with progress,
// and Windows asking for elevation, for a per-machine one). A failed
// install marks its version as not to be tried again. Then the launcher
// starts with the arguments, the new version or the old. Returns the
// updater's exit code.
int runUpdateInstall(LauncherHost& a_host, const std::vector<std::wstring>& a_arguments);

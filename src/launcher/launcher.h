#pragma once

#include "platform/named_mutex.h"

#include <windows.h>

#include <string>
#include <vector>

class LauncherHost;
class MessageTexts;
class SettingsFile;
class StartLog;
struct LauncherSettings;
struct SettingsProblem;

// tavrin.exe, for windowed applications, and tavrinc.exe, for command-line
// ones: the console launcher tells its messages on standard error and asks
// nothing (as with ask-for-java-location=0), and its application shares the
// console and the standard streams; it always waits, and ends with the
// application's exit code.
// A Windows service (service-name) shows nothing and asks nothing, and
// waits for its application, which runs without a window.
enum class LauncherKind { windowed, console, service };

// How a service's application ended.
struct ServiceStop {
    bool requested = false; // a stop (or shutdown) was asked for
    bool ctrlCSent = false; // the application was sent Ctrl+C
    bool ended = false;     // it was still running after the stop's time-out
};

// The service control manager's side of a service's start: the start-up
// sequence tells it how the start goes, and asks it how the application's
// end came about.
class ServiceRole {
public:
    // A step of the start (the settings read, a runtime checked).
    virtual void progress() = 0;
    // The application runs; a stop sends it Ctrl+C and waits
    // a_stopTimeoutSeconds before it ends it.
    virtual void running(DWORD a_processId, unsigned long a_stopTimeoutSeconds) = 0;
    // After the application has ended.
    virtual ServiceStop stopped() = 0;

protected:
    ~ServiceRole() = default;
};

// The start-up sequence, from finding tavrin.ini to rewriting it after the
// launch. a_launcherArguments are the launcher's own command-line arguments,
// which reach the application only with pass-arguments=1. a_singleRunMutex
// holds the single-run-mutex while the launcher runs; the caller releases it.
// Returns the process exit code (see exit_codes.h).
// With LauncherKind::service, a_service is the service's side; the exit
// code is then the application's, or the launcher's own when it could not
// start it. a_settingsFile: tavrin.ini as the entry point has read it
// already, so that a start reads it once; null: read here.
int runLauncher(LauncherHost& a_host, NamedMutex& a_singleRunMutex,
                const std::vector<std::wstring>& a_launcherArguments,
                LauncherKind a_kind = LauncherKind::windowed, ServiceRole* a_service = nullptr,
                const SettingsFile* a_settingsFile = nullptr);

// The shared block in which the launcher that started the application keeps
// its process for single-run-activate: the mutex's name and
// ".tavrin-application", in the user's session (Local\ for Global\).
std::wstring processRecordName(const std::wstring& a_mutexName);

// The settings' problems, in the log and to the user: the box of the first
// missing file, then the invalid-settings one.
void showSettingsProblems(LauncherHost& a_host, const std::vector<SettingsProblem>& a_problems,
                          const MessageTexts& a_texts, StartLog& a_log);

#pragma once

#include "process/process_executor.h"
#include "service/service_host.h"
#include "settings/settings.h"

#include <windows.h>

#include <optional>
#include <string>

class LauncherHost;
class MessageTexts;
class ServiceSide;
class StartLog;

// tavrin.exe, for windowed applications, and tavrinc.exe, for command-line
// ones: the console launcher tells its messages on standard error and asks
// nothing (as with ask-for-java-location=0), and its application shares the
// console and the standard streams; it always waits, and ends with the
// application's exit code.
// A Windows service (service-name) shows nothing and asks nothing, and
// waits for its application, which runs without a window.
enum class LauncherKind { windowed, console, service };

// What differs between the three, decided once from the kind: the start-up
// sequence asks its role, never its kind.
class LauncherRole {
public:
    // a_service: the service's side, for LauncherKind::service.
    LauncherRole(LauncherKind a_kind, LauncherHost& a_host, ServiceSide* a_service);

    // The host the start talks through: a service's shows nothing.
    LauncherHost& host() { return m_serviceHost ? *m_serviceHost : m_host; }

    SettingsFor settingsFor() const;
    // The console launcher's built-in texts, where they differ.
    bool consoleTexts() const { return m_kind == LauncherKind::console; }
    // Only the windowed launcher asks its user anything: question boxes,
    // the folder dialog, the download question.
    bool asks() const { return m_kind == LauncherKind::windowed; }
    // Waits for its application, and ends with its exit code.
    bool alwaysWaits() const { return m_kind != LauncherKind::windowed; }
    // A service's application is a process it can stop.
    bool mayStartInProcess() const { return m_kind != LauncherKind::service; }
    // A service is updated by whoever upgrades the server, not by its start.
    bool checksForUpdates() const { return m_kind != LauncherKind::service; }
    // In process, the windowed launcher's streams are the redirection files
    // (the console's are the caller's), and the JVM is javaw.
    bool ownStreamsInProcess() const { return m_kind == LauncherKind::windowed; }
    // A service's log is written as it goes, so that a running service's
    // start can be read.
    bool logsAsItGoes() const { return m_service != nullptr; }
    // The exit code of a start the single-run rule refuses.
    int refusedExitCode() const;

    // The log file: log-file, or, for a service, which has nobody to tell,
    // <launcher name>.service.log beside it.
    std::wstring logFile(const SettingsFile& a_settings) const;
    // Where the application works: working-directory, else the caller's
    // folder for the console launcher, else the launcher's own.
    std::wstring workingFolder(const LauncherSettings& a_settings, const std::wstring& a_callers,
                               const std::wstring& a_launchers) const;

    // A step of the start (a service reports its progress).
    void progress();
    // Starts the application as a process: sharing the console and its
    // streams, ending with the launcher (the console launcher's); with its
    // output log <launcher name>.out.log, in a job and waited for (a
    // service's); with its redirection files a_baseName and the "starting"
    // cursor (the windowed launcher's).
    ProcessResult startProcess(LauncherHost& a_host, const std::wstring& a_commandLine,
                               const std::wstring& a_folder, const std::wstring& a_baseName,
                               const LauncherSettings& a_settings, StartObserver& a_observer) const;
    // The application runs: its window may take the foreground (the
    // windowed launcher's), or a stop may now end it (a service's).
    void started(LauncherHost& a_host, HANDLE a_process, DWORD a_processId,
                 const LauncherSettings& a_settings);
    // A start that cannot happen, a_why: the author's text when given, else
    // the console launcher's own sentence; the end's exit code.
    int launchFailed(LauncherHost& a_host, const MessageTexts& a_texts, const std::wstring& a_why,
                     StartLog& a_log) const;
    // The end of a start whose application was started: the application's
    // exit code for the console launcher and a service (whose log tells how
    // it ended), else a_saved, the rewrite's.
    int ended(DWORD a_exitCode, int a_saved, const ServiceSettings& a_settings, StartLog& a_log);

private:
    LauncherKind m_kind;
    LauncherHost& m_host;
    ServiceSide* m_service;
    std::optional<ServiceHost> m_serviceHost;
};

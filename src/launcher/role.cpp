#include "launcher/role.h"

#include "host/launcher_host.h"
#include "host/redirected_run.h"
#include "launcher/exit_codes.h"
#include "messages/message_texts.h"
#include "messages/messages.h"
#include "messages/start_log.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "service/service.h"

LauncherRole::LauncherRole(LauncherKind a_kind, LauncherHost& a_host, ServiceSide* a_service)
    : m_kind(a_kind), m_host(a_host), m_service(a_service) {
    if (m_service != nullptr) {
        m_serviceHost.emplace(a_host, *m_service);
    }
}

SettingsFor LauncherRole::settingsFor() const {
    switch (m_kind) {
    case LauncherKind::console:
        return SettingsFor::consoleLauncher;
    case LauncherKind::service:
        return SettingsFor::service;
    case LauncherKind::windowed:
        break;
    }
    return SettingsFor::windowedLauncher;
}

int LauncherRole::refusedExitCode() const {
    return m_kind == LauncherKind::windowed ? exit_codes::anotherInstanceRunning
                                            : exit_codes::consoleAlreadyRunning;
}

std::wstring LauncherRole::logFile(const SettingsFile& a_settings) const {
    const std::wstring logFile = readLogFile(a_settings);
    if (!logFile.empty() || m_service == nullptr) {
        return logFile;
    }
    return moduleRelativePath(executableStem() + L".service.log");
}

std::wstring LauncherRole::workingFolder(const LauncherSettings& a_settings,
                                         const std::wstring& a_callers,
                                         const std::wstring& a_launchers) const {
    if (!a_settings.workingDirectory.empty()) {
        return a_settings.workingDirectory;
    }
    return m_kind == LauncherKind::console && !a_callers.empty() ? a_callers : a_launchers;
}

void LauncherRole::progress() {
    if (m_service != nullptr) {
        m_service->progress();
    }
}

ProcessResult LauncherRole::startProcess(LauncherHost& a_host, const std::wstring& a_commandLine,
                                         const std::wstring& a_folder,
                                         const std::wstring& a_baseName,
                                         const LauncherSettings& a_settings,
                                         StartObserver& a_observer) const {
    ProcessRequest request;
    request.commandLine = a_commandLine;
    request.workingDirectory = a_folder;
    request.observer = &a_observer;
    request.wait = a_settings.waitForExit || alwaysWaits();
    request.endWithLauncher = alwaysWaits();
    if (m_kind == LauncherKind::console) {
        request.inheritStreams = true;
        return a_host.runProcess(request);
    }
    // A service's output is kept across its runs; it has a console of its
    // own, for Ctrl+C.
    if (m_service != nullptr) {
        request.outputLog =
            OutputLogFile{executableStem() + L".out.log",
                          static_cast<unsigned long long>(a_settings.service.logSizeMiB) << 20,
                          a_settings.service.logKeep};
    }
    // What the windowed launcher's application writes lands in the
    // redirection files, and nothing of it is read here; it keeps the
    // "starting" cursor until its window is up.
    request.baseName = a_baseName;
    request.startupFeedback = m_kind == LauncherKind::windowed;
    return runRedirected(a_host, request);
}

void LauncherRole::started(LauncherHost& a_host, HANDLE a_process, DWORD a_processId,
                           const LauncherSettings& a_settings) {
    if (m_kind == LauncherKind::windowed) {
        a_host.handOverForeground(a_processId, a_settings.waitForExit);
    }
    if (m_service != nullptr) {
        m_service->running(a_process, a_processId, a_settings.service);
    }
}

int LauncherRole::launchFailed(LauncherHost& a_host, const MessageTexts& a_texts,
                               const std::wstring& a_why, StartLog& a_log) const {
    if (a_texts.given(MessageKey::launchFailed)) {
        a_host.showMessage(a_texts.text(MessageKey::launchFailed), messages::errorCaption,
                           messages::plainBox);
    } else if (m_kind == LauncherKind::console) {
        a_host.showMessage(formatWideString(messages::launchFailedConsole, a_why.c_str()),
                           messages::errorCaption, messages::plainBox);
    }
    const std::wstring reason = L"the application could not be started: " + a_why;
    return a_log.end(exit_codes::launchFailed, reason.c_str());
}

int LauncherRole::ended(DWORD a_exitCode, int a_saved, const ServiceSettings& a_settings,
                        StartLog& a_log) {
    if (m_service != nullptr) {
        logServiceEnd(m_service->stopped(), a_exitCode, a_settings, a_log);
    }
    // A command line's caller reads the application's exit code; a settings
    // file that could not be rewritten is left as it was either way.
    if (alwaysWaits()) {
        return a_log.end(static_cast<int>(a_exitCode), L"the application's own exit code");
    }
    return a_log.end(a_saved, a_saved == exit_codes::normalEnd
                                  ? L"the application was started"
                                  : L"the application was started, but tavrin.ini could not be "
                                    L"rewritten; it is unchanged");
}

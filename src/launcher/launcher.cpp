#include "launcher/launcher.h"

#include "host/launcher_host.h"
#include "host/redirected_run.h"
#include "launcher/exit_codes.h"
#include "launcher/launch_line.h"
#include "messages/message_texts.h"
#include "messages/messages.h"
#include "messages/start_log.h"
#include "platform/command_line.h"
#include "platform/environment.h"
#include "platform/paths.h"
#include "platform/process_record.h"
#include "platform/text.h"
#include "process/process_executor.h"
#include "runtime/java_discovery.h"
#include "settings/settings.h"

namespace {

constexpr DWORD mutexWaitMs = 100;
constexpr const wchar_t* launchBaseName = L"java.jar.run";

// single-run-mutex, and whether a second start brings the running
// application forward (single-run-activate).
struct SingleRunRule {
    std::wstring mutexName;
    bool activate = false;
};

// Where the launcher that started the application keeps its process id.
std::wstring processRecordName(const std::wstring& a_mutexName) {
    return a_mutexName + L".tavrin-application";
}

// With single-run-activate, the running application's window comes forward
// when it has one; otherwise the "Wait" message.
void refuseSecondInstance(LauncherHost& a_host, const SingleRunRule& a_rule,
                          const MessageTexts& a_texts) {
    if (a_rule.activate) {
        const DWORD running = ProcessRecord::read(processRecordName(a_rule.mutexName));
        if (running != 0 && a_host.activateWindowOf(running)) {
            return;
        }
    }
    a_host.showMessage(a_texts.text(MessageKey::alreadyStarted), messages::alreadyRunningCaption,
                       messages::alreadyRunningBox);
}

// Creates the mutex owned, or finds another launcher (or, with activation, its
// application) holding it, which ends this start. A name that cannot be used
// for a mutex ends the start silently. With activation the application gets
// a handle, so that the rule lasts as long as it runs.
bool acquireSingleRunMutex(NamedMutex& a_mutex, const SingleRunRule& a_rule, LauncherHost& a_host,
                           const MessageTexts& a_texts, StartLog& a_log) {
    const std::wstring logged = L"single-run-mutex " + a_rule.mutexName + L": ";
    const NamedMutex::Opened opened = a_mutex.open(a_rule.mutexName, true, a_rule.activate);
    if (opened == NamedMutex::Opened::failed) {
        a_mutex.release();
        a_log.line(logged + L"the name cannot be used for a mutex");
        return false;
    }
    if (opened == NamedMutex::Opened::existed ||
        a_mutex.acquire(mutexWaitMs) == NamedMutex::Acquired::timedOut) {
        a_mutex.release(); // what is owned, if anything, and the handle
        a_log.line(logged + L"held by another launcher or its application");
        refuseSecondInstance(a_host, a_rule, a_texts);
        return false;
    }
    a_log.line(logged + L"acquired");
    return true;
}

JavaSearchRequest searchRequestFrom(const LauncherSettings& a_settings,
                                    const MessageTexts& a_texts) {
    return JavaSearchRequest{
        a_settings.minJavaVersion,    a_settings.minJavaVersionText, a_settings.maxJavaVersion,
        a_settings.javaLocation,      a_settings.askForJavaLocation, a_settings.allowNewerVersion,
        a_settings.findInstalledJava, a_settings.readJavaRelease,    a_texts,
        a_settings.javaDownloadUrl};
}

// Each key's value as the start uses it.
void logSettings(StartLog& a_log, const LauncherSettings& a_settings,
                 const std::wstring& a_logFile) {
    const auto text = [](const std::wstring& a_value) {
        return a_value.empty() ? std::wstring(L"(absent)") : a_value;
    };
    const auto flag = [](bool a_value) { return std::wstring(a_value ? L"1" : L"0"); };
    const std::wstring maximum = a_settings.maxJavaVersion
                                     ? formatWideString(L"%d.%d", a_settings.maxJavaVersion->major,
                                                        a_settings.maxJavaVersion->minor)
                                     : L"(absent)";
    a_log.line(L"  jar-file-name: " + text(a_settings.jarPath));
    a_log.line(L"  min-java-version: " + text(a_settings.minJavaVersionText));
    a_log.line(L"  max-java-version: " + maximum);
    a_log.line(L"  java-location: " + text(a_settings.javaLocation) +
               (a_settings.javaLocationFromUser ? L" (the user's file)" : L""));
    a_log.line(L"  java-options: " + text(a_settings.javaOptions));
    a_log.line(L"  start-arguments: " + text(a_settings.startArguments));
    a_log.line(L"  wait-for-exit: " + flag(a_settings.waitForExit));
    a_log.line(L"  ask-for-java-location: " + flag(a_settings.askForJavaLocation));
    a_log.line(L"  allow-newer-version: " + flag(a_settings.allowNewerVersion));
    a_log.line(L"  pass-arguments: " + flag(a_settings.passArguments));
    a_log.line(L"  find-installed-java: " + flag(a_settings.findInstalledJava));
    a_log.line(L"  read-java-release: " + flag(a_settings.readJavaRelease));
    a_log.line(L"  user-settings: " + text(a_settings.userSettingsFolder));
    a_log.line(L"  java-download-url: " + text(a_settings.javaDownloadUrl));
    a_log.line(L"  log-file: " + text(a_logFile));
}

// The host, with every box, answer and choice written into the log.
class LoggingHost final : public LauncherHost {
public:
    LoggingHost(LauncherHost& a_host, StartLog& a_log) : m_host(a_host), m_log(a_log) {}

    int showMessage(const std::wstring& a_text, const wchar_t* a_caption, UINT a_flags) override {
        const int answer = m_host.showMessage(a_text, a_caption, a_flags);
        if (m_log.enabled()) {
            m_log.line(L"box " + std::wstring(a_caption) + L": " + a_text);
            m_log.line(L"  answer: " + std::wstring(answerName(answer)));
        }
        return answer;
    }
    std::wstring chooseJavaFolder(const std::wstring& a_title) override {
        const std::wstring folder = m_host.chooseJavaFolder(a_title);
        m_log.line(L"folder dialog: " + (folder.empty() ? std::wstring(L"cancelled") : folder));
        return folder;
    }
    void openAddress(const std::wstring& a_address) override {
        m_log.line(L"opened: " + a_address);
        m_host.openAddress(a_address);
    }
    std::vector<std::wstring> installedJavaRuntimes() override {
        return m_host.installedJavaRuntimes();
    }
    ProcessResult runProcess(const ProcessRequest& a_request) override {
        return m_host.runProcess(a_request);
    }
    void handOverForeground(DWORD a_processId, bool a_launcherWaits) override {
        m_host.handOverForeground(a_processId, a_launcherWaits);
    }
    bool activateWindowOf(DWORD a_processId) override {
        const bool activated = m_host.activateWindowOf(a_processId);
        if (m_log.enabled()) {
            m_log.line(formatWideString(L"running application, process %lu: %s", a_processId,
                                        activated ? L"brought forward" : L"no window"));
        }
        return activated;
    }

private:
    static const wchar_t* answerName(int a_answer) {
        switch (a_answer) {
        case IDOK:
            return L"OK";
        case IDABORT:
            return L"Abort";
        case IDRETRY:
            return L"Retry";
        case IDIGNORE:
            return L"Ignore";
        case IDYES:
            return L"Yes";
        case IDNO:
            return L"No";
        default:
            return L"none (the box could not be shown)";
        }
    }

    LauncherHost& m_host;
    StartLog& m_log;
};

// What happens as soon as the application runs, before any waiting: its
// window may take the foreground, and a second start can find it.
class ApplicationStarted final : public StartObserver {
public:
    ApplicationStarted(LauncherHost& a_host, LauncherKind a_kind, bool a_wait,
                       ProcessRecord& a_record)
        : m_host(a_host), m_kind(a_kind), m_wait(a_wait), m_record(a_record) {}

    void started(DWORD a_processId) override {
        if (m_kind == LauncherKind::windowed) {
            m_host.handOverForeground(a_processId, m_wait);
        }
        m_record.set(a_processId);
    }

private:
    LauncherHost& m_host;
    LauncherKind m_kind;
    bool m_wait;
    ProcessRecord& m_record;
};

ProcessResult launchApplication(LauncherHost& a_host, const std::wstring& a_commandLine,
                                bool a_wait, LauncherKind a_kind, ProcessRecord& a_record) {
    // The system would not start it whole.
    if (a_commandLine.size() > longestCommandLine) {
        return ProcessResult{processStartFailed, "", "", 0, 0};
    }
    ApplicationStarted started(a_host, a_kind, a_wait, a_record);
    if (a_kind == LauncherKind::console) {
        // It shares the launcher's console and streams, and ends with it.
        ProcessRequest request;
        request.commandLine = a_commandLine;
        request.wait = true;
        request.inheritStreams = true;
        request.endWithLauncher = true;
        request.observer = &started;
        return a_host.runProcess(request);
    }
    // What the application writes lands in the redirection files; nothing
    // of it is read here. The system's "starting" cursor stays until the
    // application's window is up.
    ProcessRequest request;
    request.commandLine = a_commandLine;
    request.baseName = launchBaseName;
    request.wait = a_wait;
    request.startupFeedback = true;
    request.observer = &started;
    return runRedirected(a_host, request);
}

// A settings file that could not be rewritten ends a successful start with
// an exit code of its own.
int exitCodeOf(SaveResult a_saved) {
    switch (a_saved) {
    case SaveResult::notWritable:
        return exit_codes::settingsNotWritable;
    case SaveResult::notSaved:
        return exit_codes::settingsNotSaved;
    case SaveResult::saved:
        break;
    }
    return exit_codes::normalEnd;
}

} // namespace

int runLauncher(LauncherHost& a_realHost, NamedMutex& a_singleRunMutex,
                const std::vector<std::wstring>& a_launcherArguments, LauncherKind a_kind) {
    StartLog log(environmentVariable(L"TAVRIN_LOG"));
    LoggingHost host(a_realHost, log);
    // Relative paths then mean the launcher's folder, and the plain java
    // command is never taken from the folder the launcher was started in.
    if (!enterExecutableFolder()) {
        return log.end(exit_codes::unexpectedFailure, L"no folder can be the current directory");
    }
    const std::wstring settingsPath = moduleRelativePath(settingsFileName);
    log.line(L"settings file: " + settingsPath);
    if (!fileExists(settingsPath)) {
        host.showMessage(messages::settingsMissing, messages::errorCaption, messages::plainBox);
        return log.end(exit_codes::settingsMissing, L"tavrin.ini is missing");
    }
    const std::optional<SettingsFile> settingsFile = loadSettingsStore(settingsPath);
    if (!settingsFile) {
        return log.end(exit_codes::settingsUnreadable,
                       L"tavrin.ini cannot be opened or read, or is empty");
    }
    const std::wstring logFile = readLogFile(*settingsFile);
    log.decide(logFile);
    const MessageTexts texts(*settingsFile, userLanguage(), a_kind == LauncherKind::console);
    if (!findSettingsSection(*settingsFile, host, texts)) {
        return log.end(exit_codes::settingsSectionMissing, L"tavrin.ini has no [tavrin] section");
    }

    // Before any other key is read: a second launcher is refused even when
    // the rest of the settings is wrong.
    SingleRunRule rule{readSingleRunMutexName(*settingsFile), false};
    rule.activate = !rule.mutexName.empty() && readSingleRunActivate(*settingsFile);
    if (!rule.mutexName.empty() &&
        !acquireSingleRunMutex(a_singleRunMutex, rule, host, texts, log)) {
        return log.end(exit_codes::anotherInstanceRunning,
                       L"another launcher holds the single-run-mutex, or its name cannot be used "
                       L"for a mutex");
    }
    // The application inherits it, and keeps it while it runs.
    ProcessRecord record;
    if (rule.activate) {
        record.create(processRecordName(rule.mutexName)); // without it, no activation: no matter
    }

    LauncherSettings settings = readLauncherSettings(*settingsFile, host, texts);
    settings.singleRunMutexName = rule.mutexName;
    if (log.enabled()) {
        logSettings(log, settings, logFile);
    }
    if (!settings.settingsValid) {
        return log.end(exit_codes::settingsInvalid,
                       L"the settings are invalid or the JAR is missing");
    }
    if (a_kind == LauncherKind::console) {
        settings.askForJavaLocation = false;
        settings.waitForExit = true;
    }

    JavaSearchRequest request = searchRequestFrom(settings, texts);
    request.log = &log;
    const JavaSearchResult java = findJavaRuntime(request, host);
    if (!java.javaFound) {
        return log.end(exit_codes::noJavaRuntimeAccepted, L"no Java runtime was accepted");
    }

    const std::vector<std::wstring> noArguments;
    const std::wstring commandLine = launchCommandLine(
        java.javaCommand, settings, settings.passArguments ? a_launcherArguments : noArguments);
    log.line(L"launch: " + commandLine);
    const ProcessResult launched =
        launchApplication(host, commandLine, settings.waitForExit, a_kind, record);
    if (launched.code != processSucceeded) {
        if (texts.given(MessageKey::launchFailed)) {
            host.showMessage(texts.text(MessageKey::launchFailed), messages::errorCaption,
                             messages::plainBox);
        }
        return log.end(exit_codes::launchFailed, L"the application could not be started");
    }
    const int saved =
        exitCodeOf(saveJavaLocation(*settingsFile, settingsPath, settings, java.javaExecutable));
    // A command line's caller reads the application's exit code; a settings
    // file that could not be rewritten is left as it was either way.
    if (a_kind == LauncherKind::console) {
        return log.end(static_cast<int>(launched.exitCode), L"the application's own exit code");
    }
    return log.end(saved, saved == exit_codes::normalEnd
                              ? L"the application was started"
                              : L"the application was started, but tavrin.ini could not be "
                                L"rewritten; it is unchanged");
}

#include "launcher/launcher.h"

#include "host/launcher_host.h"
#include "host/redirected_run.h"
#include "launch/argument_file.h"
#include "launch/class_data.h"
#include "launch/in_process.h"
#include "launch/launch_line.h"
#include "launcher/exit_codes.h"
#include "messages/message_texts.h"
#include "messages/messages.h"
#include "messages/start_log.h"
#include "platform/command_line.h"
#include "platform/environment.h"
#include "platform/paths.h"
#include "platform/process_record.h"
#include "platform/text.h"
#include "platform/unique_handle.h"
#include "process/process_executor.h"
#include "runtime/java_discovery.h"
#include "settings/java_location.h"
#include "settings/settings.h"
#include "version/java_version.h"

#include <optional>

// Where the launcher that started the application keeps its process id: in
// the user's session, also for a Global\ mutex (a shared block there needs a
// privilege standard users lack, and another session's window cannot be
// brought forward anyway).
std::wstring processRecordName(const std::wstring& a_mutexName) {
    const wchar_t* const global = L"Global\\";
    const std::wstring name =
        a_mutexName.compare(0, 7, global) == 0 ? L"Local\\" + a_mutexName.substr(7) : a_mutexName;
    return name + L".tavrin-application";
}

namespace {

constexpr DWORD mutexWaitMs = 100;

// The redirection files of a start: java.jar.run.* and java.version.check.*,
// or, for a launcher with a section of its own, named after it
// (example.jar.run.*), so that two programs of one folder never share them.
struct RedirectionNames {
    std::wstring launch;
    std::wstring versionCheck;
};

// The launcher's file name without .exe, which names its own files.
std::wstring launcherName() {
    return withoutExtension(fileNameOf(executablePath()));
}

RedirectionNames redirectionNames(const SettingsFile& a_settings) {
    const std::wstring prefix =
        a_settings.hasProgramSection() ? launcherName() : std::wstring(L"java");
    return RedirectionNames{prefix + L".jar.run", prefix + L".version.check"};
}

// The sections read. A launcher with no section of its own in a file with
// other programs' sections (a copy renamed after packaging) reads [tavrin]
// alone: the log says so.
void logSectionsRead(const SettingsFile& a_file, StartLog& a_log) {
    a_log.line(L"sections read: " + a_file.sectionsRead());
    const std::wstring others = a_file.otherProgramSections();
    if (!a_file.hasProgramSection() && !others.empty()) {
        a_log.line(L"no section [" + fileNameOf(executablePath()) +
                   L"] for this launcher; the file's program sections: " + others);
    }
}

// single-run-mutex, and whether a second start brings the running
// application forward (single-run-activate).
struct SingleRunRule {
    std::wstring mutexName;
    bool activate = false;
};

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

// How the single-run rule let this start go on.
enum class RuleVerdict { goOn, refused, unusableName };

// The application started by another launcher, when it still runs (its own
// process, told apart from a later one with its id by its start time).
bool applicationRuns(const SingleRunRule& a_rule) {
    return a_rule.activate && ProcessRecord::read(processRecordName(a_rule.mutexName)) != 0;
}

// Creates the mutex owned, or finds another launcher holding it, or, with
// activation, the application another launcher started still running: both
// end this start.
RuleVerdict acquireSingleRunMutex(NamedMutex& a_mutex, const SingleRunRule& a_rule,
                                  LauncherHost& a_host, const MessageTexts& a_texts,
                                  StartLog& a_log) {
    const std::wstring logged = L"single-run-mutex " + a_rule.mutexName + L": ";
    const NamedMutex::Opened opened = a_mutex.open(a_rule.mutexName, true);
    if (opened == NamedMutex::Opened::failed) {
        a_mutex.release();
        a_log.line(logged + L"the name cannot be used for a mutex");
        return RuleVerdict::unusableName;
    }
    if (opened == NamedMutex::Opened::existed ||
        a_mutex.acquire(mutexWaitMs) == NamedMutex::Acquired::timedOut) {
        a_mutex.release(); // what is owned, if anything, and the handle
        a_log.line(logged + L"held by another launcher");
        refuseSecondInstance(a_host, a_rule, a_texts);
        return RuleVerdict::refused;
    }
    if (applicationRuns(a_rule)) {
        a_mutex.release();
        a_log.line(logged + L"the application another launcher started still runs");
        refuseSecondInstance(a_host, a_rule, a_texts);
        return RuleVerdict::refused;
    }
    a_log.line(logged + L"acquired");
    return RuleVerdict::goOn;
}

JavaSearchRequest searchRequestFrom(const LauncherSettings& a_settings,
                                    const MessageTexts& a_texts) {
    JavaSearchRequest request;
    request.minJavaVersion = a_settings.minJavaVersion;
    request.minJavaVersionText = a_settings.minJavaVersionText;
    request.maxJavaVersion = a_settings.maxJavaVersion;
    request.javaLocation = a_settings.javaLocation;
    request.javaLocationFromUser = a_settings.javaLocationFromUser;
    request.applicationJavaLocation = a_settings.applicationJavaLocation;
    request.askForJavaLocation = a_settings.askForJavaLocation;
    request.allowNewerVersion = a_settings.allowNewerVersion;
    request.findInstalledJava = a_settings.findInstalledJava;
    request.readJavaRelease = a_settings.readJavaRelease;
    request.texts = a_texts;
    request.downloadAddress = a_settings.javaDownloadUrl;
    return request;
}

// Each key's value as the start uses it, and what the user's file did not
// give.
std::vector<std::wstring> settingsLines(const LauncherSettings& a_settings,
                                        const std::wstring& a_logFile) {
    std::vector<std::wstring> lines;
    const auto text = [](const std::wstring& a_value) {
        return a_value.empty() ? std::wstring(L"(absent)") : a_value;
    };
    const auto flag = [](bool a_value) { return std::wstring(a_value ? L"1" : L"0"); };
    const std::wstring maximum = a_settings.maxJavaVersion
                                     ? formatWideString(L"%d.%d", a_settings.maxJavaVersion->major,
                                                        a_settings.maxJavaVersion->minor)
                                     : L"(absent)";
    lines.push_back(L"  jar-file-name: " + text(a_settings.jarPath));
    const auto entries = [&text](const std::vector<std::wstring>& a_entries) {
        return text(joinedPath(a_entries));
    };
    lines.push_back(L"  main-class: " + text(a_settings.mainClass));
    lines.push_back(L"  class-path: " + entries(a_settings.classPath));
    lines.push_back(L"  module: " + text(a_settings.module));
    lines.push_back(L"  module-path: " + entries(a_settings.modulePath));
    lines.push_back(L"  min-java-version: " + text(a_settings.minJavaVersionText));
    lines.push_back(L"  max-java-version: " + maximum);
    lines.push_back(L"  java-location: " + text(a_settings.javaLocation) +
                    (a_settings.javaLocationFromUser ? L" (the user's file)" : L""));
    lines.push_back(L"  java-options: " + text(a_settings.javaOptions));
    lines.push_back(L"  start-arguments: " + text(a_settings.startArguments));
    lines.push_back(L"  working-directory: " + text(a_settings.workingDirectory));
    lines.push_back(L"  wait-for-exit: " + flag(a_settings.waitForExit));
    lines.push_back(L"  ask-for-java-location: " + flag(a_settings.askForJavaLocation));
    lines.push_back(L"  allow-newer-version: " + flag(a_settings.allowNewerVersion));
    lines.push_back(L"  pass-arguments: " + flag(a_settings.passArguments));
    lines.push_back(L"  find-installed-java: " + flag(a_settings.findInstalledJava));
    lines.push_back(L"  read-java-release: " + flag(a_settings.readJavaRelease));
    lines.push_back(L"  in-process: " + flag(a_settings.inProcess));
    lines.push_back(L"  class-data-sharing: " + flag(a_settings.classDataSharing));
    lines.push_back(L"  user-settings: " + text(a_settings.userSettingsFolder));
    lines.push_back(L"  java-download-url: " + text(a_settings.javaDownloadUrl));
    lines.push_back(L"  log-file: " + text(a_logFile));
    for (const std::wstring& note : a_settings.userSettingsNotes) {
        lines.push_back(L"  " + note);
    }
    return lines;
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
    std::wstring loadJavaLauncher(const std::wstring& a_javaExecutable,
                                  const std::wstring& a_streamsBaseName) override {
        return m_host.loadJavaLauncher(a_javaExecutable, a_streamsBaseName);
    }
    int runJavaLauncher(const std::vector<std::wstring>& a_arguments,
                        const std::wstring& a_programName, bool a_javaw) override {
        return m_host.runJavaLauncher(a_arguments, a_programName, a_javaw);
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
        case IDCANCEL:
            return L"Cancel";
        default:
            return L"none (the box could not be shown)";
        }
    }

    LauncherHost& m_host;
    StartLog& m_log;
};

// A service's host: nothing reaches a user, and each process the start runs
// (a runtime's version check) is a step of its progress. The log has every
// box, with the answer that lets the start end without one.
class ServiceHost final : public LauncherHost {
public:
    ServiceHost(LauncherHost& a_host, ServiceRole& a_service)
        : m_host(a_host), m_service(a_service) {}

    int showMessage(const std::wstring&, const wchar_t*, UINT a_flags) override {
        switch (a_flags & MB_TYPEMASK) {
        case MB_YESNO:
            return IDNO;
        case MB_OKCANCEL:
        case MB_RETRYCANCEL:
        case MB_YESNOCANCEL:
            return IDCANCEL;
        case MB_ABORTRETRYIGNORE:
            return IDABORT;
        default:
            return IDOK;
        }
    }
    std::wstring chooseJavaFolder(const std::wstring&) override { return L""; }
    void openAddress(const std::wstring&) override {}
    std::vector<std::wstring> installedJavaRuntimes() override {
        return m_host.installedJavaRuntimes();
    }
    ProcessResult runProcess(const ProcessRequest& a_request) override {
        m_service.progress();
        return m_host.runProcess(a_request);
    }
    void handOverForeground(DWORD, bool) override {}
    std::wstring loadJavaLauncher(const std::wstring&, const std::wstring&) override {
        return L"a service starts its application as a process";
    }
    int runJavaLauncher(const std::vector<std::wstring>&, const std::wstring&, bool) override {
        return exit_codes::unexpectedFailure; // never called: loadJavaLauncher refused
    }
    bool activateWindowOf(DWORD) override { return false; }

private:
    LauncherHost& m_host;
    ServiceRole& m_service;
};

// Which launcher starts the application, and for a service its side and its
// stop's time-out.
struct LaunchRole {
    LauncherKind kind;
    ServiceRole* service;
    unsigned long stopTimeoutSeconds;
};

// What happens as soon as the application runs, before any waiting: its
// window may take the foreground, a second start can find it, and a service
// runs.
class ApplicationStarted final : public StartObserver {
public:
    ApplicationStarted(LauncherHost& a_host, const LaunchRole& a_role, bool a_wait,
                       ProcessRecord& a_record, ClassDataArchive& a_archive)
        : m_host(a_host), m_role(a_role), m_wait(a_wait), m_record(a_record), m_archive(a_archive) {
    }

    void started(DWORD a_processId) override {
        if (m_role.kind == LauncherKind::windowed) {
            m_host.handOverForeground(a_processId, m_wait);
        }
        if (m_role.service != nullptr) {
            m_role.service->running(a_processId, m_role.stopTimeoutSeconds);
        }
        if (!m_record.created() && !m_archive.makes()) {
            return; // nobody looks for the application, nothing to hand it
        }
        // The record and the archive's marker last as long as the
        // application runs; without a handle to it, there is nothing to
        // find, and a later start may make the archive too: no matter.
        const UniqueHandle process(OpenProcess(
            PROCESS_DUP_HANDLE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, a_processId));
        if (process) {
            m_record.set(process.get());
            m_archive.started(process.get());
        }
    }

private:
    LauncherHost& m_host;
    const LaunchRole& m_role;
    bool m_wait;
    ProcessRecord& m_record;
    ClassDataArchive& m_archive;
};

ProcessResult launchApplication(LauncherHost& a_host, const std::wstring& a_commandLine,
                                const std::wstring& a_workingFolder, const std::wstring& a_baseName,
                                bool a_wait, const LaunchRole& a_role, ProcessRecord& a_record,
                                ClassDataArchive& a_archive) {
    ApplicationStarted started(a_host, a_role, a_wait, a_record, a_archive);
    if (a_role.kind == LauncherKind::console) {
        // It shares the launcher's console and streams, and ends with it.
        ProcessRequest request;
        request.commandLine = a_commandLine;
        request.workingDirectory = a_workingFolder;
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
    request.workingDirectory = a_workingFolder;
    request.baseName = a_baseName;
    request.wait = a_wait;
    request.observer = &started;
    if (a_role.kind == LauncherKind::service) {
        // Without a window (with a console of its own, for Ctrl+C), and never
        // outliving the service.
        request.wait = true;
        request.endWithLauncher = true;
    } else {
        request.startupFeedback = true;
    }
    return runRedirected(a_host, request);
}

// The single-run rule before any other key is read: a second launcher is
// refused even when the rest of the settings is wrong. A name Windows cannot
// use for a mutex makes the settings invalid.
std::optional<int> applySingleRunRule(const SettingsFile& a_settings, NamedMutex& a_mutex,
                                      SingleRunRule& a_rule, LauncherHost& a_host,
                                      const MessageTexts& a_texts, LauncherKind a_kind,
                                      StartLog& a_log) {
    a_rule.mutexName = readSingleRunMutexName(a_settings);
    a_rule.activate = !a_rule.mutexName.empty() && readSingleRunActivate(a_settings);
    if (a_rule.mutexName.empty()) {
        return std::nullopt;
    }
    const RuleVerdict verdict = isUsableMutexName(a_rule.mutexName)
                                    ? acquireSingleRunMutex(a_mutex, a_rule, a_host, a_texts, a_log)
                                    : RuleVerdict::unusableName;
    if (verdict == RuleVerdict::unusableName) {
        a_host.showMessage(a_texts.text(MessageKey::iniInvalid), messages::errorCaption,
                           messages::plainBox);
        return a_log.end(exit_codes::settingsInvalid,
                         L"the single-run-mutex name cannot be used for a mutex");
    }
    if (verdict == RuleVerdict::refused) {
        return a_log.end(a_kind != LauncherKind::windowed ? exit_codes::consoleAlreadyRunning
                                                          : exit_codes::anotherInstanceRunning,
                         L"another launcher holds the single-run-mutex, or its application runs");
    }
    return std::nullopt;
}

// The launch line for a process, or why there is none.
struct FittingLaunch {
    std::optional<LaunchLine> line;
    std::wstring whyNot;
};

FittingLaunch noLaunch(const std::wstring& a_why) {
    return FittingLaunch{std::nullopt, a_why};
}

// The launch line; when it would be too long for Windows, with the class or
// module path in an argument file, which runtimes from Java 9 on read. The
// file is written only when the line then fits, and only where the ANSI code
// page can name it (java.exe takes its path in that code page).
FittingLaunch fittingLaunch(const JavaSearchResult& a_java, const LauncherSettings& a_settings,
                            const std::vector<std::wstring>& a_arguments,
                            const std::vector<std::wstring>& a_ownOptions, StartLog& a_log) {
    LaunchLine line(a_java.javaCommand, a_settings, a_arguments, L"", a_ownOptions);
    const std::size_t length = line.commandLine().size();
    if (length <= longestCommandLine) {
        return FittingLaunch{std::move(line), L""};
    }
    const std::wstring tooLong = formatWideString(L"the launch line is too long for Windows (%lu "
                                                  L"characters)",
                                                  static_cast<unsigned long>(length));
    if (!hasPathOption(a_settings)) {
        return noLaunch(tooLong);
    }
    if (javaFeatureVersion(a_java.version) < 9) {
        return noLaunch(tooLong + L", and a runtime before Java 9 (or of an unknown version) "
                                  L"reads no argument file");
    }
    const std::optional<std::string> bytes = argumentFileBytes(a_settings);
    const std::wstring file = bytes ? argumentFilePath(*bytes) : std::wstring();
    std::string ansiName;
    if (!bytes || file.empty() || !encodeAnsi(file, ansiName)) {
        return noLaunch(tooLong +
                        L", and its argument file cannot be named in the ANSI code "
                        L"page: " +
                        (bytes ? file : pathOptionValue(a_settings)));
    }
    LaunchLine withFile(a_java.javaCommand, a_settings, a_arguments, file, a_ownOptions);
    if (withFile.commandLine().size() > longestCommandLine) {
        return noLaunch(tooLong + L", with an argument file too: the start and passed arguments");
    }
    if (!writeArgumentFile(file, *bytes)) {
        return noLaunch(tooLong + L", and its argument file cannot be written: " + file);
    }
    a_log.line(L"argument file " + file + L": " + fromAnsi(*bytes));
    return FittingLaunch{std::move(withFile), L""};
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
    case SaveResult::unchanged:
        break;
    }
    return exit_codes::normalEnd;
}

// The application in the launcher's own process, with the arguments
// themselves (no command line limits them). What follows a successful start
// happens first, since the application may end the process: the runtime is
// remembered, a second start can find the application (this process), and
// the log is written. The exit code is the application's.
int runInLaunchersProcess(LauncherHost& a_host, const std::vector<std::wstring>& a_arguments,
                          const JavaSearchResult& a_java, const LauncherSettings& a_settings,
                          const std::wstring& a_settingsPath, ProcessRecord& a_record,
                          LauncherKind a_kind, StartLog& a_log) {
    const SaveResult saved =
        saveJavaLocation(a_settingsPath, a_settings, a_java.javaExecutable, a_java.applicationsOwn);
    a_record.set(GetCurrentProcess());
    const std::wstring name = inProcessProgramName();
    a_log.line(L"the application runs in the launcher's process, " + name);
    a_log.endHandedOver(exitCodeOf(saved) == exit_codes::normalEnd
                            ? L"the application was started in the launcher's process; the "
                              L"launcher ends with its exit code"
                            : L"the application was started in the launcher's process, but "
                              L"tavrin.ini could not be rewritten; the launcher ends with the "
                              L"application's exit code");
    return a_host.runJavaLauncher(a_arguments, name, a_kind == LauncherKind::windowed);
}

// The in-process start, when the runtime's library can take it; none when
// the application is to start as a process, and the log says why.
std::optional<int>
startInProcess(LauncherHost& a_host, const JavaSearchResult& a_java,
               const std::wstring& a_executable, const LauncherSettings& a_settings,
               const std::vector<std::wstring>& a_arguments,
               const std::vector<std::wstring>& a_ownOptions, const std::wstring& a_settingsPath,
               const std::wstring& a_workingFolder, const std::wstring& a_baseName,
               ProcessRecord& a_record, LauncherKind a_kind, StartLog& a_log) {
    const LaunchLine launch(a_java.javaCommand, a_settings, a_arguments, L"", a_ownOptions);
    const std::vector<std::wstring> arguments = inProcessArguments(a_executable, launch);
    a_log.line(L"launch: " + launch.commandLine());
    // java.exe, which takes its command line as UTF-16, is the runtime's own
    // way with such an argument.
    const std::wstring outside = argumentOutsideAnsi(arguments);
    if (!outside.empty()) {
        a_log.line(L"in-process: the argument " + outside +
                   L" has characters the ANSI code page lacks; the application is started as "
                   L"a process");
        return std::nullopt;
    }
    const std::wstring whyNot =
        a_host.loadJavaLauncher(a_executable, a_kind == LauncherKind::windowed ? a_baseName : L"");
    if (!whyNot.empty()) {
        a_log.line(L"in-process: " + whyNot + L"; the application is started as a process");
        return std::nullopt;
    }
    // Only now: the library's own imports are never looked for there.
    if (!enterFolder(a_workingFolder)) {
        a_log.line(L"in-process: the working directory cannot be entered: " + a_workingFolder +
                   L"; the application is started as a process");
        return std::nullopt;
    }
    return runInLaunchersProcess(a_host, arguments, a_java, a_settings, a_settingsPath, a_record,
                                 a_kind, a_log);
}

// A start that cannot happen: the author's text, when given; the console
// launcher otherwise says why, as the log does.
int endLaunchFailed(LauncherHost& a_host, const MessageTexts& a_texts, LauncherKind a_kind,
                    const std::wstring& a_why, StartLog& a_log) {
    if (a_texts.given(MessageKey::launchFailed)) {
        a_host.showMessage(a_texts.text(MessageKey::launchFailed), messages::errorCaption,
                           messages::plainBox);
    } else if (a_kind == LauncherKind::console) {
        a_host.showMessage(formatWideString(messages::launchFailedConsole, a_why.c_str()),
                           messages::errorCaption, messages::plainBox);
    }
    const std::wstring reason = L"the application could not be started: " + a_why;
    return a_log.end(exit_codes::launchFailed, reason.c_str());
}

// How a service's application ended, for the log.
void logServiceEnd(ServiceRole& a_service, DWORD a_exitCode, unsigned long a_timeoutSeconds,
                   StartLog& a_log) {
    const ServiceStop stop = a_service.stopped();
    const long code = static_cast<long>(a_exitCode);
    if (!stop.requested) {
        a_log.line(
            formatWideString(L"service: the application ended by itself, exit code %ld", code));
        return;
    }
    if (!stop.ctrlCSent) {
        a_log.line(L"service: stop requested; the application has no console to send Ctrl+C to");
    }
    a_log.line(stop.ended ? formatWideString(L"service: stop requested; the application did not "
                                             L"end within %lu seconds and was ended, exit code %ld",
                                             a_timeoutSeconds, code)
                          : formatWideString(L"service: stop requested; the application ended, "
                                             L"exit code %ld",
                                             code));
}

// Why a process did not start, for the log.
std::wstring whyNotStarted(const ProcessResult& a_launched) {
    if (a_launched.code == ProcessCode::noRedirectionFiles) {
        return L"no redirection files can be made, beside the launcher or in the temporary "
               L"folder";
    }
    return L"java.exe did not start (" + systemErrorText(a_launched.systemError) + L")";
}

} // namespace

void showSettingsProblems(LauncherHost& a_host, const std::vector<SettingsProblem>& a_problems,
                          const MessageTexts& a_texts, StartLog& a_log) {
    for (const SettingsProblem& problem : a_problems) {
        a_log.line(L"settings: " + problem.why);
    }
    for (const SettingsProblem& problem : a_problems) {
        if (!problem.missingPath.empty()) {
            a_host.showMessage(a_texts.text(MessageKey::jarNotFound, problem.missingPath),
                               messages::jarMissingCaption, messages::plainBox);
            break;
        }
    }
    a_host.showMessage(a_texts.text(MessageKey::iniInvalid), messages::errorCaption,
                       messages::plainBox);
}

int runLauncher(LauncherHost& a_realHost, NamedMutex& a_singleRunMutex,
                const std::vector<std::wstring>& a_launcherArguments, LauncherKind a_kind,
                ServiceRole* a_service, const SettingsFile* a_settingsFile) {
    StartLog log(environmentVariable(L"TAVRIN_LOG"));
    std::optional<ServiceHost> serviceHost;
    if (a_kind == LauncherKind::service) {
        serviceHost.emplace(a_realHost, *a_service);
    }
    LoggingHost host(serviceHost ? static_cast<LauncherHost&>(*serviceHost) : a_realHost, log);
    // The console launcher's application works in the caller's folder.
    const std::wstring startFolder = withoutTrailingBackslash(currentFolder());
    // Relative paths then mean the launcher's folder, and the plain java
    // command is never taken from the folder the launcher was started in.
    if (!enterExecutableFolder()) {
        return log.end(exit_codes::unexpectedFailure, L"no folder can be the current directory");
    }
    const std::wstring applicationFolder = withoutTrailingBackslash(moduleRelativePath(L""));
    // %TAVRIN_APP_DIR% in the settings, and for the application.
    if (!setEnvironmentVariable(L"TAVRIN_APP_DIR", applicationFolder)) {
        return log.end(exit_codes::unexpectedFailure, L"TAVRIN_APP_DIR cannot be set");
    }
    const std::wstring settingsPath = moduleRelativePath(settingsFileName);
    log.line(L"settings file: " + settingsPath);
    std::optional<SettingsFile> readHere;
    const SettingsFile* settingsFile = a_settingsFile;
    if (settingsFile == nullptr) {
        if (!fileExists(settingsPath)) {
            host.showMessage(messages::settingsMissing, messages::errorCaption, messages::plainBox);
            return log.end(exit_codes::settingsMissing, L"tavrin.ini is missing");
        }
        readHere = loadLaunchersSettingsFile();
        if (!readHere) {
            return log.end(exit_codes::settingsUnreadable,
                           L"tavrin.ini cannot be opened or read, or is empty");
        }
        settingsFile = &*readHere;
    }
    std::wstring logFile = readLogFile(*settingsFile);
    if (logFile.empty() && a_kind == LauncherKind::service) {
        // A service's start has nobody to tell: it always has a log.
        logFile = moduleRelativePath(launcherName() + L".service.log");
    }
    log.decide(logFile);
    MessageTexts texts(*settingsFile, userLanguage(), a_kind == LauncherKind::console);
    fillPlaceholders(*settingsFile, texts);
    if (!settingsFile->hasSection()) {
        host.showMessage(texts.text(MessageKey::iniInvalid), messages::errorCaption,
                         messages::plainBox);
        return log.end(exit_codes::settingsSectionMissing, L"tavrin.ini has no [tavrin] section");
    }
    logSectionsRead(*settingsFile, log);
    const RedirectionNames redirection = redirectionNames(*settingsFile);

    SingleRunRule rule;
    if (const std::optional<int> end =
            applySingleRunRule(*settingsFile, a_singleRunMutex, rule, host, texts, a_kind, log)) {
        return *end;
    }
    // The application is given a handle to it, and keeps it while it runs.
    ProcessRecord record;
    if (rule.activate) {
        record.create(processRecordName(rule.mutexName)); // without it, no activation: no matter
    }

    LauncherSettings settings = readLauncherSettings(
        *settingsFile, a_kind == LauncherKind::console   ? SettingsFor::consoleLauncher
                       : a_kind == LauncherKind::service ? SettingsFor::service
                                                         : SettingsFor::windowedLauncher);
    if (log.enabled()) {
        for (const std::wstring& line : settingsLines(settings, logFile)) {
            log.line(line);
        }
    }
    if (!settings.problems.empty()) {
        showSettingsProblems(host, settings.problems, texts, log);
        return log.end(exit_codes::settingsInvalid,
                       L"the settings are invalid or the JAR is missing");
    }
    if (a_kind != LauncherKind::windowed) {
        settings.askForJavaLocation = false;
        settings.waitForExit = true;
    }
    if (a_kind == LauncherKind::service) {
        // Its application is a process it can stop.
        settings.inProcess = false;
        a_service->progress();
    }

    const std::wstring workingFolder =
        !settings.workingDirectory.empty()                        ? settings.workingDirectory
        : a_kind == LauncherKind::console && !startFolder.empty() ? startFolder
                                                                  : applicationFolder;
    log.line(L"working directory: " + workingFolder);

    JavaSearchRequest request = searchRequestFrom(settings, texts);
    request.log = &log;
    request.versionCheckBaseName = redirection.versionCheck;
    JavaSearch search(request, host);
    const std::vector<std::wstring> noArguments;
    const std::vector<std::wstring>& arguments =
        settings.passArguments ? a_launcherArguments : noArguments;
    for (JavaSearchResult java = search.run();; java = search.resumeAfterFailedStart()) {
        if (!java.javaFound) {
            return log.end(exit_codes::noJavaRuntimeAccepted, L"no Java runtime was accepted");
        }
        // The java.exe the java command stands for, looked up once, only
        // when a switch needs it.
        const std::wstring executable = settings.inProcess || settings.classDataSharing
                                            ? runtimeExecutable(java)
                                            : std::wstring();
        // In process, the archive's marker stays with this process, the JVM.
        ClassDataArchive archive;
        if (settings.classDataSharing) {
            archive.prepareFor(java, executable, settings, log);
        }
        if (settings.inProcess) {
            if (const std::optional<int> exitCode = startInProcess(
                    host, java, executable, settings, arguments, archive.options(), settingsPath,
                    workingFolder, redirection.launch, record, a_kind, log)) {
                return *exitCode;
            }
        }
        const FittingLaunch launch =
            fittingLaunch(java, settings, arguments, archive.options(), log);
        if (!launch.line) {
            return endLaunchFailed(host, texts, a_kind, launch.whyNot, log);
        }
        log.line(L"launch: " + launch.line->commandLine());
        const ProcessResult launched = launchApplication(
            host, launch.line->commandLine(), workingFolder, redirection.launch,
            settings.waitForExit, LaunchRole{a_kind, a_service, settings.serviceStopTimeoutSeconds},
            record, archive);
        // A runtime known only by its release file may not start at all.
        if (launched.code == ProcessCode::notStarted && java.fromReleaseFile) {
            log.line(L"  the runtime did not start: the search goes on");
            continue;
        }
        if (launched.code != ProcessCode::succeeded) {
            return endLaunchFailed(host, texts, a_kind, whyNotStarted(launched), log);
        }
        if (settings.waitForExit) { // the console launcher's too
            archive.finish(log);    // the application has ended
        }
        const int saved = exitCodeOf(
            saveJavaLocation(settingsPath, settings, java.javaExecutable, java.applicationsOwn));
        // A command line's caller reads the application's exit code; a settings
        // file that could not be rewritten is left as it was either way.
        if (a_kind == LauncherKind::service) {
            logServiceEnd(*a_service, launched.exitCode, settings.serviceStopTimeoutSeconds, log);
        }
        if (a_kind != LauncherKind::windowed) {
            return log.end(static_cast<int>(launched.exitCode), L"the application's own exit code");
        }
        return log.end(saved, saved == exit_codes::normalEnd
                                  ? L"the application was started"
                                  : L"the application was started, but tavrin.ini could not be "
                                    L"rewritten; it is unchanged");
    }
}

#include "launcher/launcher.h"

#include "host/launcher_host.h"
#include "instance/single_run.h"
#include "launch/class_data.h"
#include "launch/fitting_launch.h"
#include "launch/in_process.h"
#include "launch/launch_line.h"
#include "launcher/exit_codes.h"
#include "messages/logging_host.h"
#include "messages/message_texts.h"
#include "messages/messages.h"
#include "messages/start_log.h"
#include "platform/environment.h"
#include "platform/paths.h"
#include "platform/process_record.h"
#include "platform/text.h"
#include "runtime/java_discovery.h"
#include "settings/java_location.h"
#include "settings/settings.h"
#include "settings/settings_log.h"
#include "update/update_check.h"
#include "update/update_install.h"

#include <optional>

namespace {

// The redirection files of a start: java.jar.run.* and java.version.check.*,
// or, for a launcher with a section of its own, named after it
// (example.jar.run.*), so that two programs of one folder never share them.
struct RedirectionNames {
    std::wstring launch;
    std::wstring versionCheck;
};

RedirectionNames redirectionNames(const SettingsFile& a_settings) {
    const std::wstring prefix =
        a_settings.hasProgramSection() ? executableStem() : std::wstring(L"java");
    return RedirectionNames{prefix + L".jar.run", prefix + L".version.check"};
}

// One start, as its steps fill it in.
struct Start {
    Start(LauncherRole& a_role, LauncherHost& a_host, StartLog& a_log)
        : role(a_role), host(a_host), log(a_log) {}

    LauncherRole& role;
    LauncherHost& host; // the role's, with what the user is shown logged
    StartLog& log;
    std::wstring callersFolder;
    std::wstring applicationFolder;
    std::wstring settingsPath;
    std::optional<SettingsFile> readHere;
    const SettingsFile* file = nullptr;
    std::optional<MessageTexts> texts;
    std::wstring logFile;
    RedirectionNames redirection;
    ProcessRecord record; // for single-run-activate
    LauncherSettings settings;
    std::wstring workingFolder;
};

// The launcher's folder is the current directory: relative paths then mean
// it, and the plain java command is never taken from the folder the launcher
// was started in (the console launcher's application still works there).
std::optional<int> enterApplicationFolder(Start& a_start) {
    a_start.callersFolder = withoutTrailingBackslash(currentFolder());
    if (!enterExecutableFolder()) {
        return a_start.log.end(exit_codes::unexpectedFailure,
                               L"no folder can be the current directory");
    }
    a_start.applicationFolder = withoutTrailingBackslash(moduleRelativePath(L""));
    // %TAVRIN_APP_DIR% in the settings, and for the application.
    if (!setEnvironmentVariable(L"TAVRIN_APP_DIR", a_start.applicationFolder)) {
        return a_start.log.end(exit_codes::unexpectedFailure, L"TAVRIN_APP_DIR cannot be set");
    }
    a_start.settingsPath = moduleRelativePath(settingsFileName);
    a_start.log.line(L"settings file: " + a_start.settingsPath);
    return std::nullopt;
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

// tavrin.ini, as the entry point read it or read here; its log file, its
// texts and its sections.
std::optional<int> readSettingsFile(Start& a_start, const SettingsFile* a_given) {
    a_start.file = a_given;
    if (a_start.file == nullptr) {
        if (!fileExists(a_start.settingsPath)) {
            a_start.host.showMessage(messages::settingsMissing, messages::errorCaption,
                                     messages::plainBox);
            return a_start.log.end(exit_codes::settingsMissing, L"tavrin.ini is missing");
        }
        a_start.readHere = loadLaunchersSettingsFile();
        if (!a_start.readHere) {
            return a_start.log.end(exit_codes::settingsUnreadable,
                                   L"tavrin.ini cannot be opened or read, or is empty");
        }
        a_start.file = &*a_start.readHere;
    }
    a_start.logFile = a_start.role.logFile(*a_start.file);
    a_start.log.decide(a_start.logFile);
    if (a_start.role.logsAsItGoes()) {
        a_start.log.writeAsItGoes();
    }
    a_start.texts.emplace(*a_start.file, userLanguage(), a_start.role.consoleTexts());
    fillPlaceholders(*a_start.file, *a_start.texts);
    if (!a_start.file->hasSection()) {
        a_start.host.showMessage(a_start.texts->text(MessageKey::iniInvalid),
                                 messages::errorCaption, messages::plainBox);
        return a_start.log.end(exit_codes::settingsSectionMissing,
                               L"tavrin.ini has no [tavrin] section");
    }
    logSectionsRead(*a_start.file, a_start.log);
    a_start.redirection = redirectionNames(*a_start.file);
    return std::nullopt;
}

// The single-run rule's end of the start, when it has one.
std::optional<int> applySingleRun(Start& a_start, NamedMutex& a_mutex) {
    switch (applySingleRunRule(*a_start.file, a_mutex, a_start.record, a_start.host, *a_start.texts,
                               a_start.log)) {
    case SingleRunVerdict::refused:
        return a_start.log.end(
            a_start.role.refusedExitCode(),
            L"another launcher holds the single-run-mutex, or its application runs");
    case SingleRunVerdict::unusableName:
        return a_start.log.end(exit_codes::settingsInvalid,
                               L"the single-run-mutex name cannot be used for a mutex");
    case SingleRunVerdict::goOn:
        break;
    }
    return std::nullopt;
}

// Every key, checked for the role; what the role decides over them (a
// console or a service asks nothing and waits, a service starts a process).
std::optional<int> readSettings(Start& a_start) {
    LauncherSettings& settings = a_start.settings;
    settings = readLauncherSettings(*a_start.file, a_start.role.settingsFor());
    if (a_start.log.enabled()) {
        for (const std::wstring& line : settingsLines(settings, a_start.logFile)) {
            a_start.log.line(line);
        }
    }
    if (!settings.problems.empty()) {
        showSettingsProblems(a_start.host, settings.problems, *a_start.texts, a_start.log);
        return a_start.log.end(exit_codes::settingsInvalid,
                               L"the settings are invalid or the JAR is missing");
    }
    settings.askForJavaLocation = settings.askForJavaLocation && a_start.role.asks();
    settings.waitForExit = settings.waitForExit || a_start.role.alwaysWaits();
    settings.inProcess = settings.inProcess && a_start.role.mayStartInProcess();
    a_start.role.progress();
    a_start.workingFolder =
        a_start.role.workingFolder(settings, a_start.callersFolder, a_start.applicationFolder);
    a_start.log.line(L"working directory: " + a_start.workingFolder);
    return std::nullopt;
}

JavaSearchRequest searchRequestFrom(const Start& a_start) {
    const LauncherSettings& settings = a_start.settings;
    JavaSearchRequest request;
    request.minJavaVersion = settings.minJavaVersion;
    request.minJavaVersionText = settings.minJavaVersionText;
    request.maxJavaVersion = settings.maxJavaVersion;
    request.javaLocation = settings.javaLocation;
    request.javaLocationFromUser = settings.javaLocationFromUser;
    request.applicationJavaLocation = settings.applicationJavaLocation;
    request.askForJavaLocation = settings.askForJavaLocation;
    request.allowNewerVersion = settings.allowNewerVersion;
    request.findInstalledJava = settings.findInstalledJava;
    request.readJavaRelease = settings.readJavaRelease;
    request.texts = *a_start.texts;
    request.downloadAddress = settings.javaDownloadUrl;
    request.asks = a_start.role.asks();
    request.log = &a_start.log;
    request.versionCheckBaseName = a_start.redirection.versionCheck;
    return request;
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

SaveResult rememberRuntime(const Start& a_start, const JavaSearchResult& a_java) {
    return saveJavaLocation(a_start.settingsPath, a_start.settings, a_java.javaExecutable,
                            a_java.applicationsOwn);
}

// The application in the launcher's own process, with the arguments
// themselves (no command line limits them). What follows a successful start
// happens first, since the application may end the process: the runtime is
// remembered, a second start can find the application (this process), and
// the log is written. The exit code is the application's.
int runInLaunchersProcess(Start& a_start, const std::vector<std::wstring>& a_arguments,
                          const JavaSearchResult& a_java) {
    const int saved = exitCodeOf(rememberRuntime(a_start, a_java));
    a_start.record.set(GetCurrentProcess());
    startUpdateCheck(a_start.host, a_start.settings, a_start.log);
    const std::wstring name = inProcessProgramName();
    a_start.log.line(L"the application runs in the launcher's process, " + name);
    a_start.log.endHandedOver(saved == exit_codes::normalEnd
                                  ? L"the application was started in the launcher's process; "
                                    L"the launcher ends with its exit code"
                                  : L"the application was started in the launcher's process, "
                                    L"but tavrin.ini could not be rewritten; the launcher ends "
                                    L"with the application's exit code");
    return a_start.host.runJavaLauncher(a_arguments, name, a_start.role.ownStreamsInProcess());
}

// The in-process start, when the runtime's library can take it; none when
// the application is to start as a process, and the log says why.
std::optional<int> startInProcess(Start& a_start, const JavaSearchResult& a_java,
                                  const std::wstring& a_executable,
                                  const std::vector<std::wstring>& a_arguments,
                                  const std::vector<std::wstring>& a_ownOptions) {
    const LaunchLine launch(a_java.javaCommand, a_start.settings, a_arguments, L"", a_ownOptions);
    const std::vector<std::wstring> arguments = inProcessArguments(a_executable, launch);
    a_start.log.line(L"launch: " + launch.commandLine());
    const wchar_t* const asProcess = L"; the application is started as a process";
    // java.exe, which takes its command line as UTF-16, is the runtime's own
    // way with such an argument.
    const std::wstring outside = argumentOutsideAnsi(arguments);
    if (!outside.empty()) {
        a_start.log.line(L"in-process: the argument " + outside +
                         L" has characters the ANSI code page lacks" + asProcess);
        return std::nullopt;
    }
    const std::wstring whyNot = a_start.host.loadJavaLauncher(
        a_executable, a_start.role.ownStreamsInProcess() ? a_start.redirection.launch : L"");
    if (!whyNot.empty()) {
        a_start.log.line(L"in-process: " + whyNot + asProcess);
        return std::nullopt;
    }
    // Only now: the library's own imports are never looked for there.
    if (!enterFolder(a_start.workingFolder)) {
        a_start.log.line(L"in-process: the working directory cannot be entered: " +
                         a_start.workingFolder + asProcess);
        return std::nullopt;
    }
    return runInLaunchersProcess(a_start, arguments, a_java);
}

// What happens as soon as the application runs, before any waiting: the
// role's part (the window's foreground, a service's stop), and a second
// start can find it; the archive's marker lasts as long as it runs.
class ApplicationStarted final : public StartObserver {
public:
    ApplicationStarted(Start& a_start, ClassDataArchive& a_archive)
        : m_start(a_start), m_archive(a_archive) {}

    void started(HANDLE a_process, DWORD a_processId) override {
        m_start.role.started(m_start.host, a_process, a_processId, m_start.settings);
        if (a_process != nullptr) {
            m_start.record.set(a_process);
            m_archive.started(a_process);
        }
        if (m_start.role.checksForUpdates()) {
            startUpdateCheck(m_start.host, m_start.settings, m_start.log);
        }
    }

private:
    Start& m_start;
    ClassDataArchive& m_archive;
};

// Why a process did not start, for the log.
std::wstring whyNotStarted(const ProcessResult& a_launched) {
    if (a_launched.code == ProcessCode::noRedirectionFiles) {
        return L"no redirection files can be made, beside the launcher or in the temporary "
               L"folder";
    }
    return L"java.exe did not start (" + systemErrorText(a_launched.systemError) + L")";
}

// The application as a process; none when a runtime known only by its
// release file did not start, and the search goes on.
std::optional<int> startAsProcess(Start& a_start, const JavaSearchResult& a_java,
                                  const std::vector<std::wstring>& a_arguments,
                                  ClassDataArchive& a_archive) {
    const FittingLaunch launch =
        fittingLaunch(a_java, a_start.settings, a_arguments, a_archive.options(), a_start.log);
    if (!launch.line) {
        return a_start.role.launchFailed(a_start.host, *a_start.texts, launch.whyNot, a_start.log);
    }
    a_start.log.line(L"launch: " + launch.line->commandLine());
    ApplicationStarted started(a_start, a_archive);
    const ProcessResult launched =
        a_start.role.startProcess(a_start.host, launch.line->commandLine(), a_start.workingFolder,
                                  a_start.redirection.launch, a_start.settings, started);
    if (launched.code == ProcessCode::notStarted && a_java.fromReleaseFile) {
        a_start.log.line(L"  the runtime did not start: the search goes on");
        return std::nullopt;
    }
    if (launched.code != ProcessCode::succeeded) {
        return a_start.role.launchFailed(a_start.host, *a_start.texts, whyNotStarted(launched),
                                         a_start.log);
    }
    if (a_start.settings.waitForExit) {
        a_archive.finish(a_start.log); // the application has ended
    }
    const int saved = exitCodeOf(rememberRuntime(a_start, a_java));
    return a_start.role.ended(launched.exitCode, saved, a_start.settings.service, a_start.log);
}

// The launch with an accepted runtime: its class-data archive when asked
// for, in the launcher's process when it can, else as a process.
std::optional<int> launchWith(Start& a_start, const JavaSearchResult& a_java,
                              const std::vector<std::wstring>& a_arguments) {
    const LauncherSettings& settings = a_start.settings;
    // The java.exe the java command stands for, looked up once, only when a
    // switch needs it.
    const std::wstring executable = settings.inProcess || settings.classDataSharing
                                        ? runtimeExecutable(a_java)
                                        : std::wstring();
    // In process, the archive's marker stays with this process, the JVM.
    ClassDataArchive archive;
    if (settings.classDataSharing) {
        archive.prepareFor(a_java, executable, settings, a_start.workingFolder, a_start.log);
    }
    if (settings.inProcess) {
        if (const std::optional<int> exitCode =
                startInProcess(a_start, a_java, executable, a_arguments, archive.options())) {
            return exitCode;
        }
    }
    return startAsProcess(a_start, a_java, a_arguments, archive);
}

// The search, and the launch with what it accepts; a runtime that does not
// start sends the search on.
int findRuntimeAndLaunch(Start& a_start, const std::vector<std::wstring>& a_arguments) {
    const JavaSearchRequest request = searchRequestFrom(a_start); // the search keeps a reference
    JavaSearch search(request, a_start.host);
    for (JavaSearchResult java = search.run();; java = search.resumeAfterFailedStart()) {
        if (!java.javaFound) {
            return a_start.log.end(exit_codes::noJavaRuntimeAccepted,
                                   L"no Java runtime was accepted");
        }
        if (const std::optional<int> exitCode = launchWith(a_start, java, a_arguments)) {
            return *exitCode;
        }
    }
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

int runLauncher(LauncherHost& a_host, NamedMutex& a_singleRunMutex,
                const std::vector<std::wstring>& a_launcherArguments, LauncherKind a_kind,
                ServiceSide* a_service, const SettingsFile* a_settingsFile) {
    LauncherRole role(a_kind, a_host, a_service);
    StartLog log(environmentVariable(L"TAVRIN_LOG"));
    LoggingHost host(role.host(), log);
    Start start(role, host, log);
    if (const std::optional<int> end = enterApplicationFolder(start)) {
        return *end;
    }
    if (const std::optional<int> end = readSettingsFile(start, a_settingsFile)) {
        return *end;
    }
    if (const std::optional<int> end = applySingleRun(start, a_singleRunMutex)) {
        return *end;
    }
    if (const std::optional<int> end = readSettings(start)) {
        return *end;
    }
    if (role.checksForUpdates()) {
        const UpdateHandOver handOver{a_singleRunMutex.handle(), start.callersFolder,
                                      a_launcherArguments};
        if (const std::optional<int> end =
                handOverStagedUpdate(start.host, start.settings, handOver, log)) {
            return *end;
        }
    }
    const std::vector<std::wstring> noArguments;
    return findRuntimeAndLaunch(start,
                                start.settings.passArguments ? a_launcherArguments : noArguments);
}

#include "launcher/launcher.h"

#include "launcher/exit_codes.h"
#include "launcher/java_discovery.h"
#include "launcher/launcher_host.h"
#include "launcher/messages.h"
#include "launcher/redirected_run.h"
#include "launcher/settings.h"
#include "platform/command_line.h"
#include "platform/paths.h"
#include "process/process_executor.h"

namespace {

constexpr DWORD mutexWaitMs = 100;
constexpr const wchar_t* settingsFileName = L"tavrin.ini";
constexpr const wchar_t* launchBaseName = L"java.jar.run";

void refuseSecondInstance(LauncherHost& a_host, LauncherKind a_kind) {
    a_host.showMessage(a_kind == LauncherKind::console ? messages::alreadyRunningConsole
                                                       : messages::alreadyRunning,
                       messages::alreadyRunningCaption, messages::alreadyRunningBox);
}

// Creates a_name owned, or finds another launcher holding it (which gets the
// "Wait" message). A name that cannot be used for a mutex ends the start
// silently.
bool acquireSingleRunMutex(NamedMutex& a_mutex, const std::wstring& a_name, LauncherHost& a_host,
                           LauncherKind a_kind) {
    const NamedMutex::Opened opened = a_mutex.open(a_name, true);
    if (opened == NamedMutex::Opened::failed) {
        a_mutex.release();
        return false;
    }
    if (opened == NamedMutex::Opened::existed) {
        a_mutex.release(); // not owned: nothing to release but the handle
        refuseSecondInstance(a_host, a_kind);
        return false;
    }
    if (a_mutex.acquire(mutexWaitMs) == NamedMutex::Acquired::timedOut) {
        a_mutex.release();
        refuseSecondInstance(a_host, a_kind);
        return false;
    }
    return true;
}

JavaSearchRequest searchRequestFrom(const LauncherSettings& a_settings) {
    return JavaSearchRequest{a_settings.minJavaVersion,     a_settings.minJavaVersionText,
                             a_settings.maxJavaVersion,     a_settings.javaLocation,
                             a_settings.askForJavaLocation, a_settings.allowNewerVersion,
                             a_settings.findInstalledJava,  a_settings.readJavaRelease};
}

// One argument for the application, between blanks as the line has always
// put its start arguments.
std::wstring applicationArgument(const std::wstring& a_argument) {
    return L" " + quotedArgument(a_argument) + L" ";
}

ProcessResult launchApplication(LauncherHost& a_host, const std::wstring& a_commandLine,
                                bool a_wait, LauncherKind a_kind) {
    // The system would not start it whole.
    if (a_commandLine.size() > longestCommandLine) {
        return ProcessResult{processStartFailed, "", "", 0};
    }
    if (a_kind == LauncherKind::console) {
        // It shares the launcher's console and streams, and ends with it.
        ProcessRequest request{a_commandLine, L"", false, true, INFINITE};
        request.inheritStreams = true;
        request.endWithLauncher = true;
        return a_host.runProcess(request);
    }
    // What the application writes lands in the redirection files; nothing
    // of it is read here.
    return runRedirected(a_host,
                         ProcessRequest{a_commandLine, launchBaseName, false, a_wait, INFINITE});
}

} // namespace

std::wstring launchCommandLine(const std::wstring& a_javaCommand,
                               const LauncherSettings& a_settings,
                               const std::vector<std::wstring>& a_applicationArguments) {
    std::wstring line = a_javaCommand;
    if (!a_settings.javaOptions.empty()) {
        line += L" " + a_settings.javaOptions; // for the runtime, split by its own rules
    }
    line += L" -jar  \"" + a_settings.jarPath + L"\" ";
    if (!a_settings.startArguments.empty()) {
        line += applicationArgument(a_settings.startArguments);
    }
    for (const std::wstring& argument : a_applicationArguments) {
        line += applicationArgument(argument);
    }
    return line;
}

int runLauncher(LauncherHost& a_host, NamedMutex& a_singleRunMutex,
                const std::vector<std::wstring>& a_launcherArguments, LauncherKind a_kind) {
    // Relative paths then mean the launcher's folder, and the plain java
    // command is never taken from the folder the launcher was started in.
    if (!enterExecutableFolder()) {
        return exit_codes::unexpectedFailure;
    }
    const std::wstring settingsPath = moduleRelativePath(settingsFileName);
    if (!fileExists(settingsPath)) {
        a_host.showMessage(messages::settingsMissing, messages::errorCaption, messages::plainBox);
        return exit_codes::settingsMissing;
    }
    const std::optional<SettingsFile> settingsFile = loadSettingsStore(settingsPath);
    if (!settingsFile) {
        return exit_codes::settingsUnreadable;
    }
    if (!findSettingsSection(*settingsFile, a_host)) {
        return exit_codes::settingsSectionMissing;
    }

    // Before any other key is read: a second launcher is refused even when
    // the rest of the settings is wrong.
    const std::wstring mutexName = readSingleRunMutexName(*settingsFile);
    if (!mutexName.empty() && !acquireSingleRunMutex(a_singleRunMutex, mutexName, a_host, a_kind)) {
        return exit_codes::anotherInstanceRunning;
    }

    LauncherSettings settings = readLauncherSettings(*settingsFile, a_host);
    settings.singleRunMutexName = mutexName;
    if (!settings.settingsValid) {
        return exit_codes::settingsInvalid;
    }
    if (a_kind == LauncherKind::console) {
        settings.askForJavaLocation = false;
        settings.waitForExit = true;
    }

    const JavaSearchResult java = findJavaRuntime(searchRequestFrom(settings), a_host);
    if (!java.javaFound) {
        return exit_codes::noJavaRuntimeAccepted;
    }

    const std::vector<std::wstring> noArguments;
    const std::wstring commandLine = launchCommandLine(
        java.javaCommand, settings, settings.passArguments ? a_launcherArguments : noArguments);
    const ProcessResult launched =
        launchApplication(a_host, commandLine, settings.waitForExit, a_kind);
    if (launched.code != processSucceeded) {
        return exit_codes::launchFailed;
    }
    const int saved = saveJavaLocation(*settingsFile, settingsPath, settings, java.javaExecutable);
    // A command line's caller reads the application's exit code; a settings
    // file that could not be rewritten is left as it was either way.
    return a_kind == LauncherKind::console ? static_cast<int>(launched.exitCode) : saved;
}

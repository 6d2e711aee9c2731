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

void refuseSecondInstance(LauncherHost& a_host) {
    a_host.showMessage(messages::alreadyRunning, messages::alreadyRunningCaption,
                       messages::alreadyRunningBox);
}

JavaSearchRequest searchRequestFrom(const LauncherSettings& a_settings) {
    return JavaSearchRequest{a_settings.minJavaVersion,     a_settings.minJavaVersionText,
                             a_settings.maxJavaVersion,     a_settings.javaLocation,
                             a_settings.askForJavaLocation, a_settings.allowNewerVersion,
                             a_settings.findInstalledJava};
}

// One argument for the application, between blanks as the line has always
// put its start arguments.
std::wstring applicationArgument(const std::wstring& a_argument) {
    return L" " + quotedArgument(a_argument) + L" ";
}

int launchApplication(LauncherHost& a_host, const std::wstring& a_commandLine, bool a_wait) {
    // The system would not start it whole.
    if (a_commandLine.size() > longestCommandLine) {
        return processStartFailed;
    }
    // What the application writes lands in the redirection files; nothing
    // of it is read here.
    std::string unusedOutput;
    std::string unusedError;
    return runRedirected(a_host, unusedOutput, unusedError, a_commandLine, launchBaseName, false,
                         a_wait, INFINITE);
}

} // namespace

bool SingleInstanceMutex::acquire(const std::wstring& a_name, LauncherHost& a_host) {
    // The name as written, with no prefix; initially owned when new.
    const HANDLE mutex = CreateMutexW(nullptr, TRUE, a_name.c_str());
    const DWORD createError = GetLastError();
    m_handle.reset(mutex);
    if (!m_handle) {
        return false;
    }
    if (createError == ERROR_ALREADY_EXISTS) {
        m_handle.reset(); // not owned: nothing to release
        refuseSecondInstance(a_host);
        return false;
    }
    m_ownership = 1;
    const DWORD waited = WaitForSingleObject(m_handle.get(), mutexWaitMs);
    if (waited == WAIT_TIMEOUT) {
        release();
        refuseSecondInstance(a_host);
        return false;
    }
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        ++m_ownership;
    }
    return true;
}

void SingleInstanceMutex::release() {
    for (; m_ownership > 0; --m_ownership) {
        ReleaseMutex(m_handle.get()); // nothing to do when it fails
    }
    m_handle.reset();
}

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

int runLauncher(LauncherHost& a_host, SingleInstanceMutex& a_singleInstanceMutex,
                const std::vector<std::wstring>& a_launcherArguments) {
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
    if (!mutexName.empty() && !a_singleInstanceMutex.acquire(mutexName, a_host)) {
        return exit_codes::anotherInstanceRunning;
    }

    LauncherSettings settings = readLauncherSettings(*settingsFile, a_host);
    settings.singleRunMutexName = mutexName;
    if (!settings.settingsValid) {
        return exit_codes::settingsInvalid;
    }

    const JavaSearchResult java = findJavaRuntime(searchRequestFrom(settings), a_host);
    if (!java.javaFound) {
        return exit_codes::noJavaRuntimeAccepted;
    }

    const std::vector<std::wstring> noArguments;
    const std::wstring commandLine = launchCommandLine(
        java.javaCommand, settings, settings.passArguments ? a_launcherArguments : noArguments);
    if (launchApplication(a_host, commandLine, settings.waitForExit) != processSucceeded) {
        return exit_codes::launchFailed;
    }
    return saveJavaLocation(*settingsFile, settingsPath, java.javaExecutable);
}

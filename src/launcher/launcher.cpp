#include "launcher/launcher.h"

#include "launcher/exit_codes.h"
#include "launcher/java_discovery.h"
#include "launcher/launcher_host.h"
#include "launcher/messages.h"
#include "launcher/redirected_run.h"
#include "launcher/settings.h"
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
    return JavaSearchRequest{a_settings.minJavaVersion, a_settings.minJavaVersionText,
                             a_settings.javaLocation, a_settings.askForJavaLocation,
                             a_settings.allowNewerVersion};
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

std::wstring launchCommandLine(const std::wstring& a_javaExecutable,
                               const LauncherSettings& a_settings) {
    std::wstring line =
        quotedProgram(a_javaExecutable) + L" -jar " + L" \"" + a_settings.jarPath + L"\" ";
    if (!a_settings.startArguments.empty()) {
        // One quoted argument for the application, never for the runtime.
        line += L" \"" + a_settings.startArguments + L"\" ";
    }
    return line;
}

int runLauncher(LauncherHost& a_host, SingleInstanceMutex& a_singleInstanceMutex) {
    const std::wstring settingsPath = moduleRelativePath(settingsFileName);
    if (!fileExists(settingsPath)) {
        a_host.showMessage(messages::settingsMissing, messages::errorCaption, messages::plainBox);
        return exit_codes::settingsMissing;
    }
    const std::unique_ptr<SettingsStore> store = loadSettingsStore(settingsPath);
    if (!store) {
        return exit_codes::settingsUnreadable;
    }
    PresentKeys presentKeys;
    if (!indexSettingsKeys(*store, presentKeys, a_host)) {
        return exit_codes::settingsSectionMissing;
    }

    // Before any other key is read: a second launcher is refused even when
    // the rest of the settings is wrong.
    const std::wstring mutexName = readSingleRunMutexName(*store, presentKeys);
    if (!mutexName.empty() && !a_singleInstanceMutex.acquire(mutexName, a_host)) {
        return exit_codes::anotherInstanceRunning;
    }

    LauncherSettings settings = readLauncherSettings(*store, presentKeys, a_host);
    settings.singleRunMutexName = mutexName;
    if (!settings.settingsValid) {
        return exit_codes::settingsInvalid;
    }

    const JavaSearchResult java = findJavaRuntime(searchRequestFrom(settings), a_host);
    if (!java.javaFound) {
        return exit_codes::noJavaRuntimeAccepted;
    }

    // What the application writes lands in the redirection files; nothing
    // of it is read here.
    std::string unusedOutput;
    std::string unusedError;
    if (runRedirected(a_host, unusedOutput, unusedError,
                      launchCommandLine(java.javaExecutable, settings), launchBaseName, false,
                      settings.waitForExit, INFINITE) != processSucceeded) {
        return exit_codes::launchFailed;
    }
    return saveJavaLocation(*store, settingsPath, java.javaExecutable);
}

#pragma once

#include "platform/unique_handle.h"

#include <string>
#include <vector>

class LauncherHost;
struct LauncherSettings;

// The named mutex that keeps a second launcher from starting the application
// while the first one holds it. Released and closed when its owner goes.
class SingleInstanceMutex {
public:
    SingleInstanceMutex() = default;
    ~SingleInstanceMutex() { release(); }
    SingleInstanceMutex(const SingleInstanceMutex&) = delete;
    SingleInstanceMutex& operator=(const SingleInstanceMutex&) = delete;

    // Creates or opens a_name and takes ownership. False when another
    // launcher holds it (after the "Wait" message) or when the name cannot
    // be used for a mutex (silently).
    bool acquire(const std::wstring& a_name, LauncherHost& a_host);

    bool held() const { return static_cast<bool>(m_handle); }

    void release();

private:
    UniqueHandle m_handle;
    int m_ownership = 0; // how many times this process owns it
};

// The start-up sequence, from finding tavrin.ini to rewriting it after the
// launch. a_launcherArguments are the launcher's own command-line arguments,
// which reach the application only with pass-arguments=1. Returns the
// process exit code (see exit_codes.h).
int runLauncher(LauncherHost& a_host, SingleInstanceMutex& a_singleInstanceMutex,
                const std::vector<std::wstring>& a_launcherArguments);

// The command line that starts the application: the Java command, the
// java-options as written, -jar, the JAR's full path in quotes and, when
// set, the start arguments as one argument after it and then each of
// a_applicationArguments.
std::wstring launchCommandLine(const std::wstring& a_javaCommand,
                               const LauncherSettings& a_settings,
                               const std::vector<std::wstring>& a_applicationArguments);

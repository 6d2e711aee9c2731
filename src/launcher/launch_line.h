#pragma once

#include <string>
#include <vector>

struct LauncherSettings;

// The command line that starts the application: the Java command, the
// java-options as written, -jar, the JAR's full path in quotes and, when
// set, the start arguments as one argument after it and then each of
// a_applicationArguments.
std::wstring launchCommandLine(const std::wstring& a_javaCommand,
                               const LauncherSettings& a_settings,
                               const std::vector<std::wstring>& a_applicationArguments);

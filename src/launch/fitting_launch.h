#pragma once

#include "launch/launch_line.h"

#include <optional>
#include <string>
#include <vector>

struct JavaSearchResult;
struct LauncherSettings;
class StartLog;

// The launch line for a process, or why there is none.
struct FittingLaunch {
    std::optional<LaunchLine> line;
    std::wstring whyNot;
};

// The launch line; when it would be too long for Windows, with the class or
// module path in an argument file, which runtimes from Java 9 on read. The
// file is written only when the line then fits, and only where the ANSI code
// page can name it (java.exe takes its path in that code page); the log
// names it.
FittingLaunch fittingLaunch(const JavaSearchResult& a_java, const LauncherSettings& a_settings,
                            const std::vector<std::wstring>& a_arguments,
                            const std::vector<std::wstring>& a_ownOptions, StartLog& a_log);

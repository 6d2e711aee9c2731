#pragma once

#include <string>
#include <vector>

struct LauncherSettings;

// The command line that starts the application: the Java command, the
// java-options as written, then how the application starts (-jar and the
// JAR's full path in quotes; -cp, the class path and the main class; or
// --module-path and the module path when there is one, then --module and the
// module) and, when set, the start arguments as one argument and then each of
// a_applicationArguments. With a_argumentFile, "@" and that file stand in for
// -cp or --module-path and its value.
std::wstring launchCommandLine(const std::wstring& a_javaCommand,
                               const LauncherSettings& a_settings,
                               const std::vector<std::wstring>& a_applicationArguments,
                               const std::wstring& a_argumentFile = L"");

// Class-path or module-path entries joined as Java's paths are, by ";".
std::wstring joinedPath(const std::vector<std::wstring>& a_entries);

// Whether the start has a path option (-cp or --module-path) that an
// argument file can carry.
bool hasPathOption(const LauncherSettings& a_settings);

// A Java argument file with the path option and its value, by Java's rules
// for such files: the value in double quotes, each backslash doubled; in the
// ANSI code page, as the runtime reads it.
std::wstring argumentFileText(const LauncherSettings& a_settings);

// Writes a_text into the user's temporary folder, in a file named after its
// content, so that repeated starts reuse one file and none pile up; its full
// path, or empty when it cannot be written (or a character has no place in
// the ANSI code page).
std::wstring writeArgumentFile(const std::wstring& a_text);

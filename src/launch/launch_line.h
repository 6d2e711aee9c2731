#pragma once

#include <string>
#include <vector>

struct LauncherSettings;

// The launch of the application, built once as the list of what the runtime
// receives: joined into the command line for CreateProcessW, handed as it is
// to the runtime's own launcher in process.
//
// The line: the Java command, the launcher's own options (each quoted), the
// java-options as written, then how the
// application starts (-jar and the JAR's full path in quotes; -cp, the class
// path and the main class; or --module-path and the module path when there
// is one, then --module and the module) and, when set, each of arguments,
// the start arguments as one argument and then each passed argument. With an argument file, "@"
// and that file stand in for -cp or --module-path and its value.
class LaunchLine {
public:
    // a_ownOptions: the launcher's own JVM options, before java-options (so
    // that the author's win), each as one argument.
    LaunchLine(const std::wstring& a_javaCommand, const LauncherSettings& a_settings,
               const std::vector<std::wstring>& a_applicationArguments,
               const std::wstring& a_argumentFile = L"",
               const std::vector<std::wstring>& a_ownOptions = {});

    // The command line, each piece as the README documents it.
    const std::wstring& commandLine() const { return m_line; }

    // Every argument after the program, as the runtime receives it: the
    // options the Java command carries and java-options split by the rules
    // Windows programs split their command line with, the rest one by one.
    const std::vector<std::wstring>& arguments() const { return m_arguments; }

private:
    // a_text on the line, a_argument for the runtime.
    void add(const std::wstring& a_text, const std::wstring& a_argument);
    // Text the runtime splits by itself: options as written.
    void addWritten(const std::wstring& a_text);
    void addStart(const LauncherSettings& a_settings, const std::wstring& a_argumentFile);
    void addPathOption(const LauncherSettings& a_settings, const std::wstring& a_argumentFile);

    std::wstring m_line;
    std::vector<std::wstring> m_arguments;
};

// Whether the start has a path option (-cp or --module-path) that an
// argument file can carry.
bool hasPathOption(const LauncherSettings& a_settings);

// That option's name and value.
const wchar_t* pathOptionName(const LauncherSettings& a_settings);
std::wstring pathOptionValue(const LauncherSettings& a_settings);

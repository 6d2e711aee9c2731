#include "launch/launch_line.h"

#include "platform/command_line.h"
#include "settings/settings.h"

LaunchLine::LaunchLine(const std::wstring& a_javaCommand, const LauncherSettings& a_settings,
                       const std::vector<std::wstring>& a_applicationArguments,
                       const std::wstring& a_argumentFile,
                       const std::vector<std::wstring>& a_ownOptions)
    : m_line(a_javaCommand), m_arguments(argumentsAfterProgram(a_javaCommand.c_str())) {
    for (const std::wstring& option : a_ownOptions) {
        add(L" " + quotedArgument(option), option);
    }
    if (!a_settings.javaOptions.empty()) {
        addWritten(L" " + a_settings.javaOptions);
    }
    addStart(a_settings, a_argumentFile);
    // Application arguments stand between blanks, as the start arguments
    // always have.
    for (const std::wstring& argument : a_settings.arguments) {
        add(L" " + quotedArgument(argument) + L" ", argument);
    }
    if (!a_settings.startArguments.empty()) {
        add(L" " + quotedArgument(a_settings.startArguments) + L" ", a_settings.startArguments);
    }
    for (const std::wstring& argument : a_applicationArguments) {
        add(L" " + quotedArgument(argument) + L" ", argument);
    }
}

void LaunchLine::add(const std::wstring& a_text, const std::wstring& a_argument) {
    m_line += a_text;
    m_arguments.push_back(a_argument);
}

void LaunchLine::addWritten(const std::wstring& a_text) {
    m_line += a_text;
    for (std::wstring& argument : splitArguments(a_text)) {
        m_arguments.push_back(std::move(argument));
    }
}

void LaunchLine::addStart(const LauncherSettings& a_settings, const std::wstring& a_argumentFile) {
    switch (a_settings.start) {
    case LauncherSettings::Start::jar:
        add(L" -jar", L"-jar");
        add(L"  \"" + a_settings.jarPath + L"\" ", a_settings.jarPath);
        break;
    case LauncherSettings::Start::mainClass:
        addPathOption(a_settings, a_argumentFile);
        add(L" " + quotedArgument(a_settings.mainClass) + L" ", a_settings.mainClass);
        break;
    case LauncherSettings::Start::module:
        if (hasPathOption(a_settings)) {
            addPathOption(a_settings, a_argumentFile);
        }
        add(L" --module", L"--module");
        add(L" " + quotedArgument(a_settings.module) + L" ", a_settings.module);
        break;
    }
}

// The path option on the line itself, or the argument file that holds it.
void LaunchLine::addPathOption(const LauncherSettings& a_settings,
                               const std::wstring& a_argumentFile) {
    if (!a_argumentFile.empty()) {
        add(L" " + quotedArgument(L"@" + a_argumentFile), L"@" + a_argumentFile);
        return;
    }
    const std::wstring name = pathOptionName(a_settings);
    const std::wstring value = pathOptionValue(a_settings);
    add(L" " + name, name);
    add(L" " + quotedArgument(value), value);
}

bool hasPathOption(const LauncherSettings& a_settings) {
    return a_settings.start == LauncherSettings::Start::mainClass ||
           (a_settings.start == LauncherSettings::Start::module && !a_settings.modulePath.empty());
}

const wchar_t* pathOptionName(const LauncherSettings& a_settings) {
    return a_settings.start == LauncherSettings::Start::mainClass ? L"-cp" : L"--module-path";
}

std::wstring pathOptionValue(const LauncherSettings& a_settings) {
    return joinedPath(a_settings.start == LauncherSettings::Start::mainClass
                          ? a_settings.classPath
                          : a_settings.modulePath);
}

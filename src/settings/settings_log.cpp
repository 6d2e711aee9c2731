#include "settings/settings_log.h"

#include "platform/command_line.h"
#include "platform/text.h"
#include "settings/settings.h"

std::vector<std::wstring> settingsLines(const LauncherSettings& a_settings,
                                        const std::wstring& a_logFile) {
    std::vector<std::wstring> lines;
    const auto text = [](const std::wstring& a_value) {
        return a_value.empty() ? std::wstring(L"(absent)") : a_value;
    };
    const auto flag = [](bool a_value) { return std::wstring(a_value ? L"1" : L"0"); };
    const std::wstring maximum = a_settings.maxJavaVersion
                                     ? formatWideString(L"%d.%d", a_settings.maxJavaVersion->major,
                                                        a_settings.maxJavaVersion->minor)
                                     : L"(absent)";
    lines.push_back(L"  jar-file-name: " + text(a_settings.jarPath));
    const auto entries = [&text](const std::vector<std::wstring>& a_entries) {
        return text(joinedPath(a_entries));
    };
    lines.push_back(L"  main-class: " + text(a_settings.mainClass));
    lines.push_back(L"  class-path: " + entries(a_settings.classPath));
    lines.push_back(L"  module: " + text(a_settings.module));
    lines.push_back(L"  module-path: " + entries(a_settings.modulePath));
    lines.push_back(L"  min-java-version: " + text(a_settings.minJavaVersionText));
    lines.push_back(L"  max-java-version: " + maximum);
    lines.push_back(L"  java-location: " + text(a_settings.javaLocation) +
                    (a_settings.javaLocationFromUser ? L" (the user's file)" : L""));
    lines.push_back(L"  java-options: " + text(a_settings.javaOptions));
    std::wstring arguments;
    for (const std::wstring& argument : a_settings.arguments) {
        arguments += (arguments.empty() ? L"" : L" ") + quotedArgument(argument);
    }
    lines.push_back(L"  arguments: " + text(arguments));
    lines.push_back(L"  start-arguments: " + text(a_settings.startArguments));
    lines.push_back(L"  working-directory: " + text(a_settings.workingDirectory));
    lines.push_back(L"  wait-for-exit: " + flag(a_settings.waitForExit));
    lines.push_back(L"  ask-for-java-location: " + flag(a_settings.askForJavaLocation));
    lines.push_back(L"  allow-newer-version: " + flag(a_settings.allowNewerVersion));
    lines.push_back(L"  pass-arguments: " + flag(a_settings.passArguments));
    lines.push_back(L"  find-installed-java: " + flag(a_settings.findInstalledJava));
    lines.push_back(L"  read-java-release: " + flag(a_settings.readJavaRelease));
    lines.push_back(L"  in-process: " + flag(a_settings.inProcess));
    lines.push_back(L"  class-data-sharing: " + flag(a_settings.classDataSharing));
    lines.push_back(L"  user-settings: " + text(a_settings.userSettingsFolder));
    lines.push_back(L"  java-download-url: " + text(a_settings.javaDownloadUrl));
    lines.push_back(L"  log-file: " + text(a_logFile));
    for (const std::wstring& note : a_settings.userSettingsNotes) {
        lines.push_back(L"  " + note);
    }
    return lines;
}

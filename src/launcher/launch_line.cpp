#include "launcher/launch_line.h"

#include "platform/command_line.h"
#include "settings/settings.h"

namespace {

// One argument for the application, between blanks as the line has always
// put its start arguments.
std::wstring applicationArgument(const std::wstring& a_argument) {
    return L" " + quotedArgument(a_argument) + L" ";
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

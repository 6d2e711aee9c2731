#include "launcher/launch_line.h"

#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "settings/settings.h"

#include <cstdint>

namespace {

// One argument for the application, between blanks as the line has always
// put its start arguments.
std::wstring applicationArgument(const std::wstring& a_argument) {
    return L" " + quotedArgument(a_argument) + L" ";
}

const wchar_t* pathOptionName(const LauncherSettings& a_settings) {
    return a_settings.start == LauncherSettings::Start::mainClass ? L"-cp" : L"--module-path";
}

std::wstring pathOptionValue(const LauncherSettings& a_settings) {
    return joinedPath(a_settings.start == LauncherSettings::Start::mainClass
                          ? a_settings.classPath
                          : a_settings.modulePath);
}

// The path option on the line itself, or the argument file that holds it.
std::wstring pathOption(const LauncherSettings& a_settings, const std::wstring& a_argumentFile) {
    if (!a_argumentFile.empty()) {
        return L" " + quotedArgument(L"@" + a_argumentFile);
    }
    return L" " + std::wstring(pathOptionName(a_settings)) + L" " +
           quotedArgument(pathOptionValue(a_settings));
}

// 64-bit FNV-1a: a name for the content.
std::uint64_t contentHash(const std::string& a_bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (char byte : a_bytes) {
        hash = (hash ^ static_cast<unsigned char>(byte)) * 0x100000001b3ULL;
    }
    return hash;
}

} // namespace

std::wstring launchCommandLine(const std::wstring& a_javaCommand,
                               const LauncherSettings& a_settings,
                               const std::vector<std::wstring>& a_applicationArguments,
                               const std::wstring& a_argumentFile) {
    std::wstring line = a_javaCommand;
    if (!a_settings.javaOptions.empty()) {
        line += L" " + a_settings.javaOptions; // for the runtime, split by its own rules
    }
    switch (a_settings.start) {
    case LauncherSettings::Start::jar:
        line += L" -jar  \"" + a_settings.jarPath + L"\" ";
        break;
    case LauncherSettings::Start::mainClass:
        line += pathOption(a_settings, a_argumentFile) + L" " +
                quotedArgument(a_settings.mainClass) + L" ";
        break;
    case LauncherSettings::Start::module:
        if (hasPathOption(a_settings)) {
            line += pathOption(a_settings, a_argumentFile);
        }
        line += L" --module " + quotedArgument(a_settings.module) + L" ";
        break;
    }
    if (!a_settings.startArguments.empty()) {
        line += applicationArgument(a_settings.startArguments);
    }
    for (const std::wstring& argument : a_applicationArguments) {
        line += applicationArgument(argument);
    }
    return line;
}

std::wstring joinedPath(const std::vector<std::wstring>& a_entries) {
    std::wstring text;
    for (const std::wstring& entry : a_entries) {
        text += (text.empty() ? L"" : L";") + entry;
    }
    return text;
}

bool hasPathOption(const LauncherSettings& a_settings) {
    return a_settings.start == LauncherSettings::Start::mainClass ||
           (a_settings.start == LauncherSettings::Start::module && !a_settings.modulePath.empty());
}

std::wstring argumentFileText(const LauncherSettings& a_settings) {
    std::wstring value;
    for (wchar_t character : pathOptionValue(a_settings)) {
        value += character == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, character);
    }
    return std::wstring(pathOptionName(a_settings)) + L"\r\n\"" + value + L"\"\r\n";
}

std::wstring writeArgumentFile(const std::wstring& a_text) {
    std::string bytes;
    const std::wstring folder = temporaryFolder();
    if (folder.empty() || !encodeAnsi(a_text, bytes)) {
        return std::wstring();
    }
    const std::wstring path =
        folder + formatWideString(L"tavrin-%016llx.args",
                                  static_cast<unsigned long long>(contentHash(bytes)));
    std::string existing;
    if (readWholeFile(path, existing) && existing == bytes) {
        return path; // written by an earlier start
    }
    return replaceFileContents(path, bytes) == ReplaceResult::replaced ? path : std::wstring();
}

#include "launch/fitting_launch.h"

#include "launch/argument_file.h"
#include "messages/start_log.h"
#include "platform/command_line.h"
#include "platform/text.h"
#include "runtime/java_discovery.h"
#include "settings/settings.h"
#include "version/java_version.h"

namespace {

FittingLaunch noLaunch(const std::wstring& a_why) {
    return FittingLaunch{std::nullopt, a_why};
}

} // namespace

FittingLaunch fittingLaunch(const JavaSearchResult& a_java, const LauncherSettings& a_settings,
                            const std::vector<std::wstring>& a_arguments,
                            const std::vector<std::wstring>& a_ownOptions, StartLog& a_log) {
    LaunchLine line(a_java.javaCommand, a_settings, a_arguments, L"", a_ownOptions);
    const std::size_t length = line.commandLine().size();
    if (length <= longestCommandLine) {
        return FittingLaunch{std::move(line), L""};
    }
    const std::wstring tooLong = formatWideString(L"the launch line is too long for Windows (%lu "
                                                  L"characters)",
                                                  static_cast<unsigned long>(length));
    if (!hasPathOption(a_settings)) {
        return noLaunch(tooLong);
    }
    if (javaFeatureVersion(a_java.version) < 9) {
        return noLaunch(tooLong + L", and a runtime before Java 9 (or of an unknown version) "
                                  L"reads no argument file");
    }
    const std::optional<std::string> bytes = argumentFileBytes(a_settings);
    const std::wstring file = bytes ? argumentFilePath(*bytes) : std::wstring();
    std::string ansiName;
    if (!bytes || file.empty() || !encodeAnsi(file, ansiName)) {
        return noLaunch(tooLong +
                        L", and its argument file cannot be named in the ANSI code "
                        L"page: " +
                        (bytes ? file : pathOptionValue(a_settings)));
    }
    LaunchLine withFile(a_java.javaCommand, a_settings, a_arguments, file, a_ownOptions);
    if (withFile.commandLine().size() > longestCommandLine) {
        return noLaunch(tooLong + L", with an argument file too: the start and passed arguments");
    }
    if (!writeArgumentFile(file, *bytes)) {
        return noLaunch(tooLong + L", and its argument file cannot be written: " + file);
    }
    a_log.line(L"argument file " + file + L": " + fromAnsi(*bytes));
    return FittingLaunch{std::move(withFile), L""};
}

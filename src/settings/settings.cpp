#include "settings/settings.h"

#include "host/launcher_host.h"
#include "messages/message_texts.h"
#include "messages/messages.h"
#include "platform/command_line.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <windows.h>

#include <cwchar>

namespace {

namespace keys {
constexpr const char* singleRunMutex = "single-run-mutex";
constexpr const char* jarFileName = "jar-file-name";
constexpr const char* minJavaVersion = "min-java-version";
constexpr const char* maxJavaVersion = "max-java-version";
constexpr const char* javaLocation = "java-location";
constexpr const char* javaOptions = "java-options";
constexpr const char* startArguments = "start-arguments";
constexpr const char* waitForExit = "wait-for-exit";
constexpr const char* askForJavaLocation = "ask-for-java-location";
constexpr const char* allowNewerVersion = "allow-newer-version";
constexpr const char* passArguments = "pass-arguments";
constexpr const char* findInstalledJava = "find-installed-java";
constexpr const char* readJavaRelease = "read-java-release";
constexpr const char* userSettings = "user-settings";
constexpr const char* singleRunActivate = "single-run-activate";
constexpr const char* javaDownloadUrl = "java-download-url";
constexpr const char* logFile = "log-file";
} // namespace keys

// A double quote cannot be in a Windows file name: such a JAR is missing.
bool readJarPath(const SettingsFile& a_settings, LauncherHost& a_host, const MessageTexts& a_texts,
                 std::wstring& a_jarPath) {
    const std::optional<std::wstring> value = a_settings.value(keys::jarFileName);
    if (!value) {
        return false;
    }
    a_jarPath = configuredFilePath(*value);
    if (a_jarPath.find(L'"') == std::wstring::npos && fileExists(a_jarPath)) {
        return true;
    }
    a_host.showMessage(a_texts.text(MessageKey::jarNotFound, a_jarPath),
                       messages::jarMissingCaption, messages::plainBox);
    return false;
}

bool readMinJavaVersion(const SettingsFile& a_settings, LauncherSettings& a_read) {
    const std::optional<std::wstring> value = a_settings.value(keys::minJavaVersion);
    if (!value) {
        return false;
    }
    a_read.minJavaVersionText = *value;
    return readSettingsVersion(*value, a_read.minJavaVersion);
}

// An optional key's value: an empty one counts as absent, as an author
// clearing a value expects.
std::optional<std::wstring> optionalValue(const SettingsFile& a_settings, const char* a_key) {
    std::optional<std::wstring> value = a_settings.value(a_key);
    if (value && value->empty()) {
        value.reset();
    }
    return value;
}

// Optional; when given, a version not below the minimum.
bool readMaxJavaVersion(const SettingsFile& a_settings, LauncherSettings& a_read) {
    const std::optional<std::wstring> value = optionalValue(a_settings, keys::maxJavaVersion);
    if (!value) {
        return true;
    }
    JavaVersion maximum;
    if (!readSettingsVersion(*value, maximum) ||
        compareJavaVersions(maximum, a_read.minJavaVersion) < 0) {
        return false;
    }
    a_read.maxJavaVersion = maximum;
    return true;
}

void readOptionalText(const SettingsFile& a_settings, const char* a_key, std::wstring& a_value) {
    if (const std::optional<std::wstring> value = optionalValue(a_settings, a_key)) {
        a_value = *value;
    }
}

// False when the key is absent, which only the required switches mind.
bool readSwitch(const SettingsFile& a_settings, const char* a_key, bool& a_value) {
    const std::optional<std::wstring> value = a_settings.value(a_key);
    if (!value) {
        return false;
    }
    a_value = readSettingsBoolean(*value, a_value);
    return true;
}

// The shell opens whatever it is handed: only web addresses are.
bool readDownloadUrl(const SettingsFile& a_settings, std::wstring& a_url) {
    const std::optional<std::wstring> value = optionalValue(a_settings, keys::javaDownloadUrl);
    if (!value) {
        return true;
    }
    if (!startsWithIgnoringCase(*value, L"https://") &&
        !startsWithIgnoringCase(*value, L"http://")) {
        return false;
    }
    a_url = *value;
    return true;
}

// A folder name of its own under %LOCALAPPDATA%: no path, nothing Windows
// refuses in a file name.
bool isPlainFolderName(const std::wstring& a_name) {
    for (wchar_t character : a_name) {
        if (character < L' ' || std::wcschr(L"<>:\"/\\|?*", character) != nullptr) {
            return false;
        }
    }
    return a_name.find(L"..") == std::wstring::npos;
}

// The user's own file, when the settings name one: its java-location
// replaces the application's, its java-options follow the application's.
bool readUserSettings(const SettingsFile& a_settings, LauncherSettings& a_read) {
    const std::optional<std::wstring> name = optionalValue(a_settings, keys::userSettings);
    if (!name) {
        return true;
    }
    if (!isPlainFolderName(*name)) {
        return false;
    }
    const std::wstring localData = environmentVariable(L"LOCALAPPDATA");
    if (localData.empty()) {
        return true; // no place for it: as if there were no such file
    }
    a_read.userSettingsFolder = withTrailingBackslash(localData) + *name;
    std::string bytes;
    if (!readWholeFile(a_read.userSettingsFolder + L"\\" + settingsFileName, bytes)) {
        return true; // a missing file or folder is no error
    }
    a_read.userSettings = SettingsFile(std::move(bytes));
    if (const std::optional<std::wstring> location =
            optionalValue(*a_read.userSettings, keys::javaLocation)) {
        a_read.javaLocation = *location;
        a_read.javaLocationFromUser = true;
    }
    if (const std::optional<std::wstring> options =
            optionalValue(*a_read.userSettings, keys::javaOptions)) {
        a_read.javaOptions += (a_read.javaOptions.empty() ? L"" : L" ") + *options;
    }
    return true;
}

SaveResult replaceSettings(const std::wstring& a_path, const std::string& a_bytes) {
    switch (replaceFileContents(a_path, a_bytes)) {
    case ReplaceResult::replaced:
        return SaveResult::saved;
    case ReplaceResult::notSaved:
        return SaveResult::notSaved;
    case ReplaceResult::notWritable:
        break;
    }
    return SaveResult::notWritable;
}

// The user's file with java-location set: made with its folder when there is
// none, given a [tavrin] section when it has none.
SaveResult saveInUserSettings(const LauncherSettings& a_settings,
                              const std::wstring& a_javaLocation) {
    const std::string line = std::string(keys::javaLocation) + "=" + encodeUtf8(a_javaLocation);
    std::string bytes = "[tavrin]\r\n" + line + "\r\n";
    if (a_settings.userSettings && a_settings.userSettings->hasSection()) {
        const std::optional<std::string> changed =
            a_settings.userSettings->withValue(keys::javaLocation, a_javaLocation);
        if (!changed) {
            return SaveResult::saved;
        }
        bytes = *changed;
    } else if (a_settings.userSettings) {
        const std::string& old = a_settings.userSettings->bytes();
        const bool endsLine = old.empty() || old.back() == '\n' || old.back() == '\r';
        bytes = old + (endsLine ? "" : "\r\n") + bytes;
    }
    // Ignored when it fails: the file cannot be written then, which is reported.
    CreateDirectoryW(a_settings.userSettingsFolder.c_str(), nullptr);
    return replaceSettings(a_settings.userSettingsFolder + L"\\" + settingsFileName, bytes);
}

} // namespace

std::wstring configuredFilePath(const std::wstring& a_value) {
    if (a_value.find(L':') != std::wstring::npos) {
        return a_value;
    }
    return moduleRelativePath(!a_value.empty() && a_value.front() == L'\\' ? a_value.substr(1)
                                                                           : a_value);
}

std::optional<SettingsFile> loadSettingsStore(const std::wstring& a_settingsPath) {
    std::string bytes;
    if (!readWholeFile(a_settingsPath, bytes)) {
        return std::nullopt;
    }
    // An empty file, or one with nothing but the UTF-8 signature, counts as
    // unreadable.
    if (bytes.empty() || bytes == "\xEF\xBB\xBF") {
        return std::nullopt;
    }
    return SettingsFile(std::move(bytes));
}

bool findSettingsSection(const SettingsFile& a_settings, LauncherHost& a_host,
                         const MessageTexts& a_texts) {
    if (a_settings.hasSection()) {
        return true;
    }
    a_host.showMessage(a_texts.text(MessageKey::iniInvalid), messages::errorCaption,
                       messages::plainBox);
    return false;
}

std::wstring readSingleRunMutexName(const SettingsFile& a_settings) {
    return a_settings.value(keys::singleRunMutex).value_or(std::wstring());
}

std::wstring readLogFile(const SettingsFile& a_settings) {
    const std::optional<std::wstring> value = optionalValue(a_settings, keys::logFile);
    return value ? configuredFilePath(expandEnvironmentVariables(*value)) : std::wstring();
}

bool readSingleRunActivate(const SettingsFile& a_settings) {
    bool activate = false;
    readSwitch(a_settings, keys::singleRunActivate, activate);
    return activate;
}

LauncherSettings readLauncherSettings(const SettingsFile& a_settings, LauncherHost& a_host,
                                      const MessageTexts& a_texts) {
    // Every key is read even after a failure, so a missing JAR shows its own
    // message before the invalid-settings one.
    LauncherSettings read;
    bool valid = readJarPath(a_settings, a_host, a_texts, read.jarPath);
    valid = readMinJavaVersion(a_settings, read) && valid;
    valid = readMaxJavaVersion(a_settings, read) && valid;
    readOptionalText(a_settings, keys::javaLocation, read.javaLocation);
    readOptionalText(a_settings, keys::javaOptions, read.javaOptions);
    valid = readUserSettings(a_settings, read) && valid;
    read.javaOptions = expandEnvironmentVariables(read.javaOptions);
    // An open quote would take -jar and the JAR into one option.
    valid = quotesArePaired(read.javaOptions) && valid;
    readOptionalText(a_settings, keys::startArguments, read.startArguments);
    valid = readSwitch(a_settings, keys::waitForExit, read.waitForExit) && valid;
    valid = readSwitch(a_settings, keys::askForJavaLocation, read.askForJavaLocation) && valid;
    valid = readSwitch(a_settings, keys::allowNewerVersion, read.allowNewerVersion) && valid;
    readSwitch(a_settings, keys::passArguments, read.passArguments);
    readSwitch(a_settings, keys::findInstalledJava, read.findInstalledJava);
    readSwitch(a_settings, keys::readJavaRelease, read.readJavaRelease);
    valid = readDownloadUrl(a_settings, read.javaDownloadUrl) && valid;
    read.settingsValid = valid;
    if (!valid) {
        a_host.showMessage(a_texts.text(MessageKey::iniInvalid), messages::errorCaption,
                           messages::plainBox);
    }
    return read;
}

bool readSettingsBoolean(const std::wstring& a_value, bool a_default) {
    const std::wstring value = trimmed(a_value, L" ");
    if (value == L"0") {
        return false;
    }
    if (value == L"1") {
        return true;
    }
    return a_default;
}

SaveResult saveJavaLocation(const SettingsFile& a_settingsFile, const std::wstring& a_settingsPath,
                            const LauncherSettings& a_settings,
                            const std::wstring& a_javaLocation) {
    if (a_settings.javaLocationFromUser) {
        return saveInUserSettings(a_settings, a_javaLocation);
    }
    const std::optional<std::string> changed =
        a_settingsFile.withValue(keys::javaLocation, a_javaLocation);
    if (!changed) {
        return SaveResult::saved; // already so: most starts write nothing
    }
    const SaveResult saved = replaceSettings(a_settingsPath, *changed);
    // An application folder the user may not write to: the user's own file
    // remembers the runtime instead.
    if (saved == SaveResult::notWritable && !a_settings.userSettingsFolder.empty()) {
        return saveInUserSettings(a_settings, a_javaLocation);
    }
    return saved;
}

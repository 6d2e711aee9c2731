#include "settings/settings.h"

#include "messages/message_texts.h"
#include "platform/command_line.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <windows.h>

#include <algorithm>
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
constexpr const char* arguments = "arguments";
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
constexpr const char* inProcess = "in-process";
constexpr const char* classDataSharing = "class-data-sharing";
constexpr const char* mainClass = "main-class";
constexpr const char* classPath = "class-path";
constexpr const char* module = "module";
constexpr const char* modulePath = "module-path";
constexpr const char* workingDirectory = "working-directory";
} // namespace keys

// A problem, "key: why", in the order found.
void invalid(LauncherSettings& a_read, const std::wstring& a_why) {
    a_read.problems.push_back(SettingsProblem{a_why, L""});
}

// A JAR, or an entry of class-path or module-path, whose path does not
// exist: the missing-JAR box shows that path.
void missing(LauncherSettings& a_read, const wchar_t* a_key, const std::wstring& a_path) {
    a_read.problems.push_back(
        SettingsProblem{std::wstring(a_key) + L": no such file or folder: " + a_path, a_path});
}

// A double quote cannot be in a Windows file name: such a JAR is missing.
void readJarPath(const SettingsFile& a_settings, LauncherSettings& a_read) {
    const std::optional<std::wstring> value = a_settings.value(keys::jarFileName);
    a_read.jarPath = configuredFilePath(*value);
    if (a_read.jarPath.find(L'"') != std::wstring::npos || !fileExists(a_read.jarPath)) {
        missing(a_read, L"jar-file-name", a_read.jarPath);
    }
}

void readMinJavaVersion(const SettingsFile& a_settings, LauncherSettings& a_read) {
    const std::optional<std::wstring> value = a_settings.value(keys::minJavaVersion);
    if (!value) {
        invalid(a_read, L"min-java-version: missing, and required");
        return;
    }
    a_read.minJavaVersionText = *value;
    if (!readSettingsVersion(*value, a_read.minJavaVersion)) {
        invalid(a_read, L"min-java-version: not a version: " + *value);
    }
}

// "*" or an entry ending in \* (or /*): Java's wildcard, every JAR of its
// folder, which the JVM expands.
bool isWildcard(const std::wstring& a_entry) {
    return a_entry == L"*" ||
           (a_entry.size() >= 2 && a_entry.back() == L'*' &&
            (a_entry[a_entry.size() - 2] == L'\\' || a_entry[a_entry.size() - 2] == L'/'));
}

// One entry (variables expanded) as a full path, relative to the launcher's
// folder unless it has a colon or is a UNC path; false when it does not
// exist (for a wildcard, its folder), a problem of a_key then.
bool readEntry(const std::wstring& a_entry, const wchar_t* a_key, bool a_wildcards,
               LauncherSettings& a_read, std::vector<std::wstring>& a_entries) {
    if (!isWildcard(a_entry)) {
        const std::wstring path = fullPath(configuredFilePath(a_entry));
        if (path.find(L'"') != std::wstring::npos || (!fileExists(path) && !folderExists(path))) {
            missing(a_read, a_key, path);
            return false;
        }
        a_entries.push_back(path);
        return true;
    }
    if (!a_wildcards) {
        invalid(a_read, L"module-path: folders and JARs, no wildcard: " + a_entry);
        return false;
    }
    // C:\App\lib, but C:\ (the full path has backslashes only)
    const std::wstring folder = withoutTrailingBackslash(
        fullPath(configuredFilePath(a_entry.substr(0, a_entry.size() - 1))));
    if (folder.find(L'"') != std::wstring::npos || !folderExists(folder)) {
        missing(a_read, a_key, folder);
        return false;
    }
    a_entries.push_back(withTrailingBackslash(folder) + L"*");
    return true;
}

// class-path or module-path: variables expanded (a variable may hold several
// entries), then entries separated by ";", blanks around each ignored, empty
// ones skipped; every one must exist, the first that does not is the
// problem.
void readEntries(const std::wstring& a_value, const wchar_t* a_key, bool a_wildcards,
                 LauncherSettings& a_read, std::vector<std::wstring>& a_entries) {
    for (const std::wstring& part : splitAt(expandEnvironmentVariables(a_value), L';')) {
        const std::wstring entry = trimmed(part, L" \t");
        if (!entry.empty() && !readEntry(entry, a_key, a_wildcards, a_read, a_entries)) {
            return;
        }
    }
}

// module=name or module=name/main.Class.
bool isModuleValue(const std::wstring& a_value) {
    const std::size_t slash = a_value.find(L'/');
    return isQualifiedJavaName(a_value.substr(0, slash)) &&
           (slash == std::wstring::npos || isQualifiedJavaName(a_value.substr(slash + 1)));
}

void readMainClassStart(const std::wstring& a_mainClass, const std::wstring& a_classPath,
                        LauncherSettings& a_read) {
    a_read.start = LauncherSettings::Start::mainClass;
    a_read.mainClass = a_mainClass;
    const std::size_t problems = a_read.problems.size();
    readEntries(a_classPath, L"class-path", true, a_read, a_read.classPath);
    if (a_read.classPath.empty() && a_read.problems.size() == problems) {
        invalid(a_read, L"class-path: no entry, only separators");
    }
    if (!isQualifiedJavaName(a_mainClass)) {
        invalid(a_read, L"main-class: not a Java class name: " + a_mainClass);
    }
}

void readModuleStart(const std::wstring& a_module, const std::optional<std::wstring>& a_modulePath,
                     LauncherSettings& a_read) {
    a_read.start = LauncherSettings::Start::module;
    a_read.module = a_module;
    if (a_modulePath) {
        readEntries(*a_modulePath, L"module-path", false, a_read, a_read.modulePath);
    }
    if (!isModuleValue(a_module)) {
        invalid(a_read, L"module: not a module, or module/main class: " + a_module);
    }
}

// Exactly one way to start the application, and the keys that belong to it.
void readStart(const SettingsFile& a_settings, LauncherSettings& a_read) {
    const bool jar = a_settings.value(keys::jarFileName).has_value();
    const std::optional<std::wstring> mainClass = a_settings.givenValue(keys::mainClass);
    const std::optional<std::wstring> classPath = a_settings.givenValue(keys::classPath);
    const std::optional<std::wstring> module = a_settings.givenValue(keys::module);
    const std::optional<std::wstring> modulePath = a_settings.givenValue(keys::modulePath);
    const int ways = (jar ? 1 : 0) + (mainClass ? 1 : 0) + (module ? 1 : 0);
    if (ways != 1) {
        invalid(a_read, ways == 0 ? L"jar-file-name, main-class, module: none given"
                                  : L"jar-file-name, main-class, module: more than one given");
    } else if (classPath.has_value() != mainClass.has_value()) {
        invalid(a_read, mainClass ? L"class-path: missing, and main-class needs it"
                                  : L"class-path: only allowed with main-class");
    } else if (modulePath && !module) {
        invalid(a_read, L"module-path: only allowed with module");
    } else if (jar) {
        readJarPath(a_settings, a_read);
    } else if (mainClass) {
        readMainClassStart(*mainClass, *classPath, a_read);
    } else {
        readModuleStart(*module, modulePath, a_read);
    }
}

// Optional; when given, a version not below the minimum.
void readMaxJavaVersion(const SettingsFile& a_settings, LauncherSettings& a_read) {
    const std::optional<std::wstring> value = a_settings.givenValue(keys::maxJavaVersion);
    if (!value) {
        return;
    }
    JavaVersion maximum;
    if (!readSettingsVersion(*value, maximum)) {
        invalid(a_read, L"max-java-version: not a version: " + *value);
    } else if (compareJavaVersions(maximum, a_read.minJavaVersion) < 0) {
        invalid(a_read, L"max-java-version: below min-java-version");
    } else {
        a_read.maxJavaVersion = maximum;
    }
}

void readOptionalText(const SettingsFile& a_settings, const char* a_key, std::wstring& a_value) {
    if (const std::optional<std::wstring> value = a_settings.givenValue(a_key)) {
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

void readRequiredSwitch(const SettingsFile& a_settings, const char* a_key, bool& a_value,
                        LauncherSettings& a_read) {
    if (!readSwitch(a_settings, a_key, a_value)) {
        invalid(a_read, fromAnsi(a_key) + L": missing, and required");
    }
}

// arguments: variables expanded, then split as Windows splits a command
// line; an open quote would take the arguments after it into one.
void readArguments(const SettingsFile& a_settings, LauncherSettings& a_read) {
    std::wstring text;
    readOptionalText(a_settings, keys::arguments, text);
    text = expandEnvironmentVariables(text);
    if (!quotesArePaired(text)) {
        invalid(a_read, L"arguments: its double quotes do not pair up");
        return;
    }
    a_read.arguments = splitArguments(text);
}

// working-directory: variables expanded, then a path as jar-file-name's; it
// must be a folder.
void readWorkingDirectory(const SettingsFile& a_settings, LauncherSettings& a_read) {
    const std::optional<std::wstring> value = a_settings.givenValue(keys::workingDirectory);
    if (!value) {
        return;
    }
    const std::wstring expanded = expandEnvironmentVariables(*value);
    const std::wstring path = fullPath(configuredFilePath(expanded));
    if (path.find(L'"') != std::wstring::npos || !folderExists(path)) {
        invalid(a_read, L"working-directory: no such folder: " + path);
        return;
    }
    a_read.workingDirectory = withoutTrailingBackslash(path);
}

void readDownloadUrl(const SettingsFile& a_settings, LauncherSettings& a_read) {
    const std::optional<std::wstring> value = a_settings.givenValue(keys::javaDownloadUrl);
    if (!value) {
        return;
    }
    if (!isWebAddress(*value)) {
        invalid(a_read, L"java-download-url: not a web address: " + *value);
        return;
    }
    a_read.javaDownloadUrl = *value;
}

// The user's options, after the application's. They are the user's: when
// their quotes do not pair up, they are left out and the start goes on.
void addUserOptions(const std::wstring& a_options, LauncherSettings& a_read) {
    const std::wstring expanded = expandEnvironmentVariables(a_options);
    if (!quotesArePaired(expanded)) {
        a_read.userSettingsNotes.push_back(userSettingsPath(a_read) +
                                           L": java-options ignored: its double quotes do not "
                                           L"pair up");
        return;
    }
    a_read.javaOptions += (a_read.javaOptions.empty() ? L"" : L" ") + expanded;
}

// The user's own file, when the settings name one: its java-location
// replaces the application's, its java-options follow the application's.
// A file that is not UTF-8 is not read, and never written.
void readUserSettings(const SettingsFile& a_settings, LauncherSettings& a_read) {
    const std::optional<std::wstring> name = a_settings.givenValue(keys::userSettings);
    if (!name) {
        return;
    }
    if (!isUsableFileName(*name)) {
        invalid(a_read, L"user-settings: not a usable folder name: " + *name);
        return;
    }
    const std::wstring localData = environmentVariable(L"LOCALAPPDATA");
    if (localData.empty()) {
        return; // no place for it: as if there were no such file
    }
    a_read.userSettingsFolder = withTrailingBackslash(localData) + *name;
    std::string bytes;
    if (!readWholeFile(userSettingsPath(a_read), bytes)) {
        return; // a missing file or folder is no error
    }
    if (!isUtf8(bytes)) {
        a_read.userSettingsNotes.push_back(userSettingsPath(a_read) +
                                           L": not UTF-8, ignored and left as it is");
        a_read.userSettingsWritable = false;
        return;
    }
    const SettingsFile user(std::move(bytes), a_settings.programSection());
    if (const std::optional<std::wstring> location = user.givenValue(keys::javaLocation)) {
        a_read.applicationJavaLocation = a_read.javaLocation;
        a_read.javaLocation = *location;
        a_read.javaLocationFromUser = true;
    }
    if (const std::optional<std::wstring> options = user.givenValue(keys::javaOptions)) {
        addUserOptions(*options, a_read);
    }
    readUsersUpdateMode(user, a_read.update);
}

} // namespace

std::wstring configuredFilePath(const std::wstring& a_value) {
    if (a_value.find(L':') != std::wstring::npos || a_value.compare(0, 2, L"\\\\") == 0) {
        return a_value;
    }
    return moduleRelativePath(!a_value.empty() && a_value.front() == L'\\' ? a_value.substr(1)
                                                                           : a_value);
}

std::string programSection() {
    return encodeUtf8(fileNameOf(executablePath()));
}

std::optional<SettingsFile> loadSettingsStore(const std::wstring& a_settingsPath,
                                              const std::string& a_programSection) {
    std::string bytes;
    if (!readWholeFile(a_settingsPath, bytes)) {
        return std::nullopt;
    }
    // An empty file, or one with nothing but the UTF-8 signature, counts as
    // unreadable.
    if (bytes.empty() || bytes == "\xEF\xBB\xBF") {
        return std::nullopt;
    }
    return SettingsFile(std::move(bytes), a_programSection);
}

std::optional<SettingsFile> loadLaunchersSettingsFile() {
    return loadSettingsStore(moduleRelativePath(settingsFileName), programSection());
}

std::wstring applicationDataFolder(const std::wstring& a_localAppData,
                                   const std::wstring& a_userSettingsFolder,
                                   const std::wstring& a_launcherName) {
    if (a_localAppData.empty()) {
        return std::wstring();
    }
    return withTrailingBackslash(a_userSettingsFolder.empty()
                                     ? withTrailingBackslash(a_localAppData) +
                                           withoutExtension(a_launcherName)
                                     : a_userSettingsFolder);
}

std::wstring userSettingsPath(const LauncherSettings& a_settings) {
    return a_settings.userSettingsFolder + L"\\" + settingsFileName;
}

std::wstring readSingleRunMutexName(const SettingsFile& a_settings) {
    const std::optional<std::wstring> name = a_settings.value(keys::singleRunMutex);
    return name ? *name : std::wstring();
}

std::wstring readLogFile(const SettingsFile& a_settings) {
    const std::optional<std::wstring> value = a_settings.givenValue(keys::logFile);
    if (!value) {
        return std::wstring();
    }
    const std::wstring path = expandEnvironmentVariables(*value);
    return isRootedPath(path) ? path : configuredFilePath(path);
}

void fillPlaceholders(const SettingsFile& a_settings, MessageTexts& a_texts) {
    const std::optional<std::wstring> jar = a_settings.value(keys::jarFileName);
    const std::optional<std::wstring> version = a_settings.value(keys::minJavaVersion);
    a_texts.setPlaceholders(version ? *version : std::wstring(),
                            jar ? configuredFilePath(*jar) : std::wstring());
}

bool readSingleRunActivate(const SettingsFile& a_settings) {
    bool activate = false;
    readSwitch(a_settings, keys::singleRunActivate, activate);
    return activate;
}

LauncherSettings readLauncherSettings(const SettingsFile& a_settings, SettingsFor a_reader) {
    const bool console = a_reader == SettingsFor::consoleLauncher;
    // A service always waits for its application.
    const bool waits = console || a_reader == SettingsFor::service;
    LauncherSettings read;
    read.programSection = a_settings.programSection();
    read.remembersOwnRuntime =
        a_settings.programHas(keys::minJavaVersion) || a_settings.programHas(keys::maxJavaVersion);
    readStart(a_settings, read);
    readMinJavaVersion(a_settings, read);
    if (read.start == LauncherSettings::Start::module &&
        javaFeatureVersion(read.minJavaVersion) < 9) {
        invalid(read, L"module: needs min-java-version 9 or newer");
    }
    readMaxJavaVersion(a_settings, read);
    readOptionalText(a_settings, keys::javaLocation, read.javaLocation);
    readOptionalText(a_settings, keys::javaOptions, read.javaOptions);
    read.javaOptions = expandEnvironmentVariables(read.javaOptions);
    // An open quote would take -jar and the JAR into one option.
    if (!quotesArePaired(read.javaOptions)) {
        invalid(read, L"java-options: its double quotes do not pair up");
    }
    std::vector<std::wstring> keyProblems;
    read.update = readUpdateSettings(a_settings, keyProblems);
    readUserSettings(a_settings, read);
    readArguments(a_settings, read);
    readOptionalText(a_settings, keys::startArguments, read.startArguments);
    readWorkingDirectory(a_settings, read);
    readSwitch(a_settings, keys::inProcess, read.inProcess);
    // A launcher that names a service, started by a person (an operator
    // trying it), runs the server in front and waits for it.
    if (!readServiceName(a_settings).empty()) {
        read.waitForExit = true;
        readSwitch(a_settings, keys::waitForExit, read.waitForExit);
    } else if (waits || read.inProcess) {
        readSwitch(a_settings, keys::waitForExit, read.waitForExit);
    } else {
        readRequiredSwitch(a_settings, keys::waitForExit, read.waitForExit, read);
    }
    readRequiredSwitch(a_settings, keys::askForJavaLocation, read.askForJavaLocation, read);
    readRequiredSwitch(a_settings, keys::allowNewerVersion, read.allowNewerVersion, read);
    read.passArguments = console;
    readSwitch(a_settings, keys::passArguments, read.passArguments);
    readSwitch(a_settings, keys::findInstalledJava, read.findInstalledJava);
    readSwitch(a_settings, keys::readJavaRelease, read.readJavaRelease);
    readSwitch(a_settings, keys::classDataSharing, read.classDataSharing);
    readDownloadUrl(a_settings, read);
    read.service = readServiceSettings(a_settings, keyProblems);
    for (const std::wstring& why : keyProblems) {
        invalid(read, why);
    }
    if (a_reader == SettingsFor::service && read.service.name.empty()) {
        invalid(read, L"service-name: missing, and the service control manager started the "
                      L"launcher");
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

std::wstring joinedPath(const std::vector<std::wstring>& a_entries) {
    std::wstring text;
    for (const std::wstring& entry : a_entries) {
        text += (text.empty() ? L"" : L";") + entry;
    }
    return text;
}

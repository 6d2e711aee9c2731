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
constexpr const char* mainClass = "main-class";
constexpr const char* classPath = "class-path";
constexpr const char* module = "module";
constexpr const char* modulePath = "module-path";
} // namespace keys

// A JAR, or an entry of class-path or module-path, whose path does not
// exist: the missing-JAR box with that path.
bool reportMissing(const std::wstring& a_path, LauncherHost& a_host, const MessageTexts& a_texts) {
    a_host.showMessage(a_texts.text(MessageKey::jarNotFound, a_path), messages::jarMissingCaption,
                       messages::plainBox);
    return false;
}

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
    return reportMissing(a_jarPath, a_host, a_texts);
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

// One entry as a full path (variables expanded, relative to the launcher's
// folder unless it has a colon); with a_wildcards, "*" or one ending in \*
// is Java's wildcard, every JAR of its folder, which the JVM expands.
bool readEntry(const std::wstring& a_entry, bool a_wildcards, LauncherHost& a_host,
               const MessageTexts& a_texts, std::vector<std::wstring>& a_entries) {
    const std::wstring expanded = expandEnvironmentVariables(a_entry);
    const bool wildcard =
        a_wildcards && (expanded == L"*" || (expanded.size() >= 2 && expanded.back() == L'*' &&
                                             (expanded[expanded.size() - 2] == L'\\' ||
                                              expanded[expanded.size() - 2] == L'/')));
    if (!wildcard) {
        const std::wstring path = fullPath(configuredFilePath(expanded));
        if (path.find(L'"') != std::wstring::npos || (!fileExists(path) && !folderExists(path))) {
            return reportMissing(path, a_host, a_texts);
        }
        a_entries.push_back(path);
        return true;
    }
    std::wstring folder = fullPath(configuredFilePath(expanded.substr(0, expanded.size() - 1)));
    if (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) {
        folder.pop_back(); // C:\App\lib, but C:\ stays
    }
    if (folder.find(L'"') != std::wstring::npos || !folderExists(folder)) {
        return reportMissing(folder, a_host, a_texts);
    }
    a_entries.push_back(withTrailingBackslash(folder) + L"*");
    return true;
}

// class-path or module-path: entries separated by ";", blanks around each
// ignored, empty ones skipped; every one must exist, the first that does not
// is shown.
bool readEntries(const std::wstring& a_value, bool a_wildcards, LauncherHost& a_host,
                 const MessageTexts& a_texts, std::vector<std::wstring>& a_entries) {
    std::size_t begin = 0;
    while (begin <= a_value.size()) {
        const std::size_t end = std::min(a_value.find(L';', begin), a_value.size());
        const std::wstring entry = trimmed(a_value.substr(begin, end - begin), L" \t");
        if (!entry.empty() && !readEntry(entry, a_wildcards, a_host, a_texts, a_entries)) {
            return false;
        }
        begin = end + 1;
    }
    return true;
}

// module=name or module=name/main.Class.
bool isModuleValue(const std::wstring& a_value) {
    const std::size_t slash = a_value.find(L'/');
    return isQualifiedJavaName(a_value.substr(0, slash)) &&
           (slash == std::wstring::npos || isQualifiedJavaName(a_value.substr(slash + 1)));
}

// Exactly one way to start the application, and the keys that belong to it.
bool readStart(const SettingsFile& a_settings, LauncherHost& a_host, const MessageTexts& a_texts,
               LauncherSettings& a_read) {
    const bool jar = a_settings.value(keys::jarFileName).has_value();
    const std::optional<std::wstring> mainClass = optionalValue(a_settings, keys::mainClass);
    const std::optional<std::wstring> classPath = optionalValue(a_settings, keys::classPath);
    const std::optional<std::wstring> module = optionalValue(a_settings, keys::module);
    const std::optional<std::wstring> modulePath = optionalValue(a_settings, keys::modulePath);
    const int ways = (jar ? 1 : 0) + (mainClass ? 1 : 0) + (module ? 1 : 0);
    if (ways != 1 || classPath.has_value() != mainClass.has_value() || (modulePath && !module)) {
        return false;
    }
    if (jar) {
        return readJarPath(a_settings, a_host, a_texts, a_read.jarPath);
    }
    if (mainClass) {
        a_read.start = LauncherSettings::Start::mainClass;
        a_read.mainClass = *mainClass;
        const bool entries = readEntries(*classPath, true, a_host, a_texts, a_read.classPath);
        return entries && isQualifiedJavaName(*mainClass);
    }
    a_read.start = LauncherSettings::Start::module;
    a_read.module = *module;
    const bool entries =
        !modulePath || readEntries(*modulePath, false, a_host, a_texts, a_read.modulePath);
    return entries && isModuleValue(*module);
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

// The shell opens whatever it is handed: only one web address is, with a
// host and nothing that would end it on a command line.
bool isWebAddress(const std::wstring& a_value) {
    constexpr std::size_t longestAddress = 2048;
    std::size_t hostBegin = 0;
    if (startsWithIgnoringCase(a_value, L"https://")) {
        hostBegin = 8;
    } else if (startsWithIgnoringCase(a_value, L"http://")) {
        hostBegin = 7;
    } else {
        return false;
    }
    if (a_value.size() > longestAddress) {
        return false;
    }
    for (wchar_t character : a_value) {
        if (character <= L' ' || (character >= 0x7F && character <= 0x9F) ||
            std::wcschr(L"\"<>", character) != nullptr) {
            return false;
        }
    }
    const std::size_t authorityEnd = a_value.find_first_of(L"/?#", hostBegin);
    std::wstring authority = a_value.substr(hostBegin, authorityEnd - hostBegin);
    authority = authority.substr(authority.rfind(L'@') + 1); // without user@
    return !authority.empty() && authority.front() != L':';
}

bool readDownloadUrl(const SettingsFile& a_settings, std::wstring& a_url) {
    const std::optional<std::wstring> value = optionalValue(a_settings, keys::javaDownloadUrl);
    if (!value) {
        return true;
    }
    if (!isWebAddress(*value)) {
        return false;
    }
    a_url = *value;
    return true;
}

std::wstring userSettingsPath(const LauncherSettings& a_settings) {
    return a_settings.userSettingsFolder + L"\\" + settingsFileName;
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
bool readUserSettings(const SettingsFile& a_settings, LauncherSettings& a_read) {
    const std::optional<std::wstring> name = optionalValue(a_settings, keys::userSettings);
    if (!name) {
        return true;
    }
    if (!isUsableFileName(*name)) {
        return false;
    }
    const std::wstring localData = environmentVariable(L"LOCALAPPDATA");
    if (localData.empty()) {
        return true; // no place for it: as if there were no such file
    }
    a_read.userSettingsFolder = withTrailingBackslash(localData) + *name;
    std::string bytes;
    if (!readWholeFile(userSettingsPath(a_read), bytes)) {
        return true; // a missing file or folder is no error
    }
    if (!isUtf8(bytes)) {
        a_read.userSettingsNotes.push_back(userSettingsPath(a_read) +
                                           L": not UTF-8, ignored and left as it is");
        a_read.userSettingsWritable = false;
        return true;
    }
    const SettingsFile user(std::move(bytes));
    if (const std::optional<std::wstring> location = optionalValue(user, keys::javaLocation)) {
        a_read.applicationJavaLocation = a_read.javaLocation;
        a_read.javaLocation = *location;
        a_read.javaLocationFromUser = true;
    }
    if (const std::optional<std::wstring> options = optionalValue(user, keys::javaOptions)) {
        addUserOptions(*options, a_read);
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

// a_key set to a_value in a_bytes, the file at a_path as it is now, so that
// what others wrote into it meanwhile stays; not written when the value is
// already there.
SaveResult saveValueIn(const std::wstring& a_path, std::string a_bytes, const char* a_key,
                       const std::wstring& a_value) {
    const std::optional<std::string> changed =
        SettingsFile(std::move(a_bytes)).withValue(a_key, a_value);
    if (!changed) {
        return SaveResult::saved; // already so: most starts write nothing
    }
    return replaceSettings(a_path, *changed);
}

// The same, read at this moment; a file that cannot be read cannot be
// rewritten.
SaveResult saveValue(const std::wstring& a_path, const char* a_key, const std::wstring& a_value) {
    std::string bytes;
    if (!readWholeFile(a_path, bytes)) {
        return SaveResult::notWritable;
    }
    return saveValueIn(a_path, std::move(bytes), a_key, a_value);
}

// The user's file with java-location set: made with its folder when there is
// none, given a [tavrin] section when it has none.
SaveResult saveInUserSettings(const LauncherSettings& a_settings,
                              const std::wstring& a_javaLocation) {
    if (!a_settings.userSettingsWritable) {
        return SaveResult::notWritable;
    }
    const std::wstring path = userSettingsPath(a_settings);
    std::string bytes;
    if (!readWholeFile(path, bytes)) {
        // Ignored when it fails: the file cannot be written then, which is reported.
        CreateDirectoryW(a_settings.userSettingsFolder.c_str(), nullptr);
    } else if (!isUtf8(bytes)) {
        return SaveResult::notWritable; // never appended to in another encoding
    } else if (SettingsFile(bytes).hasSection()) {
        return saveValueIn(path, std::move(bytes), keys::javaLocation, a_javaLocation);
    }
    const bool endsLine = bytes.empty() || bytes.back() == '\n' || bytes.back() == '\r';
    bytes += std::string(endsLine ? "" : "\r\n") + "[tavrin]\r\n" + keys::javaLocation + "=" +
             encodeUtf8(a_javaLocation) + "\r\n";
    return replaceSettings(path, bytes);
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
    const std::optional<std::wstring> name = a_settings.value(keys::singleRunMutex);
    return name ? *name : std::wstring();
}

std::wstring readLogFile(const SettingsFile& a_settings) {
    const std::optional<std::wstring> value = optionalValue(a_settings, keys::logFile);
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

LauncherSettings readLauncherSettings(const SettingsFile& a_settings, LauncherHost& a_host,
                                      const MessageTexts& a_texts) {
    // Every key is read even after a failure, so a missing JAR shows its own
    // message before the invalid-settings one.
    LauncherSettings read;
    bool valid = readStart(a_settings, a_host, a_texts, read);
    valid = readMinJavaVersion(a_settings, read) && valid;
    // Modules came with Java 9.
    valid = (read.start != LauncherSettings::Start::module ||
             javaFeatureVersion(read.minJavaVersion) >= 9) &&
            valid;
    valid = readMaxJavaVersion(a_settings, read) && valid;
    readOptionalText(a_settings, keys::javaLocation, read.javaLocation);
    readOptionalText(a_settings, keys::javaOptions, read.javaOptions);
    read.javaOptions = expandEnvironmentVariables(read.javaOptions);
    // An open quote would take -jar and the JAR into one option.
    valid = quotesArePaired(read.javaOptions) && valid;
    valid = readUserSettings(a_settings, read) && valid;
    readOptionalText(a_settings, keys::startArguments, read.startArguments);
    valid = readSwitch(a_settings, keys::waitForExit, read.waitForExit) && valid;
    valid = readSwitch(a_settings, keys::askForJavaLocation, read.askForJavaLocation) && valid;
    valid = readSwitch(a_settings, keys::allowNewerVersion, read.allowNewerVersion) && valid;
    readSwitch(a_settings, keys::passArguments, read.passArguments);
    readSwitch(a_settings, keys::findInstalledJava, read.findInstalledJava);
    readSwitch(a_settings, keys::readJavaRelease, read.readJavaRelease);
    readSwitch(a_settings, keys::inProcess, read.inProcess);
    valid = readDownloadUrl(a_settings, read.javaDownloadUrl) && valid;
    read.settingsValid = valid;
    if (!valid) {
        a_host.showMessage(a_texts.text(MessageKey::iniInvalid), messages::errorCaption,
                           messages::plainBox);
    }
    return read;
}

namespace {

bool isJavaLetter(wchar_t a_character) {
    if (a_character < 0x80) {
        return (a_character >= L'a' && a_character <= L'z') ||
               (a_character >= L'A' && a_character <= L'Z') || a_character == L'_' ||
               a_character == L'$';
    }
    if (a_character >= 0xD800 && a_character <= 0xDFFF) {
        return true; // a letter beyond the first plane, taken as one
    }
    WORD type = 0;
    return GetStringTypeW(CT_CTYPE1, &a_character, 1, &type) && (type & C1_ALPHA) != 0;
}

bool isJavaDigit(wchar_t a_character) {
    if (a_character < 0x80) {
        return a_character >= L'0' && a_character <= L'9';
    }
    WORD type = 0;
    return GetStringTypeW(CT_CTYPE1, &a_character, 1, &type) && (type & C1_DIGIT) != 0;
}

} // namespace

bool isQualifiedJavaName(const std::wstring& a_name) {
    bool identifierStart = true;
    for (wchar_t character : a_name) {
        if (character == L'.' && !identifierStart) {
            identifierStart = true;
        } else if (isJavaLetter(character) || (!identifierStart && isJavaDigit(character))) {
            identifierStart = false;
        } else {
            return false;
        }
    }
    return !identifierStart;
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

SaveResult saveJavaLocation(const std::wstring& a_settingsPath, const LauncherSettings& a_settings,
                            const std::wstring& a_javaLocation, bool a_applicationsOwn) {
    if (a_applicationsOwn) {
        // The application's java-location names it: a value of the user's
        // that failed must not hide it again, and nothing of the
        // application's goes into the user's file.
        if (a_settings.javaLocationFromUser) {
            saveInUserSettings(a_settings, L""); // when it fails, the search finds it again
        }
        const SaveResult saved = saveValue(a_settingsPath, keys::javaLocation, a_javaLocation);
        return saved == SaveResult::notWritable && !a_settings.userSettingsFolder.empty()
                   ? SaveResult::saved
                   : saved;
    }
    if (a_settings.javaLocationFromUser) {
        return saveInUserSettings(a_settings, a_javaLocation);
    }
    const SaveResult saved = saveValue(a_settingsPath, keys::javaLocation, a_javaLocation);
    // An application folder the user may not write to: the user's own file
    // remembers the runtime instead.
    if (saved == SaveResult::notWritable && !a_settings.userSettingsFolder.empty()) {
        return saveInUserSettings(a_settings, a_javaLocation);
    }
    return saved;
}

bool isUsableMutexName(const std::wstring& a_name) {
    std::wstring name = a_name;
    for (const wchar_t* prefix : {L"Global\\", L"Local\\"}) {
        if (name.compare(0, std::wcslen(prefix), prefix) == 0) {
            name = name.substr(std::wcslen(prefix));
            break;
        }
    }
    return !name.empty() && a_name.size() <= MAX_PATH && name.find(L'\\') == std::wstring::npos;
}

#include "launcher/settings.h"

#include "launcher/exit_codes.h"
#include "launcher/launcher_host.h"
#include "launcher/messages.h"
#include "platform/environment.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/unique_handle.h"

#include <windows.h>

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
} // namespace keys

// Another launcher may be reading or replacing the file at this instant:
// such a conflict passes, and is waited out for about a second.
constexpr int sharingAttempts = 40;
constexpr DWORD sharingRetryDelayMs = 25;

bool isSharingConflict(DWORD a_error) {
    return a_error == ERROR_SHARING_VIOLATION || a_error == ERROR_LOCK_VIOLATION;
}

// Repeats a_attempt while it fails with an error that a_passes calls
// passing; true once it succeeds.
template <typename Attempt, typename Passes>
bool retryWhileConflicting(Attempt a_attempt, Passes a_passes) {
    for (int attempt = 1;; ++attempt) {
        if (a_attempt()) {
            return true;
        }
        if (!a_passes(GetLastError()) || attempt == sharingAttempts) {
            return false;
        }
        Sleep(sharingRetryDelayMs);
    }
}

UniqueFile openForReading(const std::wstring& a_path) {
    UniqueFile file;
    retryWhileConflicting(
        [&] {
            // Read sharing only: nobody rewrites the file while it is read.
            file.reset(CreateFileW(a_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            return static_cast<bool>(file);
        },
        isSharingConflict);
    return file;
}

bool readWholeFile(const std::wstring& a_path, std::string& a_bytes) {
    const UniqueFile file = openForReading(a_path);
    if (!file) {
        return false;
    }
    char chunk[4096];
    DWORD read = 0;
    for (;;) {
        if (!ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr)) {
            return false;
        }
        if (read == 0) {
            return true;
        }
        a_bytes.append(chunk, read);
    }
}

// A value with a colon is a full path; any other joins the launcher's folder.
// A double quote cannot be in a Windows file name: such a JAR is missing.
bool readJarPath(const SettingsFile& a_settings, LauncherHost& a_host, std::wstring& a_jarPath) {
    const std::optional<std::wstring> value = a_settings.value(keys::jarFileName);
    if (!value) {
        return false;
    }
    a_jarPath = isAbsolutePath(*value) ? *value : moduleRelativePath(*value);
    if (a_jarPath.find(L'"') == std::wstring::npos && fileExists(a_jarPath)) {
        return true;
    }
    a_host.showMessage(formatWideString(messages::jarMissing, a_jarPath.c_str()),
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

// Optional; when given, a version not below the minimum.
bool readMaxJavaVersion(const SettingsFile& a_settings, LauncherSettings& a_read) {
    const std::optional<std::wstring> value = a_settings.value(keys::maxJavaVersion);
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
    if (const std::optional<std::wstring> value = a_settings.value(a_key)) {
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

bool writeNewFile(const std::wstring& a_path, const std::string& a_bytes, int& a_failure) {
    const UniqueFile file(CreateFileW(a_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        a_failure = exit_codes::settingsNotWritable;
        return false;
    }
    DWORD written = 0;
    if (!WriteFile(file.get(), a_bytes.data(), static_cast<DWORD>(a_bytes.size()), &written,
                   nullptr) ||
        written != a_bytes.size() || !FlushFileBuffers(file.get())) {
        a_failure = exit_codes::settingsNotSaved;
        return false;
    }
    return true;
}

// Puts the new file in the settings file's place by a rename, which other
// readers see in one step: the settings file is always there, old or new.
// (ReplaceFileW is no such step under Wine: the name is briefly missing.)
bool replaceSettingsFile(const std::wstring& a_settingsPath, const std::wstring& a_newPath) {
    const DWORD attributes = GetFileAttributesW(a_settingsPath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // Windows refuses to replace a read-only file; so does the launcher,
        // also where the system would let it (Wine run as root).
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return false;
        }
        // The marks a rename would otherwise lose. Not needed for the rewrite
        // itself, so a failure is ignored.
        constexpr DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                               FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        if ((attributes & kept) != 0) {
            SetFileAttributesW(a_newPath.c_str(), attributes & kept);
        }
    }
    return retryWhileConflicting(
        [&] {
            return MoveFileExW(a_newPath.c_str(), a_settingsPath.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
        },
        // A launcher reading the file holds it for a moment; Windows reports
        // that as a refused access too.
        [](DWORD a_error) { return isSharingConflict(a_error) || a_error == ERROR_ACCESS_DENIED; });
}

} // namespace

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

bool findSettingsSection(const SettingsFile& a_settings, LauncherHost& a_host) {
    if (a_settings.hasSection()) {
        return true;
    }
    a_host.showMessage(messages::settingsInvalid, messages::errorCaption, messages::plainBox);
    return false;
}

std::wstring readSingleRunMutexName(const SettingsFile& a_settings) {
    return a_settings.value(keys::singleRunMutex).value_or(std::wstring());
}

LauncherSettings readLauncherSettings(const SettingsFile& a_settings, LauncherHost& a_host) {
    // Every key is read even after a failure, so a missing JAR shows its own
    // message before the invalid-settings one.
    LauncherSettings read;
    bool valid = readJarPath(a_settings, a_host, read.jarPath);
    valid = readMinJavaVersion(a_settings, read) && valid;
    valid = readMaxJavaVersion(a_settings, read) && valid;
    readOptionalText(a_settings, keys::javaLocation, read.javaLocation);
    readOptionalText(a_settings, keys::javaOptions, read.javaOptions);
    read.javaOptions = expandEnvironmentVariables(read.javaOptions);
    readOptionalText(a_settings, keys::startArguments, read.startArguments);
    valid = readSwitch(a_settings, keys::waitForExit, read.waitForExit) && valid;
    valid = readSwitch(a_settings, keys::askForJavaLocation, read.askForJavaLocation) && valid;
    valid = readSwitch(a_settings, keys::allowNewerVersion, read.allowNewerVersion) && valid;
    readSwitch(a_settings, keys::passArguments, read.passArguments);
    readSwitch(a_settings, keys::findInstalledJava, read.findInstalledJava);
    read.settingsValid = valid;
    if (!valid) {
        a_host.showMessage(messages::settingsInvalid, messages::errorCaption, messages::plainBox);
    }
    return read;
}

bool readSettingsBoolean(std::wstring a_value, bool a_default) {
    trimInPlace(a_value, L' ');
    if (a_value == L"0") {
        return false;
    }
    if (a_value == L"1") {
        return true;
    }
    return a_default;
}

int saveJavaLocation(const SettingsFile& a_settings, const std::wstring& a_settingsPath,
                     const std::wstring& a_javaLocation) {
    const std::optional<std::string> changed =
        a_settings.withValue(keys::javaLocation, a_javaLocation);
    if (!changed) {
        return exit_codes::normalEnd; // already so: most starts write nothing
    }
    // Written beside the settings file, then put in its place in one step:
    // the settings file is never seen half-written, and launchers that
    // rewrite it at the same time leave one complete file.
    const std::wstring newPath =
        a_settingsPath + formatWideString(L".%lu.tmp", GetCurrentProcessId());
    int failure = exit_codes::settingsNotWritable;
    if (writeNewFile(newPath, *changed, failure) && replaceSettingsFile(a_settingsPath, newPath)) {
        return exit_codes::normalEnd;
    }
    DeleteFileW(newPath.c_str()); // nothing more to do when this fails
    return failure;
}

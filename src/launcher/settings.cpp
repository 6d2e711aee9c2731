#include "launcher/settings.h"

#include "launcher/exit_codes.h"
#include "launcher/launcher_host.h"
#include "launcher/messages.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/unique_handle.h"

#include <windows.h>

#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <cstring>

struct SettingsStore::Ini : CSimpleIniW {
    // Case-insensitive names, a single entry per key, values end at their
    // line end; UTF-8 on disk; no blanks around "=" when saved.
    Ini() : CSimpleIniW(true, false, false) {
        SetUnicode();
        SetSpaces(false);
    }
};

namespace {

constexpr const wchar_t* section = L"tavrin";

namespace keys {
constexpr const wchar_t* singleRunMutex = L"single-run-mutex";
constexpr const wchar_t* jarFileName = L"jar-file-name";
constexpr const wchar_t* minJavaVersion = L"min-java-version";
constexpr const wchar_t* javaLocation = L"java-location";
constexpr const wchar_t* startArguments = L"start-arguments";
constexpr const wchar_t* waitForExit = L"wait-for-exit";
constexpr const wchar_t* askForJavaLocation = L"ask-for-java-location";
constexpr const wchar_t* allowNewerVersion = L"allow-newer-version";
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

bool isPresent(const PresentKeys& a_presentKeys, const wchar_t* a_key) {
    return a_presentKeys.count(a_key) != 0;
}

std::wstring valueOf(const SettingsStore& a_store, const wchar_t* a_key) {
    const wchar_t* value = a_store.ini().GetValue(section, a_key, nullptr);
    return value == nullptr ? std::wstring() : std::wstring(value);
}

// A value with a colon is a full path; any other joins the launcher's folder.
bool readJarPath(const SettingsStore& a_store, const PresentKeys& a_presentKeys,
                 LauncherHost& a_host, std::wstring& a_jarPath) {
    if (!isPresent(a_presentKeys, keys::jarFileName)) {
        return false;
    }
    const std::wstring value = valueOf(a_store, keys::jarFileName);
    a_jarPath = isAbsolutePath(value) ? value : moduleRelativePath(value);
    if (fileExists(a_jarPath)) {
        return true;
    }
    a_host.showMessage(formatWideString(messages::jarMissing, a_jarPath.c_str()),
                       messages::jarMissingCaption, messages::plainBox);
    return false;
}

bool readMinJavaVersion(const SettingsStore& a_store, const PresentKeys& a_presentKeys,
                        LauncherSettings& a_settings) {
    if (!isPresent(a_presentKeys, keys::minJavaVersion)) {
        return false;
    }
    a_settings.minJavaVersionText = valueOf(a_store, keys::minJavaVersion);
    return readJavaVersion(a_settings.minJavaVersionText, a_settings.minJavaVersion);
}

void readOptionalText(const SettingsStore& a_store, const PresentKeys& a_presentKeys,
                      const wchar_t* a_key, std::wstring& a_value) {
    if (isPresent(a_presentKeys, a_key)) {
        a_value = valueOf(a_store, a_key);
    }
}

bool readRequiredBoolean(const SettingsStore& a_store, const PresentKeys& a_presentKeys,
                         const wchar_t* a_key, bool& a_value) {
    if (!isPresent(a_presentKeys, a_key)) {
        return false;
    }
    a_value = readSettingsBoolean(valueOf(a_store, a_key), a_value);
    return true;
}

// Writes the store's UTF-8 text straight to a file handle; iostreams would
// multiply the executable's size. Remembers any failed or short write.
class FileHandleWriter final : public CSimpleIniW::OutputWriter {
public:
    explicit FileHandleWriter(HANDLE a_file) : m_file(a_file) {}

    void Write(const char* a_text) override {
        const DWORD length = static_cast<DWORD>(std::strlen(a_text));
        DWORD written = 0;
        if (!WriteFile(m_file, a_text, length, &written, nullptr) || written != length) {
            m_failed = true;
        }
    }

    bool failed() const { return m_failed; }

private:
    HANDLE m_file;
    bool m_failed = false;
};

// The whole store into a new file; -9 when anything of it fails.
int writeStore(const SettingsStore& a_store, const std::wstring& a_path) {
    const UniqueFile file(CreateFileW(a_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return exit_codes::settingsNotWritable;
    }
    FileHandleWriter writer(file.get());
    // No UTF-8 signature, whether or not the loaded file had one.
    if (a_store.ini().Save(writer, false) < 0 || writer.failed() || !FlushFileBuffers(file.get())) {
        return exit_codes::settingsNotSaved;
    }
    return exit_codes::normalEnd;
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

SettingsStore::SettingsStore() : m_ini(std::make_unique<Ini>()) {}
SettingsStore::~SettingsStore() = default;

std::unique_ptr<SettingsStore> loadSettingsStore(const std::wstring& a_settingsPath) {
    std::string bytes;
    if (!readWholeFile(a_settingsPath, bytes)) {
        return nullptr;
    }
    // An empty file, or one with nothing but the UTF-8 signature, counts as
    // unreadable.
    if (bytes.empty() || bytes == "\xEF\xBB\xBF") {
        return nullptr;
    }
    auto store = std::make_unique<SettingsStore>();
    if (store->ini().LoadData(bytes.data(), bytes.size()) < 0) {
        return nullptr;
    }
    return store;
}

bool indexSettingsKeys(const SettingsStore& a_store, PresentKeys& a_presentKeys,
                       LauncherHost& a_host) {
    CSimpleIniW::TNamesDepend names;
    if (!a_store.ini().GetAllKeys(section, names)) {
        a_host.showMessage(messages::settingsInvalid, messages::errorCaption, messages::plainBox);
        return false;
    }
    for (const CSimpleIniW::Entry& name : names) {
        a_presentKeys.insert(name.pItem);
    }
    return true;
}

std::wstring readSingleRunMutexName(const SettingsStore& a_store,
                                    const PresentKeys& a_presentKeys) {
    return isPresent(a_presentKeys, keys::singleRunMutex) ? valueOf(a_store, keys::singleRunMutex)
                                                          : std::wstring();
}

LauncherSettings readLauncherSettings(const SettingsStore& a_store,
                                      const PresentKeys& a_presentKeys, LauncherHost& a_host) {
    // Every key is read even after a failure, so a missing JAR shows its own
    // message before the invalid-settings one.
    LauncherSettings settings;
    bool valid = readJarPath(a_store, a_presentKeys, a_host, settings.jarPath);
    valid = readMinJavaVersion(a_store, a_presentKeys, settings) && valid;
    readOptionalText(a_store, a_presentKeys, keys::javaLocation, settings.javaLocation);
    readOptionalText(a_store, a_presentKeys, keys::startArguments, settings.startArguments);
    valid = readRequiredBoolean(a_store, a_presentKeys, keys::waitForExit, settings.waitForExit) &&
            valid;
    valid = readRequiredBoolean(a_store, a_presentKeys, keys::askForJavaLocation,
                                settings.askForJavaLocation) &&
            valid;
    valid = readRequiredBoolean(a_store, a_presentKeys, keys::allowNewerVersion,
                                settings.allowNewerVersion) &&
            valid;
    settings.settingsValid = valid;
    if (!valid) {
        a_host.showMessage(messages::settingsInvalid, messages::errorCaption, messages::plainBox);
    }
    return settings;
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

int saveJavaLocation(SettingsStore& a_store, const std::wstring& a_settingsPath,
                     const std::wstring& a_javaExecutable) {
    // An existing entry keeps its place and comment; a new one comes last.
    a_store.ini().SetValue(section, keys::javaLocation, a_javaExecutable.c_str());

    // Written beside the settings file, then put in its place in one step:
    // the settings file is never seen half-written, and launchers that
    // rewrite it at the same time leave one complete file.
    const std::wstring newPath =
        a_settingsPath + formatWideString(L".%lu.tmp", GetCurrentProcessId());
    const int written = writeStore(a_store, newPath);
    if (written == exit_codes::normalEnd && replaceSettingsFile(a_settingsPath, newPath)) {
        return exit_codes::normalEnd;
    }
    DeleteFileW(newPath.c_str()); // nothing more to do when this fails
    return written == exit_codes::normalEnd ? exit_codes::settingsNotWritable : written;
}

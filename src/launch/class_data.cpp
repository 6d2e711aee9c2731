#include "launch/class_data.h"

#include "messages/start_log.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/named_mutex.h"
#include "platform/paths.h"
#include "platform/process_record.h"
#include "platform/text.h"
#include "runtime/java_candidate.h"
#include "runtime/java_discovery.h"
#include "settings/settings.h"
#include "version/java_version.h"

#include <cstring>
#include <cwchar>

namespace {

constexpr int firstFeatureVersion = 13;
// A dynamic archive's header starts with its magic number, 0xf00baba8.
constexpr unsigned char dynamicMagic[] = {0xa8, 0xab, 0x0b, 0xf0};
// No word about the archive reaches the application's streams.
constexpr const wchar_t* quiet = L"-Xlog:cds*=off";

// A file as the JVM checks it: its full path, size and last-write time.
std::wstring fileLine(const std::wstring& a_path) {
    ListedFile facts;
    fileFacts(a_path, facts);
    return formatWideString(L"%s %llu %llu\n", a_path.c_str(), facts.size, facts.writeTime);
}

// A class- or module-path entry; for a wildcard, the .jar files of its folder.
std::wstring entryLines(const std::wstring& a_entry) {
    if (a_entry.empty() || a_entry.back() != L'*') {
        return fileLine(a_entry);
    }
    const std::wstring folder = a_entry.substr(0, a_entry.size() - 1);
    std::wstring lines = L"folder " + folder + L"\n";
    for (const ListedFile& jar : filesIn(folder, L"*.jar")) {
        if (samePath(withoutExtension(jar.name) + L".jar", jar.name)) {
            lines += fileLine(folder + jar.name);
        }
    }
    return lines;
}

std::wstring startLines(const LauncherSettings& a_settings) {
    switch (a_settings.start) {
    case LauncherSettings::Start::jar:
        return L"-jar " + fileLine(a_settings.jarPath);
    case LauncherSettings::Start::mainClass:
        return L"-cp " + a_settings.mainClass + L"\n";
    case LauncherSettings::Start::module:
        break;
    }
    return L"--module " + a_settings.module + L"\n";
}

bool makeFolders(const std::wstring& a_folder) {
    const std::wstring parent = folderOf(a_folder.substr(0, a_folder.size() - 1));
    // Ignored when it fails: the folder below then cannot be made either.
    CreateDirectoryW(parent.c_str(), nullptr);
    return CreateDirectoryW(a_folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

} // namespace

std::wstring classDataFolder(const std::wstring& a_localAppData,
                             const std::wstring& a_userSettingsFolder,
                             const std::wstring& a_launcherName) {
    if (a_localAppData.empty()) {
        return std::wstring();
    }
    const std::wstring application =
        a_userSettingsFolder.empty()
            ? withTrailingBackslash(a_localAppData) + withoutExtension(a_launcherName)
            : a_userSettingsFolder;
    return withTrailingBackslash(application) + L"class-data\\";
}

std::wstring whyNoClassData(int a_featureVersion, const std::string& a_release) {
    if (a_featureVersion < 0) {
        return L"the runtime's version is not known";
    }
    if (a_featureVersion < firstFeatureVersion) {
        return L"Java before 13 makes no archive of an application's classes";
    }
    std::wstring variant;
    if (releaseValue(a_release, "JVM_VARIANT", variant) && !samePath(variant, L"Hotspot")) {
        return L"the runtime is not HotSpot (JVM_VARIANT=" + variant + L")";
    }
    return std::wstring();
}

std::wstring classDataInputs(const std::wstring& a_javaExecutable, const std::string& a_release,
                             const std::wstring& a_version, const LauncherSettings& a_settings) {
    std::wstring inputs = L"runtime " + fileLine(a_javaExecutable);
    inputs += a_release.empty() ? L"version " + a_version + L"\n"
                                : decodeUtf8(a_release.data(), a_release.size()) + L"\n";
    inputs += startLines(a_settings);
    const std::vector<std::wstring>& entries =
        a_settings.start == LauncherSettings::Start::mainClass ? a_settings.classPath
                                                               : a_settings.modulePath;
    for (const std::wstring& entry : entries) {
        inputs += entryLines(entry);
    }
    return inputs + L"options " + a_settings.javaOptions + L"\n";
}

bool isWholeArchive(const std::wstring& a_path, ULONGLONG a_size) {
    ListedFile facts;
    std::string bytes;
    if (!fileFacts(a_path, facts) || facts.size != a_size || a_size < sizeof dynamicMagic) {
        return false;
    }
    const UniqueFile file(CreateFileW(a_path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    unsigned char header[sizeof dynamicMagic] = {};
    DWORD read = 0;
    return file && ReadFile(file.get(), header, sizeof header, &read, nullptr) &&
           read == sizeof header && std::memcmp(header, dynamicMagic, sizeof header) == 0;
}

void ClassDataArchive::prepare(const std::wstring& a_folder, const std::wstring& a_application,
                               const std::wstring& a_inputs, StartLog& a_log) {
    if (!makeFolders(a_folder)) {
        a_log.line(L"class-data: the folder " + a_folder +
                   L" cannot be made: the application starts without an archive");
        return;
    }
    m_folder = a_folder;
    m_application = a_application + L"-";
    m_digest = m_application + hexDigits(fnv1aHash(a_inputs.data(), a_inputs.size()));
    // Starts of one archive take turns to decide; should the wait fail,
    // the files below still keep a second maker out in all but a moment.
    NamedMutex lock;
    if (lock.open(L"Local\\tavrin.class-data." + m_digest, false) != NamedMutex::Opened::failed) {
        lock.acquire(5000);
    }
    const bool beingMade = settle(a_log);
    const std::wstring archive = wholeArchive(a_log);
    if (!archive.empty()) {
        m_options = {L"-XX:SharedArchiveFile=" + archive, quiet};
        a_log.line(L"class-data: used " + archive);
        return;
    }
    if (beingMade) {
        a_log.line(L"class-data: " + m_folder + m_digest +
                   L" is being made by another start: the application starts without one");
        return;
    }
    const std::wstring own = m_folder + m_digest + formatWideString(L".%lu", GetCurrentProcessId());
    m_marker.reset(CreateFileW((own + L".making").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!m_marker) {
        a_log.line(L"class-data: " + m_folder +
                   L" takes no file: the application starts without an archive");
        return;
    }
    m_options = {L"-XX:ArchiveClassesAtExit=" + own + L".jsa.tmp", quiet};
    a_log.line(L"class-data: being made, at the application's end: " + own + L".jsa.tmp");
}

void ClassDataArchive::prepareFor(const JavaSearchResult& a_java, const std::wstring& a_executable,
                                  const LauncherSettings& a_settings, StartLog& a_log) {
    const std::wstring releaseFile = releaseFileOf(a_executable);
    std::string release;
    if (!releaseFile.empty() && !readWholeFile(releaseFile, release)) {
        release.clear();
    }
    const std::wstring why = whyNoClassData(javaFeatureVersion(a_java.version), release);
    const std::wstring folder =
        classDataFolder(environmentVariable(L"LOCALAPPDATA"), a_settings.userSettingsFolder,
                        fileNameOf(executablePath()));
    if (!why.empty() || folder.empty()) {
        a_log.line(L"class-data: none: " + (why.empty() ? L"%LOCALAPPDATA% is not set" : why));
        return;
    }
    const std::wstring version =
        formatWideString(L"%d.%d", a_java.version.major, a_java.version.minor);
    const std::wstring launcher = executablePath();
    const std::wstring application =
        hexDigits(fnv1aHash(launcher.data(), launcher.size())).substr(8);
    prepare(folder, application, classDataInputs(a_executable, release, version, a_settings),
            a_log);
}

void ClassDataArchive::started(HANDLE a_process) {
    if (m_marker) {
        // Without it, the marker ends with the launcher, and a later start
        // may make the archive too: no matter.
        giveHandleTo(a_process, m_marker.get());
    }
}

void ClassDataArchive::finish(StartLog& a_log) {
    if (m_marker) {
        m_marker.reset();
        settle(a_log);
    }
}

// The archives that ended JVMs made, put in place when whole and deleted
// when not; whether one is still being made.
bool ClassDataArchive::settle(StartLog& a_log) {
    bool beingMade = false;
    for (const ListedFile& made : filesIn(m_folder, m_digest + L".*.jsa.tmp")) {
        const std::wstring stem = m_folder + made.name.substr(0, made.name.size() - 8);
        if (fileExists(stem + L".making")) {
            beingMade = true;
        } else if (isWholeArchive(m_folder + made.name, made.size)) {
            putInPlace(m_folder + made.name, a_log);
        } else if (deleteFile(m_folder + made.name)) {
            a_log.line(L"class-data: deleted, not whole: " + m_folder + made.name);
        }
    }
    return beingMade || !filesIn(m_folder, m_digest + L".*.making").empty();
}

// The whole archive of this digest in place; one that is not whole is
// deleted.
std::wstring ClassDataArchive::wholeArchive(StartLog& a_log) {
    for (const ListedFile& archive : filesIn(m_folder, m_digest + L"-*.jsa")) {
        const std::wstring path = m_folder + archive.name;
        const unsigned long long named =
            std::wcstoull(archive.name.c_str() + m_digest.size() + 1, nullptr, 10);
        if (isWholeArchive(path, named)) {
            return path;
        }
        if (deleteFile(path)) {
            a_log.line(L"class-data: deleted, not whole: " + path);
        }
    }
    return std::wstring();
}

// a_made under the archive's name, and every other archive of the
// application gone (those a running JVM maps stay until a later start).
void ClassDataArchive::putInPlace(const std::wstring& a_made, StartLog& a_log) {
    ListedFile facts;
    fileFacts(a_made, facts);
    const std::wstring name = m_digest + formatWideString(L"-%llu.jsa", facts.size);
    if (!MoveFileExW(a_made.c_str(), (m_folder + name).c_str(), 0)) {
        deleteFile(a_made); // another start put the same archive in place
        return;
    }
    a_log.line(L"class-data: put in place: " + m_folder + name);
    for (const ListedFile& other : filesIn(m_folder, m_application + L"*.jsa")) {
        const bool archive = samePath(withoutExtension(other.name) + L".jsa", other.name);
        if (archive && other.name != name && deleteFile(m_folder + other.name)) {
            a_log.line(L"class-data: deleted, no longer matching: " + m_folder + other.name);
        }
    }
}

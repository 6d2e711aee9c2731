#include "launch/class_data.h"

#include "messages/start_log.h"
#include "platform/command_line.h"
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

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace {

constexpr int firstFeatureVersion = 13;
// A dynamic archive's header starts with its magic number, 0xf00baba8.
constexpr unsigned char dynamicMagic[] = {0xa8, 0xab, 0x0b, 0xf0};
// No word about the archive reaches the application's streams.
constexpr const wchar_t* quiet = L"-Xlog:cds*=off";

// A file as the JVM checks it, its full path, size and last-write time, and
// its change time: a JAR rebuilt with the same size and time, which the JVM
// takes for the same, cannot keep that one.
std::wstring factsLine(const std::wstring& a_path, const ListedFile& a_facts) {
    return formatWideString(L"%s %llu %llu %llu\n", a_path.c_str(), a_facts.size, a_facts.writeTime,
                            a_facts.changeTime);
}

std::wstring fileLine(const std::wstring& a_path) {
    ListedFile facts;
    fileFactsWithChange(a_path, facts);
    return factsLine(a_path, facts);
}

// The .jar files of a folder (with its trailing backslash), read at once.
std::wstring jarLines(const std::wstring& a_folder) {
    std::wstring lines = L"folder " + a_folder + L"\n";
    for (const ListedFile& jar : filesWithChangeIn(a_folder, L".jar")) {
        lines += factsLine(a_folder + jar.name, jar);
    }
    return lines;
}

// A class- or module-path entry; for a wildcard or a module-path folder,
// the .jar files of its folder.
std::wstring entryLines(const std::wstring& a_entry) {
    if (!a_entry.empty() && a_entry.back() == L'*') {
        return jarLines(a_entry.substr(0, a_entry.size() - 1));
    }
    if (folderExists(a_entry)) {
        return jarLines(withTrailingBackslash(a_entry));
    }
    return fileLine(a_entry);
}

std::wstring startLines(const LauncherSettings& a_settings) {
    switch (a_settings.start) {
    case LauncherSettings::Start::jar: {
        // The JARs its manifest's Class-Path names lie beside it or in its
        // lib folder: those count as its own. Its folder's listing has the
        // JAR itself when it is named *.jar: not read twice.
        const std::wstring& jar = a_settings.jarPath;
        const bool listed = samePath(withoutExtension(jar) + L".jar", jar);
        return L"-jar " + (listed ? jar + L"\n" : fileLine(jar)) + jarLines(folderOf(jar)) +
               jarLines(folderOf(jar) + L"lib\\");
    }
    case LauncherSettings::Start::mainClass:
        return L"-cp " + a_settings.mainClass + L"\n";
    case LauncherSettings::Start::module:
        break;
    }
    return L"--module " + a_settings.module + L"\n";
}

// The options with which the JVM refuses to make a dynamic archive.
bool refusesArchive(const std::wstring& a_option) {
    for (const wchar_t* prefix :
         {L"-javaagent:", L"-XX:SharedArchiveFile=", L"-XX:ArchiveClassesAtExit=",
          L"--patch-module", L"--limit-modules"}) {
        if (a_option.compare(0, std::wcslen(prefix), prefix) == 0) {
            return true;
        }
    }
    return a_option == L"-Xshare:off" || a_option == L"-Xshare:dump" ||
           a_option == L"-XX:-UseSharedSpaces";
}

// A module-path folder with an exploded module: a folder in it, or a
// module-info.class of its own.
bool holdsExplodedModule(const std::wstring& a_folder) {
    const std::wstring folder = withTrailingBackslash(a_folder);
    return fileExists(folder + L"module-info.class") || folderHolds(folder, true);
}

// A JVM that crashed in a_workingFolder since a_madeAt (its hs_err_pid file
// is newer): the archive it mapped may be why.
bool crashedSince(const std::wstring& a_workingFolder, unsigned long long a_madeAt) {
    for (const ListedFile& report :
         filesIn(withTrailingBackslash(a_workingFolder), L"hs_err_pid*.log")) {
        if (report.writeTime > a_madeAt) {
            return true;
        }
    }
    return false;
}

// A marker is held only by a live JVM (it is opened without delete
// sharing): one that can be deleted was left by a JVM that never closed it
// (a power cut), and goes.
bool markerHeld(const std::wstring& a_marker) {
    return fileExists(a_marker) && !DeleteFileW(a_marker.c_str()) && fileExists(a_marker);
}

bool endsWith(const std::wstring& a_text, const std::wstring& a_end) {
    return a_text.size() >= a_end.size() &&
           a_text.compare(a_text.size() - a_end.size(), a_end.size(), a_end) == 0;
}

// A marker, or the file a marker stands for, that a live JVM holds.
bool heldByJvm(const std::wstring& a_path) {
    if (endsWith(a_path, L".jsa.tmp")) {
        return markerHeld(a_path.substr(0, a_path.size() - 8) + L".making");
    }
    return endsWith(a_path, L".making") && markerHeld(a_path);
}

// A small file of the archive's folder, written whole.
bool writeArchiveFile(const std::wstring& a_path, const std::string& a_bytes) {
    return replaceFileContents(a_path, a_bytes) == ReplaceResult::replaced;
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
    const std::wstring application =
        applicationDataFolder(a_localAppData, a_userSettingsFolder, a_launcherName);
    return application.empty() ? application : application + L"class-data\\";
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

std::wstring whyNoArchiveFor(const LauncherSettings& a_settings, const std::wstring& a_options) {
    for (const std::wstring& option : splitArguments(a_options)) {
        if (refusesArchive(option)) {
            return L"the option " + option + L" keeps the JVM from making one";
        }
    }
    if (a_settings.start == LauncherSettings::Start::mainClass) {
        for (const std::wstring& entry : a_settings.classPath) {
            if (entry.back() != L'*' && folderExists(entry) &&
                folderHolds(withTrailingBackslash(entry), false)) {
                return L"the class path's folder " + entry + L" holds files";
            }
        }
    }
    if (a_settings.start == LauncherSettings::Start::module) {
        for (const std::wstring& entry : a_settings.modulePath) {
            if (folderExists(entry) && holdsExplodedModule(entry)) {
                return L"the module path's folder " + entry + L" holds an exploded module";
            }
        }
    }
    return std::wstring();
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

void ClassDataArchive::prepare(const Place& a_place, const std::wstring& a_inputs,
                               StartLog& a_log) {
    if (!makeFolders(a_place.folder)) {
        a_log.line(L"class-data: the folder " + a_place.folder +
                   L" cannot be made: the application starts without an archive");
        return;
    }
    m_launcher = a_place.launcher;
    m_workingFolder = a_place.workingFolder;
    m_folder = a_place.folder;
    m_application = a_place.application + L"-";
    m_digest = m_application + hexDigits(fnv1aHash(a_inputs.data(), a_inputs.size()));
    // Starts of one archive take turns to decide; should the wait fail,
    // the files below still keep a second maker out in all but a moment.
    NamedMutex lock;
    if (lock.open(L"Local\\tavrin.class-data." + m_digest, false) != NamedMutex::Opened::failed) {
        lock.acquire(5000);
    }
    const bool beingMade = settle(a_log);
    if (fileExists(m_folder + m_digest + L".off")) {
        a_log.line(L"class-data: off for these settings: the start that made the archive left "
                   L"none (" +
                   m_folder + m_digest + L".off)");
        return;
    }
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
    make(a_log);
}

// This start's JVM makes the archive at its end, while the marker says so;
// the file it writes is there from the start, so that a JVM that makes none
// leaves a trace. The files of applications that are gone, and of this
// one's earlier settings, go first.
void ClassDataArchive::make(StartLog& a_log) {
    cleanUp(a_log);
    const std::wstring own = m_folder + m_digest + formatWideString(L".%lu", GetCurrentProcessId());
    m_marker.reset(CreateFileW((own + L".making").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!m_marker || !writeArchiveFile(own + L".jsa.tmp", "")) {
        m_marker.reset();
        a_log.line(L"class-data: " + m_folder +
                   L" takes no file: the application starts without an archive");
        return;
    }
    m_options = {L"-XX:ArchiveClassesAtExit=" + own + L".jsa.tmp", quiet};
    a_log.line(L"class-data: being made, at the application's end: " + own + L".jsa.tmp");
}

// Files of applications whose launcher is gone, and this application's
// files of other settings that no JVM holds (its archives go when a new one
// is put in place).
void ClassDataArchive::cleanUp(StartLog& a_log) {
    const std::wstring record = m_application.substr(0, m_application.size() - 1) + L".launcher";
    if (!fileExists(m_folder + record)) {
        writeArchiveFile(m_folder + record, encodeUtf8(m_launcher)); // for later starts to check
    }
    for (const ListedFile& other : filesIn(m_folder, L"*.launcher")) {
        std::string launcher;
        if (other.name == record || !readWholeFile(m_folder + other.name, launcher) ||
            fileExists(decodeUtf8(launcher.data(), launcher.size()))) {
            continue;
        }
        removeFiles(withoutExtension(other.name) + L"-*", L"", a_log);
        if (deleteFile(m_folder + other.name)) {
            a_log.line(L"class-data: deleted, its launcher is gone: " + m_folder + other.name);
        }
    }
    removeFiles(m_application + L"*.jsa.tmp", m_digest, a_log);
    removeFiles(m_application + L"*.making", m_digest, a_log);
    removeFiles(m_application + L"*.off", m_digest, a_log);
}

// The files matching a_pattern, but those of a_keep and those a live JVM
// holds.
void ClassDataArchive::removeFiles(const std::wstring& a_pattern, const std::wstring& a_keep,
                                   StartLog& a_log) {
    for (const ListedFile& file : filesIn(m_folder, a_pattern)) {
        const std::wstring path = m_folder + file.name;
        const bool kept = !a_keep.empty() && file.name.compare(0, a_keep.size(), a_keep) == 0;
        if (!kept && !heldByJvm(path) && fileExists(path) && deleteFile(path)) {
            a_log.line(L"class-data: deleted, no longer needed: " + path);
        }
    }
}

void ClassDataArchive::prepareFor(const JavaSearchResult& a_java, const std::wstring& a_executable,
                                  const LauncherSettings& a_settings,
                                  const std::wstring& a_workingFolder, StartLog& a_log) {
    const std::wstring releaseFile = releaseFileOf(a_executable);
    std::string release;
    if (!releaseFile.empty() && !readWholeFile(releaseFile, release)) {
        release.clear();
    }
    const std::wstring folder =
        classDataFolder(environmentVariable(L"LOCALAPPDATA"), a_settings.userSettingsFolder,
                        fileNameOf(executablePath()));
    const std::wstring why = whyNoArchive(a_java, release, a_settings, folder);
    if (!why.empty()) {
        a_log.line(L"class-data: none: " + why);
        return;
    }
    const std::wstring version =
        formatWideString(L"%d.%d", a_java.version.major, a_java.version.minor);
    const std::wstring launcher = executablePath();
    const Place place{folder, hexDigits(fnv1aHash(launcher.data(), launcher.size())).substr(8),
                      launcher, a_workingFolder};
    prepare(place, classDataInputs(a_executable, release, version, a_settings), a_log);
}

// Why this start gets no archive option: the runtime, the options or the
// paths the JVM makes none with, no folder, or one java.exe could not name
// (it takes its command line in the ANSI code page).
std::wstring ClassDataArchive::whyNoArchive(const JavaSearchResult& a_java,
                                            const std::string& a_release,
                                            const LauncherSettings& a_settings,
                                            const std::wstring& a_folder) {
    std::wstring why = whyNoClassData(javaFeatureVersion(a_java.version), a_release);
    if (why.empty()) {
        why = whyNoArchiveFor(a_settings, a_java.javaCommand + L" " +
                                              environmentVariable(L"JAVA_TOOL_OPTIONS") + L" " +
                                              environmentVariable(L"JDK_JAVA_OPTIONS") + L" " +
                                              a_settings.javaOptions);
    }
    std::string ansi;
    if (why.empty() && a_folder.empty()) {
        why = L"%LOCALAPPDATA% is not set";
    } else if (why.empty() && !encodeAnsi(a_folder, ansi)) {
        why = L"the folder " + a_folder + L" has characters the ANSI code page lacks";
    }
    return why;
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

// The archives that ended JVMs made, put in place when whole; one that is
// not whole is deleted. When its JVM ended without making it (the JVM
// refused, or was ended from outside: its marker went with it), that
// switches the archive off for these settings, so that no later start
// tries again; a marker no JVM holds (a power cut) only goes. Whether one
// is still being made.
bool ClassDataArchive::settle(StartLog& a_log) {
    bool beingMade = false;
    std::vector<std::wstring> stale;
    for (const ListedFile& marker : filesIn(m_folder, m_digest + L".*.making")) {
        if (markerHeld(m_folder + marker.name)) {
            beingMade = true;
        } else {
            stale.push_back(withoutExtension(marker.name));
            a_log.line(L"class-data: deleted, a marker no JVM holds: " + m_folder + marker.name);
        }
    }
    for (const ListedFile& made : filesIn(m_folder, m_digest + L".*.jsa.tmp")) {
        const std::wstring stem = made.name.substr(0, made.name.size() - 8);
        if (fileExists(m_folder + stem + L".making")) {
            continue; // its JVM still runs
        }
        if (isWholeArchive(m_folder + made.name, made.size)) {
            putInPlace(m_folder + made.name, a_log);
        } else if (deleteFile(m_folder + made.name)) {
            a_log.line(L"class-data: deleted, not whole: " + m_folder + made.name);
            if (std::find(stale.begin(), stale.end(), stem) == stale.end()) {
                writeArchiveFile(m_folder + m_digest + L".off", "made none\r\n");
            }
        }
    }
    return beingMade;
}

// The whole archive of this digest in place; one that is not whole, or that
// a JVM mapped when it crashed (an hs_err_pid file newer than the archive in
// the working folder), is deleted: at most one start is lost to it.
std::wstring ClassDataArchive::wholeArchive(StartLog& a_log) {
    for (const ListedFile& archive : filesIn(m_folder, m_digest + L"-*.jsa")) {
        const std::wstring path = m_folder + archive.name;
        const unsigned long long named = leadingNumber(archive.name.c_str() + m_digest.size() + 1);
        if (isWholeArchive(path, named) && !crashedSince(m_workingFolder, archive.writeTime)) {
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

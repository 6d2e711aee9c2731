#pragma once

#include "platform/unique_handle.h"

#include <windows.h>

#include <string>
#include <vector>

struct JavaSearchResult;
struct LauncherSettings;
class StartLog;

// The application's class-data archive (class-data-sharing=1): HotSpot maps
// the application's classes from it instead of loading and verifying them
// (Java 13 and newer). There is one archive for everything the JVM checks,
// named by the application (a digest of the launcher's path, so that
// applications sharing a launcher's name keep theirs) and the digest of
// those inputs: "<application>-<digest>-<size>.jsa". The JVM of a start
// makes it at its end (-XX:ArchiveClassesAtExit) into a file of that start's
// own, "<application>-<digest>.<process id>.jsa.tmp", while a marker
// "....making" that the JVM holds (deleted when its last handle closes) says
// it is being made; once the JVM has ended and the file is whole (its header
// is written last), it is put in place under its name, and archives that no
// longer match are deleted.

// Where the archives live: %LOCALAPPDATA%\<user-settings>\class-data\ when
// a_userSettingsFolder names that folder, else %LOCALAPPDATA%\<a_launcherName
// without .exe>\class-data\; empty without %LOCALAPPDATA%.
std::wstring classDataFolder(const std::wstring& a_localAppData,
                             const std::wstring& a_userSettingsFolder,
                             const std::wstring& a_launcherName);

// Why a runtime gets no archive option; empty when it may. a_featureVersion
// is its Java feature version (below 0: not known), a_release its release
// file's bytes (empty when it has none).
std::wstring whyNoClassData(int a_featureVersion, const std::string& a_release);

// Everything the JVM checks, as a text whose digest names the archive: the
// runtime (its java.exe, its size and time, and its release file or
// version), the way to start, each JAR and path entry as the JVM sees it
// (full path, size, last-write time; for a wildcard, the .jar files of its
// folder), and java-options.
std::wstring classDataInputs(const std::wstring& a_javaExecutable, const std::string& a_release,
                             const std::wstring& a_version, const LauncherSettings& a_settings);

// Why the JVM makes no archive for these settings, started with the JVM
// options a_options (the Java command's, JAVA_TOOL_OPTIONS, JDK_JAVA_OPTIONS
// and java-options): an option it refuses to dump with (-javaagent:,
// -Xshare:off, -XX:-UseSharedSpaces, an archive of its own, --patch-module,
// --limit-modules, ...), a class-path folder that holds files, a
// module-path folder with an exploded module; empty when it makes one.
std::wstring whyNoArchiveFor(const LauncherSettings& a_settings, const std::wstring& a_options);

// Whether a_path is an archive the JVM finished: a_size bytes long (the size
// in its name) and a dynamic archive's header.
bool isWholeArchive(const std::wstring& a_path, ULONGLONG a_size);

class ClassDataArchive {
public:
    // Where and for whom the archive is: its folder, the application (the
    // prefix of its files), the launcher whose path names it, and the
    // folder its JVM works in.
    struct Place {
        std::wstring folder;
        std::wstring application;
        std::wstring launcher;
        std::wstring workingFolder;
    };

    // Decides for this start: the whole archive of a_inputs' digest is used
    // (unless a JVM crashed since it was made); without one, and when no
    // other start is making it and no start that made it left none, this
    // start's JVM makes it. Archives that ended JVMs made are put in place
    // first. No option when the folder cannot be made.
    void prepare(const Place& a_place, const std::wstring& a_inputs, StartLog& a_log);

    // The same for the start of a_settings with a_java, whose java.exe is
    // a_executable, working in a_workingFolder: its folder, its inputs; no
    // option, and the log says why, for a runtime, options or paths the JVM
    // makes no archive with, a user without %LOCALAPPDATA%, or a folder the
    // ANSI code page cannot name.
    void prepareFor(const JavaSearchResult& a_java, const std::wstring& a_executable,
                    const LauncherSettings& a_settings, const std::wstring& a_workingFolder,
                    StartLog& a_log);

    // Whether this start's JVM makes the archive.
    bool makes() const { return static_cast<bool>(m_marker); }

    // The JVM's options, placed before java-options.
    const std::vector<std::wstring>& options() const { return m_options; }

    // The application runs in a_process, which keeps the marker for as long
    // as it runs.
    void started(HANDLE a_process);

    // The application has ended (the launcher waited for it): its archive is
    // put in place.
    void finish(StartLog& a_log);

private:
    static std::wstring whyNoArchive(const JavaSearchResult& a_java, const std::string& a_release,
                                     const LauncherSettings& a_settings,
                                     const std::wstring& a_folder);
    void make(StartLog& a_log);
    void cleanUp(StartLog& a_log);
    void removeFiles(const std::wstring& a_pattern, const std::wstring& a_keep, StartLog& a_log);
    bool settle(StartLog& a_log);
    std::wstring wholeArchive(StartLog& a_log);
    void putInPlace(const std::wstring& a_made, StartLog& a_log);

    std::wstring m_launcher;      // its path names the application
    std::wstring m_workingFolder; // where a crashed JVM leaves its report
    std::wstring m_folder;
    std::wstring m_application; // the prefix of this application's files, with "-"
    std::wstring m_digest;      // the prefix of this archive's files
    std::vector<std::wstring> m_options;
    UniqueFile m_marker;
};

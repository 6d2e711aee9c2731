#pragma once

#include "settings/service_settings.h"
#include "settings/settings_file.h"
#include "settings/update_settings.h"
#include "version/java_version.h"

#include <optional>
#include <string>
#include <vector>

class MessageTexts;

// What is wrong with one key: for the log and, when it names a file that is
// not there, the missing-JAR box.
struct SettingsProblem {
    std::wstring why;         // "the key: why"
    std::wstring missingPath; // the full path it looked for, when a file is missing
};

// The values of the [tavrin] section of tavrin.ini, with the program's own
// section over it.
struct LauncherSettings {
    // The program's own section, read over [tavrin] in the user's file too,
    // and where java-location is written back when it has the key.
    std::string programSection;
    // The program's section sets its own version bounds: the runtime it
    // finds is remembered there, so that programs with other bounds never
    // take turns rewriting a shared java-location.
    bool remembersOwnRuntime = false;
    // How the application starts: exactly one of jar-file-name, main-class
    // (with class-path) and module (with module-path, when given).
    enum class Start { jar, mainClass, module };
    Start start = Start::jar;
    std::wstring jarPath;
    std::wstring mainClass;
    std::vector<std::wstring> classPath;  // full paths; Java's wildcard ends in \*
    std::wstring module;                  // a module, or module/main class
    std::vector<std::wstring> modulePath; // full paths
    std::wstring minJavaVersionText;
    JavaVersion minJavaVersion;
    std::optional<JavaVersion> maxJavaVersion;
    std::wstring javaLocation; // as written: the search resolves it
    // The application's own java-location, when the user's file gave
    // javaLocation instead: the search's next try when the user's fails.
    std::wstring applicationJavaLocation;
    std::wstring javaOptions; // environment variables expanded
    // arguments: the application's own, split as Windows splits a command
    // line, variables expanded; before start-arguments.
    std::vector<std::wstring> arguments;
    std::wstring startArguments;
    // working-directory as a full path; empty: the launcher's own choice
    // (its folder for tavrin.exe, the caller's for tavrinc.exe).
    std::wstring workingDirectory;
    bool waitForExit = false;
    bool askForJavaLocation = true;
    bool allowNewerVersion = true;
    bool passArguments = false;
    bool findInstalledJava = true;
    bool readJavaRelease = false;
    bool inProcess = false;        // the JVM in the launcher's own process
    bool classDataSharing = false; // a class-data archive kept for the application
    std::wstring javaDownloadUrl;  // one http:// or https:// address
    // service-name: the launcher is that Windows service, and its keys.
    ServiceSettings service;
    // update-feed and its keys: the application's updates.
    UpdateSettings update;
    // user-settings: %LOCALAPPDATA%\<name>, when named and the variable is
    // set.
    std::wstring userSettingsFolder;
    bool userSettingsWritable = true;  // false: a file that is not UTF-8
    bool javaLocationFromUser = false; // java-location is the user file's
    // What was left out of the user's file, and why: for the log.
    std::vector<std::wstring> userSettingsNotes;
    // What makes the settings invalid, in the order it was found; none when
    // they are valid.
    std::vector<SettingsProblem> problems;

    bool valid() const { return problems.empty(); }
};

// Class-path or module-path entries joined as Java's paths are, by ";".
std::wstring joinedPath(const std::vector<std::wstring>& a_entries);

// A file the settings name: a value with a colon anywhere, or a UNC path
// (starting with two backslashes), is taken as it stands; any other is taken
// relative to the launcher's folder, one leading backslash dropped
// ("\lib\app.jar" is "lib\app.jar").
std::wstring configuredFilePath(const std::wstring& a_value);

// The settings file's name, beside the launcher (and in the user's folder).
constexpr const wchar_t* settingsFileName = L"tavrin.ini";

// The launcher's own section of the settings: its file name, such as
// "example.exe" (UTF-8).
std::string programSection();

// The launcher's own tavrin.ini, beside it, with its own section: as
// loadSettingsStore reads it.
std::optional<SettingsFile> loadLaunchersSettingsFile();

// Reads the settings file, with a_programSection over [tavrin]. None when it
// cannot be opened or read, or holds nothing (not even a section); nothing
// is shown.
std::optional<SettingsFile> loadSettingsStore(const std::wstring& a_settingsPath,
                                              const std::string& a_programSection = "");

// The user's own file, in the folder user-settings names.
std::wstring userSettingsPath(const LauncherSettings& a_settings);

// The application's folder in the user's profile, with its trailing
// backslash: a_userSettingsFolder when user-settings names one, else
// %LOCALAPPDATA%\<a_launcherName without .exe>; empty without %LOCALAPPDATA%.
// Its class-data archives and updates live there.
std::wstring applicationDataFolder(const std::wstring& a_localAppData,
                                   const std::wstring& a_userSettingsFolder,
                                   const std::wstring& a_launcherName);

// The single-instance mutex name: empty when the key is absent or empty.
std::wstring readSingleRunMutexName(const SettingsFile& a_settings);

// log-file: its full path (variables expanded; a rooted or UNC path as it
// stands, any other relative to the launcher's folder); empty when the key
// is absent or empty.
std::wstring readLogFile(const SettingsFile& a_settings);

// {version} and {path} in the messages: min-java-version as written and the
// JAR's full path, as far as the file gives them.
void fillPlaceholders(const SettingsFile& a_settings, MessageTexts& a_texts);

// single-run-activate: a second start brings the running application forward.
bool readSingleRunActivate(const SettingsFile& a_settings);

// Which launcher reads the settings: the console launcher passes its
// arguments unless pass-arguments=0, and needs no wait-for-exit (it always
// waits), as a start in process does not.
// A service needs no wait-for-exit either: it always waits.
enum class SettingsFor { windowedLauncher, consoleLauncher, service };

// Reads every other key, and the user's file. Keys count only when written
// exactly as the launcher spells them; a key given twice takes the value of
// its last line. Every key is read even after a problem; nothing is shown.
LauncherSettings readLauncherSettings(const SettingsFile& a_settings,
                                      SettingsFor a_reader = SettingsFor::windowedLauncher);

// Java identifiers joined by dots (com.example.app.Main): letters (non-ASCII
// ones too), digits, _, $ and other currency symbols, no identifier starting
// with a digit.
bool isQualifiedJavaName(const std::wstring& a_name);

// "0" and "1", blanks around them ignored; anything else gives the default.
bool readSettingsBoolean(const std::wstring& a_value, bool a_default);

// Whether Windows can make a mutex of single-run-mutex's name: a backslash
// only after the prefix Global or Local, at most MAX_PATH characters.
bool isUsableMutexName(const std::wstring& a_name);

// The shell opens whatever it is handed: only one web address is, an
// http:// or https:// address with a host and nothing that would end it on a
// command line.
bool isWebAddress(const std::wstring& a_value);

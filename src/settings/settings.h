#pragma once

#include "settings/settings_file.h"
#include "version/java_version.h"

#include <optional>
#include <string>
#include <vector>

class LauncherHost;
class MessageTexts;

// The values of the [tavrin] section of tavrin.ini.
struct LauncherSettings {
    std::wstring singleRunMutexName;
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
    std::wstring startArguments;
    bool waitForExit = false;
    bool askForJavaLocation = true;
    bool allowNewerVersion = true;
    bool passArguments = false;
    bool findInstalledJava = true;
    bool readJavaRelease = false;
    bool inProcess = false;       // the JVM in the launcher's own process
    std::wstring javaDownloadUrl; // one http:// or https:// address
    // user-settings: %LOCALAPPDATA%\<name>, when named and the variable is
    // set.
    std::wstring userSettingsFolder;
    bool userSettingsWritable = true;  // false: a file that is not UTF-8
    bool javaLocationFromUser = false; // java-location is the user file's
    // What was left out of the user's file, and why: for the log.
    std::vector<std::wstring> userSettingsNotes;
    bool settingsValid = true;
};

// A file the settings name: a value with a colon anywhere is taken as it
// stands; any other is taken relative to the launcher's folder, one leading
// backslash dropped ("\lib\app.jar" is "lib\app.jar").
std::wstring configuredFilePath(const std::wstring& a_value);

// The settings file's name, beside the launcher (and in the user's folder).
constexpr const wchar_t* settingsFileName = L"tavrin.ini";

// Reads the settings file. None when it cannot be opened or read, or holds
// nothing (not even a section); nothing is shown.
std::optional<SettingsFile> loadSettingsStore(const std::wstring& a_settingsPath);

// Whether [tavrin] is there. When it is not, shows the invalid-settings
// message.
bool findSettingsSection(const SettingsFile& a_settings, LauncherHost& a_host,
                         const MessageTexts& a_texts);

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

// Reads every other key, showing the JAR and invalid-settings messages. Keys
// count only when written exactly as the launcher spells them; a key given
// twice takes the value of its last line.
LauncherSettings readLauncherSettings(const SettingsFile& a_settings, LauncherHost& a_host,
                                      const MessageTexts& a_texts);

// Java identifiers joined by dots (com.example.app.Main): letters (non-ASCII
// ones too), digits, _ and $, no identifier starting with a digit.
bool isQualifiedJavaName(const std::wstring& a_name);

// "0" and "1", blanks around them ignored; anything else gives the default.
bool readSettingsBoolean(const std::wstring& a_value, bool a_default);

// Writes a_javaLocation into java-location of the file the value came from
// (the user's file or the settings file at a_settingsPath), changing no other
// byte of the file as it is at that moment, in one step through a temporary
// file beside it; when the value is already there, the file is not touched.
// When tavrin.ini cannot be written and the settings name a user file, the
// value goes there (made when it is missing; a user file that is not UTF-8
// is never written). a_applicationsOwn: the runtime is the one the
// application's own java-location names; the user's file then gets no value
// of it, and loses a java-location of its own. The file is left as it was
// when it cannot be written or saved.
enum class SaveResult {
    saved,       // or already so
    notWritable, // read-only, or no file can be made beside it
    notSaved,    // writing the new file failed
};
SaveResult saveJavaLocation(const std::wstring& a_settingsPath, const LauncherSettings& a_settings,
                            const std::wstring& a_javaLocation, bool a_applicationsOwn = false);

// Whether Windows can make a mutex of single-run-mutex's name: a backslash
// only after the prefix Global or Local, at most MAX_PATH characters.
bool isUsableMutexName(const std::wstring& a_name);

#pragma once

#include "settings/settings_file.h"
#include "version/java_version.h"

#include <optional>
#include <string>

class LauncherHost;
class MessageTexts;

// The values of the [tavrin] section of tavrin.ini.
struct LauncherSettings {
    std::wstring singleRunMutexName;
    std::wstring jarPath;
    std::wstring minJavaVersionText;
    JavaVersion minJavaVersion;
    std::optional<JavaVersion> maxJavaVersion;
    std::wstring javaLocation; // as written: the search resolves it
    std::wstring javaOptions;  // environment variables expanded
    std::wstring startArguments;
    bool waitForExit = false;
    bool askForJavaLocation = true;
    bool allowNewerVersion = true;
    bool passArguments = false;
    bool findInstalledJava = true;
    bool readJavaRelease = false;
    std::wstring javaDownloadUrl; // http:// or https://
    // user-settings: %LOCALAPPDATA%\<name>, when named and the variable is
    // set; and the tavrin.ini found there, when there is one.
    std::wstring userSettingsFolder;
    std::optional<SettingsFile> userSettings;
    bool javaLocationFromUser = false; // java-location is the user file's
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

// log-file: its full path (relative to the launcher's folder, variables
// expanded); empty when the key is absent or empty.
std::wstring readLogFile(const SettingsFile& a_settings);

// single-run-activate: a second start brings the running application forward.
bool readSingleRunActivate(const SettingsFile& a_settings);

// Reads every other key, showing the JAR and invalid-settings messages. Keys
// count only when written exactly as the launcher spells them; a key given
// twice takes the value of its last line.
LauncherSettings readLauncherSettings(const SettingsFile& a_settings, LauncherHost& a_host,
                                      const MessageTexts& a_texts);

// "0" and "1", blanks around them ignored; anything else gives the default.
bool readSettingsBoolean(const std::wstring& a_value, bool a_default);

// Writes a_javaLocation into java-location of the file the value came from
// (the user's file or a_settingsFile), changing no other byte of it, in one
// step through a temporary file beside it; when the value is already there,
// the file is not touched. When tavrin.ini cannot be written and the settings
// name a user file, the value goes there (made when it is missing). The file
// is left as it was when it cannot be written or saved.
enum class SaveResult {
    saved,       // or already so
    notWritable, // read-only, or no file can be made beside it
    notSaved,    // writing the new file failed
};
SaveResult saveJavaLocation(const SettingsFile& a_settingsFile, const std::wstring& a_settingsPath,
                            const LauncherSettings& a_settings, const std::wstring& a_javaLocation);

#pragma once

#include "version/java_version.h"

#include <memory>
#include <set>
#include <string>

class LauncherHost;

// The values of the [tavrin] section of tavrin.ini.
struct LauncherSettings {
    std::wstring singleRunMutexName;
    std::wstring jarPath;
    std::wstring minJavaVersionText;
    JavaVersion minJavaVersion;
    std::wstring javaLocation;
    std::wstring startArguments;
    bool waitForExit = false;
    bool askForJavaLocation = true;
    bool allowNewerVersion = true;
    bool settingsValid = true;
};

// The settings file held in memory: the only copy of its contents, written
// back after a successful launch.
class SettingsStore {
public:
    SettingsStore();
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The INI library's store, defined beside the code that uses it.
    struct Ini;
    Ini& ini() const { return *m_ini; }

private:
    std::unique_ptr<Ini> m_ini;
};

// The key names of [tavrin] exactly as written in the file: a key is present
// only when spelled as the launcher spells it, letter case included.
using PresentKeys = std::set<std::wstring>;

// Loads the UTF-8 settings file. Null when it cannot be opened or loaded, or
// holds nothing (not even a section); nothing is shown.
std::unique_ptr<SettingsStore> loadSettingsStore(const std::wstring& a_settingsPath);

// Lists the keys of [tavrin]. When the section is missing, shows the
// invalid-settings message and returns false.
bool indexSettingsKeys(const SettingsStore& a_store, PresentKeys& a_presentKeys,
                       LauncherHost& a_host);

// The single-instance mutex name: empty when the key is absent or empty.
std::wstring readSingleRunMutexName(const SettingsStore& a_store, const PresentKeys& a_presentKeys);

// Reads every other key, showing the JAR and invalid-settings messages.
LauncherSettings readLauncherSettings(const SettingsStore& a_store,
                                      const PresentKeys& a_presentKeys, LauncherHost& a_host);

// "0" and "1", blanks around them ignored; anything else gives the default.
bool readSettingsBoolean(std::wstring a_value, bool a_default);

// Sets java-location and rewrites the settings file in one step through a
// temporary file beside it. 0, or the exit code for a file that cannot be
// written (-8) or a store that cannot be saved (-9); the file is left as it
// was on both failures.
int saveJavaLocation(SettingsStore& a_store, const std::wstring& a_settingsPath,
                     const std::wstring& a_javaExecutable);

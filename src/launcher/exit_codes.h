#pragma once

// The launcher's exit codes; the README documents them for application
// authors.
namespace exit_codes {

constexpr int normalEnd = 0;
constexpr int anotherInstanceRunning = 0;
// tavrinc.exe refused by the single-run rule: a script must not take a run
// that never happened for success.
constexpr int consoleAlreadyRunning = -10;
constexpr int settingsMissing = -1;
constexpr int settingsUnreadable = -2; // cannot be opened or loaded, or empty
constexpr int settingsSectionMissing = -3;
constexpr int settingsInvalid = -4;
constexpr int noJavaRuntimeAccepted = -5;
constexpr int launchFailed = -6;
constexpr int unexpectedFailure = -7; // e.g. out of memory
constexpr int settingsNotWritable = -8;
constexpr int settingsNotSaved = -9;

} // namespace exit_codes

#pragma once

// The launcher's exit codes; the README documents them for application
// authors.
namespace exit_codes {

constexpr int normalEnd = 0;
constexpr int anotherInstanceRunning = 0; // also when the mutex cannot be made
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

#pragma once

#include <string>

// What the user is told, spelled out once for all the tests (not taken from
// the launcher's own messages.h, so that a changed text is caught). %s parts
// are functions of what fills them.
namespace expected {

inline const std::wstring settingsMissing = L"Ini file not found. Be sure 'tavrin.ini' file is "
                                            L"placed at root of program. Try to reinstall "
                                            L"program if not.";
inline const std::wstring settingsInvalid =
    L"Ini file is invalid. Be sure '.ini' file is valid UTF-8. Try to reinstall program if not.";
inline const std::wstring alreadyRunning =
    L"Application already started. Press 'Ok' to close this window.";
// The console launcher's: it has no window to close.
inline const std::wstring alreadyRunningConsole = L"Application already started.";
inline const std::wstring folderDialogTitle = L"Please browse for 'java.exe' location: ";

inline std::wstring jarMissing(const std::wstring& a_path) {
    return L"Cannot find jar file with path '" + a_path + L"'.";
}

// The runtime search's four messages; a_min is min-java-version as written.
inline const std::wstring noJavaRuntime = L"Cannot find java runtime on your computer. Cannot get "
                                          L"version. Be sure java is installed on your system.";
inline std::wstring versionUnreadable(const std::wstring& a_min) {
    return L"Cannot find java with version '" + a_min +
           L"' be sure it is installed on your system. Cannot get java version.";
}
inline std::wstring versionUnsuitable(const std::wstring& a_min) {
    return L"Cannot find java with version '" + a_min +
           L"' be sure it is installed on your system.";
}
inline std::wstring versionUnsuitableAsk(const std::wstring& a_min) {
    return versionUnsuitable(a_min) + L" \r\nPress 'Retry' button to locate java manually.";
}

} // namespace expected

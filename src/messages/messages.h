#pragma once

#include <windows.h>

// Everything the launcher tells its user, with the captions and message box
// flags, in one place. Texts with %s are filled by formatWideString.
namespace messages {

constexpr UINT plainBox = MB_OK;

constexpr const wchar_t* errorCaption = L"Error";

constexpr const wchar_t* settingsMissing =
    L"Ini file not found. Be sure 'tavrin.ini' file is placed at root of program. Try to "
    L"reinstall program if not.";

constexpr const wchar_t* settingsInvalid =
    L"Ini file is invalid. Be sure '.ini' file is valid UTF-8. Try to reinstall program if not.";

// %s: the JAR's full path.
constexpr const wchar_t* jarMissing = L"Cannot find jar file with path '%s'.";
constexpr const wchar_t* jarMissingCaption = L"Jar not found";

constexpr const wchar_t* alreadyRunning =
    L"Application already started. Press 'Ok' to close this window.";
// The console launcher's: it has no window to close.
constexpr const wchar_t* alreadyRunningConsole = L"Application already started.";
constexpr const wchar_t* alreadyRunningCaption = L"Wait";
constexpr UINT alreadyRunningBox = MB_OK | MB_ICONWARNING | MB_TOPMOST;

// The Java runtime search. %s: min-java-version as written.
constexpr const wchar_t* noJavaRuntime = L"Cannot find java runtime on your computer. Cannot get "
                                         L"version. Be sure java is installed on your system.";
constexpr const wchar_t* javaVersionUnreadable =
    L"Cannot find java with version '%s' be sure it is installed on your system. Cannot get java "
    L"version.";
constexpr const wchar_t* javaVersionUnsuitable =
    L"Cannot find java with version '%s' be sure it is installed on your system.";
constexpr const wchar_t* javaVersionUnsuitableAsk =
    L"Cannot find java with version '%s' be sure it is installed on your system. \r\nPress "
    L"'Retry' button to locate java manually.";
constexpr UINT javaVersionUnsuitableAskBox = MB_ABORTRETRYIGNORE;

// After the runtime search gave up, with java-download-url.
constexpr const wchar_t* downloadQuestion = L"Do you want to open the Java download page?";
constexpr UINT downloadQuestionBox = MB_YESNO;

// The console launcher's word on a start that could not happen, where the
// windowed one is silent. %s: why, as the log has it.
constexpr const wchar_t* launchFailedConsole = L"The application could not be started: %s.";

// The title inside the folder dialog.
constexpr const wchar_t* javaFolderDialogTitle = L"Please browse for 'java.exe' location: ";

} // namespace messages

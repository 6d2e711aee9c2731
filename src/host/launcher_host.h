#pragma once

#include "process/process_executor.h"

#include <windows.h>

#include <string>
#include <vector>

// Everything through which the launcher reaches its user, the machine's Java
// runtimes and other programs: the seam below the settings, the runtime
// search and the start-up sequence, which all call it. The real one
// (launcher/system_host.h) calls MessageBoxW, the shell's folder dialog, the
// registry and executeProcess; tests script the answers.
class LauncherHost {
public:
    virtual ~LauncherHost() = default;

    // A message box with no owner window; returns the button's id.
    virtual int showMessage(const std::wstring& a_text, const wchar_t* a_caption, UINT a_flags) = 0;

    // The folder the user picks for java.exe, or empty when cancelled;
    // a_title stands above the folders.
    virtual std::wstring chooseJavaFolder(const std::wstring& a_title) = 0;

    // Opens a web address in the user's browser.
    virtual void openAddress(const std::wstring& a_address) = 0;

    // The java.exe of every runtime installed on the machine that exists, in
    // the order they are to be tried.
    virtual std::vector<std::wstring> installedJavaRuntimes() = 0;

    // As executeProcess.
    virtual ProcessResult runProcess(const ProcessRequest& a_request) = 0;

    // After the application's start: lets its process take the foreground
    // and, when a_launcherWaits, ends the launcher's own "starting" cursor
    // (the application's shows until its window is up).
    virtual void handOverForeground(DWORD a_processId, bool a_launcherWaits) = 0;

    // Brings the running application's visible window forward, restoring it
    // when minimised; false when the process has none.
    virtual bool activateWindowOf(DWORD a_processId) = 0;

    // The application in the launcher's own process: makes the redirection
    // files of a_streamsBaseName (a file name, beside the launcher or in the
    // temporary folder) this process's standard streams, unless it is empty,
    // then loads the Java launcher's library beside a_javaExecutable. Empty
    // when it is ready; otherwise why not.
    virtual std::wstring loadJavaLauncher(const std::wstring& a_javaExecutable,
                                          const std::wstring& a_streamsBaseName) = 0;

    // Runs the application through the loaded library with a_arguments (the
    // first the java.exe path); its exit code, unless the process ends
    // inside with the code of System.exit.
    virtual int runJavaLauncher(const std::vector<std::wstring>& a_arguments,
                                const std::wstring& a_programName, bool a_javaw) = 0;

protected:
    LauncherHost() = default;
    LauncherHost(const LauncherHost&) = default;
    LauncherHost& operator=(const LauncherHost&) = default;
};

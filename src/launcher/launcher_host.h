#pragma once

#include "process/process_executor.h"

#include <windows.h>

#include <string>
#include <vector>

// Everything through which the launcher reaches its user, the machine's Java
// runtimes and other programs. The real one calls MessageBoxW, the shell's
// folder dialog, the registry and executeProcess; tests script the answers.
class LauncherHost {
public:
    virtual ~LauncherHost() = default;

    // A message box with no owner window; returns the button's id.
    virtual int showMessage(const std::wstring& a_text, const wchar_t* a_caption, UINT a_flags) = 0;

    // The folder the user picks for java.exe, or empty when cancelled.
    virtual std::wstring chooseJavaFolder() = 0;

    // The java.exe of every runtime installed on the machine that exists, in
    // the order they are to be tried.
    virtual std::vector<std::wstring> installedJavaRuntimes() = 0;

    // As executeProcess.
    virtual ProcessResult runProcess(const ProcessRequest& a_request) = 0;

protected:
    LauncherHost() = default;
    LauncherHost(const LauncherHost&) = default;
    LauncherHost& operator=(const LauncherHost&) = default;
};

// The real wiring.
class SystemHost : public LauncherHost {
public:
    int showMessage(const std::wstring& a_text, const wchar_t* a_caption, UINT a_flags) override;
    std::wstring chooseJavaFolder() override;
    std::vector<std::wstring> installedJavaRuntimes() override;
    ProcessResult runProcess(const ProcessRequest& a_request) override;
};

// The console launcher's wiring: each message is a line on standard error,
// and no folder is asked for.
class ConsoleHost final : public SystemHost {
public:
    int showMessage(const std::wstring& a_text, const wchar_t* a_caption, UINT a_flags) override;
    std::wstring chooseJavaFolder() override;
};

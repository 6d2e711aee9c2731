#pragma once

#include "host/launcher_host.h"
#include "launch/in_process.h"

// The real wiring: message boxes, the shell's folder dialog and browser,
// the registry's runtimes and executeProcess.
class SystemHost : public LauncherHost {
public:
    int showMessage(const std::wstring& a_text, const wchar_t* a_caption, UINT a_flags) override;
    std::wstring chooseJavaFolder(const std::wstring& a_title) override;
    void openAddress(const std::wstring& a_address) override;
    std::vector<std::wstring> installedJavaRuntimes() override;
    ProcessResult runProcess(const ProcessRequest& a_request) override;
    void handOverForeground(DWORD a_processId, bool a_launcherWaits) override;
    bool activateWindowOf(DWORD a_processId) override;
    std::wstring loadJavaLauncher(const std::wstring& a_javaExecutable,
                                  const std::wstring& a_streamsBaseName) override;
    int runJavaLauncher(const std::vector<std::wstring>& a_arguments,
                        const std::wstring& a_programName, bool a_javaw) override;

private:
    InProcessStart m_inProcess;
};

// The console launcher's wiring: each message is a line on standard error,
// and no folder is asked for.
class ConsoleHost final : public SystemHost {
public:
    int showMessage(const std::wstring& a_text, const wchar_t* a_caption, UINT a_flags) override;
    std::wstring chooseJavaFolder(const std::wstring& a_title) override;
};

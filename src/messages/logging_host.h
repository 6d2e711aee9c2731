#pragma once

#include "host/launcher_host.h"

class StartLog;

// The host, with every box, answer and choice written into the log; all
// else passes through.
class LoggingHost final : public LauncherHost {
public:
    LoggingHost(LauncherHost& a_host, StartLog& a_log) : m_host(a_host), m_log(a_log) {}

    int showMessage(const std::wstring& a_text, const wchar_t* a_caption, UINT a_flags) override;
    std::wstring chooseJavaFolder(const std::wstring& a_title) override;
    void openAddress(const std::wstring& a_address) override;
    bool activateWindowOf(DWORD a_processId) override;
    std::vector<std::wstring> installedJavaRuntimes() override {
        return m_host.installedJavaRuntimes();
    }
    ProcessResult runProcess(const ProcessRequest& a_request) override {
        return m_host.runProcess(a_request);
    }
    void handOverForeground(DWORD a_processId, bool a_launcherWaits) override {
        m_host.handOverForeground(a_processId, a_launcherWaits);
    }
    std::wstring loadJavaLauncher(const std::wstring& a_javaExecutable,
                                  const std::wstring& a_streamsBaseName) override {
        return m_host.loadJavaLauncher(a_javaExecutable, a_streamsBaseName);
    }
    int runJavaLauncher(const std::vector<std::wstring>& a_arguments,
                        const std::wstring& a_programName, bool a_javaw) override {
        return m_host.runJavaLauncher(a_arguments, a_programName, a_javaw);
    }

private:
    LauncherHost& m_host;
    StartLog& m_log;
};

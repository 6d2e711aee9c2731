#include "launcher/redirected_run.h"

#include "launcher/launcher_host.h"
#include "platform/paths.h"
#include "process/process_executor.h"

int runRedirected(LauncherHost& a_host, std::string& a_outputText, std::string& a_errorText,
                  const std::wstring& a_commandLine, const wchar_t* a_fileBaseName, bool a_collect,
                  bool a_wait, DWORD a_timeoutMs) {
    const int result =
        a_host.runProcess(a_outputText, a_errorText, a_commandLine,
                          moduleRelativePath(a_fileBaseName), a_collect, a_wait, a_timeoutMs);
    if (result != redirectionFileFailed) {
        return result;
    }
    const std::wstring folder = temporaryFolder();
    if (folder.empty()) {
        return result;
    }
    return a_host.runProcess(a_outputText, a_errorText, a_commandLine, folder + a_fileBaseName,
                             a_collect, a_wait, a_timeoutMs);
}

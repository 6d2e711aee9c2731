#include "host/redirected_run.h"

#include "host/launcher_host.h"
#include "platform/paths.h"

ProcessResult runRedirected(LauncherHost& a_host, ProcessRequest a_request) {
    std::wstring& target =
        a_request.outputLog.path.empty() ? a_request.baseName : a_request.outputLog.path;
    const std::wstring fileName = target;
    target = moduleRelativePath(fileName);
    ProcessResult result = a_host.runProcess(a_request);
    if (result.code != ProcessCode::noRedirectionFiles) {
        return result;
    }
    const std::wstring folder = temporaryFolder();
    if (folder.empty()) {
        return result;
    }
    target = folder + fileName;
    return a_host.runProcess(a_request);
}

#include "host/redirected_run.h"

#include "host/launcher_host.h"
#include "platform/paths.h"

ProcessResult runRedirected(LauncherHost& a_host, ProcessRequest a_request) {
    const std::wstring fileName = a_request.baseName;
    a_request.baseName = moduleRelativePath(fileName);
    ProcessResult result = a_host.runProcess(a_request);
    if (result.code != ProcessCode::noRedirectionFiles) {
        return result;
    }
    const std::wstring folder = temporaryFolder();
    if (folder.empty()) {
        return result;
    }
    a_request.baseName = folder + fileName;
    return a_host.runProcess(a_request);
}

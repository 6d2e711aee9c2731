#include "host/redirected_run.h"

#include "host/launcher_host.h"
#include "platform/paths.h"

bool redirectOwnStreams(const std::wstring& a_fileName) {
    if (useRedirectionFilesAsOwnStreams(moduleRelativePath(a_fileName))) {
        return true;
    }
    const std::wstring folder = temporaryFolder();
    return !folder.empty() && useRedirectionFilesAsOwnStreams(folder + a_fileName);
}

ProcessResult runRedirected(LauncherHost& a_host, ProcessRequest a_request) {
    const std::wstring fileName = a_request.baseName;
    a_request.baseName = moduleRelativePath(fileName);
    ProcessResult result = a_host.runProcess(a_request);
    if (result.code != redirectionFileFailed) {
        return result;
    }
    const std::wstring folder = temporaryFolder();
    if (folder.empty()) {
        return result;
    }
    a_request.baseName = folder + fileName;
    return a_host.runProcess(a_request);
}

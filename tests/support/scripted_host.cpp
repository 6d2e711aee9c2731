#include "scripted_host.h"

#include "test_support.h"

#include <gtest/gtest.h>

int ScriptedHost::showMessage(const std::wstring& a_text, const wchar_t* a_caption, UINT a_flags) {
    messages.push_back({a_text, a_caption, a_flags});
    log.push_back(L"box " + std::wstring(a_caption) + L": " + a_text);
    if ((a_flags & MB_TYPEMASK) == MB_OK) {
        return IDOK;
    }
    if (boxAnswers.empty()) {
        ADD_FAILURE() << "unexpected box: " << testing_support::utf8(a_text);
        return IDABORT;
    }
    const int answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
}

void ScriptedHost::openAddress(const std::wstring& a_address) {
    log.push_back(L"open " + a_address);
}

std::wstring ScriptedHost::chooseJavaFolder(const std::wstring& a_title) {
    log.push_back(L"folder");
    folderTitles.push_back(a_title);
    if (folderAnswers.empty()) {
        ADD_FAILURE() << "unexpected folder dialog";
        return std::wstring();
    }
    const std::wstring answer = folderAnswers.front();
    folderAnswers.pop_front();
    return answer;
}

std::vector<std::wstring> ScriptedHost::installedJavaRuntimes() {
    ++installedRuntimeQueries;
    return installedRuntimes;
}

ProcessResult ScriptedHost::runProcess(const ProcessRequest& a_request) {
    processCalls.push_back({a_request.commandLine, a_request.baseName, a_request.collect,
                            a_request.wait, a_request.timeoutMs, a_request.inheritStreams,
                            a_request.endWithLauncher, a_request.workingDirectory,
                            a_request.outputLog, a_request.passedHandles[0] != nullptr});
    log.push_back(L"run " + a_request.commandLine);
    if (processAnswers.empty()) {
        ADD_FAILURE() << "unexpected run: " << testing_support::utf8(a_request.commandLine);
        ProcessResult failed;
        failed.code = ProcessCode::notStarted;
        return failed;
    }
    const ProcessAnswer answer = processAnswers.front();
    processAnswers.pop_front();
    if (answer.result == ProcessCode::succeeded && a_request.observer != nullptr) {
        a_request.observer->started(nullptr, answer.processId); // no real process
    }
    ProcessResult result;
    result.code = answer.result;
    result.output = answer.outputText;
    result.error = answer.errorText;
    result.exitCode = answer.exitCode;
    result.processId = answer.processId;
    result.systemError = answer.result == ProcessCode::notStarted ? ERROR_FILE_NOT_FOUND : 0;
    return result;
}

void ScriptedHost::handOverForeground(DWORD a_processId, bool a_launcherWaits) {
    log.push_back(L"foreground " + std::to_wstring(a_processId) +
                  (a_launcherWaits ? L", cursor ends" : L""));
}

bool ScriptedHost::activateWindowOf(DWORD a_processId) {
    log.push_back(L"activate " + std::to_wstring(a_processId));
    for (DWORD process : windowProcesses) {
        if (process == a_processId) {
            return true;
        }
    }
    return false;
}

std::wstring ScriptedHost::loadJavaLauncher(const std::wstring& a_javaExecutable,
                                            const std::wstring& a_streamsBaseName) {
    log.push_back(L"load jli " + a_javaExecutable + L" (streams " + a_streamsBaseName + L")");
    if (javaLauncherLoads.empty()) {
        ADD_FAILURE() << "no answer scripted for loading the Java launcher's library";
        return L"not scripted";
    }
    const std::wstring answer = javaLauncherLoads.front();
    javaLauncherLoads.pop_front();
    return answer;
}

int ScriptedHost::runJavaLauncher(const std::vector<std::wstring>& a_arguments,
                                  const std::wstring& a_programName, bool a_javaw) {
    if (beforeRunInProcess) {
        beforeRunInProcess();
    }
    wchar_t folder[MAX_PATH];
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
    inProcessFolder.assign(folder, length < MAX_PATH ? length : 0);
    std::wstring line = L"run in process ";
    for (std::size_t i = 0; i < a_arguments.size(); ++i) {
        line += (i == 0 ? L"" : L" | ") + a_arguments[i];
    }
    log.push_back(line + L", " + a_programName + (a_javaw ? L", javaw" : L", java"));
    return inProcessExitCode;
}

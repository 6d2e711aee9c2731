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

std::wstring ScriptedHost::chooseJavaFolder() {
    log.push_back(L"folder");
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
                            a_request.endWithLauncher});
    log.push_back(L"run " + a_request.commandLine);
    if (processAnswers.empty()) {
        ADD_FAILURE() << "unexpected run: " << testing_support::utf8(a_request.commandLine);
        return ProcessResult{processStartFailed, "", ""};
    }
    const ProcessAnswer answer = processAnswers.front();
    processAnswers.pop_front();
    return ProcessResult{answer.result, answer.outputText, answer.errorText, answer.exitCode};
}

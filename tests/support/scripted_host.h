#pragma once

#include "host/launcher_host.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

// A LauncherHost with scripted answers that records every call in order.
// A call for which no answer was scripted fails the running test.
class ScriptedHost final : public LauncherHost {
public:
    struct ProcessAnswer {
        ProcessCode result = ProcessCode::succeeded;
        std::string outputText;
        std::string errorText;
        DWORD exitCode = 0;
        DWORD processId = 0;
    };

    struct ProcessCall {
        std::wstring commandLine;
        std::wstring baseName;
        bool collect;
        bool wait;
        DWORD timeoutMs;
        bool inheritStreams;
        bool endWithLauncher;
        std::wstring workingDirectory;
        OutputLogFile outputLog;
        bool passesHandles; // beside its streams
    };

    struct Message {
        std::wstring text;
        std::wstring caption;
        UINT flags;
    };

    // Answers for boxes with more than an OK button; OK-only boxes answer
    // IDOK by themselves.
    std::deque<int> boxAnswers;
    std::deque<std::wstring> folderAnswers;
    std::deque<ProcessAnswer> processAnswers;
    // The installed runtimes the machine has, and how often they were asked
    // for (not in the log, which stays the user's view).
    std::vector<std::wstring> installedRuntimes;
    int installedRuntimeQueries = 0;

    std::vector<Message> messages;
    std::vector<ProcessCall> processCalls;
    // Every call in order: "box CAPTION: TEXT", "folder", "run COMMAND LINE".
    std::vector<std::wstring> log;

    int showMessage(const std::wstring& a_text, const wchar_t* a_caption, UINT a_flags) override;
    // Logged as "folder" (the title in folderTitles) and "open ADDRESS".
    std::wstring chooseJavaFolder(const std::wstring& a_title) override;
    void openAddress(const std::wstring& a_address) override;
    std::vector<std::wstring> folderTitles;
    std::vector<std::wstring> installedJavaRuntimes() override;
    ProcessResult runProcess(const ProcessRequest& a_request) override;
    // Logged as "foreground PID" (", cursor ends" when the launcher waits)
    // and "activate PID"; windowProcesses are the processes with a window.
    void handOverForeground(DWORD a_processId, bool a_launcherWaits) override;
    bool activateWindowOf(DWORD a_processId) override;
    std::vector<DWORD> windowProcesses;
    // Logged as "load jli EXECUTABLE (streams BASE)" and "run in process
    // ARGUMENT | ARGUMENT..., NAME, javaw|java"; a load answers with the
    // next of javaLauncherLoads (empty: loaded), a run with
    // inProcessExitCode, after calling beforeRunInProcess when set.
    std::wstring loadJavaLauncher(const std::wstring& a_javaExecutable,
                                  const std::wstring& a_streamsBaseName) override;
    int runJavaLauncher(const std::vector<std::wstring>& a_arguments,
                        const std::wstring& a_programName, bool a_javaw) override;
    std::deque<std::wstring> javaLauncherLoads;
    int inProcessExitCode = 0;
    std::wstring inProcessFolder; // the current directory runJavaLauncher saw
    std::function<void()> beforeRunInProcess;
};

// The answers most scripted starts are made of: a version check that finds
// Java 1.6, and a process that started.
namespace scripted {
inline const ScriptedHost::ProcessAnswer java16{ProcessCode::succeeded, "",
                                                "java version \"1.6.0_20\"\n"};
inline const ScriptedHost::ProcessAnswer started{ProcessCode::succeeded, "", ""};
} // namespace scripted

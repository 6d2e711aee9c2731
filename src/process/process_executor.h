#pragma once

#include <windows.h>

#include <string>

// Results of executeProcess.
constexpr int processSucceeded = 0;
constexpr int redirectionFileFailed = -1; // no child was started
constexpr int processStartFailed = -2;    // e.g. the program was not found
constexpr int processTimedOut = -3;       // the child was terminated
constexpr int readBackFailed = -4;        // an output file could not be reopened

// Told the child's process id as soon as it runs, before any waiting.
class StartObserver {
public:
    virtual void started(DWORD a_processId) = 0;

protected:
    ~StartObserver() = default;
};

struct ProcessRequest {
    std::wstring commandLine;
    // The redirection files are this path followed by ".output.file",
    // ".error.file" and ".input.file" (the last one empty).
    std::wstring baseName;
    bool collect = false; // read the output files back (only when waiting)
    bool wait = false;
    DWORD timeoutMs = INFINITE; // when waiting; INFINITE: no limit
    // Instead of redirection files, the child gets this process's console and
    // its standard input, output and error, whatever they are.
    bool inheritStreams = false;
    // The child ends when this process ends, however it ends (a job object
    // that kills on close); programs the child starts itself break away.
    bool endWithLauncher = false;
    // The system shows the "starting" cursor until the child asks for its
    // first window message (or a time-out passes).
    bool startupFeedback = false;
    StartObserver* observer = nullptr;
};

struct ProcessResult {
    int code = processSucceeded;
    std::string output; // what the child wrote, read back in text mode
    std::string error;
    DWORD exitCode = 0;  // the child's, when it was waited for to its end
    DWORD processId = 0; // the child's, once started
};

// Runs the request's command line as a child whose standard output, error and
// input are the redirection files (or this process's own), in the
// executable's folder as working directory. A waited-for child that overruns its time-out is
// terminated with exit code 0xFFFFFFFF. The files stay on disk until the next call with that base
// name.
ProcessResult executeProcess(const ProcessRequest& a_request);

// Makes the redirection files of a_baseName, as a child would get them, this
// process's own standard output, error and input, for a program that runs
// inside it; they stay open until the process ends. False when they cannot
// be created; nothing changes then.
bool useRedirectionFilesAsOwnStreams(const std::wstring& a_baseName);

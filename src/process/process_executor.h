#pragma once

#include "platform/unique_handle.h"
#include "process/output_log.h"

#include <windows.h>

#include <string>

// How a run of executeProcess went.
enum class ProcessCode {
    succeeded,
    noRedirectionFiles, // no child was started
    notStarted,         // e.g. the program was not found (see systemError)
    timedOut,           // the child was terminated
    notReadBack,        // an output file could not be reopened
};

// Told of the child as soon as it runs, before any waiting: its handle (the
// starter's own, valid until the run returns; null where there is no real
// process) and its id.
class StartObserver {
public:
    virtual void started(HANDLE a_process, DWORD a_processId) = 0;

protected:
    ~StartObserver() = default;
};

struct ProcessRequest {
    std::wstring commandLine;
    // The redirection files are this path followed by ".output.file",
    // ".error.file" and ".input.file" (the last one empty). Files that a
    // child still running holds are never emptied or overwritten: a child
    // whose output is not collected then gets the first free set of
    // "<baseName>.2", "<baseName>.3" ... "<baseName>.16".
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
    // Instead of redirection files, the child's standard output and error
    // are one pipe read into this file as they come (its input is empty);
    // it is then waited for to its end, whatever timeoutMs says.
    OutputLogFile outputLog{};
    // Inheritable handles the child inherits besides its streams, under the
    // same values (made by inheritableCopy); null: none.
    HANDLE passedHandles[2] = {nullptr, nullptr};
    // The child's current directory; empty: the executable's folder.
    std::wstring workingDirectory{};
    StartObserver* observer = nullptr;
};

struct ProcessResult {
    ProcessCode code = ProcessCode::succeeded;
    std::string output; // what the child wrote, read back in text mode
    std::string error;
    DWORD exitCode = 0;    // the child's, when it was waited for to its end
    DWORD processId = 0;   // the child's, once started
    DWORD systemError = 0; // GetLastError of a start that failed
};

// A handle this process may pass to its child: an inheritable copy of
// a_handle (a console, a pipe, a file, a process, a mutex); none when it has
// none.
UniqueHandle inheritableCopy(HANDLE a_handle);

// Runs the request's command line as a child whose standard output, error and
// input are the redirection files (or this process's own), in the request's
// working directory. The child inherits exactly those three handles and the
// passed ones. A waited-for child that overruns its time-out is terminated
// with exit code 0xFFFFFFFF. The files stay on disk until the next call with
// that base name.
ProcessResult executeProcess(const ProcessRequest& a_request);

// Makes the redirection files of a_baseName, as a child whose output is not
// collected would get them (the first free set), this process's own standard
// output, error and input, for a program that runs inside it; they stay open
// until the process ends. False when they cannot be created; nothing changes
// then.
bool useRedirectionFilesAsOwnStreams(const std::wstring& a_baseName);

#include "process/process_executor.h"

#include "platform/named_mutex.h"
#include "platform/paths.h"
#include "platform/unique_handle.h"

#include <share.h>

#include <cstdio>
#include <memory>

namespace {

constexpr DWORD terminatedExitCode = 0xFFFFFFFF;
constexpr std::size_t readBackChunk = 1024;

// The three files in the order they are created: output, error, input.
struct RedirectionFiles {
    UniqueFile output;
    UniqueFile error;
    UniqueFile input;

    bool allOpen() const { return output && error && input; }

    // Every handle that was opened is flushed and closed, in creation order.
    void close() {
        for (UniqueFile* file : {&output, &error, &input}) {
            if (*file) {
                FlushFileBuffers(file->get()); // result ignored: nothing to report it to
                file->reset();
            }
        }
    }
};

UniqueFile openRedirectionFile(const std::wstring& a_name, bool a_emptyIfKept) {
    if (fileExists(a_name)) {
        // Ignored when it fails: a file that an earlier child still holds is
        // reopened below.
        DeleteFileW(a_name.c_str());
    }
    // Inheritable, so the child receives it as a standard handle; read and
    // write sharing, so the child and the later reader can open it too.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    UniqueFile file(CreateFileW(a_name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file && a_emptyIfKept && GetLastError() == ERROR_ALREADY_EXISTS) {
        // The old file could not be deleted: an ended child's handles can
        // outlive it for a moment. Emptied, so that none of the earlier run's
        // bytes are read back as this run's output; a failure leaves them.
        SetEndOfFile(file.get());
    }
    return file;
}

RedirectionFiles openRedirectionFiles(const std::wstring& a_baseName, bool a_emptyIfKept) {
    RedirectionFiles files;
    files.output = openRedirectionFile(a_baseName + L".output.file", a_emptyIfKept);
    files.error = openRedirectionFile(a_baseName + L".error.file", a_emptyIfKept);
    files.input = openRedirectionFile(a_baseName + L".input.file", a_emptyIfKept);
    return files;
}

// Paths differ in letter case only: the same files. Hashed, as object names
// are short and hold no backslash.
std::wstring captureLockName(const std::wstring& a_baseName) {
    std::wstring lowered(a_baseName.size(), L'\0');
    LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, a_baseName.c_str(),
                 static_cast<int>(a_baseName.size()), lowered.data(),
                 static_cast<int>(lowered.size()));
    unsigned long long hash = 14695981039346656037ULL; // FNV-1a
    for (wchar_t unit : lowered) {
        hash = (hash ^ static_cast<unsigned long long>(unit)) * 1099511628211ULL;
    }
    wchar_t digits[17];
    for (int i = 15; i >= 0; --i, hash >>= 4) {
        digits[i] = L"0123456789abcdef"[hash & 0xF];
    }
    digits[16] = L'\0';
    return std::wstring(L"Local\\tavrin.capture.") + digits;
}

// While one call collects a child's output through the files of a base
// name, other calls for that base name wait: launchers started together in
// one folder would otherwise write into and read back each other's files.
// Held at most for one run and its read-back. Should the wait fail, the run
// goes ahead unguarded, as it would without the lock.
void lockCapture(NamedMutex& a_lock, const std::wstring& a_baseName, DWORD a_timeoutMs) {
    constexpr DWORD margin = 5000;
    const DWORD longestHold = a_timeoutMs >= INFINITE - margin ? INFINITE : a_timeoutMs + margin;
    if (a_lock.open(captureLockName(a_baseName), false) != NamedMutex::Opened::failed) {
        a_lock.acquire(longestHold);
    }
}

struct FileCloser {
    void operator()(std::FILE* a_file) const { std::fclose(a_file); }
};

// Appends a redirection file's text to a_text: text mode turns CR LF into LF
// and stops at a 0x1A byte. Opened by its wide name, so folders outside the
// ANSI code page work; denying nobody read or write access meanwhile.
bool appendFileText(const std::wstring& a_name, std::string& a_text) {
    std::unique_ptr<std::FILE, FileCloser> file(_wfsopen(a_name.c_str(), L"rt", _SH_DENYNO));
    if (!file) {
        return false;
    }
    char chunk[readBackChunk];
    std::size_t read = 0;
    while ((read = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        a_text.append(chunk, read);
    }
    return true;
}

// A handle this process may pass to its child: an inheritable copy of
// a_handle (a console, a pipe, a file); none when it has none.
UniqueHandle inheritableCopy(HANDLE a_handle) {
    HANDLE copy = nullptr;
    if (a_handle == nullptr || a_handle == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), a_handle, GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
        return UniqueHandle();
    }
    return UniqueHandle(copy);
}

// A job whose processes end when its last handle closes, which the system
// does when this process ends; processes that its members start are not in it.
UniqueHandle jobEndingWithThisProcess() {
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
    if (job && !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                        sizeof limits)) {
        job.reset();
    }
    return job;
}

// The child's standard input, output and error.
struct StandardHandles {
    HANDLE input;
    HANDLE output;
    HANDLE error;
};

// Starts the child and, when asked, waits for it; the result's code, its
// process id and, once it has ended, its exit code.
ProcessResult runChild(const ProcessRequest& a_request, const StandardHandles& a_handles) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags =
        STARTF_USESTDHANDLES | (a_request.startupFeedback ? STARTF_FORCEONFEEDBACK : 0);
    startup.hStdInput = a_handles.input;
    startup.hStdOutput = a_handles.output;
    startup.hStdError = a_handles.error;
    // Without a job the child simply outlives the launcher, as it would
    // when the system refuses it one.
    const UniqueHandle job =
        a_request.endWithLauncher ? jobEndingWithThisProcess() : UniqueHandle();
    // A child with files for streams needs no console; one that shares the
    // launcher's streams shares its console too.
    const DWORD flags =
        (a_request.inheritStreams ? 0 : CREATE_NO_WINDOW) | (job ? CREATE_SUSPENDED : 0);
    std::wstring commandLine = a_request.commandLine; // CreateProcessW may write into it
    const std::wstring workingDirectory = moduleRelativePath(L"");
    PROCESS_INFORMATION process{};
    ProcessResult result;
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr,
                        workingDirectory.c_str(), &startup, &process)) {
        result.code = processStartFailed;
        return result;
    }
    const UniqueHandle child(process.hProcess);
    const UniqueHandle childThread(process.hThread);
    result.processId = process.dwProcessId;
    if (job) {
        // Refused where the launcher is itself in a job that allows no other
        // (Windows 7): the child then runs without one.
        AssignProcessToJobObject(job.get(), child.get());
        if (ResumeThread(childThread.get()) == static_cast<DWORD>(-1)) {
            TerminateProcess(child.get(), terminatedExitCode); // it never ran
            result.code = processStartFailed;
            return result;
        }
    }
    if (a_request.observer != nullptr) {
        a_request.observer->started(process.dwProcessId);
    }
    if (!a_request.wait) {
        return result;
    }
    if (WaitForSingleObject(child.get(), a_request.timeoutMs) == WAIT_TIMEOUT) {
        // Not waited for again: the read-back takes what is on disk by then.
        TerminateProcess(child.get(), terminatedExitCode); // result ignored
        result.code = processTimedOut;
        return result;
    }
    GetExitCodeProcess(child.get(), &result.exitCode); // 0 stays when it fails
    return result;
}

// The child shares this process's console and standard streams.
ProcessResult runWithInheritedStreams(const ProcessRequest& a_request) {
    const UniqueHandle input = inheritableCopy(GetStdHandle(STD_INPUT_HANDLE));
    const UniqueHandle output = inheritableCopy(GetStdHandle(STD_OUTPUT_HANDLE));
    const UniqueHandle error = inheritableCopy(GetStdHandle(STD_ERROR_HANDLE));
    return runChild(a_request, StandardHandles{input.get(), output.get(), error.get()});
}

} // namespace

ProcessResult executeProcess(const ProcessRequest& a_request) {
    if (a_request.inheritStreams) {
        return runWithInheritedStreams(a_request);
    }
    const bool collecting = a_request.collect && a_request.wait;
    NamedMutex lock;
    if (collecting) {
        lockCapture(lock, a_request.baseName, a_request.timeoutMs);
    }
    ProcessResult result;
    RedirectionFiles files = openRedirectionFiles(a_request.baseName, collecting);
    if (!files.allOpen()) {
        files.close();
        result.code = redirectionFileFailed;
        return result;
    }
    result = runChild(a_request,
                      StandardHandles{files.input.get(), files.output.get(), files.error.get()});
    // Closed before reading back, so an ended child's output is all on disk.
    files.close();
    if (result.code == processStartFailed || !collecting) {
        return result;
    }
    const bool errorRead = appendFileText(a_request.baseName + L".error.file", result.error);
    const bool outputRead = appendFileText(a_request.baseName + L".output.file", result.output);
    if (!errorRead || !outputRead) {
        result.code = readBackFailed;
    }
    return result;
}

bool useRedirectionFilesAsOwnStreams(const std::wstring& a_baseName) {
    RedirectionFiles files = openRedirectionFiles(a_baseName, true);
    if (!files.allOpen()) {
        return false;
    }
    // From here on the process's standard handles own them.
    SetStdHandle(STD_OUTPUT_HANDLE, files.output.release());
    SetStdHandle(STD_ERROR_HANDLE, files.error.release());
    SetStdHandle(STD_INPUT_HANDLE, files.input.release());
    return true;
}

#include "process/process_executor.h"

#include "platform/named_mutex.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/unique_handle.h"

#include <share.h>

#include <cstdio>
#include <memory>
#include <vector>

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

constexpr int redirectionSets = 16;
constexpr const wchar_t* suffixes[] = {L".output.file", L".error.file", L".input.file"};

// Inheritable, so the child receives it as a standard handle; read and write
// sharing, so the child and the later reader can open it too.
UniqueFile createRedirectionFile(const std::wstring& a_name, DWORD a_disposition) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    return UniqueFile(CreateFileW(a_name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, a_disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

// For a run whose output is read back: the files of a_baseName, emptied.
// Runs of one base name take turns (see lockCapture), so a file that cannot
// be deleted is held only by an ended child whose handles outlive it for a
// moment: it is emptied, so that none of the earlier run's bytes are read
// back as this run's output (a failure leaves them).
RedirectionFiles openCollectedFiles(const std::wstring& a_baseName) {
    RedirectionFiles opened;
    UniqueFile* targets[] = {&opened.output, &opened.error, &opened.input};
    for (int i = 0; i < 3; ++i) {
        const std::wstring name = a_baseName + suffixes[i];
        if (fileExists(name)) {
            DeleteFileW(name.c_str()); // ignored when it fails: emptied below
        }
        *targets[i] = createRedirectionFile(name, OPEN_ALWAYS);
        if (*targets[i] && GetLastError() == ERROR_ALREADY_EXISTS) {
            SetEndOfFile(targets[i]->get());
        }
    }
    return opened;
}

// How one set of files for a run that is not read back came out.
enum class FreshSet { opened, held, failed };

// One set of files made anew. A file that cannot be deleted, or that
// appears meanwhile, is held by a child that still runs, and is never
// emptied or overwritten.
FreshSet openFreshSet(const std::wstring& a_baseName, RedirectionFiles& a_files) {
    UniqueFile* targets[] = {&a_files.output, &a_files.error, &a_files.input};
    for (int i = 0; i < 3; ++i) {
        const std::wstring name = a_baseName + suffixes[i];
        if (fileExists(name) && !DeleteFileW(name.c_str())) {
            return FreshSet::held;
        }
        *targets[i] = createRedirectionFile(name, CREATE_NEW);
        if (!*targets[i]) {
            return GetLastError() == ERROR_FILE_EXISTS ? FreshSet::held : FreshSet::failed;
        }
    }
    return FreshSet::opened;
}

// For a run whose output nobody reads back: the first set of files no
// running child holds, a_baseName's own first. None when the folder takes
// no file, or every set is held.
RedirectionFiles openFreeFiles(const std::wstring& a_baseName) {
    for (int set = 1; set <= redirectionSets; ++set) {
        const std::wstring base =
            set == 1 ? a_baseName : a_baseName + formatWideString(L".%d", set);
        RedirectionFiles files;
        const FreshSet opened = openFreshSet(base, files);
        if (opened == FreshSet::opened) {
            return files;
        }
        files.close();
        if (opened == FreshSet::failed) {
            break; // a folder that takes no file has no free set further on
        }
    }
    return RedirectionFiles();
}

// Paths differ in letter case only: the same files. Hashed, as object names
// are short and hold no backslash.
std::wstring captureLockName(const std::wstring& a_baseName) {
    std::wstring lowered(a_baseName.size(), L'\0');
    LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, a_baseName.c_str(),
                 static_cast<int>(a_baseName.size()), lowered.data(),
                 static_cast<int>(lowered.size()));
    // Launchers of every version share the name.
    return L"Local\\tavrin.capture." + hexDigits(fnv1aHash(lowered.data(), lowered.size()));
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

// The list of handles a child inherits (PROC_THREAD_ATTRIBUTE_HANDLE_LIST):
// exactly its standard handles and the passed ones, so that no other inheritable handle of this
// process (a pipe of the script that started it, say) outlives it in the
// child. Where the system has no such list, the child inherits as without.
class InheritedHandles {
public:
    // The three are distinct handles (files, or copies of the launcher's
    // own streams); a stream the launcher lacks is left out.
    InheritedHandles(const StandardHandles& a_handles, const HANDLE (&a_passed)[2]) {
        for (HANDLE handle :
             {a_handles.input, a_handles.output, a_handles.error, a_passed[0], a_passed[1]}) {
            if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
                m_handles[m_count++] = handle;
            }
        }
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size); // fails, giving the size
        m_buffer.resize(size);
        const auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_buffer.data());
        if (m_count == 0 || size == 0 || !InitializeProcThreadAttributeList(list, 1, 0, &size)) {
            return;
        }
        m_list = list;
        if (!UpdateProcThreadAttribute(m_list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, m_handles,
                                       m_count * sizeof(HANDLE), nullptr, nullptr)) {
            DeleteProcThreadAttributeList(m_list);
            m_list = nullptr;
        }
    }
    ~InheritedHandles() {
        if (m_list != nullptr) {
            DeleteProcThreadAttributeList(m_list);
        }
    }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;

    // Whether the child inherits anything.
    bool any() const { return m_count != 0; }
    LPPROC_THREAD_ATTRIBUTE_LIST list() const { return m_list; }

private:
    HANDLE m_handles[5] = {};
    std::size_t m_count = 0;
    std::vector<char> m_buffer;
    LPPROC_THREAD_ATTRIBUTE_LIST m_list = nullptr;
};

// CreateProcessW for a_request with a_handles, in its working directory,
// with the handles' list when a_listed and the system has one.
bool startChild(const ProcessRequest& a_request, const StandardHandles& a_handles, DWORD a_flags,
                bool a_listed, PROCESS_INFORMATION& a_started) {
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags =
        STARTF_USESTDHANDLES | (a_request.startupFeedback ? STARTF_FORCEONFEEDBACK : 0);
    startup.StartupInfo.hStdInput = a_handles.input;
    startup.StartupInfo.hStdOutput = a_handles.output;
    startup.StartupInfo.hStdError = a_handles.error;
    const InheritedHandles inherited(a_handles, a_request.passedHandles);
    startup.lpAttributeList = a_listed ? inherited.list() : nullptr;
    const DWORD flags =
        a_flags | (startup.lpAttributeList != nullptr ? EXTENDED_STARTUPINFO_PRESENT : 0);
    std::wstring commandLine = a_request.commandLine; // CreateProcessW may write into it
    const std::wstring workingDirectory =
        a_request.workingDirectory.empty() ? moduleRelativePath(L"") : a_request.workingDirectory;
    return CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, inherited.any(), flags,
                          nullptr, workingDirectory.c_str(), &startup.StartupInfo,
                          &a_started) != FALSE;
}

// The read end of a child's output pipe, and the log it goes to.
struct OutputPipe {
    HANDLE pipe;
    OutputLog& log;

    // Whatever the pipe holds now, without waiting for more.
    void drain() const {
        char chunk[4096];
        DWORD available = 0;
        DWORD read = 0;
        while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
               ReadFile(pipe, chunk, available < sizeof chunk ? available : sizeof chunk, &read,
                        nullptr) &&
               read > 0) {
            log.write(chunk, read);
        }
    }
};

// WaitForSingleObject for the child, its output read meanwhile. The pipe is
// looked at rather than read to its end: a program the child started may
// hold it long after the child has ended.
DWORD waitForChild(HANDLE a_process, DWORD a_timeoutMs, const OutputPipe* a_output) {
    if (a_output == nullptr) {
        return WaitForSingleObject(a_process, a_timeoutMs);
    }
    constexpr DWORD lookMs = 100;
    DWORD waited = WAIT_TIMEOUT;
    while (waited == WAIT_TIMEOUT) {
        waited = WaitForSingleObject(a_process, lookMs);
        a_output->drain();
    }
    return waited;
}

// Starts the child and, when asked, waits for it; the result's code, its
// process id and, once it has ended, its exit code.
ProcessResult runChild(const ProcessRequest& a_request, const StandardHandles& a_handles,
                       const OutputPipe* a_output = nullptr) {
    // Without a job the child simply outlives the launcher, as it would
    // when the system refuses it one.
    const UniqueHandle job =
        a_request.endWithLauncher ? jobEndingWithThisProcess() : UniqueHandle();
    // A child with files for streams needs no console; one that shares the
    // launcher's streams shares its console too.
    const DWORD flags =
        (a_request.inheritStreams ? 0 : CREATE_NO_WINDOW) | (job ? CREATE_SUSPENDED : 0);
    PROCESS_INFORMATION started{};
    ProcessResult result;
    // Windows 7's console handles cannot be listed: the child then inherits
    // as without a list.
    if (!startChild(a_request, a_handles, flags, true, started) &&
        (GetLastError() != ERROR_INVALID_PARAMETER ||
         !startChild(a_request, a_handles, flags, false, started))) {
        result.code = ProcessCode::notStarted;
        result.systemError = GetLastError();
        return result;
    }
    const UniqueProcess child(started);
    result.processId = child.id();
    if (job) {
        // Refused where the launcher is itself in a job that allows no other
        // (Windows 7): the child then runs without one.
        AssignProcessToJobObject(job.get(), child.process());
        if (ResumeThread(child.thread()) == static_cast<DWORD>(-1)) {
            result.systemError = GetLastError();
            TerminateProcess(child.process(), terminatedExitCode); // it never ran
            result.code = ProcessCode::notStarted;
            return result;
        }
    }
    if (a_request.observer != nullptr) {
        a_request.observer->started(child.process(), child.id());
    }
    if (!a_request.wait) {
        return result;
    }
    if (waitForChild(child.process(), a_request.timeoutMs, a_output) == WAIT_TIMEOUT) {
        // Not waited for again: the read-back takes what is on disk by then.
        TerminateProcess(child.process(), terminatedExitCode); // result ignored
        result.code = ProcessCode::timedOut;
        return result;
    }
    GetExitCodeProcess(child.process(), &result.exitCode); // 0 stays when it fails
    return result;
}

// The child shares this process's console and standard streams.
ProcessResult runWithInheritedStreams(const ProcessRequest& a_request) {
    const UniqueHandle input = inheritableCopy(GetStdHandle(STD_INPUT_HANDLE));
    const UniqueHandle output = inheritableCopy(GetStdHandle(STD_OUTPUT_HANDLE));
    const UniqueHandle error = inheritableCopy(GetStdHandle(STD_ERROR_HANDLE));
    return runChild(a_request, StandardHandles{input.get(), output.get(), error.get()});
}

// The child's output and error into its output log, through one pipe.
ProcessResult runIntoOutputLog(const ProcessRequest& a_request) {
    OutputLog log(a_request.outputLog);
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ProcessResult result;
    if (!log.open() || !CreatePipe(&readEnd, &writeEnd, nullptr, 0)) {
        result.code = ProcessCode::noRedirectionFiles;
        return result;
    }
    // Only the child gets the write end, as two inheritable copies.
    const UniqueHandle reading(readEnd);
    const UniqueHandle writing(writeEnd);
    const UniqueHandle output = inheritableCopy(writeEnd);
    const UniqueHandle error = inheritableCopy(writeEnd);
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const UniqueFile input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       &inheritable, OPEN_EXISTING, 0, nullptr));
    if (!output || !error || !input) {
        result.code = ProcessCode::noRedirectionFiles;
        return result;
    }
    const OutputPipe pipe{readEnd, log};
    return runChild(a_request, StandardHandles{input.get(), output.get(), error.get()}, &pipe);
}

} // namespace

UniqueHandle inheritableCopy(HANDLE a_handle) {
    HANDLE copy = nullptr;
    if (a_handle == nullptr || a_handle == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), a_handle, GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
        return UniqueHandle();
    }
    return UniqueHandle(copy);
}

ProcessResult executeProcess(const ProcessRequest& a_request) {
    if (a_request.inheritStreams) {
        return runWithInheritedStreams(a_request);
    }
    if (!a_request.outputLog.path.empty()) {
        return runIntoOutputLog(a_request);
    }
    const bool collecting = a_request.collect && a_request.wait;
    NamedMutex lock;
    if (collecting) {
        lockCapture(lock, a_request.baseName, a_request.timeoutMs);
    }
    ProcessResult result;
    RedirectionFiles files =
        collecting ? openCollectedFiles(a_request.baseName) : openFreeFiles(a_request.baseName);
    if (!files.allOpen()) {
        files.close();
        result.code = ProcessCode::noRedirectionFiles;
        return result;
    }
    result = runChild(a_request,
                      StandardHandles{files.input.get(), files.output.get(), files.error.get()});
    // Closed before reading back, so an ended child's output is all on disk.
    files.close();
    if (result.code == ProcessCode::notStarted || !collecting) {
        return result;
    }
    const bool errorRead = appendFileText(a_request.baseName + L".error.file", result.error);
    const bool outputRead = appendFileText(a_request.baseName + L".output.file", result.output);
    if (!errorRead || !outputRead) {
        result.code = ProcessCode::notReadBack;
    }
    return result;
}

bool useRedirectionFilesAsOwnStreams(const std::wstring& a_baseName) {
    RedirectionFiles files = openFreeFiles(a_baseName);
    if (!files.allOpen()) {
        return false;
    }
    // From here on the process's standard handles own them.
    SetStdHandle(STD_OUTPUT_HANDLE, files.output.release());
    SetStdHandle(STD_ERROR_HANDLE, files.error.release());
    SetStdHandle(STD_INPUT_HANDLE, files.input.release());
    return true;
}

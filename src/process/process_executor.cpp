#include "process/process_executor.h"

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

UniqueFile openRedirectionFile(const std::wstring& a_name) {
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
    if (file && GetLastError() == ERROR_ALREADY_EXISTS) {
        // The old file could not be deleted: an earlier child's handles can
        // outlive it for a moment. Emptied, so that none of the earlier run's
        // bytes are read back as this run's output. A failure leaves the old
        // bytes beyond the new end, which is all that can be done then.
        SetEndOfFile(file.get());
    }
    return file;
}

RedirectionFiles openRedirectionFiles(const std::wstring& a_baseName) {
    RedirectionFiles files;
    files.output = openRedirectionFile(a_baseName + L".output.file");
    files.error = openRedirectionFile(a_baseName + L".error.file");
    files.input = openRedirectionFile(a_baseName + L".input.file");
    return files;
}

// Starts the child and, when asked, waits for it. Returns the result code.
int runChild(std::wstring& a_commandLine, const RedirectionFiles& a_files, bool a_wait,
             DWORD a_timeoutMs) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = a_files.input.get();
    startup.hStdOutput = a_files.output.get();
    startup.hStdError = a_files.error.get();
    const std::wstring workingDirectory = moduleRelativePath(L"");

    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, a_commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                        nullptr, workingDirectory.c_str(), &startup, &process)) {
        return processStartFailed;
    }
    const UniqueHandle child(process.hProcess);
    const UniqueHandle childThread(process.hThread);
    if (a_wait && WaitForSingleObject(child.get(), a_timeoutMs) == WAIT_TIMEOUT) {
        // Not waited for again: the read-back takes what is on disk by then.
        TerminateProcess(child.get(), terminatedExitCode); // result ignored
        return processTimedOut;
    }
    return processSucceeded;
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

} // namespace

int executeProcess(std::string& a_outputText, std::string& a_errorText, std::wstring a_commandLine,
                   const std::wstring& a_baseName, bool a_collect, bool a_wait, DWORD a_timeoutMs) {
    RedirectionFiles files = openRedirectionFiles(a_baseName);
    if (!files.allOpen()) {
        files.close();
        return redirectionFileFailed;
    }
    int result = runChild(a_commandLine, files, a_wait, a_timeoutMs);
    // Closed before reading back, so an ended child's output is all on disk.
    files.close();
    if (result == processStartFailed || !a_wait || !a_collect) {
        return result;
    }
    if (!appendFileText(a_baseName + L".error.file", a_errorText)) {
        result = readBackFailed;
    }
    if (!appendFileText(a_baseName + L".output.file", a_outputText)) {
        result = readBackFailed;
    }
    return result;
}

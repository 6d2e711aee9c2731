#include "test_support.h"

#include "platform/unique_handle.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <memory>
#include <stdexcept>

namespace testing_support {

namespace {

bool runsFromPrivateFolder = false;
constexpr const wchar_t* privateCopyMarker = L"TAVRIN_TEST_PRIVATE_COPY";

std::map<std::string, Helper>& helpers() {
    static std::map<std::string, Helper> registry;
    return registry;
}

std::wstring temporaryFolder() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) {
        throw std::runtime_error("GetTempPathW failed");
    }
    return std::wstring(buffer, length);
}

} // namespace

ScratchFolder::ScratchFolder(const std::wstring& a_namePrefix) {
    static unsigned counter = 0;
    const std::wstring base = temporaryFolder();
    for (;;) {
        m_path = base + a_namePrefix + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++counter) + L"\\";
        if (CreateDirectoryW(m_path.c_str(), nullptr)) {
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            throw std::runtime_error("cannot create a scratch folder");
        }
    }
}

ScratchFolder::~ScratchFolder() {
    removeTree(m_path);
}

void makeDirectories(const std::wstring& a_path) {
    for (std::size_t at = a_path.find(L'\\', 3); at != std::wstring::npos;
         at = a_path.find(L'\\', at + 1)) {
        CreateDirectoryW(a_path.substr(0, at).c_str(), nullptr);
    }
    CreateDirectoryW(a_path.c_str(), nullptr);
}

void removeTree(const std::wstring& a_path) {
    std::wstring folder = a_path;
    if (!folder.empty() && folder.back() == L'\\') {
        folder.pop_back();
    }
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring child = folder + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

void writeFileBytes(const std::wstring& a_path, const std::string& a_bytes) {
    UniqueFile file(CreateFileW(a_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        throw std::runtime_error("cannot create " + utf8(a_path));
    }
    DWORD written = 0;
    if (!a_bytes.empty() && (!WriteFile(file.get(), a_bytes.data(),
                                        static_cast<DWORD>(a_bytes.size()), &written, nullptr) ||
                             written != a_bytes.size())) {
        throw std::runtime_error("cannot write " + utf8(a_path));
    }
}

std::string readFileBytes(const std::wstring& a_path) {
    UniqueFile file(CreateFileW(a_path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    if (!file) {
        throw std::runtime_error("cannot open " + utf8(a_path));
    }
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) {
        bytes.append(chunk, read);
    }
    return bytes;
}

bool pathExists(const std::wstring& a_path) {
    return GetFileAttributesW(a_path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> filesMatching(const std::wstring& a_pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(a_pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            names.push_back(entry.cFileName);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

void copyFileOrFail(const std::wstring& a_from, const std::wstring& a_to) {
    if (!CopyFileW(a_from.c_str(), a_to.c_str(), FALSE)) {
        throw std::runtime_error("cannot copy " + utf8(a_from) + " to " + utf8(a_to));
    }
}

std::wstring thisExecutablePath() {
    std::vector<wchar_t> buffer(32768);
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    return std::wstring(buffer.data(), length);
}

std::vector<wchar_t> environmentBlock(const std::map<std::wstring, std::wstring>& a_changes) {
    // Windows compares variable names without regard to case.
    std::map<std::wstring, std::pair<std::wstring, std::wstring>> variables;
    auto upper = [](std::wstring text) {
        CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
        return text;
    };
    wchar_t* current = GetEnvironmentStringsW();
    for (const wchar_t* entry = current; *entry != L'\0'; entry += wcslen(entry) + 1) {
        const std::wstring text = entry;
        const std::size_t equals = text.find(L'=', 1);
        if (equals == std::wstring::npos) {
            continue;
        }
        const std::wstring name = text.substr(0, equals);
        variables[upper(name)] = {name, text.substr(equals + 1)};
    }
    FreeEnvironmentStringsW(current);
    for (const auto& [name, value] : a_changes) {
        if (value.empty()) {
            variables.erase(upper(name));
        } else {
            variables[upper(name)] = {name, value};
        }
    }
    std::vector<wchar_t> block;
    for (const auto& entry : variables) {
        const std::wstring text = entry.second.first + L"=" + entry.second.second;
        block.insert(block.end(), text.begin(), text.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

namespace {

// Starts a child with the options' environment and working directory; a
// null process when it cannot start (the running test fails).
ChildProcess createChild(const std::wstring& a_commandLine, const ChildOptions& a_options,
                         STARTUPINFOW& a_startup, bool a_inheritHandles) {
    std::vector<wchar_t> environment;
    if (!a_options.environmentChanges.empty()) {
        environment = environmentBlock(a_options.environmentChanges);
    }
    std::wstring commandLine = a_commandLine;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(
            nullptr, commandLine.data(), nullptr, nullptr, a_inheritHandles,
            CREATE_UNICODE_ENVIRONMENT, environment.empty() ? nullptr : environment.data(),
            a_options.workingDirectory.empty() ? nullptr : a_options.workingDirectory.c_str(),
            &a_startup, &process)) {
        ADD_FAILURE() << "cannot start " << utf8(a_commandLine) << ": error " << GetLastError();
        return ChildProcess{};
    }
    CloseHandle(process.hThread);
    return ChildProcess{UniqueHandle(process.hProcess), process.dwProcessId};
}

} // namespace

ChildProcess startChild(const std::wstring& a_commandLine, const ChildOptions& a_options) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const bool handles = a_options.standardInput != nullptr ||
                         a_options.standardOutput != nullptr || a_options.standardError != nullptr;
    if (handles) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = a_options.standardInput;
        startup.hStdOutput = a_options.standardOutput;
        startup.hStdError = a_options.standardError;
    }
    return createChild(a_commandLine, a_options, startup, handles);
}

DWORD waitForChild(ChildProcess& a_child, DWORD a_timeoutMs) {
    if (WaitForSingleObject(a_child.process.get(), a_timeoutMs) == WAIT_TIMEOUT) {
        TerminateProcess(a_child.process.get(), 0xDEADBEEF);
        ADD_FAILURE() << "child did not end in time";
        WaitForSingleObject(a_child.process.get(), INFINITE);
    }
    DWORD exitCode = 0xDEADBEEF;
    GetExitCodeProcess(a_child.process.get(), &exitCode);
    return exitCode;
}

ChildRun runChild(const std::wstring& a_commandLine, const ChildOptions& a_options) {
    ChildRun run;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    UniqueHandle readEnd, writeEnd;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (a_options.shareStandardHandles || a_options.captureOutput) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    if (a_options.captureOutput) {
        HANDLE read = nullptr, write = nullptr;
        if (!CreatePipe(&read, &write, &inheritable, 0)) {
            ADD_FAILURE() << "CreatePipe failed";
            run.exitCode = 0xDEADBEEF;
            return run;
        }
        readEnd.reset(read);
        writeEnd.reset(write);
        SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
        startup.hStdOutput = writeEnd.get();
    }
    ChildProcess child = createChild(a_commandLine, a_options, startup,
                                     a_options.captureOutput || a_options.shareStandardHandles);
    if (!child.process) {
        run.exitCode = 0xDEADBEEF;
        return run;
    }
    writeEnd.reset();
    if (a_options.captureOutput) {
        char chunk[4096];
        DWORD read = 0;
        while (ReadFile(readEnd.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) {
            run.output.append(chunk, read);
        }
    }
    run.exitCode = waitForChild(child, a_options.timeoutMs);
    return run;
}

DWORD openHandleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

RunFromPrivateFolder::RunFromPrivateFolder() {
    runsFromPrivateFolder = true;
}

HelperRegistration::HelperRegistration(const char* a_name, Helper a_helper) {
    helpers()[a_name] = std::move(a_helper);
}

std::vector<std::wstring> commandLineArguments(const std::wstring& a_commandLine) {
    int count = 0;
    std::unique_ptr<wchar_t*, decltype(&LocalFree)> arguments(
        CommandLineToArgvW(a_commandLine.c_str(), &count), &LocalFree);
    return arguments ? std::vector<std::wstring>(arguments.get(), arguments.get() + count)
                     : std::vector<std::wstring>();
}

namespace {

void runRegistryTool(const std::wstring& a_arguments) {
    const ChildRun run = runChild(L"reg.exe " + a_arguments, ChildOptions{});
    EXPECT_EQ(run.exitCode, 0u) << "reg.exe " << utf8(a_arguments);
}

} // namespace

RegistryKeys::~RegistryKeys() {
    for (const auto& [key, view] : m_added) {
        runRegistryTool(L"delete " + quotedArgument(key) + L" /f /reg:" + view);
    }
}

void RegistryKeys::add(const std::wstring& a_key, const std::wstring& a_below,
                       const std::wstring& a_value, const std::wstring& a_data,
                       const std::wstring& a_view) {
    runRegistryTool(L"add " + quotedArgument(a_key + a_below) + L" /v " + quotedArgument(a_value) +
                    L" /d " + quotedArgument(a_data) + L" /f /reg:" + a_view);
    m_added.emplace_back(a_key, a_view);
}

std::wstring helperCommandLine(const std::wstring& a_executable, const std::wstring& a_helper,
                               const std::vector<std::wstring>& a_arguments) {
    std::wstring line = quotedArgument(a_executable) + L" --helper " + a_helper;
    for (const std::wstring& argument : a_arguments) {
        line += L" " + quotedArgument(argument);
    }
    return line;
}

namespace {

// Runs a copy of this program, with the same arguments, from a scratch
// folder, and returns its exit code.
int runPrivateCopy(int a_argumentCount, wchar_t** a_arguments) {
    ScratchFolder folder(L"tavrin-private");
    const std::wstring path = thisExecutablePath();
    const std::wstring copy = folder / path.substr(path.rfind(L'\\') + 1);
    copyFileOrFail(path, copy);
    std::wstring commandLine = quotedArgument(copy);
    for (int i = 1; i < a_argumentCount; ++i) {
        commandLine += L" " + quotedArgument(a_arguments[i]);
    }
    ChildOptions options;
    options.shareStandardHandles = true;
    options.timeoutMs = 600000;
    options.environmentChanges[privateCopyMarker] = L"1";
    return static_cast<int>(runChild(commandLine, options).exitCode);
}

} // namespace

bool runInsteadOfTests(int& a_exitCode) {
    int count = 0;
    std::unique_ptr<wchar_t*, decltype(&LocalFree)> arguments(
        CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
    if (!arguments) {
        return false;
    }
    if (count >= 3 && std::wstring(arguments.get()[1]) == L"--helper") {
        const auto found = helpers().find(utf8(arguments.get()[2]));
        a_exitCode = found == helpers().end() ? 2
                                              : found->second(std::vector<std::wstring>(
                                                    arguments.get() + 3, arguments.get() + count));
        return true;
    }
    if (runsFromPrivateFolder && _wgetenv(privateCopyMarker) == nullptr) {
        a_exitCode = runPrivateCopy(count, arguments.get());
        return true;
    }
    return false;
}

} // namespace testing_support

#pragma once

#include "platform/command_line.h"
#include "platform/paths.h"
#include "platform/unique_handle.h"
#include "text_codec.h"

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

// Helpers for the tests: scratch folders, files as bytes, child processes.
// Everything runs under Wine through the real Win32 calls.

namespace testing_support {

// A fresh folder under the user's temporary folder, removed with everything
// in it when the owner goes away.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& a_namePrefix = L"tavrin-test");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder, with a trailing backslash.
    const std::wstring& path() const { return m_path; }
    std::wstring operator/(const std::wstring& a_name) const { return m_path + a_name; }

private:
    std::wstring m_path;
};

void makeDirectories(const std::wstring& a_path);
void removeTree(const std::wstring& a_path);
void writeFileBytes(const std::wstring& a_path, const std::string& a_bytes);
std::string readFileBytes(const std::wstring& a_path);
bool pathExists(const std::wstring& a_path);
// The names of the files a wildcard pattern such as C:\app\*.tmp matches.
std::vector<std::wstring> filesMatching(const std::wstring& a_pattern);
void copyFileOrFail(const std::wstring& a_from, const std::wstring& a_to);

std::wstring thisExecutablePath();

struct ChildRun {
    DWORD exitCode = 0;
    std::string output; // standard output, when captured
};

struct ChildOptions {
    std::wstring workingDirectory;     // empty: inherit
    bool captureOutput = false;        // standard output through a pipe
    bool shareStandardHandles = false; // the child writes where this program writes
    DWORD timeoutMs = 60000;           // the child is killed after this
    std::map<std::wstring, std::wstring> environmentChanges; // empty value: remove
    // startChild: the child's standard handles (inheritable ones), when set.
    HANDLE standardInput = nullptr;
    HANDLE standardOutput = nullptr;
    HANDLE standardError = nullptr;
};

struct ChildProcess {
    UniqueHandle process;
    DWORD id = 0;
};

// Starts a_commandLine and returns at once; no handles are inherited.
ChildProcess startChild(const std::wstring& a_commandLine, const ChildOptions& a_options = {});
// Waits for the child (killing it after a_timeoutMs) and returns its exit code.
DWORD waitForChild(ChildProcess& a_child, DWORD a_timeoutMs);

// Starts a_commandLine, waits for it and returns its exit code. Fails the
// running test (and returns exit code 0xDEADBEEF) when it cannot start.
ChildRun runChild(const std::wstring& a_commandLine, const ChildOptions& a_options = {});

// This process's environment block with a_changes applied.
std::vector<wchar_t> environmentBlock(const std::map<std::wstring, std::wstring>& a_changes);

// Number of open handles of this process.
DWORD openHandleCount();

// Helper modes: a test program started with "--helper NAME ARGS..." runs the
// registered helper instead of its tests, so that tests can start a second
// process of their own.
using Helper = std::function<int(const std::vector<std::wstring>& a_arguments)>;
struct HelperRegistration {
    HelperRegistration(const char* a_name, Helper a_helper);
};
std::wstring helperCommandLine(const std::wstring& a_executable, const std::wstring& a_helper,
                               const std::vector<std::wstring>& a_arguments);

// Declared at namespace scope in a test program whose tests need a folder of
// their own beside the executable (the launcher looks for its files there):
// the program then copies itself into a scratch folder and runs its tests
// from the copy.
struct RunFromPrivateFolder {
    RunFromPrivateFolder();
};

// Called first by a test program: runs the helper it was started for, or a
// copy of itself from a private folder. True, with the exit code, when that
// was the program's whole work.
bool runInsteadOfTests(int& a_exitCode);

// The arguments of a command line as the system splits it
// (CommandLineToArgvW), the program first.
std::vector<std::wstring> commandLineArguments(const std::wstring& a_commandLine);

// Registry keys written with Wine's reg.exe into the test prefix, as an
// installer writes them, and deleted again, with everything under them, when
// the owner goes (the prefix serves the whole test run).
class RegistryKeys {
public:
    RegistryKeys() = default;
    ~RegistryKeys();
    RegistryKeys(const RegistryKeys&) = delete;
    RegistryKeys& operator=(const RegistryKeys&) = delete;

    // Sets a text value of a_key + a_below (a_key as reg.exe names it, such
    // as HKLM\SOFTWARE\...) in the view a_view ("64" or "32"); a_key is
    // what is deleted afterwards.
    void add(const std::wstring& a_key, const std::wstring& a_below, const std::wstring& a_value,
             const std::wstring& a_data, const std::wstring& a_view = L"64");

private:
    std::vector<std::pair<std::wstring, std::wstring>> m_added; // key, view
};

} // namespace testing_support

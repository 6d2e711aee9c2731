// A stand-in Java runtime for the end-to-end tests, installed as java.exe.
//
// It is told what to do through its environment, which the launcher passes
// on; a file "fake-java.cfg" beside it (NAME=VALUE lines) overrides the
// environment, so that two runtimes on one machine can differ. The report may
// hold \n, \r, \t, \xHH and other escaped characters.
//
//   FAKE_JAVA_REPORT      what "-version" prints (default: a Java 1.8 report)
//   FAKE_JAVA_STREAM      "out" or "err" (default): where the report goes
//   FAKE_JAVA_DELAY_MS    how long "-version" takes before it reports
//   FAKE_JAVA_RUN_MS      how long a "-jar" run takes
//   FAKE_JAVA_RUN_UNTIL   a file: a "-jar" run goes on until it exists (at
//                         most 60 s), instead of FAKE_JAVA_RUN_MS
//   FAKE_JAVA_RUN_MARKER  a file a "-jar" run creates when it ends
//   FAKE_JAVA_RUN_OUTPUT  what a "-jar" run writes to standard output after
//                         its "fake java ran [ARGUMENTS]" line
//   FAKE_JAVA_RUN_ERROR   what a "-jar" run writes to standard error
//   FAKE_JAVA_RUN_ECHO    "1": a "-jar" run then copies its input to output
//   FAKE_JAVA_RUN_PID     a file into which a "-jar" run writes its process id
//   FAKE_JAVA_RUN_START   a command line a "-jar" run starts, and leaves
//   FAKE_JAVA_RUN_INHERIT "1": that program inherits the run's inheritable
//                         handles, as Java's ProcessBuilder passes them on
//   FAKE_JAVA_EXIT        a "-jar" run's exit code (default 0)
//   FAKE_JAVA_EXITS       exit codes, blank-separated: the n-th "-jar" run
//                         (counted in FAKE_JAVA_RECORD) ends at once with the
//                         n-th; later runs do as the other settings say
//   FAKE_JAVA_RUN_FILL    a number: a "-jar" run writes that many bytes more
//                         to standard output, as lines of 100
//   FAKE_JAVA_RUN_WINDOW  a file: a "-jar" run shows a window, minimised, for
//                         FAKE_JAVA_RUN_MS, and writes "minimised" into the
//                         file, then "restored" once it is no longer
//   FAKE_JAVA_CTRL_C      a file: a "-jar" run that gets Ctrl+C writes
//                         "ctrl-c" into it and ends with 130, as a JVM's
//                         shutdown hooks would end it
//   FAKE_JAVA_IGNORE_CTRL_C "1": a "-jar" run goes on after Ctrl+C
//   FAKE_JAVA_RECORD      a file to which every run appends its record:
//                         exe=, cmdline=, arg= (one per argument as the C
//                         runtime splits them), cwd=, stdin=, then "---"
#include "text_codec.h"

#include <windows.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>
#include <string>

namespace {

using testing_support::decodeEscapes;
using testing_support::utf8;
const auto wide = testing_support::fromUtf8;

std::wstring ownPath() {
    wchar_t path[4096];
    const DWORD length = GetModuleFileNameW(nullptr, path, 4096);
    return std::wstring(path, length);
}

std::string readFile(const std::wstring& a_path) {
    HANDLE file = CreateFileW(a_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    std::string bytes;
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) {
        bytes.append(chunk, read);
    }
    CloseHandle(file);
    return bytes;
}

// The environment's FAKE_JAVA_ variables, then the file beside the program.
std::map<std::string, std::string> configuration() {
    std::map<std::string, std::string> settings;
    for (const char* name :
         {"FAKE_JAVA_REPORT", "FAKE_JAVA_STREAM", "FAKE_JAVA_DELAY_MS", "FAKE_JAVA_RUN_MS",
          "FAKE_JAVA_RUN_MARKER", "FAKE_JAVA_RUN_OUTPUT", "FAKE_JAVA_RUN_ERROR",
          "FAKE_JAVA_RUN_ECHO", "FAKE_JAVA_RUN_PID", "FAKE_JAVA_RUN_START", "FAKE_JAVA_EXIT",
          "FAKE_JAVA_RUN_WINDOW", "FAKE_JAVA_RECORD", "FAKE_JAVA_RUN_INHERIT",
          "FAKE_JAVA_RUN_UNTIL", "FAKE_JAVA_CTRL_C", "FAKE_JAVA_IGNORE_CTRL_C", "FAKE_JAVA_EXITS",
          "FAKE_JAVA_RUN_FILL"}) {
        wchar_t value[8192];
        const DWORD length = GetEnvironmentVariableW(wide(name).c_str(), value,
                                                     static_cast<DWORD>(std::size(value)));
        if (length > 0 && length < std::size(value)) {
            settings[name] = utf8(value);
        }
    }
    const std::wstring self = ownPath();
    const std::string file = readFile(self.substr(0, self.rfind(L'\\') + 1) + L"fake-java.cfg");
    std::size_t start = 0;
    while (start < file.size()) {
        std::size_t end = file.find('\n', start);
        end = end == std::string::npos ? file.size() : end;
        std::string line = file.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) {
            settings[line.substr(0, equals)] = line.substr(equals + 1);
        }
        start = end + 1;
    }
    return settings;
}

void write(DWORD a_stream, const std::string& a_bytes) {
    DWORD written = 0;
    WriteFile(GetStdHandle(a_stream), a_bytes.data(), static_cast<DWORD>(a_bytes.size()), &written,
              nullptr);
}

std::string standardInput() {
    std::string bytes;
    char chunk[1024];
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), chunk, sizeof chunk, &read, nullptr) &&
           read > 0) {
        bytes.append(chunk, read);
    }
    return bytes;
}

// One whole record per write, so that runs at the same time do not mix.
void record(const std::wstring& a_file, int a_argc, wchar_t** a_argv, const std::string& a_input) {
    std::string text = "exe=" + utf8(ownPath()) + "\ncmdline=" + utf8(GetCommandLineW()) + "\n";
    for (int i = 0; i < a_argc; ++i) {
        text += "arg=" + utf8(a_argv[i]) + "\n";
    }
    wchar_t folder[4096];
    GetCurrentDirectoryW(4096, folder);
    text += "cwd=" + utf8(folder) + "\nstdin=" + a_input + "\n---\n";
    HANDLE file = CreateFileW(a_file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, 0, nullptr);
    for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        Sleep(10);
        file = CreateFileW(a_file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, 0, nullptr);
    }
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

bool hasArgument(int a_argc, wchar_t** a_argv, const wchar_t* a_argument) {
    for (int i = 1; i < a_argc; ++i) {
        if (std::wstring(a_argv[i]) == a_argument) {
            return true;
        }
    }
    return false;
}

// A setting's value as written (paths, command lines); empty when not set.
std::string rawSetting(const std::map<std::string, std::string>& a_settings, const char* a_name) {
    const auto found = a_settings.find(a_name);
    return found == a_settings.end() ? std::string() : found->second;
}

// A text setting, its escapes decoded.
std::string setting(const std::map<std::string, std::string>& a_settings, const char* a_name) {
    return decodeEscapes(rawSetting(a_settings, a_name));
}

void writeText(const std::wstring& a_path, const std::string& a_text) {
    HANDLE file = CreateFileW(a_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, a_text.data(), static_cast<DWORD>(a_text.size()), &written, nullptr);
    CloseHandle(file);
}

// A program the application starts for the user, such as a browser: no
// handles inherited, not waited for.
void startDetached(const std::string& a_commandLine, bool a_inherit) {
    if (a_commandLine.empty()) {
        return;
    }
    std::wstring line = wide(a_commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, a_inherit ? TRUE : FALSE,
                       CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

// A minimised window for a_milliseconds, its state reported in a_file.
void showWindow(const std::wstring& a_file, DWORD a_milliseconds) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"FakeJavaApplication";
    RegisterClassW(&windowClass);
    HWND window =
        CreateWindowW(L"FakeJavaApplication", L"Fake Java application", WS_OVERLAPPEDWINDOW, 0, 0,
                      320, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
    ShowWindow(window, SW_SHOWMINIMIZED);
    writeText(a_file, IsIconic(window) ? "minimised" : "not minimised");
    bool restored = false;
    const ULONGLONG end = GetTickCount64() + a_milliseconds;
    while (GetTickCount64() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        if (!restored && !IsIconic(window)) {
            restored = true;
            writeText(a_file, "restored");
        }
        Sleep(10);
    }
}

DWORD number(const std::map<std::string, std::string>& a_settings, const char* a_name) {
    const auto found = a_settings.find(a_name);
    return found == a_settings.end() ? 0 : std::strtoul(found->second.c_str(), nullptr, 10);
}

std::wstring ctrlCFile;

BOOL WINAPI onCtrlC(DWORD a_event) {
    if (a_event != CTRL_C_EVENT) {
        return FALSE;
    }
    if (!ctrlCFile.empty()) {
        writeText(ctrlCFile, "ctrl-c");
        ExitProcess(130);
    }
    return TRUE; // ignored
}

// The application runs the record holds: its runs but the "-version" ones.
std::size_t applicationRuns(const std::wstring& a_record) {
    const std::string records = readFile(a_record);
    std::size_t runs = 0;
    for (std::size_t at = records.find("\n---\n"); at != std::string::npos;
         at = records.find("\n---\n", at + 1)) {
        ++runs;
    }
    for (std::size_t at = records.find("arg=-version\n"); at != std::string::npos;
         at = records.find("arg=-version\n", at + 1)) {
        --runs;
    }
    return runs;
}

// FAKE_JAVA_EXITS' code for this run, the a_run-th; none past the list.
std::optional<int> listedExit(const std::map<std::string, std::string>& a_settings,
                              std::size_t a_run) {
    std::istringstream codes(rawSetting(a_settings, "FAKE_JAVA_EXITS"));
    int code = 0;
    for (std::size_t i = 0; codes >> code; ++i) {
        if (i == a_run) {
            return code;
        }
    }
    return std::nullopt;
}

// FAKE_JAVA_RUN_FILL's bytes, as lines of 100.
void fill(std::size_t a_bytes) {
    const std::string line = std::string(99, 'x') + "\n";
    for (std::size_t left = a_bytes; left > 0; left -= left < 100 ? left : 100) {
        write(STD_OUTPUT_HANDLE, left < 100 ? line.substr(100 - left) : line);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::map<std::string, std::string> settings = configuration();
    const std::string input = standardInput();
    const std::size_t run =
        settings.count("FAKE_JAVA_RECORD") != 0 && !hasArgument(argc, argv, L"-version")
            ? applicationRuns(wide(settings.at("FAKE_JAVA_RECORD")))
            : 0;
    if (settings.count("FAKE_JAVA_RECORD") != 0) {
        record(wide(settings.at("FAKE_JAVA_RECORD")), argc, argv, input);
    }
    if (hasArgument(argc, argv, L"-version")) {
        Sleep(number(settings, "FAKE_JAVA_DELAY_MS"));
        const auto report = settings.find("FAKE_JAVA_REPORT");
        const auto stream = settings.find("FAKE_JAVA_STREAM");
        write(stream != settings.end() && stream->second == "out" ? STD_OUTPUT_HANDLE
                                                                  : STD_ERROR_HANDLE,
              report != settings.end()
                  ? decodeEscapes(report->second)
                  : "java version \"1.8.0_321\"\r\nJava(TM) SE Runtime Environment (build "
                    "1.8.0_321-b07)\r\n");
        return 0;
    }
    {
        // Any other start runs the application: -jar, -cp, --module, @file.
        ctrlCFile = wide(rawSetting(settings, "FAKE_JAVA_CTRL_C"));
        if (!ctrlCFile.empty() || rawSetting(settings, "FAKE_JAVA_IGNORE_CTRL_C") == "1") {
            SetConsoleCtrlHandler(onCtrlC, TRUE);
        }
        std::string output = "fake java ran";
        for (int i = 1; i < argc; ++i) {
            output += " [" + utf8(argv[i]) + "]";
        }
        write(STD_OUTPUT_HANDLE, output + "\r\n" + setting(settings, "FAKE_JAVA_RUN_OUTPUT"));
        write(STD_ERROR_HANDLE, setting(settings, "FAKE_JAVA_RUN_ERROR"));
        if (setting(settings, "FAKE_JAVA_RUN_ECHO") == "1") {
            write(STD_OUTPUT_HANDLE, input);
        }
        fill(number(settings, "FAKE_JAVA_RUN_FILL"));
        if (const std::optional<int> code = listedExit(settings, run)) {
            return *code;
        }
        const std::string pidFile = rawSetting(settings, "FAKE_JAVA_RUN_PID");
        if (!pidFile.empty()) {
            writeText(wide(pidFile), std::to_string(GetCurrentProcessId()));
        }
        startDetached(rawSetting(settings, "FAKE_JAVA_RUN_START"),
                      rawSetting(settings, "FAKE_JAVA_RUN_INHERIT") == "1");
        const std::string windowFile = rawSetting(settings, "FAKE_JAVA_RUN_WINDOW");
        const std::wstring until = wide(rawSetting(settings, "FAKE_JAVA_RUN_UNTIL"));
        if (!until.empty()) {
            for (int i = 0;
                 i < 6000 && GetFileAttributesW(until.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) {
                Sleep(10);
            }
        } else if (windowFile.empty()) {
            Sleep(number(settings, "FAKE_JAVA_RUN_MS"));
        } else {
            showWindow(wide(windowFile), number(settings, "FAKE_JAVA_RUN_MS"));
        }
        const auto marker = settings.find("FAKE_JAVA_RUN_MARKER");
        if (marker != settings.end()) {
            CloseHandle(CreateFileW(wide(marker->second).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr));
        }
        return std::atoi(setting(settings, "FAKE_JAVA_EXIT").c_str());
    }
}

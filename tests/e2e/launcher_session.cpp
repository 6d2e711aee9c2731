#include "launcher_session.h"

#include "dialog_driver.h"
#include "expected_messages.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace e2e {

using namespace testing_support;
namespace driver = dialog_driver;

namespace {

std::wstring fromEnvironment(const char* a_name) {
    const char* value = std::getenv(a_name);
    if (value == nullptr) {
        ADD_FAILURE() << a_name << " is not set; the end-to-end tests run through CTest";
        return std::wstring();
    }
    return windowsPath(value);
}

// What the user sees of a dialog.
Dialog look(HWND a_dialog) {
    Dialog seen;
    if (driver::isFolderDialog(a_dialog)) {
        seen.folderDialog = true;
        seen.caption = driver::windowText(a_dialog);
        seen.text = driver::folderDialogTitle(a_dialog);
        return seen;
    }
    const driver::MessageBoxView box = driver::readMessageBox(a_dialog);
    seen.caption = box.caption;
    seen.text = box.text;
    seen.buttons = box.buttons;
    seen.showsIcon = box.showsIcon;
    return seen;
}

void act(HWND a_dialog, const UserAction& a_action) {
    switch (a_action.kind) {
    case UserAction::Kind::press:
        driver::press(a_dialog, a_action.button);
        break;
    case UserAction::Kind::chooseFolder:
        if (!driver::selectFolder(a_dialog, driver::folderDialogPath(a_action.folder))) {
            ADD_FAILURE() << "cannot select " << utf8(a_action.folder) << " in the folder dialog";
            driver::press(a_dialog, IDCANCEL);
            return;
        }
        driver::press(a_dialog, IDOK);
        break;
    case UserAction::Kind::cancelFolder:
        driver::press(a_dialog, IDCANCEL);
        break;
    }
}

void waitUntilGone(HWND a_dialog) {
    for (int i = 0; i < 500 && IsWindow(a_dialog) && IsWindowVisible(a_dialog); ++i) {
        Sleep(10);
    }
}

std::wstring textAfter(const std::wstring& a_line, const std::wstring& a_prefix) {
    return a_line.substr(a_prefix.size());
}

} // namespace

Dialog plainBox(const std::wstring& a_caption, const std::wstring& a_text) {
    return Dialog{false, a_caption, a_text, {L"OK"}, false};
}

Dialog folderDialog() {
    return Dialog{true, L"Browse for Folder", expected::folderDialogTitle, {}, false};
}

UserAction press(int a_button) {
    return UserAction{UserAction::Kind::press, a_button, L""};
}
UserAction chooseFolder(const std::wstring& a_folder) {
    return UserAction{UserAction::Kind::chooseFolder, IDOK, a_folder};
}
UserAction cancelFolder() {
    return UserAction{UserAction::Kind::cancelFolder, IDCANCEL, L""};
}

std::wstring windowsPath(const std::string& a_unixPath) {
    std::wstring path = L"Z:" + fromUtf8(a_unixPath);
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return path;
}

std::wstring launcherExecutable() {
    return fromEnvironment("TAVRIN_E2E_LAUNCHER");
}
std::wstring consoleLauncherExecutable() {
    return fromEnvironment("TAVRIN_E2E_CONSOLE_LAUNCHER");
}
std::wstring fakeJavaExecutable() {
    return folderOf(thisExecutablePath()) + L"fake_java.exe";
}
std::wstring bridgeFolder() {
    return fromEnvironment("TAVRIN_E2E_BRIDGE");
}
std::wstring demoJar() {
    return fromEnvironment("TAVRIN_E2E_DEMO_JAR");
}
std::wstring javaApplications() {
    return fromEnvironment("TAVRIN_E2E_JAVA_APPS");
}
std::wstring linkedSettingsFolder() {
    return fromEnvironment("TAVRIN_E2E_LINKED_SETTINGS");
}

JavaRuntime::JavaRuntime(const std::wstring& a_folder,
                         const std::map<std::string, std::string>& a_configuration)
    : m_folder(a_folder) {
    makeDirectories(m_folder);
    copyFileOrFail(fakeJavaExecutable(), executable());
    std::string lines;
    for (const auto& [name, value] : a_configuration) {
        lines += name + "=" + value + "\r\n";
    }
    if (!lines.empty()) {
        writeFileBytes(m_folder + L"\\fake-java.cfg", lines);
    }
}

Application::Application(const std::wstring& a_folderName)
    : m_scratch(L"tavrin-e2e"),
      m_folder((a_folderName.find(L':') != std::wstring::npos ? a_folderName
                                                              : m_scratch / a_folderName) +
               L"\\") {
    makeDirectories(m_folder);
    copyFileOrFail(launcherExecutable(), path(L"tavrin.exe"));
    environment[L"FAKE_JAVA_RECORD"] = recordFile();
    environment[L"JAVA_HOME"] = L""; // removed: runtimes are found where a test puts them
    searchPath({});
}

void Application::useConsoleLauncher() {
    copyFileOrFail(consoleLauncherExecutable(), path(L"tavrinc.exe"));
    launcherName = L"tavrinc.exe";
}

void Application::writeSettings(const std::string& a_text) const {
    writeFileBytes(path(L"tavrin.ini"), a_text);
}

std::string Application::settings() const {
    return readFileBytes(path(L"tavrin.ini"));
}

void Application::writeJar(const std::wstring& a_name) const {
    const std::wstring jar = path(a_name);
    makeDirectories(folderOf(jar));
    writeFileBytes(jar, "PK\x03\x04");
}

void Application::searchPath(const std::vector<std::wstring>& a_pathFolders) {
    std::wstring path;
    for (const std::wstring& folder : a_pathFolders) {
        path += folder + L";";
    }
    environment[L"PATH"] = path + L"C:\\windows\\system32;C:\\windows";
}

std::vector<JavaRecord> Application::javaRuns() const {
    return readJavaRecords(recordFile());
}

ChildProcess Application::start() const {
    ChildOptions options;
    options.environmentChanges = environment;
    // Somewhere else than the application folder: the launcher must not
    // depend on the folder it is started from.
    options.workingDirectory = m_scratch.path();
    options.standardInput = standardInput;
    options.standardOutput = standardOutput;
    options.standardError = standardError;
    std::wstring commandLine = quotedArgument(path(launcherName));
    for (const std::wstring& argument : arguments) {
        commandLine += L" " + quotedArgument(argument);
    }
    return startChild(commandLine, options);
}

RunResult Application::drive(ChildProcess& a_launcher, const std::vector<UserAction>& a_actions,
                             DWORD a_timeoutMs) const {
    RunResult result;
    std::size_t next = 0;
    const ULONGLONG deadline = GetTickCount64() + a_timeoutMs;
    while (a_launcher.process) {
        const ULONGLONG now = GetTickCount64();
        HWND dialog = driver::waitForDialog(a_launcher.id,
                                            now < deadline ? static_cast<DWORD>(deadline - now) : 0,
                                            a_launcher.process.get());
        if (dialog == nullptr) {
            break;
        }
        result.dialogs.push_back(look(dialog));
        const Dialog& seen = result.dialogs.back();
        if (next < a_actions.size()) {
            act(dialog, a_actions[next++]);
        } else if (!seen.folderDialog && seen.buttons == std::vector<std::wstring>{L"OK"}) {
            // A box that only informs: read, then closed.
            driver::press(dialog, IDOK);
        } else {
            ADD_FAILURE() << "a question nobody expected: " << utf8(seen.text);
            driver::press(dialog, IDCANCEL);
        }
        waitUntilGone(dialog);
    }
    EXPECT_EQ(next, a_actions.size()) << "the launcher ended before every action was taken";
    const ULONGLONG now = GetTickCount64();
    result.exitCode = static_cast<int>(
        waitForChild(a_launcher, now < deadline ? static_cast<DWORD>(deadline - now) : 0));
    return result;
}

RunResult Application::run(const std::vector<UserAction>& a_actions) const {
    ChildProcess launcher = start();
    return drive(launcher, a_actions);
}

std::vector<JavaRecord> readJavaRecords(const std::wstring& a_file) {
    std::vector<JavaRecord> records;
    if (!pathExists(a_file)) {
        return records;
    }
    const std::wstring text = fromUtf8(readFileBytes(a_file));
    JavaRecord current;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        end = end == std::wstring::npos ? text.size() : end;
        const std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (line == L"---") {
            records.push_back(current);
            current = JavaRecord{};
        } else if (line.rfind(L"exe=", 0) == 0) {
            current.executable = textAfter(line, L"exe=");
        } else if (line.rfind(L"cmdline=", 0) == 0) {
            current.commandLine = textAfter(line, L"cmdline=");
        } else if (line.rfind(L"arg=", 0) == 0) {
            current.arguments.push_back(textAfter(line, L"arg="));
        } else if (line.rfind(L"cwd=", 0) == 0) {
            current.workingDirectory = textAfter(line, L"cwd=");
        }
    }
    return records;
}

} // namespace e2e

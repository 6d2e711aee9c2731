#pragma once

#include "platform/unique_handle.h"
#include "test_support.h"

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

// The real launcher, started as a user starts it, in an application folder of
// its own, with its dialogs answered by a scripted user.
namespace e2e {

// What the user saw: a message box or the folder dialog.
struct Dialog {
    bool folderDialog = false;
    std::wstring caption;
    std::wstring text; // the box's text, or the folder dialog's title
    std::vector<std::wstring> buttons;
    bool showsIcon = false;
};

// A box showing a_text with only an OK button and no icon.
Dialog plainBox(const std::wstring& a_caption, const std::wstring& a_text);
Dialog folderDialog();

// What the user does with the next dialog.
struct UserAction {
    enum class Kind { press, chooseFolder, cancelFolder } kind;
    int button = IDOK;
    std::wstring folder; // Windows path, for chooseFolder
};
UserAction press(int a_button);
UserAction chooseFolder(const std::wstring& a_folder);
UserAction cancelFolder();

struct RunResult {
    int exitCode = 0;
    std::vector<Dialog> dialogs;
};

// What a stand-in runtime recorded of one run.
struct JavaRecord {
    std::wstring executable;
    std::wstring commandLine;
    std::vector<std::wstring> arguments; // as the C runtime split them
    std::wstring workingDirectory;
};

// Paths of this build, from the test's environment.
std::wstring launcherExecutable();
std::wstring consoleLauncherExecutable();
std::wstring fakeJavaExecutable();
std::wstring bridgeFolder(); // the placeholder java.exe of the real-runtime bridge
std::wstring demoJar();
// lib\app.jar and lib\dep.jar (a main class and its dependency) and
// mods\hello.jar (the module com.example.hello) and lib\inprocess.jar
// (InProcessApp), built for the real JVM.
std::wstring javaApplications();
// A folder with shared.ini and App\tavrin.ini, a symbolic link to ..\shared.ini.
std::wstring linkedSettingsFolder();
std::wstring windowsPath(const std::string& a_unixPath);

// A folder with a stand-in java.exe; a_configuration, when given, goes into
// its fake-java.cfg and overrides the environment's FAKE_JAVA_ settings.
class JavaRuntime {
public:
    JavaRuntime(const std::wstring& a_folder,
                const std::map<std::string, std::string>& a_configuration = {});
    const std::wstring& folder() const { return m_folder; } // without trailing backslash
    std::wstring executable() const { return m_folder + L"\\java.exe"; }

private:
    std::wstring m_folder;
};

// An application folder with tavrin.exe, its settings and its JAR.
class Application {
public:
    // a_folderName: a folder of a scratch folder of its own, or a full path.
    explicit Application(const std::wstring& a_folderName = L"App");

    const std::wstring& folder() const { return m_folder; } // with trailing backslash
    std::wstring path(const std::wstring& a_name) const { return m_folder + a_name; }
    const testing_support::ScratchFolder& scratch() const { return m_scratch; }

    void writeSettings(const std::string& a_text) const;
    std::string settings() const;
    void writeJar(const std::wstring& a_name = L"lib\\app.jar") const;

    // The environment of the launcher: FAKE_JAVA_ settings, no JAVA_HOME,
    // and PATH made of a_pathFolders and the system folders (no Java there).
    std::map<std::wstring, std::wstring> environment;
    // The launcher's own command-line arguments, as the shell gives them.
    std::vector<std::wstring> arguments;
    // Which launcher start() starts (tavrinc.exe: useConsoleLauncher), and
    // the standard handles it gets (inheritable ones), when set.
    std::wstring launcherName = L"tavrin.exe";
    HANDLE standardInput = nullptr;
    HANDLE standardOutput = nullptr;
    HANDLE standardError = nullptr;
    void useConsoleLauncher();
    void searchPath(const std::vector<std::wstring>& a_pathFolders);
    // Every stand-in run is recorded here.
    std::wstring recordFile() const { return m_scratch / L"java-runs.txt"; }
    std::vector<JavaRecord> javaRuns() const;

    // Starts the launcher and returns at once.
    testing_support::ChildProcess start() const;
    // Answers its dialogs in order until it ends.
    RunResult drive(testing_support::ChildProcess& a_launcher,
                    const std::vector<UserAction>& a_actions, DWORD a_timeoutMs = 60000) const;
    RunResult run(const std::vector<UserAction>& a_actions = {}) const;

private:
    testing_support::ScratchFolder m_scratch;
    std::wstring m_folder;
};

// Reads the record file a_file.
std::vector<JavaRecord> readJavaRecords(const std::wstring& a_file);

} // namespace e2e

// What the end-to-end tests share: the boxes they expect, tavrin.ini's
// usual keys, the typical application, the console launcher's run.
#pragma once

#include "dialog_driver.h"
#include "expected_messages.h"
#include "launcher_session.h"
#include "platform/command_line.h"
#include "platform/paths.h"
#include "platform/unique_handle.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace e2e {

using namespace testing_support;

inline Dialog invalidBox() {
    return plainBox(L"Error", expected::settingsInvalid);
}
inline Dialog jarMissingBox(const std::wstring& a_path) {
    return plainBox(L"Jar not found", expected::jarMissing(a_path));
}
inline Dialog m1() {
    return plainBox(L"Error", expected::noJavaRuntime);
}
inline Dialog m2(const std::wstring& a_min) {
    return plainBox(L"Error", expected::versionUnreadable(a_min));
}
inline Dialog m3(const std::wstring& a_min) {
    return plainBox(L"Error", expected::versionUnsuitable(a_min));
}
inline Dialog m4(const std::wstring& a_min) {
    return Dialog{false,
                  L"Error",
                  expected::versionUnsuitableAsk(a_min),
                  {L"&Abort", L"&Retry", L"&Ignore"},
                  false};
}
inline Dialog waitBox() {
    return Dialog{false, L"Wait", expected::alreadyRunning, {L"OK"}, true};
}

inline void expectDialogs(const std::vector<Dialog>& a_seen,
                          const std::vector<Dialog>& a_expected) {
    ASSERT_EQ(a_seen.size(), a_expected.size());
    for (std::size_t i = 0; i < a_seen.size(); ++i) {
        SCOPED_TRACE("dialog " + std::to_string(i + 1));
        EXPECT_EQ(a_seen[i].folderDialog, a_expected[i].folderDialog);
        EXPECT_EQ(a_seen[i].caption, a_expected[i].caption);
        EXPECT_EQ(a_seen[i].text, a_expected[i].text);
        EXPECT_EQ(a_seen[i].buttons, a_expected[i].buttons);
        EXPECT_EQ(a_seen[i].showsIcon, a_expected[i].showsIcon);
    }
}

using Keys = std::vector<std::pair<std::string, std::string>>;

// A [tavrin] section: the usual keys, with a_changes replacing or adding.
inline std::string settingsWith(const Keys& a_changes = {}) {
    Keys keys = {{"jar-file-name", "lib\\app.jar"},
                 {"min-java-version", "1.5"},
                 {"wait-for-exit", "1"},
                 {"ask-for-java-location", "0"},
                 {"allow-newer-version", "1"}};
    for (const auto& change : a_changes) {
        bool replaced = false;
        for (auto& key : keys) {
            if (key.first == change.first) {
                key.second = change.second;
                replaced = true;
            }
        }
        if (!replaced) {
            keys.push_back(change);
        }
    }
    std::string text = "[tavrin]\r\n";
    for (const auto& key : keys) {
        text += key.first + "=" + key.second + "\r\n";
    }
    return text;
}

inline std::string report(const std::string& a_version) {
    return "java version \\\"" + a_version + "\\\"\\r\\nJava(TM) SE Runtime Environment\\r\\n";
}

// An application with its JAR and a stand-in runtime on the search path.
struct TypicalApplication {
    explicit TypicalApplication(const std::wstring& a_folderName = L"App")
        : app(a_folderName), java(app.scratch() / L"Java Runtime\\bin") {
        app.writeJar();
        app.searchPath({java.folder()});
    }
    Application app;
    JavaRuntime java;
};

// An inheritable file for a console launcher's standard handle.
inline UniqueFile standardFile(const std::wstring& a_path, DWORD a_creation) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    return UniqueFile(CreateFileW(a_path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, a_creation,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

struct ConsoleRun {
    DWORD exitCode = 0;
    std::string output;
    std::string error;
    bool showedWindow = false;
};

// Runs a_app's tavrinc.exe with a_input as its standard input and files (or,
// with a_pipe, one pipe for both, as "2>&1 |" gives) as its output and error.
inline ConsoleRun runConsole(Application& a_app, const std::string& a_input, bool a_pipe = false) {
    const ScratchFolder streams(L"tavrin-streams");
    writeFileBytes(streams / L"in.txt", a_input);
    const UniqueFile input = standardFile(streams / L"in.txt", OPEN_EXISTING);
    UniqueFile output = standardFile(streams / L"out.txt", CREATE_ALWAYS);
    UniqueFile error = standardFile(streams / L"err.txt", CREATE_ALWAYS);
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (a_pipe) {
        EXPECT_TRUE(CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    }
    const UniqueHandle pipeRead(readEnd);
    UniqueHandle pipeWrite(writeEnd);
    a_app.standardInput = input.get();
    a_app.standardOutput = a_pipe ? pipeWrite.get() : output.get();
    a_app.standardError = a_pipe ? pipeWrite.get() : error.get();
    ChildProcess launcher = a_app.start();
    pipeWrite.reset(); // the launcher and the application hold the write end
    ConsoleRun run;
    std::string piped;
    std::thread reader([&] {
        char chunk[4096];
        DWORD read = 0;
        while (a_pipe && ReadFile(pipeRead.get(), chunk, sizeof chunk, &read, nullptr) &&
               read > 0) {
            piped.append(chunk, read);
        }
    });
    run.showedWindow =
        dialog_driver::waitForDialog(launcher.id, 30000, launcher.process.get()) != nullptr;
    run.exitCode = waitForChild(launcher, 30000);
    reader.join();
    output.reset();
    error.reset();
    run.output = a_pipe ? piped : readFileBytes(streams / L"out.txt");
    run.error = a_pipe ? "" : readFileBytes(streams / L"err.txt");
    return run;
}

// Settings that start a_changes' way instead of with lib\app.jar.
inline std::string settingsWithoutJar(const Keys& a_changes) {
    std::string text = settingsWith(a_changes);
    const std::string jar = "jar-file-name=lib\\app.jar\r\n";
    return text.erase(text.find(jar), jar.size());
}

inline const std::wstring java17Report = L"openjdk version \"17.0.9\" 2023-10-17\n";

// An application folder whose runtime is the bridge's home (its java.exe,
// jli.dll and release file), with lib\inprocess.jar.
inline void prepareInProcess(Application& app, const Keys& a_keys = {}) {
    makeDirectories(app.path(L"lib"));
    copyFileOrFail(javaApplications() + L"\\lib\\inprocess.jar", app.path(L"lib\\inprocess.jar"));
    Keys keys{{"jar-file-name", "lib\\inprocess.jar"},
              {"min-java-version", "9"},
              {"java-location", utf8(bridgeFolder())},
              {"read-java-release", "1"},
              {"in-process", "1"},
              {"pass-arguments", "1"}};
    keys.insert(keys.end(), a_keys.begin(), a_keys.end());
    app.writeSettings(settingsWith(keys));
}

// The process id a stand-in run wrote into a_file (FAKE_JAVA_RUN_PID), once
// it is there; 0 when it never is.
inline DWORD processIdIn(const std::wstring& a_file) {
    for (int i = 0; i < 1000 && (!pathExists(a_file) || readFileBytes(a_file).empty()); ++i) {
        Sleep(10);
    }
    return pathExists(a_file)
               ? static_cast<DWORD>(std::strtoul(readFileBytes(a_file).c_str(), nullptr, 10))
               : 0;
}

} // namespace e2e

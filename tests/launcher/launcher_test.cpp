#include "instance/single_run.h"
#include "launcher/launcher.h"

#include "expected_messages.h"
#include "platform/environment.h"
#include "platform/paths.h"
#include "platform/process_record.h"
#include "scripted_host.h"
#include "service/service.h"
#include "settings/settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace testing_support;
using Answer = ScriptedHost::ProcessAnswer;

const std::wstring settingsMissingBox = L"box Error: " + expected::settingsMissing;
const std::wstring invalidBox = L"box Error: " + expected::settingsInvalid;
const std::wstring waitBox = L"box Wait: " + expected::alreadyRunning;

using scripted::java16;
using scripted::started;

// Each case writes tavrin.ini and the JAR beside the (private copy of the)
// test program, where the launcher looks for them.
class RunLauncher : public testing::Test {
protected:
    void SetUp() override {
        makeDirectories(moduleRelativePath(L"lib"));
        writeFileBytes(jarPath, "PK");
    }

    void TearDown() override {
        SetFileAttributesW(settingsPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        removeTree(settingsPath);
        DeleteFileW(settingsPath.c_str());
        removeTree(moduleRelativePath(L"lib"));
    }

    void writeSettings(const std::string& a_text) { writeFileBytes(settingsPath, a_text); }

    static std::string settingsWith(const std::string& a_extraKeys) {
        return "[tavrin]\r\n"
               "jar-file-name=lib\\app.jar\r\n"
               "min-java-version=1.6\r\n"
               "wait-for-exit=0\r\n"
               "ask-for-java-location=0\r\n"
               "allow-newer-version=1\r\n" +
               a_extraKeys;
    }

    int runWith(std::vector<Answer> a_runs, const std::vector<std::wstring>& a_arguments = {}) {
        host.processAnswers.assign(a_runs.begin(), a_runs.end());
        const int result = runLauncher(host, mutex, a_arguments);
        EXPECT_TRUE(host.processAnswers.empty()) << "scripted runs left over";
        return result;
    }

    ScriptedHost host;
    NamedMutex mutex;
    const std::wstring settingsPath = moduleRelativePath(L"tavrin.ini");
    const std::wstring jarPath = moduleRelativePath(L"lib\\app.jar");
};

TEST_F(RunLauncher, TheTypicalStart) {
    writeSettings(settingsWith(""));
    EXPECT_EQ(runWith({java16, started}), 0);
    ASSERT_EQ(host.processCalls.size(), 2u);
    EXPECT_EQ(host.log[0], L"run java -version");
    const ScriptedHost::ProcessCall& launch = host.processCalls[1];
    EXPECT_EQ(launch.commandLine, L"java.exe -jar  \"" + jarPath + L"\" ");
    EXPECT_EQ(launch.baseName, moduleRelativePath(L"java.jar.run"));
    EXPECT_FALSE(launch.collect);
    EXPECT_FALSE(launch.wait);
    EXPECT_EQ(launch.timeoutMs, INFINITE);
    EXPECT_EQ(commandLineArguments(launch.commandLine),
              (std::vector<std::wstring>{L"java.exe", L"-jar", jarPath}));
    EXPECT_EQ(readFileBytes(settingsPath), settingsWith("java-location=java.exe\r\n"));
    EXPECT_EQ(host.messages.size(), 0u);
}

// A launcher with a section of its own reads it over [tavrin], names its
// redirection files after itself, says so in the log, and writes the runtime
// back into [tavrin], where it read the key.
TEST_F(RunLauncher, AProgramsOwnSection) {
    const std::wstring program = fileNameOf(executablePath());
    const std::wstring stem = withoutExtension(program);
    std::string written = utf8(program); // in other capitals: still the program's
    for (char& character : written) {
        character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    }
    const ScratchFolder logs;
    SetEnvironmentVariableW(L"TAVRIN_LOG", (logs / L"tavrin.log").c_str());
    const std::string shared = settingsWith("java-location=\r\nstart-arguments=--gui\r\n");
    const std::string own = "[" + written + "]\r\nstart-arguments=--batch\r\n";
    writeSettings(shared + own);
    EXPECT_EQ(runWith({java16, started}), 0);
    ASSERT_EQ(host.processCalls.size(), 2u);
    EXPECT_EQ(host.processCalls[0].baseName, moduleRelativePath(stem + L".version.check"));
    EXPECT_EQ(host.processCalls[1].baseName, moduleRelativePath(stem + L".jar.run"));
    EXPECT_EQ(host.processCalls[1].commandLine,
              L"java.exe -jar  \"" + jarPath + L"\"  \"--batch\" ");
    EXPECT_EQ(readFileBytes(settingsPath),
              settingsWith("java-location=java.exe\r\nstart-arguments=--gui\r\n") + own);
    std::string log = readFileBytes(logs / L"tavrin.log");
    EXPECT_NE(log.find("sections read: [tavrin], [" + written + "]\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("no section ["), std::string::npos) << log;

    // A copy renamed after packaging finds only other programs' sections.
    DeleteFileW((logs / L"tavrin.log").c_str());
    writeSettings(shared + "[Viewer.exe]\r\nx=1\r\n[tool.exe]\r\nx=2\r\n");
    host = ScriptedHost();
    EXPECT_EQ(runWith({java16, started}), 0);
    log = readFileBytes(logs / L"tavrin.log");
    EXPECT_NE(log.find("sections read: [tavrin]\r\n"
                       "no section [" +
                       utf8(program) +
                       "] for this launcher; the file's program sections: [Viewer.exe], "
                       "[tool.exe]\r\n"),
              std::string::npos)
        << log;
    SetEnvironmentVariableW(L"TAVRIN_LOG", nullptr);

    const struct {
        const char* name;
        std::string file;
        std::string expected;
    } rewrites[] = {
        {"an own java-location is the program's to keep",
         settingsWith("java-location=C:\\old\r\n") + own + "java-location=\r\n",
         settingsWith("java-location=C:\\old\r\n") + own + "java-location=java.exe\r\n"},
        // Programs with other bounds never take turns rewriting one value.
        {"own version bounds: the runtime is remembered in the program's section",
         settingsWith("java-location=\r\n") + own + "max-java-version=1.6\r\n",
         settingsWith("java-location=\r\n") + own +
             "max-java-version=1.6\r\njava-location=java.exe\r\n"},
    };
    for (const auto& c : rewrites) {
        SCOPED_TRACE(c.name);
        writeSettings(c.file);
        host = ScriptedHost();
        EXPECT_EQ(runWith({java16, started}), 0);
        EXPECT_EQ(readFileBytes(settingsPath), c.expected);
    }
}

TEST_F(RunLauncher, LeavesNoHandleBehind) {
    const std::wstring mutexName = L"tavrin-test-handles-" + std::to_wstring(GetCurrentProcessId());
    writeSettings(settingsWith("single-run-mutex=" + utf8(mutexName) + "\r\n"));
    auto start = [&] {
        host = ScriptedHost();
        EXPECT_EQ(runWith({java16, started}), 0);
        mutex.release();
    };
    start(); // the first run loads what stays loaded
    const DWORD before = openHandleCount();
    for (int i = 0; i < 20; ++i) {
        start();
    }
    EXPECT_EQ(openHandleCount(), before);
}

TEST_F(RunLauncher, RunsInItsOwnFolderWhereverItWasStarted) {
    writeSettings(settingsWith(""));
    ScratchFolder elsewhere;
    ASSERT_TRUE(SetCurrentDirectoryW(elsewhere.path().c_str()));
    EXPECT_EQ(runWith({java16, started}), 0);
    wchar_t current[MAX_PATH];
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, current);
    EXPECT_TRUE(samePath(std::wstring(current, length) + L"\\", moduleRelativePath(L"")))
        << utf8(current);
}

// Where the application works: tavrin.exe's in the launcher's folder,
// tavrinc.exe's in the caller's, or where working-directory says, also in
// process. %TAVRIN_APP_DIR% is the launcher's folder.
// The service's side, recorded: each step of the start, the application's
// start, and how its end came about.
struct RecordingService final : ServiceSide {
    void progress() override { ++steps; }
    void running(HANDLE, DWORD a_processId, const ServiceSettings& a_settings) override {
        runningProcess = a_processId;
        stopTimeoutSeconds = a_settings.stopTimeoutSeconds;
        logWhileRunning = readFileBytes(logFile);
    }
    ServiceStop stopped() override { return stop; }

    int steps = 0;
    std::wstring logFile;
    std::string logWhileRunning; // the service's log as it was once the application ran
    DWORD runningProcess = 0;
    unsigned long stopTimeoutSeconds = 0;
    ServiceStop stop;
};

// A service shows nothing, asks nothing and always waits: its application
// is a process in the launcher's job, its exit code the service's, and the
// log (beside the launcher unless log-file names one) says how it ended.
TEST_F(RunLauncher, AServiceShowsNothingAndWaitsForItsApplication) {
    const std::wstring serviceLog =
        moduleRelativePath(withoutExtension(fileNameOf(executablePath())) + L".service.log");
    DeleteFileW(serviceLog.c_str());
    const std::string service = "service-name=ExampleServer\r\n";
    const std::string noWait = "[tavrin]\r\njar-file-name=lib\\app.jar\r\nmin-java-version=1.6\r\n"
                               "ask-for-java-location=1\r\nallow-newer-version=1\r\n";
    const struct {
        const char* name;
        std::string settings;
        ServiceStop stop;
        std::vector<Answer> runs;
        int exitCode;
        unsigned long stopTimeout;
        const char* logged;
    } cases[] = {
        {"it ends by itself",
         noWait + service + "in-process=1\r\n",
         {},
         {java16, {ProcessCode::succeeded, "", "", 5, 4711}},
         5,
         20,
         "service: the application ended by itself, exit code 5\r\n"},
        {"stopped after Ctrl+C",
         noWait + service + "service-stop-timeout=7\r\n",
         {true, true, false, {}},
         {java16, {ProcessCode::succeeded, "", "", 130, 4711}},
         130,
         7,
         "service: stop requested; the application ended, exit code 130\r\n"},
        {"ended after the time-out",
         noWait + service + "service-stop-timeout=1\r\n",
         {true, true, true, {}},
         {java16, {ProcessCode::succeeded, "", "", 1, 4711}},
         1,
         1,
         "service: stop requested; the application did not end within 1 seconds and was ended, "
         "exit code 1\r\n"},
        {"it ends by itself, started again",
         noWait + service,
         {false, false, false, {true, 10, false}},
         {java16, {ProcessCode::succeeded, "", "", 0, 4711}},
         0,
         20,
         "service: the application ended by itself, exit code 0; started again in 10 seconds\r\n"},
        {"the fifth quick end",
         noWait + service,
         {false, false, false, {false, 0, true}},
         {java16, {ProcessCode::succeeded, "", "", 3, 4711}},
         3,
         20,
         "service: the application ended by itself, exit code 3; its 5th end in a row within a "
         "minute of its start: the service stops\r\n"},
        {"no runtime: no folder dialog",
         noWait + service,
         {},
         {{ProcessCode::notStarted, "", ""}},
         -5,
         0,
         "end: exit code -5"},
        {"a missing JAR: no box",
         "[tavrin]\r\njar-file-name=lib\\gone.jar\r\nmin-java-version=1.6\r\nask-for-java-location="
         "1\r\nallow-newer-version=1\r\n" +
             service,
         {},
         {},
         -4,
         0,
         "settings: jar-file-name: no such file or folder: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings(c.settings);
        host = ScriptedHost();
        host.installedRuntimes.clear();
        RecordingService role;
        role.stop = c.stop;
        role.logFile = serviceLog;
        host.processAnswers.assign(c.runs.begin(), c.runs.end());
        EXPECT_EQ(runLauncher(host, mutex, {L"one"}, LauncherKind::service, &role), c.exitCode);
        EXPECT_TRUE(host.processAnswers.empty()) << "scripted runs left over";
        EXPECT_TRUE(host.messages.empty()) << "a box reached the user";
        EXPECT_TRUE(host.folderTitles.empty()) << "the folder dialog was shown";
        EXPECT_EQ(role.stopTimeoutSeconds, c.stopTimeout);
        if (c.stopTimeout != 0) {
            ASSERT_EQ(host.processCalls.size(), 2u);
            const ScriptedHost::ProcessCall& launch = host.processCalls[1];
            EXPECT_EQ(launch.commandLine, L"java.exe -jar  \"" + jarPath + L"\" ");
            EXPECT_TRUE(launch.wait);
            EXPECT_TRUE(launch.endWithLauncher);
            EXPECT_FALSE(launch.inheritStreams);
            // Its output goes to its own log, kept across starts.
            EXPECT_EQ(
                launch.outputLog.path,
                moduleRelativePath(withoutExtension(fileNameOf(executablePath())) + L".out.log"));
            EXPECT_EQ(launch.outputLog.rotateBytes, 10ull << 20);
            EXPECT_EQ(launch.outputLog.keep, 5u);
            EXPECT_EQ(role.runningProcess, 4711u);
            EXPECT_GE(role.steps, 2) << "the settings read and the version check";
            // Written as it goes: the launch can be read while it runs.
            EXPECT_NE(role.logWhileRunning.find("launch: java.exe -jar"), std::string::npos)
                << role.logWhileRunning;
            EXPECT_EQ(role.logWhileRunning.find("end: "), std::string::npos);
        }
        const std::string log = readFileBytes(serviceLog);
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        DeleteFileW(serviceLog.c_str());
    }
}

TEST_F(RunLauncher, TheApplicationsWorkingDirectory) {
    makeDirectories(moduleRelativePath(L"lib\\jre\\bin"));
    writeFileBytes(moduleRelativePath(L"lib\\jre\\bin\\java.exe"), "MZ");
    ScratchFolder caller;
    const std::wstring callers = withoutTrailingBackslash(caller.path());
    const std::wstring own = withoutTrailingBackslash(moduleRelativePath(L""));
    const LauncherKind windowed = LauncherKind::windowed;
    const LauncherKind console = LauncherKind::console;
    const std::string inProcess = "in-process=1\r\njava-location=lib\\jre\\bin\r\n";
    const struct {
        const char* name;
        LauncherKind kind;
        std::string keys;
        std::wstring folder;
    } cases[] = {
        {"windowed: its own folder", windowed, "", own},
        {"console: the caller's", console, "", callers},
        {"console, empty: the caller's", console, "working-directory=\r\n", callers},
        {"windowed, relative", windowed, "working-directory=lib\r\n", own + L"\\lib"},
        {"console, the application's folder", console,
         "working-directory=%TAVRIN_APP_DIR%\\lib\r\n", own + L"\\lib"},
        {"in process, console: the caller's", console, inProcess, callers},
        {"in process, windowed, relative", windowed, inProcess + "working-directory=lib\r\n",
         own + L"\\lib"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host = ScriptedHost();
        writeSettings(settingsWith(c.keys));
        ASSERT_TRUE(SetCurrentDirectoryW(caller.path().c_str()));
        const bool inProcessCase = c.keys.find("in-process") != std::string::npos;
        host.processAnswers = {java16};
        if (inProcessCase) {
            host.javaLauncherLoads = {L""};
        } else {
            host.processAnswers.push_back(started);
        }
        EXPECT_EQ(runLauncher(host, mutex, {}, c.kind), 0);
        if (inProcessCase) {
            EXPECT_TRUE(samePath(host.inProcessFolder, c.folder)) << utf8(host.inProcessFolder);
            continue;
        }
        ASSERT_EQ(host.processCalls.size(), 2u);
        EXPECT_EQ(host.processCalls[1].workingDirectory, c.folder);
    }
    // The variable is the launcher's folder, whatever the caller's was.
    host = ScriptedHost();
    SetEnvironmentVariableW(L"TAVRIN_APP_DIR", L"C:\\elsewhere");
    writeSettings(settingsWith("java-options=-Dapp.home=\"%TAVRIN_APP_DIR%\"\r\n"));
    EXPECT_EQ(runWith({java16, started}), 0);
    ASSERT_EQ(host.processCalls.size(), 2u);
    EXPECT_EQ(commandLineArguments(host.processCalls[1].commandLine),
              (std::vector<std::wstring>{L"java.exe", L"-Dapp.home=" + own, L"-jar", jarPath}));
    EXPECT_EQ(environmentVariable(L"TAVRIN_APP_DIR"), own);
    SetEnvironmentVariableW(L"TAVRIN_APP_DIR", nullptr);
    removeTree(moduleRelativePath(L"lib\\jre"));
}

// What the application and the runtime receive: the launch line split as
// the C runtime splits it.
TEST_F(RunLauncher, WhatTheLaunchLineCarries) {
    const std::wstring jar = jarPath;
    const struct {
        const char* name;
        std::string keys;
        std::vector<std::wstring> launcherArguments;
        std::vector<std::wstring> argv; // after java.exe
    } cases[] = {
        {"no new keys: as always", "", {L"ignored"}, {L"-jar", jar}},
        {"java-options before -jar, as written",
         "java-options=-Xmx2g -Dapp.home=\"%TAVRIN_TEST_HOME%\\Example App\" --add-opens "
         "java.base/java.lang=ALL-UNNAMED\r\n",
         {},
         {L"-Xmx2g", L"-Dapp.home=C:\\Users\\Ana\\Example App", L"--add-opens",
          L"java.base/java.lang=ALL-UNNAMED", L"-jar", jar}},
        {"start arguments ending in a backslash",
         "start-arguments=C:\\data\\\r\n",
         {},
         {L"-jar", jar, L"C:\\data\\"}},
        {"start arguments with quotes",
         "start-arguments=say \"hi\"\r\n",
         {},
         {L"-jar", jar, L"say \"hi\""}},
        {"start arguments that would close their quotes",
         "start-arguments=x\" \"y\r\n",
         {},
         {L"-jar", jar, L"x\" \"y"}},
        {"the launcher's arguments, passed on",
         "start-arguments=--open\r\npass-arguments=1\r\n",
         {L"C:\\Users\\Ana\\Documents\\plan 2026.xml", L"say \"hi\"", L"C:\\trailing\\", L"",
          L"\u65e5\u672c \u041f", L"a\\\\\"b"},
         {L"-jar", jar, L"--open", L"C:\\Users\\Ana\\Documents\\plan 2026.xml", L"say \"hi\"",
          L"C:\\trailing\\", L"", L"\u65e5\u672c \u041f", L"a\\\\\"b"}},
        {"the launcher's arguments, not passed on",
         "pass-arguments=0\r\n",
         {L"plan.xml"},
         {L"-jar", jar}},
    };
    SetEnvironmentVariableW(L"TAVRIN_TEST_HOME", L"C:\\Users\\Ana");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host = ScriptedHost();
        writeSettings(settingsWith(c.keys));
        EXPECT_EQ(runWith({java16, started}, c.launcherArguments), 0);
        ASSERT_EQ(host.processCalls.size(), 2u);
        EXPECT_EQ(host.processCalls[0].commandLine, L"java -version");
        std::vector<std::wstring> expected{L"java.exe"};
        expected.insert(expected.end(), c.argv.begin(), c.argv.end());
        EXPECT_EQ(commandLineArguments(host.processCalls[1].commandLine), expected);
    }
    SetEnvironmentVariableW(L"TAVRIN_TEST_HOME", nullptr);
}

TEST_F(RunLauncher, ALaunchLineTooLongForTheSystemIsAFailedLaunch) {
    const std::string settings =
        settingsWith("start-arguments=" + std::string(32800, 'a') + "\r\n");
    writeSettings(settings);
    EXPECT_EQ(runWith({java16}), -6);
    EXPECT_EQ(host.processCalls.size(), 1u);
    EXPECT_EQ(readFileBytes(settingsPath), settings);
}

TEST_F(RunLauncher, ABundledRuntimeIsFoundFromTheLaunchersFolderAndRememberedAsWritten) {
    writeSettings(settingsWith("java-location=runtime\\bin\r\n"));
    EXPECT_EQ(runWith({java16, started}), 0);
    ASSERT_EQ(host.processCalls.size(), 2u);
    EXPECT_EQ(host.processCalls[0].commandLine,
              moduleRelativePath(L"runtime\\bin\\java") + L" -version ");
    EXPECT_EQ(commandLineArguments(host.processCalls[1].commandLine)[0],
              moduleRelativePath(L"runtime\\bin\\java.exe"));
    EXPECT_EQ(readFileBytes(settingsPath),
              settingsWith("java-location=runtime\\bin\\java.exe\r\n"));
}

TEST_F(RunLauncher, StartArgumentsTravelAsOneArgumentAfterTheJar) {
    writeSettings(settingsWith("start-arguments=--open my file.txt\r\nwait-for-exit=1\r\n"));
    EXPECT_EQ(runWith({java16, started}), 0);
    ASSERT_EQ(host.processCalls.size(), 2u);
    const ScriptedHost::ProcessCall& launch = host.processCalls[1];
    EXPECT_EQ(launch.commandLine, L"java.exe -jar  \"" + jarPath + L"\"  \"--open my file.txt\" ");
    EXPECT_EQ(commandLineArguments(launch.commandLine),
              (std::vector<std::wstring>{L"java.exe", L"-jar", jarPath, L"--open my file.txt"}));
    EXPECT_TRUE(launch.wait);
}

TEST_F(RunLauncher, AJavaPathWithBlanksIsQuotedButRememberedAsWritten) {
    writeSettings(settingsWith("java-location=C:\\Program Files\\Java\\bin\r\n"));
    EXPECT_EQ(runWith({java16, started}), 0);
    ASSERT_EQ(host.processCalls.size(), 2u);
    EXPECT_EQ(host.processCalls[0].commandLine,
              L"\"C:\\Program Files\\Java\\bin\\java\" -version ");
    EXPECT_EQ(host.processCalls[1].commandLine,
              L"\"C:\\Program Files\\Java\\bin\\java.exe\" -jar  \"" + jarPath + L"\" ");
    EXPECT_EQ(commandLineArguments(host.processCalls[1].commandLine)[0],
              L"C:\\Program Files\\Java\\bin\\java.exe");
    EXPECT_EQ(readFileBytes(settingsPath),
              settingsWith("java-location=C:\\Program Files\\Java\\bin\\java.exe\r\n"));
}

TEST_F(RunLauncher, ExitCodesOfTheEarlyEnds) {
    struct Case {
        const char* name;
        std::string settings; // "<none>": no file; "<folder>": a folder named tavrin.ini
        int exitCode;
        std::vector<std::wstring> log;
    } const cases[] = {
        {"no settings file", "<none>", -1, {settingsMissingBox}},
        {"a folder named tavrin.ini", "<folder>", -1, {settingsMissingBox}},
        {"empty file", "", -2, {}},
        {"only a signature", "\xEF\xBB\xBF", -2, {}},
        {"no [tavrin] section", "[other]\r\njar-file-name=lib\\app.jar\r\n", -3, {invalidBox}},
        {"empty section", "[tavrin]\r\n", -4, {invalidBox}},
        {"key in other capitals",
         "[tavrin]\r\njar-file-name=lib\\app.jar\r\nmin-java-version=1.6\r\nwait-for-exit=0\r\n"
         "ask-for-java-location=0\r\nAllow-Newer-Version=1\r\n",
         -4,
         {invalidBox}},
        {"unreadable minimum", settingsWith("min-java-version=1.x\r\n"), -4, {invalidBox}},
        {"missing JAR",
         settingsWith("jar-file-name=lib\\gone.jar\r\n"),
         -4,
         {L"box Jar not found: " + expected::jarMissing(moduleRelativePath(L"lib\\gone.jar")),
          invalidBox}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        host = ScriptedHost();
        if (c.settings == "<folder>") {
            makeDirectories(settingsPath);
        } else if (c.settings != "<none>") {
            writeSettings(c.settings);
        }
        EXPECT_EQ(runWith({}), c.exitCode);
        EXPECT_EQ(host.log, c.log);
        EXPECT_FALSE(mutex.held());
    }
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages.back().flags, static_cast<UINT>(MB_OK));
}

TEST_F(RunLauncher, NoRuntimeAcceptedLeavesTheSettingsAlone) {
    const std::string settings = settingsWith("");
    writeSettings(settings);
    EXPECT_EQ(runWith({{ProcessCode::notStarted, "", ""}}), -5);
    EXPECT_EQ(host.log.back(), L"box Error: " + expected::versionUnreadable(L"1.6"));
    EXPECT_EQ(readFileBytes(settingsPath), settings);
}

TEST_F(RunLauncher, AFailedLaunchLeavesTheSettingsAlone) {
    const std::string settings = settingsWith("");
    writeSettings(settings);
    EXPECT_EQ(runWith({java16, {ProcessCode::notStarted, "", ""}}), -6);
    EXPECT_EQ(readFileBytes(settingsPath), settings);
    EXPECT_EQ(host.messages.size(), 0u);
}

TEST_F(RunLauncher, AReadOnlySettingsFileGivesMinus8AfterTheLaunch) {
    const std::string settings = settingsWith("");
    writeSettings(settings);
    ASSERT_TRUE(SetFileAttributesW(settingsPath.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(runWith({java16, started}), -8);
    EXPECT_EQ(host.processCalls.size(), 2u);
    EXPECT_EQ(readFileBytes(settingsPath), settings);
    EXPECT_EQ(host.messages.size(), 0u);
}

TEST_F(RunLauncher, RedirectionFilesGoToTheTemporaryFolderWhenTheAppFolderRefusesThem) {
    writeSettings(settingsWith(""));
    EXPECT_EQ(runWith({java16, {ProcessCode::noRedirectionFiles, "", ""}, started}), 0);
    ASSERT_EQ(host.processCalls.size(), 3u);
    wchar_t temporary[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
    EXPECT_EQ(host.processCalls[2].baseName, std::wstring(temporary, length) + L"java.jar.run");
    EXPECT_EQ(host.processCalls[2].commandLine, host.processCalls[1].commandLine);
}

// The console launcher: the application gets the launcher's streams and ends
// with it, is waited for although wait-for-exit=0, and its exit code, all 32
// bits, is the launcher's, also when tavrin.ini cannot be rewritten.
TEST_F(RunLauncher, TheConsoleLauncherSharesItsStreamsAndEndsWithTheApplicationsCode) {
    writeSettings(settingsWith(""));
    ASSERT_TRUE(SetFileAttributesW(settingsPath.c_str(), FILE_ATTRIBUTE_READONLY));
    host.processAnswers = {java16, Answer{ProcessCode::succeeded, "", "", 0xFFFFFFFF}};
    EXPECT_EQ(runLauncher(host, mutex, {}, LauncherKind::console), -1);
    ASSERT_EQ(host.processCalls.size(), 2u);
    const ScriptedHost::ProcessCall& launch = host.processCalls[1];
    EXPECT_EQ(launch.commandLine, L"java.exe -jar  \"" + jarPath + L"\" ");
    EXPECT_EQ(launch.baseName, L"");
    EXPECT_TRUE(launch.inheritStreams);
    EXPECT_TRUE(launch.endWithLauncher);
    EXPECT_TRUE(launch.wait);
    EXPECT_EQ(launch.timeoutMs, INFINITE);
    EXPECT_FALSE(host.processCalls[0].inheritStreams) << "the version check is captured";
    EXPECT_EQ(readFileBytes(settingsPath), settingsWith(""));
}

// user-settings: the user's own tavrin.ini under %LOCALAPPDATA%.
class UserSettings : public RunLauncher {
protected:
    void SetUp() override {
        RunLauncher::SetUp();
        SetEnvironmentVariableW(L"LOCALAPPDATA", localData.path().c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"LOCALAPPDATA", nullptr);
        RunLauncher::TearDown();
    }
    ScratchFolder localData;
    const std::wstring userFile = localData / L"Example App\\tavrin.ini";
};

// Its java-location replaces the application's and is remembered there; its
// java-options come after the application's; its other keys do not count.
TEST_F(UserSettings, TheUsersLocationAndOptionsCountAndTheUsersFileIsRewritten) {
    const std::string settings = settingsWith("user-settings=Example App\r\n"
                                              "java-location=C:\\app-jdk\\bin\r\n"
                                              "java-options=-Xmx1g\r\n");
    writeSettings(settings);
    makeDirectories(localData / L"Example App");
    writeFileBytes(userFile, "[tavrin]\r\njava-location=java\r\njava-options=-Xmx4g\r\n"
                             "wait-for-exit=1\r\nmin-java-version=99\r\n");
    EXPECT_EQ(runWith({java16, started}), 0);
    ASSERT_EQ(host.processCalls.size(), 2u);
    EXPECT_EQ(host.processCalls[0].commandLine, L"java -version");
    EXPECT_EQ(host.processCalls[1].commandLine,
              L"java.exe -Xmx1g -Xmx4g -jar  \"" + jarPath + L"\" ");
    EXPECT_FALSE(host.processCalls[1].wait);
    EXPECT_EQ(readFileBytes(userFile),
              "[tavrin]\r\njava-location=java.exe\r\njava-options=-Xmx4g\r\n"
              "wait-for-exit=1\r\nmin-java-version=99\r\n");
    EXPECT_EQ(readFileBytes(settingsPath), settings);
}

// A folder the user may not write to: the runtime is remembered in the
// user's file, made for it; the next start finds it there and writes nothing.
TEST_F(UserSettings, AReadOnlySettingsFileSendsTheRuntimeToTheUsersFile) {
    const std::string settings = settingsWith("user-settings=Example App\r\n");
    writeSettings(settings);
    ASSERT_TRUE(SetFileAttributesW(settingsPath.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(runWith({java16, started}), 0);
    EXPECT_EQ(readFileBytes(userFile), "[tavrin]\r\njava-location=java.exe\r\n");
    EXPECT_EQ(readFileBytes(settingsPath), settings);

    host.processCalls.clear();
    EXPECT_EQ(runWith({java16, started}), 0);
    EXPECT_EQ(host.processCalls.size(), 2u) << "one version check, one launch";
    EXPECT_EQ(readFileBytes(userFile), "[tavrin]\r\njava-location=java.exe\r\n");
    EXPECT_EQ(filesMatching(localData / L"Example App\\*.tmp"), std::vector<std::wstring>{});
}

// The application's own runtime is never hidden by a value of the user's:
// in a read-only install, the first start leaves the user's file alone; a
// stale value there gives way to the application's runtime, and goes.
TEST_F(UserSettings, TheApplicationsOwnRuntimeIsNotCopiedNorHidden) {
    const std::string settings =
        settingsWith("user-settings=Example App\r\njava-location=jre\\bin\r\n");
    writeSettings(settings);
    ASSERT_TRUE(SetFileAttributesW(settingsPath.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(runWith({java16, started}), 0);
    EXPECT_FALSE(pathExists(userFile)) << "the application's runtime copied as the user's";

    // An update moved the runtime; the user's file still names the old one.
    makeDirectories(localData / L"Example App");
    writeFileBytes(userFile, "[tavrin]\r\njava-location=runtime\\bin\\java.exe\r\n");
    host = ScriptedHost();
    EXPECT_EQ(runWith({{ProcessCode::notStarted, "", ""}, java16, started}), 0);
    ASSERT_EQ(host.processCalls.size(), 3u);
    EXPECT_EQ(host.processCalls[1].commandLine,
              moduleRelativePath(L"jre\\bin\\java") + L" -version ");
    EXPECT_EQ(readFileBytes(userFile), "[tavrin]\r\njava-location=\r\n");
    EXPECT_EQ(readFileBytes(settingsPath), settings);
}

// The user's file is the user's: a key there that is not valid is left out,
// a file that is not UTF-8 is neither read nor written, and the log says why.
TEST_F(UserSettings, MistakesInTheUsersFileAreIgnoredAndLogged) {
    const ScratchFolder logs;
    SetEnvironmentVariableW(L"TAVRIN_LOG", (logs / L"tavrin.log").c_str());
    writeSettings(settingsWith("user-settings=Example App\r\njava-options=-Xmx1g\r\n"));
    makeDirectories(localData / L"Example App");
    writeFileBytes(userFile, "[tavrin]\r\njava-options=-Dhome=\"C:\\x -Xmx4g\r\n");
    EXPECT_EQ(runWith({java16, started}), 0);
    EXPECT_EQ(host.processCalls.back().commandLine, L"java.exe -Xmx1g -jar  \"" + jarPath + L"\" ");
    const std::string utf16("\xFF\xFE[\0t\0a\0v\0r\0i\0n\0]\0", 18);
    writeFileBytes(userFile, utf16);
    writeSettings(settingsWith("user-settings=Example App\r\n"));
    ASSERT_TRUE(SetFileAttributesW(settingsPath.c_str(), FILE_ATTRIBUTE_READONLY));
    host = ScriptedHost();
    EXPECT_EQ(runWith({java16, started}), -8) << "nowhere to remember the runtime";
    EXPECT_EQ(readFileBytes(userFile), utf16);
    SetEnvironmentVariableW(L"TAVRIN_LOG", nullptr);
    const std::string log = readFileBytes(logs / L"tavrin.log");
    EXPECT_NE(log.find(utf8(userFile) + ": java-options ignored: its double quotes do not pair up"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(utf8(userFile) + ": not UTF-8, ignored and left as it is"),
              std::string::npos)
        << log;
}

// Wine does not enforce the foreground rules, so the hand-over is checked
// through the seam that reaches the window system: right after the start,
// before any waiting, with the application's process id; a launcher that
// waits also ends its own "starting" cursor. The console launcher hands over
// nothing.
TEST_F(RunLauncher, TheApplicationMayTakeTheForeground) {
    const struct {
        const char* wait;
        LauncherKind kind;
        std::vector<std::wstring> afterLaunch;
    } cases[] = {
        {"0", LauncherKind::windowed, {L"foreground 4242"}},
        {"1", LauncherKind::windowed, {L"foreground 4242, cursor ends"}},
        {"1", LauncherKind::console, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wait);
        writeSettings(settingsWith(std::string("wait-for-exit=") + c.wait + "\r\n"));
        host.log.clear();
        host.processAnswers = {java16, Answer{ProcessCode::succeeded, "", "", 0, 4242}};
        EXPECT_EQ(runLauncher(host, mutex, {}, c.kind), 0);
        std::vector<std::wstring> expected{L"run java -version",
                                           L"run java.exe -jar  \"" + jarPath + L"\" "};
        expected.insert(expected.end(), c.afterLaunch.begin(), c.afterLaunch.end());
        EXPECT_EQ(host.log, expected);
    }
}

// The author's texts for two ends that are silent without them, and the
// download question with java-download-url, Yes opening the address.
TEST_F(RunLauncher, TheAuthorsTextsForSilentEndsAndTheDownloadQuestion) {
    const std::string messages = "[tavrin.messages]\r\nlaunch-failed=Could not start.\r\n"
                                 "java-timeout=Java took too long.\r\n";
    const std::string download = "java-download-url=https://example.com/java\r\n";
    const std::wstring tooOld = expected::versionUnsuitable(L"11");
    const std::wstring question = L"\r\n\r\nDo you want to open the Java download page?";
    const struct {
        const char* name;
        std::string settings;
        std::vector<Answer> runs;
        std::vector<int> answers;
        int exitCode;
        std::vector<std::wstring> afterRuns;
    } cases[] = {
        {"launch failed",
         settingsWith("") + messages,
         {java16, {ProcessCode::notStarted, "", ""}},
         {},
         -6,
         {L"box Error: Could not start."}},
        {"launch failed, no text",
         settingsWith(""),
         {java16, {ProcessCode::notStarted, "", ""}},
         {},
         -6,
         {}},
        {"timed out",
         settingsWith("") + messages,
         {{ProcessCode::timedOut, "", ""}},
         {},
         -5,
         {L"box Error: Java took too long."}},
        {"timed out, no text", settingsWith(""), {{ProcessCode::timedOut, "", ""}}, {}, -5, {}},
        {"download: Yes",
         settingsWith("min-java-version=11\r\n" + download),
         {java16},
         {IDYES},
         -5,
         {L"box Error: " + tooOld + question, L"open https://example.com/java"}},
        {"download: No",
         settingsWith("min-java-version=11\r\n" + download),
         {java16},
         {IDNO},
         -5,
         {L"box Error: " + tooOld + question}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings(c.settings);
        host = ScriptedHost();
        host.boxAnswers.assign(c.answers.begin(), c.answers.end());
        EXPECT_EQ(runWith(c.runs), c.exitCode);
        std::vector<std::wstring> log(host.log.begin() + static_cast<long>(c.runs.size()),
                                      host.log.end());
        EXPECT_EQ(log, c.afterRuns);
        if (c.answers.empty() == false) {
            EXPECT_EQ(host.messages.back().flags, static_cast<UINT>(MB_YESNO));
        }
    }
}

// The log of a start: what was read, tried, shown and started, and how the
// start ended; appended, one start after the other.
TEST_F(RunLauncher, ALogSaysWhyAStartEndedAsItDid) {
    const ScratchFolder logs;
    const std::wstring logFile = logs / L"tavrin.log";
    SetEnvironmentVariableW(L"TAVRIN_LOG", logFile.c_str());
    const std::wstring versionCheck = L"runtime (the search path): java -version: ";
    const struct {
        const char* name;
        std::string keys;
        std::vector<Answer> runs;
        int exitCode;
        std::vector<std::wstring> lines; // in this order, each the start of a line
        const char* verdict;
    } cases[] = {
        {"success",
         "java-options=-Xmx1g\r\n",
         {java16, started},
         0,
         {L"launcher: " + thisExecutablePath() + L", process ", L"settings file: " + settingsPath,
          L"  jar-file-name: " + jarPath, L"  min-java-version: 1.6",
          L"  max-java-version: (absent)", L"  java-options: -Xmx1g", versionCheck,
          L"launch: java.exe -Xmx1g -jar  \"" + jarPath + L"\" ",
          L"end: exit code 0: the application was started", L"total: "},
         "; verdict: accepted"},
        {"too old",
         "min-java-version=11\r\n",
         {java16},
         -5,
         {versionCheck, L"box Error: " + expected::versionUnsuitable(L"11"), L"  answer: OK",
          L"end: exit code -5: no Java runtime was accepted"},
         "; verdict: too old"},
        {"timed out",
         "",
         {{ProcessCode::timedOut, "", ""}},
         -5,
         {versionCheck, L"end: exit code -5: no Java runtime was accepted"},
         "; verdict: timed out"},
        {"launch failed",
         "",
         {java16, {ProcessCode::notStarted, "", ""}},
         -6,
         {L"launch: ", L"end: exit code -6: the application could not be started"},
         "; verdict: accepted"},
        {"the settings before the boxes their reading shows",
         "jar-file-name=lib\\missing.jar\r\n",
         {},
         -4,
         {L"  jar-file-name: " + moduleRelativePath(L"lib\\missing.jar"), L"  log-file: (absent)",
          L"box Jar not found: " + expected::jarMissing(moduleRelativePath(L"lib\\missing.jar")),
          L"box Error: " + expected::settingsInvalid},
         "end: exit code -4"},
        {"a text with line breaks on one line",
         "min-java-version=11\r\n[tavrin.messages]\r\njava-unsuitable=Java {version}\\nneeded\r\n",
         {java16},
         -5,
         {L"box Error: Java 11\\r\\nneeded", L"  answer: OK"},
         "; verdict: too old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileW(logFile.c_str());
        writeSettings(settingsWith(c.keys));
        host = ScriptedHost();
        EXPECT_EQ(runWith(c.runs), c.exitCode);
        const std::string written = readFileBytes(logFile);
        std::size_t at = 0;
        for (const std::wstring& line : c.lines) {
            const std::size_t found = written.find("\r\n" + utf8(line), at);
            EXPECT_NE(found, std::string::npos) << utf8(line) << "\nin\n" << written;
            at = found == std::string::npos ? at : found + 1;
        }
        EXPECT_NE(written.find(c.verdict), std::string::npos) << written;
    }

    // A runtime's line, however long, is whole.
    const std::string longReport(6000, 'x');
    DeleteFileW(logFile.c_str());
    writeSettings(settingsWith(""));
    host = ScriptedHost();
    EXPECT_EQ(
        runWith({{ProcessCode::succeeded, "", "java version \"1.6.0_20\" " + longReport + "\n"},
                 started}),
        0);
    EXPECT_NE(readFileBytes(logFile).find(longReport + "; verdict: accepted"), std::string::npos);

    // A log that cannot be written (a folder) changes nothing of the start.
    SetEnvironmentVariableW(L"TAVRIN_LOG", logs.path().c_str());
    host = ScriptedHost();
    writeSettings(settingsWith(""));
    EXPECT_EQ(runWith({java16, started}), 0);
    SetEnvironmentVariableW(L"TAVRIN_LOG", nullptr);
}

// A runtime accepted by its release file alone may not start at all: the
// search then goes on as after a version check that did not start.
TEST_F(RunLauncher, ARuntimeKnownByItsReleaseFileThatDoesNotStartIsPassedOver) {
    makeDirectories(moduleRelativePath(L"lib\\rt\\bin"));
    writeFileBytes(moduleRelativePath(L"lib\\rt\\bin\\java.exe"), "MZ");
    writeFileBytes(moduleRelativePath(L"lib\\rt\\release"), "JAVA_VERSION=\"17.0.9\"\n");
    writeSettings(settingsWith("read-java-release=1\r\njava-location=lib\\rt\\bin\r\n"));
    EXPECT_EQ(runWith({{ProcessCode::notStarted, "", ""}, java16, started}), 0);
    ASSERT_EQ(host.processCalls.size(), 3u);
    EXPECT_EQ(host.processCalls[0].commandLine,
              moduleRelativePath(L"lib\\rt\\bin\\java.exe") + L" -jar  \"" + jarPath + L"\" ");
    EXPECT_EQ(host.processCalls[1].commandLine, L"java -version");
    EXPECT_EQ(host.processCalls[2].commandLine, L"java -jar  \"" + jarPath + L"\" ");
    EXPECT_NE(readFileBytes(settingsPath).find("java-location=java\r\n"), std::string::npos);
}

// in-process=1: the application runs in the launcher's own process through
// the runtime's jli.dll, with the arguments java.exe would get. What follows
// a successful start is done first: the runtime is remembered and the
// application (this process) can be found by a second start. A library that
// does not load: a process start, as without the switch.
TEST_F(RunLauncher, InProcessTheApplicationRunsInTheLaunchersProcess) {
    makeDirectories(moduleRelativePath(L"lib\\jre\\bin"));
    const std::wstring java = moduleRelativePath(L"lib\\jre\\bin\\java.exe");
    writeFileBytes(java, "MZ");
    // The application holds the rule while this process runs: a name each.
    int casesRun = 0;
    const auto mutexName = [&casesRun] {
        return L"tavrin-test-in-process-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(casesRun);
    };
    const std::wstring launcher = thisExecutablePath();
    const std::wstring name =
        launcher.substr(launcher.rfind(L'\\') + 1, launcher.size() - launcher.rfind(L'\\') - 5);
    const std::wstring run =
        L"run in process " + java + L" | -Xmx1g | -jar | " + jarPath + L" | a b, " + name;
    const struct {
        const char* name;
        LauncherKind kind;
        std::wstring loaded; // the load's answer
        int exitCode;
        std::vector<std::wstring> afterCheck;
    } cases[] = {
        {"windowed",
         LauncherKind::windowed,
         L"",
         7,
         {L"load jli " + java + L" (streams java.jar.run)", run + L", javaw"}},
        {"console",
         LauncherKind::console,
         L"",
         7,
         {L"load jli " + java + L" (streams )", run + L", java"}},
        {"no library: a process",
         LauncherKind::windowed,
         L"no jli.dll",
         0,
         {L"load jli " + java + L" (streams java.jar.run)",
          L"run " + java + L" -Xmx1g -jar  \"" + jarPath + L"\"  \"a b\" ", L"foreground 0"}},
    };
    const ScratchFolder logs;
    SetEnvironmentVariableW(L"TAVRIN_LOG", (logs / L"tavrin.log").c_str());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ++casesRun;
        DeleteFileW((logs / L"tavrin.log").c_str());
        writeSettings(settingsWith("in-process=1\r\njava-location=lib\\jre\\bin\r\n"
                                   "java-options=-Xmx1g\r\nstart-arguments=a b\r\n"
                                   "single-run-mutex=" +
                                   utf8(mutexName()) + "\r\nsingle-run-activate=1\r\n"));
        host = ScriptedHost();
        host.javaLauncherLoads = {c.loaded};
        host.inProcessExitCode = 7;
        std::string settingsAtRun;
        DWORD recordedAtRun = 0;
        host.beforeRunInProcess = [&] {
            settingsAtRun = readFileBytes(settingsPath);
            recordedAtRun = ProcessRecord::read(mutexName() + L".tavrin-application");
        };
        std::vector<Answer> runs{java16};
        if (!c.loaded.empty()) {
            runs.push_back(started);
        }
        host.processAnswers.assign(runs.begin(), runs.end());
        EXPECT_EQ(runLauncher(host, mutex, {}, c.kind), c.exitCode);
        mutex.release();
        EXPECT_EQ(std::vector<std::wstring>(host.log.begin() + 1, host.log.end()), c.afterCheck);
        if (c.loaded.empty()) {
            EXPECT_NE(settingsAtRun.find("java-location=lib\\jre\\bin\\java.exe\r\n"),
                      std::string::npos)
                << "not remembered before the application took over";
            EXPECT_EQ(recordedAtRun, GetCurrentProcessId());
        }
        // The log knows no number for an exit code that is the application's.
        const std::string log = readFileBytes(logs / L"tavrin.log");
        EXPECT_NE(log.find(c.loaded.empty()
                               ? "\r\nend: exit code: the application's: the application was "
                                 "started in the launcher's process; the launcher ends with its "
                                 "exit code\r\n"
                               : "\r\nend: exit code 0: the application was started\r\n"),
                  std::string::npos)
            << log;
    }
    SetEnvironmentVariableW(L"TAVRIN_LOG", nullptr);
}

// A start that cannot happen ends with -6 and says why in the log; the
// console launcher says it on standard error too. No argument file is
// written for a line that would not fit with one either, or whose path the
// ANSI code page cannot name.
TEST_F(RunLauncher, AStartThatCannotHappenSaysWhy) {
    const ScratchFolder logs;
    const std::wstring logFile = logs / L"tavrin.log";
    SetEnvironmentVariableW(L"TAVRIN_LOG", logFile.c_str());
    makeDirectories(moduleRelativePath(L"lib\\classes"));
    // Too long for a command line wherever the checkout is.
    const std::size_t entries = 33000 / (moduleRelativePath(L"lib\\classes").size() + 1) + 1;
    std::string longClassPath = "class-path=lib\\classes";
    for (std::size_t i = 0; i < entries; ++i) {
        longClassPath += ";lib\\classes";
    }
    const std::string mainClass = "main-class=com.example.Main\r\n" + longClassPath + "\r\n";
    std::string withoutJar = settingsWith("");
    withoutJar.erase(withoutJar.find("jar-file-name"),
                     std::strlen("jar-file-name=lib\\app.jar\r\n"));
    const Answer java17{ProcessCode::succeeded, "", "openjdk version \"17.0.9\"\n"};
    const ScratchFolder outsideAnsi;
    const std::wstring temporary = outsideAnsi / L"\u0418\u0432\u0430\u043d\\";
    makeDirectories(temporary);
    const struct {
        const char* name;
        std::string settings;
        std::vector<Answer> runs;
        std::vector<std::wstring> arguments;
        std::wstring temporaryFolder; // TMP, when set
        LauncherKind kind;
        std::wstring why;
    } cases[] = {
        {"java.exe does not start",
         settingsWith(""),
         {java16, {ProcessCode::notStarted, "", ""}},
         {},
         L"",
         LauncherKind::windowed,
         L"java.exe did not start (error 2: "},
        {"the console launcher says so",
         settingsWith(""),
         {java16, {ProcessCode::notStarted, "", ""}},
         {},
         L"",
         LauncherKind::console,
         L"java.exe did not start (error 2: "},
        {"passed arguments too long",
         settingsWith("pass-arguments=1\r\n"),
         {java16},
         {std::wstring(33000, L'a')},
         L"",
         LauncherKind::windowed,
         L"the launch line is too long for Windows (33"},
        {"a long class path with long start arguments",
         withoutJar + mainClass + "start-arguments=" + std::string(33000, 's') + "\r\n",
         {java17},
         {},
         L"",
         LauncherKind::windowed,
         L", with an argument file too: the start and passed arguments"},
        {"a temporary folder outside the code page",
         withoutJar + mainClass,
         {java17},
         {},
         temporary,
         LauncherKind::windowed,
         L", and its argument file cannot be named in the ANSI code page: " + temporary +
             L"tavrin-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileW(logFile.c_str());
        writeSettings(c.settings);
        host = ScriptedHost();
        host.processAnswers.assign(c.runs.begin(), c.runs.end());
        if (!c.temporaryFolder.empty()) {
            SetEnvironmentVariableW(L"TMP", c.temporaryFolder.c_str());
        }
        EXPECT_EQ(runLauncher(host, mutex, c.arguments, c.kind), -6);
        SetEnvironmentVariableW(L"TMP", nullptr);
        mutex.release();
        EXPECT_TRUE(host.processAnswers.empty());
        const std::string log = readFileBytes(logFile);
        const std::string end = "\r\nend: exit code -6: the application could not be started: ";
        EXPECT_NE(log.find(end), std::string::npos) << log.substr(log.size() - 400);
        EXPECT_NE(log.find(utf8(c.why), log.find(end)), std::string::npos)
            << log.substr(log.size() - 400);
        EXPECT_EQ(log.find("argument file C:"), std::string::npos);
        if (c.kind == LauncherKind::console) {
            ASSERT_FALSE(host.log.empty());
            EXPECT_EQ(host.log.back().rfind(
                          L"box Error: The application could not be started: " + c.why, 0),
                      0u)
                << utf8(host.log.back());
        } else {
            EXPECT_TRUE(host.messages.empty());
        }
    }
    EXPECT_TRUE(filesMatching(temporary + L"*").empty());
    SetEnvironmentVariableW(L"TAVRIN_LOG", nullptr);
    removeTree(moduleRelativePath(L"lib\\classes"));
}

// The record of single-run-activate lives in the user's session: a shared
// block in Global\ needs a privilege standard users lack.
TEST(ProcessRecordName, InTheUsersSession) {
    EXPECT_EQ(processRecordName(L"Example.SingleRun"), L"Example.SingleRun.tavrin-application");
    EXPECT_EQ(processRecordName(L"Global\\Example"), L"Local\\Example.tavrin-application");
    EXPECT_EQ(processRecordName(L"Local\\Example"), L"Local\\Example.tavrin-application");
}

class SingleInstance : public RunLauncher {
protected:
    const std::wstring mutexName =
        L"tavrin-test-single-run-" + std::to_wstring(GetCurrentProcessId());
};

TEST_F(SingleInstance, ASecondLauncherIsRefusedBeforeAnyOtherKeyIsRead) {
    UniqueHandle first(CreateMutexW(nullptr, TRUE, mutexName.c_str()));
    ASSERT_TRUE(first);
    // Everything else is wrong: the refusal comes first.
    writeSettings("[tavrin]\r\nsingle-run-mutex=" + utf8(mutexName) +
                  "\r\njar-file-name=nowhere.jar\r\n");
    EXPECT_EQ(runWith({}), 0);
    EXPECT_EQ(host.log, std::vector<std::wstring>{waitBox});
    EXPECT_EQ(host.messages[0].flags, 0x00040030u);
    EXPECT_FALSE(mutex.held());
}

TEST_F(SingleInstance, TheConsoleLauncherSaysSoWithoutAWindowToClose) {
    UniqueHandle first(CreateMutexW(nullptr, TRUE, mutexName.c_str()));
    writeSettings(settingsWith("single-run-mutex=" + utf8(mutexName) + "\r\n"));
    EXPECT_EQ(runLauncher(host, mutex, {}, LauncherKind::console), -10);
    EXPECT_EQ(host.log, std::vector<std::wstring>{L"box Wait: " + expected::alreadyRunningConsole});
}

// single-run-activate: the first launcher keeps the application's process
// (its id and start time) under the mutex's name; a second start brings its
// window forward, or shows the "Wait" box when it has none or no process is
// kept. A kept process that has ended is no application: the start goes on.
TEST_F(SingleInstance, ASecondStartActivatesTheRunningApplicationsWindow) {
    UniqueHandle first(CreateMutexW(nullptr, TRUE, mutexName.c_str()));
    writeSettings(
        settingsWith("single-run-mutex=" + utf8(mutexName) + "\r\nsingle-run-activate=1\r\n"));
    EXPECT_EQ(runWith({}), 0);
    EXPECT_EQ(host.log, std::vector<std::wstring>{waitBox}) << "no process kept";

    // This test program stands for the running application.
    const DWORD self = GetCurrentProcessId();
    const std::wstring activateSelf = L"activate " + std::to_wstring(self);
    ProcessRecord record;
    ASSERT_TRUE(record.create(mutexName + L".tavrin-application"));
    record.set(GetCurrentProcess());
    host.log.clear();
    EXPECT_EQ(runWith({}), 0);
    EXPECT_EQ(host.log, (std::vector<std::wstring>{activateSelf, waitBox})) << "no window";

    host.log.clear();
    host.windowProcesses = {self};
    EXPECT_EQ(runWith({}), 0);
    EXPECT_EQ(host.log, std::vector<std::wstring>{activateSelf});
}

TEST_F(SingleInstance, AnApplicationThatHasEndedIsNotRunning) {
    writeSettings(
        settingsWith("single-run-mutex=" + utf8(mutexName) + "\r\nsingle-run-activate=1\r\n"));
    ChildProcess ended = startChild(L"cmd.exe /c exit 0");
    ASSERT_TRUE(ended.process);
    ProcessRecord record;
    ASSERT_TRUE(record.create(mutexName + L".tavrin-application"));
    record.set(ended.process.get());
    EXPECT_EQ(waitForChild(ended, 10000), 0u);
    host.windowProcesses = {ended.id};
    EXPECT_EQ(runWith({java16, started}), 0);
    EXPECT_EQ(host.processCalls.size(), 2u) << "the application was not started";

    // A running one refuses the console launcher with an exit code of its own.
    record.set(GetCurrentProcess());
    mutex.release();
    host.log.clear();
    EXPECT_EQ(runLauncher(host, mutex, {}, LauncherKind::console), -10);
    EXPECT_EQ(host.log,
              (std::vector<std::wstring>{L"activate " + std::to_wstring(GetCurrentProcessId()),
                                         L"box Wait: " + expected::alreadyRunningConsole}));
}

TEST_F(SingleInstance, TheMutexIsHeldUntilItsOwnerReleasesIt) {
    writeSettings(settingsWith("single-run-mutex=" + utf8(mutexName) + "\r\n"));
    EXPECT_EQ(runWith({java16, started}), 0);
    EXPECT_TRUE(mutex.held());

    // It exists for as long as it is held.
    UniqueHandle probe(OpenMutexW(SYNCHRONIZE, FALSE, mutexName.c_str()));
    EXPECT_TRUE(probe);
    probe.reset();

    mutex.release();
    EXPECT_FALSE(mutex.held());
    UniqueHandle fresh(CreateMutexW(nullptr, TRUE, mutexName.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
}

// A name Windows cannot use for a mutex makes the settings invalid, before
// any other key is read: the application would never start.
TEST_F(SingleInstance, ANameTheSystemRefusesMakesTheSettingsInvalid) {
    // The name of an event cannot be opened as a mutex.
    UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, mutexName.c_str()));
    ASSERT_TRUE(event);
    for (const std::wstring& name : {mutexName, std::wstring(L"MyCompany\\MyApp")}) {
        SCOPED_TRACE(utf8(name));
        host.log.clear();
        writeSettings(settingsWith("single-run-mutex=" + utf8(name) + "\r\n"));
        EXPECT_EQ(runWith({}), -4);
        EXPECT_EQ(host.log, std::vector<std::wstring>{L"box Error: " + expected::settingsInvalid});
        EXPECT_FALSE(mutex.held());
    }
}

TEST_F(SingleInstance, AnEmptyNameMeansNoRule) {
    writeSettings(settingsWith("single-run-mutex=\r\n"));
    EXPECT_EQ(runWith({java16, started}), 0);
    EXPECT_FALSE(mutex.held());
}

// Run by the entry launcher_tests_german, with LC_ALL=de_DE.UTF-8, which
// makes Wine's UI language German: the texts of [tavrin.messages.de] count.
TEST_F(RunLauncher, GermanUserGetsTheGermanTexts) {
    ASSERT_EQ(userLanguage(), L"de-DE") << "runs with LC_ALL=de_DE.UTF-8";
    writeSettings("[tavrin]\r\njar-file-name=lib\\app.jar\r\n[tavrin.messages]\r\n"
                  "ini-invalid=Invalid.\r\n[tavrin.messages.de]\r\n"
                  "ini-invalid=Die Einstellungen sind ung\xC3\xBCltig.\r\n");
    EXPECT_EQ(runWith({}), -4);
    EXPECT_EQ(host.log,
              std::vector<std::wstring>{L"box Error: Die Einstellungen sind ung\u00fcltig."});
}

} // namespace

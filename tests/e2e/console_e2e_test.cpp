// End to end: the console launcher (tavrinc.exe) and several programs in
// one folder.
#include "e2e_common.h"

namespace {

using namespace e2e;
using namespace testing_support;

// The application reads the caller's input, writes to the caller's output
// and error byte for byte, and its exit code is the launcher's, all 32 bits;
// wait-for-exit=0 waits all the same, and no redirection file is made.
TEST(ConsoleLauncher, StreamsAndTheExitCodeAreTheApplications) {
    const struct {
        const char* exitCode;
        DWORD expected;
        bool pipe;
    } cases[] = {{"3", 3, false}, {"255", 255, true}, {"-1", 0xFFFFFFFF, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exitCode);
        TypicalApplication typical;
        typical.app.useConsoleLauncher();
        typical.app.writeSettings(settingsWith({{"wait-for-exit", "0"}}));
        const std::wstring marker = typical.app.scratch() / L"application-ended";
        typical.app.environment[L"FAKE_JAVA_RUN_OUTPUT"] = L"h\\xC3\\xA9llo \\xE6\\x97\\xA5\\r\\n";
        typical.app.environment[L"FAKE_JAVA_RUN_ERROR"] = L"\\xD0\\xBE\\xD0\\xB9\\r\\n";
        typical.app.environment[L"FAKE_JAVA_RUN_ECHO"] = L"1";
        typical.app.environment[L"FAKE_JAVA_EXIT"] = fromUtf8(c.exitCode);
        typical.app.environment[L"FAKE_JAVA_RUN_MS"] = L"300";
        typical.app.environment[L"FAKE_JAVA_RUN_MARKER"] = marker;
        const std::string input = "first line\r\n\xD0\x9F\r\nlast";
        const ConsoleRun run = runConsole(typical.app, input, c.pipe);
        EXPECT_EQ(run.exitCode, c.expected);
        EXPECT_TRUE(pathExists(marker)) << "the launcher did not wait for the application";
        const std::string ran =
            "fake java ran [-jar] [" + utf8(typical.app.path(L"lib\\app.jar")) + "]\r\n";
        const std::string written = ran + "h\xC3\xA9llo \xE6\x97\xA5\r\n" + input;
        if (c.pipe) { // both streams through one pipe, in the order written
            EXPECT_EQ(run.output,
                      ran + "h\xC3\xA9llo \xE6\x97\xA5\r\n\xD0\xBE\xD0\xB9\r\n" + input);
        } else {
            EXPECT_EQ(run.output, written);
            EXPECT_EQ(run.error, "\xD0\xBE\xD0\xB9\r\n");
        }
        EXPECT_FALSE(run.showedWindow);
        EXPECT_EQ(filesMatching(typical.app.path(L"java.jar.run.*")), std::vector<std::wstring>{});
        EXPECT_EQ(typical.app.settings(),
                  settingsWith({{"wait-for-exit", "0"}}) + "java-location=java.exe\r\n");
    }
}

// Each message is a line on standard error; no window, nothing asked.
TEST(ConsoleLauncher, MessagesGoToStandardError) {
    const struct {
        const char* name;
        std::string settings; // empty: no tavrin.ini
        bool jar;
        int exitCode;
        std::wstring error;
    } cases[] = {
        {"no tavrin.ini", "", true, -1, expected::settingsMissing + L"\r\n"},
        {"a runtime too old, asking on",
         settingsWith({{"min-java-version", "11"}, {"ask-for-java-location", "1"}}), true, -5,
         expected::versionUnsuitable(L"11") + L"\r\n"},
        {"no JAR", settingsWith(), false, -4, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TypicalApplication typical;
        typical.app.useConsoleLauncher();
        if (!c.jar) {
            DeleteFileW(typical.app.path(L"lib\\app.jar").c_str());
        }
        if (!c.settings.empty()) {
            typical.app.writeSettings(c.settings);
        }
        const ConsoleRun run = runConsole(typical.app, "");
        EXPECT_EQ(run.exitCode, static_cast<DWORD>(c.exitCode));
        const std::wstring expectedError =
            c.jar ? c.error
                  : expected::jarMissing(typical.app.path(L"lib\\app.jar")) + L"\r\n" +
                        expected::settingsInvalid + L"\r\n";
        EXPECT_EQ(run.error, utf8(expectedError));
        EXPECT_EQ(run.output, "");
        EXPECT_FALSE(run.showedWindow);
    }
}

// A command-line tool works in the caller's folder and gets the caller's
// arguments without pass-arguments, and needs no wait-for-exit;
// %TAVRIN_APP_DIR% names the application's folder.
TEST(ConsoleLauncher, AToolWorksInTheCallersFolderWithTheCallersArguments) {
    TypicalApplication typical;
    typical.app.useConsoleLauncher();
    std::string settings = settingsWith({{"java-options", "-Dapp.home=\"%TAVRIN_APP_DIR%\""}});
    const std::string wait = "wait-for-exit=1\r\n";
    settings.erase(settings.find(wait), wait.size());
    typical.app.writeSettings(settings);
    typical.app.arguments = {L"-f", L"build.xml", L"two words"};
    const ConsoleRun run = runConsole(typical.app, "");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.error, "");
    const std::vector<JavaRecord> runs = typical.app.javaRuns();
    ASSERT_EQ(runs.size(), 2u);
    std::wstring folder = typical.app.folder();
    folder.pop_back();
    const std::wstring jar = typical.app.path(L"lib\\app.jar");
    EXPECT_EQ(runs[1].arguments,
              (std::vector<std::wstring>{L"java.exe", L"-Dapp.home=" + folder, L"-jar", jar, L"-f",
                                         L"build.xml", L"two words"}));
    // The launcher was started in its scratch folder, the application's parent.
    EXPECT_EQ(runs[1].workingDirectory, withoutTrailingBackslash(typical.app.scratch().path()));
    EXPECT_EQ(typical.app.settings(), settings + "java-location=java.exe\r\n");
}

// java-location is written into the settings file as it is when the
// application has ended: a line added while it ran stays.
TEST(ConsoleLauncher, ALineAddedWhileTheApplicationRunsStays) {
    TypicalApplication typical;
    typical.app.useConsoleLauncher();
    typical.app.writeSettings(settingsWith());
    const std::wstring applicationPid = typical.app.scratch() / L"application.pid";
    const std::wstring endSignal = typical.app.scratch() / L"end-the-application";
    typical.app.environment[L"FAKE_JAVA_RUN_UNTIL"] = endSignal;
    typical.app.environment[L"FAKE_JAVA_RUN_PID"] = applicationPid;
    const ScratchFolder streams(L"tavrin-streams");
    writeFileBytes(streams / L"in.txt", "");
    const UniqueFile input = standardFile(streams / L"in.txt", OPEN_EXISTING);
    typical.app.standardInput = input.get();
    ChildProcess launcher = typical.app.start();
    ASSERT_NE(processIdIn(applicationPid), 0u);
    const std::string edited = typical.app.settings() + "start-arguments=added meanwhile\r\n";
    typical.app.writeSettings(edited);
    writeFileBytes(endSignal, "");
    EXPECT_EQ(typical.app.drive(launcher, {}).exitCode, 0);
    EXPECT_EQ(typical.app.settings(), edited + "java-location=java.exe\r\n");
}

// Two programs of one application: a windowed launcher and a command-line
// tool beside it, each with a section of its own over the shared [tavrin].
// The runtime the first one found serves the second, which has no other way
// to find it; while both run, each keeps its own redirection files; the
// rewrite changes java-location in [tavrin] alone.
TEST(SeveralPrograms, AWindowedApplicationAndItsToolShareTheRuntimeNotTheirFiles) {
    Application app;
    app.writeJar();
    const JavaRuntime java(app.scratch() / L"Java Runtime\\bin");
    app.environment[L"JAVA_HOME"] = app.scratch() / L"Java Runtime";
    copyFileOrFail(launcherExecutable(), app.path(L"Example.exe"));
    copyFileOrFail(consoleLauncherExecutable(), app.path(L"example-tool.exe"));
    const std::string shared = "[tavrin]\r\nclass-path=lib\\app.jar\r\nmin-java-version=1.5\r\n"
                               "java-location=\r\nask-for-java-location=0\r\n"
                               "allow-newer-version=1\r\n";
    const std::string own = "[Example.exe]\r\nmain-class=app.Gui\r\nstart-arguments=--gui\r\n"
                            "wait-for-exit=0\r\n\r\n"
                            "[example-tool.exe]\r\nmain-class=app.Tool\r\n"
                            "start-arguments=--batch\r\n";
    app.writeSettings(shared + own);
    std::string rewritten = shared;
    rewritten.insert(rewritten.find("java-location=") + 14, utf8(java.executable()));
    const std::wstring endSignal = app.scratch() / L"end-the-application";
    const std::wstring marker = app.scratch() / L"application-ended";
    app.environment[L"FAKE_JAVA_RUN_UNTIL"] = endSignal;
    app.environment[L"FAKE_JAVA_RUN_MARKER"] = marker;
    app.launcherName = L"Example.exe";
    EXPECT_EQ(app.run().exitCode, 0);
    EXPECT_EQ(app.settings(), rewritten + own);

    app.environment[L"JAVA_HOME"] = L"";
    app.environment.erase(L"FAKE_JAVA_RUN_UNTIL");
    app.environment.erase(L"FAKE_JAVA_RUN_MARKER");
    app.launcherName = L"example-tool.exe";
    app.arguments = {L"in.csv"};
    const ConsoleRun tool = runConsole(app, "");
    EXPECT_EQ(tool.exitCode, 0u) << tool.error;
    const std::string jar = utf8(app.path(L"lib\\app.jar"));
    EXPECT_EQ(tool.output, "fake java ran [-cp] [" + jar + "] [app.Tool] [--batch] [in.csv]\r\n");
    writeFileBytes(endSignal, "");
    for (int i = 0; i < 1000 && !pathExists(marker); ++i) {
        Sleep(10);
    }
    ASSERT_TRUE(pathExists(marker));

    const std::vector<JavaRecord> runs = app.javaRuns();
    ASSERT_EQ(runs.size(), 4u) << "a version check and a run for each, no search by the tool";
    for (const JavaRecord& run : runs) {
        EXPECT_EQ(run.executable, java.executable());
    }
    // The windowed application runs on while the tool starts: its record may
    // come after the tool's version check.
    const std::vector<std::wstring> gui{java.executable(), L"-cp", app.path(L"lib\\app.jar"),
                                        L"app.Gui", L"--gui"};
    EXPECT_TRUE(runs[1].arguments == gui || runs[2].arguments == gui);
    EXPECT_EQ(readFileBytes(app.path(L"Example.jar.run.output.file")),
              "fake java ran [-cp] [" + jar + "] [app.Gui] [--gui]\r\n");
    EXPECT_TRUE(pathExists(app.path(L"Example.version.check.error.file")));
    EXPECT_TRUE(pathExists(app.path(L"example-tool.version.check.error.file")));
    EXPECT_EQ(filesMatching(app.path(L"java.*")), std::vector<std::wstring>{});
    EXPECT_EQ(app.settings(), rewritten + own);
}

// A launcher ended from outside (a CI time-out, Task Manager) takes its
// application along; what the application started itself stays.
TEST(ConsoleLauncher, EndingTheLauncherEndsTheApplicationOnly) {
    TypicalApplication typical;
    typical.app.useConsoleLauncher();
    typical.app.writeSettings(settingsWith());
    const std::wstring applicationPid = typical.app.scratch() / L"application.pid";
    const std::wstring startedPid = typical.app.scratch() / L"started.pid";
    typical.app.environment[L"FAKE_JAVA_RUN_MS"] = L"30000";
    typical.app.environment[L"FAKE_JAVA_RUN_PID"] = applicationPid;
    typical.app.environment[L"FAKE_JAVA_RUN_START"] =
        quotedArgument(folderOf(thisExecutablePath()) + L"test_child.exe") + L" pid:" +
        quotedArgument(startedPid) + L" sleep:30000";
    const ScratchFolder streams(L"tavrin-streams");
    writeFileBytes(streams / L"in.txt", "");
    const UniqueFile input = standardFile(streams / L"in.txt", OPEN_EXISTING);
    typical.app.standardInput = input.get();
    ChildProcess launcher = typical.app.start();
    const UniqueHandle application(
        OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processIdIn(applicationPid)));
    const UniqueHandle started(
        OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processIdIn(startedPid)));
    ASSERT_TRUE(application);
    ASSERT_TRUE(started);

    TerminateProcess(launcher.process.get(), 1);
    EXPECT_EQ(WaitForSingleObject(application.get(), 10000), WAIT_OBJECT_0)
        << "the application outlived its launcher";
    EXPECT_EQ(WaitForSingleObject(started.get(), 500), static_cast<DWORD>(WAIT_TIMEOUT))
        << "what the application started ended with it";
    TerminateProcess(application.get(), 1);
    TerminateProcess(started.get(), 1);
}

} // namespace

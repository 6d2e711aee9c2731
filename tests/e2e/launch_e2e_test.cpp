// End to end: what the application receives, waiting, the single-run rule
// and activation, class and module paths, the JVM in the launcher's process.
#include "e2e_common.h"

namespace {

using namespace e2e;
using namespace testing_support;

// Also in folders with blanks and with characters outside the ANSI code page.
TEST(EndToEnd, TheTypicalStartWithAStandIn) {
    for (const wchar_t* folderName :
         {L"App", L"Program Files\\Example App",
          L"\u041f\u0440\u0438\u043b\u043e\u0436\u0435\u043d\u0438\u0435 \u65e5\u672c"}) {
        SCOPED_TRACE(utf8(folderName));
        TypicalApplication typical(folderName);
        const std::string settings = settingsWith();
        typical.app.writeSettings(settings);
        const RunResult result = typical.app.run();
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_TRUE(result.dialogs.empty());

        const std::vector<JavaRecord> runs = typical.app.javaRuns();
        ASSERT_EQ(runs.size(), 2u);
        EXPECT_EQ(runs[0].commandLine, L"java -version");
        EXPECT_EQ(runs[0].executable, typical.java.executable());
        const std::wstring jar = typical.app.path(L"lib\\app.jar");
        EXPECT_EQ(runs[1].commandLine, L"java.exe -jar  \"" + jar + L"\" ");
        EXPECT_EQ(runs[1].arguments, (std::vector<std::wstring>{L"java.exe", L"-jar", jar}));
        // The application runs in the launcher's folder, whatever the user's.
        std::wstring folder = typical.app.folder();
        folder.pop_back();
        EXPECT_EQ(runs[1].workingDirectory, folder);

        EXPECT_EQ(typical.app.settings(), settings + "java-location=java.exe\r\n");
        EXPECT_EQ(readFileBytes(typical.app.path(L"java.jar.run.output.file")),
                  "fake java ran [-jar] [" + utf8(jar) + "]\r\n");
        EXPECT_EQ(readFileBytes(typical.app.path(L"java.version.check.error.file")),
                  "java version \"1.8.0_321\"\r\nJava(TM) SE Runtime Environment (build "
                  "1.8.0_321-b07)\r\n");
        for (const wchar_t* file :
             {L"java.version.check.output.file", L"java.version.check.input.file",
              L"java.jar.run.error.file", L"java.jar.run.input.file"}) {
            EXPECT_EQ(readFileBytes(typical.app.path(file)), "") << utf8(file);
        }
    }
}

TEST(EndToEnd, TheTypicalStartWithTheRealJavaRuntime) {
    Application app;
    makeDirectories(app.path(L"lib"));
    copyFileOrFail(demoJar(), app.path(L"lib\\demo.jar"));
    app.searchPath({bridgeFolder()});
    const std::string settings =
        settingsWith({{"jar-file-name", "lib\\demo.jar"},
                      {"start-arguments", "two words \\ and more"},
                      {"java-options", "-Dtavrin.demo=\"yes, with blanks\""}});
    app.writeSettings(settings);
    const RunResult result = app.run();
    EXPECT_EQ(result.exitCode, 0);
    for (const Dialog& dialog : result.dialogs) {
        ADD_FAILURE() << "a box: " << utf8(dialog.text) << "\nthe runtime reported: "
                      << readFileBytes(app.path(L"java.version.check.error.file"));
    }
    EXPECT_EQ(app.settings(), settings + "java-location=java.exe\r\n");
    const std::string output = readFileBytes(app.path(L"java.jar.run.output.file"));
    EXPECT_NE(output.find("Hello from the tavrin demo application.\n"), std::string::npos)
        << output << readFileBytes(app.path(L"java.jar.run.error.file"));
    EXPECT_NE(output.find("Arguments: 1\n  [two words \\ and more]\n"), std::string::npos)
        << output;
    EXPECT_NE(output.find("JVM option tavrin.demo: yes, with blanks\n"), std::string::npos)
        << output;
    // The JVM's report went to standard error, as a real one's does.
    EXPECT_EQ(
        readFileBytes(app.path(L"java.version.check.error.file")).rfind("openjdk version \"", 0),
        0u);
}

// What the runtime and the application receive, as the C runtime splits it.
TEST(EndToEnd, OptionsArgumentsAndTheShellsArgumentsArriveAsWritten) {
    TypicalApplication typical;
    typical.app.environment[L"TAVRIN_TEST_HOME"] = L"C:\\Users\\Ana";
    typical.app.arguments = {L"C:\\Users\\Ana\\Documents\\plan 2026.xml", L"say \"hi\"",
                             L"C:\\trailing\\", L"", L"\u65e5\u672c \u041f"};
    typical.app.writeSettings(settingsWith(
        {{"java-options", "-Xmx64m -Dapp.home=\"%TAVRIN_TEST_HOME%\\Example App\""},
         {"arguments", "-tcp -baseDir \"%TAVRIN_TEST_HOME%\\My Data\" \"a \\\"q\\\"\""},
         {"start-arguments", "C:\\data\\"},
         {"pass-arguments", "1"}}));
    EXPECT_EQ(typical.app.run().exitCode, 0);
    const std::vector<JavaRecord> runs = typical.app.javaRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].arguments, (std::vector<std::wstring>{L"java", L"-version"}));
    std::vector<std::wstring> expected{L"java.exe",
                                       L"-Xmx64m",
                                       L"-Dapp.home=C:\\Users\\Ana\\Example App",
                                       L"-jar",
                                       typical.app.path(L"lib\\app.jar"),
                                       L"-tcp",
                                       L"-baseDir",
                                       L"C:\\Users\\Ana\\My Data",
                                       L"a \"q\"",
                                       L"C:\\data\\"};
    expected.insert(expected.end(), typical.app.arguments.begin(), typical.app.arguments.end());
    EXPECT_EQ(runs[1].arguments, expected);
}

TEST(EndToEnd, OptionsAfterAJavaExeWithBlanksStayOptions) {
    TypicalApplication typical;
    const std::string location = utf8(typical.java.executable()) + " -Xmx1g";
    const std::string settings = settingsWith({{"java-location", location}});
    typical.app.writeSettings(settings);
    EXPECT_EQ(typical.app.run().exitCode, 0);
    const std::vector<JavaRecord> runs = typical.app.javaRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].arguments,
              (std::vector<std::wstring>{typical.java.executable(), L"-Xmx1g", L"-jar",
                                         typical.app.path(L"lib\\app.jar")}));
    EXPECT_EQ(typical.app.settings(), settings) << "the author's value was replaced";
}

TEST(EndToEnd, StartArgumentsWithBlanksArriveAsOneArgument) {
    TypicalApplication typical;
    typical.app.writeSettings(settingsWith({{"start-arguments", "--open my file.txt"}}));
    EXPECT_EQ(typical.app.run().exitCode, 0);
    const std::vector<JavaRecord> runs = typical.app.javaRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].arguments,
              (std::vector<std::wstring>{L"java.exe", L"-jar", typical.app.path(L"lib\\app.jar"),
                                         L"--open my file.txt"}));
}

// The application runs until the test signals it: with wait-for-exit=1 the
// launcher is still there then, with 0 it has ended.
TEST(EndToEnd, WaitForExitDecidesWhenTheLauncherEnds) {
    for (const char* wait : {"1", "0"}) {
        SCOPED_TRACE(std::string("wait-for-exit=") + wait);
        TypicalApplication typical;
        typical.app.writeSettings(settingsWith({{"wait-for-exit", wait}}));
        const std::wstring marker = typical.app.scratch() / L"application-ended";
        const std::wstring endSignal = typical.app.scratch() / L"end-the-application";
        const std::wstring pid = typical.app.scratch() / L"application.pid";
        typical.app.environment[L"FAKE_JAVA_RUN_UNTIL"] = endSignal;
        typical.app.environment[L"FAKE_JAVA_RUN_MARKER"] = marker;
        typical.app.environment[L"FAKE_JAVA_RUN_PID"] = pid;
        ChildProcess launcher = typical.app.start();
        ASSERT_NE(processIdIn(pid), 0u) << "the application did not start";
        // Without waiting, the launcher ends while the application runs on.
        EXPECT_EQ(
            WaitForSingleObject(launcher.process.get(), std::string(wait) == "1" ? 300 : 10000),
            static_cast<DWORD>(std::string(wait) == "1" ? WAIT_TIMEOUT : WAIT_OBJECT_0));
        writeFileBytes(endSignal, "");
        EXPECT_EQ(typical.app.drive(launcher, {}).exitCode, 0);
        // Let the application end before its folder goes.
        for (int i = 0; i < 500 && !pathExists(marker); ++i) {
            Sleep(10);
        }
        EXPECT_TRUE(pathExists(marker));
    }
}

// A script reading the launcher's output through a pipe sees its end when
// the launcher ends, not when the application does: the application gets
// its three redirection files and no other handle of the launcher.
TEST(EndToEnd, TheApplicationInheritsNoHandleButItsStreams) {
    TypicalApplication typical;
    typical.app.writeSettings(settingsWith({{"wait-for-exit", "0"}}));
    const std::wstring pidFile = typical.app.scratch() / L"java.pid";
    const std::wstring endSignal = typical.app.scratch() / L"end-the-application";
    typical.app.environment[L"FAKE_JAVA_RUN_UNTIL"] = endSignal;
    typical.app.environment[L"FAKE_JAVA_RUN_PID"] = pidFile;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    const UniqueHandle pipeRead(readEnd);
    UniqueHandle pipeWrite(writeEnd);
    typical.app.standardOutput = pipeWrite.get();
    ChildProcess launcher = typical.app.start();
    pipeWrite.reset();
    const ULONGLONG started = GetTickCount64();
    char chunk[256];
    DWORD read = 0;
    while (ReadFile(pipeRead.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) {
    }
    const ULONGLONG seenEnd = GetTickCount64() - started;
    EXPECT_EQ(waitForChild(launcher, 30000), 0u);
    EXPECT_LT(seenEnd, 15000u) << "the pipe stayed open while the application ran";
    for (int i = 0; i < 1000 && (!pathExists(pidFile) || readFileBytes(pidFile).empty()); ++i) {
        Sleep(10);
    }
    // The application still runs: ended here, before its folder goes.
    const UniqueHandle application(
        OpenProcess(SYNCHRONIZE, FALSE, std::stoul(readFileBytes(pidFile))));
    ASSERT_TRUE(application);
    EXPECT_EQ(WaitForSingleObject(application.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    writeFileBytes(endSignal, "");
    EXPECT_EQ(WaitForSingleObject(application.get(), 10000), static_cast<DWORD>(WAIT_OBJECT_0));
}

// A second start while the first application still writes to its
// redirection files leaves them alone: its own go to java.jar.run.2.*.
TEST(EndToEnd, ASecondStartKeepsTheRunningApplicationsOutput) {
    TypicalApplication typical;
    typical.app.writeSettings(settingsWith({{"wait-for-exit", "0"}, {"pass-arguments", "1"}}));
    const std::wstring marker = typical.app.scratch() / L"application-ended";
    const std::wstring endSignal = typical.app.scratch() / L"end-the-application";
    typical.app.environment[L"FAKE_JAVA_RUN_UNTIL"] = endSignal;
    typical.app.environment[L"FAKE_JAVA_RUN_MARKER"] = marker;
    typical.app.arguments = {L"first"};
    EXPECT_EQ(typical.app.run().exitCode, 0);
    const std::wstring secondMarker = typical.app.scratch() / L"second-ended";
    typical.app.environment.erase(L"FAKE_JAVA_RUN_UNTIL");
    typical.app.environment[L"FAKE_JAVA_RUN_MARKER"] = secondMarker;
    typical.app.arguments = {L"second"};
    EXPECT_EQ(typical.app.run().exitCode, 0);
    writeFileBytes(endSignal, "");
    for (int i = 0; i < 1000 && !(pathExists(marker) && pathExists(secondMarker)); ++i) {
        Sleep(10);
    }
    ASSERT_TRUE(pathExists(marker) && pathExists(secondMarker));
    const std::string jar = utf8(typical.app.path(L"lib\\app.jar"));
    EXPECT_EQ(readFileBytes(typical.app.path(L"java.jar.run.output.file")),
              "fake java ran [-jar] [" + jar + "] [first]\r\n");
    EXPECT_EQ(readFileBytes(typical.app.path(L"java.jar.run.2.output.file")),
              "fake java ran [-jar] [" + jar + "] [second]\r\n");
    EXPECT_TRUE(pathExists(typical.app.path(L"java.jar.run.2.error.file")));
    EXPECT_TRUE(pathExists(typical.app.path(L"java.jar.run.2.input.file")));
}

TEST(EndToEnd, ASecondLauncherIsRefusedWhileTheFirstWaits) {
    TypicalApplication typical;
    const std::wstring mutexName = L"TavrinEndToEnd." + std::to_wstring(GetCurrentProcessId());
    typical.app.writeSettings(settingsWith({{"single-run-mutex", utf8(mutexName)}}));
    const std::wstring marker = typical.app.scratch() / L"application-ended";
    const std::wstring endSignal = typical.app.scratch() / L"end-the-application";
    typical.app.environment[L"FAKE_JAVA_RUN_UNTIL"] = endSignal;
    typical.app.environment[L"FAKE_JAVA_RUN_MARKER"] = marker;
    ChildProcess first = typical.app.start();
    // Until the application has started, and so the first launcher waits.
    for (int i = 0; i < 1000 && typical.app.javaRuns().size() < 2; ++i) {
        Sleep(10);
    }
    ASSERT_EQ(typical.app.javaRuns().size(), 2u);

    const RunResult second = typical.app.run();
    EXPECT_EQ(second.exitCode, 0);
    expectDialogs(second.dialogs, {waitBox()});
    EXPECT_FALSE(pathExists(marker));

    writeFileBytes(endSignal, "");
    const RunResult firstResult = typical.app.drive(first, {});
    EXPECT_EQ(firstResult.exitCode, 0);
    EXPECT_TRUE(pathExists(marker));
    EXPECT_EQ(typical.app.javaRuns().size(), 2u);
}

std::string waitForText(const std::wstring& a_file, const std::string& a_text) {
    std::string seen;
    for (int i = 0; i < 1000 && seen != a_text; ++i) {
        seen = pathExists(a_file) ? readFileBytes(a_file) : "";
        Sleep(10);
    }
    return seen;
}

void endProcess(DWORD a_processId) {
    const UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, a_processId));
    TerminateProcess(process.get(), 0);
    WaitForSingleObject(process.get(), 10000);
}

// A second start brings the running application's window forward, restored,
// with no box, whether the first launcher still waits or is long gone; once
// the application has ended, the next start starts it again.
TEST(EndToEnd, ASecondStartBringsTheRunningApplicationForward) {
    for (const char* wait : {"1", "0"}) {
        SCOPED_TRACE(std::string("wait-for-exit=") + wait);
        TypicalApplication typical;
        const std::string mutexName =
            "TavrinActivate." + std::to_string(GetCurrentProcessId()) + "." + wait;
        typical.app.writeSettings(settingsWith({{"single-run-mutex", mutexName},
                                                {"single-run-activate", "1"},
                                                {"wait-for-exit", wait}}));
        const std::wstring window = typical.app.scratch() / L"window.txt";
        const std::wstring pid = typical.app.scratch() / L"application.pid";
        typical.app.environment[L"FAKE_JAVA_RUN_MS"] = L"20000";
        typical.app.environment[L"FAKE_JAVA_RUN_WINDOW"] = window;
        typical.app.environment[L"FAKE_JAVA_RUN_PID"] = pid;
        ChildProcess first = typical.app.start();
        ASSERT_EQ(waitForText(window, "minimised"), "minimised");
        if (std::string(wait) == "0") {
            EXPECT_EQ(typical.app.drive(first, {}).exitCode, 0);
        }

        const RunResult second = typical.app.run();
        EXPECT_EQ(second.exitCode, 0);
        EXPECT_TRUE(second.dialogs.empty());
        EXPECT_EQ(waitForText(window, "restored"), "restored");
        endProcess(processIdIn(pid));
        if (std::string(wait) == "1") {
            EXPECT_EQ(typical.app.drive(first, {}).exitCode, 0);
        }

        typical.app.environment.erase(L"FAKE_JAVA_RUN_WINDOW");
        typical.app.environment[L"FAKE_JAVA_RUN_MS"] = L"0";
        const std::size_t runsBefore = typical.app.javaRuns().size();
        EXPECT_EQ(typical.app.run().exitCode, 0);
        // Without waiting, the launcher may end before its application has
        // recorded its run.
        for (int i = 0; i < 500 && typical.app.javaRuns().size() < runsBefore + 2; ++i) {
            Sleep(10);
        }
        EXPECT_EQ(typical.app.javaRuns().size(), runsBefore + 2) << "not started again";
    }
}

// The rule follows the application's own process: a program it started
// with handle inheritance, still running after it ended, does not count.
TEST(EndToEnd, AHelperTheApplicationLeftBehindIsNotTheApplication) {
    TypicalApplication typical;
    const std::string mutexName = "TavrinHelper." + std::to_string(GetCurrentProcessId());
    typical.app.writeSettings(settingsWith(
        {{"single-run-mutex", mutexName}, {"single-run-activate", "1"}, {"wait-for-exit", "1"}}));
    const std::wstring helperPid = typical.app.scratch() / L"helper.pid";
    typical.app.environment[L"FAKE_JAVA_RUN_INHERIT"] = L"1";
    typical.app.environment[L"FAKE_JAVA_RUN_START"] =
        quotedArgument(folderOf(thisExecutablePath()) + L"test_child.exe") + L" pid:" +
        quotedArgument(helperPid) + L" sleep:30000";
    EXPECT_EQ(typical.app.run().exitCode, 0);
    const DWORD helper = processIdIn(helperPid);
    ASSERT_NE(helper, 0u);
    typical.app.environment.erase(L"FAKE_JAVA_RUN_START");
    const RunResult second = typical.app.run();
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_TRUE(second.dialogs.empty());
    EXPECT_EQ(typical.app.javaRuns().size(), 4u) << "a version check and a run, twice";
    endProcess(helper);
}

// A running application without a window: the "Wait" box, as without the
// switch.
TEST(EndToEnd, ASecondStartFindingNoWindowShowsTheWaitBox) {
    TypicalApplication typical;
    const std::string mutexName = "TavrinActivate." + std::to_string(GetCurrentProcessId());
    typical.app.writeSettings(settingsWith(
        {{"single-run-mutex", mutexName}, {"single-run-activate", "1"}, {"wait-for-exit", "0"}}));
    const std::wstring pid = typical.app.scratch() / L"application.pid";
    typical.app.environment[L"FAKE_JAVA_RUN_MS"] = L"20000";
    typical.app.environment[L"FAKE_JAVA_RUN_PID"] = pid;
    EXPECT_EQ(typical.app.run().exitCode, 0);
    const DWORD application = processIdIn(pid);
    ASSERT_NE(application, 0u);
    const RunResult second = typical.app.run({press(IDOK)});
    EXPECT_EQ(second.exitCode, 0);
    expectDialogs(second.dialogs, {waitBox()});
    endProcess(application);
}

// What the runtime receives: -cp and the entries as full paths, in the
// order written, the main class, then the start and passed arguments.
TEST(ClassPath, AMainClassWithAWildcardAFolderAndAnAbsoluteEntry) {
    TypicalApplication typical;
    makeDirectories(typical.app.path(L"config"));
    const ScratchFolder elsewhere;
    writeFileBytes(elsewhere / L"extra.jar", "PK");
    typical.app.environment[L"TAVRIN_EXTRA"] = elsewhere.path();
    typical.app.writeSettings(
        settingsWithoutJar({{"main-class", "com.example.app.Main"},
                            {"class-path", " lib\\* ; config;;%TAVRIN_EXTRA%\\extra.jar"},
                            {"start-arguments", "two words"},
                            {"pass-arguments", "1"}}));
    typical.app.arguments = {L"C:\\Users\\Ana\\plan 2026.xml"};
    EXPECT_EQ(typical.app.run().exitCode, 0);
    const std::vector<JavaRecord> runs = typical.app.javaRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].arguments,
              (std::vector<std::wstring>{
                  L"java.exe", L"-cp",
                  typical.app.path(L"lib\\*;") + typical.app.path(L"config;") +
                      (elsewhere / L"extra.jar"),
                  L"com.example.app.Main", L"two words", L"C:\\Users\\Ana\\plan 2026.xml"}));
}

TEST(ClassPath, AModuleWithAndWithoutAModulePath) {
    const struct {
        const char* name;
        Keys keys;
        std::vector<std::wstring> arguments; // after java.exe; {app} is the folder
    } cases[] = {
        {"a module path",
         {{"module", "com.example.app/com.example.app.Main"}, {"module-path", "mods;lib\\app.jar"}},
         {L"--module-path", L"{app}mods;{app}lib\\app.jar", L"--module",
          L"com.example.app/com.example.app.Main"}},
        {"a module linked into the runtime",
         {{"module", "com.example.app"}},
         {L"--module", L"com.example.app"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TypicalApplication typical;
        makeDirectories(typical.app.path(L"mods"));
        Keys keys = c.keys;
        keys.push_back({"min-java-version", "11"});
        typical.app.writeSettings(settingsWithoutJar(keys));
        typical.app.environment[L"FAKE_JAVA_REPORT"] = java17Report;
        EXPECT_EQ(typical.app.run().exitCode, 0);
        const std::vector<JavaRecord> runs = typical.app.javaRuns();
        ASSERT_EQ(runs.size(), 2u);
        std::vector<std::wstring> expected{L"java.exe"};
        for (std::wstring argument : c.arguments) {
            for (std::size_t at = argument.find(L"{app}"); at != std::wstring::npos;
                 at = argument.find(L"{app}")) {
                argument.replace(at, 5, typical.app.folder());
            }
            expected.push_back(argument);
        }
        EXPECT_EQ(runs[1].arguments, expected);
    }
}

// A missing entry is a missing JAR: its box, the invalid box, -4, no start.
TEST(ClassPath, AMissingEntryIsAMissingJar) {
    TypicalApplication typical;
    typical.app.writeSettings(settingsWithoutJar(
        {{"main-class", "com.example.Main"}, {"class-path", "lib\\app.jar;lib\\gone\\*"}}));
    const RunResult result = typical.app.run({press(IDOK), press(IDOK)});
    EXPECT_EQ(result.exitCode, -4);
    expectDialogs(result.dialogs, {jarMissingBox(typical.app.path(L"lib\\gone")), invalidBox()});
    EXPECT_TRUE(typical.app.javaRuns().empty());
}

// Several hundred JARs in a deep folder pass what Windows takes on one line:
// Java 17 gets them through one argument file; Java 8 reads none: -6.
TEST(ClassPath, ALineTooLongGoesThroughAnArgumentFileFromJava9On) {
    TypicalApplication typical;
    const std::wstring deep = L"lib\\vendor\\com.example.platform\\distribution\\modules\\shared";
    makeDirectories(typical.app.path(deep));
    std::string classPath;
    for (int i = 0; i < 400; ++i) {
        const std::wstring jar =
            deep + L"\\dependency-with-a-long-name-" + std::to_wstring(i) + L".jar";
        writeFileBytes(typical.app.path(jar), "PK");
        classPath += (classPath.empty() ? "" : ";") + utf8(jar);
    }
    typical.app.writeSettings(
        settingsWithoutJar({{"main-class", "com.example.Main"}, {"class-path", classPath}}));
    typical.app.environment[L"FAKE_JAVA_REPORT"] = java17Report;
    EXPECT_EQ(typical.app.run().exitCode, 0);
    std::vector<JavaRecord> runs = typical.app.javaRuns();
    ASSERT_EQ(runs.size(), 2u);
    ASSERT_EQ(runs[1].arguments.size(), 3u);
    EXPECT_EQ(runs[1].arguments[2], L"com.example.Main");
    const std::wstring file = runs[1].arguments[1].substr(1);
    EXPECT_EQ(runs[1].arguments[1].front(), L'@');
    const std::string text = readFileBytes(file);
    std::wstring first = typical.app.path(deep + L"\\dependency-with-a-long-name-0.jar;");
    for (std::size_t at = first.find(L'\\'); at != std::wstring::npos;
         at = first.find(L'\\', at + 2)) {
        first.insert(at, 1, L'\\');
    }
    EXPECT_EQ(text.rfind("-cp\r\n\"" + utf8(first), 0), 0u) << text.substr(0, 300);

    typical.app.environment.erase(L"FAKE_JAVA_REPORT"); // Java 8
    EXPECT_EQ(typical.app.run().exitCode, -6);
    EXPECT_EQ(typical.app.javaRuns().size(), 3u) << "only the version check ran";
    DeleteFileW(file.c_str());
}

// An entry starting with two backslashes is a full path, as a UNC path
// (\\server\share\lib) is: here Wine's \\?\unix form of the same folder.
TEST(ClassPath, AnEntryStartingWithTwoBackslashesIsFull) {
    TypicalApplication typical;
    const std::wstring shared = L"\\\\?\\unix" + javaApplications().substr(2) + L"\\lib\\app.jar";
    typical.app.writeSettings(
        settingsWithoutJar({{"main-class", "com.example.Main"}, {"class-path", utf8(shared)}}));
    EXPECT_EQ(typical.app.run().exitCode, 0);
    const std::vector<JavaRecord> runs = typical.app.javaRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].arguments,
              (std::vector<std::wstring>{L"java.exe", L"-cp", shared, L"com.example.Main"}));
}

// The machine's real JVM, through the bridge: a main class finds its
// dependency in another JAR of lib\*, and a module runs from a module path.
TEST(ClassPath, TheRealJavaRuntimeStartsAMainClassAndAModule) {
    const struct {
        const char* name;
        Keys keys;
        std::string printed;
    } cases[] = {
        {"a main class",
         {{"main-class", "com.example.app.Main"},
          {"class-path", "lib\\*"},
          {"start-arguments", "one"}},
         "Main class com.example.app.Main: greeting from the dependency\nArguments: one\n"},
        {"a module",
         {{"module", "com.example.hello/com.example.hello.Hello"},
          {"module-path", "mods"},
          {"min-java-version", "9"}},
         "Module com.example.hello says hello\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Application app;
        makeDirectories(app.path(L"lib"));
        makeDirectories(app.path(L"mods"));
        for (const wchar_t* file : {L"lib\\app.jar", L"lib\\dep.jar", L"mods\\hello.jar"}) {
            copyFileOrFail(javaApplications() + L"\\" + file, app.path(file));
        }
        app.searchPath({bridgeFolder()});
        app.writeSettings(settingsWithoutJar(c.keys));
        const RunResult result = app.run();
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_TRUE(result.dialogs.empty());
        const std::string output = readFileBytes(app.path(L"java.jar.run.output.file"));
        EXPECT_NE(output.find(c.printed), std::string::npos)
            << output << readFileBytes(app.path(L"java.jar.run.error.file"));
    }
}

TEST(ClassPath, TheConsoleLauncherEndsWithTheApplicationsExitCode) {
    TypicalApplication typical;
    typical.app.useConsoleLauncher();
    typical.app.writeSettings(
        settingsWithoutJar({{"main-class", "com.example.Tool"}, {"class-path", "lib\\*"}}));
    typical.app.environment[L"FAKE_JAVA_EXIT"] = L"3";
    const ConsoleRun run = runConsole(typical.app, "");
    EXPECT_EQ(run.exitCode, 3u);
    EXPECT_NE(run.output.find("fake java ran [-cp] [" + utf8(typical.app.path(L"lib\\*")) +
                              "] [com.example.Tool]"),
              std::string::npos)
        << run.output;
}

// The machine's JVM runs inside tavrin.exe: the application's command is
// Wine's own program, not bin/java; it gets its arguments, its output lands
// in the redirection files, its System.exit code is the launcher's, and
// java-location was remembered before it took over.
TEST(InProcess, TheApplicationRunsInTheLaunchersProcess) {
    Application app;
    prepareInProcess(app);
    app.arguments = {L"two words", L"exit=5"};
    const RunResult result = app.run();
    EXPECT_EQ(result.exitCode, 5);
    EXPECT_TRUE(result.dialogs.empty());
    const std::string output = readFileBytes(app.path(L"java.jar.run.output.file"));
    EXPECT_NE(output.find("command: "), std::string::npos)
        << output << readFileBytes(app.path(L"java.jar.run.error.file"));
    EXPECT_NE(output.find("wine"), std::string::npos) << output;
    EXPECT_EQ(output.find("/bin/java"), std::string::npos) << output;
    EXPECT_NE(output.find("arguments: two words|exit=5\n"), std::string::npos) << output;
    EXPECT_NE(app.settings().find("java-location=" + utf8(bridgeFolder()) + "\\java.exe\r\n"),
              std::string::npos)
        << app.settings();
}

// The single-run rule lasts as long as the application runs: its process is
// the launcher's, which holds the mutex.
TEST(InProcess, ASecondStartWhileItRunsIsRefused) {
    const std::string mutexName = "TavrinInProcess." + std::to_string(GetCurrentProcessId());
    Application app;
    prepareInProcess(app, {{"single-run-mutex", mutexName}});
    const std::wstring endSignal = app.scratch() / L"end-the-application";
    app.arguments = {L"until", endSignal};
    ChildProcess first = app.start();
    const std::wstring output = app.path(L"java.jar.run.output.file");
    for (int i = 0; i < 1000 && (!pathExists(output) || readFileBytes(output).empty()); ++i) {
        Sleep(20);
    }
    ASSERT_TRUE(pathExists(output) && !readFileBytes(output).empty()) << "the application ran";
    const RunResult second = app.run({press(IDOK)});
    EXPECT_EQ(second.exitCode, 0);
    expectDialogs(second.dialogs, {waitBox()});
    // The JVM's own threads are not Wine's: the application ends by itself.
    writeFileBytes(endSignal, "");
    EXPECT_EQ(app.drive(first, {}).exitCode, 0);
}

TEST(InProcess, TheConsoleLauncherGivesItsStreamsAndTakesItsExitCode) {
    Application app;
    prepareInProcess(app);
    app.useConsoleLauncher();
    app.arguments = {L"exit=4"};
    const ConsoleRun run = runConsole(app, "");
    EXPECT_EQ(run.exitCode, 4u);
    EXPECT_NE(run.output.find("arguments: exit=4\n"), std::string::npos) << run.output << run.error;
    EXPECT_NE(run.output.find("wine"), std::string::npos) << run.output;
}

// In process nothing limits the line: a class path longer than Windows
// takes on a command line reaches the runtime's library as it is, and no
// argument file is made (the library reads none).
TEST(InProcess, AClassPathTooLongForACommandLineStarts) {
    Application app;
    prepareInProcess(app);
    std::string classPath = "lib\\inprocess.jar";
    const std::wstring deep = L"lib\\vendor\\com.example.platform\\distribution\\modules\\shared";
    for (int i = 0; i < 500; ++i) {
        const std::wstring folder = deep + L"\\classes-of-a-dependency-" + std::to_wstring(i);
        makeDirectories(app.path(folder));
        classPath += ";" + utf8(folder);
    }
    app.writeSettings(settingsWithoutJar({{"main-class", "InProcessApp"},
                                          {"class-path", classPath},
                                          {"min-java-version", "9"},
                                          {"java-location", utf8(bridgeFolder())},
                                          {"read-java-release", "1"},
                                          {"in-process", "1"},
                                          {"pass-arguments", "1"}}));
    app.arguments = {L"exit=6"};
    EXPECT_EQ(app.run().exitCode, 6);
    const std::string output = readFileBytes(app.path(L"java.jar.run.output.file"));
    EXPECT_NE(output.find("arguments: exit=6\n"), std::string::npos)
        << output << readFileBytes(app.path(L"java.jar.run.error.file"));
    EXPECT_NE(output.find("wine"), std::string::npos) << output;
}

// A runtime without jli.dll beside its java.exe: a process, as without the
// switch.
TEST(InProcess, ARuntimeWithoutItsLibraryStartsAsAProcess) {
    TypicalApplication typical;
    typical.app.writeSettings(settingsWith({{"in-process", "1"}}));
    EXPECT_EQ(typical.app.run().exitCode, 0);
    const std::vector<JavaRecord> runs = typical.app.javaRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].arguments[1], L"-jar");
}

} // namespace

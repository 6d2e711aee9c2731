// End to end: where the launcher looks for Java, the version checks, and
// what the user is asked.
#include "e2e_common.h"

namespace {

using namespace e2e;
using namespace testing_support;

TEST(EndToEnd, JavaLocationAsFolderExecutableOrPlainCommand) {
    const struct {
        const char* name;
        bool folder;     // the location names the runtime's folder
        bool executable; // the location names its java.exe
        const char* plain;
        std::wstring versionCommandAfterFolder; // when a folder or executable
        std::wstring remembered;                // after the folder, or whole
    } cases[] = {
        {"folder", true, false, nullptr, L"\\java -version ", L"\\java.exe"},
        {"executable", false, true, nullptr, L"\\java.exe -version ", L"\\java.exe"},
        {"java", false, false, "java", L"", L"java.exe"},
        {"JAVA.EXE", false, false, "JAVA.EXE", L"", L"java"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Application app;
        app.writeJar();
        // A runtime on the search path, and one elsewhere.
        JavaRuntime onPath(app.scratch() / L"path-java");
        JavaRuntime configured(app.scratch() / L"configured\\bin");
        app.searchPath({onPath.folder()});
        std::string location = c.plain != nullptr ? c.plain : utf8(configured.folder());
        if (c.executable) {
            location += "\\java.exe";
        }
        const std::string settings = settingsWith({{"java-location", location}});
        app.writeSettings(settings);
        const RunResult result = app.run();
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_TRUE(result.dialogs.empty());
        const std::vector<JavaRecord> runs = app.javaRuns();
        ASSERT_EQ(runs.size(), 2u);
        std::wstring remembered = c.remembered;
        if (c.plain == nullptr) {
            EXPECT_EQ(runs[0].commandLine, configured.folder() + c.versionCommandAfterFolder);
            EXPECT_EQ(runs[0].executable, configured.executable());
            remembered = configured.folder() + c.remembered;
        } else {
            EXPECT_EQ(runs[0].commandLine, L"java -version");
            EXPECT_EQ(runs[0].executable, onPath.executable());
        }
        EXPECT_EQ(runs[1].arguments.front(), remembered);
        std::string expected = settings;
        const std::string key = "\r\njava-location=";
        expected.replace(expected.find(key) + key.size(), location.size(), utf8(remembered));
        EXPECT_EQ(app.settings(), expected);
    }
}

// The launcher runs in its own folder: a java.exe in the folder it was
// started from is never taken for the one on the search path.
TEST(EndToEnd, AJavaExeInTheFolderItIsStartedFromIsNotRun) {
    TypicalApplication typical;
    std::wstring startFolder = typical.app.scratch().path();
    startFolder.pop_back();
    const JavaRuntime planted(startFolder);
    typical.app.writeSettings(settingsWith());
    EXPECT_EQ(typical.app.run().exitCode, 0);
    const std::vector<JavaRecord> runs = typical.app.javaRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].executable, typical.java.executable());
    EXPECT_EQ(runs[1].executable, typical.java.executable());
}

// Started from elsewhere (as every run here is), a runtime beside the
// application is found, and remembered in the form the author wrote.
TEST(EndToEnd, ARuntimeBundledBesideTheApplication) {
    Application app;
    app.writeJar();
    const JavaRuntime bundled(app.path(L"runtime\\bin"));
    app.writeSettings(settingsWith({{"java-location", "runtime\\bin"}}));
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start == 0 ? "first start" : "second start");
        EXPECT_EQ(app.run().exitCode, 0);
        EXPECT_EQ(app.settings(), settingsWith({{"java-location", "runtime\\bin\\java.exe"}}));
    }
    const std::vector<JavaRecord> runs = app.javaRuns();
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].executable, bundled.executable());
    EXPECT_EQ(runs[3].arguments.front(), bundled.executable());
}

// Before the user is told or asked anything: JAVA_HOME, then the registry.
TEST(EndToEnd, InstalledRuntimesAreFoundBeforeTheUserIsAsked) {
    Application app;
    app.writeJar();
    const JavaRuntime tooOld(app.scratch() / L"jdk-6\\bin",
                             {{"FAKE_JAVA_REPORT", report("1.6.0_45")}});
    const JavaRuntime registered(app.scratch() / L"temurin-17\\bin",
                                 {{"FAKE_JAVA_REPORT", report("17.0.9")}});
    const JavaRuntime javaHome(app.scratch() / L"jdk-home\\bin");
    const std::string settings = settingsWith({{"ask-for-java-location", "1"}});
    {
        SCOPED_TRACE("JAVA_HOME");
        app.environment[L"JAVA_HOME"] = app.scratch() / L"jdk-home";
        app.writeSettings(settings);
        const RunResult result = app.run();
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_TRUE(result.dialogs.empty());
        EXPECT_EQ(app.settings(),
                  settings + "java-location=" + utf8(javaHome.executable()) + "\r\n");
    }
    app.environment[L"JAVA_HOME"] = L"";
    RegistryKeys keys;
    keys.add(L"HKLM\\SOFTWARE\\JavaSoft\\JDK\\99.0-tavrin-e2e", L"", L"JavaHome",
             app.scratch() / L"jdk-6");
    keys.add(L"HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.9.9-tavrin-e2e", L"\\hotspot\\MSI",
             L"Path", app.scratch() / L"temurin-17\\");
    {
        SCOPED_TRACE("the registry: the newest, too old, is passed over");
        app.writeSettings(
            settingsWith({{"ask-for-java-location", "1"}, {"min-java-version", "11"}}));
        const std::size_t before = app.javaRuns().size();
        const RunResult result = app.run();
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_TRUE(result.dialogs.empty());
        const std::vector<JavaRecord> runs = app.javaRuns();
        ASSERT_EQ(runs.size(), before + 3);
        EXPECT_EQ(runs[before].executable, tooOld.executable());
        EXPECT_EQ(runs[before + 1].executable, registered.executable());
        EXPECT_EQ(runs[before + 2].arguments.front(), registered.executable());
    }
    {
        SCOPED_TRACE("switched off: straight to the question");
        app.writeSettings(settingsWith({{"min-java-version", "11"}, {"find-installed-java", "0"}}));
        const RunResult result = app.run();
        EXPECT_EQ(result.exitCode, -5);
        expectDialogs(result.dialogs, {m2(L"11")});
    }
}

TEST(EndToEnd, ARuntimeFolderWithBlanksIsQuotedOnTheCommandLines) {
    TypicalApplication typical;
    const std::string location = utf8(typical.java.folder());
    ASSERT_NE(location.find(' '), std::string::npos);
    const std::string settings = settingsWith({{"java-location", location}});
    typical.app.writeSettings(settings);
    EXPECT_EQ(typical.app.run().exitCode, 0);
    const std::vector<JavaRecord> runs = typical.app.javaRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].commandLine, L"\"" + typical.java.folder() + L"\\java\" -version ");
    EXPECT_EQ(runs[1].arguments, (std::vector<std::wstring>{typical.java.executable(), L"-jar",
                                                            typical.app.path(L"lib\\app.jar")}));
    std::string expected = settings;
    expected.replace(expected.find(location), location.size(), location + "\\java.exe");
    EXPECT_EQ(typical.app.settings(), expected);
}

TEST(EndToEnd, NoRuntimeAnywhere) {
    Application app;
    app.writeJar();
    const std::string location = utf8(app.scratch() / L"no-such-java");
    const std::string settings = settingsWith({{"java-location", location}});
    app.writeSettings(settings);
    const RunResult notAsking = app.run();
    EXPECT_EQ(notAsking.exitCode, -5);
    expectDialogs(notAsking.dialogs, {m2(L"1.5")});

    // Asking: the dialog, cancelled.
    app.writeSettings(settingsWith({{"java-location", location}, {"ask-for-java-location", "1"}}));
    const RunResult cancelled = app.run({cancelFolder()});
    EXPECT_EQ(cancelled.exitCode, -5);
    expectDialogs(cancelled.dialogs, {folderDialog(), m1()});
    EXPECT_TRUE(app.javaRuns().empty());
}

TEST(EndToEnd, TheUserPicksTheRuntimeFolder) {
    Application app;
    app.writeJar();
    JavaRuntime picked(app.scratch() / L"picked\\bin");
    const std::string settings = settingsWith({{"ask-for-java-location", "1"}});
    app.writeSettings(settings);
    // A folder without java.exe first: the dialog comes again.
    makeDirectories(app.scratch() / L"empty");
    const RunResult result =
        app.run({chooseFolder(app.scratch() / L"empty"), chooseFolder(picked.folder())});
    EXPECT_EQ(result.exitCode, 0);
    expectDialogs(result.dialogs, {folderDialog(), folderDialog()});
    const std::vector<JavaRecord> runs = app.javaRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].commandLine, picked.executable() + L" -version ");
    EXPECT_EQ(app.settings(), settings + "java-location=" + utf8(picked.executable()) + "\r\n");
}

TEST(EndToEnd, ARuntimeTooOldWithAbortIgnoreOrRetry) {
    const std::wstring min = L"1.7";
    {
        SCOPED_TRACE("Abort");
        TypicalApplication typical;
        const std::string settings =
            settingsWith({{"min-java-version", "1.7"}, {"ask-for-java-location", "1"}});
        typical.app.writeSettings(settings);
        typical.app.environment[L"FAKE_JAVA_REPORT"] = fromUtf8(report("1.6.0_45"));
        const RunResult result = typical.app.run({press(IDABORT)});
        EXPECT_EQ(result.exitCode, -5);
        expectDialogs(result.dialogs, {m4(min)});
        EXPECT_EQ(typical.app.settings(), settings);
    }
    {
        SCOPED_TRACE("Ignore");
        TypicalApplication typical;
        const std::string settings =
            settingsWith({{"min-java-version", "1.7"}, {"ask-for-java-location", "1"}});
        typical.app.writeSettings(settings);
        typical.app.environment[L"FAKE_JAVA_REPORT"] = fromUtf8(report("1.6.0_45"));
        const RunResult result = typical.app.run({press(IDIGNORE)});
        EXPECT_EQ(result.exitCode, 0);
        expectDialogs(result.dialogs, {m4(min)});
        EXPECT_EQ(typical.app.javaRuns().size(), 2u);
        EXPECT_EQ(typical.app.settings(), settings + "java-location=java.exe\r\n");
    }
    {
        SCOPED_TRACE("Retry, then the search path, then a folder");
        Application app;
        app.writeJar();
        JavaRuntime configured(app.scratch() / L"old\\bin", {{"FAKE_JAVA_REPORT", report("1.6")}});
        JavaRuntime onPath(app.scratch() / L"older\\bin", {{"FAKE_JAVA_REPORT", report("1.5")}});
        JavaRuntime picked(app.scratch() / L"new\\bin", {{"FAKE_JAVA_REPORT", report("17.0.2")}});
        app.searchPath({onPath.folder()});
        const std::string settings = settingsWith({{"min-java-version", "1.7"},
                                                   {"ask-for-java-location", "1"},
                                                   {"java-location", utf8(configured.folder())}});
        app.writeSettings(settings);
        const RunResult result =
            app.run({press(IDRETRY), press(IDRETRY), chooseFolder(picked.folder())});
        EXPECT_EQ(result.exitCode, 0);
        expectDialogs(result.dialogs, {m4(min), m4(min), folderDialog()});
        const std::vector<JavaRecord> runs = app.javaRuns();
        ASSERT_EQ(runs.size(), 4u);
        EXPECT_EQ(runs[0].executable, configured.executable());
        EXPECT_EQ(runs[1].executable, onPath.executable());
        EXPECT_EQ(runs[2].executable, picked.executable());
        EXPECT_EQ(runs[3].arguments.front(), picked.executable());
        std::string expected = settings;
        const std::string location = utf8(configured.folder());
        expected.replace(expected.find(location), location.size(), utf8(picked.executable()));
        EXPECT_EQ(app.settings(), expected);
    }
}

TEST(EndToEnd, VersionsThatAreRefusedOrUnreadable) {
    const struct {
        const char* name;
        Keys keys;
        std::string report;
        std::string stream;
        int exitCode;
        std::vector<Dialog> dialogs;
    } cases[] = {
        {"newer, only 1.5 allowed",
         {{"allow-newer-version", "0"}},
         report("1.8.0_321"),
         "err",
         -5,
         {m3(L"1.5")}},
        {"equal, only 1.5 allowed",
         {{"allow-newer-version", "0"}},
         report("1.5.0_22"),
         "err",
         0,
         {}},
        {"a report without quotes", {}, "java version 1.8.0\\r\\n", "err", -5, {m2(L"1.5")}},
        {"a report on standard output", {}, report("1.6.0_20"), "out", 0, {}},
        {"a runtime reporting 17",
         {{"min-java-version", "11"}},
         "java version \\\"17\\\" 2021-09-14 LTS\\r\\n",
         "err",
         0,
         {}},
        {"a runtime reporting 21-ea",
         {{"min-java-version", "17"}},
         "openjdk version \\\"21-ea\\\" 2023-09-19\\r\\n",
         "err",
         0,
         {}},
        {"options echoed first",
         {},
         "Picked up JAVA_TOOL_OPTIONS: -Dx=\\\"1\\\"\\r\\n" + report("1.8.0_321"),
         "err",
         0,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TypicalApplication typical;
        typical.app.writeSettings(settingsWith(c.keys));
        typical.app.environment[L"FAKE_JAVA_REPORT"] = fromUtf8(c.report);
        typical.app.environment[L"FAKE_JAVA_STREAM"] = fromUtf8(c.stream);
        const RunResult result = typical.app.run();
        EXPECT_EQ(result.exitCode, c.exitCode);
        expectDialogs(result.dialogs, c.dialogs);
    }
}

TEST(EndToEnd, ARuntimeSlowerThanThreeSecondsEndsTheLauncherSilently) {
    TypicalApplication typical;
    const std::string settings = settingsWith();
    typical.app.writeSettings(settings);
    typical.app.environment[L"FAKE_JAVA_DELAY_MS"] = L"8000";
    const ULONGLONG started = GetTickCount64();
    const RunResult result = typical.app.run();
    const ULONGLONG took = GetTickCount64() - started;
    EXPECT_EQ(result.exitCode, -5);
    EXPECT_TRUE(result.dialogs.empty());
    EXPECT_GE(took, 3000u);
    EXPECT_LT(took, 8000u) << "the version check was not cut off";
    EXPECT_EQ(typical.app.settings(), settings);
}

// With java-download-url, the last box asks, with Yes and No.
TEST(EndToEnd, TheDownloadQuestionHasYesAndNo) {
    TypicalApplication typical;
    typical.app.writeSettings(settingsWith(
        {{"min-java-version", "11"}, {"java-download-url", "https://example.com/java"}}));
    const RunResult result = typical.app.run({press(IDNO)});
    EXPECT_EQ(result.exitCode, -5);
    expectDialogs(result.dialogs,
                  {Dialog{false,
                          L"Error",
                          expected::versionUnsuitable(L"11") +
                              L"\r\n\r\nDo you want to open the Java download page?",
                          {L"&Yes", L"&No"},
                          false}});
}

} // namespace

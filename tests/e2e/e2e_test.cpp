// The real dist/tavrin.exe, started as a user starts it, in application
// folders of its own, with real message boxes and the real folder dialog
// (under Xvfb), a stand-in Java runtime, and the machine's own JVM.
#include "launcher_session.h"

#include "dialog_driver.h"
#include "expected_messages.h"
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

namespace {

using namespace e2e;
using namespace testing_support;

Dialog invalidBox() {
    return plainBox(L"Error", expected::settingsInvalid);
}
Dialog jarMissingBox(const std::wstring& a_path) {
    return plainBox(L"Jar not found", expected::jarMissing(a_path));
}
Dialog m1() {
    return plainBox(L"Error", expected::noJavaRuntime);
}
Dialog m2(const std::wstring& a_min) {
    return plainBox(L"Error", expected::versionUnreadable(a_min));
}
Dialog m3(const std::wstring& a_min) {
    return plainBox(L"Error", expected::versionUnsuitable(a_min));
}
Dialog m4(const std::wstring& a_min) {
    return Dialog{false,
                  L"Error",
                  expected::versionUnsuitableAsk(a_min),
                  {L"&Abort", L"&Retry", L"&Ignore"},
                  false};
}
Dialog waitBox() {
    return Dialog{false, L"Wait", expected::alreadyRunning, {L"OK"}, true};
}

void expectDialogs(const std::vector<Dialog>& a_seen, const std::vector<Dialog>& a_expected) {
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
std::string settingsWith(const Keys& a_changes = {}) {
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

std::string report(const std::string& a_version) {
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

TEST(EndToEnd, SettingsFileMissingEmptyOrWithoutItsSection) {
    const struct {
        const char* name;
        const char* settings; // null: no file
        int exitCode;
        std::vector<Dialog> dialogs;
    } cases[] = {
        {"missing", nullptr, -1, {plainBox(L"Error", expected::settingsMissing)}},
        {"empty", "", -2, {}},
        {"no section", "[application]\r\njar-file-name=lib\\app.jar\r\n", -3, {invalidBox()}},
        {"section with no keys", "[tavrin]\r\n", -4, {invalidBox()}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Application app;
        app.writeJar();
        if (c.settings != nullptr) {
            app.writeSettings(c.settings);
        }
        const RunResult result = app.run();
        EXPECT_EQ(result.exitCode, c.exitCode);
        expectDialogs(result.dialogs, c.dialogs);
        EXPECT_TRUE(app.javaRuns().empty());
    }
}

TEST(EndToEnd, AKeyInOtherCapitalsIsMissing) {
    TypicalApplication typical;
    std::string settings = settingsWith();
    settings.replace(settings.find("wait-for-exit"), 13, "Wait-For-Exit");
    typical.app.writeSettings(settings);
    const RunResult result = typical.app.run();
    EXPECT_EQ(result.exitCode, -4);
    expectDialogs(result.dialogs, {invalidBox()});
}

TEST(EndToEnd, AMissingJarShowsTwoBoxesInOrder) {
    TypicalApplication typical;
    typical.app.writeSettings(settingsWith({{"jar-file-name", "lib\\gone.jar"}}));
    const RunResult result = typical.app.run();
    EXPECT_EQ(result.exitCode, -4);
    expectDialogs(result.dialogs,
                  {jarMissingBox(typical.app.path(L"lib\\gone.jar")), invalidBox()});
    EXPECT_TRUE(typical.app.javaRuns().empty());
}

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

// What the runtime and the application receive, as the C runtime splits it.
TEST(EndToEnd, OptionsArgumentsAndTheShellsArgumentsArriveAsWritten) {
    TypicalApplication typical;
    typical.app.environment[L"TAVRIN_TEST_HOME"] = L"C:\\Users\\Ana";
    typical.app.arguments = {L"C:\\Users\\Ana\\Documents\\plan 2026.xml", L"say \"hi\"",
                             L"C:\\trailing\\", L"", L"\u65e5\u672c \u041f"};
    typical.app.writeSettings(
        settingsWith({{"java-options", "-Xmx64m -Dapp.home=\"%TAVRIN_TEST_HOME%\\Example App\""},
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

DWORD processIdIn(const std::wstring& a_file) {
    for (int i = 0; i < 1000 && (!pathExists(a_file) || readFileBytes(a_file).empty()); ++i) {
        Sleep(10);
    }
    return pathExists(a_file)
               ? static_cast<DWORD>(std::strtoul(readFileBytes(a_file).c_str(), nullptr, 10))
               : 0;
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

TEST(EndToEnd, AReadOnlySettingsFileIsLeftAsItWas) {
    TypicalApplication typical;
    const std::string settings = settingsWith();
    typical.app.writeSettings(settings);
    ASSERT_TRUE(
        SetFileAttributesW(typical.app.path(L"tavrin.ini").c_str(), FILE_ATTRIBUTE_READONLY));
    const RunResult result = typical.app.run();
    EXPECT_EQ(result.exitCode, -8);
    EXPECT_TRUE(result.dialogs.empty());
    EXPECT_EQ(typical.app.javaRuns().size(), 2u) << "the application was not launched";
    EXPECT_EQ(typical.app.settings(), settings);
    SetFileAttributesW(typical.app.path(L"tavrin.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
}

FILETIME lastWritten(const std::wstring& a_path) {
    FILETIME written{};
    UniqueFile file(CreateFileW(a_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(GetFileTime(file.get(), nullptr, nullptr, &written));
    return written;
}

// An author's file keeps every byte but the value the launcher owns, and a
// start that finds the value right does not write at all.
TEST(EndToEnd, TheSettingsFileKeepsEveryByteButJavaLocation) {
    TypicalApplication typical;
    const std::string head = "\xEF\xBB\xBF; Example settings\n; a NUL: " + std::string(1, '\0') +
                             " here\n\n[tavrin]\njar-file-name = lib\\app.jar\n"
                             "min-java-version=1.5\nwait-for-exit\t=\t1\nask-for-java-location=0\n"
                             "allow-newer-version=1\nJava-Location=C:\\elsewhere\n";
    const std::string tail =
        "not an entry\n\n[other]\r\npath=C:\\\xE9t\xE9\r\n; the last line, with no line end";
    const std::wstring path = typical.app.path(L"tavrin.ini");
    typical.app.writeSettings(head + tail);
    EXPECT_EQ(typical.app.run().exitCode, 0);
    const std::string rewritten = head + "java-location=java.exe\n" + tail;
    EXPECT_EQ(typical.app.settings(), rewritten);

    const SYSTEMTIME longAgo{2001, 1, 1, 1, 12, 0, 0, 0};
    FILETIME marked{};
    ASSERT_TRUE(SystemTimeToFileTime(&longAgo, &marked));
    {
        UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                    0, nullptr));
        ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &marked));
    }
    EXPECT_EQ(typical.app.run().exitCode, 0);
    EXPECT_EQ(typical.app.settings(), rewritten);
    const FILETIME after = lastWritten(path);
    EXPECT_EQ(CompareFileTime(&marked, &after), 0) << "written again";
}

std::wstring finalPathOf(const std::wstring& a_path) {
    UniqueFile file(CreateFileW(a_path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    wchar_t path[MAX_PATH * 2] = L"";
    GetFinalPathNameByHandleW(file.get(), path, MAX_PATH * 2, FILE_NAME_NORMALIZED);
    return path;
}

// Under Wine, GetFinalPathNameByHandleW reports the file a Unix symbolic link
// points to (\\?\Z:\...\shared.ini), while GetFileAttributesW shows no
// reparse point and GetFullPathNameW keeps the link's own name.
TEST(EndToEnd, ASettingsFileThatIsALinkIsRewrittenWhereItPoints) {
    const std::wstring shared = linkedSettingsFolder() + L"\\shared.ini";
    TypicalApplication typical(linkedSettingsFolder() + L"\\App");
    const std::wstring link = typical.app.path(L"tavrin.ini");
    ASSERT_TRUE(samePath(finalPathOf(link), L"\\\\?\\" + shared))
        << "App\\tavrin.ini is no link to shared.ini: configure the build again";
    typical.app.writeSettings(settingsWith()); // through the link
    EXPECT_EQ(typical.app.run().exitCode, 0);
    EXPECT_EQ(readFileBytes(shared), settingsWith() + "java-location=java.exe\r\n");
    EXPECT_TRUE(samePath(finalPathOf(link), L"\\\\?\\" + shared)) << "the link is gone";
    EXPECT_EQ(filesMatching(linkedSettingsFolder() + L"\\*.tmp"), std::vector<std::wstring>{});
}

TEST(EndToEnd, TenLaunchersAtOnceLeaveOneCompleteSettingsFile) {
    TypicalApplication typical;
    const std::string settings = "; written by hand\r\n\r\n" +
                                 settingsWith({{"wait-for-exit", "0"}}) +
                                 "\r\n[extra]\r\nkey=value\r\n";
    typical.app.writeSettings(settings);
    std::vector<ChildProcess> launchers;
    for (int i = 0; i < 10; ++i) {
        launchers.push_back(typical.app.start());
    }
    for (ChildProcess& launcher : launchers) {
        const RunResult result = typical.app.drive(launcher, {});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_TRUE(result.dialogs.empty());
    }
    // Every byte as it was, and java-location after the section's last key.
    EXPECT_EQ(typical.app.settings(), "; written by hand\r\n\r\n" +
                                          settingsWith({{"wait-for-exit", "0"}}) +
                                          "java-location=java.exe\r\n\r\n[extra]\r\nkey=value\r\n");
    EXPECT_TRUE(filesMatching(typical.app.path(L"*.tmp")).empty())
        << "a temporary file was left behind";
}

// --- The author's messages and the log ---

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

// Launchers started together, logging to one file: each start's lines stay
// together.
TEST(EndToEnd, LaunchersLoggingToOneFileKeepTheirLinesTogether) {
    const ScratchFolder logs(L"tavrin-log");
    const std::wstring log = logs / L"tavrin.log";
    std::vector<std::unique_ptr<TypicalApplication>> applications;
    std::vector<ChildProcess> launchers;
    for (int i = 0; i < 4; ++i) {
        applications.push_back(std::make_unique<TypicalApplication>());
        applications.back()->app.writeSettings(settingsWith());
        applications.back()->app.environment[L"TAVRIN_LOG"] = log;
        launchers.push_back(applications.back()->app.start());
    }
    for (ChildProcess& launcher : launchers) {
        EXPECT_EQ(waitForChild(launcher, 60000), 0u);
    }
    const std::string text = readFileBytes(log);
    std::size_t starts = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n\r\n", at);
        ASSERT_NE(end, std::string::npos) << text;
        const std::string block = text.substr(at, end - at);
        EXPECT_NE(block.find(" start\r\nlauncher: "), std::string::npos) << block;
        EXPECT_EQ(block.find(" start\r\n", block.find(" start\r\n") + 1), std::string::npos)
            << "two starts mixed:\n"
            << block;
        EXPECT_NE(block.find("\r\nend: exit code 0: the application was started\r\ntotal: "),
                  std::string::npos)
            << block;
        ++starts;
        at = end + 4;
    }
    EXPECT_EQ(starts, 4u);
}

// --- single-run-activate ---

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

// --- The console launcher, tavrinc.exe ---

// An inheritable file for a console launcher's standard handle.
UniqueFile standardFile(const std::wstring& a_path, DWORD a_creation) {
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
ConsoleRun runConsole(Application& a_app, const std::string& a_input, bool a_pipe = false) {
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
    EXPECT_EQ(runs[1].arguments,
              (std::vector<std::wstring>{java.executable(), L"-cp", app.path(L"lib\\app.jar"),
                                         L"app.Gui", L"--gui"}));
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

namespace {

// --- Applications that are more than one JAR ---

// Settings that start a_changes' way instead of with lib\app.jar.
std::string settingsWithoutJar(const Keys& a_changes) {
    std::string text = settingsWith(a_changes);
    const std::string jar = "jar-file-name=lib\\app.jar\r\n";
    return text.erase(text.find(jar), jar.size());
}

const std::wstring java17Report = L"openjdk version \"17.0.9\" 2023-10-17\n";

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

} // namespace

namespace {

// --- The application in the launcher's own process ---

// An application folder whose runtime is the bridge's home (its java.exe,
// jli.dll and release file), with lib\inprocess.jar.
void prepareInProcess(Application& app, const Keys& a_keys = {}) {
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

// --- The class-data archive ---

// An application of the real JVM with class-data-sharing=1 and a
// %LOCALAPPDATA% of its own; out of process (unless a_keys say otherwise),
// waited for.
struct ArchivedApplication {
    explicit ArchivedApplication(const Keys& a_keys = {}) {
        Keys keys{{"in-process", "0"}, {"class-data-sharing", "1"}};
        keys.insert(keys.end(), a_keys.begin(), a_keys.end());
        prepareInProcess(app, keys);
        app.environment[L"LOCALAPPDATA"] = localData.path();
    }
    // The archives in place, and the files of archives being made.
    std::vector<std::wstring> archives() const {
        std::vector<std::wstring> paths;
        for (const std::wstring& name : filesMatching(folder() + L"*.jsa")) {
            paths.push_back(folder() + name);
        }
        return paths;
    }
    std::vector<std::wstring> leftovers() const {
        std::vector<std::wstring> files = filesMatching(folder() + L"*.tmp");
        for (const std::wstring& marker : filesMatching(folder() + L"*.making")) {
            files.push_back(marker);
        }
        return files;
    }
    // Named after the launcher: tavrin.exe's or tavrinc.exe's.
    std::wstring folder() const {
        return localData / withoutExtension(app.launcherName) + L"\\class-data\\";
    }
    // The JVM's input arguments, as the application printed them.
    std::string input(const wchar_t* a_output = L"java.jar.run.output.file") const {
        const std::string output = readFileBytes(app.path(a_output));
        const std::size_t at = output.find("input: ");
        return at == std::string::npos ? output : output.substr(at, output.find('\n', at) - at);
    }

    ScratchFolder localData{L"tavrin-local"};
    Application app;
};

// The bridge's java.exe maps a_archive with -Xshare:on, which fails when it
// cannot, and the same JAR.
DWORD mapWithXshareOn(const std::wstring& a_archive, const std::wstring& a_jar) {
    return runChild(quotedArgument(bridgeFolder() + L"\\java.exe") + L" -Xshare:on " +
                    quotedArgument(L"-XX:SharedArchiveFile=" + a_archive) + L" -jar " +
                    quotedArgument(a_jar))
        .exitCode;
}

// The first start makes the archive, the next maps it; a changed JAR makes
// another and the old one goes; a truncated archive is never handed over.
TEST(ClassData, TheFirstStartMakesTheArchiveAndTheNextMapsIt) {
    ArchivedApplication archived;
    EXPECT_EQ(archived.app.run().exitCode, 0);
    EXPECT_NE(archived.input().find("-XX:ArchiveClassesAtExit="), std::string::npos)
        << archived.input();
    ASSERT_EQ(archived.archives().size(), 1u);
    EXPECT_TRUE(archived.leftovers().empty());
    const std::wstring first = archived.archives()[0];
    const std::wstring jar = archived.app.path(L"lib\\inprocess.jar");
    EXPECT_EQ(mapWithXshareOn(first, jar), 0u);

    EXPECT_EQ(archived.app.run().exitCode, 0);
    EXPECT_NE(archived.input().find("-XX:SharedArchiveFile="), std::string::npos)
        << archived.input();
    EXPECT_NE(archived.input().find("-Xlog:cds*=off"), std::string::npos) << archived.input();
    EXPECT_EQ(archived.archives(), std::vector<std::wstring>{first});

    // A JAR of another time: another archive, and the first one goes.
    {
        const UniqueFile file(
            CreateFileW(jar.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        FILETIME later{};
        GetSystemTimeAsFileTime(&later);
        ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &later));
    }
    EXPECT_EQ(archived.app.run().exitCode, 0);
    EXPECT_NE(archived.input().find("-XX:ArchiveClassesAtExit="), std::string::npos);
    ASSERT_EQ(archived.archives().size(), 1u);
    EXPECT_NE(archived.archives()[0], first);

    // Cut short in place: the JVM never gets it, and the application runs.
    const std::wstring second = archived.archives()[0];
    const std::string whole = readFileBytes(second);
    writeFileBytes(second, whole.substr(0, whole.size() / 2));
    EXPECT_EQ(archived.app.run().exitCode, 0);
    EXPECT_EQ(archived.input().find("-XX:SharedArchiveFile="), std::string::npos)
        << archived.input();
    EXPECT_NE(readFileBytes(archived.app.path(L"java.jar.run.output.file")).find("arguments: "),
              std::string::npos);
    ASSERT_EQ(archived.archives().size(), 1u);
    EXPECT_EQ(mapWithXshareOn(archived.archives()[0], jar), 0u);
}

// Two starts at once without an archive: both run, one makes it.
TEST(ClassData, TwoStartsAtOnceLeaveOneWholeArchive) {
    ArchivedApplication archived(Keys{{"pass-arguments", "1"}});
    const std::wstring endSignal = archived.app.scratch() / L"end-the-applications";
    archived.app.arguments = {L"until", endSignal};
    ChildProcess first = archived.app.start();
    ChildProcess second = archived.app.start();
    const std::wstring firstOutput = archived.app.path(L"java.jar.run.output.file");
    const std::wstring secondOutput = archived.app.path(L"java.jar.run.2.output.file");
    for (int i = 0;
         i < 3000 && !(pathExists(firstOutput) && pathExists(secondOutput) &&
                       !readFileBytes(firstOutput).empty() && !readFileBytes(secondOutput).empty());
         ++i) {
        Sleep(10);
    }
    writeFileBytes(endSignal, "");
    EXPECT_EQ(archived.app.drive(first, {}).exitCode, 0);
    EXPECT_EQ(archived.app.drive(second, {}).exitCode, 0);
    const std::string inputs = archived.input() + archived.input(L"java.jar.run.2.output.file");
    std::size_t makers = 0;
    for (std::size_t at = inputs.find("ArchiveClassesAtExit"); at != std::string::npos;
         at = inputs.find("ArchiveClassesAtExit", at + 1)) {
        ++makers;
    }
    EXPECT_EQ(makers, 1u) << inputs;
    ASSERT_EQ(archived.archives().size(), 1u);
    EXPECT_TRUE(archived.leftovers().empty());
    EXPECT_EQ(mapWithXshareOn(archived.archives()[0], archived.app.path(L"lib\\inprocess.jar")),
              0u);
}

// The console launcher's streams carry the application's lines only, and in
// process the archive made by one start is used by the next.
TEST(ClassData, NoWordOfTheArchiveOnTheConsoleAndInProcessToo) {
    ArchivedApplication console;
    console.app.useConsoleLauncher();
    for (const char* round : {"making", "using"}) {
        SCOPED_TRACE(round);
        const ConsoleRun run = runConsole(console.app, "");
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(run.error, "");
        std::size_t lines = 0;
        for (std::size_t at = 0; at < run.output.size(); at = run.output.find('\n', at) + 1) {
            const std::string line = run.output.substr(at, run.output.find('\n', at) - at);
            EXPECT_TRUE(line.rfind("command: ", 0) == 0 || line.rfind("arguments: ", 0) == 0 ||
                        line.rfind("input: ", 0) == 0)
                << line;
            ++lines;
        }
        EXPECT_EQ(lines, 3u) << run.output;
    }
    EXPECT_EQ(console.archives().size(), 1u);

    ArchivedApplication inProcess(Keys{{"in-process", "1"}});
    EXPECT_EQ(inProcess.app.run().exitCode, 0);
    EXPECT_NE(inProcess.input().find("-XX:ArchiveClassesAtExit="), std::string::npos);
    EXPECT_EQ(inProcess.app.run().exitCode, 0);
    EXPECT_NE(inProcess.input().find("-XX:SharedArchiveFile="), std::string::npos)
        << inProcess.input();
    EXPECT_NE(readFileBytes(inProcess.app.path(L"java.jar.run.output.file")).find("wine"),
              std::string::npos);
}

// Java before 13 gets no archive option.
TEST(ClassData, AJava8RuntimeGetsNoArchiveOption) {
    TypicalApplication typical;
    const ScratchFolder localData(L"tavrin-local");
    typical.app.environment[L"LOCALAPPDATA"] = localData.path();
    typical.app.writeSettings(settingsWith({{"class-data-sharing", "1"}}));
    EXPECT_EQ(typical.app.run().exitCode, 0);
    const std::vector<JavaRecord> runs = typical.app.javaRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].arguments,
              (std::vector<std::wstring>{L"java.exe", L"-jar", typical.app.path(L"lib\\app.jar")}));
}

} // namespace

#include "runtime/java_discovery.h"

#include "runtime/java_candidate.h"
#include "settings/settings_file.h"

#include "expected_messages.h"
#include "java_version_samples.h"
#include "platform/paths.h"
#include "scripted_host.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace testing_support;
using Answer = ScriptedHost::ProcessAnswer;

std::wstring m1() {
    return L"box Error: " + expected::noJavaRuntime;
}
std::wstring m2(const std::wstring& a_min) {
    return L"box Error: " + expected::versionUnreadable(a_min);
}
std::wstring m3(const std::wstring& a_min) {
    return L"box Error: " + expected::versionUnsuitable(a_min);
}
std::wstring m4(const std::wstring& a_min) {
    return L"box Error: " + expected::versionUnsuitableAsk(a_min);
}
std::wstring run(const std::wstring& a_commandLine) {
    return L"run " + a_commandLine;
}
const std::wstring folder = L"folder";

Answer reportOnError(const std::string& a_version) {
    return {ProcessCode::succeeded, "",
            "java version \"" + a_version + "\"\nJava(TM) SE Runtime Environment\n"};
}
const Answer notStarted{ProcessCode::notStarted, "", ""};

JavaSearchRequest request(const std::wstring& a_min, const std::wstring& a_location = L"",
                          bool a_ask = true, bool a_allowNewer = true,
                          const std::wstring& a_max = L"") {
    JavaSearchRequest result;
    result.minJavaVersionText = a_min;
    EXPECT_TRUE(readJavaVersion(a_min, result.minJavaVersion));
    if (!a_max.empty()) {
        result.maxJavaVersion.emplace();
        EXPECT_TRUE(readJavaVersion(a_max, *result.maxJavaVersion));
    }
    result.javaLocation = a_location;
    result.askForJavaLocation = a_ask;
    result.allowNewerVersion = a_allowNewer;
    return result;
}

JavaSearchRequest withoutInstalledRuntimes(JavaSearchRequest a_request) {
    a_request.findInstalledJava = false;
    return a_request;
}

struct SearchCase {
    const char* name;
    JavaSearchRequest request;
    std::vector<Answer> runs;
    std::vector<std::wstring> folders;
    std::vector<int> boxAnswers;
    std::vector<std::wstring> expectedLog;
    bool found;
    std::wstring executable;    // remembered in java-location
    std::wstring command = L""; // the launch line's head, when it differs
    std::vector<std::wstring> installed = {};
};

void expectSearch(const SearchCase& a_case) {
    SCOPED_TRACE(a_case.name);
    ScriptedHost host;
    host.processAnswers.assign(a_case.runs.begin(), a_case.runs.end());
    host.folderAnswers.assign(a_case.folders.begin(), a_case.folders.end());
    host.boxAnswers.assign(a_case.boxAnswers.begin(), a_case.boxAnswers.end());
    host.installedRuntimes = a_case.installed;
    const JavaSearchResult result = findJavaRuntime(a_case.request, host);
    EXPECT_EQ(host.log, a_case.expectedLog);
    EXPECT_EQ(result.javaFound, a_case.found);
    if (a_case.found) {
        EXPECT_EQ(result.javaExecutable, a_case.executable);
        EXPECT_EQ(result.javaCommand, a_case.command.empty() ? a_case.executable : a_case.command);
    }
    EXPECT_TRUE(host.processAnswers.empty()) << "scripted runs left over";
    EXPECT_TRUE(host.folderAnswers.empty()) << "scripted folders left over";
    EXPECT_TRUE(host.boxAnswers.empty()) << "scripted answers left over";
    // Every check asks for the version the same way.
    for (const ScriptedHost::ProcessCall& call : host.processCalls) {
        EXPECT_EQ(call.baseName, moduleRelativePath(L"java.version.check"));
        EXPECT_TRUE(call.collect);
        EXPECT_TRUE(call.wait);
        EXPECT_EQ(call.timeoutMs, 3000u);
    }
}

TEST(FindJavaRuntime, FirstCandidateFromTheConfiguredLocation) {
    SetEnvironmentVariableW(L"TAVRIN_TEST_JDK", L"D:\\jdk 17");
    const SearchCase cases[] = {
        {"no location",
         request(L"1.5"),
         {reportOnError("1.6.0_20")},
         {},
         {},
         {run(L"java -version")},
         true,
         L"java.exe"},
        {"java",
         request(L"1.5", L"java"),
         {reportOnError("1.6.0_20")},
         {},
         {},
         {run(L"java -version")},
         true,
         L"java.exe"},
        {"java.exe",
         request(L"1.5", L"java.exe"),
         {reportOnError("1.6.0_20")},
         {},
         {},
         {run(L"java -version")},
         true,
         L"java.exe"},
        {"JAVA.EXE is a folder, relative to the launcher",
         request(L"1.5", L"JAVA.EXE"),
         {reportOnError("1.6")},
         {},
         {},
         {run(moduleRelativePath(L"JAVA.EXE\\java -version "))},
         true,
         L"JAVA.EXE\\java.exe",
         moduleRelativePath(L"JAVA.EXE\\java.exe")},
        {"folder",
         request(L"1.5", L"C:\\jdk\\bin"),
         {reportOnError("1.6")},
         {},
         {},
         {run(L"C:\\jdk\\bin\\java -version ")},
         true,
         L"C:\\jdk\\bin\\java.exe"},
        {"folder with backslash",
         request(L"1.5", L"C:\\jdk\\bin\\"),
         {reportOnError("1.6")},
         {},
         {},
         {run(L"C:\\jdk\\bin\\java -version ")},
         true,
         L"C:\\jdk\\bin\\java.exe"},
        {"executable",
         request(L"1.5", L"C:\\jdk\\bin\\java.exe"),
         {reportOnError("1.6")},
         {},
         {},
         {run(L"C:\\jdk\\bin\\java.exe -version ")},
         true,
         L"C:\\jdk\\bin\\java.exe"},
        {"Java.exe in other letters is a folder",
         request(L"1.5", L"C:\\jdk\\bin\\Java.exe"),
         {reportOnError("1.6")},
         {},
         {},
         {run(L"C:\\jdk\\bin\\Java.exe\\java -version ")},
         true,
         L"C:\\jdk\\bin\\Java.exe\\java.exe"},
        {"executable with blanks is quoted",
         request(L"1.5", L"C:\\Program Files\\Java\\bin\\java.exe"),
         {reportOnError("1.6")},
         {},
         {},
         {run(L"\"C:\\Program Files\\Java\\bin\\java.exe\" -version ")},
         true,
         L"C:\\Program Files\\Java\\bin\\java.exe",
         L"\"C:\\Program Files\\Java\\bin\\java.exe\""},
        {"options after the executable stay options, unquoted",
         request(L"1.5", L"C:\\Program Files\\Java\\bin\\java.exe -Xmx1g -Da=\"b c\""),
         {reportOnError("1.6")},
         {},
         {},
         {run(L"\"C:\\Program Files\\Java\\bin\\java.exe\" -Xmx1g -Da=\"b c\" -version ")},
         true,
         L"C:\\Program Files\\Java\\bin\\java.exe -Xmx1g -Da=\"b c\"",
         L"\"C:\\Program Files\\Java\\bin\\java.exe\" -Xmx1g -Da=\"b c\""},
        {"relative folder",
         request(L"1.5", L"runtime\\bin"),
         {reportOnError("1.6")},
         {},
         {},
         {run(moduleRelativePath(L"runtime\\bin\\java -version "))},
         true,
         L"runtime\\bin\\java.exe",
         moduleRelativePath(L"runtime\\bin\\java.exe")},
        {"relative executable above the launcher's folder",
         request(L"1.5", L"..\\jdk\\bin\\java.exe"),
         {reportOnError("1.6")},
         {},
         {},
         {run(moduleRelativePath(L"..\\jdk\\bin\\java.exe -version "))},
         true,
         L"..\\jdk\\bin\\java.exe",
         moduleRelativePath(L"..\\jdk\\bin\\java.exe")},
        {"a slash or a backslash first is not relative",
         request(L"1.5", L"/jdk/bin"),
         {reportOnError("1.6")},
         {},
         {},
         {run(L"/jdk/bin\\java -version ")},
         true,
         L"/jdk/bin\\java.exe"},
        {"a variable: expanded to run, kept to remember",
         request(L"1.5", L"%TAVRIN_TEST_JDK%\\bin"),
         {reportOnError("1.6")},
         {},
         {},
         {run(L"\"D:\\jdk 17\\bin\\java\" -version ")},
         true,
         L"%TAVRIN_TEST_JDK%\\bin\\java.exe",
         L"\"D:\\jdk 17\\bin\\java.exe\""},
        {"folder with a tab is quoted",
         request(L"1.5", L"C:\\My\tJava"),
         {reportOnError("1.6")},
         {},
         {},
         {run(L"\"C:\\My\tJava\\java\" -version ")},
         true,
         L"C:\\My\tJava\\java.exe",
         L"\"C:\\My\tJava\\java.exe\""},
        {"already quoted stays as written",
         request(L"1.5", L"\"C:\\Program Files\\Java\\bin\\java.exe\""),
         {reportOnError("1.6")},
         {},
         {},
         {run(L"\"C:\\Program Files\\Java\\bin\\java.exe\" -version ")},
         true,
         L"\"C:\\Program Files\\Java\\bin\\java.exe\""},
    };
    for (const SearchCase& c : cases) {
        expectSearch(c);
    }
    SetEnvironmentVariableW(L"TAVRIN_TEST_JDK", nullptr);
}

TEST(FindJavaRuntime, NoRuntimeFallsBackOnceThenAsks) {
    const SearchCase cases[] = {
        {"configured and plain both missing, not asking",
         request(L"1.6", L"C:\\jdk\\bin", false),
         {notStarted, notStarted},
         {},
         {},
         {run(L"C:\\jdk\\bin\\java -version "), run(L"java -version"), m2(L"1.6")},
         false,
         L""},
        {"configured missing, plain found",
         request(L"1.6", L"C:\\jdk\\bin", false),
         {notStarted, reportOnError("1.8.0_321")},
         {},
         {},
         {run(L"C:\\jdk\\bin\\java -version "), run(L"java -version")},
         true,
         L"java"},
        {"plain missing, not asking",
         request(L"1.6", L"", false),
         {notStarted},
         {},
         {},
         {run(L"java -version"), m2(L"1.6")},
         false,
         L""},
        {"configured and plain missing, dialog cancelled",
         request(L"1.6", L"C:\\jdk\\bin"),
         {notStarted, notStarted},
         {L""},
         {},
         {run(L"C:\\jdk\\bin\\java -version "), run(L"java -version"), folder, m1()},
         false,
         L""},
        {"chosen folder",
         request(L"1.6"),
         {notStarted, reportOnError("1.7.0")},
         {L"D:\\jdk\\bin"},
         {},
         {run(L"java -version"), folder, run(L"D:\\jdk\\bin\\java.exe -version ")},
         true,
         L"D:\\jdk\\bin\\java.exe"},
        {"chosen drive root",
         request(L"1.6"),
         {notStarted, reportOnError("1.7.0")},
         {L"D:\\"},
         {},
         {run(L"java -version"), folder, run(L"D:\\java.exe -version ")},
         true,
         L"D:\\java.exe"},
        {"chosen folder with blanks",
         request(L"1.6"),
         {notStarted, reportOnError("1.7.0")},
         {L"C:\\Program Files\\Java"},
         {},
         {run(L"java -version"), folder, run(L"\"C:\\Program Files\\Java\\java.exe\" -version ")},
         true,
         L"C:\\Program Files\\Java\\java.exe",
         L"\"C:\\Program Files\\Java\\java.exe\""},
        {"chosen folder without java, asked again",
         request(L"1.6"),
         {notStarted, notStarted, notStarted},
         {L"D:\\empty", L"E:\\none", L""},
         {},
         {run(L"java -version"), folder, run(L"D:\\empty\\java.exe -version "), folder,
          run(L"E:\\none\\java.exe -version "), folder, m1()},
         false,
         L""},
    };
    for (const SearchCase& c : cases) {
        expectSearch(c);
    }
}

TEST(FindJavaRuntime, VersionsAreOrderedAgainstTheMinimum) {
    const SearchCase cases[] = {
        {"equal",
         request(L"1.6", L"", true, false),
         {reportOnError("1.6.0_20")},
         {},
         {},
         {run(L"java -version")},
         true,
         L"java.exe"},
        {"newer allowed",
         request(L"1.6"),
         {reportOnError("11.0.2")},
         {},
         {},
         {run(L"java -version")},
         true,
         L"java.exe"},
        {"older, not asking",
         request(L"1.6", L"", false),
         {reportOnError("1.5.0_22")},
         {},
         {},
         {run(L"java -version"), m3(L"1.6")},
         false,
         L""},
        {"newer refused, not asking",
         request(L"1.6", L"", false, false),
         {reportOnError("1.7")},
         {},
         {},
         {run(L"java -version"), m3(L"1.6")},
         false,
         L""},
        {"minimum shown as written",
         request(L"1.6.0_10", L"", false),
         {reportOnError("1.5")},
         {},
         {},
         {run(L"java -version"), m3(L"1.6.0_10")},
         false,
         L""},
        {"older, Abort",
         request(L"1.6"),
         {reportOnError("1.5")},
         {},
         {IDABORT},
         {run(L"java -version"), m4(L"1.6")},
         false,
         L""},
        {"older, Ignore",
         request(L"1.6", L"C:\\old\\bin"),
         {reportOnError("1.5")},
         {},
         {IDIGNORE},
         {run(L"C:\\old\\bin\\java -version "), m4(L"1.6")},
         true,
         L"C:\\old\\bin\\java.exe"},
        {"newer refused, Ignore",
         request(L"1.6", L"", true, false),
         {reportOnError("17.0.1")},
         {},
         {IDIGNORE},
         {run(L"java -version"), m4(L"1.6")},
         true,
         L"java.exe"},
        {"box not shown stops the search",
         request(L"1.6"),
         {reportOnError("1.5")},
         {},
         {0},
         {run(L"java -version"), m4(L"1.6")},
         false,
         L""},
        {"older, Retry tries the plain command after a configured location",
         request(L"1.6", L"C:\\old\\bin"),
         {reportOnError("1.5"), reportOnError("1.8")},
         {},
         {IDRETRY},
         {run(L"C:\\old\\bin\\java -version "), m4(L"1.6"), run(L"java -version")},
         true,
         L"java"},
        {"older, Retry opens the dialog",
         request(L"1.6"),
         {reportOnError("1.5")},
         {L""},
         {IDRETRY},
         {run(L"java -version"), m4(L"1.6"), folder, m1()},
         false,
         L""},
        {"within the maximum",
         request(L"11", L"", false, true, L"17"),
         {reportOnError("17.0.12")},
         {},
         {},
         {run(L"java -version")},
         true,
         L"java.exe"},
        {"above the maximum, not asking",
         request(L"11", L"", false, true, L"17"),
         {reportOnError("21.0.1")},
         {},
         {},
         {run(L"java -version"), m3(L"11")},
         false,
         L""},
        {"above the maximum, Retry opens the dialog",
         request(L"11", L"", true, true, L"17"),
         {reportOnError("21.0.1"), reportOnError("17")},
         {L"D:\\jdk17"},
         {IDRETRY},
         {run(L"java -version"), m4(L"11"), folder, run(L"D:\\jdk17\\java.exe -version ")},
         true,
         L"D:\\jdk17\\java.exe"},
        {"the maximum with newer versions refused",
         request(L"11", L"", false, false, L"17"),
         {reportOnError("17")},
         {},
         {},
         {run(L"java -version"), m3(L"11")},
         false,
         L""},
        {"the fallback is taken only once",
         request(L"1.6", L"C:\\old\\bin"),
         {notStarted, reportOnError("1.5"), reportOnError("1.4"), reportOnError("1.6")},
         {L"D:\\a", L"D:\\b"},
         {IDRETRY, IDRETRY},
         {run(L"C:\\old\\bin\\java -version "), run(L"java -version"), m4(L"1.6"), folder,
          run(L"D:\\a\\java.exe -version "), m4(L"1.6"), folder, run(L"D:\\b\\java.exe -version ")},
         true,
         L"D:\\b\\java.exe"},
    };
    for (const SearchCase& c : cases) {
        expectSearch(c);
    }
}

TEST(FindJavaRuntime, ReportsThatCannotBeReadOrRunsThatFail) {
    const SearchCase cases[] = {
        {"no quotes",
         request(L"1.6"),
         {{ProcessCode::succeeded, "", "java version 1.6.0\n"}},
         {},
         {},
         {run(L"java -version"), m2(L"1.6")},
         false,
         L""},
        {"one quote",
         request(L"1.6"),
         {{ProcessCode::succeeded, "", "java version \"1.6.0\n"}},
         {},
         {},
         {run(L"java -version"), m2(L"1.6")},
         false,
         L""},
        {"adjacent quotes",
         request(L"1.6"),
         {{ProcessCode::succeeded, "", "java version \"\" \"1.6\"\n"}},
         {},
         {},
         {run(L"java -version"), m2(L"1.6")},
         false,
         L""},
        {"no output at all",
         request(L"1.6"),
         {{ProcessCode::succeeded, "", ""}},
         {},
         {},
         {run(L"java -version"), m2(L"1.6")},
         false,
         L""},
        {"not a version",
         request(L"1.6"),
         {{ProcessCode::succeeded, "", "version \"unknown\"\n"}},
         {},
         {},
         {run(L"java -version"), m2(L"1.6")},
         false,
         L""},
        {"standard output comes first",
         request(L"1.6"),
         {{ProcessCode::succeeded, "java version \"1.8.0\"\n", "java version \"1.5.0\"\n"}},
         {},
         {},
         {run(L"java -version")},
         true,
         L"java.exe"},
        {"output only on standard output",
         request(L"1.6"),
         {{ProcessCode::succeeded, "version \"1.8\"", ""}},
         {},
         {},
         {run(L"java -version")},
         true,
         L"java.exe"},
        {"options echoed before the report",
         request(L"1.6"),
         {{ProcessCode::succeeded, "",
           "Picked up JAVA_TOOL_OPTIONS: -Dname=\"x y\"\nNOTE: Picked up JDK_JAVA_OPTIONS: "
           "\"-Da=1\"\nopenjdk version \"17.0.6\" 2023-01-17\n"}},
         {},
         {},
         {run(L"java -version")},
         true,
         L"java.exe"},
        {"time limit passed",
         request(L"1.6"),
         {{ProcessCode::timedOut, "", "java version \"1.8\""}},
         {},
         {},
         {run(L"java -version")},
         false,
         L""},
        {"output not read back",
         request(L"1.6"),
         {{ProcessCode::notReadBack, "", ""}},
         {},
         {},
         {run(L"java -version")},
         false,
         L""},
    };
    for (const SearchCase& c : cases) {
        expectSearch(c);
    }
}

// Before the first message or question: the installed runtimes, silently.
TEST(FindJavaRuntime, InstalledRuntimesBeforeTheUserIsBothered) {
    const std::wstring jdk8 = L"C:\\Java\\jdk8\\bin\\java.exe";
    const std::wstring jdk17 = L"C:\\Program Files\\Java\\jdk17\\bin\\java.exe";
    const std::wstring jdk21 = L"D:\\jdk21\\bin\\java.exe";
    const std::wstring runJdk8 = run(jdk8 + L" -version ");
    const std::wstring runJdk17 = run(L"\"" + jdk17 + L"\" -version ");
    const std::wstring runJdk21 = run(jdk21 + L" -version ");
    const SearchCase cases[] = {
        {"none on the search path: the first that suits",
         request(L"11"),
         {notStarted, reportOnError("1.8.0_392"), reportOnError("17.0.9")},
         {},
         {},
         {run(L"java -version"), runJdk8, runJdk17},
         true,
         jdk17,
         L"\"" + jdk17 + L"\"",
         {jdk8, jdk17, jdk21}},
        {"the configured one too old: no question",
         request(L"11", L"C:\\Java\\jdk8\\bin", true),
         {reportOnError("1.8"), reportOnError("21")},
         {},
         {},
         {run(L"C:\\Java\\jdk8\\bin\\java -version "), runJdk21},
         true,
         jdk21,
         L"",
         {L"c:\\java\\JDK8\\bin\\java.exe", jdk21}},
        {"a report that cannot be read: no message",
         request(L"11"),
         {{ProcessCode::succeeded, "", "no version here"}, reportOnError("21")},
         {},
         {},
         {run(L"java -version"), runJdk21},
         true,
         jdk21,
         L"",
         {jdk21}},
        {"none suits: the messages about the first runtime",
         request(L"11", L"", false),
         {reportOnError("1.8"),
          {ProcessCode::timedOut, "", ""},
          {ProcessCode::succeeded, "", "???"},
          notStarted},
         {},
         {},
         {run(L"java -version"), runJdk8, runJdk17, runJdk21, m3(L"11")},
         false,
         L"",
         L"",
         {jdk8, jdk17, jdk21}},
        {"none suits: Retry goes on to the java command and the folder, without looking again",
         request(L"11", L"C:\\old\\bin"),
         {reportOnError("1.8"), reportOnError("1.8"), reportOnError("10")},
         {L""},
         {IDRETRY, IDRETRY},
         {run(L"C:\\old\\bin\\java -version "), runJdk8, m4(L"11"), run(L"java -version"),
          m4(L"11"), folder, m1()},
         false,
         L"",
         L"",
         {jdk8}},
        {"none suits: Ignore takes the runtime the question was about",
         request(L"11", L"C:\\old\\bin"),
         {reportOnError("1.8"), reportOnError("1.8")},
         {},
         {IDIGNORE},
         {run(L"C:\\old\\bin\\java -version "), runJdk8, m4(L"11")},
         true,
         L"C:\\old\\bin\\java.exe",
         L"",
         {jdk8}},
        {"switched off: the configured runtime and the user's choice only",
         withoutInstalledRuntimes(request(L"11", L"", false)),
         {notStarted},
         {},
         {},
         {run(L"java -version"), m2(L"11")},
         false,
         L"",
         L"",
         {jdk21}},
        {"the first runtime suits: nothing else runs",
         request(L"11"),
         {reportOnError("17")},
         {},
         {},
         {run(L"java -version")},
         true,
         L"java.exe",
         L"",
         {jdk21}},
    };
    for (const SearchCase& c : cases) {
        expectSearch(c);
    }
}

TEST(FindJavaRuntime, InstalledRuntimesAreLookedUpOnlyWhenNeededAndOnce) {
    const struct {
        JavaSearchRequest request;
        std::vector<Answer> runs;
        std::vector<int> boxAnswers;
        int queries;
    } cases[] = {
        {request(L"11"), {reportOnError("17")}, {}, 0},
        {withoutInstalledRuntimes(request(L"11", L"", false)), {notStarted}, {}, 0},
        {request(L"11", L"C:\\old\\bin"),
         {reportOnError("1.8"), reportOnError("1.8")},
         {IDRETRY, IDABORT},
         1},
    };
    for (const auto& c : cases) {
        ScriptedHost host;
        host.processAnswers.assign(c.runs.begin(), c.runs.end());
        host.boxAnswers.assign(c.boxAnswers.begin(), c.boxAnswers.end());
        findJavaRuntime(c.request, host);
        EXPECT_EQ(host.installedRuntimeQueries, c.queries);
    }
}

TEST(FindJavaRuntime, CaptureFilesGoToTheTemporaryFolderWhenTheAppFolderRefusesThem) {
    ScriptedHost host;
    host.processAnswers = {{ProcessCode::noRedirectionFiles, "", ""}, reportOnError("1.8")};
    const JavaSearchResult result = findJavaRuntime(request(L"1.6"), host);
    EXPECT_TRUE(result.javaFound);
    ASSERT_EQ(host.processCalls.size(), 2u);
    EXPECT_EQ(host.processCalls[0].baseName, moduleRelativePath(L"java.version.check"));
    wchar_t temporary[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
    EXPECT_EQ(host.processCalls[1].baseName,
              std::wstring(temporary, length) + L"java.version.check");
    EXPECT_EQ(host.processCalls[1].commandLine, L"java -version");

    // When the temporary folder refuses them too, the search ends silently.
    ScriptedHost refused;
    refused.processAnswers = {{ProcessCode::noRedirectionFiles, "", ""},
                              {ProcessCode::noRedirectionFiles, "", ""}};
    EXPECT_FALSE(findJavaRuntime(request(L"1.6"), refused).javaFound);
    EXPECT_EQ(refused.log,
              (std::vector<std::wstring>{run(L"java -version"), run(L"java -version")}));
}

// What each real report gives against a minimum of 1.6: its version is read
// and the runtime launched, it is too old, or the version cannot be read.
TEST(FindJavaRuntime, RealReports) {
    enum class Outcome { launch, tooOld, unreadable };
    const struct {
        const char* name;
        Outcome outcome;
        int major;
        int minor;
    } expectations[] = {
        {"sun-1.3.1-rc1-solaris-interpreted-in-test-comment", Outcome::tooOld, 1, 3},
        {"sun-1.5.0_02-first-line-only", Outcome::tooOld, 1, 5},
        {"sun-1.6.0_20-client-sharing", Outcome::launch, 1, 6},
        {"apple-1.6.0_22-macos", Outcome::launch, 1, 6},
        {"oracle-1.8.0_321-64bit-windows", Outcome::launch, 1, 8},
        {"oracle-10-ga-stderr-not-piped", Outcome::launch, 10, 0},
        {"openjdk-13-ea+32-fixture", Outcome::launch, 13, 0},
        {"oracle-17-ga", Outcome::launch, 17, 0},
        {"openjdk-21-ea+14-with-javac-line", Outcome::launch, 21, 0},
        {"openjdk-21-ea+25-test-fixture", Outcome::launch, 21, 0},
        {"ubuntu-icedtea-2.6.6-1.7.0_101", Outcome::launch, 1, 7},
        {"redhat-11.0.24", Outcome::launch, 11, 0},
        {"ubuntu-openjdk-17.0.12", Outcome::launch, 17, 0},
        {"adoptopenjdk-11.0.9.1-windows", Outcome::launch, 11, 0},
        {"adoptium-8u312-beta-escaped", Outcome::unreadable, 0, 0},
        {"ibm-j9-1.8.0-sr3fp11", Outcome::launch, 1, 8},
        {"openj9-9-internal-jit-disabled", Outcome::launch, 9, 0},
        {"zing-20.03-jdk8-fixture", Outcome::launch, 1, 8},
        {"zulu-11.0.20-lts", Outcome::launch, 11, 0},
        {"corretto-11.0.10-scraped-joined-with-line-numbers", Outcome::launch, 11, 0},
        {"graalvm-1.0.0-rc9-jdk8-inline", Outcome::launch, 1, 8},
        {"ojdkbuild-1.8.0_201-fixture", Outcome::launch, 1, 8},
        {"sapmachine-13.0.2-macos", Outcome::launch, 13, 0},
        {"dragonwell-21.0.4.0.4-extended", Outcome::launch, 21, 0},
        {"gij-4.1.0-ubuntu-dapper", Outcome::tooOld, 1, 4},
        {"openjdk-17.0.6-picked-up-java-options", Outcome::launch, 17, 0},
        {"error-could-not-reserve-heap-login-node", Outcome::unreadable, 0, 0},
        {"error-missing-server-jvm-windows", Outcome::unreadable, 0, 0},
    };
    ASSERT_EQ(std::size(expectations), std::size(javaVersionSamples));
    for (std::size_t i = 0; i < std::size(expectations); ++i) {
        const auto& expected = expectations[i];
        const JavaVersionSample& sample = javaVersionSamples[i];
        ASSERT_STREQ(sample.name, expected.name);
        SCOPED_TRACE(sample.name);

        std::wstring versionText;
        JavaVersion version;
        const bool readable =
            extractVersionText(sample.report, versionText) && readJavaVersion(versionText, version);
        EXPECT_EQ(readable, expected.outcome != Outcome::unreadable);
        if (readable) {
            EXPECT_EQ(version.major, expected.major);
            EXPECT_EQ(version.minor, expected.minor);
        }

        // The whole search, with the report on standard error.
        ScriptedHost host;
        host.processAnswers = {{ProcessCode::succeeded, "", sample.report}};
        const JavaSearchResult result = findJavaRuntime(request(L"1.6", L"", false), host);
        EXPECT_EQ(result.javaFound, expected.outcome == Outcome::launch);
        std::vector<std::wstring> expectedLog{run(L"java -version")};
        if (expected.outcome == Outcome::tooOld) {
            expectedLog.push_back(m3(L"1.6"));
        } else if (expected.outcome == Outcome::unreadable) {
            expectedLog.push_back(m2(L"1.6"));
        }
        EXPECT_EQ(host.log, expectedLog);
    }
}

// With read-java-release=1 the release file in a runtime's home answers for
// it, judged as a report is; the version check runs only where it cannot.
TEST(FindJavaRuntime, TheReleaseFileAnswersBeforeAnyVersionCheck) {
    ScratchFolder scratch;
    // NAME\bin\java.exe, and NAME\release when given; returns NAME\bin.
    auto runtime = [&](const wchar_t* a_name, const char* a_release) {
        const std::wstring bin = scratch / a_name + L"\\bin";
        makeDirectories(bin);
        writeFileBytes(bin + L"\\java.exe", "MZ");
        if (a_release != nullptr) {
            writeFileBytes(scratch / a_name + L"\\release", a_release);
        }
        return bin;
    };
    const std::wstring jdk17 =
        runtime(L"jdk17", "IMPLEMENTOR=\"Eclipse Adoptium\"\nJAVA_VERSION=\"17.0.9\"\n");
    const std::wstring jdk8 =
        runtime(L"jdk8", "JAVA_VERSION=\"1.8.0_392\"\r\nOS_NAME=\"Windows\"\r\n");
    const std::wstring noFile = runtime(L"no-file", nullptr);
    const std::wstring noLine = runtime(L"no-line", "JAVA_RUNTIME_VERSION=\"17.0.9+9\"\n");
    const std::wstring notAVersion = runtime(L"not-a-version", "JAVA_VERSION=\"ea\"\n");
    const std::wstring onPath = runtime(L"on-path", "JAVA_VERSION=\"21.0.1\"\n");
    // Half removed: the release file is there, java.exe is not.
    const std::wstring noExecutable = runtime(L"no-exe", "JAVA_VERSION=\"17.0.9\"\n");
    DeleteFileW((noExecutable + L"\\java.exe").c_str());
    auto reading = [](JavaSearchRequest a_request) {
        a_request.readJavaRelease = true;
        return a_request;
    };
    wchar_t path[4096];
    const DWORD pathLength = GetEnvironmentVariableW(L"PATH", path, 4096);
    SetEnvironmentVariableW(L"PATH", onPath.c_str());
    const SearchCase cases[] = {
        {"a configured folder",
         reading(request(L"11", jdk17)),
         {},
         {},
         {},
         {},
         true,
         jdk17 + L"\\java.exe"},
        {"a configured java.exe",
         reading(request(L"11", jdk17 + L"\\java.exe")),
         {},
         {},
         {},
         {},
         true,
         jdk17 + L"\\java.exe"},
        {"the search path", reading(request(L"11")), {}, {}, {}, {}, true, L"java.exe"},
        {"an installed runtime, after one without a file and one too new",
         reading(request(L"11", noFile, true, true, L"17")),
         {notStarted},
         {},
         {},
         {run(noFile + L"\\java -version ")},
         true,
         jdk17 + L"\\java.exe",
         L"",
         {jdk17 + L"\\java.exe"}},
        {"too old, as a report would say",
         reading(request(L"11", jdk8, false)),
         {},
         {},
         {},
         {m3(L"11")},
         false,
         L""},
        {"no release file",
         reading(request(L"11", noFile)),
         {reportOnError("17.0.1")},
         {},
         {},
         {run(noFile + L"\\java -version ")},
         true,
         noFile + L"\\java.exe"},
        {"no JAVA_VERSION line",
         reading(request(L"11", noLine)),
         {reportOnError("17.0.1")},
         {},
         {},
         {run(noLine + L"\\java -version ")},
         true,
         noLine + L"\\java.exe"},
        {"not a version",
         reading(request(L"11", notAVersion)),
         {reportOnError("17.0.1")},
         {},
         {},
         {run(notAVersion + L"\\java -version ")},
         true,
         notAVersion + L"\\java.exe"},
        {"a home without java.exe: its check does not start, the java command's file answers",
         reading(request(L"11", noExecutable)),
         {notStarted},
         {},
         {},
         {run(noExecutable + L"\\java -version ")},
         true,
         L"java"},
        {"the switch absent",
         request(L"11", jdk17),
         {reportOnError("17.0.9")},
         {},
         {},
         {run(jdk17 + L"\\java -version ")},
         true,
         jdk17 + L"\\java.exe"},
    };
    for (const SearchCase& c : cases) {
        expectSearch(c);
    }
    SetEnvironmentVariableW(L"PATH", pathLength > 0 && pathLength < 4096 ? path : nullptr);
}

// The console launcher (and a service) asks nothing: the download address
// follows the message on a line of its own.
TEST(FindJavaRuntime, TheConsoleShowsTheDownloadAddress) {
    const SettingsFile none("[tavrin]\r\n");
    JavaSearchRequest console = request(L"11", L"", false);
    console.texts = MessageTexts(none, L"", true);
    console.asks = false;
    console.downloadAddress = L"https://example.com/java";
    ScriptedHost host;
    host.processAnswers = {reportOnError("1.8.0_20")};
    EXPECT_FALSE(findJavaRuntime(console, host).javaFound);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text,
              expected::versionUnsuitable(L"11") + L"\r\nhttps://example.com/java");
    EXPECT_EQ(host.messages[0].flags, static_cast<UINT>(MB_OK));
}

TEST(JavaProgramWithOptions, QuotesOnlyUpToTheFirstJavaExe) {
    const struct {
        std::wstring location;
        std::wstring command;
    } cases[] = {
        {L"C:\\jdk\\bin\\java.exe", L"C:\\jdk\\bin\\java.exe"},
        {L"C:\\jdk\\bin\\java.exe -Xmx1g", L"C:\\jdk\\bin\\java.exe -Xmx1g"},
        {L"C:\\Program Files\\Java\\bin\\java.exe -Xmx1g -Da=\"b c\"",
         L"\"C:\\Program Files\\Java\\bin\\java.exe\" -Xmx1g -Da=\"b c\""},
        {L"\"C:\\Program Files\\Java\\bin\\java.exe\" -Xmx1g",
         L"\"C:\\Program Files\\Java\\bin\\java.exe\" -Xmx1g"},
        {L"C:\\Program Files\\Java\\bin", L"\"C:\\Program Files\\Java\\bin\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(javaProgramWithOptions(c.location), c.command) << utf8(c.location);
    }
}

// A verdict travels with its runtime: after Ignore, the result carries the
// version of the runtime the question was about, however many were checked
// after it, and where that version came from.
TEST(FindJavaRuntime, TheResultCarriesTheVersionOfTheRuntimeThatStarts) {
    const ScratchFolder homes;
    const std::wstring installed = homes / L"jdk17\\bin\\java.exe";
    makeDirectories(homes / L"jdk17\\bin");
    writeFileBytes(installed, "MZ");
    writeFileBytes(homes / L"jdk17\\release", "JAVA_VERSION=\"17.0.9\"\n");
    const struct {
        const char* name;
        bool readRelease;
        std::vector<Answer> runs;
    } cases[] = {
        {"the installed one read from its release file", true, {reportOnError("1.8.0_392")}},
        {"the installed one asked for its version",
         false,
         {reportOnError("1.8.0_392"), reportOnError("17.0.9")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        JavaSearchRequest search = request(L"21", L"C:\\old\\bin");
        search.readJavaRelease = c.readRelease;
        ScriptedHost host;
        host.processAnswers.assign(c.runs.begin(), c.runs.end());
        host.boxAnswers = {IDIGNORE};
        host.installedRuntimes = {installed};
        const JavaSearchResult result = findJavaRuntime(search, host);
        ASSERT_TRUE(result.javaFound);
        EXPECT_EQ(result.javaExecutable, L"C:\\old\\bin\\java.exe");
        EXPECT_EQ(result.version.major, 1);
        EXPECT_EQ(result.version.minor, 8);
        EXPECT_FALSE(result.fromReleaseFile);
        EXPECT_TRUE(host.processAnswers.empty());
    }
}

// A configured java.exe in quotes, followed by options, is one path: the
// same runtime registered as installed is not checked again.
TEST(FindJavaRuntime, AQuotedConfiguredRuntimeIsCheckedOnce) {
    const std::wstring jdk = L"C:\\Program Files\\Java\\jdk17\\bin\\java.exe";
    const std::wstring location = L"\"" + jdk + L"\" -Xmx1g";
    EXPECT_EQ(configuredCandidate(location).executable, jdk);
    SearchCase installed{"quoted, then installed",
                         request(L"21", location, false),
                         {reportOnError("17")},
                         {},
                         {},
                         {run(location + L" -version "), m3(L"21")},
                         false,
                         L""};
    installed.installed = {jdk};
    expectSearch(installed);
}

} // namespace

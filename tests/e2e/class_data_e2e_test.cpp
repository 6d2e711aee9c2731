// End to end: the class-data archive, with the real JVM.
#include "e2e_common.h"

#include <cstring>

namespace {

using namespace e2e;
using namespace testing_support;

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

// A console application of the real JVM with class-data-sharing=1, its own
// %LOCALAPPDATA% and a log; its tavrin.ini is a_settings' keys after the
// usual ones.
struct ConsoleArchived {
    explicit ConsoleArchived(const std::string& a_settings) {
        app.useConsoleLauncher();
        app.environment[L"LOCALAPPDATA"] = localData.path();
        app.environment[L"TAVRIN_LOG"] = app.scratch() / L"tavrin.log";
        makeDirectories(app.path(L"lib"));
        app.writeSettings(
            "[tavrin]\r\nmin-java-version=9\r\njava-location=" + utf8(bridgeFolder()) +
            "\r\nread-java-release=1\r\nclass-data-sharing=1\r\n"
            "allow-newer-version=1\r\nask-for-java-location=0\r\nwait-for-exit=1\r\n"
            "pass-arguments=1\r\n" +
            a_settings);
    }
    void copyApplication(const wchar_t* a_from, const wchar_t* a_to) const {
        copyFileOrFail(javaApplications() + a_from, app.path(a_to));
    }
    // The log's class-data lines of the last start.
    std::string archiveLines() const {
        const std::string log = readFileBytes(app.scratch() / L"tavrin.log");
        std::string lines;
        for (std::size_t at = log.rfind("launcher: "); at != std::string::npos && at < log.size();
             at = log.find('\n', at) + 1) {
            const std::string line = log.substr(at, log.find('\n', at) - at);
            if (line.rfind("class-data: ", 0) == 0) {
                lines += line + "\n";
            }
            if (log.find('\n', at) == std::string::npos) {
                break;
            }
        }
        return lines;
    }

    ScratchFolder localData{L"tavrin-local"};
    Application app;
};

// The layouts and options the JVM makes no archive with: every start runs
// the application with its own exit code and nothing else on its streams,
// and none is made.
TEST(ClassData, LayoutsTheJvmArchivesNotStartCleanEveryTime) {
    const char* const unixApps = std::getenv("TAVRIN_E2E_JAVA_APPS");
    ASSERT_NE(unixApps, nullptr);
    const std::string main = "main-class=InProcessApp\r\n";
    const struct {
        const char* name;
        std::string settings;
        std::string userOptions; // the user's own java-options
        std::string why;         // the log's reason
    } cases[] = {
        // The bridge's JVM gets no JAVA_TOOL_OPTIONS from Windows: the
        // author's java-options name the agent, by its Unix path.
        {"a Java agent",
         "jar-file-name=lib\\inprocess.jar\r\njava-options=-javaagent:" + std::string(unixApps) +
             "/cds/agent.jar\r\n",
         "", "the option -javaagent:"},
        {"-Xshare:off in the user's file",
         "jar-file-name=lib\\inprocess.jar\r\nuser-settings=Example\r\n", "-Xshare:off",
         "the option -Xshare:off"},
        {"a folder with files on the class path", main + "class-path=config;lib\\*\r\n", "",
         "the class path's folder "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConsoleArchived archived(c.settings);
        archived.copyApplication(L"\\lib\\inprocess.jar", L"lib\\inprocess.jar");
        makeDirectories(archived.app.path(L"config"));
        writeFileBytes(archived.app.path(L"config\\app.properties"), "x=1\n");
        if (!c.userOptions.empty()) {
            makeDirectories(archived.localData / L"Example");
            writeFileBytes(archived.localData / L"Example\\tavrin.ini",
                           "[tavrin]\r\njava-options=" + c.userOptions + "\r\n");
        }
        archived.app.arguments = {L"exit=3"};
        for (int start = 1; start <= 2; ++start) {
            SCOPED_TRACE(start);
            const ConsoleRun run = runConsole(archived.app, "");
            EXPECT_EQ(run.exitCode, 3u) << run.error;
            EXPECT_EQ(run.error, "");
            EXPECT_EQ(run.output.rfind("command: ", 0), 0u) << run.output;
            EXPECT_EQ(run.output.find("-XX:"), std::string::npos) << run.output;
            EXPECT_NE(archived.archiveLines().find("class-data: none: " + c.why), std::string::npos)
                << archived.archiveLines();
        }
    }
}

// An exploded module on the module path: no archive, the module starts.
TEST(ClassData, AnExplodedModuleStartsWithoutAnArchive) {
    ConsoleArchived archived("module=com.example.hello/com.example.hello.Hello\r\n"
                             "module-path=mods\r\n");
    makeDirectories(archived.app.path(L"mods\\com.example.hello\\com\\example\\hello"));
    archived.copyApplication(L"\\classes\\hello\\module-info.class",
                             L"mods\\com.example.hello\\module-info.class");
    archived.copyApplication(L"\\classes\\hello\\com\\example\\hello\\Hello.class",
                             L"mods\\com.example.hello\\com\\example\\hello\\Hello.class");
    for (int start = 1; start <= 2; ++start) {
        const ConsoleRun run = runConsole(archived.app, "");
        EXPECT_EQ(run.exitCode, 0u) << run.error;
        EXPECT_EQ(run.output, "Module com.example.hello says hello\n") << run.error;
        EXPECT_EQ(run.error, "");
        EXPECT_NE(archived.archiveLines().find("holds an exploded module"), std::string::npos)
            << archived.archiveLines();
    }
}

// A JAR replaced by another of the same size and time runs the new classes;
// a dependency its manifest names, updated in place, makes a new archive.
TEST(ClassData, ReplacedJarsRunTheirNewClasses) {
    ConsoleArchived variant("jar-file-name=lib\\variant.jar\r\n");
    variant.copyApplication(L"\\cds\\variant-a.jar", L"lib\\variant.jar");
    FILETIME built{};
    {
        const UniqueFile jar(CreateFileW(variant.app.path(L"lib\\variant.jar").c_str(),
                                         GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                         nullptr));
        ASSERT_TRUE(jar && GetFileTime(jar.get(), nullptr, nullptr, &built));
    }
    for (const char* round : {"making", "using"}) {
        SCOPED_TRACE(round);
        EXPECT_EQ(runConsole(variant.app, "").output, "variant A\n");
    }
    EXPECT_NE(variant.archiveLines().find("class-data: used "), std::string::npos);
    variant.copyApplication(L"\\cds\\variant-b.jar", L"lib\\variant.jar");
    {
        const UniqueFile jar(CreateFileW(variant.app.path(L"lib\\variant.jar").c_str(),
                                         FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                                         nullptr));
        ASSERT_TRUE(jar && SetFileTime(jar.get(), nullptr, nullptr, &built));
    }
    for (const char* round : {"making again", "using again"}) {
        SCOPED_TRACE(round);
        EXPECT_EQ(runConsole(variant.app, "").output, "variant B\n");
    }

    ConsoleArchived runnable("jar-file-name=lib\\runnable.jar\r\n");
    runnable.copyApplication(L"\\cds\\runnable.jar", L"lib\\runnable.jar");
    runnable.copyApplication(L"\\lib\\dep.jar", L"lib\\dep.jar");
    EXPECT_EQ(runConsole(runnable.app, "").exitCode, 0u);
    EXPECT_EQ(runConsole(runnable.app, "").exitCode, 0u);
    EXPECT_NE(runnable.archiveLines().find("class-data: used "), std::string::npos);
    {
        // Rebuilt in place: a new time.
        const UniqueFile jar(CreateFileW(runnable.app.path(L"lib\\dep.jar").c_str(),
                                         FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                                         nullptr));
        FILETIME now{};
        GetSystemTimeAsFileTime(&now);
        ASSERT_TRUE(jar && SetFileTime(jar.get(), nullptr, nullptr, &now));
    }
    const ConsoleRun updated = runConsole(runnable.app, "");
    EXPECT_EQ(updated.exitCode, 0u) << updated.error;
    EXPECT_NE(updated.output.find("Main class com.example.app.Main: "), std::string::npos);
    EXPECT_NE(runnable.archiveLines().find("class-data: being made"), std::string::npos)
        << runnable.archiveLines();
}

} // namespace

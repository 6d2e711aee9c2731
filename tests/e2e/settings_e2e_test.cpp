// End to end: tavrin.ini read, checked and rewritten byte for byte, the
// messages and the log.
#include "e2e_common.h"

namespace {

using namespace e2e;
using namespace testing_support;

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

} // namespace

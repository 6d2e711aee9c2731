#include "launcher/launcher.h"

#include "platform/paths.h"
#include "scripted_host.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace testing_support;
using Answer = ScriptedHost::ProcessAnswer;

using scripted::java16;
using scripted::started;

// A launcher whose settings name a feed, the updater beside it, and the
// user's update folder under a %LOCALAPPDATA% of the test's own.
class UpdateStart : public testing::Test {
protected:
    void SetUp() override {
        makeDirectories(moduleRelativePath(L"lib"));
        writeFileBytes(moduleRelativePath(L"lib\\app.jar"), "PK");
        writeFileBytes(moduleRelativePath(L"tavrin-update.exe"), "the updater");
        SetEnvironmentVariableW(L"LOCALAPPDATA", localData.path().c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"LOCALAPPDATA", nullptr);
        DeleteFileW(moduleRelativePath(L"tavrin.ini").c_str());
        DeleteFileW(moduleRelativePath(L"tavrin-update.exe").c_str());
        removeTree(moduleRelativePath(L"lib"));
    }

    int start(const std::string& a_keys, std::vector<Answer> a_runs,
              const std::vector<std::wstring>& a_arguments = {}) {
        writeFileBytes(moduleRelativePath(L"tavrin.ini"),
                       "[tavrin]\r\njar-file-name=lib\\app.jar\r\nmin-java-version=1.6\r\n"
                       "wait-for-exit=0\r\nask-for-java-location=0\r\nallow-newer-version=1\r\n"
                       "user-settings=Example App\r\n" +
                           a_keys);
        host = ScriptedHost();
        host.processAnswers.assign(a_runs.begin(), a_runs.end());
        NamedMutex mutex;
        const int exitCode = runLauncher(host, mutex, a_arguments);
        EXPECT_TRUE(host.processAnswers.empty()) << "scripted runs left over";
        return exitCode;
    }

    ScratchFolder localData;
    ScriptedHost host;
    const std::wstring updates = localData / L"Example App\\updates\\";
    const std::wstring updater = updates + L"tavrin-update.exe";
    const std::string feed = "update-feed=https://example.com/example.update\r\n"
                             "update-key=MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE\r\n";
};

// A check that is due runs the updater's copy once the application has
// started, outside the application's folder; none otherwise.
TEST_F(UpdateStart, ACheckThatIsDueStartsTheUpdatersCopyAfterTheApplication) {
    EXPECT_EQ(start(feed, {java16, started, started}), 0);
    ASSERT_EQ(host.processCalls.size(), 3u);
    const ScriptedHost::ProcessCall& check = host.processCalls[2];
    EXPECT_EQ(check.commandLine,
              L"\"" + updater + L"\" --tavrin-update-check \"" + executablePath() + L"\"");
    EXPECT_EQ(check.workingDirectory, updates);
    EXPECT_FALSE(check.wait || check.endWithLauncher);

    const struct {
        const char* name;
        std::string keys;
        std::string usersKeys;
        bool checks;
    } cases[] = {
        {"checked an hour ago, every 24 hours", feed, "", false},
        {"checked at every start", feed + "update-check-hours=0\r\n", "", true},
        {"turned off by the application", feed + "update-mode=off\r\n", "", false},
        {"turned off by the user", feed, "update-mode=off\r\n", false},
        {"the user's file cannot name a feed", "", feed + "update-check-hours=0\r\n", false},
        {"no feed", "update-key=MFkw\r\nupdate-check-hours=0\r\n", "", false},
    };
    // The last check began an hour ago.
    writeFileBytes(updates + L"last-check", "");
    const HANDLE file = CreateFileW((updates + L"last-check").c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER hourAgo{{now.dwLowDateTime, now.dwHighDateTime}};
    hourAgo.QuadPart -= 36000000000ULL;
    const FILETIME written{hourAgo.LowPart, hourAgo.HighPart};
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
    CloseHandle(file);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFileBytes(localData / L"Example App\\tavrin.ini", "[tavrin]\r\n" + c.usersKeys);
        std::vector<Answer> runs{java16, started};
        if (c.checks) {
            runs.push_back(started);
        }
        EXPECT_EQ(start(c.keys, runs), 0);
        EXPECT_EQ(host.processCalls.size(), c.checks ? 3u : 2u);
    }
}

// A staged package: before any runtime is looked for, the updater's copy
// gets the start's arguments, this process to wait for and the single-run
// mutex to hold; the launcher ends. When the updater cannot start, the
// start goes on as before.
TEST_F(UpdateStart, AStagedPackageGoesToTheUpdaterBeforeJavaStarts) {
    makeDirectories(localData / L"Example App\\updates");
    writeFileBytes(updates + L"staged", "version=1.1.0\n");
    EXPECT_EQ(start(feed + "single-run-mutex=tavrin-update-test\r\n", {started},
                    {L"C:\\docs\\plan 1.txt", L"-x"}),
              0);
    ASSERT_EQ(host.processCalls.size(), 1u);
    const ScriptedHost::ProcessCall& install = host.processCalls[0];
    const std::wstring prefix = L"\"" + updater + L"\" --tavrin-update-install \"" +
                                executablePath() + L"\" \"" +
                                withoutTrailingBackslash(currentFolder()) + L"\" ";
    EXPECT_EQ(install.commandLine.compare(0, prefix.size(), prefix), 0)
        << utf8(install.commandLine);
    const std::wstring arguments = L" \"C:\\docs\\plan 1.txt\" \"-x\"";
    EXPECT_EQ(install.commandLine.substr(install.commandLine.size() - arguments.size()), arguments);
    // Two handles' values: this process's and the mutex's, neither null.
    const std::wstring handles = install.commandLine.substr(
        prefix.size(), install.commandLine.size() - prefix.size() - arguments.size());
    EXPECT_EQ(handles.find(L" 0"), std::wstring::npos) << utf8(handles);
    EXPECT_NE(handles.find(L' '), std::wstring::npos) << utf8(handles);
    EXPECT_TRUE(install.passesHandles);
    EXPECT_TRUE(install.inheritStreams);
    EXPECT_FALSE(install.wait);

    EXPECT_EQ(start(feed, {{ProcessCode::notStarted, "", ""}, java16, started, started}), 0);
    ASSERT_EQ(host.processCalls.size(), 4u);
    EXPECT_EQ(host.processCalls[1].commandLine, L"java -version");

    // Updates off: a staged package stays where it is.
    EXPECT_EQ(start(feed + "update-mode=off\r\n", {java16, started}), 0);
    EXPECT_EQ(host.processCalls.size(), 2u);
}

} // namespace

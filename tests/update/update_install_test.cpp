#include "update/update_install.h"

#include "platform/crypto.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "scripted_host.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace testing_support;
using Answer = ScriptedHost::ProcessAnswer;

// The updater's install in the test program's folder, which is the
// updater's update folder: a staged package, msiexec as the scripted host
// answers, then the launcher's start.
class UpdaterInstall : public testing::Test {
protected:
    void TearDown() override {
        for (const wchar_t* name : {L"staged", L"failed", L"1.1.0.msi", L"update.log"}) {
            DeleteFileW(moduleRelativePath(name).c_str());
        }
    }

    void stage(const std::string& a_scope, const std::string& a_package,
               const std::string& a_recorded) {
        writeFileBytes(moduleRelativePath(L"1.1.0.msi"), a_package);
        writeFileBytes(moduleRelativePath(L"staged"), "version=1.1.0\npackage=1.1.0.msi\nsha256=" +
                                                          utf8(hexOfBytes(sha256Of(a_recorded))) +
                                                          "\nscope=" + a_scope + "\n");
    }

    void install(std::vector<Answer> a_runs) {
        host.processAnswers.assign(a_runs.begin(), a_runs.end());
        EXPECT_EQ(runUpdateInstall(host, {L"C:\\Apps\\Example\\Example.exe", L"C:\\docs", L"0",
                                          L"0", L"C:\\docs\\plan 1.txt"}),
                  0);
        EXPECT_TRUE(host.processAnswers.empty()) << "scripted runs left over";
        ASSERT_FALSE(host.processCalls.empty());
        const ScriptedHost::ProcessCall& start = host.processCalls.back();
        EXPECT_EQ(start.commandLine, L"C:\\Apps\\Example\\Example.exe \"C:\\docs\\plan 1.txt\"");
        EXPECT_EQ(start.workingDirectory, L"C:\\docs");
        EXPECT_FALSE(start.wait);
        EXPECT_FALSE(pathExists(moduleRelativePath(L"staged"))) << "still staged";
        EXPECT_FALSE(pathExists(moduleRelativePath(L"1.1.0.msi"))) << "the package stays";
    }

    std::string log() const { return readFileBytes(moduleRelativePath(L"update.log")); }

    ScriptedHost host;
    const std::wstring msiexec =
        systemFolder() + L"msiexec.exe /i \"" + moduleRelativePath(L"1.1.0.msi") + L"\"";
};

// Quiet for the user's package, with progress (and elevation) for the
// machine's; the launcher starts after it with the start's arguments.
TEST_F(UpdaterInstall, MsiexecInstallsTheStagedPackageThenTheLauncherStarts) {
    stage("per-user", "the package", "the package");
    install({Answer{ProcessCode::succeeded, "", "", 0}, Answer{}});
    ASSERT_EQ(host.processCalls.size(), 2u);
    EXPECT_EQ(host.processCalls[0].commandLine, msiexec + L" /qn /norestart");
    EXPECT_TRUE(host.processCalls[0].wait);
    EXPECT_NE(log().find("update: 1.1.0 installed (msiexec ended with 0)"), std::string::npos)
        << log();

    host = ScriptedHost();
    stage("per-machine", "the package", "the package");
    install({Answer{ProcessCode::succeeded, "", "", ERROR_SUCCESS_REBOOT_REQUIRED}, Answer{}});
    EXPECT_EQ(host.processCalls[0].commandLine, msiexec + L" /passive /norestart");
    EXPECT_FALSE(pathExists(moduleRelativePath(L"failed")));
}

// A package that changed since the check is not installed at all.
TEST_F(UpdaterInstall, AChangedPackageNeverInstalls) {
    stage("per-user", "the package, changed", "the package");
    install({Answer{}});
    EXPECT_EQ(host.processCalls.size(), 1u) << "msiexec ran";
    EXPECT_NE(log().find("update: refused: the staged 1.1.0.msi is not the package the feed named"),
              std::string::npos)
        << log();
    EXPECT_FALSE(pathExists(moduleRelativePath(L"failed")));
}

} // namespace

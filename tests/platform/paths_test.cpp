#include "platform/paths.h"

#include "platform/unique_handle.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace testing_support;

// Prints moduleRelativePath of each name, one UTF-8 line each, into a file.
const HelperRegistration
    printPaths("module-relative-path", [](const std::vector<std::wstring>& a_args) {
        std::string lines;
        for (std::size_t i = 1; i < a_args.size(); ++i) {
            lines += utf8(moduleRelativePath(a_args[i] == L"<empty>" ? L"" : a_args[i])) + "\n";
        }
        writeFileBytes(a_args[0], lines);
        return 0;
    });

// Opens a file without sharing and keeps it open until told to let go.
const HelperRegistration holdFile("hold-file", [](const std::vector<std::wstring>& a_args) {
    UniqueFile file(CreateFileW(a_args[0].c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    if (!file) {
        return 3;
    }
    UniqueHandle held(OpenEventW(EVENT_MODIFY_STATE, FALSE, a_args[1].c_str()));
    UniqueHandle release(OpenEventW(SYNCHRONIZE, FALSE, a_args[2].c_str()));
    SetEvent(held.get());
    WaitForSingleObject(release.get(), 30000);
    return 0;
});

struct JoinCase {
    std::wstring name;
    std::wstring expectedAfterFolder;
};

const std::vector<JoinCase> joinCases = {
    {L"<empty>", L""},
    {L"tavrin.ini", L"tavrin.ini"},
    {L"lib/app.jar", L"lib/app.jar"},
    {L"..\\other\\.\\x.jar", L"..\\other\\.\\x.jar"},
    {L"java.version.check", L"java.version.check"},
};

// Copies this program into a_folder as launcher.exe, runs the helper there
// and checks every join against the folder.
void expectJoinsBeside(const std::wstring& a_folder) {
    makeDirectories(a_folder);
    const std::wstring executable = a_folder + L"launcher.exe";
    copyFileOrFail(thisExecutablePath(), executable);
    const std::wstring results = a_folder + L"results.txt";
    std::vector<std::wstring> arguments{results};
    for (const JoinCase& c : joinCases) {
        arguments.push_back(c.name);
    }
    ASSERT_EQ(runChild(helperCommandLine(executable, L"module-relative-path", arguments)).exitCode,
              0u);
    std::string expected;
    for (const JoinCase& c : joinCases) {
        expected += utf8(a_folder + c.expectedAfterFolder) + "\n";
    }
    EXPECT_EQ(readFileBytes(results), expected);
}

TEST(ModuleRelativePath, JoinsTheExecutableFolderAndTheName) {
    ScratchFolder scratch;
    expectJoinsBeside(scratch / L"App\\");
}

TEST(ModuleRelativePath, FolderWithBlanksAndCharactersOutsideTheCodePage) {
    ScratchFolder scratch;
    expectJoinsBeside(scratch / L"Program Files\\\u0422\u0435\u0441\u0442 \u65e5\u672c\\");
}

// Wine starts no program whose own path is longer than MAX_PATH, so only the
// joined result can be taken past it here.
TEST(ModuleRelativePath, JoinedResultLongerThanMaxPathComesBackWhole) {
    std::wstring name;
    while (name.size() < 600) {
        name += L"a-rather-long-folder-name-for-deep-installs\\";
    }
    name += L"app.jar";
    const std::wstring folder = moduleRelativePath(L"");
    const std::wstring joined = moduleRelativePath(name);
    EXPECT_GT(joined.size(), 600u);
    EXPECT_EQ(joined, folder + name);
}

TEST(IsFullPath, ADriveWithItsBackslashOrAShare) {
    const struct {
        const wchar_t* path;
        bool full;
    } cases[] = {
        {L"C:\\jdk", true},  {L"z:/jdk", true}, {L"\\\\server\\share\\jdk", true},
        {L"C:jdk", false},   {L"jdk17", false}, {L"\\jdk", false},
        {L"..\\jdk", false}, {L"", false},      {L"1:\\jdk", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isFullPath(c.path), c.full) << utf8(c.path);
    }
}

TEST(FileExists, AnswersForFilesOnly) {
    ScratchFolder scratch;
    writeFileBytes(scratch / L"present.jar", "PK");
    writeFileBytes(scratch / L"empty.ini", "");
    makeDirectories(scratch / L"folder.jar");
    EXPECT_TRUE(fileExists(scratch / L"present.jar"));
    EXPECT_TRUE(fileExists(scratch / L"empty.ini"));
    EXPECT_FALSE(fileExists(scratch / L"missing.jar"));
    EXPECT_FALSE(fileExists(scratch / L"missing-folder\\present.jar"));
    EXPECT_FALSE(fileExists(scratch / L"folder.jar"));
    EXPECT_FALSE(fileExists(scratch / L"folder.jar\\"));
    EXPECT_FALSE(fileExists(L""));
}

TEST(FileExists, FileHeldOpenWithoutSharingByAnotherProcess) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"locked.jar";
    writeFileBytes(path, "PK");
    const std::wstring heldName = L"tavrin-test-held-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring releaseName =
        L"tavrin-test-release-" + std::to_wstring(GetCurrentProcessId());
    UniqueHandle held(CreateEventW(nullptr, TRUE, FALSE, heldName.c_str()));
    UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));

    const std::wstring commandLine =
        helperCommandLine(thisExecutablePath(), L"hold-file", {path, heldName, releaseName});
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring writable = commandLine;
    ASSERT_TRUE(CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    UniqueHandle child(process.hProcess), thread(process.hThread);
    ASSERT_EQ(WaitForSingleObject(held.get(), 30000), WAIT_OBJECT_0);

    // The file cannot be opened at all now, yet it exists.
    UniqueFile attempt(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(attempt);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(fileExists(path));

    SetEvent(release.get());
    EXPECT_EQ(WaitForSingleObject(child.get(), 30000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(child.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

} // namespace

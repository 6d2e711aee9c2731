#include "settings/java_location.h"

#include "platform/unique_handle.h"
#include "settings/settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace testing_support;

// The rewrite after a launch: the file on disk (its bytes are the
// SettingsFile tests' matter).
class SaveJavaLocation : public testing::Test {
protected:
    ScratchFolder scratch;
    const std::wstring path = scratch / L"tavrin.ini";
};

TEST_F(SaveJavaLocation, AValueAlreadyThereLeavesTheFileUntouched) {
    const std::string text = "[tavrin]\r\njava-location=java.exe\r\n";
    writeFileBytes(path, text);
    FILETIME written{};
    FILETIME before{};
    {
        UniqueFile handle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(handle);
        const SYSTEMTIME longAgo{2001, 1, 1, 1, 12, 0, 0, 0}; // no write of today's makes it
        ASSERT_TRUE(SystemTimeToFileTime(&longAgo, &written));
        ASSERT_TRUE(SetFileTime(handle.get(), nullptr, nullptr, &written));
    }
    // Read-only too: nothing to write, nothing refused.
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(saveJavaLocation(path, LauncherSettings{}, L"java.exe"), SaveResult::unchanged);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    UniqueFile handle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(GetFileTime(handle.get(), nullptr, nullptr, &before));
    EXPECT_EQ(before.dwHighDateTime, written.dwHighDateTime);
    EXPECT_EQ(before.dwLowDateTime, written.dwLowDateTime);
    EXPECT_EQ(readFileBytes(path), text);
}

TEST_F(SaveJavaLocation, KeepsTheFileAttributesAndLeavesNoTemporaryFile) {
    writeFileBytes(path, "[tavrin]\r\n");
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(saveJavaLocation(path, LauncherSettings{}, L"java.exe"), SaveResult::saved);
    EXPECT_EQ(readFileBytes(path), "[tavrin]\r\njava-location=java.exe\r\n");
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(filesMatching(scratch / L"*.tmp").empty()) << "a temporary file was left behind";
}

TEST_F(SaveJavaLocation, AReadOnlyFileStaysAsItWas) {
    const std::string text = "[tavrin]\r\njava-location=old\r\n";
    writeFileBytes(path, text);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(saveJavaLocation(path, LauncherSettings{}, L"java.exe"), SaveResult::notWritable);
    EXPECT_EQ(readFileBytes(path), text);
    EXPECT_FALSE(pathExists(path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp"));
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(SaveJavaLocation, AFolderThatCannotTakeTheTemporaryFileIsNotWritable) {
    const std::string text = "[tavrin]\r\njava-location=old\r\n";
    writeFileBytes(path, text);
    // A directory where the temporary file would go.
    makeDirectories(path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp");
    EXPECT_EQ(saveJavaLocation(path, LauncherSettings{}, L"java.exe"), SaveResult::notWritable);
    EXPECT_EQ(readFileBytes(path), text);
}

// The user's file, as it is when the value is written.
TEST_F(SaveJavaLocation, TheUsersFileKeepsWhatWasWrittenMeanwhile) {
    LauncherSettings settings;
    settings.userSettingsFolder = scratch.path();
    settings.javaLocationFromUser = true;
    writeFileBytes(path, "[tavrin]\r\njava-location=old\r\njava-options=-Xmx4g\r\n");
    EXPECT_EQ(saveJavaLocation(scratch / L"unused.ini", settings, L"new"), SaveResult::saved);
    EXPECT_EQ(readFileBytes(path), "[tavrin]\r\njava-location=new\r\njava-options=-Xmx4g\r\n");

    // A program with bounds of its own keeps its runtime in its own section.
    settings.programSection = "Example.exe";
    settings.remembersOwnRuntime = true;
    EXPECT_EQ(saveJavaLocation(scratch / L"unused.ini", settings, L"mine"), SaveResult::saved);
    EXPECT_EQ(readFileBytes(path), "[tavrin]\r\njava-location=new\r\njava-options=-Xmx4g\r\n"
                                   "[Example.exe]\r\njava-location=mine\r\n");
}

TEST_F(SaveJavaLocation, AReaderHoldingTheFileIsWaitedFor) {
    writeFileBytes(path, "[tavrin]\r\n");
    // Another launcher reading the file at this moment, for a short while.
    UniqueFile reader(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    HANDLE raw = reader.release();
    UniqueHandle timer(CreateThread(
        nullptr, 0,
        [](LPVOID a_file) -> DWORD {
            Sleep(200);
            CloseHandle(static_cast<HANDLE>(a_file));
            return 0;
        },
        raw, 0, nullptr));
    EXPECT_EQ(saveJavaLocation(path, LauncherSettings{}, L"java.exe"), SaveResult::saved);
    WaitForSingleObject(timer.get(), INFINITE);
    EXPECT_EQ(readFileBytes(path), "[tavrin]\r\njava-location=java.exe\r\n");
}

} // namespace

#include "launcher/launch_line.h"

#include "settings/settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace testing_support;

LauncherSettings classPathStart(std::vector<std::wstring> a_entries) {
    LauncherSettings settings;
    settings.start = LauncherSettings::Start::mainClass;
    settings.mainClass = L"com.example.Main";
    settings.classPath = std::move(a_entries);
    return settings;
}

// Java's argument-file rules: the value in double quotes, each backslash
// doubled (inside quotes a backslash escapes the next character).
TEST(ArgumentFile, QuotesTheValueAndDoublesBackslashes) {
    LauncherSettings module;
    module.start = LauncherSettings::Start::module;
    module.module = L"com.example.app";
    module.modulePath = {L"D:\\mods", L"D:\\lib\\extra.jar"};
    const struct {
        LauncherSettings settings;
        std::wstring text;
    } cases[] = {
        {classPathStart({L"C:\\App\\lib\\*", L"C:\\My Docs\\x.jar"}),
         L"-cp\r\n\"C:\\\\App\\\\lib\\\\*;C:\\\\My Docs\\\\x.jar\"\r\n"},
        {classPathStart({L"\\\\server\\share\\a.jar"}),
         L"-cp\r\n\"\\\\\\\\server\\\\share\\\\a.jar\"\r\n"},
        {module, L"--module-path\r\n\"D:\\\\mods;D:\\\\lib\\\\extra.jar\"\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(argumentFileText(c.settings), c.text) << utf8(c.text);
    }
}

// One file per content in the temporary folder: the same content, the same
// file, written once.
TEST(ArgumentFile, OneFilePerContent) {
    const std::wstring first = writeArgumentFile(L"-cp\r\n\"C:\\\\a.jar\"\r\n");
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(readFileBytes(first), "-cp\r\n\"C:\\\\a.jar\"\r\n");
    EXPECT_EQ(writeArgumentFile(L"-cp\r\n\"C:\\\\a.jar\"\r\n"), first);
    const std::wstring second = writeArgumentFile(L"-cp\r\n\"C:\\\\b.jar\"\r\n");
    EXPECT_NE(second, first);
    EXPECT_TRUE(DeleteFileW(first.c_str()));
    EXPECT_TRUE(DeleteFileW(second.c_str()));
    // A character the ANSI code page (1252 here) has no place for.
    EXPECT_EQ(writeArgumentFile(L"-cp\r\n\"C:\\\\\u65e5.jar\"\r\n"), L"");
}

} // namespace

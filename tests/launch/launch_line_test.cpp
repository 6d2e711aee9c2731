#include "launch/launch_line.h"

#include "launch/argument_file.h"
#include "launch/in_process.h"
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

LauncherSettings moduleStart() {
    LauncherSettings module;
    module.start = LauncherSettings::Start::module;
    module.module = L"com.example.app";
    module.modulePath = {L"D:\\mods", L"D:\\lib\\extra.jar"};
    return module;
}

// One list, two forms: what a child started with the joined line receives
// is, after its program, exactly the list the runtime's library gets in
// process; and the line keeps its documented bytes.
TEST(LaunchLine, TheJoinedLineCarriesExactlyItsArguments) {
    LauncherSettings jar;
    jar.jarPath = L"C:\\App\\lib\\app.jar";
    jar.javaOptions = L"-Xmx1g  -Dapp.home=\"C:\\My Docs\\\\\"";
    jar.startArguments = L"say \"hi\" C:\\data\\";
    LauncherSettings path = classPathStart({L"C:\\App\\lib\\*", L"C:\\My Docs\\x.jar"});
    LauncherSettings server = moduleStart();
    server.arguments = {L"-tcp", L"-baseDir", L"C:\\My Data\\"};
    server.startArguments = L"one";
    const struct {
        const char* name;
        std::wstring command;
        LauncherSettings settings;
        std::vector<std::wstring> passed;
        std::wstring file;
        std::wstring line;
    } cases[] = {
        {"a JAR, options, start and passed arguments",
         L"\"C:\\Program Files\\j\\java.exe\" -Xss2m",
         jar,
         {L"a b", L"", L"\\\\server\\x\\"},
         L"",
         L"\"C:\\Program Files\\j\\java.exe\" -Xss2m -Xmx1g  -Dapp.home=\"C:\\My Docs\\\\\" "
         L"-jar  \"C:\\App\\lib\\app.jar\"  \"say \\\"hi\\\" C:\\data\\\\\"  "
         L"\"a b\"  \"\"  \"\\\\server\\x\\\\\" "},
        {"a main class",
         L"java.exe",
         path,
         {},
         L"",
         L"java.exe -cp \"C:\\App\\lib\\*;C:\\My Docs\\x.jar\" \"com.example.Main\" "},
        {"a main class through an argument file",
         L"java.exe",
         path,
         {},
         L"C:\\T\\tavrin-1.args",
         L"java.exe \"@C:\\T\\tavrin-1.args\" \"com.example.Main\" "},
        {"a module",
         L"java",
         moduleStart(),
         {L"x"},
         L"",
         L"java --module-path \"D:\\mods;D:\\lib\\extra.jar\" --module \"com.example.app\"  "
         L"\"x\" "},
        {"arguments, each one, before the start and passed arguments",
         L"java",
         server,
         {L"x"},
         L"",
         L"java --module-path \"D:\\mods;D:\\lib\\extra.jar\" --module \"com.example.app\"  "
         L"\"-tcp\"  \"-baseDir\"  \"C:\\My Data\\\\\"  \"one\"  \"x\" "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LaunchLine launch(c.command, c.settings, c.passed, c.file);
        EXPECT_EQ(launch.commandLine(), c.line) << utf8(launch.commandLine());
        std::vector<std::wstring> received = commandLineArguments(launch.commandLine());
        ASSERT_FALSE(received.empty());
        received.erase(received.begin());
        EXPECT_EQ(received, launch.arguments());
        const std::vector<std::wstring> inProcess = inProcessArguments(L"C:\\j\\java.exe", launch);
        EXPECT_EQ(inProcess.front(), L"C:\\j\\java.exe");
        EXPECT_EQ(std::vector<std::wstring>(inProcess.begin() + 1, inProcess.end()), received);
    }
}

// Java's argument-file rules: the value in double quotes, each backslash
// byte doubled after the conversion into the ANSI code page (1252 here).
TEST(ArgumentFile, QuotesTheValueAndDoublesBackslashes) {
    const struct {
        LauncherSettings settings;
        std::string bytes;
    } cases[] = {
        {classPathStart({L"C:\\App\\lib\\*", L"C:\\My Docs\\\u00e9.jar"}),
         "-cp\r\n\"C:\\\\App\\\\lib\\\\*;C:\\\\My Docs\\\\\xe9.jar\"\r\n"},
        {classPathStart({L"\\\\server\\share\\a.jar"}),
         "-cp\r\n\"\\\\\\\\server\\\\share\\\\a.jar\"\r\n"},
        {moduleStart(), "--module-path\r\n\"D:\\\\mods;D:\\\\lib\\\\extra.jar\"\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(argumentFileBytes(c.settings), c.bytes) << c.bytes;
    }
    // A character 1252 has no place for, and one it has only a look-alike for.
    EXPECT_FALSE(argumentFileBytes(classPathStart({L"C:\\\u65e5.jar"})));
    EXPECT_FALSE(argumentFileBytes(classPathStart({L"C:\\\u0141\u00f3d\u017a\\x.jar"})));
}

// In code page 932 the second byte of some characters is 0x5C, which Java's
// reader takes for a backslash: every such byte is doubled too.
TEST(ArgumentFile, EveryBackslashByteIsDoubled) {
    const struct {
        std::string value;
        std::string escaped;
    } cases[] = {
        {"C:\\XYZ\x83\x5C\x83t\x83g\\a.jar", "C:\\\\XYZ\x83\x5C\x5C\x83t\x83g\\\\a.jar"},
        {"\x95\x5C\x94\x5C", "\x95\x5C\x5C\x94\x5C\x5C"},
        {"plain", "plain"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escapedForArgumentFile(c.value), c.escaped);
    }
}

// One file per content in the temporary folder: the same content, the same
// file, written once.
TEST(ArgumentFile, OneFilePerContent) {
    const std::string bytes = "-cp\r\n\"C:\\\\a.jar\"\r\n";
    const std::wstring first = argumentFilePath(bytes);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(folderOf(first), temporaryFolder());
    EXPECT_EQ(fileNameOf(first).size(), 28u) << utf8(first); // tavrin-<16 digits>.args
    ASSERT_TRUE(writeArgumentFile(first, bytes));
    EXPECT_EQ(readFileBytes(first), bytes);
    EXPECT_EQ(argumentFilePath(bytes), first);
    EXPECT_TRUE(writeArgumentFile(first, bytes));
    const std::wstring second = argumentFilePath("-cp\r\n\"C:\\\\b.jar\"\r\n");
    EXPECT_NE(second, first);
    EXPECT_TRUE(DeleteFileW(first.c_str()));
}

TEST(InProcess, ArgumentsOutsideTheAnsiCodePageAreNamed) {
    EXPECT_EQ(argumentOutsideAnsi({L"C:\\j\\java.exe", L"-jar", L"caf\u00e9"}), L"");
    EXPECT_EQ(argumentOutsideAnsi({L"C:\\j\\java.exe", L"a\u65e5", L"b\u0141"}), L"a\u65e5");
}

} // namespace

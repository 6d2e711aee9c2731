#include "settings/settings.h"

#include "launcher/launcher.h"
#include "messages/message_texts.h"
#include "messages/start_log.h"

#include "expected_messages.h"
#include "platform/paths.h"
#include "platform/unique_handle.h"
#include "scripted_host.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace testing_support;

const RunFromPrivateFolder privateFolder;

std::wstring invalidBox() {
    return L"box Error: " + expected::settingsInvalid;
}

std::wstring jarMissingBox(const std::wstring& a_path) {
    return L"box Jar not found: " + expected::jarMissing(a_path);
}

// The JAR lives beside the (private copy of the) test program, as an
// application's JAR lives beside the launcher.
class Settings : public testing::Test {
protected:
    void SetUp() override {
        makeDirectories(moduleRelativePath(L"lib"));
        writeFileBytes(jarPath, "PK");
    }
    void TearDown() override { removeTree(moduleRelativePath(L"lib")); }

    // Loads a_text as the settings file and reads it as the launcher does.
    LauncherSettings read(const std::string& a_text,
                          SettingsFor a_reader = SettingsFor::windowedLauncher,
                          const std::string& a_program = "") {
        const std::wstring path = scratch / L"tavrin.ini";
        writeFileBytes(path, a_text);
        const std::optional<SettingsFile> file = loadSettingsStore(path, a_program);
        if (!file) {
            ADD_FAILURE() << "the settings did not load";
            return {};
        }
        if (!file->hasSection()) {
            ADD_FAILURE() << "no [tavrin] section";
            return {};
        }
        // The boxes the start-up sequence shows for what the reading found.
        LauncherSettings settings = readLauncherSettings(*file, a_reader);
        if (!settings.problems.empty()) {
            StartLog log(L"");
            showSettingsProblems(host, settings.problems, MessageTexts(), log);
        }
        return settings;
    }

    ScratchFolder scratch;
    ScriptedHost host;
    const std::wstring jarPath = moduleRelativePath(L"lib\\app.jar");
};

const std::string validKeys = "jar-file-name=lib\\app.jar\r\n"
                              "min-java-version=1.6\r\n"
                              "wait-for-exit=0\r\n"
                              "ask-for-java-location=1\r\n"
                              "allow-newer-version=1\r\n";

TEST_F(Settings, AValidSectionWithDefaults) {
    const LauncherSettings settings = read("[tavrin]\r\n" + validKeys);
    EXPECT_TRUE(settings.valid());
    EXPECT_EQ(settings.jarPath, jarPath);
    EXPECT_EQ(settings.minJavaVersionText, L"1.6");
    EXPECT_EQ(settings.minJavaVersion.major, 1);
    EXPECT_EQ(settings.minJavaVersion.minor, 6);
    EXPECT_EQ(settings.javaLocation, L"");
    EXPECT_EQ(settings.startArguments, L"");
    EXPECT_FALSE(settings.waitForExit);
    EXPECT_TRUE(settings.askForJavaLocation);
    EXPECT_TRUE(settings.allowNewerVersion);
    EXPECT_FALSE(settings.maxJavaVersion);
    EXPECT_EQ(settings.javaOptions, L"");
    EXPECT_FALSE(settings.passArguments);
    EXPECT_TRUE(settings.findInstalledJava);
    EXPECT_TRUE(host.log.empty());
}

struct KeyCase {
    const char* name;
    std::string section; // the whole [tavrin] section
    bool valid;
    std::vector<std::wstring> boxes; // filled in by the test for JAR paths
};

std::string section(const std::string& a_keys) {
    return "[tavrin]\r\n" + a_keys;
}

std::string replaced(std::string a_keys, const std::string& a_from, const std::string& a_to) {
    a_keys.replace(a_keys.find(a_from), a_from.size(), a_to);
    return a_keys;
}

const std::string noJar = replaced(validKeys, "jar-file-name=lib\\app.jar\r\n", "");

std::string mainClassKeys(const std::string& a_mainClass, const std::string& a_classPath) {
    return section(noJar + "main-class=" + a_mainClass + "\r\nclass-path=" + a_classPath + "\r\n");
}

TEST_F(Settings, KeyPresenceIsCaseSensitiveAndRequiredKeysMustBeThere) {
    const KeyCase cases[] = {
        {"capital section name", "[TAVRIN]\r\n" + validKeys, true, {}},
        {"key in other capitals",
         section(replaced(validKeys, "wait-for-exit", "Wait-For-Exit")),
         false,
         {invalidBox()}},
        {"no jar-file-name",
         section(replaced(validKeys, "jar-file-name=lib\\app.jar\r\n", "")),
         false,
         {invalidBox()}},
        {"no min-java-version",
         section(replaced(validKeys, "min-java-version=1.6\r\n", "")),
         false,
         {invalidBox()}},
        {"no wait-for-exit",
         section(replaced(validKeys, "wait-for-exit=0\r\n", "")),
         false,
         {invalidBox()}},
        {"no ask-for-java-location",
         section(replaced(validKeys, "ask-for-java-location=1\r\n", "")),
         false,
         {invalidBox()}},
        {"no allow-newer-version",
         section(replaced(validKeys, "allow-newer-version=1\r\n", "")),
         false,
         {invalidBox()}},
        {"empty min-java-version",
         section(replaced(validKeys, "=1.6", "=")),
         false,
         {invalidBox()}},
        {"unreadable min-java-version",
         section(replaced(validKeys, "=1.6", "=1.00")),
         false,
         {invalidBox()}},
        {"a comma in min-java-version",
         section(replaced(validKeys, "=1.6", "=1,8")),
         false,
         {invalidBox()}},
        {"a minimum beyond an int",
         section(replaced(validKeys, "=1.6", "=2147483648.0")),
         false,
         {invalidBox()}},
        {"a minimum's minor beyond an int",
         section(replaced(validKeys, "=1.6", "=1.2147483648")),
         false,
         {invalidBox()}},
        {"a sign in the minimum",
         section(replaced(validKeys, "=1.6", "=+1.6")),
         false,
         {invalidBox()}},
        {"blanks in the minimum", section(replaced(validKeys, "=1.6", "=1 . 6 .0_20")), true, {}},
        {"max-java-version not a version",
         section(validKeys + "max-java-version=17,0\r\n"),
         false,
         {invalidBox()}},
        {"max-java-version below the minimum",
         section(validKeys + "max-java-version=1.5\r\n"),
         false,
         {invalidBox()}},
        {"max-java-version empty: none", section(validKeys + "max-java-version=\r\n"), true, {}},
        {"java-options with an open quote",
         section(validKeys + "java-options=-Dapp.home=\"C:\\x y -Xmx1g\r\n"),
         false,
         {invalidBox()}},
        {"arguments with an open quote",
         section(validKeys + "arguments=-baseDir \"C:\\x y\r\n"),
         false,
         {invalidBox()}},
        {"java-options with an escaped quote",
         section(validKeys + "java-options=-Dq=\\\" -Dr=\"a b\"\r\n"),
         true,
         {}},
        {"max-java-version equal to the minimum",
         section(validKeys + "max-java-version=1.6.0_45\r\n"),
         true,
         {}},
        {"java-download-url https",
         section(validKeys + "java-download-url=https://x.org/j\r\n"),
         true,
         {}},
        {"java-download-url HTTP",
         section(validKeys + "java-download-url=HTTP://x.org/j\r\n"),
         true,
         {}},
        {"java-download-url a file",
         section(validKeys + "java-download-url=file:///C:/x.exe\r\n"),
         false,
         {invalidBox()}},
        {"java-download-url a program",
         section(validKeys + "java-download-url=calc.exe\r\n"),
         false,
         {invalidBox()}},
        {"java-download-url with a port, a query and user",
         section(validKeys + "java-download-url=https://me@x.org:8443/j?v=17#a\r\n"),
         true,
         {}},
        {"java-download-url with a quote and arguments",
         section(validKeys +
                 "java-download-url=https://example.com/\" --user-data-dir=C:\\x \"y\r\n"),
         false,
         {invalidBox()}},
        {"java-download-url with a blank",
         section(validKeys + "java-download-url=https://x.org/a b\r\n"),
         false,
         {invalidBox()}},
        {"java-download-url without a host",
         section(validKeys + "java-download-url=https://\r\n"),
         false,
         {invalidBox()}},
        {"java-download-url with only a port",
         section(validKeys + "java-download-url=https://:80/x\r\n"),
         false,
         {invalidBox()}},
        {"java-download-url with < >",
         section(validKeys + "java-download-url=https://x.org/<b>\r\n"),
         false,
         {invalidBox()}},
        {"java-download-url with a tab",
         section(validKeys + "java-download-url=https://x.org/\ta\r\n"),
         false,
         {invalidBox()}},
        {"java-download-url of 2048 characters",
         section(validKeys + "java-download-url=https://x.org/" + std::string(2048 - 14, 'a') +
                 "\r\n"),
         true,
         {}},
        {"java-download-url of 2049 characters",
         section(validKeys + "java-download-url=https://x.org/" + std::string(2049 - 14, 'a') +
                 "\r\n"),
         false,
         {invalidBox()}},
        {"user-settings empty: none", section(validKeys + "user-settings=\r\n"), true, {}},
        {"user-settings a plain name",
         section(validKeys + "user-settings=Example App 2\r\n"),
         true,
         {}},
        {"user-settings with a backslash",
         section(validKeys + "user-settings=Example\\App\r\n"),
         false,
         {invalidBox()}},
        {"user-settings with a slash",
         section(validKeys + "user-settings=Example/App\r\n"),
         false,
         {invalidBox()}},
        {"user-settings with a colon",
         section(validKeys + "user-settings=C:App\r\n"),
         false,
         {invalidBox()}},
        {"user-settings with ..",
         section(validKeys + "user-settings=..\r\n"),
         false,
         {invalidBox()}},
        {"user-settings with a star",
         section(validKeys + "user-settings=App*\r\n"),
         false,
         {invalidBox()}},
        {"user-settings .", section(validKeys + "user-settings=.\r\n"), false, {invalidBox()}},
        {"user-settings with a trailing dot",
         section(validKeys + "user-settings=App.\r\n"),
         false,
         {invalidBox()}},
        {"user-settings CON", section(validKeys + "user-settings=con\r\n"), false, {invalidBox()}},
        {"user-settings NUL.txt",
         section(validKeys + "user-settings=NUL.txt\r\n"),
         false,
         {invalidBox()}},
        {"user-settings COM1",
         section(validKeys + "user-settings=COM1\r\n"),
         false,
         {invalidBox()}},
        {"user-settings LPT\u00b2",
         section(validKeys + "user-settings=LPT\xC2\xB2\r\n"),
         false,
         {invalidBox()}},
        {"user-settings COM10 is a name", section(validKeys + "user-settings=COM10\r\n"), true, {}},
        {"user-settings of 255 characters",
         section(validKeys + "user-settings=" + std::string(255, 'a') + "\r\n"),
         true,
         {}},
        {"user-settings of 256 characters",
         section(validKeys + "user-settings=" + std::string(256, 'a') + "\r\n"),
         false,
         {invalidBox()}},
        {"optional keys absent", section(validKeys), true, {}},
        {"main-class with class-path", mainClassKeys("com.example.app.Main", "lib"), true, {}},
        {"main-class without class-path",
         section(noJar + "main-class=com.example.Main\r\n"),
         false,
         {invalidBox()}},
        {"class-path without main-class",
         section(validKeys + "class-path=lib\r\n"),
         false,
         {invalidBox()}},
        {"main-class beside jar-file-name",
         section(validKeys + "main-class=a.Main\r\nclass-path=lib\r\n"),
         false,
         {invalidBox()}},
        {"main-class with a blank",
         mainClassKeys("com.example app.Main", "lib"),
         false,
         {invalidBox()}},
        {"main-class with ..", mainClassKeys("com..Main", "lib"), false, {invalidBox()}},
        {"main-class with a leading digit",
         mainClassKeys("com.1app.Main", "lib"),
         false,
         {invalidBox()}},
        {"module alone, for Java 9",
         section(replaced(noJar, "=1.6", "=9") + "module=com.example.app\r\n"),
         true,
         {}},
        {"module with its main class and a module path",
         section(replaced(noJar, "=1.6", "=11") +
                 "module=com.example.app/com.example.app.Main\r\nmodule-path=lib\r\n"),
         true,
         {}},
        {"module for Java 1.8",
         section(replaced(noJar, "=1.6", "=1.8") + "module=com.example.app\r\n"),
         false,
         {invalidBox()}},
        {"module with a slash and no class",
         section(replaced(noJar, "=1.6", "=17") + "module=com.example.app/\r\n"),
         false,
         {invalidBox()}},
        {"module beside main-class",
         section(replaced(noJar, "=1.6", "=17") +
                 "module=com.example.app\r\nmain-class=a.Main\r\nclass-path=lib\r\n"),
         false,
         {invalidBox()}},
        {"module-path without module",
         section(validKeys + "module-path=lib\r\n"),
         false,
         {invalidBox()}},
        {"empty section", "[tavrin]\r\n", false, {invalidBox()}},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        host.log.clear();
        EXPECT_EQ(read(c.section).valid(), c.valid);
        EXPECT_EQ(host.log, c.boxes);
    }
}

TEST_F(Settings, BooleansAreZeroOrOneElseTheirDefault) {
    struct Case {
        std::string wait, ask, allow;
        bool waitForExit, askForJavaLocation, allowNewerVersion;
    } const cases[] = {
        {"0", "1", "1", false, true, true},
        {"1", "0", "0", true, false, false},
        {"  1  ", "\t0", "0 ", true, false, false},
        {"yes", "2", "true", false, true, true},
        {"", "", "", false, true, true},
        {"01", "1.0", "00", false, true, true},
    };
    for (const Case& c : cases) {
        host.log.clear();
        const LauncherSettings settings = read(
            "[tavrin]\r\njar-file-name=lib\\app.jar\r\nmin-java-version=1.6\r\nwait-for-exit=" +
            c.wait + "\r\nask-for-java-location=" + c.ask + "\r\nallow-newer-version=" + c.allow +
            "\r\n");
        SCOPED_TRACE(c.wait + "|" + c.ask + "|" + c.allow);
        EXPECT_TRUE(settings.valid());
        EXPECT_EQ(settings.waitForExit, c.waitForExit);
        EXPECT_EQ(settings.askForJavaLocation, c.askForJavaLocation);
        EXPECT_EQ(settings.allowNewerVersion, c.allowNewerVersion);
        EXPECT_TRUE(host.log.empty());
    }
}

TEST(ReadSettingsBoolean, TrimsBlanksOnly) {
    EXPECT_TRUE(readSettingsBoolean(L" 1 ", false));
    EXPECT_FALSE(readSettingsBoolean(L"  0", true));
    EXPECT_TRUE(readSettingsBoolean(L"\t0", true));
    EXPECT_FALSE(readSettingsBoolean(L"1\t", false));
    EXPECT_TRUE(readSettingsBoolean(L"", true));
}

TEST_F(Settings, JarPathAbsoluteRelativeEmptyOrMissing) {
    const std::wstring folder = moduleRelativePath(L"");
    const std::wstring absoluteJar = scratch / L"elsewhere.jar";
    writeFileBytes(absoluteJar, "PK");
    struct Case {
        std::string value;
        std::wstring expectedPath;
        bool exists;
    } const cases[] = {
        {"lib\\app.jar", folder + L"lib\\app.jar", true},
        {"\\lib\\app.jar", folder + L"lib\\app.jar", true},
        {"lib/app.jar", folder + L"lib/app.jar", true},
        {utf8(absoluteJar), absoluteJar, true},
        {"lib\\missing.jar", folder + L"lib\\missing.jar", false},
        {"", folder, false},
        {"lib", folder + L"lib", false},
        {"Z:\\no\\such\\folder\\app.jar", L"Z:\\no\\such\\folder\\app.jar", false},
        // A double quote is no part of a file name: it would split the launch line.
        {"evil.jar\" \"\\..\\lib\\app.jar", folder + L"evil.jar\" \"\\..\\lib\\app.jar", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        host.log.clear();
        const LauncherSettings settings =
            read(section(replaced(validKeys, "=lib\\app.jar", "=" + c.value)));
        EXPECT_EQ(settings.jarPath, c.expectedPath);
        EXPECT_EQ(settings.valid(), c.exists);
        const std::vector<std::wstring> expectedBoxes =
            c.exists ? std::vector<std::wstring>{}
                     : std::vector<std::wstring>{jarMissingBox(c.expectedPath), invalidBox()};
        EXPECT_EQ(host.log, expectedBoxes);
    }
}

// class-path entries: blanks around them and empty ones dropped, variables
// expanded, relative to the launcher's folder unless they have a colon, made
// full; Java's wildcard keeps its folder's full path; every entry exists,
// the first missing one is shown (for a wildcard, its folder).
TEST_F(Settings, ClassPathEntries) {
    const std::wstring folder = moduleRelativePath(L"");
    makeDirectories(moduleRelativePath(L"lib\\sub"));
    SetEnvironmentVariableW(L"TAVRIN_TEST_LIB", scratch.path().c_str());
    writeFileBytes(scratch / L"extra.jar", "PK");
    struct Case {
        std::string value;
        std::vector<std::wstring> entries;
        std::wstring missing; // the path shown, when an entry is missing
    } const cases[] = {
        {" lib\\* ; ;lib\\app.jar;;", {folder + L"lib\\*", folder + L"lib\\app.jar"}, L""},
        {"*;lib/*", {folder + L"*", folder + L"lib\\*"}, L""},
        {"lib\\sub\\..\\app.jar", {folder + L"lib\\app.jar"}, L""},
        {"%TAVRIN_TEST_LIB%\\extra.jar;lib\\sub",
         {scratch / L"extra.jar", folder + L"lib\\sub"},
         L""},
        {"lib\\app.jar;lib\\none.jar;lib\\other.jar", {}, folder + L"lib\\none.jar"},
        {"nothing\\*", {}, folder + L"nothing"},
        {"Z:\\no\\such\\*", {}, L"Z:\\no\\such"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        host.log.clear();
        const LauncherSettings settings = read(mainClassKeys("com.example.Main", c.value));
        EXPECT_EQ(settings.valid(), c.missing.empty());
        if (c.missing.empty()) {
            EXPECT_EQ(settings.classPath, c.entries);
            EXPECT_TRUE(host.log.empty());
        } else {
            EXPECT_EQ(host.log,
                      (std::vector<std::wstring>{jarMissingBox(c.missing), invalidBox()}));
        }
    }
    // A module path knows no wildcard: the settings are invalid, and no JAR
    // is said to be missing.
    host.log.clear();
    const LauncherSettings module =
        read(section(replaced(noJar, "=1.6", "=11") + "module=a.b\r\nmodule-path=lib\\*;lib\r\n"));
    EXPECT_FALSE(module.valid());
    EXPECT_EQ(host.log, (std::vector<std::wstring>{invalidBox()}));
    SetEnvironmentVariableW(L"TAVRIN_TEST_LIB", nullptr);
}

TEST(IsQualifiedJavaName, IdentifiersJoinedByDots) {
    const struct {
        std::wstring name;
        bool valid;
    } cases[] = {
        {L"Main", true},
        {L"com.example.app.Main", true},
        {L"$x._y.a1", true},
        {L"\u00e9t\u00e9.\u00dcber", true},
        {L"\u65e5\u672c.App", true},
        {L"", false},
        {L".a", false},
        {L"a.", false},
        {L"a..b", false},
        {L"1a", false},
        {L"a.1b", false},
        {L"a b", false},
        {L"a-b", false},
        {L"a/b", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isQualifiedJavaName(c.name), c.valid) << utf8(c.name);
    }
}

TEST(ConfiguredFilePath, AColonAnywhereMakesAPathAbsolute) {
    const std::wstring folder = moduleRelativePath(L"");
    struct Case {
        const wchar_t* value;
        std::wstring path;
    } const cases[] = {
        {L"D:\\apps\\x.jar", L"D:\\apps\\x.jar"},
        {L"lib\\x:y.jar", L"lib\\x:y.jar"},
        {L":", L":"},
        {L"x.jar", folder + L"x.jar"},
        {L"\\\\server\\share\\x.jar", L"\\\\server\\share\\x.jar"},
        {L"\\\\?\\UNC\\server\\share\\x.jar", L"\\\\?\\UNC\\server\\share\\x.jar"},
        {L"", folder},
        {L"/abs/x.jar", folder + L"/abs/x.jar"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(configuredFilePath(c.value), c.path) << utf8(c.value);
    }
}

TEST_F(Settings, MissingJarAndMissingKeyShowBothBoxesInOrder) {
    read(section(replaced(replaced(validKeys, "=lib\\app.jar", "=nowhere.jar"),
                          "allow-newer-version=1\r\n", "")));
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].caption, L"Jar not found");
    EXPECT_EQ(host.messages[0].text, expected::jarMissing(moduleRelativePath(L"nowhere.jar")));
    EXPECT_EQ(host.messages[0].flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(host.messages[1].caption, L"Error");
    EXPECT_EQ(host.messages[1].text, expected::settingsInvalid);
    EXPECT_EQ(host.messages[1].flags, static_cast<UINT>(MB_OK));
}

TEST_F(Settings, TextValuesAreTakenAsWritten) {
    SetEnvironmentVariableW(L"TAVRIN_TEST_HOME", L"C:\\Users\\Ana");
    const LauncherSettings settings =
        read(section(validKeys + "java-location=%TAVRIN_TEST_HOME%\\jdk-17\\bin\r\n"
                                 "start-arguments=--mode \"fast\"  b\r\n"
                                 "arguments=-tcp -baseDir \"%TAVRIN_TEST_HOME%\\My Data\" \"\"\r\n"
                                 "single-run-mutex=  Example.Mutex\r\n"
                                 "min-java-version=17\r\n"
                                 "Java-Options=-Dignored=1\r\n"
                                 "java-options=-Dhome=\"%TAVRIN_TEST_HOME%\\x y\" %NO_SUCH_VAR%\r\n"
                                 "max-java-version=21.0.4\r\n"
                                 "pass-arguments=1\r\n"
                                 "find-installed-java= 0\r\n"));
    SetEnvironmentVariableW(L"TAVRIN_TEST_HOME", nullptr);
    EXPECT_TRUE(settings.valid());
    // Expanded where it is used, remembered as written.
    EXPECT_EQ(settings.javaLocation, L"%TAVRIN_TEST_HOME%\\jdk-17\\bin");
    EXPECT_EQ(settings.startArguments, L"--mode \"fast\"  b");
    // Split as a command line is, after the variables.
    EXPECT_EQ(settings.arguments,
              (std::vector<std::wstring>{L"-tcp", L"-baseDir", L"C:\\Users\\Ana\\My Data", L""}));
    // A repeated key: the last value wins.
    EXPECT_EQ(settings.minJavaVersionText, L"17");
    EXPECT_EQ(settings.minJavaVersion.major, 17);
    EXPECT_EQ(settings.minJavaVersion.minor, 0);
    EXPECT_EQ(settings.javaOptions, L"-Dhome=\"C:\\Users\\Ana\\x y\" %NO_SUCH_VAR%");
    ASSERT_TRUE(settings.maxJavaVersion);
    EXPECT_EQ(settings.maxJavaVersion->major, 21);
    EXPECT_EQ(settings.maxJavaVersion->minor, 0);
    EXPECT_TRUE(settings.passArguments);
    EXPECT_FALSE(settings.findInstalledJava);
}

TEST_F(Settings, OnlyExactlySpelledKeysCount) {
    const LauncherSettings settings = read(
        section(validKeys + "JAR-FILE-NAME=evil.jar\r\nWAIT-FOR-EXIT=1\r\nPass-Arguments=1\r\n"));
    EXPECT_TRUE(settings.valid());
    EXPECT_EQ(settings.jarPath, jarPath);
    EXPECT_FALSE(settings.waitForExit);
    EXPECT_FALSE(settings.passArguments);
}

TEST_F(Settings, Utf8WithOrWithoutSignature) {
    const std::string keys =
        replaced(validKeys, "=lib\\app.jar\r\n",
                 "=lib\\app.jar\r\nstart-arguments=\xD0\xA2\xD0\xB5\xD1\x81\xD1"
                 "\x82 \xE6\x97\xA5 a\xFF"
                 "b\r\n");
    for (const std::string& prefix : {std::string(), std::string("\xEF\xBB\xBF")}) {
        const LauncherSettings settings = read(prefix + section(keys));
        EXPECT_TRUE(settings.valid());
        // Bytes that are not UTF-8 become the replacement character.
        EXPECT_EQ(settings.startArguments, L"\u0422\u0435\u0441\u0442 \u65e5 a\ufffdb");
    }
}

TEST(SingleRunMutexName, EmptyOrAbsentMeansNone) {
    const struct {
        std::string text;
        std::wstring name;
    } cases[] = {
        {"[tavrin]\r\nsingle-run-mutex=Example.SingleRun\r\n", L"Example.SingleRun"},
        {"[tavrin]\r\nsingle-run-mutex=\r\n", L""},
        {"[tavrin]\r\nSingle-Run-Mutex=Example\r\n", L""},
        {"[tavrin]\r\nwait-for-exit=1\r\n", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readSingleRunMutexName(SettingsFile(c.text)), c.name);
    }
}

TEST(SingleRunMutexName, ABackslashOnlyAfterGlobalOrLocal) {
    const struct {
        std::wstring name;
        bool usable;
    } cases[] = {
        {L"Example.SingleRun", true},
        {L"Global\\Example.SingleRun", true},
        {L"Local\\Example.SingleRun", true},
        {L"MyCompany\\MyApp", false},
        {L"Global\\MyCompany\\MyApp", false},
        {L"global\\Example", false},
        {L"Global\\", false},
        {std::wstring(260, L'm'), true},
        {std::wstring(261, L'm'), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isUsableMutexName(c.name), c.usable) << utf8(c.name);
    }
}

// log-file: relative to the launcher's folder, unless rooted or UNC.
TEST(ReadLogFile, RootedAndUncPathsStandAsTheyAre) {
    const struct {
        std::string value;
        std::wstring path;
    } cases[] = {
        {"logs\\x.log", moduleRelativePath(L"logs\\x.log")},
        {"D:\\logs\\x.log", L"D:\\logs\\x.log"},
        {"\\x.log", L"\\x.log"},
        {"\\\\server\\share\\x.log", L"\\\\server\\share\\x.log"},
        {"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readLogFile(SettingsFile("[tavrin]\r\nlog-file=" + c.value + "\r\n")), c.path)
            << c.value;
    }
}

TEST(LoadSettingsStore, EmptyOrUnreadableFilesDoNotLoad) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"tavrin.ini";
    EXPECT_FALSE(loadSettingsStore(path)) << "missing";
    for (const std::string& text : {std::string(), std::string("\xEF\xBB\xBF")}) {
        writeFileBytes(path, text);
        EXPECT_FALSE(loadSettingsStore(path)) << text.size() << " bytes";
    }
    makeDirectories(scratch / L"folder.ini");
    EXPECT_FALSE(loadSettingsStore(scratch / L"folder.ini"));

    writeFileBytes(path, "[tavrin]\r\n");
    UniqueFile exclusive(
        CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(exclusive);
    EXPECT_FALSE(loadSettingsStore(path)) << "held without sharing";
    exclusive.reset();
    EXPECT_TRUE(loadSettingsStore(path));
}

// Every problem names its key and why, in the order found; what makes no
// problem stays out.
TEST_F(Settings, ProblemsNameTheKeyAndWhy) {
    makeDirectories(moduleRelativePath(L"mods"));
    SetEnvironmentVariableW(L"TAVRIN_TEST_TWO", (jarPath + L";" + jarPath).c_str());
    const std::string java17 = replaced(noJar, "=1.6", "=17");
    const struct {
        const char* name;
        std::string section;
        std::vector<std::wstring> whys;
    } cases[] = {
        {"a module and a slash",
         java17 + "module=a/\r\n",
         {L"module: not a module, or module/main class: a/"}},
        {"a main class alone",
         java17 + "module=/Main\r\n",
         {L"module: not a module, or module/main class: /Main"}},
        {"two slashes",
         java17 + "module=a//b\r\n",
         {L"module: not a module, or module/main class: a//b"}},
        {"a module for Java 8",
         replaced(noJar, "=1.6", "=1.8") + "module=a.b\r\n",
         {L"module: needs min-java-version 9 or newer"}},
        {"a currency symbol is a Java letter",
         noJar + "main-class=probe.\xE2\x82\xACuro\r\nclass-path=lib\r\n",
         {}},
        {"a class path of separators only",
         noJar + "main-class=a.Main\r\nclass-path= ; ;;\r\n",
         {L"class-path: no entry, only separators"}},
        {"a module path takes no wildcard",
         java17 + "module=a.b\r\nmodule-path=mods\\*\r\n",
         {L"module-path: folders and JARs, no wildcard: mods\\*"}},
        {"a variable holding two entries",
         noJar + "main-class=a.Main\r\nclass-path=%TAVRIN_TEST_TWO%\r\n",
         {}},
        {"a missing required switch and a bad maximum",
         replaced(validKeys, "wait-for-exit=0\r\n", "") + "max-java-version=1.5\r\n",
         {L"max-java-version: below min-java-version", L"wait-for-exit: missing, and required"}},
        {"no way to start", noJar, {L"jar-file-name, main-class, module: none given"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LauncherSettings settings = read(section(c.section));
        std::vector<std::wstring> whys;
        for (const SettingsProblem& problem : settings.problems) {
            whys.push_back(problem.why);
        }
        EXPECT_EQ(whys, c.whys);
    }
    const LauncherSettings two =
        read(section(noJar + "main-class=a.Main\r\nclass-path=%TAVRIN_TEST_TWO%\r\n"));
    EXPECT_EQ(two.classPath, (std::vector<std::wstring>{jarPath, jarPath}));
    SetEnvironmentVariableW(L"TAVRIN_TEST_TWO", nullptr);
    removeTree(moduleRelativePath(L"mods"));
}

// The console launcher passes its arguments unless told not to, and, like a
// start in process, needs no wait-for-exit; the windowed launcher keeps both
// rules. Every missing or bad key is named.
TEST_F(Settings, DefaultsAndRequiredKeysFollowTheLauncherThatReads) {
    const std::string noWait = replaced(validKeys, "wait-for-exit=0\r\n", "");
    const SettingsFor windowed = SettingsFor::windowedLauncher;
    const SettingsFor console = SettingsFor::consoleLauncher;
    const struct {
        const char* name;
        SettingsFor reader;
        std::string keys;
        bool passArguments;
        std::vector<std::wstring> whys;
    } cases[] = {
        {"windowed: arguments dropped", windowed, validKeys, false, {}},
        {"console: arguments passed", console, validKeys, true, {}},
        {"console: pass-arguments=0 drops them",
         console,
         validKeys + "pass-arguments=0\r\n",
         false,
         {}},
        {"console: an unreadable switch keeps the default",
         console,
         validKeys + "pass-arguments=yes\r\n",
         true,
         {}},
        {"console: no wait-for-exit", console, noWait, true, {}},
        {"in process: no wait-for-exit", windowed, noWait + "in-process=1\r\n", false, {}},
        {"windowed: wait-for-exit required",
         windowed,
         noWait,
         false,
         {L"wait-for-exit: missing, and required"}},
        {"console: the other switches still required",
         console,
         replaced(noWait, "allow-newer-version=1\r\n", ""),
         true,
         {L"allow-newer-version: missing, and required"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LauncherSettings settings = read(section(c.keys), c.reader);
        EXPECT_EQ(settings.passArguments, c.passArguments);
        std::vector<std::wstring> whys;
        for (const SettingsProblem& problem : settings.problems) {
            whys.push_back(problem.why);
        }
        EXPECT_EQ(whys, c.whys);
    }
}

// working-directory: variables expanded, then a path as jar-file-name's; a
// folder that is not there is a problem.
TEST_F(Settings, WorkingDirectoryIsAFolderThatExists) {
    const std::wstring own = withoutTrailingBackslash(moduleRelativePath(L""));
    SetEnvironmentVariableW(L"TAVRIN_TEST_DATA", scratch.path().c_str());
    const struct {
        const char* name;
        std::string value; // none: the key is absent
        std::wstring folder;
        std::wstring why;
    } cases[] = {
        {"absent", "", L"", L""},
        {"relative", "working-directory=lib\r\n", own + L"\\lib", L""},
        {"relative with a trailing backslash", "working-directory=\\lib\\\r\n", own + L"\\lib",
         L""},
        {"the launcher's folder", "working-directory=.\r\n", own, L""},
        {"a variable", "working-directory=%TAVRIN_TEST_DATA%\r\n",
         withoutTrailingBackslash(scratch.path()), L""},
        {"empty: the launcher's choice", "working-directory=\r\n", L"", L""},
        {"not there", "working-directory=nowhere\r\n", L"",
         L"working-directory: no such folder: " + own + L"\\nowhere"},
        {"a file", "working-directory=lib\\app.jar\r\n", L"",
         L"working-directory: no such folder: " + jarPath},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LauncherSettings settings = read(section(validKeys + c.value));
        EXPECT_EQ(settings.workingDirectory, c.folder);
        EXPECT_EQ(settings.problems.empty() ? L"" : settings.problems.front().why, c.why);
    }
    SetEnvironmentVariableW(L"TAVRIN_TEST_DATA", nullptr);
}

// The settings of a program with a section of its own are [tavrin] with that
// section over it: the check is on the result.
TEST_F(Settings, AProgramsSectionIsCheckedMergedWithTavrin) {
    const std::string noWait = replaced(validKeys, "wait-for-exit=0\r\n", "");
    const struct {
        const char* name;
        std::string file;
        LauncherSettings::Start start;
        std::wstring startArguments;
        std::vector<std::wstring> whys;
    } cases[] = {
        {"its own main class, the JAR cleared",
         section(validKeys + "start-arguments=--gui\r\n") +
             "[tool.exe]\r\njar-file-name=\r\nmain-class=app.Tool\r\nclass-path=lib\r\n"
             "start-arguments=--batch\r\n",
         LauncherSettings::Start::mainClass,
         L"--batch",
         {}},
        {"a required key in its section alone",
         section(noWait) + "[tool.exe]\r\nwait-for-exit=1\r\n",
         LauncherSettings::Start::jar,
         L"",
         {}},
        {"the way to start in its section alone",
         section(noJar) + "[Tool.Exe]\r\njar-file-name=lib\\app.jar\r\n",
         LauncherSettings::Start::jar,
         L"",
         {}},
        {"a required key cleared there is missing",
         section(validKeys) + "[tool.exe]\r\nmin-java-version=\r\n",
         LauncherSettings::Start::jar,
         L"",
         {L"min-java-version: missing, and required"}},
        {"two ways to start once merged",
         section(validKeys) + "[tool.exe]\r\nmain-class=app.Tool\r\nclass-path=lib\r\n",
         LauncherSettings::Start::jar,
         L"",
         {L"jar-file-name, main-class, module: more than one given"}},
        {"another program's section is not read",
         section(noWait) + "[other.exe]\r\nwait-for-exit=1\r\n",
         LauncherSettings::Start::jar,
         L"",
         {L"wait-for-exit: missing, and required"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LauncherSettings settings = read(c.file, SettingsFor::windowedLauncher, "tool.exe");
        EXPECT_EQ(settings.programSection, "tool.exe");
        std::vector<std::wstring> whys;
        for (const SettingsProblem& problem : settings.problems) {
            whys.push_back(problem.why);
        }
        EXPECT_EQ(whys, c.whys);
        if (c.whys.empty()) {
            EXPECT_EQ(settings.start, c.start);
            EXPECT_EQ(settings.startArguments, c.startArguments);
        }
    }
}

// service-name and service-stop-timeout; a service, which always waits,
// needs no wait-for-exit.
TEST_F(Settings, TheServiceKeys) {
    const std::string noWait = replaced(validKeys, "wait-for-exit=0\r\n", "");
    const struct {
        const char* name;
        std::string keys;
        SettingsFor reader;
        std::wstring serviceName;
        unsigned long timeout;
        std::wstring why;
    } cases[] = {
        {"absent", validKeys, SettingsFor::windowedLauncher, L"", 20, L""},
        {"a name, the default time-out", noWait + "service-name=Example Server\r\n",
         SettingsFor::service, L"Example Server", 20, L""},
        // An operator's own start: the server in front, waited for.
        {"a name, started by a person", noWait + "service-name=Example Server\r\n",
         SettingsFor::windowedLauncher, L"Example Server", 20, L""},
        {"the shortest time-out", validKeys + "service-stop-timeout=1\r\n",
         SettingsFor::windowedLauncher, L"", 1, L""},
        {"the longest, blanks around it", validKeys + "service-stop-timeout= 300 \r\n",
         SettingsFor::windowedLauncher, L"", 300, L""},
        {"zero", validKeys + "service-stop-timeout=0\r\n", SettingsFor::windowedLauncher, L"", 20,
         L"service-stop-timeout: not a number of seconds from 1 to 300: 0"},
        {"above 300", validKeys + "service-stop-timeout=301\r\n", SettingsFor::windowedLauncher,
         L"", 20, L"service-stop-timeout: not a number of seconds from 1 to 300: 301"},
        {"not a number", validKeys + "service-stop-timeout=20s\r\n", SettingsFor::windowedLauncher,
         L"", 20, L"service-stop-timeout: not a number of seconds from 1 to 300: 20s"},
        {"a backslash in the name", validKeys + "service-name=Example\\Server\r\n",
         SettingsFor::windowedLauncher, L"Example\\Server", 20,
         L"service-name: not a service name (at most 256 characters, no / or \\): Example\\Server"},
        {"a name too long", validKeys + "service-name=" + std::string(257, 'x') + "\r\n",
         SettingsFor::windowedLauncher, std::wstring(257, L'x'), 20,
         L"service-name: not a service name (at most 256 characters, no / or \\): " +
             std::wstring(257, L'x')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LauncherSettings settings = read(section(c.keys), c.reader);
        EXPECT_EQ(settings.service.name, c.serviceName);
        EXPECT_EQ(settings.service.stopTimeoutSeconds, c.timeout);
        EXPECT_EQ(settings.problems.empty() ? L"" : settings.problems.front().why, c.why);
        if (!c.serviceName.empty() && c.keys.find("wait-for-exit") == std::string::npos) {
            EXPECT_TRUE(settings.waitForExit);
        }
    }
}

// The restart and output-log keys: their defaults, their bounds, and the
// problem a value out of them makes (the key keeping its default).
TEST_F(Settings, TheServicesRestartAndLogKeys) {
    const struct {
        const char* name;
        std::string keys;
        bool restart;
        unsigned long delay;
        unsigned long size;
        unsigned long keep;
        std::wstring why;
    } cases[] = {
        {"the defaults", "", true, 5, 10, 5, L""},
        {"every key",
         "service-restart= no \r\nservice-restart-delay=0\r\nservice-log-size=1024\r\n"
         "service-log-keep=99\r\n",
         false, 0, 1024, 99, L""},
        {"on-failure, the longest delay, none kept",
         "service-restart=on-failure\r\nservice-restart-delay=300\r\nservice-log-keep=0\r\n", true,
         300, 10, 0, L""},
        {"another restart word", "service-restart=always\r\n", true, 5, 10, 5,
         L"service-restart: neither on-failure nor no: always"},
        {"a delay too long", "service-restart-delay=301\r\n", true, 5, 10, 5,
         L"service-restart-delay: not a number of seconds from 0 to 300: 301"},
        {"a size of none", "service-log-size=0\r\n", true, 5, 10, 5,
         L"service-log-size: not a number of MiB from 1 to 1024: 0"},
        {"a size with its unit", "service-log-size=10M\r\n", true, 5, 10, 5,
         L"service-log-size: not a number of MiB from 1 to 1024: 10M"},
        {"too many kept", "service-log-keep=100\r\n", true, 5, 10, 5,
         L"service-log-keep: not a number of files from 0 to 99: 100"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LauncherSettings settings = read(section(validKeys + c.keys));
        EXPECT_EQ(settings.service.restartOnFailure, c.restart);
        EXPECT_EQ(settings.service.restartDelaySeconds, c.delay);
        EXPECT_EQ(settings.service.logSizeMiB, c.size);
        EXPECT_EQ(settings.service.logKeep, c.keep);
        EXPECT_EQ(settings.problems.empty() ? L"" : settings.problems.front().why, c.why);
    }
}

// The update keys: the feed's address, a key beside it, the hours between
// checks and the mode; update-key's form is the updater's to check.
TEST_F(Settings, TheUpdateKeys) {
    const std::string key = "update-key=MFkw\r\n";
    const struct {
        const char* name;
        std::string keys;
        std::wstring feed;
        unsigned long hours;
        bool off;
        std::wstring why;
    } cases[] = {
        {"none", "", L"", 24, false, L""},
        {"https", "update-feed=https://example.com/a.update\r\n" + key,
         L"https://example.com/a.update", 24, false, L""},
        {"http on this computer",
         "update-feed=http://127.0.0.1:8000/a.update\r\nupdate-check-hours=0\r\n" + key,
         L"http://127.0.0.1:8000/a.update", 0, false, L""},
        {"http to localhost, off",
         "update-feed=http://localhost/a.update\r\nupdate-mode=off\r\n" + key,
         L"http://localhost/a.update", 24, true, L""},
        {"the longest wait", "update-check-hours=8760\r\nupdate-mode=next-start\r\n", L"", 8760,
         false, L""},
        {"http elsewhere", "update-feed=http://example.com/a.update\r\n" + key, L"", 24, false,
         L"update-feed: not an https:// address (http:// only for 127.0.0.1 and localhost): "
         L"http://example.com/a.update"},
        {"a host named like this computer's",
         "update-feed=http://127.0.0.1.example.com/a.update\r\n" + key, L"", 24, false,
         L"update-feed: not an https:// address (http:// only for 127.0.0.1 and localhost): "
         L"http://127.0.0.1.example.com/a.update"},
        {"no key", "update-feed=https://example.com/a.update\r\n", L"", 24, false,
         L"update-key: missing, and update-feed names a feed"},
        {"another mode", "update-mode=always\r\n", L"", 24, false,
         L"update-mode: neither next-start nor off: always"},
        {"more than a year", "update-check-hours=8761\r\n", L"", 24, false,
         L"update-check-hours: not a number of hours from 0 to 8760: 8761"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LauncherSettings settings = read(section(validKeys + c.keys));
        EXPECT_EQ(settings.update.feed, c.feed);
        EXPECT_EQ(settings.update.checkHours, c.hours);
        EXPECT_EQ(settings.update.off, c.off);
        EXPECT_EQ(settings.problems.empty() ? L"" : settings.problems.front().why, c.why);
    }
}

} // namespace

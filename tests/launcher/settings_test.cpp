#include "launcher/settings.h"

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

const std::wstring jarMissingCaption = L"Jar not found";
const std::wstring invalidText =
    L"Ini file is invalid. Be sure '.ini' file is valid UTF-8. Try to reinstall program if not.";

std::wstring jarMissingText(const std::wstring& a_path) {
    return L"Cannot find jar file with path '" + a_path + L"'.";
}

std::wstring invalidBox() {
    return L"box Error: " + invalidText;
}

std::wstring jarMissingBox(const std::wstring& a_path) {
    return L"box Jar not found: " + jarMissingText(a_path);
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
    LauncherSettings read(const std::string& a_text) {
        const std::wstring path = scratch / L"tavrin.ini";
        writeFileBytes(path, a_text);
        const auto store = loadSettingsStore(path);
        if (!store) {
            ADD_FAILURE() << "the settings did not load";
            return {};
        }
        PresentKeys keys;
        if (!indexSettingsKeys(*store, keys, host)) {
            ADD_FAILURE() << "no [tavrin] section";
            return {};
        }
        return readLauncherSettings(*store, keys, host);
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
    EXPECT_TRUE(settings.settingsValid);
    EXPECT_EQ(settings.jarPath, jarPath);
    EXPECT_EQ(settings.minJavaVersionText, L"1.6");
    EXPECT_EQ(settings.minJavaVersion.major, 1);
    EXPECT_EQ(settings.minJavaVersion.minor, 6);
    EXPECT_EQ(settings.javaLocation, L"");
    EXPECT_EQ(settings.startArguments, L"");
    EXPECT_FALSE(settings.waitForExit);
    EXPECT_TRUE(settings.askForJavaLocation);
    EXPECT_TRUE(settings.allowNewerVersion);
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
        {"optional keys absent", section(validKeys), true, {}},
        {"empty section", "[tavrin]\r\n", false, {invalidBox()}},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        host.log.clear();
        EXPECT_EQ(read(c.section).settingsValid, c.valid);
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
        EXPECT_TRUE(settings.settingsValid);
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        host.log.clear();
        const LauncherSettings settings =
            read(section(replaced(validKeys, "=lib\\app.jar", "=" + c.value)));
        EXPECT_EQ(settings.jarPath, c.expectedPath);
        EXPECT_EQ(settings.settingsValid, c.exists);
        const std::vector<std::wstring> expectedBoxes =
            c.exists ? std::vector<std::wstring>{}
                     : std::vector<std::wstring>{jarMissingBox(c.expectedPath), invalidBox()};
        EXPECT_EQ(host.log, expectedBoxes);
    }
}

TEST_F(Settings, MissingJarAndMissingKeyShowBothBoxesInOrder) {
    read(section(replaced(replaced(validKeys, "=lib\\app.jar", "=nowhere.jar"),
                          "allow-newer-version=1\r\n", "")));
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].caption, jarMissingCaption);
    EXPECT_EQ(host.messages[0].text, jarMissingText(moduleRelativePath(L"nowhere.jar")));
    EXPECT_EQ(host.messages[0].flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(host.messages[1].caption, L"Error");
    EXPECT_EQ(host.messages[1].text, invalidText);
    EXPECT_EQ(host.messages[1].flags, static_cast<UINT>(MB_OK));
}

TEST_F(Settings, TextValuesAreTakenAsWritten) {
    const LauncherSettings settings =
        read(section(validKeys + "java-location=C:\\Program Files\\Java\\jdk-17\\bin\r\n"
                                 "start-arguments=--mode \"fast\"  b\r\n"
                                 "single-run-mutex=  Example.Mutex\r\n"
                                 "min-java-version=17\r\n"));
    EXPECT_TRUE(settings.settingsValid);
    EXPECT_EQ(settings.javaLocation, L"C:\\Program Files\\Java\\jdk-17\\bin");
    EXPECT_EQ(settings.startArguments, L"--mode \"fast\"  b");
    // A repeated key: the last value wins.
    EXPECT_EQ(settings.minJavaVersionText, L"17");
    EXPECT_EQ(settings.minJavaVersion.major, 17);
    EXPECT_EQ(settings.minJavaVersion.minor, 0);
}

TEST_F(Settings, Utf8WithOrWithoutSignature) {
    const std::string keys =
        replaced(validKeys, "=lib\\app.jar\r\n",
                 "=lib\\app.jar\r\nstart-arguments=\xD0\xA2\xD0\xB5\xD1\x81\xD1"
                 "\x82 \xE6\x97\xA5 a\xFF"
                 "b\r\n");
    for (const std::string& prefix : {std::string(), std::string("\xEF\xBB\xBF")}) {
        const LauncherSettings settings = read(prefix + section(keys));
        EXPECT_TRUE(settings.settingsValid);
        // Bytes that are not UTF-8 become the replacement character.
        EXPECT_EQ(settings.startArguments, L"\u0422\u0435\u0441\u0442 \u65e5 a\ufffdb");
    }
}

TEST(SingleRunMutexName, EmptyOrAbsentMeansNone) {
    ScratchFolder scratch;
    ScriptedHost host;
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
        writeFileBytes(scratch / L"tavrin.ini", c.text);
        const auto store = loadSettingsStore(scratch / L"tavrin.ini");
        ASSERT_TRUE(store);
        PresentKeys keys;
        ASSERT_TRUE(indexSettingsKeys(*store, keys, host));
        EXPECT_EQ(readSingleRunMutexName(*store, keys), c.name);
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

TEST(IndexSettingsKeys, MissingSectionShowsTheInvalidBox) {
    ScratchFolder scratch;
    ScriptedHost host;
    const std::wstring path = scratch / L"tavrin.ini";
    writeFileBytes(path, "; only a comment\r\n[other]\r\njar-file-name=x.jar\r\n");
    const auto store = loadSettingsStore(path);
    ASSERT_TRUE(store);
    PresentKeys keys;
    EXPECT_FALSE(indexSettingsKeys(*store, keys, host));
    EXPECT_EQ(host.log, std::vector<std::wstring>{invalidBox()});

    writeFileBytes(path,
                   "[tavrin]\r\njar-file-name=a\r\nJAR-FILE-NAME=b\r\nmin-java-version=1\r\n");
    const auto another = loadSettingsStore(path);
    ASSERT_TRUE(another);
    EXPECT_TRUE(indexSettingsKeys(*another, keys, host));
    // One entry per key, spelled as it was first written.
    EXPECT_EQ(keys, (PresentKeys{L"jar-file-name", L"min-java-version"}));
}

// The rewrite after a launch, byte for byte.
class SaveJavaLocation : public testing::Test {
protected:
    std::string saved(const std::string& a_loaded, const std::wstring& a_javaExecutable,
                      int a_expectedResult = 0) {
        writeFileBytes(path, a_loaded);
        const auto store = loadSettingsStore(path);
        if (!store) {
            ADD_FAILURE() << "did not load";
            return {};
        }
        EXPECT_EQ(saveJavaLocation(*store, path, a_javaExecutable), a_expectedResult);
        return readFileBytes(path);
    }

    ScratchFolder scratch;
    const std::wstring path = scratch / L"tavrin.ini";
};

TEST_F(SaveJavaLocation, TheSampleFileAfterItsFirstLaunch) {
    const std::string sample = "[tavrin]\n"
                               "single-run-mutex=ExampleApplication.SingleRun\n"
                               "jar-file-name=lib\\example.jar\n"
                               "min-java-version=1.6.0\n"
                               "java-location=\n"
                               "start-arguments=\n"
                               "wait-for-exit=0\n"
                               "ask-for-java-location=1\n"
                               "allow-newer-version=1\n";
    EXPECT_EQ(saved(sample, L"java.exe"), "[tavrin]\r\n"
                                          "single-run-mutex=ExampleApplication.SingleRun\r\n"
                                          "jar-file-name=lib\\example.jar\r\n"
                                          "min-java-version=1.6.0\r\n"
                                          "java-location=java.exe\r\n"
                                          "start-arguments=\r\n"
                                          "wait-for-exit=0\r\n"
                                          "ask-for-java-location=1\r\n"
                                          "allow-newer-version=1\r\n");
}

TEST_F(SaveJavaLocation, CommentsSectionsAndOrderAreKept) {
    const std::string loaded = "\xEF\xBB\xBF"
                               "; Example Application\r\n"
                               "; launcher settings\r\n"
                               "\r\n"
                               "[tavrin]\r\n"
                               "jar-file-name = lib\\app.jar\r\n"
                               "\r\n"
                               "; the runtime last used\r\n"
                               "java-location  =  C:\\old\\java.exe\r\n"
                               "wait-for-exit\t=\t1\r\n"
                               "\r\n"
                               "# other settings\r\n"
                               "[Other Section]\r\n"
                               "colour = \xE8\x93\x9D\r\n";
    EXPECT_EQ(saved(loaded, L"C:\\Program Files\\Java\\bin\\java.exe"),
              "; Example Application\r\n"
              "; launcher settings\r\n"
              "\r\n"
              "\r\n"
              "[tavrin]\r\n"
              "jar-file-name=lib\\app.jar\r\n"
              "\r\n"
              "; the runtime last used\r\n"
              "java-location=C:\\Program Files\\Java\\bin\\java.exe\r\n"
              "wait-for-exit=1\r\n"
              "\r\n"
              "\r\n"
              "# other settings\r\n"
              "[Other Section]\r\n"
              "colour=\xE8\x93\x9D\r\n");
}

TEST_F(SaveJavaLocation, ANewJavaLocationComesLastInItsSection) {
    const std::string loaded = "[first]\na=1\n[tavrin]\njar-file-name=x.jar\nwait-for-exit=0\n"
                               "[last]\nb=2\n";
    EXPECT_EQ(saved(loaded, L"D:\\jdk\\bin\\java.exe"), "[first]\r\n"
                                                        "a=1\r\n"
                                                        "\r\n"
                                                        "\r\n"
                                                        "[tavrin]\r\n"
                                                        "jar-file-name=x.jar\r\n"
                                                        "wait-for-exit=0\r\n"
                                                        "java-location=D:\\jdk\\bin\\java.exe\r\n"
                                                        "\r\n"
                                                        "\r\n"
                                                        "[last]\r\n"
                                                        "b=2\r\n");
}

TEST_F(SaveJavaLocation, ARepeatedKeyKeepsItsFirstPlaceAndLastValue) {
    const std::string loaded = "[tavrin]\njava-location=first\nwait-for-exit=0\n"
                               "wait-for-exit=1\njava-location=second\n";
    EXPECT_EQ(saved(loaded, L"java"), "[tavrin]\r\n"
                                      "java-location=java\r\n"
                                      "wait-for-exit=1\r\n");
}

TEST_F(SaveJavaLocation, KeepsTheFileAttributesAndLeavesNoTemporaryFile) {
    writeFileBytes(path, "[tavrin]\r\n");
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    const auto store = loadSettingsStore(path);
    ASSERT_TRUE(store);
    EXPECT_EQ(saveJavaLocation(*store, path, L"java.exe"), 0);
    EXPECT_EQ(readFileBytes(path), "[tavrin]\r\njava-location=java.exe\r\n");
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(filesMatching(scratch / L"*.tmp").empty()) << "a temporary file was left behind";
}

TEST_F(SaveJavaLocation, AReadOnlyFileStaysAsItWas) {
    const std::string loaded = "[tavrin]\r\njava-location=old\r\n";
    writeFileBytes(path, loaded);
    const auto store = loadSettingsStore(path);
    ASSERT_TRUE(store);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(saveJavaLocation(*store, path, L"java.exe"), -8);
    EXPECT_EQ(readFileBytes(path), loaded);
    EXPECT_FALSE(pathExists(path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp"));
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(SaveJavaLocation, AFolderThatCannotTakeTheTemporaryFileGivesMinus8) {
    const std::string loaded = "[tavrin]\r\njava-location=old\r\n";
    writeFileBytes(path, loaded);
    const auto store = loadSettingsStore(path);
    ASSERT_TRUE(store);
    // A directory where the temporary file would go.
    makeDirectories(path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp");
    EXPECT_EQ(saveJavaLocation(*store, path, L"java.exe"), -8);
    EXPECT_EQ(readFileBytes(path), loaded);
}

TEST_F(SaveJavaLocation, AReaderHoldingTheFileIsWaitedFor) {
    writeFileBytes(path, "[tavrin]\r\n");
    const auto store = loadSettingsStore(path);
    ASSERT_TRUE(store);
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
    EXPECT_EQ(saveJavaLocation(*store, path, L"java.exe"), 0);
    WaitForSingleObject(timer.get(), INFINITE);
    EXPECT_EQ(readFileBytes(path), "[tavrin]\r\njava-location=java.exe\r\n");
}

} // namespace

#include "launch/class_data.h"

#include "launch/launch_line.h"
#include "settings/settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace testing_support;

TEST(ClassDataFolder, TheUsersSettingsFolderOrTheLaunchersName) {
    const struct {
        std::wstring localData, userSettings, launcher, folder;
    } cases[] = {
        {L"C:\\Users\\Ana\\AppData\\Local", L"", L"ExampleApp.exe",
         L"C:\\Users\\Ana\\AppData\\Local\\ExampleApp\\class-data\\"},
        {L"C:\\Users\\Ana\\AppData\\Local\\", L"", L"tavrinc.exe",
         L"C:\\Users\\Ana\\AppData\\Local\\tavrinc\\class-data\\"},
        {L"C:\\Users\\Ana\\AppData\\Local", L"C:\\Users\\Ana\\AppData\\Local\\Example App",
         L"ExampleApp.exe", L"C:\\Users\\Ana\\AppData\\Local\\Example App\\class-data\\"},
        {L"", L"", L"ExampleApp.exe", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(classDataFolder(c.localData, c.userSettings, c.launcher), c.folder)
            << utf8(c.folder);
    }
}

// Java 13 and newer, when its version is known, and HotSpot.
TEST(WhyNoClassData, TheVersionsAndTheVirtualMachine) {
    const struct {
        int feature;
        std::string release;
        bool archived;
    } cases[] = {
        {-1, "", false},
        {8, "", false},
        {12, "JVM_VARIANT=\"Hotspot\"\n", false},
        {13, "", true},
        {17, "IMPLEMENTOR=\"Eclipse Adoptium\"\nJVM_VARIANT=\"Hotspot\"\n", true},
        {21, "JVM_VARIANT=\"hotspot\"\r\n", true},
        {17, "IMPLEMENTOR=\"IBM Corporation\"\nJVM_VARIANT=\"Openj9\"\n", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(whyNoClassData(c.feature, c.release).empty(), c.archived)
            << c.feature << " " << c.release;
    }
    EXPECT_EQ(whyNoClassData(17, "JVM_VARIANT=\"Openj9\"\n"),
              L"the runtime is not HotSpot (JVM_VARIANT=Openj9)");
}

// Every input the JVM checks changes the text the archive is named by.
TEST(ClassDataInputs, EveryInputTheJvmChecksCounts) {
    const ScratchFolder scratch;
    makeDirectories(scratch / L"lib");
    writeFileBytes(scratch / L"java.exe", "MZ");
    writeFileBytes(scratch / L"lib\\a.jar", "PK");
    writeFileBytes(scratch / L"lib\\notes.txt", "x");
    LauncherSettings settings;
    settings.start = LauncherSettings::Start::mainClass;
    settings.mainClass = L"com.example.Main";
    settings.classPath = {scratch / L"lib\\*"};
    const std::wstring java = scratch / L"java.exe";
    const std::string release = "JAVA_VERSION=\"17.0.9\"\n";
    const std::wstring before = classDataInputs(java, release, L"17.0", settings);
    EXPECT_EQ(classDataInputs(java, release, L"17.0", settings), before);
    writeFileBytes(scratch / L"lib\\notes.txt", "more"); // not a JAR: no matter
    EXPECT_EQ(classDataInputs(java, release, L"17.0", settings), before);

    LauncherSettings options = settings;
    options.javaOptions = L"-Xmx1g";
    LauncherSettings mainClass = settings;
    mainClass.mainClass = L"com.example.Other";
    const struct {
        const char* name;
        std::wstring inputs;
    } changed[] = {
        {"java-options", classDataInputs(java, release, L"17.0", options)},
        {"the main class", classDataInputs(java, release, L"17.0", mainClass)},
        {"the release file",
         classDataInputs(java, "JAVA_VERSION=\"17.0.10\"\n", L"17.0", settings)},
        {"the runtime", classDataInputs(scratch / L"lib\\a.jar", release, L"17.0", settings)},
    };
    for (const auto& c : changed) {
        EXPECT_NE(c.inputs, before) << c.name;
    }
    writeFileBytes(scratch / L"lib\\b.jar", "PK");
    EXPECT_NE(classDataInputs(java, release, L"17.0", settings), before) << "a JAR added";
    const std::wstring two = classDataInputs(java, release, L"17.0", settings);
    writeFileBytes(scratch / L"lib\\b.jar", "PK+");
    EXPECT_NE(classDataInputs(java, release, L"17.0", settings), two) << "a JAR's size";
}

// Whole: the size its name gives, and a dynamic archive's header (which
// the JVM writes last: one killed while writing leaves zeros).
TEST(IsWholeArchive, TheSizeInItsNameAndItsHeader) {
    const ScratchFolder scratch;
    const std::wstring path = scratch / L"archive.jsa";
    const std::string header("\xa8\xab\x0b\xf0", 4);
    const struct {
        std::string bytes;
        ULONGLONG named;
        bool whole;
    } cases[] = {
        {header + std::string(100, 'x'), 104, true},
        {header + std::string(100, 'x'), 105, false},
        {std::string(4, '\0') + std::string(100, 'x'), 104, false},
        {header.substr(0, 3), 3, false},
    };
    for (const auto& c : cases) {
        writeFileBytes(path, c.bytes);
        EXPECT_EQ(isWholeArchive(path, c.named), c.whole) << c.named;
    }
    EXPECT_FALSE(isWholeArchive(scratch / L"none.jsa", 104));
}

// The launcher's options come before java-options, so the author's win.
TEST(ClassDataOptions, BeforeTheAuthorsOptions) {
    LauncherSettings settings;
    settings.jarPath = L"C:\\App\\app.jar";
    settings.javaOptions = L"-Xlog:cds=info";
    const LaunchLine line(L"java.exe", settings, {}, L"",
                          {L"-XX:SharedArchiveFile=C:\\Users\\Ana\\x y\\a.jsa", L"-Xlog:cds*=off"});
    EXPECT_EQ(line.commandLine(), L"java.exe \"-XX:SharedArchiveFile=C:\\Users\\Ana\\x y\\a.jsa\" "
                                  L"\"-Xlog:cds*=off\" -Xlog:cds=info -jar  \"C:\\App\\app.jar\" ");
}

} // namespace

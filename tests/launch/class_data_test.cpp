#include "launch/class_data.h"

#include "launch/launch_line.h"
#include "messages/start_log.h"
#include "platform/text.h"
#include "platform/unique_handle.h"
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

// The options and paths with which the JVM would refuse to make an archive
// (and, for some, end before main): no option then, and the log says why.
TEST(WhyNoArchiveFor, OptionsAndPathsTheJvmRefusesToDumpWith) {
    const ScratchFolder scratch;
    makeDirectories(scratch / L"config");
    writeFileBytes(scratch / L"config\\app.properties", "x=1");
    makeDirectories(scratch / L"empty");
    makeDirectories(scratch / L"lib");
    makeDirectories(scratch / L"mods\\com.example.hello");
    makeDirectories(scratch / L"jars");
    writeFileBytes(scratch / L"jars\\hello.jar", "PK");
    LauncherSettings jar;
    LauncherSettings classPath;
    classPath.start = LauncherSettings::Start::mainClass;
    LauncherSettings modules;
    modules.start = LauncherSettings::Start::module;
    const struct {
        const char* name;
        std::vector<std::wstring> classPath;
        std::vector<std::wstring> modulePath;
        std::wstring options;
        std::wstring why; // empty: an archive
    } cases[] = {
        {"plain options", {}, {}, L"java.exe -Xmx1g -Xshare:auto", L""},
        {"a Java agent",
         {},
         {},
         L"-javaagent:\"C:\\a b\\agent.jar\"",
         L"the option -javaagent:C:\\a b\\agent.jar keeps the JVM from making one"},
        {"sharing off",
         {},
         {},
         L"-Xmx1g -Xshare:off",
         L"the option -Xshare:off keeps the JVM from making one"},
        {"shared spaces off",
         {},
         {},
         L"-XX:-UseSharedSpaces",
         L"the option -XX:-UseSharedSpaces keeps the JVM from making one"},
        {"an archive of the author's",
         {},
         {},
         L"-XX:SharedArchiveFile=C:\\a.jsa",
         L"the option -XX:SharedArchiveFile=C:\\a.jsa keeps the JVM from making one"},
        {"a patched module",
         {},
         {},
         L"--patch-module java.base=x",
         L"the option --patch-module keeps the JVM from making one"},
        {"limited modules",
         {},
         {},
         L"--limit-modules=java.base",
         L"the option --limit-modules=java.base keeps the JVM from making one"},
        {"a dump",
         {},
         {},
         L"-Xshare:dump",
         L"the option -Xshare:dump keeps the JVM from making one"},
        {"a folder with files on the class path",
         {scratch / L"config", scratch / L"lib\\*"},
         {},
         L"",
         L"the class path's folder " + (scratch / L"config") + L" holds files"},
        {"an empty folder and a wildcard",
         {scratch / L"empty", scratch / L"config\\*"},
         {},
         L"",
         L""},
        {"an exploded module",
         {},
         {scratch / L"mods"},
         L"",
         L"the module path's folder " + (scratch / L"mods") + L" holds an exploded module"},
        {"a folder of modular JARs", {}, {scratch / L"jars"}, L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LauncherSettings settings = !c.classPath.empty()    ? classPath
                                    : !c.modulePath.empty() ? modules
                                                            : jar;
        settings.classPath = c.classPath;
        settings.modulePath = c.modulePath;
        EXPECT_EQ(whyNoArchiveFor(settings, c.options), c.why);
    }
}

// A ZIP of a_filler and a central directory of a_directory, with its end
// record.
std::string zipWith(const std::string& a_filler, const std::string& a_directory) {
    const auto le = [](std::size_t a_value, int a_bytes) {
        std::string bytes;
        for (int i = 0; i < a_bytes; ++i) {
            bytes.push_back(static_cast<char>((a_value >> (8 * i)) & 0xFF));
        }
        return bytes;
    };
    return a_filler + a_directory + std::string("PK\x05\x06", 4) + le(0, 4) + le(1, 2) + le(1, 2) +
           le(a_directory.size(), 4) + le(a_filler.size(), 4) + le(0, 2);
}

void setWriteTime(const std::wstring& a_path, const FILETIME& a_time) {
    const UniqueFile file(
        CreateFileW(a_path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file && SetFileTime(file.get(), nullptr, nullptr, &a_time));
}

// What the JVM does not check counts too: a JAR of the same size and time
// with other classes, the JARs of a module-path folder, a runnable JAR's
// neighbours (its manifest's Class-Path).
TEST(ClassDataInputs, WhatTheJvmDoesNotCheckCountsToo) {
    const ScratchFolder scratch;
    makeDirectories(scratch / L"lib");
    makeDirectories(scratch / L"mods");
    const std::wstring java = scratch / L"java.exe";
    writeFileBytes(java, "MZ");
    const std::wstring jar = scratch / L"app.jar";
    const FILETIME built{0x12345678, 0x01D00000};
    writeFileBytes(jar, zipWith("PK\x03\x04 classes", "PK\x01\x02 crc=1111"));
    setWriteTime(jar, built);
    LauncherSettings settings;
    settings.jarPath = jar;
    const std::wstring before = classDataInputs(java, "", L"17.0", settings);
    writeFileBytes(jar, zipWith("PK\x03\x04 CLASSES", "PK\x01\x02 crc=2222"));
    setWriteTime(jar, built);
    const std::wstring rebuilt = classDataInputs(java, "", L"17.0", settings);
    EXPECT_NE(rebuilt, before) << "a JAR of the same size and time with other classes";
    writeFileBytes(scratch / L"lib\\dep.jar", zipWith("", "PK\x01\x02 dep"));
    EXPECT_NE(classDataInputs(java, "", L"17.0", settings), rebuilt) << "its lib folder's JAR";

    LauncherSettings modules;
    modules.start = LauncherSettings::Start::module;
    modules.module = L"com.example.hello";
    modules.modulePath = {scratch / L"mods"};
    const std::wstring folder = classDataInputs(java, "", L"17.0", modules);
    writeFileBytes(scratch / L"mods\\hello.jar", zipWith("", "PK\x01\x02 hello"));
    EXPECT_NE(classDataInputs(java, "", L"17.0", modules), folder) << "a module-path folder's JAR";
}

// The archive's folder through the seam, laid out as starts left it.
class ClassDataFolderAsLeft : public testing::Test {
protected:
    ClassDataArchive::Place place() const {
        return {scratch / L"class-data\\", L"app", scratch / L"app.exe", scratch / L"work"};
    }
    std::wstring digest() const {
        return L"app-" + hexDigits(fnv1aHash(inputs.data(), inputs.size()));
    }
    std::wstring file(const std::wstring& a_name) const { return place().folder + a_name; }
    std::vector<std::wstring> options() {
        ClassDataArchive archive;
        StartLog log(L"");
        archive.prepare(place(), inputs, log);
        return archive.options();
    }
    static std::string wholeArchive() {
        return std::string("\xa8\xab\x0b\xf0", 4) + std::string(100, 'x');
    }

    void SetUp() override {
        makeDirectories(place().folder);
        makeDirectories(scratch / L"work");
        writeFileBytes(scratch / L"app.exe", "MZ");
    }

    ScratchFolder scratch;
    const std::wstring inputs = L"runtime java.exe\n";
};

// A marker left by a power cut goes, and this start makes the archive; a
// start whose JVM made none switches it off for these settings.
TEST_F(ClassDataFolderAsLeft, AStaleMarkerGoesAFailedMakingSwitchesTheArchiveOff) {
    writeFileBytes(file(digest() + L".7.making"), "");
    writeFileBytes(file(digest() + L".7.jsa.tmp"), "");
    std::vector<std::wstring> made = options();
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(made[0], L"-XX:ArchiveClassesAtExit=" + file(digest()) +
                           formatWideString(L".%lu.jsa.tmp", GetCurrentProcessId()));
    EXPECT_FALSE(pathExists(file(digest() + L".7.making")));
    EXPECT_FALSE(pathExists(file(digest() + L".off")));

    // Its JVM ended (the marker closed with it) and left the file empty.
    EXPECT_TRUE(options().empty()) << "a second start while nothing settled";
    EXPECT_TRUE(pathExists(file(digest() + L".off")));
    EXPECT_TRUE(options().empty()) << "every later start";
}

// An archive a JVM mapped when it crashed (its report is newer) is deleted,
// and the start makes another; an older report is no matter.
TEST_F(ClassDataFolderAsLeft, AnArchiveACrashedJvmMappedIsDeleted) {
    const std::wstring archive = file(digest() + L"-104.jsa");
    writeFileBytes(archive, wholeArchive());
    writeFileBytes(scratch / L"work\\hs_err_pid42.log", "#");
    setWriteTime(scratch / L"work\\hs_err_pid42.log", FILETIME{0, 0x01000000});
    EXPECT_EQ(options().front(), L"-XX:SharedArchiveFile=" + archive);
    writeFileBytes(scratch / L"work\\hs_err_pid43.log", "#");
    setWriteTime(archive, FILETIME{0, 0x01000000});
    EXPECT_NE(options().front().find(L"-XX:ArchiveClassesAtExit="), std::wstring::npos);
    EXPECT_FALSE(pathExists(archive));
}

// The next start that makes an archive removes the files of applications
// whose launcher is gone, and this one's of earlier settings.
TEST_F(ClassDataFolderAsLeft, FilesOfGoneApplicationsAndOfEarlierSettingsGo) {
    writeFileBytes(file(L"gone.launcher"), encodeUtf8(scratch / L"Removed\\app.exe"));
    writeFileBytes(file(L"gone-1234-104.jsa"), wholeArchive());
    writeFileBytes(file(L"gone-1234.5.jsa.tmp"), "");
    writeFileBytes(file(L"live.launcher"), encodeUtf8(scratch / L"app.exe"));
    writeFileBytes(file(L"live-5678-104.jsa"), wholeArchive());
    writeFileBytes(file(L"app-0000.off"), "made none\r\n");
    writeFileBytes(file(L"app-0000.9.jsa.tmp"), "");
    EXPECT_EQ(options().size(), 2u);
    for (const wchar_t* name : {L"gone.launcher", L"gone-1234-104.jsa", L"gone-1234.5.jsa.tmp",
                                L"app-0000.off", L"app-0000.9.jsa.tmp"}) {
        EXPECT_FALSE(pathExists(file(name))) << utf8(name);
    }
    EXPECT_TRUE(pathExists(file(L"live-5678-104.jsa")));
    EXPECT_EQ(readFileBytes(file(L"app.launcher")), encodeUtf8(scratch / L"app.exe"));
}

} // namespace

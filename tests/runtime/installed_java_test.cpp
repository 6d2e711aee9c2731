#include "runtime/installed_java.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace testing_support;

// Every layout the installers document, in a real registry.
TEST(FindInstalledJavaRuntimes, JavaHomeThenTheRegistryNewestFirst) {
    ScratchFolder scratch;
    auto home = [&](const wchar_t* a_name, bool a_withJava = true) {
        const std::wstring folder = scratch / a_name;
        makeDirectories(folder + L"\\bin");
        if (a_withJava) {
            writeFileBytes(folder + L"\\bin\\java.exe", "MZ");
        }
        return folder;
    };
    const std::wstring hklm = L"HKLM\\SOFTWARE\\";
    const std::wstring msi = L"\\hotspot\\MSI";
    RegistryKeys keys;
    keys.add(hklm + L"JavaSoft\\JDK\\17.0.9-t", L"", L"JavaHome", home(L"oracle-17"));
    keys.add(hklm + L"JavaSoft\\JDK\\25-t", L"", L"JavaHome", home(L"no-java", false));
    keys.add(hklm + L"JavaSoft\\Java Runtime Environment\\1.8.0_401-t", L"", L"JavaHome",
             home(L"jre-8"));
    keys.add(hklm + L"JavaSoft\\Java Development Kit\\1.8.0_401-t", L"", L"JavaHome",
             home(L"jre-8"));
    keys.add(hklm + L"Eclipse Adoptium\\JDK\\21.0.2.13-t", msi, L"Path",
             home(L"temurin-21") + L"\\");
    keys.add(hklm + L"Eclipse Adoptium\\JRE\\11.0.22.7-t", msi, L"Path", home(L"temurin-jre-11"));
    keys.add(hklm + L"AdoptOpenJDK\\JDK\\11.0.10.9-t", msi, L"Path", home(L"adopt-11"));
    keys.add(hklm + L"AdoptOpenJDK\\JRE\\8.0.282.8-t", msi, L"Path", home(L"adopt-jre-8"));
    keys.add(hklm + L"Microsoft\\JDK\\17.0.10.7-t", msi, L"Path", home(L"microsoft-17"));
    keys.add(hklm + L"Azul Systems\\Zulu\\zulu-22-t", L"", L"InstallationPath", home(L"zulu-22"));
    keys.add(hklm + L"JavaSoft\\JDK\\1.8.0_402-t", L"", L"JavaHome", home(L"oracle-8-32"), L"32");
    keys.add(L"HKCU\\SOFTWARE\\Microsoft\\JDK\\23.0.1-t", msi, L"Path", home(L"user-23"));
    SetEnvironmentVariableW(L"JAVA_HOME", home(L"java-home").c_str());

    const std::vector<std::wstring> found = findInstalledJavaRuntimes();
    SetEnvironmentVariableW(L"JAVA_HOME", nullptr);

    std::vector<std::wstring> expected;
    for (const wchar_t* name :
         {L"java-home", L"zulu-22", L"temurin-21", L"microsoft-17", L"oracle-17", L"temurin-jre-11",
          L"adopt-11", L"adopt-jre-8", L"jre-8", L"oracle-8-32", L"user-23"}) {
        expected.push_back(scratch / name + L"\\bin\\java.exe");
    }
    EXPECT_EQ(found, expected);
}

// A relative home would be found from the launcher's folder (the current
// directory here); installers register full paths only.
TEST(FindInstalledJavaRuntimes, HomesThatAreNotFullPathsAreSkipped) {
    ScratchFolder scratch;
    makeDirectories(scratch / L"jdk17\\bin");
    writeFileBytes(scratch / L"jdk17\\bin\\java.exe", "MZ");
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    ASSERT_TRUE(SetCurrentDirectoryW(scratch.path().c_str()));
    RegistryKeys keys;
    keys.add(L"HKLM\\SOFTWARE\\JavaSoft\\JDK\\17-relative-t", L"", L"JavaHome", L"jdk17");
    SetEnvironmentVariableW(L"JAVA_HOME", L"jdk17");
    const std::vector<std::wstring> found = findInstalledJavaRuntimes();
    SetEnvironmentVariableW(L"JAVA_HOME", nullptr);
    SetCurrentDirectoryW(current);
    EXPECT_EQ(found, std::vector<std::wstring>{});
}

TEST(FindInstalledJavaRuntimes, NothingInstalledNothingFound) {
    SetEnvironmentVariableW(L"JAVA_HOME", L"C:\\no\\such\\jdk");
    EXPECT_EQ(findInstalledJavaRuntimes(), std::vector<std::wstring>{});
    SetEnvironmentVariableW(L"JAVA_HOME", nullptr);
}

} // namespace

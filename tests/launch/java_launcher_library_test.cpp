#include "launch/java_launcher_library.h"

#include "platform/environment.h"
#include "platform/text.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace testing_support;

// A unix path of the build as the Windows side names it.
std::wstring builtJli() {
    std::wstring folder = L"Z:" + environmentVariable(L"TAVRIN_TEST_JLI");
    for (wchar_t& character : folder) {
        character = character == L'/' ? L'\\' : character;
    }
    return folder + L"\\";
}

// jli.dll's own dependencies come from its folder (and the system's), never
// from the current directory (the application's folder) or PATH, where a
// planted library would load into the application.
TEST(JavaLauncherLibrary, ItsDependenciesComeFromItsOwnFolderOnly) {
    const ScratchFolder scratch;
    const std::wstring bin = scratch / L"runtime\\bin\\";
    const std::wstring planted = scratch / L"planted\\";
    const std::wstring current = scratch / L"current\\";
    for (const std::wstring& folder : {bin, planted, current}) {
        makeDirectories(folder);
    }
    copyFileOrFail(builtJli() + L"jli.dll", bin + L"jli.dll");
    writeFileBytes(bin + L"java.exe", "MZ");
    const std::wstring dependency = builtJli() + L"tavrin_planted.dll";
    const std::wstring oldPath = environmentVariable(L"PATH");
    const std::wstring oldCurrent = textFromSystem([](wchar_t* a_buffer, unsigned long a_size) {
        return GetCurrentDirectoryW(a_size, a_buffer);
    });
    const struct {
        const char* name;
        std::wstring dependencyIn;
        bool loads;
    } cases[] = {
        {"in the current directory", current, false},
        {"in a folder of PATH", planted, false},
        {"beside jli.dll", bin, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        copyFileOrFail(dependency, c.dependencyIn + L"tavrin_planted.dll");
        SetCurrentDirectoryW(current.c_str());
        SetEnvironmentVariableW(L"PATH", (planted + L";" + oldPath).c_str());
        JavaLauncherLibrary library;
        const std::wstring whyNot = library.load(bin + L"java.exe");
        SetCurrentDirectoryW(oldCurrent.c_str());
        SetEnvironmentVariableW(L"PATH", oldPath.c_str());
        if (c.loads) {
            EXPECT_EQ(whyNot, L"");
        } else {
            EXPECT_EQ(whyNot.rfind(bin + L"jli.dll cannot be loaded (error ", 0), 0u)
                << utf8(whyNot);
        }
        if (!c.loads) {
            DeleteFileW((c.dependencyIn + L"tavrin_planted.dll").c_str());
        }
    }
}

} // namespace

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process_record.h"
#include "platform/system_library.h"
#include "platform/unique_handle.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using namespace testing_support;

struct LoadCall {
    std::wstring name;
    DWORD flags;
};
std::vector<LoadCall> loadCalls;
DWORD flagRefusal = ERROR_SUCCESS; // what a loader without the flag answers

// The system's loader, as a system without LOAD_LIBRARY_SEARCH_SYSTEM32
// would answer it.
HMODULE WINAPI scriptedLoader(LPCWSTR a_name, HANDLE a_file, DWORD a_flags) {
    loadCalls.push_back({a_name, a_flags});
    if ((a_flags & LOAD_LIBRARY_SEARCH_SYSTEM32) != 0 && flagRefusal != ERROR_SUCCESS) {
        SetLastError(flagRefusal);
        return nullptr;
    }
    return LoadLibraryExW(a_name, a_file, a_flags);
}

TEST(LoadFromSystemFolder, FallsBackToTheFullPathWhereTheFlagIsUnknown) {
    const std::wstring fullPath = systemFolder() + L"user32.dll";
    const struct {
        const char* name;
        DWORD refusal;
        std::vector<std::wstring> names;
        std::vector<DWORD> flags;
        bool loaded;
    } cases[] = {
        {"the flag known", ERROR_SUCCESS, {L"user32.dll"}, {LOAD_LIBRARY_SEARCH_SYSTEM32}, true},
        {"Windows 7 without its update",
         ERROR_INVALID_PARAMETER,
         {L"user32.dll", fullPath},
         {LOAD_LIBRARY_SEARCH_SYSTEM32, 0},
         true},
        {"another failure",
         ERROR_MOD_NOT_FOUND,
         {L"user32.dll"},
         {LOAD_LIBRARY_SEARCH_SYSTEM32},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        loadCalls.clear();
        flagRefusal = c.refusal;
        const HMODULE module = loadFromSystemFolder(L"user32.dll", scriptedLoader);
        EXPECT_EQ(module != nullptr, c.loaded);
        if (module != nullptr) {
            EXPECT_EQ(module, GetModuleHandleW(L"user32.dll"));
        }
        std::vector<std::wstring> names;
        std::vector<DWORD> flags;
        for (const LoadCall& call : loadCalls) {
            names.push_back(call.name);
            flags.push_back(call.flags);
        }
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(flags, c.flags);
    }
}

// A process id is kept with the process's start time: the same id with
// another start time (a later process that got the id) is not the process.
TEST(ProcessRecord, AnIdWithAnotherStartTimeIsNotTheProcess) {
    const std::wstring name = L"tavrin-test-record-" + std::to_wstring(GetCurrentProcessId());
    ProcessRecord record;
    ASSERT_TRUE(record.create(name));
    EXPECT_EQ(ProcessRecord::read(name), 0u) << "nothing recorded yet";
    record.set(GetCurrentProcess());
    EXPECT_EQ(ProcessRecord::read(name), GetCurrentProcessId());

    const UniqueHandle mapping(OpenFileMappingW(FILE_MAP_WRITE, FALSE, name.c_str()));
    ASSERT_TRUE(mapping);
    // The block's layout: the id, then (8-aligned) the start time.
    auto* block =
        static_cast<unsigned char*>(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 16));
    ASSERT_NE(block, nullptr);
    *reinterpret_cast<volatile LONG64*>(block + 8) += 1;
    EXPECT_EQ(ProcessRecord::read(name), 0u);
    UnmapViewOfFile(block);
}

TEST(SystemFolder, EndsInABackslash) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    EXPECT_EQ(systemFolder(), std::wstring(folder, length) + L"\\");
}

TEST(ExpandEnvironmentVariables, AsTheSystemDoesUnknownOnesStay) {
    SetEnvironmentVariableW(L"TAVRIN_TEST_LONG", std::wstring(600, L'x').c_str());
    const struct {
        std::wstring text;
        std::wstring expanded;
    } cases[] = {
        {L"", L""},
        {L"no variables", L"no variables"},
        {L"%TAVRIN_TEST_LONG%\\bin", std::wstring(600, L'x') + L"\\bin"},
        {L"%NO_SUCH_VARIABLE%\\bin", L"%NO_SUCH_VARIABLE%\\bin"},
        {L"100%", L"100%"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(expandEnvironmentVariables(c.text), c.expanded) << utf8(c.text);
    }
    EXPECT_EQ(environmentVariable(L"TAVRIN_TEST_LONG"), std::wstring(600, L'x'));
    SetEnvironmentVariableW(L"TAVRIN_TEST_LONG", nullptr);
    EXPECT_EQ(environmentVariable(L"TAVRIN_TEST_LONG"), L"");
}

} // namespace

namespace {

// One read of a folder gives each JAR's facts with its change time, which
// setting the write time back cannot undo.
TEST(FilesWithChangeIn, TheJarsOfAFolderWithTheirChangeTimes) {
    const testing_support::ScratchFolder scratch;
    const std::wstring folder = scratch.path() + L"\\";
    testing_support::writeFileBytes(folder + L"a.jar", "PK1");
    testing_support::writeFileBytes(folder + L"B.JAR", "PK22");
    testing_support::writeFileBytes(folder + L"notes.txt", "x");
    testing_support::makeDirectories(folder + L"sub.jar");
    std::vector<ListedFile> jars = filesWithChangeIn(folder, L".jar");
    std::sort(jars.begin(), jars.end(), [](const ListedFile& a_left, const ListedFile& a_right) {
        return _wcsicmp(a_left.name.c_str(), a_right.name.c_str()) < 0;
    });
    ASSERT_EQ(jars.size(), 2u);
    EXPECT_EQ(jars[0].name, L"a.jar");
    EXPECT_EQ(jars[0].size, 3u);
    EXPECT_EQ(jars[1].name, L"B.JAR");
    ListedFile facts;
    ASSERT_TRUE(fileFactsWithChange(folder + L"a.jar", facts));
    EXPECT_EQ(facts.size, 3u);
    EXPECT_EQ(facts.writeTime, jars[0].writeTime);
    EXPECT_EQ(facts.changeTime, jars[0].changeTime);
    EXPECT_NE(facts.changeTime, 0u);

    Sleep(20);
    testing_support::writeFileBytes(folder + L"a.jar", "PK9");
    FILETIME before{static_cast<DWORD>(jars[0].writeTime),
                    static_cast<DWORD>(jars[0].writeTime >> 32)};
    {
        const UniqueFile file(CreateFileW((folder + L"a.jar").c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file && SetFileTime(file.get(), nullptr, nullptr, &before));
    }
    ASSERT_TRUE(fileFactsWithChange(folder + L"a.jar", facts));
    EXPECT_EQ(facts.writeTime, jars[0].writeTime);
    EXPECT_GT(facts.changeTime, jars[0].changeTime);
}

} // namespace

#include "platform/environment.h"
#include "platform/paths.h"
#include "platform/process_record.h"
#include "platform/system_library.h"

#include "test_support.h"

#include <gtest/gtest.h>

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

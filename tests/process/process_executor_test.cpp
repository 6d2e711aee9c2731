#include "process/process_executor.h"

#include "platform/paths.h"
#include "platform/unique_handle.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

using namespace testing_support;

const wchar_t* const suffixes[] = {L".output.file", L".error.file", L".input.file"};

class ExecuteProcess : public testing::Test {
protected:
    std::wstring child(const std::wstring& a_actions) const {
        return quotedArgument(folderOf(thisExecutablePath()) + L"test_child.exe") + L" " +
               a_actions;
    }

    ProcessCode run(const std::wstring& a_commandLine, bool a_collect = true, bool a_wait = true,
                    DWORD a_timeoutMs = 30000) {
        return runWith(base, a_commandLine, a_collect, a_wait, a_timeoutMs);
    }

    // The read-back texts are appended to output and error.
    ProcessCode runWith(const std::wstring& a_base, const std::wstring& a_commandLine,
                        bool a_collect = true, bool a_wait = true, DWORD a_timeoutMs = 30000) {
        const ProcessResult result =
            executeProcess({a_commandLine, a_base, a_collect, a_wait, a_timeoutMs});
        output += result.output;
        error += result.error;
        return result.code;
    }

    std::string file(const wchar_t* a_suffix) const { return readFileBytes(base + a_suffix); }

    ScratchFolder scratch;
    std::wstring base = scratch / L"java.version.check";
    std::string output;
    std::string error;
};

TEST_F(ExecuteProcess, ProgramNotFoundLeavesThreeEmptyFiles) {
    output = "kept";
    EXPECT_EQ(run(L"no-such-program-anywhere -version"), ProcessCode::notStarted);
    EXPECT_EQ(output, "kept");
    EXPECT_EQ(error, "");
    for (const wchar_t* suffix : suffixes) {
        ASSERT_TRUE(pathExists(base + suffix)) << utf8(suffix);
        EXPECT_EQ(file(suffix), "");
    }
}

TEST_F(ExecuteProcess, OutputOnlyOnStandardError) {
    EXPECT_EQ(run(child(L"\"err:java version \\\"1.6.0_20\\\"\\n\"")), ProcessCode::succeeded);
    EXPECT_EQ(error, "java version \"1.6.0_20\"\n");
    EXPECT_EQ(output, "");
}

TEST_F(ExecuteProcess, CollectedTextIsAppended) {
    output = "before|";
    error = "earlier|";
    EXPECT_EQ(run(child(L"out:new err:more")), ProcessCode::succeeded);
    EXPECT_EQ(output, "before|new");
    EXPECT_EQ(error, "earlier|more");
}

TEST_F(ExecuteProcess, TextModeTurnsCrLfIntoLfAndStopsAtCtrlZ) {
    EXPECT_EQ(run(child(L"out:a\\r\\nb\\rc\\n err:x\\x1Ay")), ProcessCode::succeeded);
    EXPECT_EQ(output, "a\nb\rc\n");
    EXPECT_EQ(error, "x");
    // The file itself keeps every byte.
    EXPECT_EQ(file(L".error.file"), "x\x1Ay");
}

TEST_F(ExecuteProcess, WholeOutputArrivesWhateverItsLength) {
    for (unsigned length : {1023u, 1024u, 1025u, 2048u, 7000u}) {
        output.clear();
        error.clear();
        EXPECT_EQ(run(child(L"outfill:" + std::to_wstring(length) + L":o errfill:" +
                            std::to_wstring(length) + L":e")),
                  ProcessCode::succeeded);
        EXPECT_EQ(output, std::string(length, 'o')) << length;
        EXPECT_EQ(error, std::string(length, 'e')) << length;
    }
}

TEST_F(ExecuteProcess, StandardInputIsAtItsEndAtOnce) {
    EXPECT_EQ(run(child(L"stdin")), ProcessCode::succeeded);
    EXPECT_EQ(output, "stdin-bytes=0\n");
}

TEST_F(ExecuteProcess, WorkingDirectoryIsTheExecutableFolder) {
    EXPECT_EQ(run(child(L"cwd")), ProcessCode::succeeded);
    std::wstring folder = moduleRelativePath(L"");
    folder.pop_back();
    EXPECT_EQ(output, "cwd=" + utf8(folder) + "\n");
}

TEST_F(ExecuteProcess, CommandLineReachesTheChildUnchanged) {
    const std::wstring line = child(L"cmdline  \"two  blanks\" ");
    EXPECT_EQ(run(line), ProcessCode::succeeded);
    EXPECT_EQ(output, "cmdline=" + utf8(line) + "\n");
}

TEST_F(ExecuteProcess, NotCollectingLeavesTheTextsAlone) {
    EXPECT_EQ(run(child(L"out:x err:y"), false), ProcessCode::succeeded);
    EXPECT_EQ(output, "");
    EXPECT_EQ(error, "");
    EXPECT_EQ(file(L".output.file"), "x");
}

TEST_F(ExecuteProcess, NoWaitReturnsWhileTheChildRuns) {
    const std::wstring marker = scratch / L"finished";
    const std::wstring signal = scratch / L"go-on";
    EXPECT_EQ(run(child(L"until:" + quotedArgument(signal) + L" out:late touch:" +
                        quotedArgument(marker)),
                  true, false),
              ProcessCode::succeeded);
    EXPECT_FALSE(pathExists(marker));
    EXPECT_EQ(output, "");
    EXPECT_EQ(error, "");
    // The child goes on writing to the file after the call has returned.
    writeFileBytes(signal, "");
    for (int i = 0; i < 200 && !pathExists(marker); ++i) {
        Sleep(50);
    }
    EXPECT_TRUE(pathExists(marker));
    EXPECT_EQ(file(L".output.file"), "late");
}

TEST_F(ExecuteProcess, TimeOutTerminatesTheChildAndCollectsWhatItWrote) {
    const std::wstring pidFile = scratch / L"child.pid";
    // Holds the child's handle from its start, to read its exit code later.
    std::atomic<bool> stop{false};
    UniqueHandle watched;
    std::thread watcher([&] {
        while (!stop) {
            if (pathExists(pidFile)) {
                const std::string pid = readFileBytes(pidFile);
                if (!pid.empty()) {
                    watched.reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION,
                                              FALSE, std::stoul(pid)));
                    return;
                }
            }
            Sleep(5);
        }
    });
    const ProcessCode result =
        run(child(L"out:partial err:report pid:" + quotedArgument(pidFile) + L" sleep:60000"), true,
            true, 1500);
    stop = true;
    watcher.join();
    EXPECT_EQ(result, ProcessCode::timedOut);
    EXPECT_EQ(output, "partial");
    EXPECT_EQ(error, "report");
    ASSERT_TRUE(watched);
    ASSERT_EQ(WaitForSingleObject(watched.get(), 10000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    GetExitCodeProcess(watched.get(), &exitCode);
    EXPECT_EQ(exitCode, 0xFFFFFFFFu);
}

TEST_F(ExecuteProcess, ASecondCallReplacesTheFiles) {
    EXPECT_EQ(run(child(L"outfill:5000:a errfill:5000:b")), ProcessCode::succeeded);
    output.clear();
    error.clear();
    EXPECT_EQ(run(child(L"out:short")), ProcessCode::succeeded);
    EXPECT_EQ(output, "short");
    EXPECT_EQ(file(L".output.file"), "short");
    EXPECT_EQ(file(L".error.file"), "");
}

// A file held without delete sharing: by a lingering earlier child when the
// output is read back (runs of one base name take turns), emptied then; by
// an application that still runs otherwise, whose file is never touched:
// the run gets the next free set.
TEST_F(ExecuteProcess, AFileThatCannotBeDeletedIsEmptiedOnlyWhenItIsReadBack) {
    const struct {
        bool collect;
        const char* held;  // the held file afterwards
        const wchar_t* to; // where the run's output went
    } cases[] = {
        {true, "short", L"collected.output.file"},
        {false, "aaaaaaaaaa", L"launched.2.output.file"},
    };
    for (const auto& c : cases) {
        const std::wstring name =
            scratch / (c.collect ? L"collected" : L"launched") + L".output.file";
        writeFileBytes(name, std::string(10, 'a'));
        UniqueFile holder(CreateFileW(name.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
        ASSERT_TRUE(holder);
        EXPECT_EQ(runWith(name.substr(0, name.size() - 12), child(L"out:short"), c.collect),
                  ProcessCode::succeeded);
        EXPECT_EQ(readFileBytes(name), c.held) << c.collect;
        EXPECT_EQ(readFileBytes(scratch / c.to), "short") << c.collect;
    }
}

TEST_F(ExecuteProcess, CollectingRunsOfOneBaseNameTakeTurns) {
    // Two collecting runs at once with the same files, as two launchers
    // started together in one folder: each reads back only its own output.
    std::string otherOutput, otherError;
    ProcessCode otherResult = ProcessCode::notReadBack;
    std::thread other([&] {
        const ProcessResult result =
            executeProcess({child(L"outfill:3000:b sleep:300 outfill:3000:B"),
                            base.substr(0, base.size() - 5) + L"CHECK", true, true, 30000});
        otherResult = result.code;
        otherOutput = result.output;
        otherError = result.error;
    });
    EXPECT_EQ(run(child(L"outfill:2000:a sleep:300 errfill:10:e")), ProcessCode::succeeded);
    other.join();
    EXPECT_EQ(otherResult, ProcessCode::succeeded);
    EXPECT_EQ(output, std::string(2000, 'a'));
    EXPECT_EQ(error, std::string(10, 'e'));
    EXPECT_EQ(otherOutput, std::string(3000, 'b') + std::string(3000, 'B'));
    EXPECT_EQ(otherError, "");
}

TEST_F(ExecuteProcess, DirectoryNamedLikeARedirectionFileStartsNoChild) {
    for (const wchar_t* blocked : suffixes) {
        ScratchFolder folder;
        const std::wstring blockedBase = folder / L"java.jar.run";
        makeDirectories(blockedBase + blocked);
        const std::wstring marker = folder / L"ran";
        output = "untouched";
        EXPECT_EQ(runWith(blockedBase, child(L"out:x touch:" + quotedArgument(marker))),
                  ProcessCode::noRedirectionFiles)
            << utf8(blocked);
        EXPECT_FALSE(pathExists(marker));
        EXPECT_EQ(output, "untouched");
        // Every other file was still attempted, and created empty.
        for (const wchar_t* suffix : suffixes) {
            if (suffix != blocked) {
                EXPECT_EQ(readFileBytes(blockedBase + suffix), "") << utf8(suffix);
            }
        }
    }
}

TEST_F(ExecuteProcess, FolderOutsideTheAnsiCodePageIsReadBack) {
    ASSERT_EQ(GetACP(), 1252u);
    const std::wstring folder = scratch / L"\u0418\u0432\u0430\u043d \u65e5\u672c\\";
    makeDirectories(folder);
    const std::wstring wideBase = folder + L"java.version.check";
    EXPECT_EQ(runWith(wideBase, child(L"out:seen err:too")), ProcessCode::succeeded);
    EXPECT_EQ(output, "seen");
    EXPECT_EQ(error, "too");
}

TEST_F(ExecuteProcess, LeavesNoHandleBehind) {
    // Warm up: the first calls load code and caches that hold handles.
    run(child(L"out:x"));
    run(L"no-such-program-anywhere");
    const DWORD before = openHandleCount();
    // Counts are compared exactly: a handle left per round shows in any
    // round.
    for (int i = 0; i < 3; ++i) {
        run(child(L"out:x err:y"));
        run(L"no-such-program-anywhere");
        // Wine leaves the console host of a child that is killed while it
        // starts behind, so the child is given time to start.
        run(child(L"sleep:5000"), true, true, 200);
        run(child(L"out:z"), false, false);
    }
    EXPECT_EQ(openHandleCount(), before);
}

} // namespace

#include "process/output_log.h"

#include "platform/paths.h"
#include "process/process_executor.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace testing_support;

// What the log and its older files hold once a_writes have come, in that
// order: the log itself, then .1, .2 ... (absent files as "-").
TEST(OutputLog, RotatesAtTheEndOfALine) {
    const struct {
        const char* name;
        unsigned long long rotateBytes;
        unsigned long keep;
        std::string before; // the log's bytes from an earlier run
        std::vector<std::string> writes;
        std::vector<std::string> files;
    } cases[] = {
        {"below the size: appended", 100, 2, "old\n", {"ab", "c\n"}, {"old\nabc\n", "-", "-"}},
        {"a line stays whole", 4, 2, "", {"ab", "cdef\n", "g\n"}, {"g\n", "abcdef\n", "-"}},
        {"the oldest goes", 2, 2, "", {"1\n2\n3\n4\n"}, {"", "4\n", "3\n"}},
        {"none kept: emptied", 2, 0, "", {"1\n2\n3"}, {"3", "-"}},
        {"an earlier run's bytes count", 6, 1, "12345", {"x\ny"}, {"y", "12345x\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder scratch;
        const OutputLogFile file{scratch / L"server.out.log", c.rotateBytes, c.keep};
        if (!c.before.empty()) {
            writeFileBytes(file.path, c.before);
        }
        {
            OutputLog log(file);
            ASSERT_TRUE(log.open());
            for (const std::string& bytes : c.writes) {
                log.write(bytes.data(), bytes.size());
            }
        }
        for (std::size_t i = 0; i < c.files.size(); ++i) {
            const std::wstring path = i == 0 ? file.path : file.path + L"." + std::to_wstring(i);
            EXPECT_EQ(pathExists(path) ? readFileBytes(path) : "-", c.files[i]) << i;
        }
    }
}

// A child's output and error reach the log through one pipe as they come,
// its input is empty, and a second run appends; no redirection file is made.
TEST(OutputLog, TakesAChildsStreamsAsTheyCome) {
    ScratchFolder scratch;
    ProcessRequest request;
    request.commandLine = quotedArgument(folderOf(thisExecutablePath()) + L"test_child.exe") +
                          L" out:a\\n sleep:100 err:b\\n sleep:100 out:c\\n stdin exit:3";
    request.baseName = scratch / L"java.run";
    request.wait = true;
    request.outputLog = OutputLogFile{scratch / L"server.out.log", 1 << 20, 5};
    for (int run = 0; run < 2; ++run) {
        const ProcessResult result = executeProcess(request);
        EXPECT_EQ(result.code, ProcessCode::succeeded);
        EXPECT_EQ(result.exitCode, 3u);
    }
    EXPECT_EQ(readFileBytes(request.outputLog.path),
              "a\nb\nc\nstdin-bytes=0\na\nb\nc\nstdin-bytes=0\n");
    EXPECT_FALSE(pathExists(request.baseName + L".output.file"));
}

} // namespace

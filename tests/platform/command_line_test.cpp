#include "platform/command_line.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace testing_support;

// value -> quoted -> the system's split -> the same value.
TEST(QuotedArgument, ComesBackWholeFromTheSystemsSplit) {
    const struct {
        std::wstring value;
        std::wstring quoted;
    } cases[] = {
        {L"plain", L"\"plain\""},
        {L"", L"\"\""},
        {L"two words", L"\"two words\""},
        {L"tab\there", L"\"tab\there\""},
        {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
        {L"x\" \"y", L"\"x\\\" \\\"y\""},
        {L"C:\\data\\", L"\"C:\\data\\\\\""},
        {L"C:\\data\\\\", L"\"C:\\data\\\\\\\\\""},
        {L"a\\\\\"b", L"\"a\\\\\\\\\\\"b\""},
        {L"C:\\a\\b c", L"\"C:\\a\\b c\""},
        {L"\u65e5\u672c \u041f\u0440\u0438", L"\"\u65e5\u672c \u041f\u0440\u0438\""},
        {L"\"", L"\"\\\"\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(utf8(c.value));
        EXPECT_EQ(quotedArgument(c.value), c.quoted);
        EXPECT_EQ(commandLineArguments(L"p.exe " + quotedArgument(c.value) + L" " +
                                       quotedArgument(c.value)),
                  (std::vector<std::wstring>{L"p.exe", c.value, c.value}));
    }
}

TEST(QuotesArePaired, ByTheRulesThatSplitTheLine) {
    const struct {
        const wchar_t* arguments;
        bool paired;
    } cases[] = {
        {L"", true},
        {L"-Xmx1g", true},
        {L"-Dx=\"a b\" -Dy", true},
        {L"-Dx=\"a b", false},
        {L"-Dx=\\\"a", true},      // an escaped quote
        {L"-Dx=\\\\\"a b", false}, // an escaped backslash, then a quote
        // Inside quotes a doubled quote is a literal one and ends them.
        {L"\"a\"\"b\" c", false},
        {L"\"\"\"", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(quotesArePaired(c.arguments), c.paired) << utf8(c.arguments);
    }
}

// Read as the system reads the launcher's own command line.
TEST(ArgumentsAfterProgram, SplitAsTheSystemSplits) {
    const wchar_t* lines[] = {
        L"tavrin.exe",
        L"\"C:\\Program Files\\App\\tavrin.exe\" \"C:\\Users\\Ana\\Documents\\plan 2026.xml\"",
        L"C:\\App\\tavrin.exe   a  b\tc ",
        L"\"C:\\a b\\x.exe\"next \"\"",
        L"x.exe a\\b a\\\\\"b c\" a\\\\\\\"b \"trailing\\\\\"",
        L"x.exe \"a\"\"b c\" \"\"\"\" \"\"\"x",
        L"x.exe \"unclosed arg",
        L"x.exe \\\\server\\share\\ \"C:\\dir\\\\\"",
        L"x.exe \u65e5\u672c \"\u041f \u0440\"",
    };
    for (const wchar_t* line : lines) {
        SCOPED_TRACE(utf8(line));
        std::vector<std::wstring> expected = commandLineArguments(line);
        expected.erase(expected.begin());
        EXPECT_EQ(argumentsAfterProgram(line), expected);
    }
}

TEST(QuotedProgram, OnlyPathsWithBlanksOrTabsAndNoQuote) {
    EXPECT_EQ(quotedProgram(L"java.exe"), L"java.exe");
    EXPECT_EQ(quotedProgram(L"C:\\Program Files\\java.exe"), L"\"C:\\Program Files\\java.exe\"");
    EXPECT_EQ(quotedProgram(L"C:\\a\tb\\java.exe"), L"\"C:\\a\tb\\java.exe\"");
    EXPECT_EQ(quotedProgram(L"\"C:\\Program Files\\java.exe\""),
              L"\"C:\\Program Files\\java.exe\"");
    EXPECT_EQ(quotedProgram(L""), L"");
}

} // namespace

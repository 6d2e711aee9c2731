#include "version/java_version.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ParseCase {
    const wchar_t* text;
    int major;
    int minor;
    bool parses;
};

std::string describe(const wchar_t* a_text) {
    return testing::PrintToString(std::wstring(a_text));
}

TEST(ParseJavaVersion, Table) {
    const ParseCase cases[] = {
        {L"1.6", 1, 6, true},           {L"1.6.0_10", 1, 6, true},
        {L"1.7.0-ea", 1, 7, true},      {L"1.6.0.1", 1, 6, true},
        {L"11.0.2", 11, 0, true},       {L"0.9", 0, 9, true},
        {L"01.6", 1, 6, true},          {L"1.6beta", 1, 6, true},
        {L" 1 . 6 ", 1, 6, true},       {L"1. 0 ", 1, 0, true},
        {L"1.\t7", 1, 7, true},         {L"3000000000.1", -1294967296, 1, true},
        {L"4294967294.1", -2, 1, true}, {L"1.6..", 1, 6, true},
        {L"+2.+3", 2, 3, true},         {L"9", -1, -1, false},
        {L"17-ea", -1, -1, false},      {L"1.6.0.1.2", -1, -1, false},
        {L"", -1, -1, false},           {L"1.", 1, -1, false},
        {L".6", -1, -1, false},         {L"1.00", 1, -1, false},
        {L"1.x", 1, -1, false},         {L"1.\t0", 1, -1, false},
        {L"-1.6", -1, -1, false},       {L"99999999999.1", -1, -1, false},
        {L"1.+0", 1, -1, false},        {L"0x1.6", -1, -1, false},
    };
    for (const ParseCase& c : cases) {
        JavaVersion version;
        version.minor = 7; // the parser must reset the whole record
        SCOPED_TRACE(describe(c.text));
        EXPECT_EQ(parseJavaVersion(c.text, version), c.parses);
        EXPECT_EQ(version.major, c.major);
        EXPECT_EQ(version.minor, c.minor);
    }
}

JavaVersion parsed(const wchar_t* a_text) {
    JavaVersion version;
    EXPECT_TRUE(parseJavaVersion(a_text, version));
    return version;
}

TEST(CompareJavaVersions, OrdersByMajorThenMinor) {
    struct Case {
        const wchar_t* left;
        const wchar_t* right;
        int result;
    } const cases[] = {
        {L"1.6", L"1.6", 0},           {L"1.6.0_10", L"1.6", 0},  {L"1.6.0_10", L"1.6.0_20", 0},
        {L"1.7.0", L"1.6", 1},         {L"1.5.0_22", L"1.6", -1}, {L"2.0", L"1.9", 1},
        {L"11.0.2", L"1.8", 1},        {L"1.10", L"1.9", 1},      {L"0.9", L"1.0", -1},
        {L"3000000000.1", L"1.1", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compareJavaVersions(parsed(c.left), parsed(c.right)), c.result)
            << describe(c.left) << " against " << describe(c.right);
    }
}

TEST(ReadJavaVersion, RetriesRefusedTextsInANormalisedForm) {
    struct Case {
        const wchar_t* text;
        bool readable;
        int major;
        int minor;
    } const cases[] = {
        {L"1.6.0_20", true, 1, 6},
        {L"17", true, 17, 0},
        {L"9", true, 9, 0},
        {L"21-ea", true, 21, 0},
        {L"17-internal", true, 17, 0},
        {L"9-internal", true, 9, 0},
        {L"21.0.4.0.4", true, 21, 0},
        {L"11.0.7.0.101", true, 11, 0},
        {L"1.8.0-zing_20.03.0.0", true, 1, 8},
        {L"", false, 0, 0},
        {L"1.", false, 0, 0},
        {L"1.00", false, 0, 0},
        {L"ea", false, 0, 0},
        {L"openjdk version \\", false, 0, 0},
        {L"0", true, 0, 0},
    };
    for (const auto& c : cases) {
        JavaVersion version;
        SCOPED_TRACE(describe(c.text));
        ASSERT_EQ(readJavaVersion(c.text, version), c.readable);
        if (c.readable) {
            EXPECT_EQ(version.major, c.major);
            EXPECT_EQ(version.minor, c.minor);
        }
    }
}

TEST(ExtractVersionText, BetweenTheFirstTwoQuotes) {
    const struct {
        std::string report;
        bool readable;
        std::wstring text;
    } cases[] = {
        {"java version \"1.6.0_20\"\n", true, L"1.6.0_20"},
        {"a \"b\" \"c\"", true, L"b"},
        {"\"x\ny\"", true, L"x\ny"},
        {"\"\"", false, L""},
        {"\"", false, L""},
        {"", false, L""},
        {"Picked up _JAVA_OPTIONS: \"q\"\nversion \"1.8\"", true, L"1.8"},
        {"NOTE: Picked up JDK_JAVA_OPTIONS: \"q\"\r\nversion \"1.8\"", true, L"1.8"},
        {"  Picked up \"q\"\nversion \"1.8\"", true, L"q"},
        {"Picked up \"q\"", false, L""},
        {"version \"\xE9t\xE9\"", true, L"\u00e9t\u00e9"},
    };
    for (const auto& c : cases) {
        std::wstring text;
        EXPECT_EQ(extractVersionText(c.report, text), c.readable) << c.report;
        if (c.readable) {
            EXPECT_EQ(text, c.text) << c.report;
        }
    }
}

TEST(CompareVersionNames, ByTheNumbersInThem) {
    const struct {
        std::wstring older;
        std::wstring newer;
    } cases[] = {
        {L"1.8", L"1.8.0_392"},  {L"1.8.0_392", L"11.0.2"},
        {L"9", L"10"},           {L"17.0.9", L"17.0.10.7"},
        {L"zulu-8", L"zulu-21"}, {L"1.8.0_99", L"1.8.0_101"},
        {L"jdk", L"1"},
    };
    for (const auto& c : cases) {
        EXPECT_LT(compareVersionNames(c.older, c.newer), 0)
            << describe(c.older.c_str()) << " " << describe(c.newer.c_str());
        EXPECT_GT(compareVersionNames(c.newer, c.older), 0)
            << describe(c.newer.c_str()) << " " << describe(c.older.c_str());
    }
    EXPECT_EQ(compareVersionNames(L"17.0.1+12", L"17.0.1.12"), 0);
}

TEST(ReleaseVersionText, TheQuotedTextOfItsJavaVersionLine) {
    const struct {
        std::string release;
        bool found;
        std::wstring text;
    } cases[] = {
        {"JAVA_VERSION=\"17.0.9\"\n", true, L"17.0.9"},
        {"IMPLEMENTOR=\"x\"\r\nJAVA_VERSION=\"1.8.0_392\"\r\n", true, L"1.8.0_392"},
        {"JAVA_VERSION=\"21\"", true, L"21"},
        {"JAVA_RUNTIME_VERSION=\"17\"\n", false, L""},
        {" JAVA_VERSION=\"17\"\n", false, L""},
        {"JAVA_VERSION=17\n", false, L""},
        {"JAVA_VERSION=\"\"\n", false, L""},
        {"JAVA_VERSION=\"17\nx\"", false, L""},
        {"", false, L""},
    };
    for (const auto& c : cases) {
        std::wstring text;
        EXPECT_EQ(releaseVersionText(c.release, text), c.found) << c.release;
        if (c.found) {
            EXPECT_EQ(text, c.text) << c.release;
        }
    }
}

} // namespace

#include "version/java_version.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

struct ParseCase {
    const wchar_t* text;
    int major;
    int minor;
    const char* failure; // null when the text parses
};

std::string describe(const wchar_t* a_text) {
    return a_text == nullptr ? "(null)" : testing::PrintToString(std::wstring(a_text));
}

TEST(ParseJavaVersion, Table) {
    const ParseCase cases[] = {
        {L"1.6", 1, 6, nullptr},
        {L"1.6.0_10", 1, 6, nullptr},
        {L"1.7.0-ea", 1, 7, nullptr},
        {L"1.6.0.1", 1, 6, nullptr},
        {L"11.0.2", 11, 0, nullptr},
        {L"0.9", 0, 9, nullptr},
        {L"01.6", 1, 6, nullptr},
        {L"1.6beta", 1, 6, nullptr},
        {L" 1 . 6 ", 1, 6, nullptr},
        {L"1. 0 ", 1, 0, nullptr},
        {L"1.\t7", 1, 7, nullptr},
        {L"3000000000.1", -1294967296, 1, nullptr},
        {L"4294967294.1", -2, 1, nullptr},
        {L"1.6..", 1, 6, nullptr},
        {L"+2.+3", 2, 3, nullptr},
        {L"9", -1, -1, "Invalid argument format."},
        {L"17-ea", -1, -1, "Invalid argument format."},
        {L"1.6.0.1.2", -1, -1, "Invalid argument format."},
        {L"", -1, -1, "Empty string passed."},
        {nullptr, -1, -1, "Uninitialized string passed."},
        {L"1.", 1, -1, "Invalid argument format."},
        {L".6", -1, -1, "Invalid argument format."},
        {L"1.00", 1, -1, "Invalid argument format."},
        {L"1.x", 1, -1, "Invalid argument format."},
        {L"1.\t0", 1, -1, "Invalid argument format."},
        {L"-1.6", -1, -1, "Invalid argument format."},
        {L"99999999999.1", -1, -1, "Invalid argument format."},
        {L"1.+0", 1, -1, "Invalid argument format."},
        {L"0x1.6", -1, -1, "Invalid argument format."},
    };
    for (const ParseCase& c : cases) {
        JavaVersion version;
        version.third = 7; // the parser must reset the whole record
        version.parsedCount = 9;
        std::string failure;
        try {
            parseJavaVersion(c.text, version);
        } catch (const std::invalid_argument& error) {
            failure = error.what();
        }
        SCOPED_TRACE(describe(c.text));
        EXPECT_EQ(failure, c.failure == nullptr ? "" : c.failure);
        EXPECT_EQ(version.major, c.major);
        EXPECT_EQ(version.minor, c.minor);
        EXPECT_EQ(version.third, -1);
        EXPECT_EQ(version.fourth, -1);
        EXPECT_EQ(version.parsedCount, c.failure == nullptr ? 2 : 0);
    }
}

JavaVersion parsed(const wchar_t* a_text) {
    JavaVersion version;
    parseJavaVersion(a_text, version);
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

TEST(CompareJavaVersions, AbsentComponentsOrderBelowPresentOnes) {
    JavaVersion withThird = parsed(L"1.6");
    withThird.third = 0;
    JavaVersion withFourth = parsed(L"1.6");
    withFourth.third = 0;
    withFourth.fourth = 3;
    JavaVersion plain = parsed(L"1.6");
    JavaVersion onlyFourth = parsed(L"1.6");
    onlyFourth.fourth = 3;

    EXPECT_EQ(compareJavaVersions(plain, withThird), -1);
    EXPECT_EQ(compareJavaVersions(withThird, plain), 1);
    EXPECT_EQ(compareJavaVersions(withThird, withFourth), -1);
    EXPECT_EQ(compareJavaVersions(withFourth, withThird), 1);
    EXPECT_EQ(compareJavaVersions(withFourth, withFourth), 0);
    // With both third components absent the fourth is never looked at.
    EXPECT_EQ(compareJavaVersions(plain, onlyFourth), 0);
    withThird.third = 2;
    JavaVersion higherThird = withThird;
    higherThird.third = 5;
    EXPECT_EQ(compareJavaVersions(withThird, higherThird), -1);
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
            EXPECT_EQ(version.parsedCount, 2);
        }
    }
}

} // namespace

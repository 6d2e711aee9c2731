#include "platform/text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

template <typename Call> std::string failureMessage(Call a_call) {
    try {
        a_call();
    } catch (const std::invalid_argument& failure) {
        return failure.what();
    }
    return "(no failure)";
}

TEST(Conversion, EmptyTextsStayEmpty) {
    EXPECT_EQ(toNarrowString(L""), "");
    EXPECT_EQ(toWideString(""), L"");
}

TEST(Conversion, Cp1252RoundTrip) {
    ASSERT_EQ(GetACP(), 1252u) << "the default test locale gives Windows-1252";
    EXPECT_EQ(toNarrowString(L"C:\\Program Files\\Caf\u00e9\\java.exe"),
              "C:\\Program Files\\Caf\xe9\\java.exe");
    EXPECT_EQ(toWideString("1.6.0_20 \xe9\x80"), L"1.6.0_20 \u00e9\u20ac");
}

TEST(Conversion, Cp1252MissingCharactersBecomeBestFitOrDefault) {
    ASSERT_EQ(GetACP(), 1252u);
    // U+0141 has no place in Windows-1252: best fit gives L, U+4E2D has no best
    // fit and becomes the default character. The rest of the text follows.
    EXPECT_EQ(toNarrowString(L"\u0141od\u017a\u4e2dX"), "Lodz?X");
}

TEST(Conversion, BufferRoutinesNeedRoomForTheTerminator) {
    // "abc\u00e9" needs four bytes in Windows-1252.
    std::vector<char> narrow(5, 'x');
    EXPECT_EQ(failureMessage([&] { convertWStringToTString(L"abc\u00e9", narrow.data(), 4); }),
              "convertWStringToTString. Buffer is too small.");
    EXPECT_STREQ(convertWStringToTString(L"abc\u00e9", narrow.data(), 5), "abc\xe9");

    std::vector<wchar_t> wide(4, L'x');
    EXPECT_EQ(failureMessage([&] { convertCStringToTString("abcd", wide.data(), 4); }),
              "convertCStringToTString. Buffer is too small.");
    wide.resize(5);
    EXPECT_STREQ(convertCStringToTString("abcd", wide.data(), 5), L"abcd");
}

// Run with a Japanese locale, which gives Wine the code page 932.
TEST(ConversionCp932, DoubleByteCharactersKeepAllTheirBytes) {
    ASSERT_EQ(GetACP(), 932u) << "this test runs with LC_ALL=ja_JP.UTF-8";
    const std::string narrow = toNarrowString(L"C:\\\u65e5\u672c\\java.exe");
    EXPECT_EQ(narrow, "C:\\\x93\xfa\x96\x7b\\java.exe");
    const std::wstring wide = toWideString("\x93\xfa\x96\x7b 1.8");
    EXPECT_EQ(wide, L"\u65e5\u672c 1.8");
    EXPECT_EQ(wide.size(), 6u);
}

TEST(ConversionCp932, MissingCharacterBecomesTheDefault) {
    ASSERT_EQ(GetACP(), 932u);
    EXPECT_EQ(toNarrowString(L"a\u0e01b"), "a?b");
}

TEST(FormatWideString, FillsWideStringArguments) {
    EXPECT_EQ(
        formatWideString(L"Cannot find jar file with path '%s'.", L"C:\\App\\lib\\\u0444.jar"),
        L"Cannot find jar file with path 'C:\\App\\lib\\\u0444.jar'.");
    EXPECT_EQ(formatWideString(L"%s and %s", L"one", L"two"), L"one and two");
}

TEST(FormatWideString, CutsLongTextsAt5048Characters) {
    const std::wstring exact(formatBufferCharacters, L'a');
    EXPECT_EQ(formatWideString(L"%s", exact.c_str()), exact);

    const std::wstring longer(formatBufferCharacters + 100, L'b');
    const std::wstring formatted = formatWideString(L"<%s>", longer.c_str());
    ASSERT_EQ(formatted.size(), formatBufferCharacters);
    EXPECT_EQ(formatted, L"<" + longer.substr(0, formatBufferCharacters - 1));

    // A later call leaves an earlier result alone.
    const std::wstring first = formatWideString(L"%s", L"first");
    formatWideString(L"%s", L"second");
    EXPECT_EQ(first, L"first");
}

struct TrimCase {
    const wchar_t* source;
    wchar_t character;
    const wchar_t* expected;
};

TEST(Trim, RemovesOneCharacterFromBothEnds) {
    const TrimCase cases[] = {
        {L"  1  ", L' ', L"1"},   {L"   ", L' ', L""},
        {L"", L' ', L""},         {L"\t1 ", L' ', L"\t1"},
        {L" 1 0 ", L' ', L"1 0"}, {L"1", L' ', L"1"},
        {L"xx1x", L'x', L"1"},    {L" \u00a01\u00a0 ", L' ', L"\u00a01\u00a0"},
    };
    for (const TrimCase& c : cases) {
        std::wstring text = c.source;
        trimInPlace(text, c.character);
        EXPECT_EQ(text, c.expected)
            << "source [" << testing::PrintToString(std::wstring(c.source)) << "]";
        EXPECT_EQ(trimmedCopy(c.source, c.character), c.expected);
    }
}

TEST(Trim, DestinationTooSmallFails) {
    wchar_t none[1] = {L'x'};
    EXPECT_EQ(failureMessage([&] { trimCharacter(L"", L' ', none, 0); }),
              "Length of a_tcsStringTrimmed is too low.");
    EXPECT_EQ(failureMessage([&] { trimCharacter(L"   ", L' ', none, 0); }),
              "Length of a_tcsStringTrimmed is too low.");
    EXPECT_STREQ(trimCharacter(L"   ", L' ', none, 1), L"");

    wchar_t three[3];
    EXPECT_EQ(failureMessage([&] { trimCharacter(L" abc ", L' ', three, 3); }),
              "Length of a_tcsStringTrimmed is too low.");
    wchar_t four[4];
    EXPECT_STREQ(trimCharacter(L" abc ", L' ', four, 4), L"abc");
}

struct SplitCase {
    const wchar_t* text;
    std::vector<std::wstring> pieces;
};

TEST(SplitAtDots, KDotsGiveKPlusOnePieces) {
    const SplitCase cases[] = {
        {L"1.6.0_10", {L"1", L"6", L"0_10"}}, {L"17-ea", {L"17-ea"}}, {L".", {L"", L""}},
        {L"1..2", {L"1", L"", L"2"}},         {L"", {L""}},           {L".6.", {L"", L"6", L""}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(splitAtDots(c.text), c.pieces) << testing::PrintToString(std::wstring(c.text));
    }
}

TEST(CopyWideString, CopiesTheText) {
    EXPECT_EQ(copyWideString(L"D:\\jdk\\bin\\"), L"D:\\jdk\\bin\\");
    EXPECT_EQ(copyWideString(L""), L"");
}

} // namespace

#include "platform/text.h"

#include <windows.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <optional>

#include <string>
#include <vector>

namespace {

TEST(FromAnsi, EmptyTextStaysEmpty) {
    EXPECT_EQ(fromAnsi(""), L"");
}

TEST(FromAnsi, Cp1252) {
    ASSERT_EQ(GetACP(), 1252u) << "the default test locale gives Windows-1252";
    EXPECT_EQ(fromAnsi("1.6.0_20 \xe9\x80"), L"1.6.0_20 \u00e9\u20ac");
}

// Run with a Japanese locale, which gives Wine the code page 932.
TEST(ConversionCp932, DoubleByteCharactersKeepAllTheirBytes) {
    ASSERT_EQ(GetACP(), 932u) << "this test runs with LC_ALL=ja_JP.UTF-8";
    const std::wstring wide = fromAnsi("\x93\xfa\x96\x7b 1.8");
    EXPECT_EQ(wide, L"\u65e5\u672c 1.8");
    EXPECT_EQ(wide.size(), 6u);
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

TEST(Trimmed, RemovesTheGivenCharactersFromBothEnds) {
    const struct {
        const wchar_t* source;
        const wchar_t* characters;
        const wchar_t* expected;
    } cases[] = {
        {L"  1  ", L" ", L"1"},     {L"   ", L" ", L""},
        {L"", L" ", L""},           {L"\t1 ", L" ", L"\t1"},
        {L" 1 0 ", L" ", L"1 0"},   {L"1", L" ", L"1"},
        {L"xx1x", L"x", L"1"},      {L" \u00a01\u00a0 ", L" ", L"\u00a01\u00a0"},
        {L"\t 1 \t", L" \t", L"1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(trimmed(c.source, c.characters), c.expected)
            << "source [" << testing::PrintToString(std::wstring(c.source)) << "]";
    }
}

// Never a look-alike: a character without a place of its own in the code
// page is refused, in single- and double-byte code pages alike.
TEST(EncodeInCodePage, RefusesWhatHasNoPlaceOfItsOwn) {
    const struct {
        unsigned codePage;
        std::wstring text;
        bool encoded;
        std::string bytes;
    } cases[] = {
        {1252, L"lib\\caf\u00e9\\c.jar", true, "lib\\caf\xe9\\c.jar"},
        {1252, L"lib\\\u0141\u00f3d\u017a\\x.jar", false, ""},
        {1252, L"\u65e5", false, ""},
        {932, L"C:\\XYZ\u30bd", true, "C:\\XYZ\x83\x5C"},
        {932, L"lib\\caf\u00e9", false, ""},
        {932, L"", true, ""},
    };
    for (const auto& c : cases) {
        std::string bytes;
        EXPECT_EQ(encodeInCodePage(c.codePage, c.text, bytes), c.encoded) << c.codePage;
        if (c.encoded) {
            EXPECT_EQ(bytes, c.bytes);
        }
    }
}

TEST(SplitAt, EveryPartInOrder) {
    EXPECT_EQ(splitAt(L"a;;b", L';'), (std::vector<std::wstring>{L"a", L"", L"b"}));
    EXPECT_EQ(splitAt(L"", L';'), std::vector<std::wstring>{L""});
    EXPECT_EQ(splitAt(L";", L';'), (std::vector<std::wstring>{L"", L""}));
}

TEST(SystemErrorText, TheNumberAndTheSystemsText) {
    EXPECT_EQ(systemErrorText(ERROR_FILE_NOT_FOUND).rfind(L"error 2: ", 0), 0u);
    EXPECT_GT(systemErrorText(ERROR_FILE_NOT_FOUND).size(), 9u);
    EXPECT_EQ(systemErrorText(0xDEADu), L"error 57005");
}

} // namespace

// Base64 with or without its padding, blanks and line breaks left out;
// anything else is no base64.
TEST(FromBase64, TheBytesOrNone) {
    const struct {
        const wchar_t* text;
        std::optional<std::string> bytes;
    } cases[] = {
        {L"", std::string()},
        {L"TWFu", std::string("Man")},
        {L"TWE=", std::string("Ma")},
        {L"TWE", std::string("Ma")},
        {L"TQ==", std::string("M")},
        {L"TW\r\nFu TQ\t==", std::string("ManM")},
        {L"AP8=", std::string("\0\xff", 2)},
        {L"+/+/", std::string("\xfb\xff\xbf")},
        {L"T", std::nullopt},
        {L"TQ=", std::nullopt},
        {L"TQ==TQ==", std::nullopt},
        {L"TW-u", std::nullopt},
        {L"TWFu\x00e9", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fromBase64(c.text), c.bytes) << testing_support::utf8(c.text);
    }
    EXPECT_EQ(hexOfBytes(std::string("\0\x9f\xff", 3)), L"009fff");
}

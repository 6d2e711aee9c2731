#include "update/feed.h"

#include "settings/update_settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testing_support::utf8;

// A P-256 key and a P-384 one, as openssl prints them; feeds signed with the
// first.
const std::wstring keyA =
    L"-----BEGIN PUBLIC KEY-----\nMFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEbF8ntPxTDximSz1BpwIJ4upFv8/"
    L"I\nRpxXv0r5jVGooask7BXbJ8aAg3W+T58eUJvlUlr/coGorJPW85Fa4X+Uvw==\n-----END PUBLIC KEY-----\n";
const std::wstring p384Key =
    L"-----BEGIN PUBLIC "
    L"KEY-----\nMHYwEAYHKoZIzj0CAQYFK4EEACIDYgAEX+lBp681YU5dQt47FkWf5WlzJRYWOemQ\n"
    L"3hIrihdDZ9z+khj/Bhqp0Jp/ZmOGgfjnZPjQ/M7a1fo4CfGT4y2LYn4Lt629QobU\n"
    L"+uVRT+bbbCV1KrcHnOa7T+G06oVfx9xA\n-----END PUBLIC KEY-----\n";

const std::string lines =
    "version=1.1.0\npackage=Example-1.1.0.msi\nsize=3145728\nsha256="
    "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08\nupgrade-code={0123abcd-"
    "89ab-cdef-0123-456789abcdef}\nvalid-until=2099-12-31\nnotes=a later key, ignored\n";
const std::string good = lines +
                         "signature=5VyFkeqpP84SC44v8J+z4QDrjQ4v8N1yv5FURnXrWn1apwACgsVuKQEPFkxl"
                         "GrYHJMUvp5OWxujjgn1DAIJHfg==\n";

// Every byte before the signature line counts; only a feed whose signature
// verifies is read, and then each value is checked.
TEST(ReadFeed, OnlyASignedFeedIsReadAndEachValueIsChecked) {
    const std::string point = p256PointOf(keyA);
    ASSERT_EQ(point.size(), 64u);
    const FeedReading read = readFeed(good, point);
    ASSERT_TRUE(read.feed) << utf8(read.why);
    EXPECT_EQ(read.feed->version, 0x0001000100000000ULL);
    EXPECT_EQ(read.feed->versionText, L"1.1.0");
    EXPECT_EQ(read.feed->package, L"Example-1.1.0.msi");
    EXPECT_EQ(read.feed->size, 3145728u);
    EXPECT_EQ(read.feed->sha256,
              L"9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08");
    EXPECT_EQ(read.feed->upgradeCode, L"0123ABCD-89AB-CDEF-0123-456789ABCDEF");
    EXPECT_EQ(read.feed->validUntil, L"2099-12-31");

    const std::string noSignature = "the feed is no text that ends in a signature line";
    const std::string notVerified = "the feed's signature does not verify with update-key";
    const struct {
        const char* name;
        std::string feed;
        std::string why;
    } cases[] = {
        {"a line after the signature", good + "size=1\n", noSignature},
        {"no signature", lines, noSignature},
        {"a signature that is not base64", lines + "signature=5VyF!\n", notVerified},
        {"a signature cut short", lines + "signature=5VyFkeqpP84SC44v8J+z4QDrjQ4v\n", notVerified},
        {"not UTF-8", "\xff\xfe" + good, noSignature},
        {"CR LF lines",
         "version=1.1.0\r\npackage=Example-1.1.0.msi\r\nsize=3145728\r\nsha256="
         "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08\r\nupgrade-code={"
         "0123abcd-89ab-cdef-0123-456789abcdef}\r\nvalid-until=2099-12-31\r\nnotes=a later key, "
         "ignored\r\nsignature=iz5nZyjcUphgoCFxm8Hfj8BbEz8LjGj9E/6Tyu/SkzmzlbkG89WkwQGtiJf/"
         "5gMAUtR+pDgw3YZXmCtOIxUGOg==\n",
         ""},
        {"no sha256",
         "version=1.1.0\npackage=Example-1.1.0.msi\nsize=3145728\nupgrade-code=0123ABCD-89AB-"
         "CDEF-0123-456789ABCDEF\nvalid-until=2099-12-31\nsignature=FnSlwoclR4Jrgm8RP2HvFfr29xVLl"
         "SQ1+jKgEz4T82H/3ViTvAyRxLMv80vmu85Xt/znp2u6DTCmGB8MDWTvAg==\n",
         "the feed has no sha256"},
        {"a version twice",
         lines + "version=2.0.0\nsignature=b1zEjDGSiEscIiyRJ00JqX06XISLtXfIF4K6FlQPCXW+GsqDhs3h3"
                 "MjyAdx0d7UhKxjOYqzxXZLHkcIbKlwcWA==\n",
         "the feed gives version twice"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const FeedReading reading = readFeed(c.feed, point);
        EXPECT_EQ(utf8(reading.why), c.why);
        EXPECT_EQ(static_cast<bool>(reading.feed), c.why.empty());
    }
}

// Values of a signed feed that are not what they must be.
TEST(ReadFeed, ValuesOfTheirOwnFormOnly) {
    const std::string point = p256PointOf(keyA);
    const auto signedAs = [](const std::string& a_from, const std::string& a_to,
                             const std::string& a_signature) {
        std::string text = lines;
        text.replace(text.find(a_from), a_from.size(), a_to);
        return text + "signature=" + a_signature + "\n";
    };
    const struct {
        std::string feed;
        std::string why;
    } cases[] = {
        {signedAs("version=1.1.0", "version=1.1",
                  "hM/WAw40w4+ZUyI1Ub+JJuyU8OrsOihd82pZjTjfKohinbEwnBh8S/AmwhjcEYk31bT+9Imces4b/"
                  "2Jhp+fG9w=="),
         "the feed's version is not three numbers such as 1.2.3: 1.1"},
        {signedAs("{0123abcd-89ab-cdef-0123-456789abcdef}", "0123abcd-89ab-cdef-0123",
                  "TiUaP3WNAxXpWRSOO7jL1KBQN1PM6msOy4y3rnlz1X8hc45H7IPCte/"
                  "mF0n3fSb9yqNvgfkN1iHXvu+swnJRmA=="),
         "the feed's upgrade-code is not a GUID: 0123abcd-89ab-cdef-0123"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(utf8(readFeed(c.feed, point).why), c.why);
    }
}

// Only a higher version, and only up to the feed's valid-until.
TEST(RefusalOf, AHigherVersionWhileTheFeedIsValid) {
    Feed feed;
    feed.version = 0x0001000100000000ULL;
    feed.versionText = L"1.1.0";
    feed.validUntil = L"2027-06-30";
    const struct {
        unsigned long long own;
        const wchar_t* today;
        std::wstring why;
    } cases[] = {
        {0x0001000000000000ULL, L"2026-12-09", L""},
        {0x0001000000000000ULL, L"2027-07-01",
         L"the feed was valid until 2027-06-30 and is no longer believed"},
        {0x0001000100000000ULL, L"2026-12-09",
         L"the feed's version 1.1.0 is not higher than this one, 1.1.0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(refusalOf(feed, c.own, c.today), c.why) << c.own;
    }
}

TEST(PackageAddress, RelativeToTheFeedsFolderUnlessItHasAScheme) {
    const std::wstring feed = L"https://example.com/app/stable.update?channel=1";
    EXPECT_EQ(packageAddress(feed, L"Example-1.1.0.msi"),
              L"https://example.com/app/Example-1.1.0.msi");
    EXPECT_EQ(packageAddress(feed, L"old/Example.msi"), L"https://example.com/app/old/Example.msi");
    EXPECT_EQ(packageAddress(feed, L"/files/Example.msi"),
              L"https://example.com/files/Example.msi");
    EXPECT_EQ(packageAddress(feed, L"https://cdn.example.net/Example.msi"),
              L"https://cdn.example.net/Example.msi");
}

// update-key as openssl prints it: with or without its first and last line
// and its line breaks; a key of another curve, or no key, gives none.
TEST(P256PointOf, APublicKeyAsOpensslPrintsIt) {
    const std::string point = p256PointOf(keyA);
    ASSERT_EQ(point.size(), 64u);
    EXPECT_EQ(static_cast<unsigned char>(point[0]), 0x6cu);
    EXPECT_EQ(p256PointOf(L"MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEbF8ntPxTDximSz1BpwIJ4upFv8/I"
                          L"RpxXv0r5jVGooask7BXbJ8aAg3W+T58eUJvlUlr/coGorJPW85Fa4X+Uvw=="),
              point);
    EXPECT_EQ(p256PointOf(p384Key), "");
    EXPECT_EQ(p256PointOf(L"MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE"), "");
    EXPECT_EQ(p256PointOf(L"not a key"), "");
    EXPECT_EQ(p256PointOf(L""), "");
}

} // namespace

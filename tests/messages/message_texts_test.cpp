#include "messages/message_texts.h"

#include "expected_messages.h"
#include "settings/settings_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace testing_support;

// Each key replaces its message; {version}, {path} and \n are filled in;
// an absent or empty key keeps the built-in text.
TEST(MessageTexts, EachKeyReplacesItsText) {
    const SettingsFile settings("[tavrin]\r\njar-file-name=x.jar\r\n[tavrin.messages]\r\n"
                                "ini-invalid=Die Einstellungen sind ung\xC3\xBCltig.\r\n"
                                "jar-not-found=Keine Datei {path}.\\nBitte neu installieren.\r\n"
                                "already-started=L\xC3\xA4uft schon.\r\n"
                                "java-version-unreadable=Java {version}: keine Version.\r\n"
                                "java-unsuitable=Java {version} fehlt.\r\n"
                                "java-unsuitable-retry=Java {version} fehlt.\\nWiederholen?\r\n"
                                "java-not-found=\r\n"
                                "folder-dialog-title=Wo ist Java?\r\n"
                                "launch-failed=Start fehlgeschlagen.\r\n"
                                "download-question=Herunterladen?\r\n");
    const MessageTexts texts(settings, L"");
    const struct {
        MessageKey key;
        std::wstring fill;
        std::wstring text;
    } cases[] = {
        {MessageKey::iniInvalid, L"", L"Die Einstellungen sind ung\u00fcltig."},
        {MessageKey::jarNotFound, L"C:\\App\\x.jar",
         L"Keine Datei C:\\App\\x.jar.\r\nBitte neu installieren."},
        {MessageKey::alreadyStarted, L"", L"L\u00e4uft schon."},
        {MessageKey::javaVersionUnreadable, L"17", L"Java 17: keine Version."},
        {MessageKey::javaUnsuitable, L"17", L"Java 17 fehlt."},
        {MessageKey::javaUnsuitableRetry, L"17", L"Java 17 fehlt.\r\nWiederholen?"},
        {MessageKey::javaNotFound, L"", expected::noJavaRuntime}, // empty: built-in
        {MessageKey::folderDialogTitle, L"", L"Wo ist Java?"},
        {MessageKey::launchFailed, L"", L"Start fehlgeschlagen."},
        {MessageKey::javaTimeout, L"", L""}, // no built-in text: silent
        {MessageKey::downloadQuestion, L"", L"Herunterladen?"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(texts.text(c.key, c.fill), c.text) << static_cast<int>(c.key);
    }
    EXPECT_TRUE(texts.given(MessageKey::launchFailed));
    EXPECT_FALSE(texts.given(MessageKey::javaTimeout));
    EXPECT_FALSE(texts.given(MessageKey::javaNotFound));
}

// The author's escapes are turned into characters first, then {version} and
// {path} are filled in, in every text: a path holding "\n" stays whole.
TEST(MessageTexts, PlaceholdersAfterEscapesInEveryText) {
    const SettingsFile settings("[tavrin]\r\n[tavrin.messages]\r\n"
                                "jar-not-found=Missing:\\n{path}\r\n"
                                "ini-invalid={path} needs Java {version}.\r\n"
                                "java-unsuitable=Java {version} for {path}\r\n");
    MessageTexts texts(settings, L"");
    texts.setPlaceholders(L"17", L"C:\\App\\lib\\new\\app.jar");
    const struct {
        MessageKey key;
        std::wstring fill;
        std::wstring text;
    } cases[] = {
        {MessageKey::jarNotFound, L"C:\\lib\\new\\x.jar", L"Missing:\r\nC:\\lib\\new\\x.jar"},
        {MessageKey::iniInvalid, L"", L"C:\\App\\lib\\new\\app.jar needs Java 17."},
        {MessageKey::javaUnsuitable, L"", L"Java 17 for C:\\App\\lib\\new\\app.jar"},
        {MessageKey::javaUnsuitable, L"11", L"Java 11 for C:\\App\\lib\\new\\app.jar"},
        {MessageKey::jarNotFound, L"", L"Missing:\r\nC:\\App\\lib\\new\\app.jar"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(texts.text(c.key, c.fill), c.text) << static_cast<int>(c.key);
    }
}

TEST(MessageTexts, BuiltInTextsWithoutASection) {
    const SettingsFile settings("[tavrin]\r\n"); // outlives the texts, which read it
    const MessageTexts texts(settings, L"de-DE");
    EXPECT_EQ(texts.text(MessageKey::jarNotFound, L"C:\\a.jar"),
              expected::jarMissing(L"C:\\a.jar"));
    EXPECT_EQ(texts.text(MessageKey::javaUnsuitableRetry, L"1.8"),
              expected::versionUnsuitableAsk(L"1.8"));
    EXPECT_EQ(texts.text(MessageKey::folderDialogTitle), expected::folderDialogTitle);
    EXPECT_EQ(texts.text(MessageKey::downloadQuestion),
              L"Do you want to open the Java download page?");
}

// The user's language with its region, then without, then the default
// section, then the built-in text; section names in any letter case.
TEST(MessageTexts, TheUsersLanguageFirst) {
    const SettingsFile settings("[tavrin]\r\n"
                                "[tavrin.messages]\r\nini-invalid=any\r\njava-not-found=any\r\n"
                                "[Tavrin.Messages.DE]\r\nini-invalid=de\r\njava-not-found=de\r\n"
                                "[tavrin.messages.de-DE]\r\nini-invalid=de-DE\r\n");
    const struct {
        const wchar_t* language;
        std::wstring iniInvalid;
        std::wstring javaNotFound;
    } cases[] = {
        {L"de-DE", L"de-DE", L"de"},
        {L"de-AT", L"de", L"de"},
        {L"fr-FR", L"any", L"any"},
        {L"", L"any", L"any"},
    };
    for (const auto& c : cases) {
        const MessageTexts texts(settings, c.language);
        EXPECT_EQ(texts.text(MessageKey::iniInvalid), c.iniInvalid) << utf8(c.language);
        EXPECT_EQ(texts.text(MessageKey::javaNotFound), c.javaNotFound) << utf8(c.language);
        EXPECT_EQ(texts.text(MessageKey::alreadyStarted), expected::alreadyRunning);
    }
}

} // namespace

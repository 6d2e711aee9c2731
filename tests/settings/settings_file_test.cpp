#include "settings/settings_file.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace testing_support;

TEST(SettingsFile, ValuesComeFromExactKeysOfTavrinOnly) {
    const struct {
        const char* name;
        std::string file;
        const char* key;
        bool present;
        std::wstring value;
    } cases[] = {
        {"plain", "[tavrin]\r\njar-file-name=lib\\app.jar\r\n", "jar-file-name", true,
         L"lib\\app.jar"},
        {"other capitals after the right one",
         "[tavrin]\njar-file-name=lib\\app.jar\nJAR-FILE-NAME=evil.jar\n", "jar-file-name", true,
         L"lib\\app.jar"},
        {"only other capitals", "[tavrin]\nWait-For-Exit=1\n", "wait-for-exit", false, L""},
        {"the last of a repeated key", "[tavrin]\nwait-for-exit=0\nwait-for-exit=1\n",
         "wait-for-exit", true, L"1"},
        {"blanks and tabs around key and value", "[tavrin]\n \t key \t=\t v a l \t\n", "key", true,
         L"v a l"},
        {"empty value", "[tavrin]\nkey=  \n", "key", true, L""},
        {"section in capitals, blanks inside brackets", "[ TaVrIn ] ; note\nkey=1\n", "key", true,
         L"1"},
        {"another section", "[tavrin]\nx=1\n[other]\nkey=1\n", "key", false, L""},
        {"before any section", "key=1\n[tavrin]\n", "key", false, L""},
        {"two tavrin sections", "[tavrin]\nkey=1\n[other]\nkey=2\n[Tavrin]\nkey=3\n", "key", true,
         L"3"},
        {"a bracket without its end is no section", "[tavrin]\nkey=1\n[other\nkey=2\n", "key", true,
         L"2"},
        {"comments", "[tavrin]\nkey=1\n;key=2\n  # key=3\n", "key", true, L"1"},
        {"no equals sign, empty key", "[tavrin]\nkey=1\nkey\n=2\n", "key", true, L"1"},
        {"signature", "\xEF\xBB\xBF[tavrin]\nkey=\xE6\x97\xA5\n", "key", true, L"\u65e5"},
        {"not UTF-8",
         "[tavrin]\nkey=a\xFF"
         "b\n",
         "key", true, L"a\ufffdb"},
        {"a NUL ends the value", std::string("[tavrin]\nkey=ab\0cd\nnext=1\n", 25), "key", true,
         L"ab"},
        {"a NUL elsewhere ends nothing", std::string("; \0\n[tavrin]\nkey=1\n", 19), "key", true,
         L"1"},
        {"CR line ends", "[tavrin]\rkey=1\rnext=2\r", "next", true, L"2"},
        {"last line without line end", "[tavrin]\nkey=1", "key", true, L"1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<std::wstring> value = SettingsFile(c.file).value(c.key);
        EXPECT_EQ(value.has_value(), c.present);
        if (value) {
            EXPECT_EQ(*value, c.value);
        }
    }
    EXPECT_TRUE(SettingsFile("[tavrin]").hasSection());
    EXPECT_FALSE(SettingsFile("[other]\ntavrin=1\n").hasSection());
}

// Setting java-location changes the bytes of that value and nothing else.
TEST(SettingsFile, SettingAValueChangesOnlyItsBytes) {
    const std::string nul("\0", 1);
    const struct {
        const char* name;
        std::string file;
        std::wstring value;
        std::string expected; // empty: the file stays as it is
    } cases[] = {
        {"the sample file",
         "[tavrin]\nsingle-run-mutex=ExampleApplication.SingleRun\n"
         "jar-file-name=lib\\example.jar\nmin-java-version=1.6.0\n"
         "java-location=\nstart-arguments=\nwait-for-exit=0\n"
         "ask-for-java-location=1\nallow-newer-version=1\n",
         L"java.exe",
         "[tavrin]\nsingle-run-mutex=ExampleApplication.SingleRun\n"
         "jar-file-name=lib\\example.jar\nmin-java-version=1.6.0\n"
         "java-location=java.exe\nstart-arguments=\nwait-for-exit=0\n"
         "ask-for-java-location=1\nallow-newer-version=1\n"},
        {"signature, comments, blanks, other sections",
         "\xEF\xBB\xBF; Example\r\n\r\n[tavrin]\r\njar-file-name = lib\\app.jar\r\n\r\n"
         "; the runtime last used\r\njava-location  =  C:\\old\\java.exe   "
         "\r\nwait-for-exit\t=\t1\r\n"
         "\r\n# other\r\n[Other Section]\r\ncolour = \xE8\x93\x9D\r\n; trailing comment\r\n",
         L"C:\\Program Files\\Java\\bin\\java.exe",
         "\xEF\xBB\xBF; Example\r\n\r\n[tavrin]\r\njar-file-name = lib\\app.jar\r\n\r\n"
         "; the runtime last used\r\njava-location  =  C:\\Program Files\\Java\\bin\\java.exe   "
         "\r\nwait-for-exit\t=\t1\r\n\r\n# other\r\n[Other Section]\r\ncolour = \xE8\x93\x9D\r\n"
         "; trailing comment\r\n"},
        {"a NUL, bytes that are not UTF-8, lines without an equals sign",
         "[tavrin]\njava-location=old\n; a" + nul +
             "b\nnot an entry\n[other]\npath=C:\\\xE9t\xE9\n",
         L"java.exe",
         "[tavrin]\njava-location=java.exe\n; a" + nul +
             "b\nnot an entry\n[other]\npath=C:\\\xE9t\xE9\n"},
        {"mixed line ends", "[tavrin]\r\nx=1\njava-location=old\ry=2\r\n", L"java",
         "[tavrin]\r\nx=1\njava-location=java\ry=2\r\n"},
        {"a repeated key: its last line",
         "[tavrin]\njava-location=first\nwait-for-exit=0\njava-location=second\n", L"java",
         "[tavrin]\njava-location=first\nwait-for-exit=0\njava-location=java\n"},
        {"absent: after the section's last key line, with the file's line end",
         "[first]\na=1\n[tavrin]\njar-file-name=x.jar\nwait-for-exit=0\n\n; end\n[last]\nb=2\n",
         L"D:\\jdk\\bin\\java.exe",
         "[first]\na=1\n[tavrin]\njar-file-name=x.jar\nwait-for-exit=0\n"
         "java-location=D:\\jdk\\bin\\java.exe\n\n; end\n[last]\nb=2\n"},
        {"another spelling stays, a new line comes",
         "[tavrin]\r\nJava-Location=C:\\my\\jdk\r\nx=1\r\n", L"java.exe",
         "[tavrin]\r\nJava-Location=C:\\my\\jdk\r\nx=1\r\njava-location=java.exe\r\n"},
        {"a last line without line end gets one", "[tavrin]\r\nx=1", L"java.exe",
         "[tavrin]\r\nx=1\r\njava-location=java.exe\r\n"},
        {"a section without keys", "[tavrin]", L"java.exe",
         "[tavrin]\r\njava-location=java.exe\r\n"},
        {"a value that is not ANSI", "[tavrin]\njava-location=\n", L"C:\\\u65e5\\java.exe",
         "[tavrin]\njava-location=C:\\\xE6\x97\xA5\\java.exe\n"},
        {"already so", "[tavrin]\r\njava-location = java.exe \r\n", L"java.exe", ""},
        {"no section", "[other]\r\n", L"java.exe", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<std::string> changed =
            SettingsFile(c.file).withValue("java-location", c.value);
        EXPECT_EQ(changed.has_value(), !c.expected.empty());
        if (changed) {
            EXPECT_EQ(*changed, c.expected);
        }
    }
}

// A program's own section, [example.exe], stands over [tavrin] key by key;
// an empty value there clears the shared one.
TEST(SettingsFile, TheProgramsSectionStandsOverTavrinKeyByKey) {
    const std::string file = "[tavrin]\r\nmain-class=app.Main\r\njava-location=C:\\jdk\r\n"
                             "start-arguments=--all\r\n"
                             "[Example.EXE]\r\nmain-class=app.Tool\r\nstart-arguments=\r\n"
                             "main-class=app.Tool2\r\nonly-here=1\r\n[other.exe]\r\nx=2\r\n"
                             "[\xC3\xBC"
                             "bersicht.exe]\r\nmain-class=app.Viewer\r\n";
    const struct {
        const char* name;
        std::string program;
        const char* key;
        std::optional<std::wstring> value;
    } cases[] = {
        {"its own value, the last of its lines", "example.exe", "main-class", L"app.Tool2"},
        {"the shared value where it has none", "example.exe", "java-location", L"C:\\jdk"},
        {"an empty value clears the shared one", "example.exe", "start-arguments", std::nullopt},
        {"a key of its own alone", "example.exe", "only-here", L"1"},
        {"any letter case of the program's name", "EXAMPLE.exe", "main-class", L"app.Tool2"},
        {"letter case beyond ASCII, as Windows compares file names",
         "\xC3\x9C"
         "bersicht.exe",
         "main-class", L"app.Viewer"},
        {"another program's section is not read", "example.exe", "x", std::nullopt},
        {"a program without a section reads [tavrin]", "tool.exe", "main-class", L"app.Main"},
        {"no program: [tavrin] alone", "", "start-arguments", L"--all"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SettingsFile(file, c.program).value(c.key), c.value);
    }
    // Named as the file writes them, for the log.
    EXPECT_EQ(SettingsFile(file, "example.exe").sectionsRead(), L"[tavrin], [Example.EXE]");
    EXPECT_EQ(SettingsFile(file, "tool.exe").sectionsRead(), L"[tavrin]");
    EXPECT_EQ(SettingsFile(file, "tool.exe").otherProgramSections(),
              L"[Example.EXE], [other.exe], [\u00fc"
              L"bersicht.exe]");
    EXPECT_EQ(SettingsFile(file, "other.exe").otherProgramSections(), L"[Example.EXE], [\u00fc"
                                                                      L"bersicht.exe]");
    EXPECT_EQ(SettingsFile("[tavrin]\r\n[tavrin.messages]\r\n", "x.exe").otherProgramSections(),
              L"");
    EXPECT_TRUE(SettingsFile(file, "example.exe").hasProgramSection());
    EXPECT_FALSE(SettingsFile(file, "tool.exe").hasProgramSection());
    EXPECT_FALSE(SettingsFile(file).hasProgramSection());
    const SettingsFile ownOnly("[example.exe]\nkey=1\n", "example.exe");
    EXPECT_TRUE(ownOnly.hasSection());
    EXPECT_EQ(ownOnly.sectionsRead(), L"[example.exe]");
    EXPECT_FALSE(SettingsFile("[example.exe]\nkey=1\n", "tool.exe").hasSection());
}

// java-location goes back where it was read: the program's section when it
// has the key, else [tavrin]; or into the program's section alone.
TEST(SettingsFile, AValueIsWrittenWhereItWasRead) {
    using Into = SettingsFile::Into;
    const struct {
        const char* name;
        std::string file;
        std::string expected;
        Into into = Into::whereRead;
    } cases[] = {
        {"the shared entry", "[tavrin]\r\njava-location=old\r\n[example.exe]\r\nmain-class=a.B\r\n",
         "[tavrin]\r\njava-location=new\r\n[example.exe]\r\nmain-class=a.B\r\n"},
        {"the program's entry",
         "[tavrin]\r\njava-location=old\r\n[example.exe]\r\njava-location=mine\r\n",
         "[tavrin]\r\njava-location=old\r\n[example.exe]\r\njava-location=new\r\n"},
        {"the program's empty entry, which cleared the shared one",
         "[tavrin]\r\njava-location=old\r\n[example.exe]\r\njava-location=\r\n",
         "[tavrin]\r\njava-location=old\r\n[example.exe]\r\njava-location=new\r\n"},
        {"absent from both: a new line in [tavrin]", "[example.exe]\nx=1\n[tavrin]\na=1\n\n[z]\n",
         "[example.exe]\nx=1\n[tavrin]\na=1\njava-location=new\n\n[z]\n"},
        {"no [tavrin]: a new line in the program's section", "[example.exe]\nx=1\n[z]\ny=2\n",
         "[example.exe]\nx=1\njava-location=new\n[z]\ny=2\n"},
        {"into the program's section, whatever [tavrin] has",
         "[tavrin]\r\njava-location=old\r\n[Example.exe]\r\nmin-java-version=17\r\n[z]\r\n",
         "[tavrin]\r\njava-location=old\r\n[Example.exe]\r\nmin-java-version=17\r\n"
         "java-location=new\r\n[z]\r\n",
         Into::programSection},
        {"into the program's section, its own entry",
         "[example.exe]\njava-location=mine\n[tavrin]\njava-location=old\n",
         "[example.exe]\njava-location=new\n[tavrin]\njava-location=old\n", Into::programSection},
        {"into the program's section when there is none: nowhere", "[tavrin]\njava-location=old\n",
         "", Into::programSection},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<std::string> changed =
            SettingsFile(c.file, "example.exe").withValue("java-location", L"new", c.into);
        EXPECT_EQ(changed.value_or(""), c.expected);
    }
}

} // namespace

#pragma once

#include <optional>
#include <string>
#include <vector>

// Where the author's texts are written: the value of a key in a section of
// the settings file. The settings room's SettingsFile is one; the messages
// know nothing more of the file.
class AuthorsTextSource {
public:
    virtual std::optional<std::wstring> value(const std::string& a_section,
                                              const char* a_key) const = 0;

protected:
    ~AuthorsTextSource() = default;
};

// The messages an author may give texts of their own, with their keys in
// tavrin.ini (see message_texts.cpp).
enum class MessageKey {
    iniInvalid,
    jarNotFound,
    alreadyStarted,
    javaVersionUnreadable,
    javaUnsuitable,
    javaUnsuitableRetry,
    javaNotFound,
    folderDialogTitle,
    launchFailed, // no built-in text: without the author's, that end is silent
    javaTimeout,  // likewise
    downloadQuestion,
};

// The texts the user reads: the author's, looked up in
// [tavrin.messages.<language>] (such as de-DE), [tavrin.messages.<language
// without its region>] (de), then [tavrin.messages]; else the built-in text.
// A key that is absent or empty keeps the built-in text.
class MessageTexts {
public:
    MessageTexts() = default; // the windowed launcher's built-in texts only
    // a_console: the console launcher's built-in texts, where they differ
    // (it has no window to close).
    MessageTexts(const AuthorsTextSource& a_settings, const std::wstring& a_language,
                 bool a_console = false);

    // What {version} (min-java-version as written) and {path} (the JAR's
    // full path) stand for in every text.
    void setPlaceholders(const std::wstring& a_version, const std::wstring& a_path);

    // The text for a_key. "\n" written in the author's text is a line break
    // (CR LF); then {version} and {path} are filled in. a_fill, when given,
    // stands for the key's own placeholder instead: {path} in jar-not-found
    // (the missing file's path), {version} in the runtime messages.
    std::wstring text(MessageKey a_key, const std::wstring& a_fill = L"") const;

    // Whether the author gave a text for a_key.
    bool given(MessageKey a_key) const { return !authorsText(a_key).empty(); }

private:
    std::wstring authorsText(MessageKey a_key) const;

    const AuthorsTextSource* m_settings = nullptr;
    bool m_console = false;
    std::wstring m_version;
    std::wstring m_path;
    std::vector<std::string> m_sections; // in the order they are looked in
};

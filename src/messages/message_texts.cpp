#include "messages/message_texts.h"

#include "messages/messages.h"
#include "platform/text.h"

namespace {

struct Message {
    const char* key;
    const wchar_t* builtIn; // may hold one %s, for what a_fill gives
    const wchar_t* placeholder;
    const wchar_t* consoleBuiltIn = nullptr; // where the console launcher's differs
};

// In the order of MessageKey.
constexpr Message catalog[] = {
    {"ini-invalid", messages::settingsInvalid, L""},
    {"jar-not-found", messages::jarMissing, L"{path}"},
    {"already-started", messages::alreadyRunning, L"", messages::alreadyRunningConsole},
    {"java-version-unreadable", messages::javaVersionUnreadable, L"{version}"},
    {"java-unsuitable", messages::javaVersionUnsuitable, L"{version}"},
    {"java-unsuitable-retry", messages::javaVersionUnsuitableAsk, L"{version}"},
    {"java-not-found", messages::noJavaRuntime, L""},
    {"folder-dialog-title", messages::javaFolderDialogTitle, L""},
    {"launch-failed", L"", L""},
    {"java-timeout", L"", L""},
    {"download-question", messages::downloadQuestion, L""},
};

const Message& messageOf(MessageKey a_key) {
    return catalog[static_cast<int>(a_key)];
}

void replaceAll(std::wstring& a_text, const std::wstring& a_from, const std::wstring& a_to) {
    if (a_from.empty()) {
        return;
    }
    for (std::size_t at = a_text.find(a_from); at != std::wstring::npos;
         at = a_text.find(a_from, at + a_to.size())) {
        a_text.replace(at, a_from.size(), a_to);
    }
}

} // namespace

MessageTexts::MessageTexts(const AuthorsTextSource& a_settings, const std::wstring& a_language,
                           bool a_console)
    : m_settings(&a_settings), m_console(a_console) {
    const std::string language = encodeUtf8(a_language);
    const std::string base = "tavrin.messages";
    if (!language.empty()) {
        m_sections.push_back(base + "." + language);
        const std::size_t region = language.find('-');
        if (region != std::string::npos) {
            m_sections.push_back(base + "." + language.substr(0, region));
        }
    }
    m_sections.push_back(base);
}

std::wstring MessageTexts::authorsText(MessageKey a_key) const {
    if (m_settings == nullptr) {
        return std::wstring();
    }
    for (const std::string& section : m_sections) {
        const std::optional<std::wstring> text = m_settings->value(section, messageOf(a_key).key);
        if (text && !text->empty()) {
            return *text;
        }
    }
    return std::wstring();
}

void MessageTexts::setPlaceholders(const std::wstring& a_version, const std::wstring& a_path) {
    m_version = a_version;
    m_path = a_path;
}

std::wstring MessageTexts::text(MessageKey a_key, const std::wstring& a_fill) const {
    const Message& message = messageOf(a_key);
    const bool ownIsPath = std::wstring(message.placeholder) == L"{path}";
    const bool filled = !a_fill.empty();
    const std::wstring& version = filled && !ownIsPath ? a_fill : m_version;
    const std::wstring& path = filled && ownIsPath ? a_fill : m_path;
    std::wstring text = authorsText(a_key);
    if (text.empty()) {
        const bool console = m_console && message.consoleBuiltIn != nullptr;
        return formatWideString(console ? message.consoleBuiltIn : message.builtIn,
                                (ownIsPath ? path : version).c_str());
    }
    // The author's escapes first: a path such as lib\new holds a "\n" too.
    replaceAll(text, L"\\n", L"\r\n");
    replaceAll(text, L"{version}", version);
    replaceAll(text, L"{path}", path);
    return text;
}

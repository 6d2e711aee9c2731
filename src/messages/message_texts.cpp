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

std::wstring MessageTexts::text(MessageKey a_key, const std::wstring& a_fill) const {
    const Message& message = messageOf(a_key);
    std::wstring text = authorsText(a_key);
    if (text.empty()) {
        const bool console = m_console && message.consoleBuiltIn != nullptr;
        return formatWideString(console ? message.consoleBuiltIn : message.builtIn, a_fill.c_str());
    }
    replaceAll(text, message.placeholder, a_fill);
    replaceAll(text, L"\\n", L"\r\n");
    return text;
}

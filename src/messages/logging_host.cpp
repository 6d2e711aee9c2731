#include "messages/logging_host.h"

#include "messages/start_log.h"
#include "platform/text.h"

namespace {

const wchar_t* answerName(int a_answer) {
    switch (a_answer) {
    case IDOK:
        return L"OK";
    case IDABORT:
        return L"Abort";
    case IDRETRY:
        return L"Retry";
    case IDIGNORE:
        return L"Ignore";
    case IDYES:
        return L"Yes";
    case IDNO:
        return L"No";
    case IDCANCEL:
        return L"Cancel";
    default:
        return L"none (the box could not be shown)";
    }
}

} // namespace

int LoggingHost::showMessage(const std::wstring& a_text, const wchar_t* a_caption, UINT a_flags) {
    const int answer = m_host.showMessage(a_text, a_caption, a_flags);
    if (m_log.enabled()) {
        m_log.line(L"box " + std::wstring(a_caption) + L": " + a_text);
        m_log.line(L"  answer: " + std::wstring(answerName(answer)));
    }
    return answer;
}

std::wstring LoggingHost::chooseJavaFolder(const std::wstring& a_title) {
    const std::wstring folder = m_host.chooseJavaFolder(a_title);
    m_log.line(L"folder dialog: " + (folder.empty() ? std::wstring(L"cancelled") : folder));
    return folder;
}

void LoggingHost::openAddress(const std::wstring& a_address) {
    m_log.line(L"opened: " + a_address);
    m_host.openAddress(a_address);
}

bool LoggingHost::activateWindowOf(DWORD a_processId) {
    const bool activated = m_host.activateWindowOf(a_processId);
    if (m_log.enabled()) {
        m_log.line(formatWideString(L"running application, process %lu: %s", a_processId,
                                    activated ? L"brought forward" : L"no window"));
    }
    return activated;
}

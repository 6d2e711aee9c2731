#include "messages/start_log.h"

#include "platform/paths.h"
#include "platform/text.h"
#include "platform/unique_handle.h"

StartLog::StartLog(const std::wstring& a_path)
    : m_state(a_path.empty() ? State::undecided : State::open), m_path(a_path),
      m_startTicks(GetTickCount64()) {
    GetLocalTime(&m_startTime);
}

void StartLog::decide(const std::wstring& a_path) {
    if (m_state != State::undecided) {
        return;
    }
    m_path = a_path;
    m_state = a_path.empty() ? State::none : State::open;
    if (m_state == State::none) {
        m_lines.clear();
    }
}

std::wstring StartLog::entry(const std::wstring& a_text) {
    std::wstring text;
    for (wchar_t character : a_text) {
        if (character == L'\r') {
            text += L"\\r";
        } else if (character == L'\n') {
            text += L"\\n";
        } else {
            text += character;
        }
    }
    return text + L"\r\n";
}

void StartLog::line(const std::wstring& a_text) {
    if (m_asItGoes) {
        append(entry(a_text));
    } else if (enabled()) {
        m_lines += entry(a_text);
    }
}

void StartLog::writeAsItGoes() {
    if (m_state == State::open && !m_asItGoes) {
        m_asItGoes = true;
        append(header() + m_lines);
        m_lines.clear();
    }
}

int StartLog::end(int a_exitCode, const wchar_t* a_reason) {
    write(formatWideString(L"end: exit code %d: ", a_exitCode) + a_reason);
    return a_exitCode;
}

void StartLog::endHandedOver(const wchar_t* a_reason) {
    write(std::wstring(L"end: exit code: the application's: ") + a_reason);
}

void StartLog::write(const std::wstring& a_end) {
    if (m_state != State::open) {
        return;
    }
    const std::wstring end =
        a_end + L"\r\n" +
        formatWideString(L"total: %llu ms\r\n\r\n", GetTickCount64() - m_startTicks);
    append(m_asItGoes ? end : header() + m_lines + end);
}

std::wstring StartLog::header() const {
    const SYSTEMTIME& at = m_startTime;
    return formatWideString(L"%04u-%02u-%02u %02u:%02u:%02u.%03u start\r\n", at.wYear, at.wMonth,
                            at.wDay, at.wHour, at.wMinute, at.wSecond, at.wMilliseconds) +
           formatWideString(L"launcher: %s, process %lu\r\n", executablePath().c_str(),
                            GetCurrentProcessId());
}

void StartLog::append(const std::wstring& a_text) const {
    const std::string bytes = encodeUtf8(a_text);
    // Appended in one write, which the system keeps whole.
    const UniqueFile file(CreateFileW(m_path.c_str(), FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) {
        // A log that cannot be written changes nothing of the start.
        WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
}

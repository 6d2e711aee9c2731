#include "launcher/start_log.h"

#include "platform/text.h"
#include "platform/unique_handle.h"

StartLog::StartLog() : m_startTicks(GetTickCount64()) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    line(formatWideString(L"%04u-%02u-%02u %02u:%02u:%02u.%03u start", now.wYear, now.wMonth,
                          now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds));
}

void StartLog::line(const std::wstring& a_text) {
    m_lines += a_text + L"\r\n";
}

int StartLog::end(int a_exitCode, const wchar_t* a_reason) {
    if (m_path.empty()) {
        return a_exitCode;
    }
    line(formatWideString(L"end: exit code %d: %s", a_exitCode, a_reason));
    line(formatWideString(L"total: %llu ms", GetTickCount64() - m_startTicks));
    const std::string bytes = encodeUtf8(m_lines + L"\r\n");
    // Appended in one write, which the system keeps whole.
    const UniqueFile file(CreateFileW(m_path.c_str(), FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) {
        // A log that cannot be written changes nothing of the start.
        WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    return a_exitCode;
}

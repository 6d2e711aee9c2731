#pragma once

#include <windows.h>

#include <string>

// The log of one start, asked for by the environment variable TAVRIN_LOG or
// the key log-file: what the launcher read, tried, showed and started, and
// how it ended. Its lines are collected and appended to the file in one
// write when the start ends, so that launchers logging to one file at once
// do not mix their lines. A log that cannot be written is skipped silently.
class StartLog {
public:
    StartLog(); // the start's time

    // Where the lines go; empty: nowhere (nothing is written).
    void setPath(const std::wstring& a_path) { m_path = a_path; }
    const std::wstring& path() const { return m_path; }

    void line(const std::wstring& a_text);

    // Writes the end (the exit code, the reason in the README's words, the
    // total time) and every line collected; returns a_exitCode.
    int end(int a_exitCode, const wchar_t* a_reason);

private:
    ULONGLONG m_startTicks;
    std::wstring m_lines;
    std::wstring m_path;
};

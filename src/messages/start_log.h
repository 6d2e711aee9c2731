#pragma once

#include <windows.h>

#include <string>

// The log of one start, asked for by the environment variable TAVRIN_LOG or
// the key log-file: what the launcher read, tried, showed and started, and
// how it ended. Its lines are collected and appended to the file in one
// write when the start ends, so that launchers logging to one file at once
// do not mix their lines (unless it is written as it goes). A log that cannot be written is skipped silently.
// Without a log, nothing is collected: callers ask enabled() before they put
// together a line that costs more than a few characters.
class StartLog {
public:
    // a_path: TAVRIN_LOG's value. When empty, the settings may still name a
    // log: lines are kept until decide() says.
    explicit StartLog(const std::wstring& a_path);

    // Once the settings are read: a_path (log-file) is the log when
    // TAVRIN_LOG named none; empty, there is none, and nothing more is kept.
    void decide(const std::wstring& a_path);

    bool enabled() const { return m_state != State::none; }

    // From now on the lines reach the file as they come, after the start's
    // header and what was collected (a service's log, whose start must be
    // readable while it runs); lines of other launchers may come between.
    void writeAsItGoes();

    // One entry, on one line: line breaks in a_text are written as \r and \n.
    void line(const std::wstring& a_text);

    // Writes the start's time, the launcher's path and process id, every
    // line collected, the end (the exit code and the reason in the README's
    // words) and the total time; returns a_exitCode.
    int end(int a_exitCode, const wchar_t* a_reason);

    // The same, for a start that hands the process over to the application,
    // whose exit code the launcher's will be: no number is known yet.
    void endHandedOver(const wchar_t* a_reason);

private:
    void write(const std::wstring& a_end);
    std::wstring header() const;
    void append(const std::wstring& a_text) const;
    static std::wstring entry(const std::wstring& a_text);

    enum class State { undecided, open, none };

    State m_state;
    std::wstring m_path;
    SYSTEMTIME m_startTime;
    ULONGLONG m_startTicks;
    std::wstring m_lines;
    bool m_asItGoes = false;
};

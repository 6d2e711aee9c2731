#pragma once

#include <string>

class LauncherHost;
class MessageTexts;
class NamedMutex;
class ProcessRecord;
class SettingsFile;
class StartLog;

// single-run-mutex, and whether a second start brings the running
// application forward (single-run-activate).
struct SingleRunRule {
    std::wstring mutexName;
    bool activate = false;
};

// The shared block in which the launcher that started the application keeps
// its process for single-run-activate: the mutex's name and
// ".tavrin-application", in the user's session (Local\ for Global\).
std::wstring processRecordName(const std::wstring& a_mutexName);

// How the single-run rule lets a start go on.
enum class SingleRunVerdict {
    goOn,
    refused,      // another launcher or its application runs
    unusableName, // a name Windows cannot use for a mutex: invalid settings
};

// The single-run rule, before any other key is read: a second launcher is
// refused even when the rest of the settings is wrong (shown the "Wait" box,
// or the running application's window brought forward); an unusable name
// shows the invalid-settings box. When the start goes on, a_mutex holds the
// mutex, and a_record, with single-run-activate, is the block the
// application's process is kept in.
SingleRunVerdict applySingleRunRule(const SettingsFile& a_settings, NamedMutex& a_mutex,
                                    ProcessRecord& a_record, LauncherHost& a_host,
                                    const MessageTexts& a_texts, StartLog& a_log);

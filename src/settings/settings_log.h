#pragma once

#include <string>
#include <vector>

struct LauncherSettings;

// Each key's value as the start uses it (with a_logFile for log-file), and
// what the user's file did not give: the log's lines, indented.
std::vector<std::wstring> settingsLines(const LauncherSettings& a_settings,
                                        const std::wstring& a_logFile);

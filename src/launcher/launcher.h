#pragma once

#include "platform/named_mutex.h"

#include <string>
#include <vector>

class LauncherHost;
class MessageTexts;
class StartLog;
struct LauncherSettings;
struct SettingsProblem;

// tavrin.exe, for windowed applications, and tavrinc.exe, for command-line
// ones: the console launcher tells its messages on standard error and asks
// nothing (as with ask-for-java-location=0), and its application shares the
// console and the standard streams; it always waits, and ends with the
// application's exit code.
enum class LauncherKind { windowed, console };

// The start-up sequence, from finding tavrin.ini to rewriting it after the
// launch. a_launcherArguments are the launcher's own command-line arguments,
// which reach the application only with pass-arguments=1. a_singleRunMutex
// holds the single-run-mutex while the launcher runs; the caller releases it.
// Returns the process exit code (see exit_codes.h).
int runLauncher(LauncherHost& a_host, NamedMutex& a_singleRunMutex,
                const std::vector<std::wstring>& a_launcherArguments,
                LauncherKind a_kind = LauncherKind::windowed);

// The shared block in which the launcher that started the application keeps
// its process for single-run-activate: the mutex's name and
// ".tavrin-application", in the user's session (Local\ for Global\).
std::wstring processRecordName(const std::wstring& a_mutexName);

// The settings' problems, in the log and to the user: the box of the first
// missing file, then the invalid-settings one.
void showSettingsProblems(LauncherHost& a_host, const std::vector<SettingsProblem>& a_problems,
                          const MessageTexts& a_texts, StartLog& a_log);

#pragma once

#include <windows.h>

#include <string>

class LauncherHost;

// Runs a_commandLine through the host with its redirection files named
// a_fileBaseName beside the executable. When they cannot be created there
// (an application folder the user may not write to, such as one under
// Program Files), runs it once more with the same file names in the user's
// temporary folder. Returns the executor's result.
int runRedirected(LauncherHost& a_host, std::string& a_outputText, std::string& a_errorText,
                  const std::wstring& a_commandLine, const wchar_t* a_fileBaseName, bool a_collect,
                  bool a_wait, DWORD a_timeoutMs);

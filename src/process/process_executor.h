#pragma once

#include <windows.h>

#include <string>

// Results of executeProcess.
constexpr int processSucceeded = 0;
constexpr int redirectionFileFailed = -1; // no child was started
constexpr int processStartFailed = -2;    // e.g. the program was not found
constexpr int processTimedOut = -3;       // the child was terminated
constexpr int readBackFailed = -4;        // an output file could not be reopened

// Runs a_commandLine as a child whose standard output, error and input are
// the files a_baseName + ".output.file", ".error.file" and ".input.file"
// (the last one empty), in the executable's folder as working directory.
// With a_wait, waits up to a_timeoutMs (INFINITE: no limit) and terminates
// an overrunning child with exit code 0xFFFFFFFF. With a_wait and a_collect,
// appends the two output files, read in text mode, to a_outputText and
// a_errorText. The files stay on disk until the next call with that base.
int executeProcess(std::string& a_outputText, std::string& a_errorText, std::wstring a_commandLine,
                   const std::wstring& a_baseName, bool a_collect, bool a_wait, DWORD a_timeoutMs);

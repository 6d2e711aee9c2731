#pragma once

#include <windows.h>

#include <string>

// Lets this process outlast Ctrl+C, Ctrl+Break and the console's closing,
// which reach every process of the console, a child sharing it included: a
// handler that answers TRUE. (A null handler, which ignores the events, would
// be inherited: the child would ignore Ctrl+C as well.) a_install is
// SetConsoleCtrlHandler, or a test's stand-in; false when it fails.
bool outlastConsoleEvents(decltype(SetConsoleCtrlHandler)* a_install = SetConsoleCtrlHandler);

// Writes a_text to standard error: through the console when it is one, so
// that every character shows, and as UTF-8 bytes otherwise (a pipe, a file).
// Nothing happens when there is no standard error or writing fails.
void writeStandardError(const std::wstring& a_text);

// Sends Ctrl+C to the console of a_processId, a child of this process that
// has a console of its own (a console program started with CREATE_NO_WINDOW)
// and this process none: every process of that console gets it, and Java
// runs its shutdown hooks. This process outlasts the event and leaves the
// console again. False when there is no such console to attach to, or the
// event cannot be sent.
bool sendCtrlC(DWORD a_processId);

#pragma once

#include <windows.h>

// The few window-system calls the launcher makes, through user32 loaded when
// first needed (system_library.h). Each does nothing when user32 cannot be
// loaded.

// Lets process a_processId take the foreground, as the launcher may: the user
// just started it.
void allowForeground(DWORD a_processId);

// Tells the system that this process, which has no window, is ready: the
// "starting" cursor the system shows for a program it just started ends.
void endStartupCursor();

// Brings the first visible top-level window of process a_processId to the
// front, restoring it when it is minimised. False when it has none.
bool bringWindowForward(DWORD a_processId);

#pragma once

#include <string>

// Shows the shell's modal folder dialog with a_title above its tree and
// returns the chosen folder's file-system path, or an empty text when the
// user cancels or picks a folder without one (such as the Control Panel).
// COM is initialised only for the time of the call.
std::wstring browseForJavaFolder(const wchar_t* a_title);

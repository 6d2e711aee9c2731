#pragma once

#include <string>

// Every file the launcher names itself lives beside its executable, never in
// the current directory.

// The executable's folder, with its trailing backslash, followed by a_name.
// One leading backslash of a_name is dropped; nothing else is normalised.
std::wstring moduleRelativePath(const std::wstring& a_name);

// A configured path is taken as it stands when it holds a colon anywhere.
bool isAbsolutePath(const std::wstring& a_path);

// True when a_path names an existing file that is not a directory.
bool fileExists(const std::wstring& a_path);

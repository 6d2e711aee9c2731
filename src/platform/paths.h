#pragma once

#include <string>
#include <vector>

// Every file the launcher names itself lives beside its executable, never in
// the current directory.

// The executable's folder, with its trailing backslash, followed by a_name.
// One leading backslash of a_name is dropped; nothing else is normalised.
std::wstring moduleRelativePath(const std::wstring& a_name);

// A configured path is taken as it stands when it holds a colon anywhere.
bool isAbsolutePath(const std::wstring& a_path);

// True when a_path names an existing file that is not a directory.
bool fileExists(const std::wstring& a_path);

// a_folder ending in one backslash: the one it has, or one added.
std::wstring withTrailingBackslash(const std::wstring& a_folder);

// Whether two paths are written the same, letter case aside, as the file
// system compares names.
bool samePath(const std::wstring& a_left, const std::wstring& a_right);

// Makes the executable's folder the current directory (or, should the system
// refuse it, the system folder), so that the system's search for a program
// named without a path never looks in the folder the launcher was started
// from. False when neither can be entered.
bool enterExecutableFolder();

// The system folder (System32) with its trailing backslash; empty when the
// system does not give it.
std::wstring systemFolder();

// The user's temporary folder with its trailing backslash; empty when the
// system does not give it.
std::wstring temporaryFolder();

// The whole text of a system call such as GetSystemDirectoryW, which writes
// into a buffer and returns the length written (without terminator) or,
// when the buffer is too small, the size it needs (with it), and 0 when it
// fails. The buffer grows as needed; empty on failure.
template <typename Call> std::wstring textFromSystem(Call a_call) {
    std::vector<wchar_t> buffer(260);
    for (;;) {
        const auto length = a_call(buffer.data(), static_cast<unsigned long>(buffer.size()));
        if (length == 0) {
            return std::wstring();
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(length + 1); // whether or not the size counted the terminator
    }
}

#pragma once

#include <string>

// Every file the launcher names itself lives beside its executable, never in
// the current directory.

// The executable's own path, by its long name.
std::wstring executablePath();

// Its file name without the extension ("ExampleApp"), which names the
// launcher's own files.
std::wstring executableStem();

// The first three numbers of an executable's file version (its version
// resource), 16 bits each, from the highest bits down: 1.2.3.4 is
// 0x0001000200030000. 0 when it has none or cannot be read.
unsigned long long fileVersionOf(const std::wstring& a_path);

// The executable's folder, with its trailing backslash, followed by a_name;
// nothing is normalised.
std::wstring moduleRelativePath(const std::wstring& a_name);

// A full path: a drive letter, a colon and a backslash or slash (C:\jdk), or
// a UNC path (\\server\share). Any other is relative to something.
bool isFullPath(const std::wstring& a_path);

// A rooted path (\dir\x, /dir/x, on the current drive) or a full one.
bool isRootedPath(const std::wstring& a_path);

// Whether Windows can make a file or folder of this name, in any folder: one
// to 255 characters, none of < > : " / \ | ? * or a control character, not
// ending in a dot or a blank, not "." or "..", and not a device (CON, PRN,
// AUX, NUL, COM1 to COM9 and LPT1 to LPT9, also with superscript digits and
// with an extension, in any letter case).
bool isUsableFileName(const std::wstring& a_name);

// True when a_path names an existing file that is not a directory.
bool fileExists(const std::wstring& a_path);

// True when a_path names an existing folder.
bool folderExists(const std::wstring& a_path);

// a_path made full (GetFullPathNameW): relative to the current directory,
// "." and ".." resolved; a_path itself when the system cannot.
std::wstring fullPath(const std::wstring& a_path);

// The path vocabulary. a_path's folder with its trailing backslash
// (C:\jdk\bin\ of C:\jdk\bin\java.exe); empty when it has no backslash.
std::wstring folderOf(const std::wstring& a_path);

// What follows a_path's last backslash: java.exe of C:\jdk\bin\java.exe.
std::wstring fileNameOf(const std::wstring& a_path);

// a_name without its extension: tavrin of tavrin.exe (a leading dot stays).
std::wstring withoutExtension(const std::wstring& a_name);

// a_folder ending in one backslash: the one it has, or one added.
std::wstring withTrailingBackslash(const std::wstring& a_folder);

// a_folder without its trailing backslash, except for a drive's root (C:\),
// which needs it.
std::wstring withoutTrailingBackslash(const std::wstring& a_folder);

// The process's current directory; empty when the system does not give it.
std::wstring currentFolder();

// Whether two paths are written the same, letter case aside, as the file
// system compares names.
bool samePath(const std::wstring& a_left, const std::wstring& a_right);

// Makes the executable's folder the current directory (or, should the system
// refuse it, the system folder), so that the system's search for a program
// named without a path never looks in the folder the launcher was started
// from. False when neither can be entered.
bool enterExecutableFolder();

// Makes a_folder the current directory; false when the system refuses.
bool enterFolder(const std::wstring& a_folder);

// Where CreateProcessW finds a program named without a path (a_name with its
// extension, such as java.exe): the executable's folder, the current
// directory, the system folder, the 16-bit system folder, the Windows folder,
// then the folders of PATH. Empty when it is in none of them.
std::wstring programOnSearchPath(const std::wstring& a_name);

// The system folder (System32) with its trailing backslash; empty when the
// system does not give it.
std::wstring systemFolder();

// The user's temporary folder with its trailing backslash; empty when the
// system does not give it.
std::wstring temporaryFolder();

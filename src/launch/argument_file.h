#pragma once

#include <optional>
#include <string>

struct LauncherSettings;

// A Java argument file that carries the start's class or module path when
// the launch line would be too long for Windows; runtimes from Java 9 on
// read it (java.exe does, not the runtime's library: in process there is no
// limit and no such file).

// The file's bytes, in the ANSI code page as the runtime reads them: the
// option, then its value in double quotes. None when a character of the
// value has no place in the code page.
std::optional<std::string> argumentFileBytes(const LauncherSettings& a_settings);

// a_value's bytes for Java's reader: inside double quotes a backslash
// escapes the next byte, so every 0x5C byte is doubled, after the conversion:
// in code page 932 the second byte of "\u30bd" is 0x5C too.
std::string escapedForArgumentFile(const std::string& a_value);

// Where a file of a_bytes lives: the user's temporary folder, in a file named
// after its content, so that repeated starts reuse one file and none pile up.
// Empty when there is no temporary folder.
std::wstring argumentFilePath(const std::string& a_bytes);

// Writes a_bytes into a_path unless the file holds them already; false when
// it cannot be written.
bool writeArgumentFile(const std::wstring& a_path, const std::string& a_bytes);

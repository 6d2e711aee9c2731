#pragma once

#include <string>
#include <vector>

// The java.exe of the Java runtimes installed on this machine, in the order
// the launcher tries them: %JAVA_HOME%\bin\java.exe, then the runtimes that
// installers register under HKEY_LOCAL_MACHINE and then HKEY_CURRENT_USER,
// each in the 64-bit and then the 32-bit view of the registry, newest
// version first. Only executables that exist, each once.
std::vector<std::wstring> findInstalledJavaRuntimes();

// Orders the version names of registry keys ("1.8.0_392", "17.0.9", "zulu-21")
// by the numbers in them, one after the other: negative when a_left is
// older, positive when newer, 0 when they hold the same numbers.
int compareVersionNames(const std::wstring& a_left, const std::wstring& a_right);

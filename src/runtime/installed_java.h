#pragma once

#include <string>
#include <vector>

// The java.exe of the Java runtimes installed on this machine, in the order
// the launcher tries them: %JAVA_HOME%\bin\java.exe, then the runtimes that
// installers register under HKEY_LOCAL_MACHINE and then HKEY_CURRENT_USER,
// each in the 64-bit and then the 32-bit view of the registry, newest
// version first. Only executables that exist, each once; a home that is not
// a full path is skipped.
std::vector<std::wstring> findInstalledJavaRuntimes();

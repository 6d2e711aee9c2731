#pragma once

#include <string>

// One Java runtime the search may ask for its version, and how the launcher
// names it.
struct JavaCandidate {
    enum class Source { configured, searchPath, installed, chosen };

    Source source = Source::searchPath;
    std::wstring versionCommand;  // asks it for its version
    std::wstring command;         // the head of the launch line
    std::wstring remembered;      // what java-location is set to
    std::wstring executable;      // its path, unquoted, when known: checked at most once
    bool applicationsOwn = false; // named by the application's java-location
};

// Whether java-location names no runtime of its own: empty, "java" or
// "java.exe" (compared as written) mean the java command on the search path.
bool namesSearchPath(const std::wstring& a_javaLocation);

// The java command, found as the system finds programs: a_executable is
// "java.exe" for a first try and "java" for the fallback after a configured
// runtime; the version check runs "java -version" either way.
JavaCandidate searchPathCandidate(const wchar_t* a_executable);

// A java.exe known by its full path: the chosen folder's, an installed one.
JavaCandidate executableCandidate(JavaCandidate::Source a_source, const std::wstring& a_executable);

// java-location as written. A value holding "java.exe" names the executable,
// possibly followed by options; any other names its folder. Variables are
// expanded and a relative value (no colon, no double quote, not starting
// with a backslash or a slash) joins the launcher's folder for the run; what
// is remembered keeps the form it was written in.
JavaCandidate configuredCandidate(const std::wstring& a_javaLocation);

// A Java location that may carry options after its executable, as in
// C:\Program Files\Java\bin\java.exe -Xmx1g: the part up to and including the
// first "java.exe" is quoted as a program (unless it holds a double quote
// already), the rest follows as written.
std::wstring javaProgramWithOptions(const std::wstring& a_location);

// The release file of the runtime whose java.exe is a_executable: in its
// home, the folder above the one holding java.exe; empty when the path has
// no such folder.
std::wstring releaseFileOf(const std::wstring& a_executable);

#pragma once

#include "version/java_version.h"

#include <string>

class LauncherHost;

struct JavaSearchRequest {
    JavaVersion minJavaVersion;
    std::wstring minJavaVersionText; // as written, for the messages
    std::wstring javaLocation;
    bool askForJavaLocation = true;
    bool allowNewerVersion = true;
};

struct JavaSearchResult {
    bool javaFound = false;
    // The executable to launch and to remember in java-location.
    std::wstring javaExecutable;
};

// Finds a Java runtime whose version suits the request: the configured
// location, then the "java" command on the search path, then folders the
// user picks. Each candidate is asked for its version with -version, with a
// limit of 3 seconds. Shows its own messages; the caller adds none.
JavaSearchResult findJavaRuntime(const JavaSearchRequest& a_request, LauncherHost& a_host);

// Puts a program path that holds a blank or a tab in double quotes (unless
// it already holds one), so that the system does not try a shorter path
// such as C:\Program.exe first.
std::wstring quotedProgram(const std::wstring& a_program);

// The version text between the first two double quotes of a runtime's
// report. Lines that begin with "Picked up " or "NOTE: Picked up " (the
// options the runtime echoes from its environment) are skipped first. False
// when there are no two quotes with something between them.
bool extractVersionText(const std::string& a_report, std::wstring& a_versionText);

#pragma once

#include "version/java_version.h"

#include <optional>
#include <string>

class LauncherHost;

struct JavaSearchRequest {
    JavaVersion minJavaVersion;
    std::wstring minJavaVersionText; // as written, for the messages
    std::optional<JavaVersion> maxJavaVersion;
    std::wstring javaLocation; // as written in the settings
    bool askForJavaLocation = true;
    bool allowNewerVersion = true;
    bool findInstalledJava = true;
};

struct JavaSearchResult {
    bool javaFound = false;
    // What to remember in java-location: in the form the settings gave it
    // (relative, with variables, with options), completed with java.exe when
    // it named a folder; or the runtime found elsewhere.
    std::wstring javaExecutable;
    // The head of the launch line: the executable to run, quoted where it
    // needs quotes, with the options a configured location carries.
    std::wstring javaCommand;
};

// Finds a Java runtime whose version suits the request: the configured
// location, then the "java" command on the search path, then, before the
// user is told or asked anything, the runtimes installed on the machine,
// then folders the user picks. Each candidate is asked for its version with
// -version, with a limit of 3 seconds. Shows its own messages; the caller
// adds none.
JavaSearchResult findJavaRuntime(const JavaSearchRequest& a_request, LauncherHost& a_host);

// The version text between the first two double quotes of a runtime's
// report. Lines that begin with "Picked up " or "NOTE: Picked up " (the
// options the runtime echoes from its environment) are skipped first. False
// when there are no two quotes with something between them.
bool extractVersionText(const std::string& a_report, std::wstring& a_versionText);

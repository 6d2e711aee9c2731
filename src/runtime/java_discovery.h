#pragma once

#include "messages/message_texts.h"
#include "version/java_version.h"

#include <memory>
#include <optional>
#include <string>

class LauncherHost;
class StartLog;

struct JavaSearchRequest {
    JavaVersion minJavaVersion;
    std::wstring minJavaVersionText; // as written, for the messages
    std::optional<JavaVersion> maxJavaVersion;
    std::wstring javaLocation; // as written in the settings
    // java-location came from the user's file; the application's own, tried
    // next when the user's cannot be used.
    bool javaLocationFromUser = false;
    std::wstring applicationJavaLocation;
    bool askForJavaLocation = true;
    bool allowNewerVersion = true;
    bool findInstalledJava = true;
    // A runtime's version is first looked for in its home's release file.
    bool readJavaRelease = false;
    MessageTexts texts;
    // java-download-url: offered when the search ends without a runtime.
    std::wstring downloadAddress;
    // Whether anyone can be asked (the download question): the windowed
    // launcher's user; the console's and a service's are only told.
    bool asks = true;
    StartLog* log = nullptr; // every candidate, how it was checked, the verdict
    // The version check's redirection files, beside the launcher.
    std::wstring versionCheckBaseName = L"java.version.check";
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
    // The runtime the application's own java-location names.
    bool applicationsOwn = false;
    // Accepted by its release file, without having been started.
    bool fromReleaseFile = false;
    // Its version, from its report or release file; major -1 when unknown
    // (the user chose Ignore on a report without one).
    JavaVersion version;
    // Its java.exe's full path when it names one; empty for the java
    // command (see runtimeExecutable).
    std::wstring executable;
};

// The accepted runtime's java.exe: for the java command, the one Windows
// would start (a search of its folders, done only when asked); empty when
// there is none.
std::wstring runtimeExecutable(const JavaSearchResult& a_result);

// Finds a Java runtime whose version suits the request, trying in order:
//   1. the configured java-location, or the java command on the search path;
//      when the user's java-location cannot be used, the application's own;
//   2. the java command, once, when a configured runtime cannot be started;
//   3. once, before the user is first told or asked anything, the runtimes
//      installed on the machine, silently;
//   4. what the user decides: Retry (the java command after a configured
//      runtime, else a folder they pick), Ignore, or the end.
// Each candidate is asked for its version with -version, with a limit of 3
// seconds; with readJavaRelease, the release file of its home (the folder
// above the one holding java.exe) answers instead when it names a version.
// Shows its own messages; the caller adds none.
JavaSearchResult findJavaRuntime(const JavaSearchRequest& a_request, LauncherHost& a_host);

// The same search, which can go on after the application could not be
// started with a runtime accepted by its release file: then as after a
// version check that did not start. a_request must outlive it.
class JavaSearch {
public:
    JavaSearch(const JavaSearchRequest& a_request, LauncherHost& a_host);
    ~JavaSearch();
    JavaSearch(const JavaSearch&) = delete;
    JavaSearch& operator=(const JavaSearch&) = delete;

    JavaSearchResult run();
    JavaSearchResult resumeAfterFailedStart();

private:
    class Search;
    std::unique_ptr<Search> m_search;
};

#pragma once

#include "launch/java_launcher_library.h"

#include <string>
#include <vector>

class LaunchLine;

// The application in the launcher's own process (in-process=1): the
// runtime's jli.dll runs the JVM here, with the arguments java.exe would
// have received from the launch line. The sequence decides when; this is
// how.
class InProcessStart {
public:
    // Makes the redirection files of a_streamsBaseName (a file name: beside
    // the launcher, else in the temporary folder) this process's standard
    // streams, unless it is empty, then loads the library beside
    // a_javaExecutable. Empty when it is ready; otherwise why not.
    std::wstring prepare(const std::wstring& a_javaExecutable,
                         const std::wstring& a_streamsBaseName);

    // Runs the application; its exit code, unless the process ends inside
    // with the code of System.exit.
    int run(const std::vector<std::wstring>& a_arguments, const std::wstring& a_programName,
            bool a_javaw);

private:
    JavaLauncherLibrary m_library;
};

// What JLI_Launch receives: a_javaExecutable, then every argument of the
// launch, as they are: no argument file, since no command line limits them.
std::vector<std::wstring> inProcessArguments(const std::wstring& a_javaExecutable,
                                             const LaunchLine& a_launch);

// The first of a_arguments that has no place in the ANSI code page, in which
// the runtime's library takes them; empty when all have.
std::wstring argumentOutsideAnsi(const std::vector<std::wstring>& a_arguments);

// The name the runtime's messages give the launcher: its file name without
// the extension.
std::wstring inProcessProgramName();

// The redirection files named a_fileName (the first free set), beside the
// executable, else in the temporary folder, made this process's standard
// streams. False when they can be created in neither.
bool redirectOwnStreams(const std::wstring& a_fileName);

#pragma once

#include "platform/unique_handle.h"

#include <windows.h>

#include <string>
#include <vector>

struct ModuleTraits {
    using Type = HMODULE;
    static HMODULE empty() noexcept { return nullptr; }
    static void close(HMODULE a_module) noexcept { FreeLibrary(a_module); }
};
using UniqueModule = UniqueResource<ModuleTraits>;

// The Java launcher's own library, jli.dll, which every Java runtime for
// Windows since Java 7 ships beside its java.exe (java.exe imports it): its
// JLI_Launch parses java.exe's arguments, creates the JVM in the calling
// process, runs the main class on a thread of its own and returns the exit
// code, or the process ends inside it with the code of System.exit.
class JavaLauncherLibrary {
public:
    // Loads the jli.dll beside a_javaExecutable, with that folder and the
    // system folders searched for the library's own dependencies, never the
    // current directory (the application's) or PATH. Empty when it is
    // loaded and has JLI_Launch; otherwise why not, for the log.
    std::wstring load(const std::wstring& a_javaExecutable);

    // JLI_Launch with a_arguments (the first the java.exe path), in the
    // ANSI code page as java.exe takes them (the caller checks that they
    // have a place in it); a_programName names the launcher in the
    // runtime's messages; Java's class-path wildcard on.
    int launch(const std::vector<std::wstring>& a_arguments, const std::wstring& a_programName,
               bool a_javaw);

private:
    // JLI_Launch(argc, argv, jargc, jargv, appclassc, appclassv, fullversion,
    // dotversion, pname, lname, javaargs, cpwildcard, javaw, ergo). The
    // jboolean flags are passed as whole ints: a caller need not widen a
    // char argument, and the library reads the low byte either way.
    using Launch = int(__stdcall*)(int, char**, int, const char**, int, const char**, const char*,
                                   const char*, const char*, const char*, int, int, int, int);

    UniqueModule m_library;
    Launch m_launch = nullptr;
};

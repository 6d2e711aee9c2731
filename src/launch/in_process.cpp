#include "launch/in_process.h"

#include "launch/launch_line.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "process/process_executor.h"

std::wstring InProcessStart::prepare(const std::wstring& a_javaExecutable,
                                     const std::wstring& a_streamsBaseName) {
    // Before the library loads: the runtime's C library takes its standard
    // streams from the process's standard handles as it starts.
    if (!a_streamsBaseName.empty() && !redirectOwnStreams(a_streamsBaseName)) {
        return L"the redirection files " + a_streamsBaseName +
               L".* could be created neither beside the launcher nor in the temporary folder";
    }
    return m_library.load(a_javaExecutable);
}

int InProcessStart::run(const std::vector<std::wstring>& a_arguments,
                        const std::wstring& a_programName, bool a_javaw) {
    return m_library.launch(a_arguments, a_programName, a_javaw);
}

std::vector<std::wstring> inProcessArguments(const std::wstring& a_javaExecutable,
                                             const LaunchLine& a_launch) {
    std::vector<std::wstring> arguments{a_javaExecutable};
    arguments.insert(arguments.end(), a_launch.arguments().begin(), a_launch.arguments().end());
    return arguments;
}

std::wstring argumentOutsideAnsi(const std::vector<std::wstring>& a_arguments) {
    std::string bytes;
    for (const std::wstring& argument : a_arguments) {
        if (!encodeAnsi(argument, bytes)) {
            return argument;
        }
    }
    return std::wstring();
}

std::wstring inProcessProgramName() {
    return executableStem();
}

bool redirectOwnStreams(const std::wstring& a_fileName) {
    if (useRedirectionFilesAsOwnStreams(moduleRelativePath(a_fileName))) {
        return true;
    }
    const std::wstring folder = temporaryFolder();
    return !folder.empty() && useRedirectionFilesAsOwnStreams(folder + a_fileName);
}

#include "runtime/java_candidate.h"

#include "platform/command_line.h"
#include "platform/environment.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

constexpr const wchar_t* executableName = L"java.exe";
constexpr std::size_t executableNameLength = 8;
constexpr const wchar_t* versionSwitch = L" -version ";

bool isRelativeLocation(const std::wstring& a_location) {
    return !a_location.empty() && a_location.find_first_of(L":\"") == std::wstring::npos &&
           a_location.front() != L'\\' && a_location.front() != L'/';
}

} // namespace

bool namesSearchPath(const std::wstring& a_javaLocation) {
    return a_javaLocation.empty() || a_javaLocation == L"java" || a_javaLocation == L"java.exe";
}

JavaCandidate searchPathCandidate(const wchar_t* a_executable) {
    return JavaCandidate{JavaCandidate::Source::searchPath, L"java -version", a_executable,
                         a_executable, L""};
}

JavaCandidate executableCandidate(JavaCandidate::Source a_source,
                                  const std::wstring& a_executable) {
    const std::wstring command = quotedProgram(a_executable);
    return JavaCandidate{a_source, command + versionSwitch, command, a_executable, a_executable};
}

JavaCandidate configuredCandidate(const std::wstring& a_javaLocation) {
    std::wstring resolved = expandEnvironmentVariables(a_javaLocation);
    if (isRelativeLocation(resolved)) {
        resolved = moduleRelativePath(resolved);
    }
    const std::size_t executable = resolved.find(executableName);
    if (executable != std::wstring::npos) {
        const std::wstring command = javaProgramWithOptions(resolved);
        // Without the quote that may open the program: the same runtime found
        // again elsewhere is the same path, and checked once.
        return JavaCandidate{JavaCandidate::Source::configured, command + versionSwitch, command,
                             a_javaLocation,
                             trimmed(resolved.substr(0, executable + executableNameLength), L"\"")};
    }
    const std::wstring folder = withTrailingBackslash(resolved);
    return JavaCandidate{
        JavaCandidate::Source::configured, quotedProgram(folder + L"java") + versionSwitch,
        quotedProgram(folder + executableName),
        withTrailingBackslash(a_javaLocation) + executableName, folder + executableName};
}

std::wstring javaProgramWithOptions(const std::wstring& a_location) {
    const std::size_t executable = a_location.find(executableName);
    if (executable == std::wstring::npos) {
        return quotedProgram(a_location);
    }
    const std::size_t programEnd = executable + executableNameLength;
    return quotedProgram(a_location.substr(0, programEnd)) + a_location.substr(programEnd);
}

std::wstring releaseFileOf(const std::wstring& a_executable) {
    const std::wstring folder = folderOf(a_executable);
    const std::wstring home =
        folder.empty() ? folder : folderOf(folder.substr(0, folder.size() - 1));
    return home.empty() ? home : home + L"release";
}

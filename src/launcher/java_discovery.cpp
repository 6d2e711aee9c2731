#include "launcher/java_discovery.h"

#include "launcher/launcher_host.h"
#include "launcher/messages.h"
#include "launcher/redirected_run.h"
#include "platform/command_line.h"
#include "platform/environment.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "process/process_executor.h"

#include <windows.h>

#include <vector>

namespace {

constexpr DWORD versionCheckTimeoutMs = 3000;
constexpr const wchar_t* versionCheckBaseName = L"java.version.check";

constexpr const wchar_t* plainCommand = L"java -version";
constexpr const wchar_t* versionSwitch = L" -version ";

bool startsWith(const std::string& a_text, std::size_t a_at, const char* a_prefix) {
    return a_text.compare(a_at, std::char_traits<char>::length(a_prefix), a_prefix) == 0;
}

// The runtime echoes options from JAVA_TOOL_OPTIONS, _JAVA_OPTIONS and
// JDK_JAVA_OPTIONS before its report; those lines may hold quotes of their own.
std::string withoutPickedUpLines(const std::string& a_report) {
    std::string kept;
    for (std::size_t start = 0; start < a_report.size();) {
        const std::size_t lineEnd = a_report.find('\n', start);
        const std::size_t next = lineEnd == std::string::npos ? a_report.size() : lineEnd + 1;
        if (!startsWith(a_report, start, "Picked up ") &&
            !startsWith(a_report, start, "NOTE: Picked up ")) {
            kept.append(a_report, start, next - start);
        }
        start = next;
    }
    return kept;
}

// Relative: no colon, and not beginning with a backslash or a slash. A value
// with a double quote is taken as written.
bool isRelativeLocation(const std::wstring& a_location) {
    return !a_location.empty() && a_location.find_first_of(L":\"") == std::wstring::npos &&
           a_location.front() != L'\\' && a_location.front() != L'/';
}

// One runtime to ask for its version.
struct Candidate {
    std::wstring versionCommand;
    std::wstring command;    // the head of the launch line
    std::wstring remembered; // what java-location is set to
    std::wstring executable; // its path, when known: checked at most once
};

Candidate plainCandidate(const wchar_t* a_executable) {
    return Candidate{plainCommand, a_executable, a_executable, L""};
}

// A java.exe known by its full path: the dialog's folder, an installed one.
Candidate executableCandidate(const std::wstring& a_executable) {
    const std::wstring command = quotedProgram(a_executable);
    return Candidate{command + versionSwitch, command, a_executable, a_executable};
}

// A value holding "java.exe" names the executable, possibly followed by
// options; any other names its folder. Variables are expanded and a relative
// value joins the launcher's folder for the run; what is remembered keeps the
// form it was written in.
Candidate configuredCandidate(const std::wstring& a_location) {
    std::wstring resolved = expandEnvironmentVariables(a_location);
    if (isRelativeLocation(resolved)) {
        resolved = moduleRelativePath(resolved);
    }
    const std::size_t executable = resolved.find(L"java.exe");
    if (executable != std::wstring::npos) {
        const std::wstring command = javaProgramWithOptions(resolved);
        return Candidate{command + versionSwitch, command, a_location,
                         resolved.substr(0, executable + 8)};
    }
    const std::wstring folder = withTrailingBackslash(resolved);
    return Candidate{quotedProgram(folder + L"java") + versionSwitch,
                     quotedProgram(folder + L"java.exe"),
                     withTrailingBackslash(a_location) + L"java.exe", folder + L"java.exe"};
}

// The search as a small state machine: each candidate is asked for its
// version, and the answer decides between accepting it, stopping with a
// message, or moving on to the next candidate.
class JavaSearch {
public:
    JavaSearch(const JavaSearchRequest& a_request, LauncherHost& a_host)
        : m_request(a_request), m_host(a_host) {}

    JavaSearchResult run() {
        useFirstCandidate();
        for (;;) {
            const int result = runVersionCheck(m_candidate);
            if (result == processStartFailed) {
                if (m_usingPlainCommand && installedRuntimeAccepted()) {
                    return found();
                }
                if (!moveToNextCandidate()) {
                    return stopped();
                }
                continue;
            }
            // A capture file that cannot be made or read, or a runtime that
            // takes longer than the limit: the search ends without a word.
            if (result != processSucceeded) {
                return stopped();
            }
            switch (judgeReportedVersion()) {
            case Verdict::accept:
                return found();
            case Verdict::stop:
                return stopped();
            case Verdict::tryAnother:
                if (!moveToNextCandidate()) {
                    return stopped();
                }
                break;
            }
        }
    }

private:
    enum class Verdict { accept, stop, tryAnother };
    enum class Fit { suitable, unsuitable, unreadable };

    // Empty, "java" and "java.exe" mean the search path; the comparisons are
    // case-sensitive, as the value is used as written.
    void useFirstCandidate() {
        const std::wstring& location = m_request.javaLocation;
        if (location.empty() || location == L"java" || location == L"java.exe") {
            m_candidate = plainCandidate(L"java.exe");
            return;
        }
        m_candidate = configuredCandidate(location);
        m_usingPlainCommand = false;
    }

    // The runtime was not found, or the user asked for another one: fall
    // back to the search path once, then ask for a folder when allowed.
    bool moveToNextCandidate() {
        if (!m_usingPlainCommand) {
            m_candidate = plainCandidate(L"java");
            m_usingPlainCommand = true;
            return true;
        }
        if (!m_request.askForJavaLocation) {
            showVersionMessage(messages::javaVersionUnreadable, messages::plainBox);
            return false;
        }
        const std::wstring folder = m_host.chooseJavaFolder();
        if (folder.empty()) {
            m_host.showMessage(messages::noJavaRuntime, messages::errorCaption, messages::plainBox);
            return false;
        }
        // A drive root comes with its backslash, any other folder without.
        m_candidate = executableCandidate(withTrailingBackslash(folder) + L"java.exe");
        return true;
    }

    // Once per start, before the user is first told or asked anything: the
    // first installed runtime that suits, checked silently.
    bool installedRuntimeAccepted() {
        if (m_installedRuntimesTried || !m_request.findInstalledJava) {
            return false;
        }
        m_installedRuntimesTried = true;
        for (const std::wstring& executable : m_host.installedJavaRuntimes()) {
            if (alreadyChecked(executable)) {
                continue;
            }
            const Candidate candidate = executableCandidate(executable);
            if (runVersionCheck(candidate) == processSucceeded && fitOfReport() == Fit::suitable) {
                m_candidate = candidate;
                return true;
            }
        }
        return false;
    }

    bool alreadyChecked(const std::wstring& a_executable) const {
        for (const std::wstring& checked : m_checked) {
            if (samePath(checked, a_executable)) {
                return true;
            }
        }
        return false;
    }

    int runVersionCheck(const Candidate& a_candidate) {
        if (!a_candidate.executable.empty()) {
            m_checked.push_back(a_candidate.executable);
        }
        m_outputText.clear();
        m_errorText.clear();
        return runRedirected(m_host, m_outputText, m_errorText, a_candidate.versionCommand,
                             versionCheckBaseName, true, true, versionCheckTimeoutMs);
    }

    // Suitable: from the minimum up to the maximum, and above the minimum
    // only when newer versions are allowed.
    Fit fitOfReport() const {
        const std::string& report = m_outputText.empty() ? m_errorText : m_outputText;
        std::wstring versionText;
        JavaVersion found;
        if (!extractVersionText(report, versionText) || !readJavaVersion(versionText, found)) {
            return Fit::unreadable;
        }
        const int order = compareJavaVersions(found, m_request.minJavaVersion);
        const bool belowMaximum =
            !m_request.maxJavaVersion || compareJavaVersions(found, *m_request.maxJavaVersion) <= 0;
        return (order == 0 || (order > 0 && m_request.allowNewerVersion)) && belowMaximum
                   ? Fit::suitable
                   : Fit::unsuitable;
    }

    Verdict judgeReportedVersion() {
        const Fit fit = fitOfReport();
        if (fit == Fit::suitable || installedRuntimeAccepted()) {
            return Verdict::accept;
        }
        if (fit == Fit::unreadable) {
            showVersionMessage(messages::javaVersionUnreadable, messages::plainBox);
            return Verdict::stop;
        }
        if (!m_request.askForJavaLocation) {
            showVersionMessage(messages::javaVersionUnsuitable, messages::plainBox);
            return Verdict::stop;
        }
        switch (showVersionMessage(messages::javaVersionUnsuitableAsk,
                                   messages::javaVersionUnsuitableAskBox)) {
        case IDRETRY:
            return Verdict::tryAnother;
        case IDIGNORE: // the runtime just examined, whatever its version
            return Verdict::accept;
        default: // Abort, or a box that could not be shown
            return Verdict::stop;
        }
    }

    int showVersionMessage(const wchar_t* a_format, UINT a_flags) {
        return m_host.showMessage(formatWideString(a_format, m_request.minJavaVersionText.c_str()),
                                  messages::errorCaption, a_flags);
    }

    JavaSearchResult found() { return finish(true); }
    JavaSearchResult stopped() { return finish(false); }

    JavaSearchResult finish(bool a_javaFound) {
        m_outputText.clear();
        m_errorText.clear();
        return JavaSearchResult{a_javaFound, m_candidate.remembered, m_candidate.command};
    }

    const JavaSearchRequest& m_request;
    LauncherHost& m_host;
    Candidate m_candidate;
    bool m_usingPlainCommand = true;
    bool m_installedRuntimesTried = false;
    std::vector<std::wstring> m_checked;
    std::string m_outputText;
    std::string m_errorText;
};

} // namespace

JavaSearchResult findJavaRuntime(const JavaSearchRequest& a_request, LauncherHost& a_host) {
    return JavaSearch(a_request, a_host).run();
}

bool extractVersionText(const std::string& a_report, std::wstring& a_versionText) {
    const std::string report = withoutPickedUpLines(a_report);
    const std::size_t first = report.find('"');
    if (first == std::string::npos) {
        return false;
    }
    const std::size_t second = report.find('"', first + 1);
    if (second == std::string::npos || second == first + 1) {
        return false;
    }
    a_versionText = toWideString(report.substr(first + 1, second - first - 1).c_str());
    return true;
}

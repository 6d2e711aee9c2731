#include "launcher/java_discovery.h"

#include "launcher/launcher_host.h"
#include "launcher/messages.h"
#include "launcher/redirected_run.h"
#include "platform/text.h"
#include "process/process_executor.h"

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
            const int result = runVersionCheck();
            if (result == processStartFailed) {
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

    // Empty, "java" and "java.exe" mean the search path. A value holding
    // "java.exe" names the executable; any other value names its folder. The
    // comparisons are case-sensitive, as the value is used as written.
    void useFirstCandidate() {
        m_versionCommand = plainCommand;
        m_javaExecutable = L"java.exe";
        m_usingPlainCommand = true;
        const std::wstring& location = m_request.javaLocation;
        if (location.empty() || location == L"java" || location == L"java.exe") {
            return;
        }
        if (location.find(L"java.exe") != std::wstring::npos) {
            m_versionCommand = quotedProgram(location) + versionSwitch;
            m_javaExecutable = location;
        } else {
            const std::wstring folder = location.back() == L'\\' ? location : location + L'\\';
            m_versionCommand = quotedProgram(folder + L"java") + versionSwitch;
            m_javaExecutable = folder + L"java.exe";
        }
        m_usingPlainCommand = false;
    }

    // The runtime was not found, or the user asked for another one: fall
    // back to the search path once, then ask for a folder when allowed.
    bool moveToNextCandidate() {
        if (!m_usingPlainCommand) {
            m_versionCommand = plainCommand;
            m_javaExecutable = L"java";
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
        m_javaExecutable = folder.back() == L'\\' ? folder + L"java.exe" : folder + L"\\java.exe";
        m_versionCommand = quotedProgram(m_javaExecutable) + versionSwitch;
        return true;
    }

    int runVersionCheck() {
        m_outputText.clear();
        m_errorText.clear();
        return runRedirected(m_host, m_outputText, m_errorText, m_versionCommand,
                             versionCheckBaseName, true, true, versionCheckTimeoutMs);
    }

    Verdict judgeReportedVersion() {
        const std::string& report = m_outputText.empty() ? m_errorText : m_outputText;
        std::wstring versionText;
        JavaVersion found;
        if (!extractVersionText(report, versionText) || !readJavaVersion(versionText, found)) {
            showVersionMessage(messages::javaVersionUnreadable, messages::plainBox);
            return Verdict::stop;
        }
        const int order = compareJavaVersions(found, m_request.minJavaVersion);
        if (order == 0 || (order > 0 && m_request.allowNewerVersion)) {
            return Verdict::accept;
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
        return JavaSearchResult{a_javaFound, m_javaExecutable};
    }

    const JavaSearchRequest& m_request;
    LauncherHost& m_host;
    std::wstring m_versionCommand;
    std::wstring m_javaExecutable;
    bool m_usingPlainCommand = true;
    std::string m_outputText;
    std::string m_errorText;
};

} // namespace

JavaSearchResult findJavaRuntime(const JavaSearchRequest& a_request, LauncherHost& a_host) {
    return JavaSearch(a_request, a_host).run();
}

std::wstring quotedProgram(const std::wstring& a_program) {
    const bool needsQuotes = a_program.find_first_of(L" \t") != std::wstring::npos &&
                             a_program.find(L'"') == std::wstring::npos;
    return needsQuotes ? L"\"" + a_program + L"\"" : a_program;
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

#include "launcher/java_discovery.h"

#include "launcher/java_candidate.h"
#include "launcher/launcher_host.h"
#include "launcher/messages.h"
#include "launcher/redirected_run.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <windows.h>

#include <vector>

namespace {

constexpr DWORD versionCheckTimeoutMs = 3000;
constexpr const wchar_t* versionCheckBaseName = L"java.version.check";

// What a candidate's version check found.
enum class Fit {
    suitable,
    unsuitable,  // too old or too new
    unreadable,  // no version in its report
    didNotStart, // no such runtime
    silentEnd,   // timed out, or its report could not be captured: no word
};

// What the user decided after being told.
enum class Decision { accept, retry, stop };

class JavaSearch {
public:
    JavaSearch(const JavaSearchRequest& a_request, LauncherHost& a_host)
        : m_request(a_request), m_host(a_host) {}

    JavaSearchResult run() {
        JavaCandidate candidate = namesSearchPath(m_request.javaLocation)
                                      ? searchPathCandidate(L"java.exe")
                                      : configuredCandidate(m_request.javaLocation);
        for (;;) {
            const Fit fit = check(candidate);
            if (fit == Fit::suitable) {
                return found(candidate);
            }
            if (fit == Fit::silentEnd) {
                return stopped(candidate);
            }
            if (fit != Fit::didNotStart || !isConfigured(candidate)) {
                if (std::optional<JavaCandidate> installed = suitableInstalledRuntime()) {
                    return found(*installed);
                }
                const Decision decision = tellUser(fit);
                if (decision == Decision::accept) {
                    return found(candidate);
                }
                if (decision == Decision::stop) {
                    return stopped(candidate);
                }
            }
            std::optional<JavaCandidate> next = nextCandidate(candidate);
            if (!next) {
                return stopped(candidate);
            }
            candidate = std::move(*next);
        }
    }

private:
    static bool isConfigured(const JavaCandidate& a_candidate) {
        return a_candidate.source == JavaCandidate::Source::configured;
    }

    // After a configured runtime, the java command; after that, a folder the
    // user picks (none when they cancel).
    std::optional<JavaCandidate> nextCandidate(const JavaCandidate& a_current) {
        if (isConfigured(a_current)) {
            return searchPathCandidate(L"java");
        }
        const std::wstring folder = m_host.chooseJavaFolder();
        if (folder.empty()) {
            m_host.showMessage(messages::noJavaRuntime, messages::errorCaption, messages::plainBox);
            return std::nullopt;
        }
        // A drive root comes with its backslash, any other folder without.
        return executableCandidate(JavaCandidate::Source::chosen,
                                   withTrailingBackslash(folder) + L"java.exe");
    }

    // Once per start: the first installed runtime that suits, checked
    // silently, skipping those already checked.
    std::optional<JavaCandidate> suitableInstalledRuntime() {
        if (m_installedRuntimesTried || !m_request.findInstalledJava) {
            return std::nullopt;
        }
        m_installedRuntimesTried = true;
        for (const std::wstring& executable : m_host.installedJavaRuntimes()) {
            if (alreadyChecked(executable)) {
                continue;
            }
            JavaCandidate candidate =
                executableCandidate(JavaCandidate::Source::installed, executable);
            if (check(candidate) == Fit::suitable) {
                return candidate;
            }
        }
        return std::nullopt;
    }

    bool alreadyChecked(const std::wstring& a_executable) const {
        for (const std::wstring& checked : m_checked) {
            if (samePath(checked, a_executable)) {
                return true;
            }
        }
        return false;
    }

    // The one way a candidate is judged: its version check, then its version
    // against the request.
    Fit check(const JavaCandidate& a_candidate) {
        if (!a_candidate.executable.empty()) {
            m_checked.push_back(a_candidate.executable);
        }
        if (m_request.readJavaRelease) {
            JavaVersion released;
            if (readReleasedVersion(a_candidate, released)) {
                return suits(released) ? Fit::suitable : Fit::unsuitable;
            }
        }
        const ProcessResult report =
            runRedirected(m_host, ProcessRequest{a_candidate.versionCommand, versionCheckBaseName,
                                                 true, true, versionCheckTimeoutMs});
        if (report.code == processStartFailed) {
            return Fit::didNotStart;
        }
        if (report.code != processSucceeded) {
            return Fit::silentEnd;
        }
        std::wstring versionText;
        JavaVersion version;
        if (!extractVersionText(report.output.empty() ? report.error : report.output,
                                versionText) ||
            !readJavaVersion(versionText, version)) {
            return Fit::unreadable;
        }
        return suits(version) ? Fit::suitable : Fit::unsuitable;
    }

    // The version in the release file of the candidate's home, without
    // starting it. The java command is the java.exe the system would start.
    static bool readReleasedVersion(const JavaCandidate& a_candidate, JavaVersion& a_version) {
        const std::wstring executable = a_candidate.executable.empty()
                                            ? programOnSearchPath(L"java.exe")
                                            : trimmed(a_candidate.executable, L"\"");
        const std::size_t folderEnd = executable.rfind(L'\\');
        const std::size_t homeEnd = folderEnd == std::wstring::npos || folderEnd == 0
                                        ? std::wstring::npos
                                        : executable.rfind(L'\\', folderEnd - 1);
        std::string release;
        std::wstring versionText;
        return homeEnd != std::wstring::npos &&
               readWholeFile(executable.substr(0, homeEnd + 1) + L"release", release) &&
               releaseVersionText(release, versionText) && readJavaVersion(versionText, a_version);
    }

    // From the minimum up to the maximum, and above the minimum only when
    // newer versions are allowed.
    bool suits(const JavaVersion& a_version) const {
        const int order = compareJavaVersions(a_version, m_request.minJavaVersion);
        const bool belowMaximum = !m_request.maxJavaVersion ||
                                  compareJavaVersions(a_version, *m_request.maxJavaVersion) <= 0;
        return (order == 0 || (order > 0 && m_request.allowNewerVersion)) && belowMaximum;
    }

    // The one place that tells the user about the runtime, or asks them.
    Decision tellUser(Fit a_fit) {
        if (a_fit == Fit::didNotStart && m_request.askForJavaLocation) {
            return Decision::retry; // straight to the next candidate
        }
        if (a_fit != Fit::unsuitable) {
            showVersionMessage(messages::javaVersionUnreadable, messages::plainBox);
            return Decision::stop;
        }
        if (!m_request.askForJavaLocation) {
            showVersionMessage(messages::javaVersionUnsuitable, messages::plainBox);
            return Decision::stop;
        }
        switch (showVersionMessage(messages::javaVersionUnsuitableAsk,
                                   messages::javaVersionUnsuitableAskBox)) {
        case IDRETRY:
            return Decision::retry;
        case IDIGNORE: // the runtime just examined, whatever its version
            return Decision::accept;
        default: // Abort, or a box that could not be shown
            return Decision::stop;
        }
    }

    int showVersionMessage(const wchar_t* a_format, UINT a_flags) {
        return m_host.showMessage(formatWideString(a_format, m_request.minJavaVersionText.c_str()),
                                  messages::errorCaption, a_flags);
    }

    static JavaSearchResult found(const JavaCandidate& a_candidate) {
        return JavaSearchResult{true, a_candidate.remembered, a_candidate.command};
    }
    static JavaSearchResult stopped(const JavaCandidate& a_candidate) {
        return JavaSearchResult{false, a_candidate.remembered, a_candidate.command};
    }

    const JavaSearchRequest& m_request;
    LauncherHost& m_host;
    bool m_installedRuntimesTried = false;
    std::vector<std::wstring> m_checked;
};

} // namespace

JavaSearchResult findJavaRuntime(const JavaSearchRequest& a_request, LauncherHost& a_host) {
    return JavaSearch(a_request, a_host).run();
}

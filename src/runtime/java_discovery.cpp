#include "runtime/java_discovery.h"

#include "host/launcher_host.h"
#include "host/redirected_run.h"
#include "messages/message_texts.h"
#include "messages/messages.h"
#include "messages/start_log.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "runtime/java_candidate.h"

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
    timedOut,    // no report within the limit: no word, unless the author gave one
    silentEnd,   // its report could not be captured: no word
};

// The runtime's report, read back from its redirection files, within the
// limit.
ProcessRequest versionCheckRequest(const std::wstring& a_versionCommand) {
    ProcessRequest request;
    request.commandLine = a_versionCommand;
    request.baseName = versionCheckBaseName;
    request.collect = true;
    request.wait = true;
    request.timeoutMs = versionCheckTimeoutMs;
    return request;
}

// What the user decided after being told.
enum class Decision { accept, retry, stop };

// A runtime's java.exe: the one it names, or, for the java command, the one
// Windows would start.
std::wstring resolvedExecutable(const std::wstring& a_known) {
    return a_known.empty() ? programOnSearchPath(L"java.exe") : a_known;
}

} // namespace

class JavaSearch::Search {
public:
    Search(const JavaSearchRequest& a_request, LauncherHost& a_host)
        : m_request(a_request), m_host(a_host) {}

    JavaSearchResult run() {
        m_candidate = namesSearchPath(m_request.javaLocation)
                          ? searchPathCandidate(L"java.exe")
                          : configuredCandidate(m_request.javaLocation);
        // A runtime the application names itself (the java command is none).
        m_candidate.applicationsOwn =
            !m_request.javaLocationFromUser && !namesSearchPath(m_request.javaLocation);
        return searchFrom(check(m_candidate));
    }

    JavaSearchResult resumeAfterFailedStart() { return searchFrom(Fit::didNotStart); }

private:
    // The search, from the verdict on m_candidate on.
    JavaSearchResult searchFrom(Fit a_fit) {
        for (Fit fit = a_fit;; fit = check(m_candidate)) {
            if (fit != Fit::suitable && applicationsOwnIsNext()) {
                m_candidate = configuredCandidate(m_request.applicationJavaLocation);
                m_candidate.applicationsOwn = true;
                continue;
            }
            if (fit == Fit::suitable) {
                return found(m_candidate);
            }
            if (fit == Fit::timedOut && texts().given(MessageKey::javaTimeout)) {
                m_host.showMessage(texts().text(MessageKey::javaTimeout), messages::errorCaption,
                                   messages::plainBox);
            }
            if (fit == Fit::timedOut || fit == Fit::silentEnd) {
                return stopped(m_candidate);
            }
            if (fit != Fit::didNotStart || !isConfigured(m_candidate)) {
                if (std::optional<JavaCandidate> installed = suitableInstalledRuntime()) {
                    m_candidate = std::move(*installed);
                    return found(m_candidate);
                }
                const Decision decision = tellUser(fit);
                if (decision == Decision::accept) {
                    return found(m_candidate);
                }
                if (decision == Decision::stop) {
                    return stopped(m_candidate);
                }
            }
            std::optional<JavaCandidate> next = nextCandidate(m_candidate);
            if (!next) {
                return stopped(m_candidate);
            }
            m_candidate = std::move(*next);
        }
    }

    // When the user's java-location cannot be used, the application's own
    // runtime comes next, once, before anything else.
    bool applicationsOwnIsNext() {
        const std::wstring& own = m_request.applicationJavaLocation;
        if (m_applicationsOwnTried || !m_request.javaLocationFromUser || namesSearchPath(own) ||
            own == m_request.javaLocation) {
            return false;
        }
        m_applicationsOwnTried = true;
        return true;
    }

    static bool isConfigured(const JavaCandidate& a_candidate) {
        return a_candidate.source == JavaCandidate::Source::configured;
    }

    // After a configured runtime, the java command; after that, a folder the
    // user picks (none when they cancel).
    std::optional<JavaCandidate> nextCandidate(const JavaCandidate& a_current) {
        if (isConfigured(a_current)) {
            return searchPathCandidate(L"java");
        }
        const std::wstring folder =
            m_host.chooseJavaFolder(texts().text(MessageKey::folderDialogTitle));
        if (folder.empty()) {
            endWithoutRuntime(texts().text(MessageKey::javaNotFound));
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
        std::wstring how; // for the log
        const Fit fit = judge(a_candidate, how);
        if (logging()) {
            m_request.log->line(L"runtime (" + sourceName(a_candidate.source) + L"): " + how);
        }
        return fit;
    }

    bool logging() const { return m_request.log != nullptr && m_request.log->enabled(); }

    Fit judge(const JavaCandidate& a_candidate, std::wstring& a_how) {
        JavaVersion version;
        m_fromReleaseFile = false;
        m_version = JavaVersion();
        if (m_request.readJavaRelease) {
            std::wstring releaseFile;
            if (readReleasedVersion(a_candidate, releaseFile, version)) {
                a_how = L"release file " + releaseFile;
                m_fromReleaseFile = true;
                return verdict(version, a_how);
            }
        }
        const ULONGLONG started = GetTickCount64();
        const ProcessResult report =
            runRedirected(m_host, versionCheckRequest(a_candidate.versionCommand));
        if (logging()) {
            const std::wstring text =
                fromAnsi(report.output.empty() ? report.error : report.output);
            // Whole, however long: not through the formatting buffer.
            a_how =
                a_candidate.versionCommand +
                formatWideString(L": %llu ms, exit code %ld, report: ", GetTickCount64() - started,
                                 static_cast<long>(report.exitCode)) +
                text.substr(0, text.find_first_of(L"\r\n"));
        }
        if (report.code == processStartFailed) {
            a_how += L"; verdict: did not start";
            return Fit::didNotStart;
        }
        if (report.code == processTimedOut) {
            a_how += L"; verdict: timed out";
            return Fit::timedOut;
        }
        if (report.code != processSucceeded) {
            a_how += L"; verdict: its report could not be captured";
            return Fit::silentEnd;
        }
        std::wstring versionText;
        if (!extractVersionText(report.output.empty() ? report.error : report.output,
                                versionText) ||
            !readJavaVersion(versionText, version)) {
            a_how += L"; verdict: unreadable";
            return Fit::unreadable;
        }
        return verdict(version, a_how);
    }

    Fit verdict(const JavaVersion& a_version, std::wstring& a_how) {
        m_version = a_version;
        if (suits(a_version)) {
            a_how += L"; verdict: accepted";
            return Fit::suitable;
        }
        a_how += compareJavaVersions(a_version, m_request.minJavaVersion) < 0
                     ? L"; verdict: too old"
                     : L"; verdict: too new";
        return Fit::unsuitable;
    }

    static std::wstring sourceName(JavaCandidate::Source a_source) {
        switch (a_source) {
        case JavaCandidate::Source::configured:
            return L"java-location";
        case JavaCandidate::Source::installed:
            return L"installed";
        case JavaCandidate::Source::chosen:
            return L"chosen by the user";
        case JavaCandidate::Source::searchPath:
            break;
        }
        return L"the search path";
    }

    // The version in the release file of the candidate's home, without
    // starting it. The java command is the java.exe the system would start.
    // A home without its java.exe is no runtime, whatever its release file
    // says: its version check then finds that it does not start.
    static bool readReleasedVersion(const JavaCandidate& a_candidate, std::wstring& a_releaseFile,
                                    JavaVersion& a_version) {
        const std::wstring executable = resolvedExecutable(trimmed(a_candidate.executable, L"\""));
        if (executable.empty() || !fileExists(executable)) {
            return false;
        }
        const std::size_t folderEnd = executable.rfind(L'\\');
        const std::size_t homeEnd = folderEnd == std::wstring::npos || folderEnd == 0
                                        ? std::wstring::npos
                                        : executable.rfind(L'\\', folderEnd - 1);
        std::string release;
        std::wstring versionText;
        if (homeEnd == std::wstring::npos) {
            return false;
        }
        a_releaseFile = executable.substr(0, homeEnd + 1) + L"release";
        return readWholeFile(a_releaseFile, release) && releaseVersionText(release, versionText) &&
               readJavaVersion(versionText, a_version);
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
            endWithoutRuntime(versionText(MessageKey::javaVersionUnreadable));
            return Decision::stop;
        }
        if (!m_request.askForJavaLocation) {
            endWithoutRuntime(versionText(MessageKey::javaUnsuitable));
            return Decision::stop;
        }
        switch (m_host.showMessage(versionText(MessageKey::javaUnsuitableRetry),
                                   messages::errorCaption, messages::javaVersionUnsuitableAskBox)) {
        case IDRETRY:
            return Decision::retry;
        case IDIGNORE: // the runtime just examined, whatever its version
            return Decision::accept;
        default: // Abort, or a box that could not be shown
            return Decision::stop;
        }
    }

    const MessageTexts& texts() const { return m_request.texts; }

    std::wstring versionText(MessageKey a_key) const {
        return texts().text(a_key, m_request.minJavaVersionText);
    }

    // The last box of a search that found nothing. With java-download-url it
    // asks whether to open the download page, and Yes opens it.
    void endWithoutRuntime(const std::wstring& a_text) {
        if (!m_request.downloadAddress.empty() && texts().forConsole()) {
            // Nothing is asked on a console: the address, on a line of its own.
            m_host.showMessage(a_text + L"\r\n" + m_request.downloadAddress, messages::errorCaption,
                               messages::plainBox);
            return;
        }
        if (m_request.downloadAddress.empty()) {
            m_host.showMessage(a_text, messages::errorCaption, messages::plainBox);
            return;
        }
        if (m_host.showMessage(a_text + L"\r\n\r\n" + texts().text(MessageKey::downloadQuestion),
                               messages::errorCaption, messages::downloadQuestionBox) == IDYES) {
            m_host.openAddress(m_request.downloadAddress);
        }
    }

    JavaSearchResult found(const JavaCandidate& a_candidate) const {
        return JavaSearchResult{true,
                                a_candidate.remembered,
                                a_candidate.command,
                                a_candidate.applicationsOwn,
                                m_fromReleaseFile,
                                m_version,
                                trimmed(a_candidate.executable, L"\"")};
    }
    static JavaSearchResult stopped(const JavaCandidate& a_candidate) {
        JavaSearchResult result;
        result.javaExecutable = a_candidate.remembered;
        result.javaCommand = a_candidate.command;
        return result;
    }

    const JavaSearchRequest& m_request;
    LauncherHost& m_host;
    JavaCandidate m_candidate;
    bool m_fromReleaseFile = false; // m_candidate's verdict came from its release file
    JavaVersion m_version;          // m_candidate's, when known
    bool m_applicationsOwnTried = false;
    bool m_installedRuntimesTried = false;
    std::vector<std::wstring> m_checked;
};

JavaSearch::JavaSearch(const JavaSearchRequest& a_request, LauncherHost& a_host)
    : m_search(std::make_unique<Search>(a_request, a_host)) {}

JavaSearch::~JavaSearch() = default;

JavaSearchResult JavaSearch::run() {
    return m_search->run();
}

JavaSearchResult JavaSearch::resumeAfterFailedStart() {
    return m_search->resumeAfterFailedStart();
}

std::wstring runtimeExecutable(const JavaSearchResult& a_result) {
    return resolvedExecutable(a_result.executable);
}

JavaSearchResult findJavaRuntime(const JavaSearchRequest& a_request, LauncherHost& a_host) {
    return JavaSearch(a_request, a_host).run();
}

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

#include <optional>
#include <vector>

namespace {

constexpr DWORD versionCheckTimeoutMs = 3000;

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
ProcessRequest versionCheckRequest(const std::wstring& a_versionCommand,
                                   const std::wstring& a_baseName) {
    ProcessRequest request;
    request.commandLine = a_versionCommand;
    request.baseName = a_baseName;
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

// The verdict on one candidate, which travels with it: whether it suits,
// and its version and where that came from, when known.
struct Verdict {
    Fit fit = Fit::didNotStart;
    JavaVersion version;
    bool fromReleaseFile = false;
};

Verdict verdictOf(Fit a_fit, const JavaVersion& a_version = JavaVersion()) {
    Verdict verdict;
    verdict.fit = a_fit;
    verdict.version = a_version;
    return verdict;
}

struct Checked {
    JavaCandidate candidate;
    Verdict verdict;
};

class JavaSearch::Search {
public:
    Search(const JavaSearchRequest& a_request, LauncherHost& a_host)
        : m_request(a_request), m_host(a_host) {}

    JavaSearchResult run() { return searchFrom(check(firstCandidate())); }

    // The runtime last accepted could not be started: as after a version
    // check that did not start.
    JavaSearchResult resumeAfterFailedStart() {
        Checked failed = m_accepted;
        failed.verdict = Verdict();
        return searchFrom(std::move(failed));
    }

private:
    // 1. The configured java-location, or the java command.
    JavaCandidate firstCandidate() const {
        JavaCandidate candidate = namesSearchPath(m_request.javaLocation)
                                      ? searchPathCandidate(L"java.exe")
                                      : configuredCandidate(m_request.javaLocation);
        // A runtime the application names itself (the java command is none).
        candidate.applicationsOwn =
            !m_request.javaLocationFromUser && !namesSearchPath(m_request.javaLocation);
        return candidate;
    }

    // The list of the header, from the verdict on a_current on: each pass
    // judges the next candidate the list gives.
    JavaSearchResult searchFrom(Checked a_current) {
        for (Checked current = std::move(a_current);;) {
            // 1. When the user's java-location fails, the application's own.
            if (current.verdict.fit != Fit::suitable && applicationsOwnIsNext()) {
                current = check(applicationsOwnCandidate());
                continue;
            }
            if (current.verdict.fit == Fit::suitable) {
                return found(current);
            }
            if (endsSilently(current.verdict.fit)) {
                return stopped(current);
            }
            // 2. A configured runtime that does not start: the java command,
            // before anything else.
            if (!configuredDidNotStart(current)) {
                // 3. The installed runtimes, once, silently.
                if (std::optional<Checked> installed = suitableInstalledRuntime()) {
                    return found(*installed);
                }
                // 4. What the user decides.
                const Decision decision = tellUser(current.verdict.fit);
                if (decision == Decision::accept) {
                    return found(current);
                }
                if (decision == Decision::stop) {
                    return stopped(current);
                }
            }
            std::optional<JavaCandidate> next = nextCandidate(current.candidate);
            if (!next) {
                return stopped(current);
            }
            current = check(std::move(*next));
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

    JavaCandidate applicationsOwnCandidate() const {
        JavaCandidate candidate = configuredCandidate(m_request.applicationJavaLocation);
        candidate.applicationsOwn = true;
        return candidate;
    }

    // A runtime that did not answer in time, or whose report could not be
    // captured, ends the search without a word (unless the author gave one
    // for the time-out).
    bool endsSilently(Fit a_fit) {
        if (a_fit == Fit::timedOut && texts().given(MessageKey::javaTimeout)) {
            m_host.showMessage(texts().text(MessageKey::javaTimeout), messages::errorCaption,
                               messages::plainBox);
        }
        return a_fit == Fit::timedOut || a_fit == Fit::silentEnd;
    }

    static bool isConfigured(const JavaCandidate& a_candidate) {
        return a_candidate.source == JavaCandidate::Source::configured;
    }

    static bool configuredDidNotStart(const Checked& a_checked) {
        return a_checked.verdict.fit == Fit::didNotStart && isConfigured(a_checked.candidate);
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
    std::optional<Checked> suitableInstalledRuntime() {
        if (m_installedRuntimesTried || !m_request.findInstalledJava) {
            return std::nullopt;
        }
        m_installedRuntimesTried = true;
        for (const std::wstring& executable : m_host.installedJavaRuntimes()) {
            if (alreadyChecked(executable)) {
                continue;
            }
            Checked checked =
                check(executableCandidate(JavaCandidate::Source::installed, executable));
            if (checked.verdict.fit == Fit::suitable) {
                return checked;
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
    Checked check(JavaCandidate a_candidate) {
        if (!a_candidate.executable.empty()) {
            m_checked.push_back(a_candidate.executable);
        }
        std::wstring how; // for the log
        Verdict verdict = judge(a_candidate, how);
        if (logging()) {
            m_request.log->line(L"runtime (" + sourceName(a_candidate.source) + L"): " + how);
        }
        return Checked{std::move(a_candidate), verdict};
    }

    bool logging() const { return m_request.log != nullptr && m_request.log->enabled(); }

    Verdict judge(const JavaCandidate& a_candidate, std::wstring& a_how) {
        JavaVersion version;
        if (m_request.readJavaRelease) {
            std::wstring releaseFile;
            if (readReleasedVersion(a_candidate, releaseFile, version)) {
                a_how = L"release file " + releaseFile;
                Verdict verdict = versionVerdict(version, a_how);
                verdict.fromReleaseFile = true;
                return verdict;
            }
        }
        const ULONGLONG started = GetTickCount64();
        const ProcessResult report =
            runRedirected(m_host, versionCheckRequest(a_candidate.versionCommand,
                                                      m_request.versionCheckBaseName));
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
        switch (report.code) {
        case ProcessCode::notStarted:
            a_how += L"; verdict: did not start";
            return verdictOf(Fit::didNotStart);
        case ProcessCode::timedOut:
            a_how += L"; verdict: timed out";
            return verdictOf(Fit::timedOut);
        case ProcessCode::succeeded:
            break;
        case ProcessCode::noRedirectionFiles:
        case ProcessCode::notReadBack:
            a_how += L"; verdict: its report could not be captured";
            return verdictOf(Fit::silentEnd);
        }
        std::wstring versionText;
        if (!extractVersionText(report.output.empty() ? report.error : report.output,
                                versionText) ||
            !readJavaVersion(versionText, version)) {
            a_how += L"; verdict: unreadable";
            return verdictOf(Fit::unreadable);
        }
        return versionVerdict(version, a_how);
    }

    Verdict versionVerdict(const JavaVersion& a_version, std::wstring& a_how) const {
        if (suits(a_version)) {
            a_how += L"; verdict: accepted";
            return verdictOf(Fit::suitable, a_version);
        }
        a_how += compareJavaVersions(a_version, m_request.minJavaVersion) < 0
                     ? L"; verdict: too old"
                     : L"; verdict: too new";
        return verdictOf(Fit::unsuitable, a_version);
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

    // The version in the release file of the candidate's home (the folder
    // above the one holding java.exe), without starting it. The java command
    // is the java.exe the system would start. A home without its java.exe is
    // no runtime, whatever its release file says: its version check then
    // finds that it does not start.
    static bool readReleasedVersion(const JavaCandidate& a_candidate, std::wstring& a_releaseFile,
                                    JavaVersion& a_version) {
        const std::wstring executable = resolvedExecutable(a_candidate.executable);
        if (executable.empty() || !fileExists(executable)) {
            return false;
        }
        a_releaseFile = releaseFileOf(executable);
        std::string release;
        std::wstring versionText;
        return !a_releaseFile.empty() && readWholeFile(a_releaseFile, release) &&
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
        if (!m_request.downloadAddress.empty() && !m_request.asks) {
            // Nothing is asked on a console, nor of a service: the address,
            // on a line of its own.
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

    // The accepted runtime, with the version its own verdict found.
    JavaSearchResult found(const Checked& a_checked) {
        m_accepted = a_checked;
        const JavaCandidate& candidate = a_checked.candidate;
        return JavaSearchResult{true,
                                candidate.remembered,
                                candidate.command,
                                candidate.applicationsOwn,
                                a_checked.verdict.fromReleaseFile,
                                a_checked.verdict.version,
                                candidate.executable};
    }
    static JavaSearchResult stopped(const Checked& a_checked) {
        JavaSearchResult result;
        result.javaExecutable = a_checked.candidate.remembered;
        result.javaCommand = a_checked.candidate.command;
        return result;
    }

    const JavaSearchRequest& m_request;
    LauncherHost& m_host;
    Checked m_accepted; // the runtime last found
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

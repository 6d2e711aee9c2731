#include "update/update_check.h"

#include "host/launcher_host.h"
#include "messages/start_log.h"
#include "platform/command_line.h"
#include "platform/crypto.h"
#include "platform/http.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/unique_handle.h"
#include "settings/settings.h"
#include "update/feed.h"
#include "update/update_folder.h"

namespace {

// Every network step (connecting, sending, the response, each read) waits
// at most this long; longer counts as offline.
constexpr DWORD stepMs = 10000;
constexpr unsigned long long longestFeed = 64 * 1024;

class TextSink final : public DownloadSink {
public:
    bool take(const char* a_bytes, std::size_t a_length) override {
        bytes.append(a_bytes, a_length);
        return true;
    }
    std::string bytes;
};

// The package as it downloads: written to its partial file, and digested.
class PackageSink final : public DownloadSink {
public:
    explicit PackageSink(const std::wstring& a_path)
        : m_file(CreateFileW(a_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr)) {}

    bool take(const char* a_bytes, std::size_t a_length) override {
        DWORD written = 0;
        size += a_length;
        return m_file && digest.add(a_bytes, a_length) &&
               WriteFile(m_file.get(), a_bytes, static_cast<DWORD>(a_length), &written, nullptr) &&
               written == a_length;
    }
    // Closed before it is renamed or deleted.
    void close() { m_file.reset(); }

    Sha256 digest;
    unsigned long long size = 0;

private:
    UniqueFile m_file;
};

std::wstring today() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    return formatWideString(L"%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
}

// The application's update keys, from the tavrin.ini beside a_launcher.
UpdateSettings settingsOf(const std::wstring& a_launcher) {
    const std::optional<SettingsFile> file = loadSettingsStore(
        folderOf(a_launcher) + settingsFileName, encodeUtf8(fileNameOf(a_launcher)));
    std::vector<std::wstring> problems;
    return file ? readUpdateSettings(*file, problems) : UpdateSettings();
}

// Whether the feed's product is the one installed in a_folder: its package
// names the folder under the product's upgrade code, for the user (false)
// or for the machine (true).
std::optional<bool> installedPerMachine(const std::wstring& a_upgradeCode,
                                        const std::wstring& a_folder) {
    const std::wstring key = L"Software\\tavrin\\Updates\\{" + a_upgradeCode + L"}";
    for (const bool perMachine : {false, true}) {
        const RegistryKey product(perMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, key,
                                  KEY_WOW64_64KEY);
        const std::wstring folder = product.textValue(L"InstallFolder");
        if (!folder.empty() &&
            samePath(withoutTrailingBackslash(folder), withoutTrailingBackslash(a_folder))) {
            return perMachine;
        }
    }
    return std::nullopt;
}

// Why a_feed is not for this launcher; empty when it is.
std::wstring refusalHere(const Feed& a_feed, const UpdateFolder& a_folder,
                         const std::wstring& a_launcher, bool& a_perMachine) {
    const std::wstring refused = refusalOf(a_feed, fileVersionOf(a_launcher), today());
    if (!refused.empty()) {
        return refused;
    }
    const std::optional<bool> perMachine =
        installedPerMachine(a_feed.upgradeCode, folderOf(a_launcher));
    if (!perMachine) {
        return L"the feed's product {" + a_feed.upgradeCode + L"} is not the one installed in " +
               folderOf(a_launcher);
    }
    a_perMachine = *perMachine;
    if (a_folder.failedVersion() == a_feed.versionText) {
        return a_feed.versionText + L" failed to install before: it is not tried again";
    }
    return std::wstring();
}

// The package downloaded and checked against the feed, then kept under
// its version's name: why not, or empty.
std::wstring fetchPackage(const Feed& a_feed, const std::wstring& a_address,
                          const UpdateFolder& a_folder, StagedUpdate& a_staged) {
    a_staged.package = a_feed.versionText + L".msi";
    const std::wstring partial = a_folder.file(a_staged.package + L".partial");
    PackageSink sink(partial);
    const std::wstring failed = download(a_address, a_feed.size, stepMs, sink);
    const std::wstring sha256 = hexOfBytes(sink.digest.finish());
    sink.close();
    std::wstring why;
    if (!failed.empty()) {
        why = L"offline: the package " + a_address + L": " + failed;
    } else if (sink.size < a_feed.size) {
        why = formatWideString(L"offline: the package %ls: cut short after %llu of %llu bytes",
                               a_address.c_str(), sink.size, a_feed.size);
    } else if (sink.size != a_feed.size || sha256 != a_feed.sha256) {
        why = formatWideString(L"refused: the package %ls is not the feed's (%llu bytes, SHA-256 ",
                               a_address.c_str(), sink.size) +
              sha256 + L")";
    } else if (!MoveFileExW(partial.c_str(), a_folder.file(a_staged.package).c_str(),
                            MOVEFILE_REPLACE_EXISTING)) {
        why = L"the package cannot be kept (" + systemErrorText(GetLastError()) + L")";
    }
    if (!why.empty()) {
        DeleteFileW(partial.c_str()); // gone already when it was never made
    }
    a_staged.version = a_feed.versionText;
    a_staged.sha256 = a_feed.sha256;
    return why;
}

// The check's steps; what came of it, for the log.
std::wstring check(const UpdateFolder& a_folder, const std::wstring& a_launcher,
                   const UpdateSettings& a_settings) {
    if (a_settings.feed.empty()) {
        return L"no update-feed in " + folderOf(a_launcher) + settingsFileName;
    }
    if (connectionIsMetered()) {
        return L"the connection is metered: nothing is downloaded";
    }
    TextSink text;
    const std::wstring failed = download(a_settings.feed, longestFeed, stepMs, text);
    if (!failed.empty()) {
        return L"offline: the feed " + a_settings.feed + L": " + failed;
    }
    const std::string point = p256PointOf(a_settings.key);
    if (point.empty()) {
        return L"refused: update-key is not an ECDSA P-256 public key as openssl prints it: " +
               a_settings.key;
    }
    const FeedReading reading = readFeed(text.bytes, point);
    if (!reading.feed) {
        return L"refused: " + reading.why;
    }
    const Feed& feed = *reading.feed;
    StagedUpdate staged;
    const std::wstring refused = refusalHere(feed, a_folder, a_launcher, staged.perMachine);
    if (!refused.empty()) {
        return L"refused: " + refused;
    }
    const std::optional<StagedUpdate> before = a_folder.staged();
    if (before && before->version == feed.versionText && before->sha256 == feed.sha256) {
        return feed.versionText + L" is staged already";
    }
    const std::wstring address = packageAddress(a_settings.feed, feed.package);
    if (!isUpdateAddress(address)) {
        return L"refused: the package's address is not https://: " + address;
    }
    const std::wstring notKept = fetchPackage(feed, address, a_folder, staged);
    if (!notKept.empty()) {
        return notKept;
    }
    if (!a_folder.stage(staged)) {
        a_folder.unstage(staged);
        return L"the staged package's record cannot be written";
    }
    return feed.versionText + L" is staged: it is installed at the next start";
}

} // namespace

void startUpdateCheck(LauncherHost& a_host, const LauncherSettings& a_settings, StartLog& a_log) {
    if (!a_settings.update.active()) {
        return;
    }
    const UpdateFolder folder = UpdateFolder::of(a_settings);
    if (!folder.exists() || !folder.checkIsDue(a_settings.update.checkHours)) {
        a_log.line(L"update: no check due");
        return;
    }
    const std::wstring updater = folder.placeUpdater();
    if (updater.empty()) {
        a_log.line(L"update: no check: the updater cannot be placed in " + folder.file(L""));
        return;
    }
    ProcessRequest request;
    request.commandLine =
        quotedProgram(updater) + L" " + updateCheckStep + L" " + quotedArgument(executablePath());
    request.baseName = folder.file(L"check");
    request.workingDirectory = folder.file(L"");
    const ProcessResult started = a_host.runProcess(request);
    a_log.line(started.code == ProcessCode::succeeded
                   ? formatWideString(L"update: the check runs, process %lu; its log: %ls",
                                      started.processId, folder.logPath().c_str())
                   : L"update: the check did not start (" + systemErrorText(started.systemError) +
                         L")");
}

int runUpdateCheck(const std::vector<std::wstring>& a_arguments) {
    const UpdateFolder folder(moduleRelativePath(L""));
    StartLog log(folder.logPath());
    if (a_arguments.size() != 1) {
        return log.end(0, L"the updater's check needs the launcher's path");
    }
    // Deleted when the check ends, however it ends.
    const UniqueFile lock(CreateFileW(folder.file(L"update.lock").c_str(), GENERIC_WRITE, 0,
                                      nullptr, OPEN_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!lock) {
        return log.end(0, L"another check of this application runs");
    }
    folder.markChecked();
    const UpdateSettings settings = settingsOf(a_arguments[0]);
    log.line(L"update-feed: " + settings.feed);
    log.line(L"update: " + check(folder, a_arguments[0], settings));
    return log.end(0, L"the check ended");
}

#include "update/update_folder.h"

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "update/feed.h"

#include <windows.h>

namespace {

constexpr const wchar_t* lastCheck = L"last-check";
constexpr const wchar_t* stagedRecord = L"staged";
constexpr const wchar_t* failedRecord = L"failed";

// FILETIME's units in an hour.
constexpr unsigned long long hourUnits = 36000000000ULL;

// The value of a_key in a record's lines; empty when it has none.
std::wstring recordValue(const KeyValueLines& a_lines, const wchar_t* a_key) {
    for (const auto& [key, value] : a_lines) {
        if (key == a_key) {
            return value;
        }
    }
    return std::wstring();
}

KeyValueLines recordLines(const std::wstring& a_path) {
    std::string bytes;
    if (!readWholeFile(a_path, bytes) || !isUtf8(bytes)) {
        return {};
    }
    return keyValueLines(decodeUtf8(bytes.data(), bytes.size()));
}

} // namespace

UpdateFolder UpdateFolder::of(const LauncherSettings& a_settings) {
    const std::wstring application =
        applicationDataFolder(environmentVariable(L"LOCALAPPDATA"), a_settings.userSettingsFolder,
                              fileNameOf(executablePath()));
    return UpdateFolder(application.empty() ? application : application + L"updates\\");
}

bool UpdateFolder::make() const {
    const std::wstring folder = withoutTrailingBackslash(m_path);
    // The first fails when it exists: the second tells.
    CreateDirectoryW(folderOf(folder).c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folderExists(folder);
}

bool UpdateFolder::checkIsDue(unsigned long a_hours) const {
    ListedFile facts;
    if (a_hours == 0 || !fileFacts(file(lastCheck), facts)) {
        return true;
    }
    const unsigned long long current = fileTimeNow();
    return facts.writeTime > current || current - facts.writeTime >= a_hours * hourUnits;
}

bool UpdateFolder::markChecked() const {
    return replaceFileContents(file(lastCheck), std::string()) == ReplaceResult::replaced;
}

std::optional<StagedUpdate> UpdateFolder::staged() const {
    const KeyValueLines lines = recordLines(file(stagedRecord));
    StagedUpdate update;
    update.version = recordValue(lines, L"version");
    update.package = recordValue(lines, L"package");
    update.sha256 = recordValue(lines, L"sha256");
    update.perMachine = recordValue(lines, L"scope") == L"per-machine";
    if (update.version.empty() || !isUsableFileName(update.package) || update.sha256.empty()) {
        return std::nullopt;
    }
    return update;
}

bool UpdateFolder::hasStaged() const {
    return fileExists(file(stagedRecord));
}

bool UpdateFolder::stage(const StagedUpdate& a_update) const {
    const std::wstring record = L"version=" + a_update.version + L"\npackage=" + a_update.package +
                                L"\nsha256=" + a_update.sha256 + L"\nscope=" +
                                (a_update.perMachine ? L"per-machine" : L"per-user") + L"\n";
    return replaceFileContents(file(stagedRecord), encodeUtf8(record)) == ReplaceResult::replaced;
}

void UpdateFolder::unstage(const StagedUpdate& a_update) const {
    deleteFile(file(stagedRecord));
    deleteFile(file(a_update.package));
}

std::wstring UpdateFolder::failedVersion() const {
    return recordValue(recordLines(file(failedRecord)), L"version");
}

bool UpdateFolder::markFailed(const std::wstring& a_version) const {
    return replaceFileContents(file(failedRecord), encodeUtf8(L"version=" + a_version + L"\n")) ==
           ReplaceResult::replaced;
}

std::wstring UpdateFolder::placeUpdater() const {
    const std::wstring updater = file(updaterName);
    return make() && CopyFileW(moduleRelativePath(updaterName).c_str(), updater.c_str(), FALSE)
               ? updater
               : std::wstring();
}

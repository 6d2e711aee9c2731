#pragma once

#include "settings/settings.h"

#include <optional>
#include <string>

// A package the check has downloaded and verified, waiting for the next
// start.
struct StagedUpdate {
    std::wstring version; // "1.1.0"
    std::wstring package; // the file's name in the folder
    std::wstring sha256;  // lower case, as the signed feed gave it
    bool perMachine = false;
};

// The per-user folder of an application's updates,
// %LOCALAPPDATA%\<user-settings or the launcher's name>\updates\: when the
// last check began, the staged package and its record, the version whose
// install failed, the updater (a copy of the launcher) and its log.
class UpdateFolder {
public:
    // a_path with its trailing backslash.
    explicit UpdateFolder(std::wstring a_path) : m_path(std::move(a_path)) {}

    // The folder for these settings; its path is empty when LOCALAPPDATA is
    // not set.
    static UpdateFolder of(const LauncherSettings& a_settings);

    bool exists() const { return !m_path.empty(); }
    std::wstring file(const std::wstring& a_name) const { return m_path + a_name; }

    // Creates it, and the folder above; false when it cannot be there.
    bool make() const;

    // Whether a check is due: none began in the last a_hours (0: at every
    // start), or its time is later than now (the clock was set back).
    bool checkIsDue(unsigned long a_hours) const;
    // Notes that a check begins now.
    bool markChecked() const;

    std::optional<StagedUpdate> staged() const;
    // Whether a record of a staged package is there (the updater reads it).
    bool hasStaged() const;
    bool stage(const StagedUpdate& a_update) const;
    // The record and its package, deleted.
    void unstage(const StagedUpdate& a_update) const;

    // The version whose install failed last; empty when none did.
    std::wstring failedVersion() const;
    bool markFailed(const std::wstring& a_version) const;

    // The updater beside this launcher, copied into the folder: the copy's
    // path; empty when it cannot be there (there is none beside the
    // launcher, or the updater of another start still runs from it).
    std::wstring placeUpdater() const;

    // The updater's log.
    std::wstring logPath() const { return file(L"update.log"); }

private:
    std::wstring m_path;
};

// The updater, beside the launchers of an application that is updated.
constexpr const wchar_t* updaterName = L"tavrin-update.exe";

// The updater's steps, its first argument.
constexpr const wchar_t* updateCheckStep = L"--tavrin-update-check";
constexpr const wchar_t* updateInstallStep = L"--tavrin-update-install";

#include "settings/java_location.h"

#include "platform/files.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

#include <windows.h>

#include <optional>

namespace {

constexpr const char* javaLocationKey = "java-location";

SaveResult replaceSettings(const std::wstring& a_path, const std::string& a_bytes) {
    switch (replaceFileContents(a_path, a_bytes)) {
    case ReplaceResult::replaced:
        return SaveResult::saved;
    case ReplaceResult::notSaved:
        return SaveResult::notSaved;
    case ReplaceResult::notWritable:
        break;
    }
    return SaveResult::notWritable;
}

// Where the runtime is remembered in a file that has the section for it.
SettingsFile::Into placeFor(const LauncherSettings& a_settings) {
    return a_settings.remembersOwnRuntime ? SettingsFile::Into::programSection
                                          : SettingsFile::Into::whereRead;
}

// java-location set to a_value in a_bytes, the file at a_path as it is now,
// so that what others wrote into it meanwhile stays; not written when the
// value is already there.
SaveResult saveValueIn(const std::wstring& a_path, std::string a_bytes,
                       const LauncherSettings& a_settings, const std::wstring& a_value) {
    const std::optional<std::string> changed =
        SettingsFile(std::move(a_bytes), a_settings.programSection)
            .withValue(javaLocationKey, a_value, placeFor(a_settings));
    if (!changed) {
        return SaveResult::unchanged; // most starts write nothing
    }
    return replaceSettings(a_path, *changed);
}

// The same, read at this moment; a file that cannot be read cannot be
// rewritten.
SaveResult saveValue(const std::wstring& a_path, const LauncherSettings& a_settings,
                     const std::wstring& a_value) {
    std::string bytes;
    if (!readWholeFile(a_path, bytes)) {
        return SaveResult::notWritable;
    }
    return saveValueIn(a_path, std::move(bytes), a_settings, a_value);
}

// The user's file with java-location set: made with its folder when there is
// none, given the section it goes into when it has none.
SaveResult saveInUserSettings(const LauncherSettings& a_settings,
                              const std::wstring& a_javaLocation) {
    if (!a_settings.userSettingsWritable) {
        return SaveResult::notWritable;
    }
    const std::wstring path = userSettingsPath(a_settings);
    std::string bytes;
    if (!readWholeFile(path, bytes)) {
        // Ignored when it fails: the file cannot be written then, which is reported.
        CreateDirectoryW(a_settings.userSettingsFolder.c_str(), nullptr);
    } else if (!isUtf8(bytes)) {
        return SaveResult::notWritable; // never appended to in another encoding
    }
    const SettingsFile file(bytes, a_settings.programSection);
    const bool own = a_settings.remembersOwnRuntime;
    if (own ? file.hasProgramSection() : file.hasSection()) {
        return saveValueIn(path, std::move(bytes), a_settings, a_javaLocation);
    }
    const bool endsLine = bytes.empty() || bytes.back() == '\n' || bytes.back() == '\r';
    bytes += std::string(endsLine ? "" : "\r\n") + "[" +
             (own ? a_settings.programSection : std::string("tavrin")) + "]\r\n" + javaLocationKey +
             "=" + encodeUtf8(a_javaLocation) + "\r\n";
    return replaceSettings(path, bytes);
}

} // namespace

SaveResult saveJavaLocation(const std::wstring& a_settingsPath, const LauncherSettings& a_settings,
                            const std::wstring& a_javaLocation, bool a_applicationsOwn) {
    if (a_applicationsOwn) {
        // The application's java-location names it: a value of the user's
        // that failed must not hide it again, and nothing of the
        // application's goes into the user's file.
        if (a_settings.javaLocationFromUser) {
            saveInUserSettings(a_settings, L""); // when it fails, the search finds it again
        }
        const SaveResult saved = saveValue(a_settingsPath, a_settings, a_javaLocation);
        // A folder the user may not write to: nothing to remember, no error.
        return saved == SaveResult::notWritable && !a_settings.userSettingsFolder.empty()
                   ? SaveResult::unchanged
                   : saved;
    }
    if (a_settings.javaLocationFromUser) {
        return saveInUserSettings(a_settings, a_javaLocation);
    }
    const SaveResult saved = saveValue(a_settingsPath, a_settings, a_javaLocation);
    // An application folder the user may not write to: the user's own file
    // remembers the runtime instead.
    if (saved == SaveResult::notWritable && !a_settings.userSettingsFolder.empty()) {
        return saveInUserSettings(a_settings, a_javaLocation);
    }
    return saved;
}

#pragma once

#include <string>

struct LauncherSettings;

// Remembering the runtime that started the application: java-location
// written back into the file it came from.

enum class SaveResult {
    saved,
    unchanged,   // the value was there already: nothing was written
    notWritable, // read-only, or no file can be made beside it
    notSaved,    // writing the new file failed
};

// Writes a_javaLocation into java-location of the file the value came from
// (the user's file or the settings file at a_settingsPath), changing no other
// byte of the file as it is at that moment, in one step through a temporary
// file beside it; when the value is already there, the file is not touched.
// When tavrin.ini cannot be written and the settings name a user file, the
// value goes there (made when it is missing; a user file that is not UTF-8
// is never written). a_applicationsOwn: the runtime is the one the
// application's own java-location names; the user's file then gets no value
// of it, and loses a java-location of its own. The file is left as it was
// when it cannot be written or saved.
SaveResult saveJavaLocation(const std::wstring& a_settingsPath, const LauncherSettings& a_settings,
                            const std::wstring& a_javaLocation, bool a_applicationsOwn = false);

#pragma once

#include <cstdint>
#include <string>

// A Java version as the launcher orders it: only major and minor count.
struct JavaVersion {
    std::int32_t major = -1;
    std::int32_t minor = -1;
};

// Parses "major.minor[.x[.y]]": two to four dot-separated pieces, of which
// the first two are numbers read as the C runtime's wcstoul reads them
// (leading white space and a sign skipped, reading up to the first
// non-digit), 32 bits wide. A piece that reads as 0 must be "0" (blanks
// around it allowed), and one that overflows is refused. False when the
// text does not parse; a_version then holds the pieces read before the
// failure (-1 for the others).
bool parseJavaVersion(const std::wstring& a_text, JavaVersion& a_version);

// The feature release a version names: 8 for 1.8, 17 for 17.0; -1 when
// unknown.
int javaFeatureVersion(const JavaVersion& a_version);

// -1, 0 or +1 as a_left orders before, with or after a_right.
int compareJavaVersions(const JavaVersion& a_left, const JavaVersion& a_right);

// What the launcher uses for both the configured minimum and a runtime's
// report. Real runtimes print versions the strict parser refuses ("17",
// "21-ea", "21.0.4.0.4"); as only major and minor count, such a text is parsed
// once more as its first two dot-separated pieces, or with ".0" appended when
// it has no dot. False when neither form parses.
bool readJavaVersion(const std::wstring& a_text, JavaVersion& a_version);

// What the launcher uses for the versions the settings give. Their first two
// dot-separated pieces (one piece means minor 0) must be decimal digits that
// fit an int, blanks around them allowed; beyond that, as readJavaVersion.
// So "1,8" and "2147483648.0" are refused, and "1.8.0_20" reads as 1.8.
bool readSettingsVersion(const std::wstring& a_text, JavaVersion& a_version);

// The version text between the first two double quotes of a runtime's
// -version report (bytes in the ANSI code page). Lines that begin with
// "Picked up " or "NOTE: Picked up " (the options the runtime echoes from its
// environment) are skipped first. False when there are no two quotes with
// something between them.
bool extractVersionText(const std::string& a_report, std::wstring& a_versionText);

// A value of a runtime's "release" file (UTF-8 text): what stands between
// the double quotes of its line a_key="..." (JVM_VARIANT="Hotspot"). False
// when there is no such line, or nothing between its quotes.
bool releaseValue(const std::string& a_release, const char* a_key, std::wstring& a_value);

// The version in a release file: its JAVA_VERSION="17.0.9".
bool releaseVersionText(const std::string& a_release, std::wstring& a_versionText);

// Orders the version names of registry keys ("1.8.0_392", "17.0.9", "zulu-21")
// by the numbers in them, one after the other: negative when a_left is
// older, positive when newer, 0 when they hold the same numbers.
int compareVersionNames(const std::wstring& a_left, const std::wstring& a_right);

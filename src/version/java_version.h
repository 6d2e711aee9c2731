#pragma once

#include <cstdint>
#include <string>

// A Java version as the launcher orders it. Only major and minor are ever
// parsed; -1 marks an absent component, and an absent component orders below
// any present one.
struct JavaVersion {
    std::int32_t third = -1;
    std::int32_t major = -1;
    std::int32_t minor = -1;
    std::int32_t fourth = -1;
    std::int32_t parsedCount = 0;
};

// Parses "major.minor[.x[.y]]" into a_version, which first receives the
// initial record. Throws std::invalid_argument with "Uninitialized string
// passed.", "Empty string passed." or "Invalid argument format.".
void parseJavaVersion(const wchar_t* a_wcsText, JavaVersion& a_version);

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

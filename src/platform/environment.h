#pragma once

#include <string>

// Variables written %NAME% replaced by their values, as ExpandEnvironmentStringsW
// does it: a variable that is not set stays as written.
std::wstring expandEnvironmentVariables(const std::wstring& a_text);

// The user's UI language as a locale name, such as de-DE; empty when the
// system does not tell.
std::wstring userLanguage();

// The value of an environment variable; empty when it is not set.
std::wstring environmentVariable(const wchar_t* a_name);

// Sets a variable of this process, which its children inherit; false when
// the system refuses.
bool setEnvironmentVariable(const wchar_t* a_name, const std::wstring& a_value);

#include "platform/environment.h"

#include "platform/text.h"

#include <windows.h>

std::wstring expandEnvironmentVariables(const std::wstring& a_text) {
    if (a_text.find(L'%') == std::wstring::npos) {
        return a_text;
    }
    // The call counts the terminator in the length it returns.
    std::wstring expanded = textFromSystem([&a_text](wchar_t* a_buffer, unsigned long a_size) {
        return ExpandEnvironmentStringsW(a_text.c_str(), a_buffer, a_size);
    });
    if (expanded.empty()) {
        return a_text;
    }
    expanded.pop_back();
    return expanded;
}

std::wstring userLanguage() {
    wchar_t name[LOCALE_NAME_MAX_LENGTH];
    const int length = LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), name,
                                        LOCALE_NAME_MAX_LENGTH, 0);
    return length > 1 ? std::wstring(name, static_cast<std::size_t>(length - 1)) : std::wstring();
}

std::wstring environmentVariable(const wchar_t* a_name) {
    // An empty variable answers 0 too: the same as one not set.
    return textFromSystem([a_name](wchar_t* a_buffer, unsigned long a_size) {
        return GetEnvironmentVariableW(a_name, a_buffer, a_size);
    });
}

bool setEnvironmentVariable(const wchar_t* a_name, const std::wstring& a_value) {
    return SetEnvironmentVariableW(a_name, a_value.c_str()) != FALSE;
}

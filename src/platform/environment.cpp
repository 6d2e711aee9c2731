#include "platform/environment.h"

#include "platform/paths.h"

#include <windows.h>

#include <vector>

std::wstring expandEnvironmentVariables(const std::wstring& a_text) {
    if (a_text.find(L'%') == std::wstring::npos) {
        return a_text;
    }
    std::vector<wchar_t> buffer(a_text.size() + 1);
    for (;;) {
        // The length it needs, terminator included; 0 when it fails.
        const DWORD needed = ExpandEnvironmentStringsW(a_text.c_str(), buffer.data(),
                                                       static_cast<DWORD>(buffer.size()));
        if (needed == 0) {
            return a_text;
        }
        if (needed <= buffer.size()) {
            return std::wstring(buffer.data());
        }
        buffer.resize(needed);
    }
}

std::wstring environmentVariable(const wchar_t* a_name) {
    // An empty variable answers 0 too: the same as one not set.
    return textFromSystem([a_name](wchar_t* a_buffer, unsigned long a_size) {
        return GetEnvironmentVariableW(a_name, a_buffer, a_size);
    });
}

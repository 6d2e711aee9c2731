#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>

// Text helpers shared by the test programs, the child programs included.
namespace testing_support {

inline std::string utf8(const std::wstring& a_text) {
    if (a_text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, a_text.data(), static_cast<int>(a_text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, a_text.data(), static_cast<int>(a_text.size()), out.data(),
                        size, nullptr, nullptr);
    return out;
}

inline std::wstring fromUtf8(const std::string& a_text) {
    if (a_text.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, a_text.data(), static_cast<int>(a_text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, a_text.data(), static_cast<int>(a_text.size()), out.data(),
                        size);
    return out;
}

// Decodes \r, \n, \t and \xHH; any other escaped character stands for itself.
inline std::string decodeEscapes(const std::string& a_text) {
    std::string out;
    for (std::size_t i = 0; i < a_text.size(); ++i) {
        if (a_text[i] != '\\' || i + 1 == a_text.size()) {
            out += a_text[i];
            continue;
        }
        const char code = a_text[++i];
        if (code == 'x' && i + 2 < a_text.size()) {
            out += static_cast<char>(std::strtol(a_text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += code == 'r' ? '\r' : code == 'n' ? '\n' : code == 't' ? '\t' : code;
        }
    }
    return out;
}

} // namespace testing_support

#include "platform/system_library.h"

#include "platform/paths.h"

#include <cwchar>
#include <string>

HMODULE loadFromSystemFolder(const wchar_t* a_name, decltype(LoadLibraryExW)* a_load) {
    // Never from the application's folder or the current directory.
    const HMODULE module = a_load(a_name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) {
        return module;
    }
    const std::wstring folder = systemFolder();
    return folder.empty() ? nullptr : a_load((folder + a_name).c_str(), nullptr, 0);
}

HMODULE systemLibrary(const wchar_t* a_name) {
    struct Loaded {
        const wchar_t* name = nullptr;
        HMODULE module = nullptr; // never freed: see the header
    };
    // The launcher uses four libraries.
    static Loaded loaded[4];
    for (Loaded& entry : loaded) {
        if (entry.name == nullptr || std::wcscmp(entry.name, a_name) == 0) {
            if (entry.module == nullptr) {
                entry.name = a_name;
                entry.module = loadFromSystemFolder(a_name, LoadLibraryExW);
            }
            return entry.module;
        }
    }
    return nullptr;
}

#pragma once

#include <windows.h>

// user32, shell32, ole32 and advapi32 set up the window system and much else
// as they load, which costs a start that shows nothing several times what
// the rest of the launcher does. Their few functions are therefore loaded
// from the system folder when first needed. The libraries then stay loaded
// until the process ends, as imported ones would: nothing frees them.

// The library's module, loaded on first use; null when it cannot be loaded.
HMODULE systemLibrary(const wchar_t* a_name);

// A function of a system library, e.g.
//   systemFunction<decltype(MessageBoxW)>(L"user32.dll", "MessageBoxW");
// null when the library or the function cannot be found.
template <typename Function>
Function* systemFunction(const wchar_t* a_library, const char* a_function) {
    const HMODULE library = systemLibrary(a_library);
    if (library == nullptr) {
        return nullptr;
    }
    // Through void (*)(), the type any function pointer may pass through.
    const auto untyped = reinterpret_cast<void (*)()>(GetProcAddress(library, a_function));
    return reinterpret_cast<Function*>(untyped);
}

// How a system library is loaded, given the loader: from the system folder
// only (LOAD_LIBRARY_SEARCH_SYSTEM32), or, where the system does not know
// that flag (Windows 7 without update KB2533623 refuses it with
// ERROR_INVALID_PARAMETER), by its full path in the system folder.
HMODULE loadFromSystemFolder(const wchar_t* a_name, decltype(LoadLibraryExW)* a_load);

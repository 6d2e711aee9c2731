#pragma once

#include <windows.h>

// user32, shell32 and ole32 set up the window system and much else as they
// load, which costs a start that shows nothing several times what the rest
// of the launcher does. Their few functions are therefore loaded from the
// system folder when first needed; the libraries then stay loaded, as
// imported ones would.

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

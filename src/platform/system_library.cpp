#include "platform/system_library.h"

#include "platform/unique_handle.h"

#include <cwchar>

namespace {

struct ModuleTraits {
    using Type = HMODULE;
    static HMODULE empty() noexcept { return nullptr; }
    static void close(HMODULE a_module) noexcept { FreeLibrary(a_module); }
};
using UniqueModule = UniqueResource<ModuleTraits>;

} // namespace

HMODULE systemLibrary(const wchar_t* a_name) {
    struct Loaded {
        const wchar_t* name = nullptr;
        UniqueModule module;
    };
    // The launcher uses three libraries.
    static Loaded loaded[4];
    for (Loaded& entry : loaded) {
        if (entry.name == nullptr || std::wcscmp(entry.name, a_name) == 0) {
            if (!entry.module) {
                entry.name = a_name;
                // From the system folder only, never from the application's.
                entry.module.reset(LoadLibraryExW(a_name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
            }
            return entry.module.get();
        }
    }
    return nullptr;
}

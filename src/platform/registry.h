#pragma once

#include "platform/unique_handle.h"

#include <windows.h>

#include <string>
#include <vector>

// A registry key opened for reading. The registry functions come from
// advapi32, loaded from the system folder when first needed, so that the
// launcher imports nothing but KERNEL32 and msvcrt.
class RegistryKey {
public:
    // a_path under a_root in the given view (KEY_WOW64_64KEY or
    // KEY_WOW64_32KEY); not open when it does not exist or cannot be read.
    RegistryKey(HKEY a_root, const std::wstring& a_path, REGSAM a_view);

    explicit operator bool() const { return static_cast<bool>(m_key); }

    // The names of its subkeys, in the registry's order.
    std::vector<std::wstring> subkeyNames() const;

    // A text value (REG_SZ, or REG_EXPAND_SZ with its variables expanded);
    // empty when it is absent or of another type.
    std::wstring textValue(const wchar_t* a_name) const;

private:
    struct Traits {
        using Type = HKEY;
        static HKEY empty() noexcept { return nullptr; }
        static void close(HKEY a_key) noexcept;
    };
    UniqueResource<Traits> m_key;
};

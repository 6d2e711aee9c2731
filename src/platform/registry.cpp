#include "platform/registry.h"

#include "platform/environment.h"
#include "platform/system_library.h"

#include <algorithm>

namespace {

constexpr const wchar_t* advapi32 = L"advapi32.dll";
constexpr DWORD longestKeyName = 255; // the registry's own limit

} // namespace

void RegistryKey::Traits::close(HKEY a_key) noexcept {
    // Only a key that was opened gets here, so the library is loaded.
    systemFunction<decltype(RegCloseKey)>(advapi32, "RegCloseKey")(a_key);
}

RegistryKey::RegistryKey(HKEY a_root, const std::wstring& a_path, REGSAM a_view) {
    const auto open = systemFunction<decltype(RegOpenKeyExW)>(advapi32, "RegOpenKeyExW");
    HKEY key = nullptr;
    if (open != nullptr &&
        open(a_root, a_path.c_str(), 0, KEY_READ | a_view, &key) == ERROR_SUCCESS) {
        m_key.reset(key);
    }
}

std::vector<std::wstring> RegistryKey::subkeyNames() const {
    std::vector<std::wstring> names;
    const auto enumerate = systemFunction<decltype(RegEnumKeyExW)>(advapi32, "RegEnumKeyExW");
    for (DWORD index = 0; m_key && enumerate != nullptr; ++index) {
        wchar_t name[longestKeyName + 1];
        DWORD length = longestKeyName + 1;
        if (enumerate(m_key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break; // ERROR_NO_MORE_ITEMS, or a key that went meanwhile
        }
        names.emplace_back(name, length);
    }
    return names;
}

std::wstring RegistryKey::textValue(const wchar_t* a_name) const {
    const auto query = systemFunction<decltype(RegQueryValueExW)>(advapi32, "RegQueryValueExW");
    DWORD type = 0;
    DWORD size = 0;
    if (!m_key || query == nullptr ||
        query(m_key.get(), a_name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::wstring();
    }
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (query(m_key.get(), a_name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
        ERROR_SUCCESS) {
        return std::wstring();
    }
    // Stored with or without its terminator.
    text.resize(size / sizeof(wchar_t));
    text.erase(std::min(text.find(L'\0'), text.size()));
    return type == REG_EXPAND_SZ ? expandEnvironmentVariables(text) : text;
}

#include "runtime/installed_java.h"

#include "platform/environment.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "version/java_version.h"

#include <windows.h>

namespace {

// Where the installers register a runtime: under Parent\<version> followed
// by Suffix, the value Value holds the runtime's home folder.
struct Layout {
    const wchar_t* parent;
    const wchar_t* suffix;
    const wchar_t* value;
};

constexpr Layout layouts[] = {
    {L"SOFTWARE\\JavaSoft\\JDK", L"", L"JavaHome"},
    {L"SOFTWARE\\JavaSoft\\Java Runtime Environment", L"", L"JavaHome"},
    {L"SOFTWARE\\JavaSoft\\Java Development Kit", L"", L"JavaHome"},
    {L"SOFTWARE\\Eclipse Adoptium\\JDK", L"\\hotspot\\MSI", L"Path"},
    {L"SOFTWARE\\Eclipse Adoptium\\JRE", L"\\hotspot\\MSI", L"Path"},
    {L"SOFTWARE\\AdoptOpenJDK\\JDK", L"\\hotspot\\MSI", L"Path"},
    {L"SOFTWARE\\AdoptOpenJDK\\JRE", L"\\hotspot\\MSI", L"Path"},
    {L"SOFTWARE\\Microsoft\\JDK", L"\\hotspot\\MSI", L"Path"},
    {L"SOFTWARE\\Azul Systems\\Zulu", L"", L"InstallationPath"},
};

struct Registered {
    std::wstring version; // the key's name
    std::wstring home;
};

void addRegistered(HKEY a_root, REGSAM a_view, const Layout& a_layout,
                   std::vector<Registered>& a_found) {
    const RegistryKey parent(a_root, a_layout.parent, a_view);
    for (const std::wstring& version : parent.subkeyNames()) {
        const RegistryKey runtime(
            a_root, std::wstring(a_layout.parent) + L"\\" + version + a_layout.suffix, a_view);
        const std::wstring home = runtime.textValue(a_layout.value);
        if (!home.empty()) {
            a_found.push_back({version, home});
        }
    }
}

// Before the first older one: newest first, and in the order found among
// equals. (A handful of runtimes: no sort algorithm needed.)
void insertByVersion(Registered a_runtime, std::vector<Registered>& a_sorted) {
    auto before = a_sorted.begin();
    while (before != a_sorted.end() &&
           compareVersionNames(before->version, a_runtime.version) >= 0) {
        ++before;
    }
    a_sorted.insert(before, std::move(a_runtime));
}

// One hive in one view: every layout, newest version first.
std::vector<Registered> registeredRuntimes(HKEY a_root, REGSAM a_view) {
    std::vector<Registered> found;
    for (const Layout& layout : layouts) {
        addRegistered(a_root, a_view, layout, found);
    }
    std::vector<Registered> sorted;
    for (Registered& runtime : found) {
        insertByVersion(std::move(runtime), sorted);
    }
    return sorted;
}

std::wstring executableIn(const std::wstring& a_home) {
    return withTrailingBackslash(a_home) + L"bin\\java.exe";
}

// Installers register full paths; a relative home would be taken from the
// launcher's folder, so it is skipped like a missing one.
void addIfNew(const std::wstring& a_home, std::vector<std::wstring>& a_executables) {
    if (!isFullPath(a_home)) {
        return;
    }
    const std::wstring executable = executableIn(a_home);
    for (const std::wstring& known : a_executables) {
        if (samePath(known, executable)) {
            return;
        }
    }
    if (fileExists(executable)) {
        a_executables.push_back(executable);
    }
}

} // namespace

std::vector<std::wstring> findInstalledJavaRuntimes() {
    std::vector<std::wstring> executables;
    const std::wstring javaHome = environmentVariable(L"JAVA_HOME");
    if (!javaHome.empty()) {
        addIfNew(javaHome, executables);
    }
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            for (const Registered& runtime : registeredRuntimes(root, view)) {
                addIfNew(runtime.home, executables);
            }
        }
    }
    return executables;
}

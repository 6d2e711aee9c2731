#include "platform/paths.h"

#include "platform/environment.h"
#include "platform/text.h"
#include "platform/unique_handle.h"

#include <windows.h>

#include <winver.h>

#include <cwchar>

#include <algorithm>
#include <vector>

// The call cuts the path silently when the buffer is full, so the buffer
// grows until the whole path fits: installs deep in long paths work. A
// launcher started by its short name (EXAMPL~1.EXE, as %~s0 gives it) is
// known by its long one, which names its section and its files; a path
// without a tilde has no short component to resolve.
std::wstring executablePath() {
    static const std::wstring path = [] {
        const std::wstring started = textFromSystem([](wchar_t* a_buffer, unsigned long a_size) {
            return GetModuleFileNameW(GetModuleHandleW(nullptr), a_buffer, a_size);
        });
        if (started.find(L'~') == std::wstring::npos) {
            return started;
        }
        const std::wstring full =
            textFromSystem([&started](wchar_t* a_buffer, unsigned long a_size) {
                return GetLongPathNameW(started.c_str(), a_buffer, a_size);
            });
        return full.empty() ? started : full; // unresolved: the name it was started by
    }();
    return path;
}

std::wstring executableStem() {
    return withoutExtension(fileNameOf(executablePath()));
}

namespace {

// A module loaded only for its resources.
struct ResourceModuleTraits {
    using Type = HMODULE;
    static HMODULE empty() noexcept { return nullptr; }
    static void close(HMODULE a_module) noexcept { FreeLibrary(a_module); }
};

} // namespace

unsigned long long fileVersionOf(const std::wstring& a_path) {
    const UniqueResource<ResourceModuleTraits> module(LoadLibraryExW(
        a_path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    const HRSRC found =
        module ? FindResourceW(module.get(), MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION)
               : nullptr;
    const HGLOBAL loaded = found != nullptr ? LoadResource(module.get(), found) : nullptr;
    const auto* const bytes =
        loaded != nullptr ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
    const DWORD size = bytes != nullptr ? SizeofResource(module.get(), found) : 0;
    // VS_FIXEDFILEINFO follows the block's header and key, on a 32-bit
    // boundary: found by its signature.
    for (DWORD at = 0; at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
        VS_FIXEDFILEINFO fixed;
        CopyMemory(&fixed, bytes + at, sizeof fixed);
        if (fixed.dwSignature == VS_FFI_SIGNATURE) {
            return (static_cast<unsigned long long>(fixed.dwFileVersionMS) << 32) |
                   (fixed.dwFileVersionLS & 0xFFFF0000UL);
        }
    }
    return 0;
}

std::wstring moduleRelativePath(const std::wstring& a_name) {
    // The executable does not move while it runs.
    static const std::wstring folder = folderOf(executablePath());
    return folder + a_name;
}

bool isFullPath(const std::wstring& a_path) {
    if (a_path.size() >= 3 && a_path[1] == L':' && (a_path[2] == L'\\' || a_path[2] == L'/')) {
        const wchar_t drive = static_cast<wchar_t>(a_path[0] | 0x20); // lower case
        return drive >= L'a' && drive <= L'z';
    }
    return a_path.compare(0, 2, L"\\\\") == 0;
}

bool isRootedPath(const std::wstring& a_path) {
    return isFullPath(a_path) ||
           (!a_path.empty() && (a_path.front() == L'\\' || a_path.front() == L'/'));
}

namespace {

bool isDeviceName(const std::wstring& a_name) {
    const std::wstring stem = a_name.substr(0, a_name.find(L'.'));
    const auto named = [&stem](const wchar_t* a_device) {
        return stem.size() >= 3 &&
               CompareStringOrdinal(stem.c_str(), 3, a_device, 3, TRUE) == CSTR_EQUAL;
    };
    if (stem.size() == 3) {
        return named(L"CON") || named(L"PRN") || named(L"AUX") || named(L"NUL");
    }
    const wchar_t number = stem.size() == 4 ? stem[3] : L'\0';
    const bool digit = (number >= L'1' && number <= L'9') || number == L'\u00B9' ||
                       number == L'\u00B2' || number == L'\u00B3';
    return digit && (named(L"COM") || named(L"LPT"));
}

} // namespace

bool isUsableFileName(const std::wstring& a_name) {
    if (a_name.empty() || a_name.size() > 255 || a_name.back() == L'.' || a_name.back() == L' ') {
        return false;
    }
    for (wchar_t character : a_name) {
        if (character < L' ' || isAnyOf(character, L"<>:\"/\\|?*")) {
            return false;
        }
    }
    return !isDeviceName(a_name);
}

bool fileExists(const std::wstring& a_path) {
    // A probe without access rights. Full sharing, so that the probe never
    // makes another process's open of the same file fail at that instant.
    UniqueFile probe = adoptFileHandle(
        CreateFileW(a_path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr));
    const DWORD openError = GetLastError();
    if (!probe && (openError == ERROR_FILE_NOT_FOUND || openError == ERROR_PATH_NOT_FOUND)) {
        return false;
    }
    // Sharing violations, access refusals and directories end up here: the
    // attributes decide.
    probe.reset();
    const DWORD attributes = GetFileAttributesW(a_path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool folderExists(const std::wstring& a_path) {
    const DWORD attributes = GetFileAttributesW(a_path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring fullPath(const std::wstring& a_path) {
    const std::wstring full = textFromSystem([&a_path](wchar_t* a_buffer, unsigned long a_size) {
        return GetFullPathNameW(a_path.c_str(), a_size, a_buffer, nullptr);
    });
    return full.empty() ? a_path : full;
}

std::wstring folderOf(const std::wstring& a_path) {
    return a_path.substr(0, a_path.rfind(L'\\') + 1); // npos + 1: nothing
}

std::wstring fileNameOf(const std::wstring& a_path) {
    return a_path.substr(a_path.rfind(L'\\') + 1);
}

std::wstring withoutExtension(const std::wstring& a_name) {
    const std::size_t dot = a_name.rfind(L'.');
    return dot == std::wstring::npos || dot == 0 ? a_name : a_name.substr(0, dot);
}

std::wstring withTrailingBackslash(const std::wstring& a_folder) {
    return !a_folder.empty() && a_folder.back() == L'\\' ? a_folder : a_folder + L'\\';
}

std::wstring withoutTrailingBackslash(const std::wstring& a_folder) {
    const bool root = a_folder.size() == 3 && a_folder[1] == L':';
    return !root && !a_folder.empty() && a_folder.back() == L'\\'
               ? a_folder.substr(0, a_folder.size() - 1)
               : a_folder;
}

std::wstring currentFolder() {
    return textFromSystem([](wchar_t* a_buffer, unsigned long a_size) {
        return GetCurrentDirectoryW(a_size, a_buffer);
    });
}

bool samePath(const std::wstring& a_left, const std::wstring& a_right) {
    return CompareStringOrdinal(a_left.c_str(), static_cast<int>(a_left.size()), a_right.c_str(),
                                static_cast<int>(a_right.size()), TRUE) == CSTR_EQUAL;
}

bool enterExecutableFolder() {
    if (SetCurrentDirectoryW(moduleRelativePath(L"").c_str())) {
        return true;
    }
    // A folder path beyond the system's limit for the current directory: the
    // system folder is searched anyway, so nothing is added to the search.
    const std::wstring system = systemFolder();
    return !system.empty() && SetCurrentDirectoryW(system.c_str());
}

bool enterFolder(const std::wstring& a_folder) {
    return SetCurrentDirectoryW(a_folder.c_str()) != FALSE;
}

std::wstring programOnSearchPath(const std::wstring& a_name) {
    const std::wstring windows = textFromSystem([](wchar_t* a_buffer, unsigned long a_size) {
        return GetWindowsDirectoryW(a_buffer, a_size);
    });
    const std::wstring current = currentFolder();
    std::vector<std::wstring> folders{moduleRelativePath(L""), current, systemFolder()};
    if (!windows.empty()) {
        folders.push_back(withTrailingBackslash(windows) + L"System");
        folders.push_back(windows);
    }
    for (std::wstring& folder : splitAt(environmentVariable(L"PATH"), L';')) {
        folders.push_back(std::move(folder));
    }
    for (const std::wstring& folder : folders) {
        // Quotes around a PATH entry are the shell's, not the folder's.
        const std::wstring bare = trimmed(folder, L"\"");
        const std::wstring program = withTrailingBackslash(bare) + a_name;
        if (!bare.empty() && fileExists(program)) {
            return program;
        }
    }
    return std::wstring();
}

std::wstring systemFolder() {
    const std::wstring folder = textFromSystem([](wchar_t* a_buffer, unsigned long a_size) {
        return GetSystemDirectoryW(a_buffer, a_size);
    });
    return folder.empty() ? folder : withTrailingBackslash(folder);
}

std::wstring temporaryFolder() {
    return textFromSystem(
        [](wchar_t* a_buffer, unsigned long a_size) { return GetTempPathW(a_size, a_buffer); });
}

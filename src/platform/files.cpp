#include "platform/files.h"

#include "platform/text.h"
#include "platform/unique_handle.h"

#include <windows.h>

#include <cwchar>

namespace {

constexpr int sharingAttempts = 40;
constexpr DWORD sharingRetryDelayMs = 25;

bool isSharingConflict(DWORD a_error) {
    return a_error == ERROR_SHARING_VIOLATION || a_error == ERROR_LOCK_VIOLATION;
}

// Repeats a_attempt while it fails with an error that a_passes calls
// passing; true once it succeeds.
template <typename Attempt, typename Passes>
bool retryWhileConflicting(Attempt a_attempt, Passes a_passes) {
    for (int attempt = 1;; ++attempt) {
        if (a_attempt()) {
            return true;
        }
        if (!a_passes(GetLastError()) || attempt == sharingAttempts) {
            return false;
        }
        Sleep(sharingRetryDelayMs);
    }
}

UniqueFile openForReading(const std::wstring& a_path) {
    UniqueFile file;
    retryWhileConflicting(
        [&] {
            // Read sharing only: nobody rewrites the file while it is read.
            file.reset(CreateFileW(a_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            return static_cast<bool>(file);
        },
        isSharingConflict);
    return file;
}

ReplaceResult writeNewFile(const std::wstring& a_path, const std::string& a_bytes) {
    const UniqueFile file(CreateFileW(a_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return ReplaceResult::notWritable;
    }
    DWORD written = 0;
    if (!WriteFile(file.get(), a_bytes.data(), static_cast<DWORD>(a_bytes.size()), &written,
                   nullptr) ||
        written != a_bytes.size() || !FlushFileBuffers(file.get())) {
        return ReplaceResult::notSaved;
    }
    return ReplaceResult::replaced;
}

// Renames a_newPath over a_path, which other readers see in one step: the
// file is always there, old or new. (ReplaceFileW is no such step under
// Wine: the name is briefly missing.)
bool renameOver(const std::wstring& a_path, const std::wstring& a_newPath) {
    const DWORD attributes = GetFileAttributesW(a_path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return false;
        }
        // The marks a rename would otherwise lose. Not needed for the
        // contents, so a failure is ignored.
        constexpr DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                               FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        if ((attributes & kept) != 0) {
            SetFileAttributesW(a_newPath.c_str(), attributes & kept);
        }
    }
    return retryWhileConflicting(
        [&] {
            return MoveFileExW(a_newPath.c_str(), a_path.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
        },
        // A process reading the file holds it for a moment; Windows reports
        // that as a refused access too.
        [](DWORD a_error) { return isSharingConflict(a_error) || a_error == ERROR_ACCESS_DENIED; });
}

// The file a_path ends at, symbolic links followed; a_path itself when the
// system cannot tell.
std::wstring finalPath(const std::wstring& a_path) {
    const UniqueFile file(CreateFileW(a_path.c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        return a_path;
    }
    const std::wstring resolved = textFromSystem([&file](wchar_t* a_buffer, unsigned long a_size) {
        return GetFinalPathNameByHandleW(file.get(), a_buffer, a_size, FILE_NAME_NORMALIZED);
    });
    return resolved.empty() ? a_path : resolved;
}

} // namespace

bool readWholeFile(const std::wstring& a_path, std::string& a_bytes) {
    const UniqueFile file = openForReading(a_path);
    if (!file) {
        return false;
    }
    char chunk[4096];
    DWORD read = 0;
    for (;;) {
        if (!ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr)) {
            return false;
        }
        if (read == 0) {
            return true;
        }
        a_bytes.append(chunk, read);
    }
}

ReplaceResult replaceFileContents(const std::wstring& a_path, const std::string& a_bytes) {
    const std::wstring target = finalPath(a_path);
    const std::wstring newPath = target + formatWideString(L".%lu.tmp", GetCurrentProcessId());
    ReplaceResult result = writeNewFile(newPath, a_bytes);
    if (result == ReplaceResult::replaced && !renameOver(target, newPath)) {
        result = ReplaceResult::notWritable;
    }
    if (result != ReplaceResult::replaced) {
        DeleteFileW(newPath.c_str()); // nothing more to do when this fails
    }
    return result;
}

namespace {

unsigned long long wide64(DWORD a_high, DWORD a_low) {
    return (static_cast<unsigned long long>(a_high) << 32) | a_low;
}

struct FindTraits {
    using Type = HANDLE;
    static HANDLE empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE a_find) noexcept { FindClose(a_find); }
};
using UniqueFind = UniqueResource<FindTraits>;

} // namespace

unsigned long long fileTimeNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return wide64(now.dwHighDateTime, now.dwLowDateTime);
}

std::vector<ListedFile> filesIn(const std::wstring& a_folder, const std::wstring& a_pattern) {
    std::vector<ListedFile> files;
    WIN32_FIND_DATAW found;
    const UniqueFind find(FindFirstFileW((a_folder + a_pattern).c_str(), &found));
    for (bool more = static_cast<bool>(find); more; more = FindNextFileW(find.get(), &found)) {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            files.push_back(ListedFile{
                found.cFileName, wide64(found.nFileSizeHigh, found.nFileSizeLow),
                wide64(found.ftLastWriteTime.dwHighDateTime, found.ftLastWriteTime.dwLowDateTime)});
        }
    }
    return files;
}

bool folderHolds(const std::wstring& a_folder, bool a_foldersOnly) {
    WIN32_FIND_DATAW found;
    const UniqueFind find(FindFirstFileW((a_folder + L"*").c_str(), &found));
    for (bool more = static_cast<bool>(find); more; more = FindNextFileW(find.get(), &found)) {
        const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool dots =
            std::wcscmp(found.cFileName, L".") == 0 || std::wcscmp(found.cFileName, L"..") == 0;
        if (!dots && (folder || !a_foldersOnly)) {
            return true;
        }
    }
    return false;
}

bool fileFacts(const std::wstring& a_path, ListedFile& a_facts) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(a_path.c_str(), GetFileExInfoStandard, &data)) {
        return false;
    }
    a_facts.size = wide64(data.nFileSizeHigh, data.nFileSizeLow);
    a_facts.writeTime =
        wide64(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
    return true;
}

bool fileFactsWithChange(const std::wstring& a_path, ListedFile& a_facts) {
    const UniqueFile file(CreateFileW(a_path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    FILE_BASIC_INFO basic{};
    LARGE_INTEGER size{};
    if (!file || !GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic) ||
        !GetFileSizeEx(file.get(), &size)) {
        return false;
    }
    a_facts.size = static_cast<unsigned long long>(size.QuadPart);
    a_facts.writeTime = static_cast<unsigned long long>(basic.LastWriteTime.QuadPart);
    a_facts.changeTime = static_cast<unsigned long long>(basic.ChangeTime.QuadPart);
    return true;
}

std::vector<ListedFile> filesWithChangeIn(const std::wstring& a_folder,
                                          const std::wstring& a_extension) {
    std::vector<ListedFile> files;
    const UniqueFile folder(CreateFileW(a_folder.c_str(), FILE_LIST_DIRECTORY,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                        nullptr));
    // 8-byte aligned, as the records are.
    std::vector<unsigned long long> buffer(8192);
    const DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof buffer[0]);
    for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
         folder && GetFileInformationByHandleEx(folder.get(), kind, buffer.data(), bytes);
         kind = FileIdBothDirectoryInfo) {
        const unsigned char* at = reinterpret_cast<const unsigned char*>(buffer.data());
        for (;;) {
            const auto& entry = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
            const std::wstring name(entry.FileName, entry.FileNameLength / sizeof(wchar_t));
            if ((entry.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                name.size() > a_extension.size() &&
                CompareStringOrdinal(name.c_str() + name.size() - a_extension.size(),
                                     static_cast<int>(a_extension.size()), a_extension.c_str(),
                                     static_cast<int>(a_extension.size()), TRUE) == CSTR_EQUAL) {
                files.push_back(
                    ListedFile{name, static_cast<unsigned long long>(entry.EndOfFile.QuadPart),
                               static_cast<unsigned long long>(entry.LastWriteTime.QuadPart),
                               static_cast<unsigned long long>(entry.ChangeTime.QuadPart)});
            }
            if (entry.NextEntryOffset == 0) {
                break;
            }
            at += entry.NextEntryOffset;
        }
    }
    return files;
}

bool deleteFile(const std::wstring& a_path) {
    // Ignored when it fails: the delete then fails too.
    SetFileAttributesW(a_path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(a_path.c_str()) != FALSE;
}

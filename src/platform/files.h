#pragma once

#include <string>
#include <vector>

// Whole-file reading and replacing for files that other processes may read
// or replace at the same instant (several launchers sharing one folder).
// Sharing conflicts pass, and are waited out for about a second.

// The file's bytes; false when it cannot be opened or read.
bool readWholeFile(const std::wstring& a_path, std::string& a_bytes);

enum class ReplaceResult {
    replaced,
    notWritable, // read-only, or the new file could not be created
    notSaved,    // writing the new file failed
};

// Puts a_bytes in a_path's place in one step: written to a temporary file
// beside it (named after the process), then renamed over it, so that other
// readers see the old file or the new one, never a part. The hidden, system,
// archive and not-indexed marks are kept. When a_path is a symbolic link, the
// file it points to is replaced, beside which the temporary file is written,
// and the link stays. A read-only file is refused, as
// Windows refuses it, also where the system would allow the rename (Wine run
// as root). On failure the file is unchanged and no temporary file is left.
ReplaceResult replaceFileContents(const std::wstring& a_path, const std::string& a_bytes);

// A file as a folder listing gives it.
struct ListedFile {
    std::wstring name; // without its folder
    unsigned long long size = 0;
    unsigned long long writeTime = 0; // FILETIME's 100-nanosecond units
    // When anything of the file last changed, its contents, its times or
    // its attributes (a time no program can set back); 0 where not read.
    unsigned long long changeTime = 0;
};

// The time now, in ListedFile's units.
unsigned long long fileTimeNow();

// The files (not folders) of a_folder (with its trailing backslash) whose
// names match a_pattern ("*.jar"), in the file system's order.
std::vector<ListedFile> filesIn(const std::wstring& a_folder, const std::wstring& a_pattern);

// Whether a_folder (with its trailing backslash) holds anything, or with
// a_foldersOnly a folder.
bool folderHolds(const std::wstring& a_folder, bool a_foldersOnly);

// A file's size and last-write time; false when it has none to give.
bool fileFacts(const std::wstring& a_path, ListedFile& a_facts);

// The same with its change time, read through the file itself.
bool fileFactsWithChange(const std::wstring& a_path, ListedFile& a_facts);

// The files of a_folder (with its trailing backslash), with their change
// times, in one read of the folder; their names in any letter case end in
// a_extension (".jar").
std::vector<ListedFile> filesWithChangeIn(const std::wstring& a_folder,
                                          const std::wstring& a_extension);

// Deletes a_path, read-only or not; false when it stays.
bool deleteFile(const std::wstring& a_path);

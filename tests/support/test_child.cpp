// A console program that the process tests start as their child. Its
// arguments are actions, done in order:
//
//   out:TEXT / err:TEXT     write TEXT to standard output / error; \r, \n,
//                           \t, \\ and \xHH are decoded
//   outfill:N:C / errfill:N:C   write N copies of the character C
//   stdin                   read standard input to its end, write
//                           "stdin-bytes=COUNT\n" to standard output
//   cwd                     write "cwd=FOLDER\n" (UTF-8) to standard output
//   cmdline                 write "cmdline=LINE\n" (UTF-8) to standard output
//   args                    write "arg=ARGUMENT\n" for each argument as the C
//                           runtime split them
//   pid:FILE                write the process id into FILE
//   touch:FILE              create FILE (shows that the child ran)
//   sleep:MS                sleep
//   until:FILE              wait until FILE exists (60 s at most)
//   exit:N                  end with exit code N
//   short:PATH              write PATH's 8.3 short form (UTF-8) to standard
//                           output
#include "text_codec.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

using testing_support::decodeEscapes;
using testing_support::utf8;

void writeAll(DWORD a_stream, const std::string& a_bytes) {
    DWORD written = 0;
    WriteFile(GetStdHandle(a_stream), a_bytes.data(), static_cast<DWORD>(a_bytes.size()), &written,
              nullptr);
}

void writeFile(const std::wstring& a_path, const std::string& a_bytes) {
    HANDLE file = CreateFileW(a_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, a_bytes.data(), static_cast<DWORD>(a_bytes.size()), &written, nullptr);
    CloseHandle(file);
}

bool startsWith(const std::wstring& a_text, const wchar_t* a_prefix, std::wstring& a_rest) {
    const std::size_t length = std::wcslen(a_prefix);
    if (a_text.compare(0, length, a_prefix) != 0) {
        return false;
    }
    a_rest = a_text.substr(length);
    return true;
}

void fill(DWORD a_stream, const std::wstring& a_countAndCharacter) {
    const std::size_t colon = a_countAndCharacter.find(L':');
    const unsigned long count = std::wcstoul(a_countAndCharacter.c_str(), nullptr, 10);
    const char character = static_cast<char>(a_countAndCharacter.at(colon + 1));
    writeAll(a_stream, std::string(count, character));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring action = argv[i];
        std::wstring rest;
        if (startsWith(action, L"out:", rest)) {
            writeAll(STD_OUTPUT_HANDLE, decodeEscapes(utf8(rest)));
        } else if (startsWith(action, L"err:", rest)) {
            writeAll(STD_ERROR_HANDLE, decodeEscapes(utf8(rest)));
        } else if (startsWith(action, L"outfill:", rest)) {
            fill(STD_OUTPUT_HANDLE, rest);
        } else if (startsWith(action, L"errfill:", rest)) {
            fill(STD_ERROR_HANDLE, rest);
        } else if (action == L"stdin") {
            char buffer[256];
            DWORD read = 0;
            unsigned long total = 0;
            while (
                ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr) &&
                read > 0) {
                total += read;
            }
            writeAll(STD_OUTPUT_HANDLE, "stdin-bytes=" + std::to_string(total) + "\n");
        } else if (action == L"cwd") {
            wchar_t folder[4096];
            GetCurrentDirectoryW(4096, folder);
            writeAll(STD_OUTPUT_HANDLE, "cwd=" + utf8(folder) + "\n");
        } else if (action == L"cmdline") {
            writeAll(STD_OUTPUT_HANDLE, "cmdline=" + utf8(GetCommandLineW()) + "\n");
        } else if (action == L"args") {
            for (int j = 1; j < argc; ++j) {
                writeAll(STD_OUTPUT_HANDLE, "arg=" + utf8(argv[j]) + "\n");
            }
        } else if (startsWith(action, L"pid:", rest)) {
            writeFile(rest, std::to_string(GetCurrentProcessId()));
        } else if (startsWith(action, L"touch:", rest)) {
            writeFile(rest, "");
        } else if (startsWith(action, L"sleep:", rest)) {
            Sleep(std::wcstoul(rest.c_str(), nullptr, 10));
        } else if (startsWith(action, L"until:", rest)) {
            for (int wait = 0;
                 wait < 6000 && GetFileAttributesW(rest.c_str()) == INVALID_FILE_ATTRIBUTES;
                 ++wait) {
                Sleep(10);
            }
        } else if (startsWith(action, L"short:", rest)) {
            wchar_t shortPath[4096];
            const DWORD length = GetShortPathNameW(rest.c_str(), shortPath, 4096);
            writeAll(STD_OUTPUT_HANDLE, utf8(std::wstring(shortPath, length < 4096 ? length : 0)));
        } else if (startsWith(action, L"exit:", rest)) {
            return static_cast<int>(std::wcstol(rest.c_str(), nullptr, 10));
        } else {
            std::fprintf(stderr, "test_child: unknown action\n");
            return 99;
        }
    }
    return 0;
}

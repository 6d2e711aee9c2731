#include "platform/command_line.h"

#include "platform/text.h"

namespace {

// The program token: up to the next blank, or between double quotes.
const wchar_t* skipProgram(const wchar_t* a_line) {
    if (*a_line == L'"') {
        ++a_line;
        while (*a_line != L'\0' && *a_line != L'"') {
            ++a_line;
        }
        return *a_line == L'"' ? a_line + 1 : a_line;
    }
    while (*a_line != L'\0' && !isBlank(*a_line)) {
        ++a_line;
    }
    return a_line;
}

// One argument from a_line onwards (no leading blanks), by the rules of
// CommandLineToArgvW: 2n backslashes before a quote give n backslashes and
// the quote toggles quoting; 2n + 1 give n and a literal quote; inside quotes
// a doubled quote gives one literal quote and ends the quoting; backslashes
// elsewhere are literal.
// a_quoted tells whether the argument ended inside quotes (at the line's end).
const wchar_t* readArgument(const wchar_t* a_line, std::wstring& a_argument, bool& a_quoted) {
    a_quoted = false;
    std::size_t backslashes = 0;
    for (; *a_line != L'\0' && (a_quoted || !isBlank(*a_line)); ++a_line) {
        if (*a_line == L'\\') {
            ++backslashes;
            continue;
        }
        if (*a_line != L'"') {
            a_argument.append(backslashes, L'\\');
            backslashes = 0;
            a_argument.push_back(*a_line);
            continue;
        }
        a_argument.append(backslashes / 2, L'\\');
        if (backslashes % 2 == 1) {
            a_argument.push_back(L'"');
        } else if (a_quoted && a_line[1] == L'"') {
            a_argument.push_back(L'"');
            ++a_line;
            a_quoted = false;
        } else {
            a_quoted = !a_quoted;
        }
        backslashes = 0;
    }
    a_argument.append(backslashes, L'\\');
    return a_line;
}

// The arguments from a_next on; a_openQuote tells whether the last one ended
// inside quotes.
std::vector<std::wstring> argumentsFrom(const wchar_t* a_next, bool& a_openQuote) {
    std::vector<std::wstring> arguments;
    a_openQuote = false;
    for (;;) {
        while (isBlank(*a_next)) {
            ++a_next;
        }
        if (*a_next == L'\0') {
            return arguments;
        }
        arguments.emplace_back();
        a_next = readArgument(a_next, arguments.back(), a_openQuote);
    }
}

} // namespace

bool quotesArePaired(const std::wstring& a_arguments) {
    bool openQuote = false;
    argumentsFrom(a_arguments.c_str(), openQuote);
    return !openQuote;
}

std::vector<std::wstring> argumentsAfterProgram(const wchar_t* a_commandLine) {
    bool unused = false;
    return argumentsFrom(skipProgram(a_commandLine), unused);
}

std::vector<std::wstring> splitArguments(const std::wstring& a_arguments) {
    bool unused = false;
    return argumentsFrom(a_arguments.c_str(), unused);
}

std::wstring quotedArgument(const std::wstring& a_argument) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t character : a_argument) {
        if (character == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        quoted.append(character == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(character);
    }
    // Before the closing quote, they are doubled too.
    quoted.append(backslashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

std::wstring quotedProgram(const std::wstring& a_program) {
    const bool needsQuotes = a_program.find_first_of(L" \t") != std::wstring::npos &&
                             a_program.find(L'"') == std::wstring::npos;
    return needsQuotes ? L"\"" + a_program + L"\"" : a_program;
}

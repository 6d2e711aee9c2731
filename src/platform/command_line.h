#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Command lines as Windows programs split them: CommandLineToArgvW and the C
// runtime take the first token as the program (up to the next blank, or
// between double quotes, with no escapes), and every later argument by the
// rules for blanks, tabs, double quotes and backslashes.

// The longest command line CreateProcessW takes, terminator excluded.
constexpr std::size_t longestCommandLine = 32766;

// a_argument between double quotes, escaped so that the program receives it
// as one argument equal to a_argument. A value without a double quote and
// without a trailing backslash comes back between quotes unchanged.
std::wstring quotedArgument(const std::wstring& a_argument);

// Puts a program path that holds a blank or a tab in double quotes (unless it
// already holds one), so that the system does not try a shorter path such as
// C:\Program.exe first.
std::wstring quotedProgram(const std::wstring& a_program);

// Whether a_arguments, split by the rules below, ends outside double quotes:
// otherwise whatever follows it on a command line would join its last
// argument.
bool quotesArePaired(const std::wstring& a_arguments);

// The arguments of a_commandLine after the program, as CommandLineToArgvW
// gives them.
std::vector<std::wstring> argumentsAfterProgram(const wchar_t* a_commandLine);

// a_arguments (no program first) split by the same rules.
std::vector<std::wstring> splitArguments(const std::wstring& a_arguments);

#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A viewer is a verb key below *\shell whose default value is its display name, and its
// command key, whose default value is the command Explorer runs on the chosen file.
inline constexpr wchar_t kViewersKey[] = L"*\\shell";
std::wstring VerbKey(const std::wstring& name);
std::wstring CommandKey(const std::wstring& name);

// The command that starts the program on the chosen file: both quoted, so that Explorer hands
// a path with blanks over as one argument.
std::wstring CommandFor(const std::wstring& program);
// What the list shows of a command: the program path of one written by CommandFor or in the
// older unquoted form; of any other, all but a last argument of %1.
std::wstring ShownCommand(const std::wstring& command);

// The application title, also the title of message boxes without one of their own.
std::wstring AppTitle();
// The main window's caption: product name and major.minor version.
std::wstring MainCaption();
// The directory the program runs from, without a trailing backslash.
std::wstring AppPath();

// The path with "\" appended, unless it already ends in one.
std::wstring AddBackslash(const std::wstring& path);

// Fills List1 afresh from the viewers registered for all files: one line per entry with a
// display name, as name, " = " and its shown command. Returns each line's key name, in the
// order of the lines.
std::vector<std::wstring> LoadViewerList(HWND List1);

#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A viewer is a verb key below *\shell whose default value is its display name, and its
// command key, whose default value is the program path followed by " %1".
inline constexpr wchar_t kViewersKey[] = L"*\\shell";
inline constexpr wchar_t kCommandSuffix[] = L" %1";
std::wstring VerbKey(const std::wstring& name);
std::wstring CommandKey(const std::wstring& name);

// The application title, also the title of message boxes without one of their own.
std::wstring AppTitle();
// The main window's caption: product name and major.minor version.
std::wstring MainCaption();
// The directory the program runs from, without a trailing backslash.
std::wstring AppPath();

// The path with "\" appended, unless it already ends in one.
std::wstring AddBackslash(const std::wstring& path);

// Fills List1 afresh from the viewers registered for all files: one line per entry with a
// display name, as name, " = " and the program path. Returns each line's key name, in the
// order of the lines.
std::vector<std::wstring> LoadViewerList(HWND List1);

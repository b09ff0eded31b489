#pragma once

#include <string>
#include <string_view>

// Talvern keeps text as UTF-16; the registry, the file dialog and the shell are called
// through their ANSI entry points, so text crosses to the system's ANSI code page here
// and nowhere else.
std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view text);

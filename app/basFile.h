#pragma once

#include <windows.h>

#include <string>

// Picks a file with the common Open (mode 1) or Save (mode 2) dialog. Returns the chosen
// full path, or defaultResult unchanged when nothing is chosen or the mode is neither.
std::wstring ShowFileDialog(HWND owner, short mode, const std::wstring& title,
                            const std::wstring& filterDescription,
                            const std::wstring& filterPattern, const std::wstring& initialDir,
                            const std::wstring& defaultResult);

// The text up to its first NUL character.
std::wstring StripNulls(std::wstring text);

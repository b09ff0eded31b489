#pragma once

// A key tree as a .reg file that Registry Editor imports back unchanged.

#include "registry/KeyTree.h"

#include <windows.h>

#include <string>

// Whether Registry Editor can read back every name of the tree: it reads a name up to the end of
// its line.
bool FitsRegFile(const KeyTree& tree);

// The file's text for `tree` under its full key name (as
// HKEY_CURRENT_USER\Software\Classes\*\shell\x): a section per key, parents first; each value in
// its own type, a string quoted only where the quoted form gives back its exact bytes.
std::wstring RegFileText(const std::wstring& keyName, const KeyTree& tree);

// Writes the text to a new file, UTF-16LE after a byte-order mark, as Registry Editor writes
// them. ERROR_SUCCESS, or why not; a file that could not be written whole is removed.
LONG WriteRegFile(const std::wstring& path, const std::wstring& text) noexcept;

#pragma once

// Delete first keeps a copy of the viewer as a .reg file: opening it brings the viewer back.

#include "app/basMain.h"
#include "registry/KeyTree.h"

#include <windows.h>

#include <string>

// %LOCALAPPDATA%\Talvern\Deleted viewers; empty when LOCALAPPDATA is not set.
std::wstring DeletedViewersFolder();

// "<key> 2026-12-08 14.03.27.reg" in the folder, "<key> 2026-12-08 14.03.27 (2).reg" for a
// second copy, the key with what a file name cannot hold made "_", and shortened so that the whole
// path fits in MAX_PATH.
std::wstring DeletedCopyPath(const std::wstring& folder, const std::wstring& key,
                             const SYSTEMTIME& now, int copy = 1);

// Writes the viewer of that key, as read, to a new file in the folder, made if missing, naming
// the hive it came from, so that it comes back there; its path goes into `file`. ERROR_SUCCESS,
// or why not.
LONG WriteDeletedCopy(const std::wstring& folder, Hive hive, const std::wstring& key,
                      const KeyTree& viewer, std::wstring& file) noexcept;

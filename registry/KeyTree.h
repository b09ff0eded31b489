#pragma once

// A key with everything below it, read, removed and written back exactly: through the wide
// registry calls, so names and data the ANSI code page cannot hold survive, and with buffers as
// large as the key says it needs.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// A value as the registry stores it: the data's bytes are not interpreted.
struct StoredValue {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const StoredValue&) const = default;
};

// A key: its own name, its values in enumeration order, and its sub-keys.
struct KeyTree {
    std::wstring name;
    std::vector<StoredValue> values;
    std::vector<KeyTree> subKeys;
    bool operator==(const KeyTree&) const = default;
};

struct KeyTreeRead {
    std::optional<KeyTree> tree;  // nothing when the key is missing or could not be read whole
    LONG error = ERROR_SUCCESS;   // why it could not be read; a missing key is no error
};

// The key root\path with everything below it.
KeyTreeRead ReadKeyTree(HKEY root, const std::wstring& path) noexcept;

// Makes root\path exactly `before` again (nothing: the key absent). Only what differs is touched,
// so a key that stays keeps what a .reg copy cannot hold: whether it is volatile, its security.
// The code of the first failure, or ERROR_SUCCESS.
LONG RestoreKeyTree(HKEY root, const std::wstring& path,
                    const std::optional<KeyTree>& before) noexcept;

// Removes root\path, which holds `tree`, deepest key first. When any part cannot be removed,
// what was removed is put back and the failure's code returned; ERROR_SUCCESS otherwise.
LONG DeleteKeyTree(HKEY root, const std::wstring& path, const KeyTree& tree) noexcept;

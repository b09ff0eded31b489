#pragma once

// The ANSI registry calls that Talvern's listing makes, with none of Talvern's code around them:
// the floors of the benchmark read the viewers through these.

#include <windows.h>

#include <string>
#include <vector>

// The names of the keys below HKEY_CLASSES_ROOT\*\shell, in the registry's order.
inline std::vector<std::string> ViewerKeys() {
    std::vector<std::string> names;
    HKEY shell = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "*\\shell", 0, KEY_READ, &shell) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        char name[255];
        DWORD size = sizeof name;
        if (RegEnumKeyExA(shell, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, size);
    }
    RegCloseKey(shell);
    return names;
}

// A key's default value as text; empty when it cannot be read.
inline std::string DefaultValue(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    char data[255];
    DWORD size = sizeof data;
    DWORD type = 0;
    std::string text;
    if (RegQueryValueExA(key, "", nullptr, &type, reinterpret_cast<BYTE*>(data), &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ && size > 0)
        text.assign(data, size - 1);
    RegCloseKey(key);
    return text;
}

#pragma once

// The ANSI registry calls that Talvern's listing makes, with none of Talvern's code around them:
// the floors of the benchmark read the viewers through these.

#include <windows.h>

#include <string>
#include <vector>

// Where the viewers are kept in each hive, every user's and the user's own; Talvern reads both.
inline const char kShell[] = "Software\\Classes\\*\\shell\\";
inline const HKEY kHives[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};

// The names of the keys below the hive's shell key, in the registry's order.
inline std::vector<std::string> ViewerKeys(HKEY hive) {
    std::vector<std::string> names;
    HKEY shell = nullptr;
    if (RegOpenKeyExA(hive, "Software\\Classes\\*\\shell", 0, KEY_READ, &shell) != ERROR_SUCCESS)
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

// A verb key's menu text, MUIVerb before the default value, read from its values in one pass;
// empty when it has neither.
inline std::string MenuText(HKEY hive, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(hive, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    std::string menuText, display;
    for (DWORD i = 0;; ++i) {
        char name[255], data[255];
        DWORD nameSize = sizeof name, size = sizeof data, type = 0;
        const LONG status = RegEnumValueA(key, i, name, &nameSize, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &size);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) break;
        if (type != REG_SZ || size < 2) continue;
        if (nameSize == 0) display.assign(data, size - 1);
        if (lstrcmpiA(name, "MUIVerb") == 0) menuText.assign(data, size - 1);
    }
    RegCloseKey(key);
    return menuText.empty() ? display : menuText;
}

// A key's default value as text; empty when it cannot be read.
inline std::string DefaultValue(HKEY hive, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(hive, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
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

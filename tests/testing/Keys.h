#pragma once

// The registry read and written through the Unicode API, independent of the code under test.

#include <windows.h>

#include <string>
#include <vector>

// UTF-16 text with its NUL, as a string value holds it.
inline std::vector<BYTE> WideBytes(const std::wstring& text) {
    const auto* p = reinterpret_cast<const BYTE*>(text.c_str());
    return {p, p + (text.size() + 1) * sizeof(wchar_t)};
}

inline void SetRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                   const std::vector<BYTE>& bytes) {
    RegSetKeyValueW(root, path.c_str(), name.c_str(), type, bytes.data(),
                    static_cast<DWORD>(bytes.size()));
}

inline void SetString(HKEY root, const std::wstring& path, const std::wstring& name,
                      const std::wstring& text) {
    SetRaw(root, path, name, REG_SZ, WideBytes(text));
}

inline void CreateKey(HKEY root, const std::wstring& path,
                      DWORD options = REG_OPTION_NON_VOLATILE) {
    HKEY key = nullptr;
    RegCreateKeyExW(root, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    RegCloseKey(key);
}

inline void DeleteTree(HKEY root, const std::wstring& path) {
    RegDeleteTreeW(root, path.c_str());
    RegDeleteKeyW(root, path.c_str());
}

// Each key below path and its values' types and bytes, a line each, in order; none if unreadable.
inline std::vector<std::wstring> Snapshot(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    std::vector<std::wstring> lines{path};
    wchar_t name[256];
    BYTE data[4096];
    for (DWORD i = 0, size = 256, type = 0, bytes = sizeof data;
         !RegEnumValueW(key, i, name, &size, nullptr, &type, data, &bytes);
         ++i, size = 256, bytes = sizeof data)
        lines.push_back(path + L" [" + name + L"] " + std::to_wstring(type) + L" " +
                        std::wstring(data, data + bytes));
    for (DWORD i = 0, size = 256;
         !RegEnumKeyExW(key, i, name, &size, nullptr, nullptr, nullptr, nullptr); ++i, size = 256)
        for (auto& line : Snapshot(root, path + L"\\" + name)) lines.push_back(std::move(line));
    RegCloseKey(key);
    return lines;
}

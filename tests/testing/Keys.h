#pragma once

// The registry read and written through the Unicode API, independent of the code under test.

#include <windows.h>

#include <string>
#include <vector>

using Bytes = std::vector<BYTE>;

// UTF-16 text with its NUL, as a string value holds it.
inline Bytes WideBytes(const std::wstring& text) {
    const auto* p = reinterpret_cast<const BYTE*>(text.c_str());
    return {p, p + (text.size() + 1) * sizeof(wchar_t)};
}

inline void SetRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                   const Bytes& bytes) {
    RegSetKeyValueW(root, path.c_str(), name.c_str(), type, bytes.data(), DWORD(bytes.size()));
}

inline void SetString(HKEY root, const std::wstring& path, const std::wstring& name,
                      const std::wstring& text) {
    SetRaw(root, path, name, REG_SZ, WideBytes(text));
}

inline void CreateKey(HKEY root, const std::wstring& path, DWORD options = 0) {
    HKEY key = nullptr;
    RegCreateKeyExW(root, path.c_str(), 0, nullptr, options, KEY_WRITE, nullptr, &key, nullptr);
    RegCloseKey(key);
}

inline void DeleteTree(HKEY root, const std::wstring& path) {
    RegDeleteTreeW(root, path.c_str()), RegDeleteKeyW(root, path.c_str());
}

// Each key below path and its values' types and bytes, a line each, in order; none if unreadable.
inline std::vector<std::wstring> Snapshot(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key)) return {};
    std::vector<std::wstring> lines{path};
    wchar_t name[256];
    BYTE data[4096];
    for (DWORD i = 0, size = 256, type = 0, bytes = sizeof data;
         !RegEnumValueW(key, i, name, &size, nullptr, &type, data, &bytes);
         ++i, size = 256, bytes = sizeof data)
        lines.push_back(path + L" [" + name + L"] " + std::to_wstring(type) + L" " +
                        std::wstring(data, data + bytes));
    for (DWORD i = 0, size = 256; !RegEnumKeyExW(key, i++, name, &size, {}, {}, {}, {}); size = 256)
        for (auto& line : Snapshot(root, path + L"\\" + name)) lines.push_back(std::move(line));
    return RegCloseKey(key), lines;
}

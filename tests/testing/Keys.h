#pragma once

// The registry read and written through the Unicode API, independent of the code under test.

#include <windows.h>

#include <string>
#include <vector>

inline void SetRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                   const std::vector<BYTE>& bytes) {
    RegSetKeyValueW(root, path.c_str(), name.c_str(), type, bytes.data(), DWORD(bytes.size()));
}

// UTF-16 text with its NUL, as a string value holds it.
inline void SetString(HKEY root, const std::wstring& path, const std::wstring& name,
                      const std::wstring& text, DWORD type = REG_SZ) {
    const DWORD bytes = DWORD((text.size() + 1) * sizeof(wchar_t));
    RegSetKeyValueW(root, path.c_str(), name.c_str(), type, text.c_str(), bytes);
}

inline void CreateKey(HKEY root, const std::wstring& path, DWORD options = 0) {
    HKEY key = nullptr;
    RegCreateKeyExW(root, path.c_str(), 0, nullptr, options, KEY_WRITE, nullptr, &key, nullptr);
    RegCloseKey(key);
}

inline void DeleteTree(HKEY root, const std::wstring& path) {
    RegDeleteTreeW(root, path.c_str()), RegDeleteKeyW(root, path.c_str());
}

// Each key from path on, named from ".", and its values' types and UTF-16 data (odd byte: |N).
inline std::vector<std::wstring> Snapshot(HKEY root, const std::wstring& path,
                                          const std::wstring& shownAs = L".") {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key)) return {};
    std::vector<std::wstring> lines{shownAs};
    wchar_t name[256];
    alignas(wchar_t) BYTE data[4096];
    for (DWORD i = 0, size = 256, type = 0, bytes = sizeof data;
         !RegEnumValueW(key, i, name, &size, nullptr, &type, data, &bytes);
         ++i, size = 256, bytes = sizeof data)
        lines.push_back(shownAs + L" [" + name + L"] " + std::to_wstring(type) + L" " +
                        std::wstring(reinterpret_cast<wchar_t*>(data), bytes / 2) +
                        (bytes % 2 ? L"|" + std::to_wstring(data[bytes - 1]) : L""));
    for (DWORD i = 0, size = 256; !RegEnumKeyExW(key, i++, name, &size, {}, {}, {}, {}); size = 256)
        for (auto& line : Snapshot(root, path + L"\\" + name, shownAs + L"\\" + name))
            lines.push_back(std::move(line));
    return RegCloseKey(key), lines;
}

#include "tests/testing/ScratchKey.h"

#include <gtest/gtest.h>

namespace {

std::wstring Hex(const std::vector<BYTE>& bytes) {
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring out;
    for (BYTE b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

void SnapshotInto(HKEY root, const std::wstring& path, std::vector<std::wstring>& lines) {
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    lines.push_back(path);
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLen = 16384;
        DWORD type = 0;
        BYTE data[4096];
        DWORD dataLen = sizeof data;
        const LONG rc = RegEnumValueW(key, i, name, &nameLen, nullptr, &type, data, &dataLen);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) {
            lines.push_back(path + L" <unreadable value>");
            continue;
        }
        lines.push_back(path + L" [" + std::wstring(name, nameLen) + L"] " + std::to_wstring(type) +
                        L" " + Hex({data, data + dataLen}));
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLen = 256;
        if (RegEnumKeyExW(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        children.emplace_back(name, nameLen);
    }
    RegCloseKey(key);
    for (const auto& child : children) SnapshotInto(root, path + L"\\" + child, lines);
}

}  // namespace

ScratchKey::ScratchKey(const std::wstring& name) : path_(L"Software\\TalvernTests\\" + name) {
    DeleteTree(Root(), path_);
    CreateKey(Root(), path_);
}

ScratchKey::~ScratchKey() { DeleteTree(Root(), path_); }

std::wstring ScratchKey::Path(const std::wstring& below) const {
    return below.empty() ? path_ : path_ + L"\\" + below;
}

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void CreateKey(HKEY root, const std::wstring& path) {
    HKEY key;
    ASSERT_EQ(
        RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
            const std::vector<BYTE>& bytes) {
    HKEY key;
    ASSERT_EQ(
        RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    EXPECT_EQ(
        RegSetValueExW(key, name.c_str(), 0, type, bytes.data(), static_cast<DWORD>(bytes.size())),
        ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetString(HKEY root, const std::wstring& path, const std::wstring& name,
               const std::wstring& text) {
    const auto* p = reinterpret_cast<const BYTE*>(text.c_str());
    SetRaw(root, path, name, REG_SZ, {p, p + (text.size() + 1) * sizeof(wchar_t)});
}

RawValue GetRaw(HKEY root, const std::wstring& path, const std::wstring& name) {
    RawValue out;
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return out;
    DWORD size = 0;
    DWORD type = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        out.bytes.resize(size);
        RegQueryValueExW(key, name.c_str(), nullptr, &type, out.bytes.data(), &size);
        out.bytes.resize(size);
        out.type = type;
    }
    RegCloseKey(key);
    return out;
}

RawValue GetRawA(HKEY root, const std::wstring& path, const std::wstring& name) {
    RawValue out;
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return out;
    std::string ansiName(name.size() * 2 + 1, '\0');
    const int len =
        WideCharToMultiByte(CP_ACP, 0, name.c_str(), static_cast<int>(name.size()), ansiName.data(),
                            static_cast<int>(ansiName.size()), nullptr, nullptr);
    ansiName.resize(static_cast<size_t>(len));
    std::vector<BYTE> data(65536);
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    if (RegQueryValueExA(key, ansiName.c_str(), nullptr, &type, data.data(), &size) ==
        ERROR_SUCCESS) {
        data.resize(size);
        out.bytes = data;
        out.type = type;
    }
    RegCloseKey(key);
    return out;
}

std::vector<std::wstring> SubKeyNames(HKEY root, const std::wstring& path) {
    std::vector<std::wstring> names;
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLen = 256;
        if (RegEnumKeyExW(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, nameLen);
    }
    RegCloseKey(key);
    return names;
}

std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& path) {
    std::vector<std::wstring> names;
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        std::vector<wchar_t> name(16384);
        DWORD nameLen = static_cast<DWORD>(name.size());
        const LONG rc =
            RegEnumValueW(key, i, name.data(), &nameLen, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) break;
        names.emplace_back(name.data(), nameLen);
    }
    RegCloseKey(key);
    return names;
}

std::vector<BYTE> Bytes(std::string_view text) {
    std::vector<BYTE> out;
    for (char c : text) out.push_back(static_cast<BYTE>(c));
    return out;
}

std::vector<BYTE> WideBytes(std::wstring_view text, bool withNul) {
    const auto* p = reinterpret_cast<const BYTE*>(text.data());
    std::vector<BYTE> out(p, p + text.size() * sizeof(wchar_t));
    if (withNul) out.insert(out.end(), sizeof(wchar_t), 0);
    return out;
}

void DeleteTree(HKEY root, const std::wstring& path) {
    RegDeleteTreeW(root, path.c_str());
    RegDeleteKeyW(root, path.c_str());
}

std::vector<std::wstring> Snapshot(HKEY root, const std::wstring& path) {
    std::vector<std::wstring> lines;
    SnapshotInto(root, path, lines);
    return lines;
}

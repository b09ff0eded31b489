#include "tests/testing/ScratchKey.h"

#include <gtest/gtest.h>

#include <memory>
#include <type_traits>

namespace {

struct KeyClose {
    void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyClose>;

Key Open(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    return Key(RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS ? key
                                                                                     : nullptr);
}

Key Create(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    EXPECT_EQ(
        RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    return Key(key);
}

// The names that `next` (RegEnumKeyExW or RegEnumValueW) gives for the key, in its order.
template <class Enumerate>
std::vector<std::wstring> Names(HKEY root, const std::wstring& path, Enumerate next) {
    std::vector<std::wstring> names;
    const Key key = Open(root, path);
    std::vector<wchar_t> name(16384);
    for (DWORD i = 0; key; ++i) {
        DWORD size = static_cast<DWORD>(name.size());
        if (next(key.get(), i, name.data(), &size) != ERROR_SUCCESS) break;
        names.emplace_back(name.data(), size);
    }
    return names;
}

std::wstring Hex(const std::vector<BYTE>& bytes) {
    std::wstring out;
    for (BYTE b : bytes) {
        out += L"0123456789ABCDEF"[b >> 4];
        out += L"0123456789ABCDEF"[b & 15];
    }
    return out;
}

void SnapshotInto(HKEY root, const std::wstring& path, std::vector<std::wstring>& lines) {
    if (!KeyExists(root, path)) return;
    lines.push_back(path);
    for (const auto& name : ValueNames(root, path)) {
        const RawValue value = GetRaw(root, path, name);
        lines.push_back(path + L" [" + name + L"] " + std::to_wstring(value.type) + L" " +
                        Hex(value.bytes));
    }
    for (const auto& child : SubKeyNames(root, path))
        SnapshotInto(root, path + L"\\" + child, lines);
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

bool KeyExists(HKEY root, const std::wstring& path) { return Open(root, path) != nullptr; }

void CreateKey(HKEY root, const std::wstring& path) { Create(root, path); }

void SetRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
            const std::vector<BYTE>& bytes) {
    const Key key = Create(root, path);
    EXPECT_EQ(RegSetValueExW(key.get(), name.c_str(), 0, type, bytes.data(),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
}

void SetString(HKEY root, const std::wstring& path, const std::wstring& name,
               const std::wstring& text) {
    SetRaw(root, path, name, REG_SZ, WideBytes(text, true));
}

RawValue GetRaw(HKEY root, const std::wstring& path, const std::wstring& name) {
    RawValue out;
    const Key key = Open(root, path);
    DWORD size = 0;
    if (!key || RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, &size) !=
                    ERROR_SUCCESS)
        return out;
    out.bytes.resize(size);
    RegQueryValueExW(key.get(), name.c_str(), nullptr, &out.type, out.bytes.data(), &size);
    out.bytes.resize(size);
    return out;
}

std::vector<std::wstring> SubKeyNames(HKEY root, const std::wstring& path) {
    return Names(root, path, [](HKEY key, DWORD i, wchar_t* name, DWORD* size) {
        return RegEnumKeyExW(key, i, name, size, nullptr, nullptr, nullptr, nullptr);
    });
}

std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& path) {
    return Names(root, path, [](HKEY key, DWORD i, wchar_t* name, DWORD* size) {
        return RegEnumValueW(key, i, name, size, nullptr, nullptr, nullptr, nullptr);
    });
}

std::vector<BYTE> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

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

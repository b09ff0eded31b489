#include "tests/testing/ScratchKey.h"

#include <gtest/gtest.h>

#include <memory>
#include <type_traits>

namespace {

struct KeyClose {
    void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyClose>;

Key Open(HKEY root, const std::wstring& path, bool create = false) {
    HKEY key = nullptr;
    const LONG status = create ? RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr)
                               : RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key);
    return Key(status == ERROR_SUCCESS ? key : nullptr);
}

// The names of the key's sub-keys (or values), in the registry's order.
std::vector<std::wstring> Names(HKEY root, const std::wstring& path, bool values) {
    std::vector<std::wstring> names;
    const Key key = Open(root, path);
    std::vector<wchar_t> name(16384);
    for (DWORD i = 0; key; ++i) {
        DWORD size = static_cast<DWORD>(name.size());
        if ((values ? RegEnumValueW(key.get(), i, name.data(), &size, nullptr, nullptr, nullptr,
                                    nullptr)
                    : RegEnumKeyExW(key.get(), i, name.data(), &size, nullptr, nullptr, nullptr,
                                    nullptr)) != ERROR_SUCCESS)
            break;
        names.emplace_back(name.data(), size);
    }
    return names;
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

void CreateKey(HKEY root, const std::wstring& path) { EXPECT_TRUE(Open(root, path, true)); }

void SetRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
            const std::vector<BYTE>& bytes) {
    const Key key = Open(root, path, true);
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
    if (!key || RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, &size))
        return out;
    out.bytes.resize(size);
    RegQueryValueExW(key.get(), name.c_str(), nullptr, &out.type, out.bytes.data(), &size);
    return out;
}

std::vector<std::wstring> SubKeyNames(HKEY root, const std::wstring& path) {
    return Names(root, path, false);
}

std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& path) {
    return Names(root, path, true);
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
    if (!KeyExists(root, path)) return {};
    std::vector<std::wstring> lines{path};
    for (const auto& name : ValueNames(root, path)) {
        const RawValue value = GetRaw(root, path, name);
        lines.push_back(path + L" [" + name + L"] " + std::to_wstring(value.type) + L" " +
                        std::wstring(value.bytes.begin(), value.bytes.end()));
    }
    for (const auto& child : SubKeyNames(root, path)) {
        const auto below = Snapshot(root, path + L"\\" + child);
        lines.insert(lines.end(), below.begin(), below.end());
    }
    return lines;
}

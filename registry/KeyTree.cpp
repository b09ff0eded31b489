#include "registry/KeyTree.h"

#include "registry/clsRegistry.h"

#include <algorithm>
#include <memory>
#include <new>
#include <type_traits>

namespace {

struct KeyClose {
    void operator()(HKEY key) const noexcept { Advapi().CloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyClose>;

std::wstring Below(const std::wstring& path, const std::wstring& name) {
    return path + L"\\" + name;
}

LONG FirstFailure(LONG first, LONG next) { return first != ERROR_SUCCESS ? first : next; }

LONG ReadInto(HKEY root, const std::wstring& path, KeyTree& tree) {
    HKEY opened = nullptr;
    LONG status = Advapi().OpenKeyExW(root, path.c_str(), 0, KEY_READ, &opened);
    if (status != ERROR_SUCCESS) return status;
    const UniqueKey key(opened);
    DWORD longestKey = 0, longestName = 0, largestData = 0;
    status = Advapi().QueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, &longestKey,
                                    nullptr, nullptr, &longestName, &largestData, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return status;
    std::wstring name(std::max(longestKey, longestName) + 1, L'\0');
    std::vector<BYTE> data(largestData + 1);  // never null, also when every value is empty
    // A value or key that grows while the key is read fails the read (ERROR_MORE_DATA).
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size()), size = largestData, type = REG_NONE;
        status = Advapi().EnumValueW(key.get(), i, name.data(), &nameSize, nullptr, &type,
                                     data.data(), &size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) return status;
        tree.values.push_back(
            {name.substr(0, nameSize), type, {data.begin(), data.begin() + size}});
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        status = Advapi().EnumKeyExW(key.get(), i, name.data(), &nameSize, nullptr, nullptr,
                                     nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) return status;
        tree.subKeys.push_back({name.substr(0, nameSize)});
    }
    for (KeyTree& sub : tree.subKeys) {
        status = ReadInto(root, Below(path, sub.name), sub);
        // Only the top key counts as missing; one gone from below means the key changed.
        if (status == ERROR_FILE_NOT_FOUND) return ERROR_KEY_DELETED;
        if (status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
}

// Creates what is missing and sets every value, going on past a failure to put back what it can.
LONG WriteTree(HKEY root, const std::wstring& path, const KeyTree& tree) {
    HKEY created = nullptr;
    LONG status = Advapi().CreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_SET_VALUE, nullptr, &created, nullptr);
    if (status != ERROR_SUCCESS) return status;
    const UniqueKey key(created);
    for (const StoredValue& value : tree.values)
        status = FirstFailure(
            status, Advapi().SetValueExW(key.get(), value.name.c_str(), 0, value.type,
                                         value.data.data(), static_cast<DWORD>(value.data.size())));
    for (const KeyTree& sub : tree.subKeys)
        status = FirstFailure(status, WriteTree(root, Below(path, sub.name), sub));
    return status;
}

// Deepest first, since the registry removes only a key without sub-keys; stops at a refusal.
LONG RemoveTree(HKEY root, const std::wstring& path, const KeyTree& tree) {
    for (const KeyTree& sub : tree.subKeys)
        if (const LONG status = RemoveTree(root, Below(path, sub.name), sub);
            status != ERROR_SUCCESS)
            return status;
    return Advapi().DeleteKeyW(root, path.c_str());
}

// Registry names compare without regard to case.
template <class Named>
const Named* Find(const std::vector<Named>& items, const std::wstring& name) {
    const auto found = std::ranges::find_if(items, [&](const Named& item) {
        return CompareStringOrdinal(item.name.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL;
    });
    return found == items.end() ? nullptr : &*found;
}

// Turns the key at path, which holds `now`, into `before`, going on past a failure.
LONG Reconcile(HKEY root, const std::wstring& path, const KeyTree& now, const KeyTree& before) {
    HKEY opened = nullptr;
    LONG status = Advapi().OpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE, &opened);
    if (status != ERROR_SUCCESS) return status;
    const UniqueKey key(opened);
    for (const StoredValue& value : now.values)
        if (!Find(before.values, value.name))
            status = FirstFailure(status, Advapi().DeleteValueW(key.get(), value.name.c_str()));
    for (const StoredValue& value : before.values)
        if (const StoredValue* was = Find(now.values, value.name); !was || !(*was == value))
            status =
                FirstFailure(status, Advapi().SetValueExW(key.get(), value.name.c_str(), 0,
                                                          value.type, value.data.data(),
                                                          static_cast<DWORD>(value.data.size())));
    for (const KeyTree& sub : now.subKeys)
        if (!Find(before.subKeys, sub.name))
            status = FirstFailure(status, RemoveTree(root, Below(path, sub.name), sub));
    for (const KeyTree& sub : before.subKeys) {
        const KeyTree* was = Find(now.subKeys, sub.name);
        const std::wstring below = Below(path, sub.name);
        status = FirstFailure(
            status, was ? Reconcile(root, below, *was, sub) : WriteTree(root, below, sub));
    }
    return status;
}

}  // namespace

KeyTreeRead ReadKeyTree(HKEY root, const std::wstring& path) noexcept {
    try {
        KeyTree tree{path.substr(path.rfind(L'\\') + 1)};
        const LONG status = ReadInto(root, path, tree);
        if (status == ERROR_FILE_NOT_FOUND) return {};
        if (status != ERROR_SUCCESS) return {std::nullopt, status};
        return {std::move(tree)};
    } catch (const std::bad_alloc&) {
        return {std::nullopt, ERROR_NOT_ENOUGH_MEMORY};
    }
}

LONG RestoreKeyTree(HKEY root, const std::wstring& path,
                    const std::optional<KeyTree>& before) noexcept {
    try {
        const KeyTreeRead now = ReadKeyTree(root, path);
        if (now.error != ERROR_SUCCESS) return now.error;
        if (!now.tree) return before ? WriteTree(root, path, *before) : ERROR_SUCCESS;
        if (!before) return RemoveTree(root, path, *now.tree);
        return Reconcile(root, path, *now.tree, *before);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG DeleteKeyTree(HKEY root, const std::wstring& path, const KeyTree& tree) noexcept {
    LONG status = ERROR_NOT_ENOUGH_MEMORY;
    try {
        status = RemoveTree(root, path, tree);
        if (status == ERROR_SUCCESS) return status;
    } catch (const std::bad_alloc&) {
    }
    // What is left is untouched, so writing the tree over it puts back exactly what went.
    try {
        WriteTree(root, path, tree);
    } catch (const std::bad_alloc&) {
    }
    return status;
}

#include "registry/RegFile.h"

#include "registry/UniqueHandle.h"

#include <algorithm>
#include <string_view>
#include <memory>
#include <type_traits>

namespace {

std::wstring_view Text(const StoredValue& value) {
    return {reinterpret_cast<const wchar_t*>(value.data.data()),
            value.data.size() / sizeof(wchar_t)};
}

// Registry Editor reads quoted text up to the closing quote and adds one NUL; it has no escape
// for a NUL, nor for a line break (older versions none for \r).
bool Quotable(const StoredValue& value) {
    const std::wstring_view text = Text(value);
    return value.type == REG_SZ && value.data.size() % sizeof(wchar_t) == 0 && !text.empty() &&
           text.find_first_of(L"\r\n") == text.npos && text.find(L'\0') == text.size() - 1;
}

// Text goes on the end of the file's text, piece by piece: concatenated, it would add tens of
// kilobytes of inlined code to the program.
void AddQuoted(std::wstring& out, std::wstring_view text) {
    out += L'"';
    for (const wchar_t c : text) {
        if (c == L'\\' || c == L'"') out += L'\\';
        out += c;
    }
    out += L'"';
}

// At least `width` digits.
void AddHex(std::wstring& out, DWORD number, size_t width) {
    const size_t at = out.size();
    for (; number || out.size() - at < width; number >>= 4)
        out.insert(at, 1, L"0123456789abcdef"[number & 15]);
}

// Two digits a byte, 25 to a line, as Registry Editor wraps them.
void AddBytes(std::wstring& out, const std::vector<BYTE>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) out += i % 25 ? L"," : L",\\\r\n  ";
        AddHex(out, bytes[i], 2);
    }
}

void AddData(std::wstring& out, const StoredValue& value) {
    if (Quotable(value)) return AddQuoted(out, Text(value).substr(0, Text(value).size() - 1));
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        DWORD number = 0;
        std::copy(value.data.begin(), value.data.end(), reinterpret_cast<BYTE*>(&number));
        out += L"dword:";
        return AddHex(out, number, 8);
    }
    if (value.type == REG_BINARY) {
        out += L"hex:";
    } else {
        out += L"hex(";
        AddHex(out, value.type, 1);
        out += L"):";
    }
    AddBytes(out, value.data);
}

void AddKey(std::wstring& out, const std::wstring& keyName, const KeyTree& tree) {
    out += L"\r\n[";
    out += keyName;
    out += L"]\r\n";
    for (const StoredValue& value : tree.values) {
        if (value.name.empty())
            out += L'@';
        else
            AddQuoted(out, value.name);
        out += L'=';
        AddData(out, value);
        out += L"\r\n";
    }
    for (const KeyTree& sub : tree.subKeys) AddKey(out, keyName + L'\\' + sub.name, sub);
}

}  // namespace

bool FitsRegFile(const KeyTree& tree) {
    const auto fits = [](const std::wstring& name) {
        return name.find_first_of(L"\r\n") == name.npos;
    };
    return fits(tree.name) && std::ranges::all_of(tree.values, fits, &StoredValue::name) &&
           std::ranges::all_of(tree.subKeys, FitsRegFile);
}

std::wstring RegFileText(const std::wstring& keyName, const KeyTree& tree) {
    std::wstring out = L"Windows Registry Editor Version 5.00\r\n";
    AddKey(out, keyName, tree);
    out += L"\r\n";
    return out;
}

LONG WriteRegFile(const std::wstring& path, const std::wstring& text) noexcept {
    const HANDLE created = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE) return static_cast<LONG>(GetLastError());
    LONG status = ERROR_SUCCESS;
    {
        const UniqueHandle file(created);
        const wchar_t bom = 0xFEFF;
        DWORD written = 0;
        if (!WriteFile(file.get(), &bom, sizeof bom, &written, nullptr) ||
            !WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)),
                       &written, nullptr) ||
            !FlushFileBuffers(file.get()))
            status = static_cast<LONG>(GetLastError());
    }
    // Closed first: the file is not shared, so it could not be removed while open.
    if (status != ERROR_SUCCESS) DeleteFileW(path.c_str());
    return status;
}

#pragma once

#include <windows.h>
#include <wtypes.h>

#include <array>
#include <concepts>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A value read from the registry: nothing at all, or a string.
using RegValue = std::optional<std::wstring>;

// Nothing reads as the empty text.
std::wstring AsText(const RegValue& value);

// Data to write: text, a registry value (nothing writes the empty text) or a number,
// which is written as its decimal text.
class RegData {
  public:
    RegData(const RegValue& value) : text_(AsText(value)) {}
    RegData(const std::wstring& text) : text_(text) {}
    RegData(const wchar_t* text) : text_(text) {}
    template <std::integral Number>
    requires(!std::same_as<Number, bool>) RegData(Number number) : text_(std::to_wstring(number)) {}

    const std::wstring& Text() const noexcept { return text_; }

  private:
    std::wstring text_;
};

// A value as getValues reads it: its name, its type, and its data as text (strings without their
// terminating NUL, other types as enumValues shows them).
struct NamedValue {
    std::wstring name;
    DWORD type = REG_NONE;
    RegValue data;
};

// The rows that enumValues fills: field 1 holds a value's name, field 2 its data text.
// Fields and rows count from 1.
class ValueTable {
  public:
    int Rows() const noexcept { return static_cast<int>(rows_.size()); }
    const RegValue& Cell(int field, int row) const { return rows_.at(Index(row)).at(Index(field)); }
    RegValue& Cell(int field, int row) { return rows_.at(Index(row)).at(Index(field)); }
    void AddRow() { rows_.emplace_back(); }
    void Clear() noexcept { rows_.clear(); }

  private:
    static size_t Index(int oneBased) { return static_cast<size_t>(oneBased - 1); }
    std::vector<std::array<RegValue, 2>> rows_;
};

// An argument that a member may write back to. Given a caller's variable it refers to
// it, so the caller sees what the member copied into it; given a literal or a temporary
// (or nothing) it keeps its own copy.
template <class T>
class InOut {
  public:
    InOut() noexcept(noexcept(T{})) : ref_(own_) {}
    InOut(T& variable) noexcept : ref_(variable) {}
    template <class U>
    requires std::constructible_from<T, U&&> InOut(U&& value)
        : own_(std::forward<U>(value)), ref_(own_) {}
    InOut(const InOut&) = delete;
    InOut& operator=(const InOut&) = delete;

    T& operator*() const noexcept { return ref_; }

  private:
    T own_{};
    T& ref_;
};

// The advapi32 functions that clsRegistry and KeyTree call. Tests replace entries only to make the
// registry fail in ways a real key cannot; the defaults are the real functions.
struct RegistryApi {
    decltype(&::RegOpenKeyExA) OpenKeyEx = ::RegOpenKeyExA;
    decltype(&::RegCreateKeyExA) CreateKeyEx = ::RegCreateKeyExA;
    decltype(&::RegCloseKey) CloseKey = ::RegCloseKey;
    decltype(&::RegDeleteKeyA) DeleteKey = ::RegDeleteKeyA;
    decltype(&::RegDeleteValueA) DeleteValue = ::RegDeleteValueA;
    decltype(&::RegEnumKeyExA) EnumKeyEx = ::RegEnumKeyExA;
    decltype(&::RegQueryValueExA) QueryValueEx = ::RegQueryValueExA;
    decltype(&::RegSetValueExA) SetValueEx = ::RegSetValueExA;
    decltype(&::RegEnumValueA) EnumValue = ::RegEnumValueA;
    // The wide calls that read, delete and write a key whole (registry/KeyTree.h).
    decltype(&::RegOpenKeyExW) OpenKeyExW = ::RegOpenKeyExW;
    decltype(&::RegQueryInfoKeyW) QueryInfoKeyW = ::RegQueryInfoKeyW;
    decltype(&::RegEnumValueW) EnumValueW = ::RegEnumValueW;
    decltype(&::RegEnumKeyExW) EnumKeyExW = ::RegEnumKeyExW;
    decltype(&::RegCreateKeyExW) CreateKeyExW = ::RegCreateKeyExW;
    decltype(&::RegSetValueExW) SetValueExW = ::RegSetValueExW;
    decltype(&::RegDeleteValueW) DeleteValueW = ::RegDeleteValueW;
    decltype(&::RegDeleteKeyW) DeleteKeyW = ::RegDeleteKeyW;
};

RegistryApi& Advapi() noexcept;

// Talvern's only way into the registry. No member throws: every failure becomes the
// member's failure result. A root key of 0 makes a member work on the instance's
// RootKey, SubKey and ValueName instead of its arguments (setValue and SubKeyExists
// excepted). Every member opens at most one key and closes it before it returns.
class clsRegistry {
  public:
    VARIANT_BOOL enumValues(ValueTable& lpValues, LONG& lpSize, InOut<HKEY> hKEY = {},
                            InOut<std::wstring> lpSubKey = {}) noexcept;
    // Every value of one key, read while it is open once; nothing when it cannot be read.
    std::optional<std::vector<NamedValue>> getValues(HKEY hKEY,
                                                     const std::wstring& szSubKey) const noexcept;
    std::vector<std::wstring> enumSubKeys(InOut<HKEY> hKEY = {},
                                          InOut<std::wstring> lpSubKey = {}) noexcept;
    VARIANT_BOOL deleteValueName(InOut<HKEY> hKEY = {}, InOut<std::wstring> lpSubKey = {},
                                 InOut<std::wstring> lpValueName = {}) noexcept;
    VARIANT_BOOL deleteKey(InOut<HKEY> hKEY = {}, InOut<std::wstring> lpSubKey = {}) noexcept;
    VARIANT_BOOL createKey(InOut<HKEY> hKEY = {}, InOut<std::wstring> lpSubKey = {}) noexcept;
    VARIANT_BOOL setValue(HKEY hKEY, const std::wstring& lpSubKey, const std::wstring& lpValueName,
                          const RegData& vValue, DWORD eType) noexcept;
    RegValue getValue(InOut<HKEY> hKEY = {}, InOut<std::wstring> lpSubKey = {},
                      InOut<std::wstring> lpValueName = {}) noexcept;
    DWORD getValueNameType(HKEY hKEY = {}, const std::wstring& szSubKey = {},
                           const std::wstring& szValueName = {}) const noexcept;
    VARIANT_BOOL SubKeyExists(HKEY hKEY = {}, const std::wstring& szSubKey = {}) const noexcept;
    VARIANT_BOOL ValueNameExists(HKEY hKEY = {}, const std::wstring& szSubKey = {},
                                 const std::wstring& szValueName = {}) const noexcept;
    // Whether the key, or where it is not there yet the nearest key above it, lets values be set
    // and keys be made in it: what the key's security says before anything is written.
    VARIANT_BOOL SubKeyWritable(HKEY hKEY, const std::wstring& szSubKey) const noexcept;

    HKEY RootKey() const noexcept { return rootKey_; }
    void RootKey(HKEY eData) noexcept { rootKey_ = eData; }
    const std::wstring& SubKey() const noexcept { return subKey_; }
    void SubKey(std::wstring szData) noexcept { subKey_ = std::move(szData); }
    const std::wstring& ValueName() const noexcept { return valueName_; }
    void ValueName(std::wstring szData) noexcept { valueName_ = std::move(szData); }
    DWORD ValueType() const noexcept { return valueType_; }
    void ValueType(DWORD eData) noexcept { valueType_ = eData; }
    RegValue Value() noexcept;
    void Value(const RegData& vData) noexcept;

    // The system error code of the last createKey, setValue, deleteKey or deleteValueName of this
    // instance that failed, for callers that tell the user why; ERROR_SUCCESS while none has
    // failed. No member's result depends on it.
    LONG LastError() const noexcept { return lastError_; }

  private:
    // Where a member works when its root key is 0 stands for the instance state.
    struct Target {
        HKEY root;
        const std::wstring& path;
        const std::wstring& name;
    };
    // The instance state, copied into the caller's arguments, when the root key is 0.
    void Fallback(HKEY& root, std::wstring& path) const;
    void Fallback(HKEY& root, std::wstring& path, std::wstring& name) const;
    // True for ERROR_SUCCESS; any other code is kept as the last failure.
    bool Succeeded(LONG status) noexcept;
    // The same without touching the caller's arguments.
    Target Resolve(HKEY root, const std::wstring& path, const std::wstring& name) const noexcept;

    HKEY rootKey_ = nullptr;
    std::wstring subKey_;
    std::wstring valueName_;
    DWORD valueType_ = REG_NONE;
    LONG lastError_ = ERROR_SUCCESS;
};

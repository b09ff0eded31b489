#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// A throwaway key for one test, removed before and after it: HKCU\Software\TalvernTests\<name>.
class ScratchKey {
  public:
    explicit ScratchKey(const std::wstring& name);
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    HKEY Root() const { return HKEY_CURRENT_USER; }
    // The key's path below Root(), with "\\" and more appended when given.
    std::wstring Path(const std::wstring& below = {}) const;

  private:
    std::wstring path_;
};

// Reading and writing through the Unicode API, independent of the code under test.
struct RawValue {
    DWORD type = 0;
    std::vector<BYTE> bytes;
    bool operator==(const RawValue&) const = default;
};

bool KeyExists(HKEY root, const std::wstring& path);
void CreateKey(HKEY root, const std::wstring& path);
void SetRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
            const std::vector<BYTE>& bytes);
void SetString(HKEY root, const std::wstring& path, const std::wstring& name,
               const std::wstring& text);
// The value's type and bytes; a type of REG_NONE with no bytes when it is missing.
RawValue GetRaw(HKEY root, const std::wstring& path, const std::wstring& name);
// The names of the direct sub-keys, and of the values, in the registry's enumeration order.
std::vector<std::wstring> SubKeyNames(HKEY root, const std::wstring& path);
std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& path);
// The bytes of single-byte text as given, and of UTF-16 text (with its NUL when withNul).
std::vector<BYTE> Bytes(std::string_view text);
std::vector<BYTE> WideBytes(std::wstring_view text, bool withNul);
void DeleteTree(HKEY root, const std::wstring& path);
// Every key below path with its values, one line each, to compare states of a tree.
std::vector<std::wstring> Snapshot(HKEY root, const std::wstring& path);

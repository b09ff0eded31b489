#pragma once

// A test seam for clsRegistry: while a RegistrySeam lives, Advapi() holds wrappers that
// forward to the functions it held before, record the keys opened and closed, and fail
// on request. The destructor puts the original table back.

#include "registry/clsRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

class RegistrySeam {
  public:
    RegistrySeam() : saved_(Advapi()) {
        current_ = this;
        RegistryApi& api = Advapi();
        api.OpenKeyEx = &OpenKeyEx;
        api.CreateKeyEx = &CreateKeyEx;
        api.CloseKey = &CloseKey;
        api.DeleteKey = &DeleteKey;
        api.DeleteValue = &DeleteValue;
        api.EnumKeyEx = &EnumKeyEx;
        api.QueryValueEx = &QueryValueEx;
        api.SetValueEx = &SetValueEx;
        api.EnumValue = &EnumValue;
    }
    ~RegistrySeam() {
        Advapi() = saved_;
        current_ = nullptr;
    }
    RegistrySeam(const RegistrySeam&) = delete;
    RegistrySeam& operator=(const RegistrySeam&) = delete;

    // Every RegCloseKey still releases the key, then reports code.
    void FailClose(LONG code = ERROR_INVALID_HANDLE) { closeResult_ = code; }
    // RegEnumKeyExA / RegEnumValueA return code at this index, and from it on.
    void FailEnumKeyAt(DWORD index, LONG code = ERROR_ACCESS_DENIED) {
        enumKeyFailAt_ = index;
        enumKeyResult_ = code;
    }
    void FailEnumValueAt(DWORD index, LONG code = ERROR_ACCESS_DENIED) {
        enumValueFailAt_ = index;
        enumValueResult_ = code;
    }
    // RegSetValueExA writes nothing and returns code.
    void FailSetValue(LONG code = ERROR_ACCESS_DENIED) { setValueResult_ = code; }

    // What a call of RegSetValueExA was given: the value name, the type code, and as many
    // bytes of the data as the byte count said.
    struct SetValueCall {
        std::string name;
        DWORD type = 0;
        std::vector<BYTE> bytes;
    };
    const std::vector<SetValueCall>& SetValueCalls() const { return setValueCalls_; }

    // Keys handed out by RegOpenKeyExA and RegCreateKeyExA.
    int Opens() const { return static_cast<int>(opened_.size()); }
    // Calls of RegCloseKey, successful or not.
    int Closes() const { return static_cast<int>(closed_.size()); }
    // The access masks of every open and create call, in order.
    const std::vector<REGSAM>& Access() const { return access_; }

    // Every key that was opened has been closed exactly once, and nothing else was closed.
    ::testing::AssertionResult EveryKeyClosedOnce() const {
        auto opened = opened_;
        auto closed = closed_;
        std::sort(opened.begin(), opened.end());
        std::sort(closed.begin(), closed.end());
        if (opened == closed) return ::testing::AssertionSuccess();
        std::ostringstream out;
        out << "opened " << opened.size() << " key(s) {";
        for (HKEY k : opened) out << ' ' << k;
        out << " } but closed " << closed.size() << " {";
        for (HKEY k : closed) out << ' ' << k;
        out << " }";
        return ::testing::AssertionFailure() << out.str();
    }

  private:
    static RegistrySeam& Current() { return *current_; }

    static LONG WINAPI OpenKeyEx(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
        RegistrySeam& s = Current();
        s.access_.push_back(access);
        const LONG rc = s.saved_.OpenKeyEx(root, path, options, access, key);
        if (rc == ERROR_SUCCESS) s.opened_.push_back(*key);
        return rc;
    }
    static LONG WINAPI CreateKeyEx(HKEY root, LPCSTR path, DWORD reserved, LPSTR keyClass,
                                   DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                                   PHKEY key, LPDWORD disposition) {
        RegistrySeam& s = Current();
        s.access_.push_back(access);
        const LONG rc = s.saved_.CreateKeyEx(root, path, reserved, keyClass, options, access,
                                             security, key, disposition);
        if (rc == ERROR_SUCCESS) s.opened_.push_back(*key);
        return rc;
    }
    static LONG WINAPI CloseKey(HKEY key) {
        RegistrySeam& s = Current();
        s.closed_.push_back(key);
        const LONG rc = s.saved_.CloseKey(key);
        return s.closeResult_ != ERROR_SUCCESS ? s.closeResult_ : rc;
    }
    static LONG WINAPI DeleteKey(HKEY root, LPCSTR path) {
        return Current().saved_.DeleteKey(root, path);
    }
    static LONG WINAPI DeleteValue(HKEY key, LPCSTR name) {
        return Current().saved_.DeleteValue(key, name);
    }
    static LONG WINAPI EnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameLen,
                                 LPDWORD reserved, LPSTR keyClass, LPDWORD classLen,
                                 PFILETIME written) {
        RegistrySeam& s = Current();
        if (index >= s.enumKeyFailAt_) return s.enumKeyResult_;
        return s.saved_.EnumKeyEx(key, index, name, nameLen, reserved, keyClass, classLen, written);
    }
    static LONG WINAPI QueryValueEx(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type,
                                    LPBYTE data, LPDWORD size) {
        return Current().saved_.QueryValueEx(key, name, reserved, type, data, size);
    }
    static LONG WINAPI SetValueEx(HKEY key, LPCSTR name, DWORD reserved, DWORD type,
                                  const BYTE* data, DWORD size) {
        RegistrySeam& s = Current();
        s.setValueCalls_.push_back(
            {name ? name : "", type,
             data ? std::vector<BYTE>(data, data + size) : std::vector<BYTE>{}});
        if (s.setValueResult_ != ERROR_SUCCESS) return s.setValueResult_;
        return s.saved_.SetValueEx(key, name, reserved, type, data, size);
    }
    static LONG WINAPI EnumValue(HKEY key, DWORD index, LPSTR name, LPDWORD nameLen,
                                 LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
        RegistrySeam& s = Current();
        if (index >= s.enumValueFailAt_) return s.enumValueResult_;
        return s.saved_.EnumValue(key, index, name, nameLen, reserved, type, data, size);
    }

    static inline RegistrySeam* current_ = nullptr;

    RegistryApi saved_;
    std::vector<HKEY> opened_;
    std::vector<HKEY> closed_;
    std::vector<REGSAM> access_;
    std::vector<SetValueCall> setValueCalls_;
    LONG closeResult_ = ERROR_SUCCESS;
    DWORD enumKeyFailAt_ = MAXDWORD;
    LONG enumKeyResult_ = ERROR_SUCCESS;
    DWORD enumValueFailAt_ = MAXDWORD;
    LONG enumValueResult_ = ERROR_SUCCESS;
    LONG setValueResult_ = ERROR_SUCCESS;
};

#pragma once

// While a RegistrySeam lives, Advapi() holds wrappers that forward to the functions it held
// before, record the keys opened and closed and what RegSetValueExA was given, and fail on
// request or throw as a failed allocation would. The destructor puts the original table back.

#include "registry/clsRegistry.h"

#include <new>
#include <string>
#include <utility>
#include <vector>

class RegistrySeam {
  public:
    RegistrySeam() : saved_(Advapi()) {
        current_ = this;
        RegistryApi& api = Advapi();
        api.OpenKeyEx = &OpenKeyEx;
        api.CreateKeyEx = &CreateKeyEx;
        api.CloseKey = &CloseKey;
        api.EnumKeyEx = &EnumKeyEx;
        api.EnumValue = &EnumValue;
        api.SetValueEx = &SetValueEx;
        api.QueryValueEx = &QueryValueEx;
        api.DeleteValue = &DeleteValue;
    }
    ~RegistrySeam() { Advapi() = saved_; }
    RegistrySeam(const RegistrySeam&) = delete;
    RegistrySeam& operator=(const RegistrySeam&) = delete;

    std::vector<HKEY> opened;  // keys handed out by RegOpenKeyExA and RegCreateKeyExA
    std::vector<HKEY> closed;  // keys given to RegCloseKey
    // Type and data of each RegSetValueExA call: as many bytes as its byte count said.
    std::vector<std::pair<DWORD, std::string>> sets;
    LONG closeResult = ERROR_SUCCESS;  // RegCloseKey closes the key, then reports this
    LONG setResult = ERROR_SUCCESS;    // RegSetValueExA writes nothing and returns this
    DWORD failIndex = MAXDWORD;        // both enumerations are refused at this index only
    bool throws = false;               // the calls on an open key throw std::bad_alloc

  private:
    static void MayThrow() {
        if (current_->throws) throw std::bad_alloc();
    }
    static LONG WINAPI OpenKeyEx(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
        const LONG rc = current_->saved_.OpenKeyEx(root, path, options, access, key);
        if (rc == ERROR_SUCCESS) current_->opened.push_back(*key);
        return rc;
    }
    static LONG WINAPI CreateKeyEx(HKEY root, LPCSTR path, DWORD reserved, LPSTR keyClass,
                                   DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                                   PHKEY key, LPDWORD disposition) {
        const LONG rc = current_->saved_.CreateKeyEx(root, path, reserved, keyClass, options,
                                                     access, security, key, disposition);
        if (rc == ERROR_SUCCESS) current_->opened.push_back(*key);
        return rc;
    }
    static LONG WINAPI CloseKey(HKEY key) {
        current_->closed.push_back(key);
        const LONG rc = current_->saved_.CloseKey(key);
        return current_->closeResult != ERROR_SUCCESS ? current_->closeResult : rc;
    }
    static LONG WINAPI EnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameLen,
                                 LPDWORD reserved, LPSTR keyClass, LPDWORD classLen,
                                 PFILETIME written) {
        MayThrow();
        if (index == current_->failIndex) return ERROR_ACCESS_DENIED;
        return current_->saved_.EnumKeyEx(key, index, name, nameLen, reserved, keyClass, classLen,
                                          written);
    }
    static LONG WINAPI EnumValue(HKEY key, DWORD index, LPSTR name, LPDWORD nameLen,
                                 LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
        MayThrow();
        if (index == current_->failIndex) return ERROR_ACCESS_DENIED;
        return current_->saved_.EnumValue(key, index, name, nameLen, reserved, type, data, size);
    }
    static LONG WINAPI SetValueEx(HKEY key, LPCSTR name, DWORD reserved, DWORD type,
                                  const BYTE* data, DWORD size) {
        MayThrow();
        current_->sets.emplace_back(type, std::string(reinterpret_cast<const char*>(data), size));
        if (current_->setResult != ERROR_SUCCESS) return current_->setResult;
        return current_->saved_.SetValueEx(key, name, reserved, type, data, size);
    }

    static LONG WINAPI QueryValueEx(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type,
                                    LPBYTE data, LPDWORD size) {
        MayThrow();
        return current_->saved_.QueryValueEx(key, name, reserved, type, data, size);
    }
    static LONG WINAPI DeleteValue(HKEY key, LPCSTR name) {
        MayThrow();
        return current_->saved_.DeleteValue(key, name);
    }

    static inline RegistrySeam* current_ = nullptr;
    RegistryApi saved_;
};

#include "registry/clsRegistry.h"

#include "registry/Ansi.h"

#include <algorithm>
#include <cstring>

namespace {

// Every buffer the registry fills is this size, and names and data that do not fit are
// not read.
constexpr DWORD kBufferSize = 255;

constexpr VARIANT_BOOL Bool(bool value) noexcept { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// Members report failures as results; whatever goes wrong inside becomes the failure result.
template <class Result, class Work>
Result Guarded(Result failure, Work&& work) noexcept {
    try {
        return work();
    } catch (...) {
        return failure;
    }
}

// A key opened for one call. Close() says whether the close succeeded, which members count;
// a key still open when this goes away is closed all the same.
class OpenKey {
  public:
    OpenKey(HKEY root, const std::wstring& path, REGSAM access) {
        HKEY key = nullptr;
        status_ = Advapi().OpenKeyEx(root, ToAnsi(path).c_str(), 0, access, &key);
        if (status_ == ERROR_SUCCESS) key_ = key;
    }
    explicit OpenKey(HKEY created) noexcept : key_(created) {}
    ~OpenKey() {
        if (key_) Advapi().CloseKey(key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    explicit operator bool() const noexcept { return key_ != nullptr; }
    HKEY Get() const noexcept { return key_; }
    // Why the key did not open.
    LONG Status() const noexcept { return status_; }
    bool Close() noexcept { return CloseStatus() == ERROR_SUCCESS; }
    LONG CloseStatus() noexcept { return Advapi().CloseKey(std::exchange(key_, nullptr)); }

  private:
    HKEY key_ = nullptr;
    LONG status_ = ERROR_SUCCESS;
};

struct Query {
    DWORD type = REG_NONE;
    std::string data = std::string(kBufferSize, ' ');
    DWORD size = kBufferSize;
};

// One value read into a blank-filled buffer; nothing when it is missing or does not fit.
std::optional<Query> QueryValue(HKEY key, const std::wstring& name) {
    Query query;
    if (Advapi().QueryValueEx(key, ToAnsi(name).c_str(), nullptr, &query.type,
                              reinterpret_cast<BYTE*>(query.data.data()),
                              &query.size) != ERROR_SUCCESS)
        return std::nullopt;
    return query;
}

// String data without its terminating NUL; data stored without one keeps its last character.
std::wstring StringText(const char* data, DWORD size) {
    if (size > 0 && data[size - 1] == '\0') --size;
    return FromAnsi({data, size});
}

RegValue DataText(DWORD type, const BYTE* data, DWORD size) {
    switch (type) {
        case REG_SZ:
            return StringText(reinterpret_cast<const char*>(data), size);
        case REG_BINARY: {
            static constexpr wchar_t digits[] = L"0123456789ABCDEF";
            std::wstring text;
            for (DWORD i = 0; i < size; ++i) {
                text += digits[data[i] >> 4];
                text += digits[data[i] & 15];
            }
            return text;
        }
        case REG_DWORD: {
            DWORD number = 0;
            std::memcpy(&number, data, std::min<DWORD>(size, sizeof number));
            return std::to_wstring(number);
        }
        default:
            return std::nullopt;
    }
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

}  // namespace

std::wstring AsText(const RegValue& value) { return value.value_or(std::wstring{}); }

RegistryApi& Advapi() noexcept {
    static RegistryApi api;
    return api;
}

void clsRegistry::Fallback(HKEY& root, std::wstring& path) const {
    if (root) return;
    root = rootKey_;
    path = subKey_;
}

void clsRegistry::Fallback(HKEY& root, std::wstring& path, std::wstring& name) const {
    if (root) return;
    Fallback(root, path);
    name = valueName_;
}

bool clsRegistry::Succeeded(LONG status) noexcept {
    if (status != ERROR_SUCCESS) lastError_ = status;
    return status == ERROR_SUCCESS;
}

clsRegistry::Target clsRegistry::Resolve(HKEY root, const std::wstring& path,
                                         const std::wstring& name) const noexcept {
    if (root) return {root, path, name};
    return {rootKey_, subKey_, valueName_};
}

VARIANT_BOOL clsRegistry::enumValues(ValueTable& lpValues, LONG& lpSize, InOut<HKEY> hKEY,
                                     InOut<std::wstring> lpSubKey) noexcept {
    lpValues.Clear();
    const VARIANT_BOOL result = Guarded(VARIANT_FALSE, [&] {
        Fallback(*hKEY, *lpSubKey);
        OpenKey key(*hKEY, *lpSubKey, KEY_QUERY_VALUE);
        if (!key) return VARIANT_FALSE;
        BYTE data[kBufferSize] = {};
        for (DWORD index = 0;; ++index) {
            std::string name(kBufferSize, ' ');
            DWORD nameSize = kBufferSize;
            DWORD dataSize = kBufferSize;
            DWORD type = REG_NONE;
            const LONG status = Advapi().EnumValue(key.Get(), index, name.data(), &nameSize,
                                                   nullptr, &type, data, &dataSize);
            // A value too large to read must not hide the ones after it.
            if (status == ERROR_MORE_DATA) continue;
            if (status != ERROR_SUCCESS) break;
            lpValues.AddRow();
            const int row = lpValues.Rows();
            lpValues.Cell(1, row) = FromAnsi({name.data(), nameSize});
            lpValues.Cell(2, row) = DataText(type, data, dataSize);
            lpSize = row;
        }
        const bool listed = lpValues.Rows() > 0;
        return Bool(key.Close() && listed);
    });
    if (result != VARIANT_TRUE) lpValues.Clear();
    return result;
}

std::optional<std::vector<NamedValue>> clsRegistry::getValues(
    HKEY hKEY, const std::wstring& szSubKey) const noexcept {
    using Values = std::optional<std::vector<NamedValue>>;
    return Guarded<Values>(std::nullopt, [&]() -> Values {
        std::vector<NamedValue> values;
        OpenKey key(hKEY, szSubKey, KEY_QUERY_VALUE);
        if (!key) return std::nullopt;
        BYTE data[kBufferSize] = {};
        for (DWORD index = 0;; ++index) {
            char name[kBufferSize];
            DWORD nameSize = kBufferSize;
            DWORD dataSize = kBufferSize;
            DWORD type = REG_NONE;
            const LONG status = Advapi().EnumValue(key.Get(), index, name, &nameSize, nullptr,
                                                   &type, data, &dataSize);
            if (status == ERROR_MORE_DATA) continue;
            if (status != ERROR_SUCCESS) break;
            const bool text = type == REG_SZ || type == REG_EXPAND_SZ;
            values.push_back({FromAnsi({name, nameSize}), type,
                              text ? StringText(reinterpret_cast<const char*>(data), dataSize)
                                   : DataText(type, data, dataSize)});
        }
        if (!key.Close()) return std::nullopt;
        return values;
    });
}

std::vector<std::wstring> clsRegistry::enumSubKeys(InOut<HKEY> hKEY,
                                                   InOut<std::wstring> lpSubKey) noexcept {
    return Guarded<std::vector<std::wstring>>({}, [&] {
        Fallback(*hKEY, *lpSubKey);
        std::vector<std::wstring> names;
        OpenKey key(*hKEY, *lpSubKey, KEY_READ);
        if (!key) return names;
        for (DWORD index = 0;; ++index) {
            std::string name(kBufferSize, ' ');
            DWORD size = kBufferSize;
            const LONG status = Advapi().EnumKeyEx(key.Get(), index, name.data(), &size, nullptr,
                                                   nullptr, nullptr, nullptr);
            // A name too long to read must not hide the ones after it.
            if (status == ERROR_MORE_DATA) continue;
            if (status != ERROR_SUCCESS) break;
            names.push_back(FromAnsi({name.data(), size}));
        }
        if (!key.Close()) names.clear();
        return names;
    });
}

VARIANT_BOOL clsRegistry::deleteValueName(InOut<HKEY> hKEY, InOut<std::wstring> lpSubKey,
                                          InOut<std::wstring> lpValueName) noexcept {
    return Guarded(VARIANT_FALSE, [&] {
        Fallback(*hKEY, *lpSubKey, *lpValueName);
        OpenKey key(*hKEY, *lpSubKey, KEY_ALL_ACCESS);
        if (!Succeeded(key.Status())) return VARIANT_FALSE;
        const bool deleted =
            Succeeded(Advapi().DeleteValue(key.Get(), ToAnsi(*lpValueName).c_str()));
        const bool closed = key.Close();
        return Bool(deleted && closed);
    });
}

VARIANT_BOOL clsRegistry::deleteKey(InOut<HKEY> hKEY, InOut<std::wstring> lpSubKey) noexcept {
    return Guarded(VARIANT_FALSE, [&] {
        Fallback(*hKEY, *lpSubKey);
        return Bool(Succeeded(Advapi().DeleteKey(*hKEY, ToAnsi(*lpSubKey).c_str())));
    });
}

VARIANT_BOOL clsRegistry::createKey(InOut<HKEY> hKEY, InOut<std::wstring> lpSubKey) noexcept {
    return Guarded(VARIANT_FALSE, [&] {
        Fallback(*hKEY, *lpSubKey);
        SECURITY_ATTRIBUTES security{sizeof security, nullptr, FALSE};
        char noClass[] = "";
        HKEY created = nullptr;
        DWORD disposition = 0;
        if (!Succeeded(Advapi().CreateKeyEx(*hKEY, ToAnsi(*lpSubKey).c_str(), 0, noClass,
                                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, &security,
                                            &created, &disposition)))
            return VARIANT_FALSE;
        return Bool(Succeeded(OpenKey(created).CloseStatus()));
    });
}

VARIANT_BOOL clsRegistry::setValue(HKEY hKEY, const std::wstring& lpSubKey,
                                   const std::wstring& lpValueName, const RegData& vValue,
                                   DWORD eType) noexcept {
    return Guarded(VARIANT_FALSE, [&] {
        OpenKey key(hKEY, lpSubKey, KEY_WRITE);
        if (!Succeeded(key.Status())) return VARIANT_FALSE;
        std::string data = ToAnsi(vValue.Text());
        if (IsStringType(eType)) data.push_back('\0');
        const bool written = Succeeded(Advapi().SetValueEx(
            key.Get(), ToAnsi(lpValueName).c_str(), 0, eType,
            reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size())));
        const bool closed = Succeeded(key.CloseStatus());
        return Bool(written && closed);
    });
}

RegValue clsRegistry::getValue(InOut<HKEY> hKEY, InOut<std::wstring> lpSubKey,
                               InOut<std::wstring> lpValueName) noexcept {
    return Guarded<RegValue>(std::wstring{}, [&]() -> RegValue {
        Fallback(*hKEY, *lpSubKey, *lpValueName);
        OpenKey key(*hKEY, *lpSubKey, KEY_READ);
        if (!key) return std::wstring{};
        const auto query = QueryValue(key.Get(), *lpValueName);
        RegValue result;
        if (!query)
            result = std::wstring{};
        else if (query->type == REG_SZ)
            result = StringText(query->data.data(), query->size);
        else if (query->type <= REG_RESOURCE_LIST)
            // Other types come back raw: the data and the rest of the blank-filled buffer.
            result = FromAnsi(query->data);
        if (!key.Close()) return std::wstring{};
        return result;
    });
}

DWORD clsRegistry::getValueNameType(HKEY hKEY, const std::wstring& szSubKey,
                                    const std::wstring& szValueName) const noexcept {
    return Guarded<DWORD>(REG_NONE, [&]() -> DWORD {
        const Target target = Resolve(hKEY, szSubKey, szValueName);
        OpenKey key(target.root, target.path, KEY_READ);
        if (!key) return REG_NONE;
        const auto query = QueryValue(key.Get(), target.name);
        const DWORD type = query && query->type <= REG_RESOURCE_LIST ? query->type : REG_NONE;
        return key.Close() ? type : REG_NONE;
    });
}

VARIANT_BOOL clsRegistry::SubKeyExists(HKEY hKEY, const std::wstring& szSubKey) const noexcept {
    return Guarded(VARIANT_FALSE, [&] {
        OpenKey key(hKEY, szSubKey, KEY_READ);
        return Bool(key && key.Close());
    });
}

VARIANT_BOOL clsRegistry::ValueNameExists(HKEY hKEY, const std::wstring& szSubKey,
                                          const std::wstring& szValueName) const noexcept {
    return Guarded(VARIANT_FALSE, [&] {
        const Target target = Resolve(hKEY, szSubKey, szValueName);
        OpenKey key(target.root, target.path, KEY_READ);
        if (!key) return VARIANT_FALSE;
        const bool found = QueryValue(key.Get(), target.name).has_value();
        const bool closed = key.Close();
        return Bool(found && closed);
    });
}

VARIANT_BOOL clsRegistry::SubKeyWritable(HKEY hKEY, const std::wstring& szSubKey) const noexcept {
    return Guarded(VARIANT_FALSE, [&] {
        for (std::wstring path = szSubKey;;) {
            OpenKey key(hKEY, path, KEY_SET_VALUE | KEY_CREATE_SUB_KEY);
            if (key.Status() != ERROR_FILE_NOT_FOUND || path.empty())
                return Bool(key && key.Close());
            const size_t up = path.rfind(L'\\');
            path.resize(up == std::wstring::npos ? 0 : up);
        }
    });
}

RegValue clsRegistry::Value() noexcept { return getValue(rootKey_, subKey_, valueName_); }

void clsRegistry::Value(const RegData& vData) noexcept {
    setValue(rootKey_, subKey_, valueName_, vData, valueType_);
}

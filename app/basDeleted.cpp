#include "app/basDeleted.h"

#include "registry/RegFile.h"

#include <algorithm>
#include <cwchar>
#include <new>

std::wstring DeletedViewersFolder() {
    wchar_t base[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", base, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::wstring(base, length) + L"\\Talvern\\Deleted viewers";
}

std::wstring DeletedCopyPath(const std::wstring& folder, const std::wstring& key,
                             const SYSTEMTIME& now, int copy) {
    // Built piece by piece: concatenated, it would add kilobytes of inlined code to the program.
    std::wstring stamp = L" 0000-00-00 00.00.00.reg";
    for (auto [at, number] : {std::pair{4, now.wYear},
                              {7, now.wMonth},
                              {10, now.wDay},
                              {13, now.wHour},
                              {16, now.wMinute},
                              {19, now.wSecond}})
        for (int digit = at; number > 0; number /= 10) stamp[digit--] = L'0' + number % 10;
    if (copy > 1) stamp.insert(stamp.size() - 4, L" (" + std::to_wstring(copy) + L")");
    std::wstring path = folder;
    path += L'\\';
    for (const wchar_t c : key) path += c < L' ' || std::wcschr(L"<>:\"/\\|?*", c) ? L'_' : c;
    // MAX_PATH holds the NUL. Any folder the copies can go to leaves less than 255 characters
    // for the file's name.
    const size_t nameEnd = std::min(path.size(), MAX_PATH - 1 - stamp.size());
    path.resize(std::max(nameEnd, folder.size() + 1));
    if (IS_HIGH_SURROGATE(path.back())) path.pop_back();
    return path += stamp;
}

LONG WriteDeletedCopy(const std::wstring& folder, Hive hive, const std::wstring& key,
                      const KeyTree& viewer, std::wstring& file) noexcept {
    if (folder.empty()) return ERROR_ENVVAR_NOT_FOUND;
    if (!FitsRegFile(viewer)) return ERROR_INVALID_NAME;
    try {
        CreateDirectoryW(folder.substr(0, folder.rfind(L'\\')).c_str(), nullptr);
        CreateDirectoryW(folder.c_str(), nullptr);
        SYSTEMTIME now;
        GetLocalTime(&now);
        const std::wstring text = RegFileText(FullVerbKey(hive, key), viewer);
        // Another copy of the same key within the same second is numbered, never written over.
        LONG status = ERROR_FILE_EXISTS;
        for (int copy = 1; status == ERROR_FILE_EXISTS && copy < 100; ++copy)
            status = WriteRegFile(file = DeletedCopyPath(folder, key, now, copy), text);
        return status;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

// Stands in for the browser and the mail program in the About window's tests: appends what the
// shell starts it with, after the record file's name, to that file as one line of UTF-16.
//
//     about_link_recorder.exe RECORD-FILE ADDRESS...

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <type_traits>

namespace {

struct LocalFree_ {
    void operator()(LPWSTR* memory) const noexcept { LocalFree(memory); }
};
struct CloseHandle_ {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int count = 0;
    const std::unique_ptr<LPWSTR, LocalFree_> args(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!args || count < 2) return 1;
    std::wstring line;
    for (int i = 2; i < count; ++i) line += (i > 2 ? L" " : L"") + std::wstring(args.get()[i]);
    line += L"\n";

    const HANDLE opened =
        CreateFileW(args.get()[1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return 1;
    const std::unique_ptr<std::remove_pointer_t<HANDLE>, CloseHandle_> file(opened);
    DWORD written = 0;
    const auto bytes = static_cast<DWORD>(line.size() * sizeof(wchar_t));
    return WriteFile(file.get(), line.data(), bytes, &written, nullptr) && written == bytes ? 0 : 1;
}

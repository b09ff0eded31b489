// Stands in for the browser and the mail program in the About window's tests: appends the
// address the shell starts it with to the record file, one line per start.
//
//     about_link_recorder.exe RECORD-FILE ADDRESS

#include <windows.h>

#include <memory>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) return 1;
    // Appending in one write keeps the lines of starts at the same moment apart.
    const HANDLE opened = CreateFileA(argv[1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return 1;
    const std::unique_ptr<void, decltype(&CloseHandle)> file(opened, &CloseHandle);
    const std::string line = std::string(argv[2]) + "\n";
    DWORD written = 0;
    return WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr)
               ? 0
               : 1;
}

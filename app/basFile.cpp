#include "app/basFile.h"

#include <commdlg.h>

#include <cstddef>

#include "registry/Ansi.h"
#include "ui/SystemFunction.h"

namespace {

// OPENFILENAME_SIZE_VERSION_400A: the record up to lpTemplateName, without the members that
// Windows 2000 appended.
constexpr DWORD kRecordSize = offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR);
// 76 bytes in the 32-bit program; the 64-bit build that tests run on some hosts has wider pointers.
static_assert(sizeof(void*) != 4 || kRecordSize == 76,
              "the 76-byte OPENFILENAMEA, without the Windows 2000 members");

constexpr DWORD kBufferChars = 1024;
constexpr DWORD kOpenFlags = OFN_HIDEREADONLY;                 // 0x4
constexpr DWORD kSaveFlags = OFN_EXPLORER | OFN_HIDEREADONLY;  // 0x80004

using DialogCall = decltype(&::GetOpenFileNameA);

// The members of OPENFILENAMEA that ShowFileDialog sets, its text held as program strings.
// Every other member of the record stays zero or null.
struct FileDialogRecord {
    HWND owner = nullptr;
    HINSTANCE instance = nullptr;
    std::wstring filter;
    DWORD filterIndex = 0;
    std::wstring file;
    DWORD maxFile = 0;
    std::wstring fileTitle;
    DWORD maxFileTitle = 0;
    std::wstring initialDir;
    std::wstring title;
    DWORD flags = 0;
};

// An ANSI text buffer of at least `size` bytes, the text converted at its full length.
std::string AnsiBuffer(const std::wstring& text, DWORD size) {
    std::string out = ToAnsi(text);
    if (out.size() < size) out.resize(size, '\0');
    return out;
}

// Makes the ANSI copy of the record, shows the dialog with it, and converts the copy back
// into the record. The copy's buffers live until this returns, on every path. Without the
// dialog nothing is chosen.
BOOL CallWithAnsiRecord(FileDialogRecord& record, DialogCall dialog) {
    if (!dialog) return FALSE;
    // std::string keeps a NUL after its last character, so the filter "a\0b\0" ends with
    // the double NUL the dialog looks for.
    const std::string filter = ToAnsi(record.filter);
    std::string file = AnsiBuffer(record.file, record.maxFile);
    std::string fileTitle = AnsiBuffer(record.fileTitle, record.maxFileTitle);
    const std::string initialDir = ToAnsi(record.initialDir);
    const std::string title = ToAnsi(record.title);

    OPENFILENAMEA ofn{};
    ofn.lStructSize = kRecordSize;
    ofn.hwndOwner = record.owner;
    ofn.hInstance = record.instance;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = record.filterIndex;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = record.maxFile;
    ofn.lpstrFileTitle = fileTitle.data();
    ofn.nMaxFileTitle = record.maxFileTitle;
    ofn.lpstrInitialDir = initialDir.c_str();
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = record.flags;

    const BOOL chosen = dialog(&ofn);

    record.file = FromAnsi(file);
    record.fileTitle = FromAnsi(fileTitle);
    return chosen;
}

}  // namespace

std::wstring ShowFileDialog(HWND owner, short mode, const std::wstring& title,
                            const std::wstring& filterDescription,
                            const std::wstring& filterPattern, const std::wstring& initialDir,
                            const std::wstring& defaultResult) {
    FileDialogRecord record;
    record.owner = owner;
    record.instance = GetModuleHandleW(nullptr);
    record.filter = filterDescription + L'\0' + filterPattern + L'\0';
    record.filterIndex = 1;
    record.file.assign(kBufferChars, L'\0');
    record.maxFile = kBufferChars;
    record.fileTitle = record.file;
    record.maxFileTitle = record.maxFile;
    record.initialDir = initialDir;
    record.title = title;

    BOOL chosen = FALSE;
    if (mode == 1) {
        record.flags = kOpenFlags;
        static const auto open = SYSTEM_FUNCTION(L"comdlg32.dll", GetOpenFileNameA);
        chosen = CallWithAnsiRecord(record, open);
    } else if (mode == 2) {
        record.flags = kSaveFlags;
        static const auto save = SYSTEM_FUNCTION(L"comdlg32.dll", GetSaveFileNameA);
        chosen = CallWithAnsiRecord(record, save);
    }
    return chosen ? StripNulls(record.file) : defaultResult;
}

std::wstring StripNulls(std::wstring text) {
    const auto nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.erase(nul);
    return text;
}

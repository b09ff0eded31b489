// Talvern.exe as it ships: the DLL functions it imports, and the program run as a user runs it.

#include "app/frmMain.h"
#include "tests/testing/Wait.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <dlgs.h>

#include <filesystem>

namespace {

using enum frmMain::Control;

// What lies at an offset into the mapped image.
template <class T>
const T* At(const BYTE* base, DWORD offset) {
    return reinterpret_cast<const T*>(base + offset);
}

// Each function imported, read from 32-bit headers whatever this process's width, is looked up.
TEST(TalvernExe, ImportsOnlyFunctionsItsSystem32DllsProvide) {
    const std::wstring exe = std::filesystem::path(TALVERN_SHIPPED_EXE).make_preferred().wstring();
    // Mapped as the loader maps it, never run; the handle's low bits say how it was loaded.
    const HMODULE module = LoadLibraryExW(
        exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_TRUE(module);
    const auto* base = reinterpret_cast<const BYTE*>(ULONG_PTR(module) & ~ULONG_PTR{3});
    const auto& headers =
        At<IMAGE_NT_HEADERS32>(base, At<IMAGE_DOS_HEADER>(base, 0)->e_lfanew)->OptionalHeader;
    ASSERT_EQ(headers.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    const auto& imports = headers.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = At<IMAGE_IMPORT_DESCRIPTOR>(base, imports.VirtualAddress);
         imports.Size && entry->Name; ++entry) {
        const char* dll = At<char>(base, entry->Name);
        const HMODULE system = LoadLibraryExA(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        ASSERT_TRUE(system) << dll;
        for (auto* thunk = At<IMAGE_THUNK_DATA32>(base, entry->OriginalFirstThunk);
             const DWORD data = thunk->u1.AddressOfData; ++thunk) {
            const char* name = data & IMAGE_ORDINAL_FLAG32
                                   ? MAKEINTRESOURCEA(data & 0xFFFF)
                                   : At<IMAGE_IMPORT_BY_NAME>(base, data)->Name;
            EXPECT_TRUE(GetProcAddress(system, name))
                << dll << " " << (IS_INTRESOURCE(name) ? "by ordinal" : name);
        }
    }
}

// The shown top-level window of that class and title, once it is there (a few seconds at most).
HWND Shown(const wchar_t* className, const wchar_t* title) {
    HWND window = nullptr;
    WaitUntil([&] { return IsWindowVisible(window = FindWindowW(className, title)); }, 5);
    return window;
}

void Click(HWND window, int id) { PostMessageW(window, WM_COMMAND, id, 0); }

// Ends the program when the case did not: a failed step must not leave it running.
struct Started : PROCESS_INFORMATION {
    ~Started() { TerminateProcess(hProcess, 1), CloseHandle(hThread), CloseHandle(hProcess); }
};

// A message to a window of the program: one that hangs fails the case instead of stalling it.
void Send(HWND window, UINT message, WPARAM wParam, const void* data) {
    DWORD_PTR result = 0;
    EXPECT_TRUE(SendMessageTimeoutW(window, message, wParam, reinterpret_cast<LPARAM>(data),
                                    SMTO_NORMAL, Seconds(5), &result))
        << "no answer to message " << message;
}

TEST(TalvernExe, BrowsesOpensAboutOutlivesItsMainWindowAndEndsWithCodeZeroWithTheLast) {
    const auto exe = std::filesystem::path(TALVERN_EXE).make_preferred();
    STARTUPINFOW startup{sizeof startup};
    Started started{};
    // Started in the tests' folder, with no folder remembered from an earlier run: the Open
    // dialog must open in the program's folder instead.
    RegDeleteTreeW(HKEY_CURRENT_USER,
                   L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32");
    ASSERT_TRUE(CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &started));
    const HWND main = Shown(L"TalvernMain", L"Talvern 3.0");
    ASSERT_TRUE(main) << "no main window";
    Click(main, cmdAdd);
    HWND path = nullptr;  // made by Add New
    ASSERT_TRUE(
        WaitUntil([&] { return path = GetDlgItem(GetDlgItem(main, Frame2), txtFilePath); }, 5));
    Send(path, WM_SETTEXT, 0, L"C:\\typed.exe");
    for (bool choose : {false, true}) {
        Click(main, cmdBrowse);
        const HWND dialog = Shown(L"#32770", L"Select the Executable");
        ASSERT_TRUE(dialog) << "no Open dialog";
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), main);
        // Cancel keeps what was typed; a bare name is taken from the folder the dialog shows.
        if (choose) Send(GetDlgItem(dialog, cmb13), WM_SETTEXT, 0, L"chosen.exe");
        Click(dialog, choose ? IDOK : IDCANCEL);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 5)) << "the dialog stays";
        wchar_t text[MAX_PATH] = {};
        Send(path, WM_GETTEXT, MAX_PATH, text);
        EXPECT_EQ(text, choose ? (exe.parent_path() / L"chosen.exe").wstring() : L"C:\\typed.exe");
    }
    Click(main, cmdAbout);
    const HWND about = Shown(L"TalvernAbout", L"Talvern - About");
    ASSERT_TRUE(about) << "no About window";
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(main); }, 5));
    EXPECT_EQ(WaitForSingleObject(started.hProcess, Seconds(1)), WAIT_TIMEOUT) << "ended with it";
    PostMessageW(about, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(started.hProcess, Seconds(5)), WAIT_OBJECT_0) << "still running";
    DWORD exitCode = STILL_ACTIVE;
    EXPECT_TRUE(GetExitCodeProcess(started.hProcess, &exitCode) && !exitCode) << exitCode;
}

}  // namespace

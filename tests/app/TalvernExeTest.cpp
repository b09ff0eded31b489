// Talvern.exe run as a user runs it.

#include "app/frmMain.h"
#include "tests/testing/Wait.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <dlgs.h>

#include <filesystem>

namespace {

using enum frmMain::Control;

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

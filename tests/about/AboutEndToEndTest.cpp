// The built Talvern.exe with its About window open: the two windows are independent of each
// other, and the program ends with the last of them.

#include "app/frmMain.h"

#include "tests/about/AboutTesting.h"
#include "tests/testing/Dialogs.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Process {
    PROCESS_INFORMATION info{};

    ~Process() {
        if (!info.hProcess) return;
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    bool Running() const { return WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT; }
};

HWND WindowCaptioned(DWORD processId, const std::wstring& caption) {
    for (HWND window : VisibleWindowsOfProcess(processId))
        if (WindowText(window) == caption) return window;
    return nullptr;
}

// Whether `upper` lies above `lower` among the top-level windows.
bool Above(HWND upper, HWND lower) {
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
        if (window == upper) return true;
        if (window == lower) return false;
    }
    return false;
}

TEST(AboutEndToEnd, TheProgramEndsWhenTheAboutWindowClosesAfterTheMainWindow) {
    Process talvern;
    STARTUPINFOW startup{sizeof startup};
    std::wstring commandLine = L"\"" + TalvernPath() + L"\"";
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &talvern.info))
        << GetLastError();
    const DWORD id = talvern.info.dwProcessId;

    HWND main = nullptr;
    ASSERT_TRUE(
        PumpUntil([&] { return (main = WindowCaptioned(id, L"Talvern 3.0")) != nullptr; }, 20s));
    const HWND aboutButton = GetDlgItem(GetDlgItem(main, frmMain::Frame1), frmMain::cmdAbout);
    ASSERT_TRUE(aboutButton);
    const auto pressAbout = [&] {
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(frmMain::cmdAbout, BN_CLICKED),
                     reinterpret_cast<LPARAM>(aboutButton));
    };

    pressAbout();
    HWND about = nullptr;
    ASSERT_TRUE(
        PumpUntil([&] { return (about = WindowCaptioned(id, L"Talvern - About")) != nullptr; }));
    pressAbout();
    PumpUntil([] { return false; }, 300ms);
    EXPECT_EQ(VisibleWindowsOfProcess(id).size(), 2u) << "About pressed twice";

    // Modeless and not the main window's: the main window takes input and can cover it.
    EXPECT_NE(GetWindow(about, GW_OWNER), main);
    EXPECT_TRUE(IsWindowEnabled(main));
    SetWindowPos(main, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_TRUE(PumpUntil([&] { return Above(main, about); }, 2s))
        << "the About window stays on top";

    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(main); }));
    PumpUntil([] { return false; }, 500ms);
    EXPECT_TRUE(talvern.Running()) << "ended with the About window open";
    EXPECT_TRUE(IsWindowVisible(about));

    PostMessageW(about, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(talvern.info.hProcess, 10000), WAIT_OBJECT_0)
        << "still running with no window";
    DWORD exitCode = 1;
    GetExitCodeProcess(talvern.info.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace

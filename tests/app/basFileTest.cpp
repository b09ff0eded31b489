// The executable picker with the real common dialog, read and answered from a watcher thread
// while the test's thread is inside ShowFileDialog; StripNulls and AddBackslash.

#include "app/basFile.h"
#include "app/basMain.h"
#include "tests/testing/Dialogs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

TEST(StripNullsTest, KeepsTheTextBeforeTheFirstNul) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"abc\0def"s, L"abc"},
        {L"\0abc"s, L""},
        {L"abc", L"abc"},
        {L"", L""},
        {L"C:\\x.exe" + std::wstring(1000, L'\0'), L"C:\\x.exe"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(StripNulls(text), expected);
}

TEST(AddBackslashTest, AppendsOneUnlessThePathEndsInOne) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\Program Files", L"C:\\Program Files\\"},
        {L"C:\\", L"C:\\"},
        {L"", L"\\"},
        {L"C:/tools/", L"C:/tools/\\"},
    };
    for (const auto& [path, expected] : cases) EXPECT_EQ(AddBackslash(path), expected);
}

class ShowFileDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir_);
        CloseHandle(CreateFileW(file_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    }

    void TearDown() override {
        // Choosing a file moves the current directory there, which would keep it from going.
        fs::current_path(cwd_);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
        DestroyWindow(owner_);
    }

    // The dialog of the mode, each one shown answered with `answer`; its result.
    std::wstring Show(short mode, const std::wstring& defaultResult,
                      const DialogWatcher::Answer& answer, int dialogs = 1) {
        DialogWatcher watcher(answer);
        const std::wstring result =
            ShowFileDialog(owner_, mode, L"Select the Executable", L"All Files (*.*)", L"*.*",
                           dir_.wstring() + L"\\", defaultResult);
        EXPECT_EQ(watcher.Finish(), dialogs) << "mode " << mode;
        return result;
    }

    const HWND owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                        nullptr, nullptr, nullptr, nullptr);
    const fs::path cwd_ = fs::current_path();
    const fs::path dir_ =
        fs::temp_directory_path() / (L"Talvern picker " + std::to_wstring(GetCurrentProcessId()));
    const std::wstring file_ = (dir_ / L"tool.exe").wstring();
};

TEST_F(ShowFileDialogTest, CancelReturnsTheDefaultExactly) {
    const auto cancel = [](HWND dialog) { PressButton(dialog, IDCANCEL); };
    for (const std::wstring& defaultResult :
         {L""s, L"C:\\Prog Files\\Caf\u00E9.exe"s, L"D:\\\u03A9mega\\t\u0151\u0151l.exe"s})
        EXPECT_EQ(Show(1, defaultResult, cancel), defaultResult);
}

TEST_F(ShowFileDialogTest, OtherModesShowNoDialog) {
    const auto cancel = [](HWND dialog) { PressButton(dialog, IDCANCEL); };
    for (short mode : std::initializer_list<short>{0, 3, -1})
        EXPECT_EQ(Show(mode, L"C:\\keep.exe", cancel, 0), L"C:\\keep.exe");
}

TEST_F(ShowFileDialogTest, ChosenFileComesBackAsItsFullPath) {
    for (const auto& [mode, okText] :
         {std::pair<short, std::wstring>{1, L"&Open"}, {2, L"&Save"}}) {
        std::wstring shown;
        EXPECT_EQ(Show(mode, L"C:\\default.exe",
                       [&](HWND dialog) {
                           shown = ReadFileDialog(dialog).okText;
                           ChooseFile(dialog, file_);
                       }),
                  file_);
        EXPECT_EQ(shown, okText);
    }
}

}  // namespace

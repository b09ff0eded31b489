// The shared watcher of tests/testing/Dialogs.h, on real message boxes: the main window's
// tests rely on it to read and answer theirs.

#include "tests/testing/Dialogs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

class DialogWatcherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        owner_ = CreateWindowExW(0, L"STATIC", L"Talvern dialog test", WS_OVERLAPPEDWINDOW, 0, 0,
                                 300, 200, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override {
        if (owner_) DestroyWindow(owner_);
    }
    HWND owner_ = nullptr;
};

TEST_F(DialogWatcherTest, ReadsAndAnswersAQuestion) {
    MessageBoxView view;
    DialogWatcher watcher([&](HWND dialog) {
        view = ReadMessageBox(dialog);
        PressButton(dialog, IDYES);
    });
    const int answer = MessageBoxW(owner_, L"Delete it?\r\rname = C:\\x.exe", L"Confirm Delete..",
                                   MB_YESNO | MB_ICONQUESTION);
    ASSERT_EQ(watcher.Finish(), 1) << watcher.Report();
    EXPECT_TRUE(watcher.Problems().empty()) << watcher.Report();
    EXPECT_EQ(answer, IDYES);
    EXPECT_EQ(view.owner, owner_);
    EXPECT_EQ(view.title, L"Confirm Delete..");
    EXPECT_EQ(view.text, L"Delete it?\r\rname = C:\\x.exe");
    EXPECT_EQ(view.icon, LoadIcon(nullptr, IDI_QUESTION));
    EXPECT_EQ(view.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(view.defaultButton, IDYES);
}

TEST_F(DialogWatcherTest, PressesOnlyButtonsTheBoxShows) {
    MessageBoxView view;
    bool pressedYes = true;
    bool pressedOk = false;
    DialogWatcher watcher([&](HWND dialog) {
        view = ReadMessageBox(dialog);
        pressedYes = PressButton(dialog, IDYES);
        pressedOk = PressButton(dialog, IDOK);
    });
    const int answer = MessageBoxW(owner_, L"Not a Valid Name!", L"Talvern", MB_ICONINFORMATION);
    ASSERT_EQ(watcher.Finish(), 1) << watcher.Report();
    EXPECT_FALSE(pressedYes);
    EXPECT_TRUE(pressedOk);
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(view.icon, LoadIcon(nullptr, IDI_INFORMATION));
    EXPECT_EQ(view.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(view.defaultButton, IDOK);
}

TEST_F(DialogWatcherTest, AnswersDialogsInTurn) {
    std::vector<std::wstring> texts;
    const auto answer = [&](int button) {
        return [&texts, button](HWND dialog) {
            texts.push_back(ReadMessageBox(dialog).text);
            PressButton(dialog, button);
        };
    };
    DialogWatcher watcher({answer(IDNO), answer(IDOK)});
    const int first = MessageBoxW(owner_, L"first", L"1", MB_YESNO);
    const int second = MessageBoxW(owner_, L"second", L"2", MB_OK);
    ASSERT_EQ(watcher.Finish(), 2) << watcher.Report();
    EXPECT_EQ(first, IDNO);
    EXPECT_EQ(second, IDOK);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"first", L"second"}));
}

// An answer that does not close the box must fail the test, not hang it.
TEST_F(DialogWatcherTest, ClosesADialogLeftOpenAndReportsIt) {
    DialogWatcher watcher([](HWND) {}, std::chrono::milliseconds(300));
    const int answer = MessageBoxW(owner_, L"left open", L"stuck", MB_YESNO);
    EXPECT_EQ(watcher.Finish(), 0);
    EXPECT_EQ(answer, IDCANCEL);
    ASSERT_EQ(watcher.Problems().size(), 2u) << watcher.Report();
    EXPECT_NE(watcher.Problems()[0].find("still open"), std::string::npos) << watcher.Report();
    EXPECT_NE(watcher.Problems()[1].find("\"stuck\" saying \"left open\""), std::string::npos)
        << watcher.Report();
}

TEST_F(DialogWatcherTest, FinishDoesNotWaitForADialogThatNeverCame) {
    const auto start = std::chrono::steady_clock::now();
    DialogWatcher watcher([](HWND dialog) { PressButton(dialog, IDOK); });
    EXPECT_EQ(watcher.Finish(), 0);
    EXPECT_TRUE(watcher.Problems().empty()) << watcher.Report();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

}  // namespace

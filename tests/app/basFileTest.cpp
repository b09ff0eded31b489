// ShowFileDialog and StripNulls, with the real common dialog under Wine: a watcher
// thread reads and answers the dialog while the test's thread is inside ShowFileDialog.

#include "app/basFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "tests/testing/Dialogs.h"

namespace {

using namespace std::string_literals;

// What Browse passes, but for the initial directory.
const std::wstring kTitle = L"Select the Executable";
const std::wstring kDescription = L"All Files (*.*)";
const std::wstring kPattern = L"*.*";

// A window to own the dialog, and a directory of its own to start the dialog in: its name has
// a blank and a character beyond ASCII that the ANSI code page (1252) holds.
class ShowFileDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        owner_ = CreateWindowExW(0, L"STATIC", L"Talvern picker test", WS_OVERLAPPEDWINDOW, 0, 0,
                                 300, 200, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(owner_, nullptr);
        originalDir_ = std::filesystem::current_path();
        wchar_t temp[MAX_PATH] = {};
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        dir_ = std::filesystem::path(temp) /
               (L"Talvern picker \u00E9 " + std::to_wstring(GetCurrentProcessId()));
        std::filesystem::remove_all(dir_);
        ASSERT_TRUE(std::filesystem::create_directory(dir_));
    }

    void TearDown() override {
        // The dialog moves the current directory to where the chosen file is, which would keep
        // the directory from being removed.
        std::filesystem::current_path(originalDir_);
        std::error_code error;
        std::filesystem::remove_all(dir_, error);
        EXPECT_FALSE(error) << error.message();
        if (owner_) DestroyWindow(owner_);
    }

    // The directory, ending in a backslash as AddBackslash makes it.
    std::wstring Dir() const { return dir_.wstring() + L"\\"; }

    // Creates an empty file in the directory; returns its full path.
    std::wstring MakeFile(const std::wstring& name) const {
        const std::wstring path = Dir() + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE) << "cannot create the test file";
        CloseHandle(file);
        return path;
    }

    std::wstring Show(short mode, const std::wstring& defaultResult,
                      const std::wstring& title = kTitle,
                      const std::wstring& description = kDescription,
                      const std::wstring& pattern = kPattern) const {
        return ShowFileDialog(owner_, mode, title, description, pattern, Dir(), defaultResult);
    }

    HWND owner_ = nullptr;
    std::filesystem::path originalDir_;
    std::filesystem::path dir_;
};

TEST(StripNullsTest, KeepsTheTextBeforeTheFirstNul) {
    const struct {
        std::wstring text;
        std::wstring expected;
    } cases[] = {
        {L"abc\0def"s, L"abc"},
        {L"\0abc"s, L""},
        {L"abc", L"abc"},
        {L"", L""},
        {L"C:\\Tools\\x.exe" + std::wstring(1000, L'\0'), L"C:\\Tools\\x.exe"},
        {std::wstring(1024, L'\0'), L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StripNulls(c.text), c.expected) << "text of " << c.text.size() << " chars";
    }
}

// Cancel and the close box.
struct CancelCase {
    const char* name;
    short mode;
    std::wstring defaultResult;
    bool closeBox;
};

void PrintTo(const CancelCase& c, std::ostream* os) { *os << c.name; }

class ShowFileDialogCancel : public ShowFileDialogTest,
                             public ::testing::WithParamInterface<CancelCase> {};

TEST_P(ShowFileDialogCancel, ReturnsTheDefaultUnchanged) {
    const CancelCase& c = GetParam();
    bool pressed = true;
    DialogWatcher watcher([&](HWND dialog) {
        if (c.closeBox) {
            CloseDialog(dialog);
        } else {
            pressed = PressButton(dialog, IDCANCEL);
        }
    });
    const std::wstring result = Show(c.mode, c.defaultResult);
    ASSERT_EQ(watcher.Finish(), 1) << watcher.Report();
    EXPECT_TRUE(pressed);
    EXPECT_EQ(result, c.defaultResult);
}

INSTANTIATE_TEST_SUITE_P(
    Picker, ShowFileDialogCancel,
    ::testing::Values(CancelCase{"OpenEmptyDefault", 1, L"", false},
                      CancelCase{"OpenPathDefault", 1, L"C:\\Prog Files\\Caf\u00E9.exe", false},
                      CancelCase{"OpenCloseBox", 1, L"C:\\Prog Files\\Caf\u00E9.exe", true},
                      // Beyond the ANSI code page: the default must not go through it.
                      CancelCase{"OpenDefaultBeyondAnsi", 1, L"D:\\\u03A9mega\\t\u0151\u0151l.exe",
                                 false},
                      CancelCase{"SaveDefault", 2, L"C:\\Prog Files\\Caf\u00E9.exe", false}),
    [](const auto& param) { return std::string(param.param.name); });

class ShowFileDialogOtherModes : public ShowFileDialogTest,
                                 public ::testing::WithParamInterface<short> {};

TEST_P(ShowFileDialogOtherModes, ShowNoDialogAndReturnTheDefault) {
    // A wrongly shown dialog blocks the call until the watcher cancels it.
    DialogWatcher watcher([](HWND dialog) { PressButton(dialog, IDCANCEL); },
                          std::chrono::seconds(3));
    const auto start = std::chrono::steady_clock::now();
    const std::wstring result = Show(GetParam(), L"C:\\keep me\\Caf\u00E9.exe");
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(watcher.Finish(), 0) << "a dialog was shown\n" << watcher.Report();
    EXPECT_EQ(result, L"C:\\keep me\\Caf\u00E9.exe");
    EXPECT_LT(took, std::chrono::milliseconds(500));
}

INSTANTIATE_TEST_SUITE_P(Picker, ShowFileDialogOtherModes,
                         ::testing::Values(short{0}, short{3}, short{-1}, short{257}),
                         [](const auto& param) {
                             return param.param < 0 ? "Minus" + std::to_string(-param.param)
                                                    : std::to_string(param.param);
                         });

TEST_F(ShowFileDialogTest, OpenDialogShowsWhatItIsGiven) {
    MakeFile(L"readme.txt");
    MakeFile(L"tool.exe");
    FileDialogView view;
    DialogWatcher watcher([&](HWND dialog) {
        view = ReadFileDialog(dialog);
        PressButton(dialog, IDCANCEL);
    });
    Show(1, L"C:\\default.exe", kTitle, L"Programs (*.exe)", L"*.exe");
    ASSERT_EQ(watcher.Finish(), 1) << watcher.Report();

    EXPECT_EQ(view.title, kTitle);
    EXPECT_EQ(view.okText, L"&Open");
    EXPECT_EQ(view.owner, owner_);
    EXPECT_FALSE(view.ownerEnabled) << "the owner is not blocked";
    EXPECT_EQ(view.filters, std::vector<std::wstring>{L"Programs (*.exe)"});
    EXPECT_EQ(view.listedItems, 1) << "the pattern *.exe lists tool.exe alone";
    EXPECT_FALSE(view.readOnlyVisible);
    EXPECT_FALSE(view.resizable) << "Flags hold OFN_EXPLORER";
    EXPECT_EQ(view.fileName, L"") << "the default is not shown";
    EXPECT_EQ(view.folder, dir_.wstring());
}

TEST_F(ShowFileDialogTest, ChosenFileComesBackAsItsFullPathAlone) {
    const std::wstring path = MakeFile(L"tool.exe");
    bool pressed = false;
    DialogWatcher watcher([&](HWND dialog) { pressed = ChooseFile(dialog, path); });
    const std::wstring result = Show(1, L"C:\\default.exe");
    ASSERT_EQ(watcher.Finish(), 1) << watcher.Report();
    EXPECT_TRUE(pressed);
    EXPECT_EQ(result, path);
    EXPECT_EQ(result.size(), path.size());
    EXPECT_EQ(result.find(L'\0'), std::wstring::npos);
}

TEST_F(ShowFileDialogTest, NonAsciiNameTypedInTheInitialDirectoryComesBackUnchanged) {
    const std::wstring path = MakeFile(L"Caf\u00E9.exe");
    DialogWatcher watcher([&](HWND dialog) { ChooseFile(dialog, L"Caf\u00E9.exe"); });
    const std::wstring result = Show(1, L"");
    ASSERT_EQ(watcher.Finish(), 1) << watcher.Report();
    EXPECT_EQ(result, path);
}

// No flag demands that the file exists: the dialog neither objects nor asks.
TEST_F(ShowFileDialogTest, OpenReturnsAFileThatDoesNotExist) {
    const std::wstring path = Dir() + L"missing.exe";
    DialogWatcher watcher([&](HWND dialog) { ChooseFile(dialog, path); });
    const std::wstring result = Show(1, L"C:\\default.exe");
    ASSERT_EQ(watcher.Finish(), 1) << watcher.Report();
    EXPECT_TRUE(watcher.Problems().empty()) << watcher.Report();
    EXPECT_EQ(result, path);
}

// Mode 2: the Save dialog, and no question before overwriting an existing file.
TEST_F(ShowFileDialogTest, SaveDialogReturnsAnExistingFileWithoutAsking) {
    const std::wstring path = MakeFile(L"tool.exe");
    const std::wstring title = L"Save as Caf\u00E9";
    FileDialogView view;
    DialogWatcher watcher([&](HWND dialog) {
        view = ReadFileDialog(dialog);
        ChooseFile(dialog, path);
    });
    const std::wstring result = Show(2, L"C:\\default.exe", title);
    ASSERT_EQ(watcher.Finish(), 1) << watcher.Report();
    EXPECT_TRUE(watcher.Problems().empty()) << watcher.Report();
    EXPECT_EQ(result, path);

    EXPECT_EQ(view.title, title);
    EXPECT_EQ(view.okText, L"&Save");
    EXPECT_EQ(view.owner, owner_);
    EXPECT_EQ(view.filters, std::vector<std::wstring>{kDescription});
    EXPECT_FALSE(view.readOnlyVisible);
    EXPECT_TRUE(view.resizable) << "Flags lack OFN_EXPLORER";
    EXPECT_FALSE(view.placesBar) << "the record is longer than 76 bytes";
    EXPECT_EQ(view.fileName, L"");
    EXPECT_EQ(view.folder, dir_.wstring());
}

}  // namespace

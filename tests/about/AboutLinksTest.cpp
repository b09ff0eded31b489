// The About window's links clicked with the real mouse: the window closes and the shell gets the
// address. The prefix's handlers for web and mail addresses are pointed at a recorder of the
// tests' own, which writes down what the shell starts it with.

#include "about/frmAbout.h"
#include "app/frmMain.h"

#include "tests/about/AboutTesting.h"
#include "tests/testing/Dialogs.h"
#include "tests/testing/ScratchKey.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

using A = frmAbout;

const wchar_t* const kSchemes[] = {L"http", L"https", L"mailto"};
const std::wstring kBackup = L"Software\\TalvernTests\\AboutShellBackup";
// Written once the backup is whole; a backup without it was cut short and is not restored.
const wchar_t kBackupComplete[] = L"Complete";

struct CloseKey {
    void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, CloseKey>;

UniqueKey OpenKey(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return {};
    return UniqueKey(key);
}

void CopyTree(HKEY fromRoot, const std::wstring& from, HKEY toRoot, const std::wstring& to) {
    CreateKey(toRoot, to);
    const UniqueKey source = OpenKey(fromRoot, from), target = OpenKey(toRoot, to);
    ASSERT_TRUE(source && target);
    ASSERT_EQ(RegCopyTreeW(source.get(), nullptr, target.get()), ERROR_SUCCESS);
}

// The shell's handlers of web and mail addresses for one test: saved first, and put back as
// they were afterwards, also after a run that was cut short.
class ShellHandlers {
  public:
    ShellHandlers() {
        if (KeyExists(HKEY_CURRENT_USER, kBackup)) Restore();
        for (const wchar_t* scheme : kSchemes) {
            if (KeyExists(HKEY_CLASSES_ROOT, scheme))
                CopyTree(HKEY_CLASSES_ROOT, scheme, HKEY_CURRENT_USER, kBackup + L"\\" + scheme);
        }
        SetString(HKEY_CURRENT_USER, kBackup, kBackupComplete, L"1");
    }
    ~ShellHandlers() { Restore(); }
    ShellHandlers(const ShellHandlers&) = delete;
    ShellHandlers& operator=(const ShellHandlers&) = delete;

    // Every scheme opens with this command.
    void OpenWith(const std::wstring& command) {
        for (const wchar_t* scheme : kSchemes) {
            DeleteTree(HKEY_CLASSES_ROOT, scheme);
            SetString(HKEY_CLASSES_ROOT, scheme, L"URL Protocol", L"");
            SetString(HKEY_CLASSES_ROOT, scheme + std::wstring(L"\\shell\\open\\command"), L"",
                      command);
        }
    }

    void RemoveAll() {
        for (const wchar_t* scheme : kSchemes) DeleteTree(HKEY_CLASSES_ROOT, scheme);
    }

  private:
    static void Restore() {
        if (GetRaw(HKEY_CURRENT_USER, kBackup, kBackupComplete).type == REG_SZ) {
            for (const wchar_t* scheme : kSchemes) {
                DeleteTree(HKEY_CLASSES_ROOT, scheme);
                const std::wstring saved = kBackup + L"\\" + scheme;
                if (KeyExists(HKEY_CURRENT_USER, saved))
                    CopyTree(HKEY_CURRENT_USER, saved, HKEY_CLASSES_ROOT, scheme);
            }
        }
        DeleteTree(HKEY_CURRENT_USER, kBackup);
    }
};

std::vector<std::wstring> SchemeSnapshot() {
    std::vector<std::wstring> lines;
    for (const wchar_t* scheme : kSchemes) {
        const auto tree = Snapshot(HKEY_CLASSES_ROOT, scheme);
        lines.insert(lines.end(), tree.begin(), tree.end());
    }
    return lines;
}

std::wstring BesideThisProgram(const std::wstring& name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory = path;
    return directory.substr(0, directory.find_last_of(L'\\') + 1) + name;
}

class AboutLinksTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        record_ = std::wstring(temp) + L"talvern-links-" + std::to_wstring(GetCurrentProcessId()) +
                  L".txt";
        DeleteFileW(record_.c_str());
        handlers_.emplace();
        original_ = SchemeSnapshot();
        // Opened from the main window, the About window is not the program's last window.
        ASSERT_TRUE(main_.Create(SW_SHOWNORMAL));
    }

    void TearDown() override {
        for (HWND window : VisibleWindowsOfThread()) DestroyWindow(window);
        PumpPending();
        handlers_.reset();
        DeleteFileW(record_.c_str());
        EXPECT_EQ(SchemeSnapshot(), original_) << "the shell's handlers were not put back";
    }

    void RecordLinks() {
        handlers_->OpenWith(L"\"" + BesideThisProgram(L"about_link_recorder.exe") + L"\" \"" +
                            record_ + L"\" \"%1\"");
    }

    // The addresses the recorder was started with, one per start.
    std::vector<std::wstring> Recorded() const {
        std::ifstream file(std::filesystem::path(record_), std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(file), {}};
        const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()),
                                bytes.size() / sizeof(wchar_t));
        std::vector<std::wstring> lines;
        for (size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos;
             start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

    // The addresses recorded once the first has come and a moment for any other has passed.
    std::vector<std::wstring> AwaitRecorded() const {
        PumpUntil([&] { return !Recorded().empty(); }, 10s);
        PumpUntil([] { return false; }, 300ms);
        return Recorded();
    }

    // Presses About in the main window; the About window.
    HWND Open() {
        const HWND main = main_.Handle();
        SendMessageW(GetDlgItem(GetDlgItem(main, frmMain::Frame1), frmMain::cmdAbout), BM_CLICK, 0,
                     0);
        auto windows = VisibleWindowsOfThread();
        std::erase(windows, main);
        return windows.size() == 1 ? windows.front() : nullptr;
    }

    // The windows of the program other than the main window.
    std::vector<HWND> OtherWindows() const {
        auto windows = VisibleWindowsOfThread();
        std::erase(windows, main_.Handle());
        return windows;
    }

    // Clicks the control with the real mouse. A message box that came up inside the click
    // would be closed by the watcher and fail it.
    ::testing::AssertionResult Click(HWND about, int id) {
        DialogWatcher watcher(CloseDialog, 5s);
        const HWND control = GetDlgItem(about, id);
        if (!ClickAt(control, CentreOf(control)))
            return ::testing::AssertionFailure() << "the click did not reach control " << id;
        if (watcher.Finish() != 0)
            return ::testing::AssertionFailure() << "a message was shown after a click on " << id;
        return ::testing::AssertionSuccess();
    }

    std::wstring record_;
    std::vector<std::wstring> original_;
    std::optional<ShellHandlers> handlers_;
    frmMain main_;
};

TEST_F(AboutLinksTest, WebLinkClosesTheWindowAndOpensTheAddress) {
    RecordLinks();
    const HWND about = Open();
    ASSERT_TRUE(about);
    for (int id : {A::Picture1, A::lblMessage0, A::lblMessage1, A::lblMessage2}) {
        ASSERT_TRUE(Click(about, id)) << id;
        EXPECT_TRUE(IsWindowVisible(about)) << "closed by a click on " << id;
    }

    ASSERT_TRUE(Click(about, A::lblMessage3));
    EXPECT_FALSE(IsWindow(about));
    EXPECT_EQ(AwaitRecorded(), std::vector<std::wstring>{L"http://www.talvern.example"});
    EXPECT_TRUE(OtherWindows().empty()) << "the About window came back";
}

TEST_F(AboutLinksTest, MailLinkClosesTheWindowAndOpensANewMessage) {
    RecordLinks();
    const HWND about = Open();
    ASSERT_TRUE(about);
    ASSERT_TRUE(Click(about, A::lblMessage4));
    EXPECT_FALSE(IsWindow(about));
    EXPECT_EQ(AwaitRecorded(), std::vector<std::wstring>{L"mailto:support@talvern.example"});
    EXPECT_TRUE(OtherWindows().empty()) << "the About window came back";
}

TEST_F(AboutLinksTest, WithoutAHandlerTheWindowClosesAndNothingIsShown) {
    handlers_->RemoveAll();
    for (int link : {A::lblMessage3, A::lblMessage4}) {
        const HWND about = Open();
        ASSERT_TRUE(about);
        EXPECT_TRUE(Click(about, link));
        EXPECT_FALSE(IsWindow(about)) << link;
    }
    EXPECT_TRUE(OtherWindows().empty());
}

}  // namespace

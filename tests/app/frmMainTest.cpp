// The main window driven as a user drives it, through its real controls and the keyboard, with
// message boxes answered from a watcher thread and every change checked in the registry.

#include "app/frmMain.h"
#include "about/frmAbout.h"
#include "ui/Layout.h"
#include "tests/testing/Dialogs.h"
#include "tests/testing/ScratchKey.h"

#include <gtest/gtest.h>

#include <oleacc.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using F = frmMain;
using Lines = std::vector<std::wstring>;

const std::wstring kShell = L"*\\shell";
std::wstring Verb(const std::wstring& key) { return kShell + L"\\" + key; }
std::wstring Command(const std::wstring& key) { return Verb(key) + L"\\command"; }
RawValue Sz(const std::wstring& text) { return {REG_SZ, WideBytes(text, true)}; }

// A label's whole text, in its own font, inside the label, and the label inside its parent.
BOOL CALLBACK ExpectTextFits(HWND label, LPARAM dpi) {
    wchar_t kind[16] = {};
    GetClassNameW(label, kind, 16);
    const std::wstring text = WindowText(label);
    if (lstrcmpiW(kind, L"Static") || text.empty()) return TRUE;
    const WindowDC dc(label);
    SelectObject(dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
    RECT placed{}, parent{};
    GetWindowRect(label, &placed);
    MapWindowPoints(nullptr, GetParent(label), reinterpret_cast<POINT*>(&placed), 2);
    GetClientRect(GetParent(label), &parent);
    EXPECT_LE(extent.cx, placed.right - placed.left) << dpi << " dpi: " << text;
    EXPECT_LE(placed.right, parent.right) << dpi << " dpi: " << text;
    return TRUE;
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DeleteTree(HKEY_CLASSES_ROOT, kShell);
        fs::create_directories(dir_ / L"folder");
        program_ = MakeFile(L"viewer.exe", FILE_ATTRIBUTE_NORMAL);
    }
    void TearDown() override {
        if (form_.Handle()) DestroyWindow(form_.Handle());
        DeleteTree(HKEY_CLASSES_ROOT, kShell);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    void Start() { ASSERT_TRUE(form_.Create(SW_SHOWNORMAL)); }
    std::wstring MakeFile(const std::wstring& name, DWORD attributes) {
        const std::wstring path = (dir_ / name).wstring();
        CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes,
                                nullptr));
        return path;
    }
    void Register(const std::wstring& key, const std::wstring& display, const std::wstring& cmd) {
        SetString(HKEY_CLASSES_ROOT, Verb(key), L"", display);
        SetString(HKEY_CLASSES_ROOT, Command(key), L"", cmd);
    }
    HWND Item(int id) const { return FindControl(form_.Handle(), id); }
    void Type(int id, const std::wstring& text) { SetWindowTextW(Item(id), text.c_str()); }
    Lines Shown() const { return ListLines(Item(F::List1)); }

    // A key pressed and let go, handled as the program's message loop handles it; the message
    // boxes it showed, each answered with `answer`.
    std::vector<MessageBoxView> Press(UINT key, int answer = IDOK) {
        std::vector<MessageBoxView> boxes;
        DialogWatcher watcher([&](HWND box) {
            boxes.push_back(ReadMessageBox(box));
            PressButton(box, answer) || PressButton(box, IDOK);
        });
        for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
            MSG msg{GetFocus(), message, key,
                    static_cast<LPARAM>(message == WM_KEYUP ? 0xC0000001u : 1u)};
            do {
                if (!IsDialogMessageW(form_.Handle(), &msg)) {
                    TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                }
            } while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
        }
        EXPECT_EQ(watcher.Finish(), static_cast<int>(boxes.size())) << "a box was left open";
        return boxes;
    }
    // Tab until the focus is on the control, never landing on one a user cannot reach.
    void TabTo(int id) {
        for (int i = 0; i < 8 && GetFocus() != Item(id); ++i) {
            Press(VK_TAB);
            ASSERT_TRUE(IsWindowVisible(GetFocus()) && IsWindowEnabled(GetFocus()));
        }
        ASSERT_EQ(GetFocus(), Item(id));
    }
    // The controls Tab visits from the focus until it comes back to it.
    std::vector<int> Round() {
        const HWND start = GetFocus();
        std::vector<int> ids{GetDlgCtrlID(start)};
        for (int i = 0; i < 8; ++i) {
            Press(VK_TAB);
            if (GetFocus() == start) return ids;
            ids.push_back(GetDlgCtrlID(GetFocus()));
        }
        return ids;
    }
    std::vector<MessageBoxView> Save(const std::wstring& name, const std::wstring& path) {
        if (!IsWindowVisible(Item(F::txtName))) SendMessageW(Item(F::cmdAdd), BM_CLICK, 0, 0);
        Type(F::txtName, name);
        Type(F::txtFilePath, path);
        SetFocus(Item(F::cmdSave));
        return Press(VK_SPACE);
    }
    void Select(size_t line) {
        SendMessageW(Item(F::List1), LB_SETCURSEL, line, 0);
        SendMessageW(form_.Handle(), WM_COMMAND, MAKEWPARAM(F::List1, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Item(F::List1)));
    }

    const fs::path dir_ =
        fs::temp_directory_path() / (L"Talvern " + std::to_wstring(GetTickCount()));
    std::wstring program_;
    frmMain form_;
};

TEST_F(MainWindowTest, ListsEachNamedEntryOnceAndSaveWritesTwoKeysAndNothingElse) {
    Register(L"notepad", L"Notepad", L"C:\\WINDOWS\\NOTEPAD.EXE %1");
    Register(L"key", L"Shown name", L"\"C:\\Program Files\\q.exe\" \"%1\"");
    Register(L"unnamed", L"", L"C:\\e.exe %1");
    // Code page 1252 maps the Greek name onto the Latin one: that entry is reached, once.
    Register(L"omega", L"Latin", L"C:\\l.exe %1");
    Register(L"\u03A9mega", L"Greek", L"C:\\g.exe %1");
    Start();
    const Lines lines{L"Shown name = \"C:\\Program Files\\q.exe\" \"",
                      L"Notepad = C:\\WINDOWS\\NOTEPAD.EXE", L"Latin = C:\\l.exe"};
    EXPECT_EQ(Shown(), lines);
    EXPECT_FALSE(IsWindowEnabled(Item(F::cmdDelete)));
    const auto before = Snapshot(HKEY_CLASSES_ROOT, kShell);
    EXPECT_TRUE(Save(L"My Viewer", MakeFile(L"first.exe", FILE_ATTRIBUTE_NORMAL)).empty());
    EXPECT_TRUE(Save(L"My Viewer", program_).empty());
    EXPECT_EQ(GetRaw(HKEY_CLASSES_ROOT, Verb(L"My Viewer"), L""), Sz(L"My Viewer"));
    EXPECT_EQ(GetRaw(HKEY_CLASSES_ROOT, Command(L"My Viewer"), L""), Sz(program_ + L" %1"));
    EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, kShell).size(), before.size() + 4)
        << "two keys, two values";
    EXPECT_EQ(Shown().at(1), L"My Viewer = " + program_);
}

TEST_F(MainWindowTest, KeyboardAloneAddsSavesAndDeletesWithTheFocusAlwaysReachable) {
    Start();
    TabTo(F::cmdAdd);
    EXPECT_EQ(Round(), (std::vector<int>{F::cmdAdd, F::cmdAbout, F::List1}));
    Press(VK_SPACE);
    EXPECT_EQ(GetFocus(), Item(F::txtName));
    EXPECT_EQ(Round(), (std::vector<int>{F::txtName, F::txtFilePath, F::cmdBrowse, F::cmdCancel,
                                         F::cmdSave}));
    Type(F::txtName, L"Typed");
    TabTo(F::cmdCancel);
    Press(VK_SPACE);
    EXPECT_EQ(GetFocus(), Item(F::cmdAdd));
    EXPECT_TRUE(Shown().empty());

    EXPECT_TRUE(Save(L"Keyed", program_).empty());
    EXPECT_EQ(GetFocus(), Item(F::cmdAdd));
    EXPECT_EQ(Shown(), Lines{L"Keyed = " + program_});
    EXPECT_EQ(WindowText(Item(F::txtName)), L"");
    TabTo(F::List1);
    Press(VK_DOWN);
    TabTo(F::cmdDelete);
    const auto boxes = Press(VK_SPACE, IDYES);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              L"Are you sure you want to delete the current viewer?\r\rKeyed = " + program_);
    EXPECT_EQ(GetFocus(), Item(F::List1));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, Verb(L"Keyed")));
}

TEST_F(MainWindowTest, SaveRefusesWhatTheListCouldNotShowOrExplorerNotStart) {
    Start();
    const struct {
        std::wstring name, path, message;
    } cases[] = {
        {L"", program_, L"Not a Valid Name!"},
        {L"a\\b", program_, L"Not a Valid Name!"},
        {std::wstring(245, L'n'), program_, L"Not a Valid Name!"},
        {L"x", L"", L"Not a Valid Program Path!"},
        {L"x", (dir_ / L"folder").wstring(), L"Not a Valid Program Path!"},
        {L"x", L"viewer.exe", L"Not a Valid Program Path!"},
        {L"x", MakeFile(L"hidden.exe", FILE_ATTRIBUTE_HIDDEN), L"Not a Valid Program Path!"},
        {L"x", (dir_ / L"missing.exe").wstring(), L"Not a Valid Program Path!"},
    };
    fs::current_path(dir_);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.substr(0, 9) + L" / " + c.path);
        const auto boxes = Save(c.name, c.path);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, c.message);
        EXPECT_EQ(boxes[0].icon, LoadIconW(nullptr, IDI_INFORMATION));
        EXPECT_EQ(GetFocus(), Item(c.path == program_ ? F::txtName : F::txtFilePath));
        EXPECT_EQ(WindowText(Item(F::txtFilePath)), c.path);
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kShell));
    }
    fs::current_path(fs::temp_directory_path());
}

TEST_F(MainWindowTest, DeleteRemovesOnlyTheKeyTheSelectedLineCameFrom) {
    Register(L"A", L"A=B", L"C:\\a.exe %1");
    Register(L"B", L"B", L"C:\\b.exe %1");
    Register(L" padded ", L" padded ", L"C:\\p.exe %1");
    SetString(HKEY_CLASSES_ROOT, Verb(L"padded"), L"", L"padded");
    Start();
    // As after a Save, when Delete stays enabled with nothing selected.
    EnableWindow(Item(F::cmdDelete), TRUE);
    SetFocus(Item(F::cmdDelete));
    EXPECT_EQ(Press(VK_SPACE).at(0).text, L"Please select a viewer to delete!");
    const struct {
        size_t line;
        int answer;
        Lines left;
    } steps[] = {
        {0, IDNO, {L" padded  = C:\\p.exe", L"A=B = C:\\a.exe", L"B = C:\\b.exe", L"padded = "}},
        {1, IDYES, {L" padded  = C:\\p.exe", L"B = C:\\b.exe", L"padded = "}},
        {0, IDYES, {L"B = C:\\b.exe", L"padded = "}},
        {1, IDYES, {L"B = C:\\b.exe", L"padded = "}},  // no command key: the verb key stays
    };
    for (const auto& step : steps) {
        Select(step.line);
        SetFocus(Item(F::cmdDelete));
        const auto boxes = Press(VK_SPACE, step.answer);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].icon, LoadIconW(nullptr, IDI_QUESTION));
        EXPECT_EQ(Shown(), step.left);
    }
}

TEST_F(MainWindowTest, RefusedWritesAreToldKeepTheTextAndLeaveTheRegistryAsItWas) {
    HKEY volatileKey = nullptr;
    CreateKey(HKEY_CLASSES_ROOT, kShell);
    RegCreateKeyExW(HKEY_CLASSES_ROOT, Verb(L"Volatile").c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                    KEY_ALL_ACCESS, nullptr, &volatileKey, nullptr);
    RegCloseKey(volatileKey);
    Register(L"Stuck", L"Stuck", L"C:\\s.exe %1");
    CreateKey(HKEY_CLASSES_ROOT, Command(L"Stuck") + L"\\held");
    Start();
    const auto before = Snapshot(HKEY_CLASSES_ROOT, kShell);

    auto boxes = Save(L"Volatile", program_);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.starts_with(L"The viewer could not be saved.")) << boxes[0].text;
    EXPECT_GT(boxes[0].text.size(), 40u) << "and why";
    EXPECT_EQ(boxes[0].icon, LoadIconW(nullptr, IDI_ERROR));
    EXPECT_EQ(WindowText(Item(F::txtName)), L"Volatile");
    EXPECT_EQ(WindowText(Item(F::txtFilePath)), program_);
    EXPECT_EQ(GetFocus(), Item(F::txtName));
    EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, kShell), before);

    SendMessageW(Item(F::cmdCancel), BM_CLICK, 0, 0);
    Select(0);
    SetFocus(Item(F::cmdDelete));
    boxes = Press(VK_SPACE, IDYES);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxes[1].text.starts_with(L"The viewer could not be deleted.")) << boxes[1].text;
    EXPECT_EQ(Shown(), Lines{L"Stuck = C:\\s.exe"});
    EXPECT_EQ(SendMessageW(Item(F::List1), LB_GETCURSEL, 0, 0), 0);
    EXPECT_TRUE(IsWindowEnabled(Item(F::cmdDelete)));
    EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, kShell), before);
}

TEST_F(MainWindowTest, BoxesAreNamedByTheirLabelsAndNoLabelIsCutAtAnyDpi) {
    Start();
    for (const auto& [box, label] :
         {std::pair{F::txtName, L"Enter the Viewer Name:"},
          std::pair{F::txtFilePath, L"Enter the Program Path and Name:"}}) {
        IAccessible* accessible = nullptr;
        ASSERT_EQ(AccessibleObjectFromWindow(Item(box), static_cast<DWORD>(OBJID_CLIENT),
                                             __uuidof(IAccessible),
                                             reinterpret_cast<void**>(&accessible)),
                  S_OK);
        BSTR name = nullptr;
        VARIANT self{VT_I4};
        EXPECT_EQ(accessible->get_accName(self, &name), S_OK);
        EXPECT_EQ(std::wstring(name ? name : L""), label);
        SysFreeString(name);
        accessible->Release();
    }
    frmAbout::Show();
    const HWND windows[] = {form_.Handle(), FindWindowW(L"TalvernAbout", nullptr)};
    for (UINT dpi : {96u, 120u, 144u, 192u}) {
        for (HWND window : windows) {
            RECT suggested{0, 0, 100, 100};
            SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                         reinterpret_cast<LPARAM>(&suggested));
            EnumChildWindows(window, ExpectTextFits, static_cast<LPARAM>(dpi));
        }
    }
    DestroyWindow(windows[1]);
}

TEST_F(MainWindowTest, BrowseOpensInTheProgramsFolderAndKeepsThePathOnCancel) {
    Start();
    SendMessageW(Item(F::cmdAdd), BM_CLICK, 0, 0);
    Type(F::txtFilePath, L"C:\\typed.exe");
    std::vector<FileDialogView> seen;
    for (bool choose : {false, true}) {
        DialogWatcher watcher([&](HWND dialog) {
            seen.push_back(ReadFileDialog(dialog));
            choose ? ChooseFile(dialog, program_) : PressButton(dialog, IDCANCEL);
        });
        SendMessageW(Item(F::cmdBrowse), BM_CLICK, 0, 0);
        EXPECT_EQ(watcher.Finish(), 1);
        EXPECT_EQ(WindowText(Item(F::txtFilePath)), choose ? program_ : L"C:\\typed.exe");
    }
    ASSERT_EQ(seen.size(), 2u);
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    EXPECT_EQ(seen[0].title, L"Select the Executable");
    EXPECT_EQ(seen[0].folder, fs::path(exe).parent_path().wstring());
    EXPECT_EQ(seen[0].owner, form_.Handle());
}

}  // namespace

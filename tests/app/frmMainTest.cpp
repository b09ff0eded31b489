// The main window, driven as a user drives it: clicks, typing and selections through the real
// controls, message boxes answered from a watcher thread, and every change checked in the
// registry afterwards.

#include "tests/app/MainWindowFixture.h"

#include "app/basMain.h"

namespace {

namespace fs = std::filesystem;
using F = frmMain;

class MainWindowTest : public MainWindowFixture {};

TEST_F(MainWindowTest, OpensInListModeWithItsCaptionAndDeleteDisabled) {
    Start();
    wchar_t caption[64] = {};
    GetWindowTextW(form_.Handle(), caption, 64);
    EXPECT_STREQ(caption, L"Talvern 3.0");
    EXPECT_TRUE(InListMode());
    EXPECT_FALSE(IsWindowEnabled(Item(F::cmdDelete)));
    EXPECT_TRUE(IsWindowEnabled(Item(F::cmdAdd)));
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(SendMessageW(Item(F::List1), LB_GETCURSEL, 0, 0), LB_ERR);
}

TEST_F(MainWindowTest, SizesAndPlacesEverythingFromTwipsAtTheWindowsDpi) {
    Start();
    const UINT dpi = GetDpiForWindow(form_.Handle());
    auto px = [dpi](int twips) { return MulDiv(twips, static_cast<int>(dpi), 1440); };
    RECT client{};
    GetClientRect(form_.Handle(), &client);
    EXPECT_EQ(client.right, px(5055));
    EXPECT_EQ(client.bottom, px(3375));

    // Left, top, width, height inside the control's parent.
    auto placed = [&](int id) {
        RECT r{};
        GetWindowRect(Item(id), &r);
        MapWindowPoints(nullptr, GetParent(Item(id)), reinterpret_cast<POINT*>(&r), 2);
        return std::vector<LONG>{r.left, r.top, r.right - r.left, r.bottom - r.top};
    };
    EXPECT_EQ(placed(F::Frame1), (std::vector<LONG>{px(120), 0, px(4815), px(3255)}));
    EXPECT_EQ(placed(F::Frame2), placed(F::Frame1));
    EXPECT_EQ(placed(F::List1), (std::vector<LONG>{px(240), px(600), px(4335), px(2010)}));
    EXPECT_EQ(placed(F::cmdDelete), (std::vector<LONG>{px(1560), px(2760), px(975), px(255)}));
    EXPECT_EQ(placed(F::txtFilePath), (std::vector<LONG>{px(240), px(1440), px(4335), px(285)}));
    EXPECT_EQ(placed(F::cmdBrowse), (std::vector<LONG>{px(3840), px(1800), px(735), px(255)}));
    EXPECT_EQ(GetParent(Item(F::txtName)), Item(F::Frame2));
    EXPECT_EQ(GetParent(Item(F::List1)), Item(F::Frame1));

    const LONG_PTR style = GetWindowLongPtrW(form_.Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);

    RECT window{};
    GetWindowRect(form_.Handle(), &window);
    MONITORINFO monitor{sizeof monitor};
    GetMonitorInfoW(MonitorFromWindow(form_.Handle(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    EXPECT_NEAR(window.left + window.right, monitor.rcWork.left + monitor.rcWork.right, 1);
    EXPECT_NEAR(window.top + window.bottom, monitor.rcWork.top + monitor.rcWork.bottom, 1);
}

TEST_F(MainWindowTest, FollowsADpiChange) {
    Start();
    RECT suggested{10, 20, 500, 400};
    SendMessageW(form_.Handle(), WM_DPICHANGED, MAKEWPARAM(192, 192),
                 reinterpret_cast<LPARAM>(&suggested));
    RECT client{};
    GetClientRect(form_.Handle(), &client);
    EXPECT_EQ(client.right, MulDiv(5055, 192, 1440));
    EXPECT_EQ(client.bottom, MulDiv(3375, 192, 1440));
    RECT list{};
    GetClientRect(Item(F::List1), &list);
    RECT listWindow{};
    GetWindowRect(Item(F::List1), &listWindow);
    EXPECT_EQ(listWindow.right - listWindow.left, MulDiv(4335, 192, 1440));
    RECT window{};
    GetWindowRect(form_.Handle(), &window);
    EXPECT_EQ(window.left, 10);
    EXPECT_EQ(window.top, 20);
}

TEST_F(MainWindowTest, TabGoesThroughTheEditPanelInItsOrder) {
    Start();
    Click(F::cmdAdd);
    std::vector<int> order;
    HWND at = Item(F::txtName);
    for (int i = 0; i < 5; ++i) {
        order.push_back(GetDlgCtrlID(at));
        at = GetNextDlgTabItem(form_.Handle(), at, FALSE);
    }
    EXPECT_EQ(order, (std::vector<int>{F::txtName, F::txtFilePath, F::cmdBrowse, F::cmdCancel,
                                       F::cmdSave}));
    EXPECT_EQ(GetDlgCtrlID(at), F::txtName);
}

TEST_F(MainWindowTest, ListsEachEntryWithADisplayNameInRegistryOrder) {
    Register(L"Notepad", L"Notepad", L"C:\\WINDOWS\\NOTEPAD.EXE %1");
    Register(L"quoted", L"Quoted", L"\"C:\\Program Files\\q.exe\" \"%1\"");
    Register(L"key name", L"Shown name", L"C:\\x.exe %1");
    Register(L"short", L"Short", L"ab");
    SetString(HKEY_CLASSES_ROOT, Verb(L"blanks"), L"", L"  ");
    CreateKey(HKEY_CLASSES_ROOT, Command(L"no default"));  // a verb key without a name
    SetString(HKEY_CLASSES_ROOT, Verb(L"no command"), L"", L"No command");
    Start();

    // The registry's own order: Wine keeps sub-keys sorted by name.
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{
                           L"   = ",
                           L"Shown name = C:\\x.exe",
                           L"No command = ",
                           L"Notepad = C:\\WINDOWS\\NOTEPAD.EXE",
                           L"Quoted = \"C:\\Program Files\\q.exe\" \"",
                           L"Short = ab",
                       }));
}

TEST_F(MainWindowTest, AddNewThenCancelClearsTheBoxesAndWritesNothing) {
    Start();
    const auto before = Snapshot(HKEY_CLASSES_ROOT, kShell);
    Click(F::cmdAdd);
    EXPECT_TRUE(InEditMode());
    Type(F::txtName, L"Typed");
    Type(F::txtFilePath, program_);
    Click(F::cmdCancel);
    EXPECT_TRUE(InListMode());
    EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, kShell), before);
    Click(F::cmdAdd);
    EXPECT_EQ(Text(F::txtName), L"");
    EXPECT_EQ(Text(F::txtFilePath), L"");
}

TEST_F(MainWindowTest, SaveWritesTheEntryAndListsIt) {
    Register(L"Other", L"Other", L"C:\\other.exe %1");
    Start();
    const auto before = Snapshot(HKEY_CLASSES_ROOT, kShell);
    const std::wstring path = MakeFile(L"with blanks Café.exe");
    Add(L"My Viewer", path);

    EXPECT_EQ(GetRaw(HKEY_CLASSES_ROOT, Verb(L"My Viewer"), L""),
              (RawValue{REG_SZ, [] {
                            std::wstring s = L"My Viewer";
                            const auto* p = reinterpret_cast<const BYTE*>(s.c_str());
                            return std::vector<BYTE>(p, p + (s.size() + 1) * sizeof(wchar_t));
                        }()}));
    EXPECT_EQ(StringOf(GetRaw(HKEY_CLASSES_ROOT, Command(L"My Viewer"), L"")), path + L" %1");
    EXPECT_NE(RegQueryDefault(Verb(L"My Viewer")).find(L"REG_SZ    My Viewer"), std::wstring::npos);
    EXPECT_NE(RegQueryDefault(Command(L"My Viewer")).find(L"REG_SZ    " + path + L" %1"),
              std::wstring::npos)
        << fs::path(RegQueryDefault(Command(L"My Viewer"))).string();

    // Nothing else changed: the two new keys and their values are the whole difference.
    auto after = Snapshot(HKEY_CLASSES_ROOT, kShell);
    std::erase_if(after,
                  [](const std::wstring& line) { return line.starts_with(Verb(L"My Viewer")); });
    EXPECT_EQ(after, before);

    EXPECT_EQ(Lines(),
              (std::vector<std::wstring>{L"My Viewer = " + path, L"Other = C:\\other.exe"}));
    EXPECT_TRUE(InListMode());
    EXPECT_EQ(Text(F::txtName), L"");
    EXPECT_EQ(Text(F::txtFilePath), L"");
}

TEST_F(MainWindowTest, SaveOverAnExistingNameReplacesItsCommand) {
    Register(L"Viewer", L"Viewer", L"C:\\old.exe %1");
    Start();
    Add(L"Viewer", program_);
    EXPECT_EQ(Lines(), std::vector<std::wstring>{L"Viewer = " + program_});
    EXPECT_EQ(StringOf(GetRaw(HKEY_CLASSES_ROOT, Command(L"Viewer"), L"")), program_ + L" %1");
}

TEST_F(MainWindowTest, SaveAsksForANameFirstThenForAProgram) {
    Start();
    Click(F::cmdAdd);
    ExpectRefused(L"", L"", L"Not a Valid Name!");
    EXPECT_EQ(GetFocus(), Item(F::txtName));
    ExpectRefused(L"Name", L"", L"Not a Valid Program Path!");
    EXPECT_EQ(GetFocus(), Item(F::txtFilePath));
    ExpectRefused(L"", program_, L"Not a Valid Name!");
}

TEST_F(MainWindowTest, SaveRefusesNamesTheListCouldNotShowOrDeleteReach) {
    Start();
    Click(F::cmdAdd);
    ExpectRefused(L"outer\\inner", program_, L"Not a Valid Name!");
    // The command key's path would be too long for the ANSI registry calls.
    ExpectRefused(std::wstring(245, L'n'), program_, L"Not a Valid Name!");
    ExpectRefused(L"Omega \u03A9", program_, L"Not a Valid Name!");  // not in the ANSI code page

    // The longest name that the calls take, and blanks, pass.
    Type(F::txtName, std::wstring(244, L'n'));
    Type(F::txtFilePath, program_);
    Click(F::cmdSave);
    Add(L" padded ", program_);
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{L" padded  = " + program_,
                                                  std::wstring(244, L'n') + L" = " + program_}));
}

TEST_F(MainWindowTest, SaveRefusesAPathThatNamesNoSingleVisibleFile) {
    const std::wstring dir = dir_.wstring();
    const std::wstring hidden = MakeFile(L"hidden.exe", FILE_ATTRIBUTE_HIDDEN);
    const std::wstring system = MakeFile(L"system.exe", FILE_ATTRIBUTE_SYSTEM);
    Start();
    Click(F::cmdAdd);
    for (const std::wstring& path : std::vector<std::wstring>{
             dir + L"\\missing.exe",
             dir + L"\\sub dir",
             dir + L"\\sub dir\\",
             dir + L"\\*.exe",
             dir + L"\\viewer.ex?",
             hidden,
             system,
             std::wstring(L"Z:\\no such drive\\x.exe"),
             dir + L"\\" + std::wstring(300, L'x') + L".exe",
         }) {
        SCOPED_TRACE(fs::path(path).string());
        ExpectRefused(L"Viewer", path, L"Not a Valid Program Path!");
    }
}

TEST_F(MainWindowTest, DeleteWithoutASelectionAsksForOne) {
    Register(L"Viewer", L"Viewer", L"C:\\v.exe %1");
    Start();
    // Delete is still enabled after a Save, which leaves no line selected.
    Select(L"Viewer = C:\\v.exe");
    Add(L"Second", program_);
    ASSERT_EQ(SendMessageW(Item(F::List1), LB_GETCURSEL, 0, 0), LB_ERR);
    const auto before = Snapshot(HKEY_CLASSES_ROOT, kShell);
    const MessageBoxView box = ClickForMessage(F::cmdDelete);
    EXPECT_EQ(box.text, L"Please select a viewer to delete!");
    EXPECT_EQ(box.title, L"Select a viewer..");
    EXPECT_EQ(box.icon, LoadIconW(nullptr, IDI_INFORMATION));
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, kShell), before);
    EXPECT_TRUE(IsWindowEnabled(Item(F::cmdDelete)));
}

TEST_F(MainWindowTest, DeleteAsksFirstAndNoChangesNothing) {
    Register(L"Viewer", L"Viewer", L"C:\\v.exe %1");
    Start();
    Select(L"Viewer = C:\\v.exe");
    EXPECT_TRUE(IsWindowEnabled(Item(F::cmdDelete)));
    const auto before = Snapshot(HKEY_CLASSES_ROOT, kShell);
    const MessageBoxView box = ClickForMessage(F::cmdDelete, IDNO);
    EXPECT_EQ(box.text,
              L"Are you sure you want to delete the current viewer?\r\rViewer = C:\\v.exe");
    EXPECT_EQ(box.title, L"Confirm Delete..");
    EXPECT_EQ(box.icon, LoadIconW(nullptr, IDI_QUESTION));
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, kShell), before);
    EXPECT_EQ(Lines(), std::vector<std::wstring>{L"Viewer = C:\\v.exe"});
}

TEST_F(MainWindowTest, DeleteRemovesTheSelectedEntryAndNothingElse) {
    Register(L"Keep", L"Keep", L"C:\\keep.exe %1");
    Register(L"Gone", L"Gone", L"C:\\gone.exe %1");
    Start();
    const auto before = Snapshot(HKEY_CLASSES_ROOT, kShell);
    Select(L"Gone = C:\\gone.exe");
    ClickForMessage(F::cmdDelete, IDYES);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, Verb(L"Gone")));
    auto expected = before;
    std::erase_if(expected,
                  [](const std::wstring& line) { return line.starts_with(Verb(L"Gone")); });
    EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, kShell), expected);
    EXPECT_EQ(Lines(), std::vector<std::wstring>{L"Keep = C:\\keep.exe"});
    EXPECT_FALSE(IsWindowEnabled(Item(F::cmdDelete)));
}

// The line shows the display name, which need not be the key's name: Delete goes by the key
// the line was read from, so it never misses the entry nor hits another one.
TEST_F(MainWindowTest, DeleteGoesByTheKeyTheLineCameFrom) {
    Register(L"abc123", L"Other name", L"C:\\a.exe %1");
    Register(L"A=B", L"A=B", L"C:\\ab.exe %1");
    Register(L"A", L"A", L"C:\\only-a.exe %1");
    Register(L" padded ", L" padded ", L"C:\\p.exe %1");
    Register(L"padded", L"padded", L"C:\\q.exe %1");
    Start();
    for (const wchar_t* line :
         {L"Other name = C:\\a.exe", L"A=B = C:\\ab.exe", L" padded  = C:\\p.exe"}) {
        Select(line);
        ClickForMessage(F::cmdDelete, IDYES);
    }
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, Verb(L"abc123")));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, Verb(L"A=B")));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, Verb(L" padded ")));
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"A = C:\\only-a.exe", L"padded = C:\\q.exe"}));
}

TEST_F(MainWindowTest, DeleteLeavesAVerbKeyWithoutACommandKey) {
    SetString(HKEY_CLASSES_ROOT, Verb(L"Bare"), L"", L"Bare");
    Start();
    Select(L"Bare = ");
    ClickForMessage(F::cmdDelete, IDYES);
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, Verb(L"Bare")));
    EXPECT_EQ(Lines(), std::vector<std::wstring>{L"Bare = "});
}

TEST_F(MainWindowTest, BrowseFillsThePathAndCancelKeepsItExactly) {
    Start();
    Click(F::cmdAdd);
    Type(F::txtFilePath, L"  typed before ");
    FileDialogView seen;
    {
        DialogWatcher watcher([&](HWND dialog) {
            seen = ReadFileDialog(dialog);
            PressButton(dialog, IDCANCEL);
        });
        Click(F::cmdBrowse);
        EXPECT_EQ(watcher.Finish(), 1) << watcher.Report();
    }
    EXPECT_EQ(Text(F::txtFilePath), L"  typed before ");
    EXPECT_EQ(seen.title, L"Select the Executable");
    EXPECT_EQ(seen.filters, std::vector<std::wstring>{L"All Files (*.*)"});
    EXPECT_EQ(seen.owner, form_.Handle());
    EXPECT_FALSE(seen.ownerEnabled);
    EXPECT_EQ(seen.fileName, L"");
    EXPECT_EQ(AddBackslash(seen.folder), AddBackslash(AppPath()));

    DialogWatcher watcher([&](HWND dialog) { ChooseFile(dialog, program_); });
    Click(F::cmdBrowse);
    EXPECT_EQ(watcher.Finish(), 1) << watcher.Report();
    EXPECT_EQ(Text(F::txtFilePath), program_);
}

TEST(AddBackslashTest, AppendsOneUnlessThePathEndsInOne) {
    EXPECT_EQ(AddBackslash(L"C:\\Program Files"), L"C:\\Program Files\\");
    EXPECT_EQ(AddBackslash(L"C:\\"), L"C:\\");
    EXPECT_EQ(AddBackslash(L""), L"\\");
    EXPECT_EQ(AddBackslash(L"C:/tools/"), L"C:/tools/\\");
}

}  // namespace

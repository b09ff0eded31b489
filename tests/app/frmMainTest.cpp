// The main window driven as a user drives it: clicks, typing and selections through the real
// controls, message boxes answered from a watcher thread, every change checked in the registry.

#include "ui/Layout.h"
#include "app/frmMain.h"
#include "registry/clsRegistry.h"
#include "tests/testing/Dialogs.h"
#include "tests/testing/ScratchKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;
using F = frmMain;

const std::wstring kShell = L"*\\shell";
const std::wstring kBadName = L"Not a Valid Name!";
const std::wstring kBadPath = L"Not a Valid Program Path!";

std::wstring Verb(const std::wstring& key) { return kShell + L"\\" + key; }
std::wstring Command(const std::wstring& key) { return Verb(key) + L"\\command"; }
RawValue Sz(const std::wstring& text) { return {REG_SZ, WideBytes(text, true)}; }

// The default value's text up to its first NUL, empty when it has none.
std::wstring Default(const std::wstring& key) {
    const RawValue value = GetRaw(HKEY_CLASSES_ROOT, key, L"");
    const std::wstring text(reinterpret_cast<const wchar_t*>(value.bytes.data()),
                            value.bytes.size() / sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

// The lines for what the registry holds, read through the Unicode API.
std::vector<std::wstring> ExpectedLines() {
    std::vector<std::wstring> lines;
    for (const std::wstring& key : SubKeyNames(HKEY_CLASSES_ROOT, kShell)) {
        std::wstring command = Default(Command(key));
        if (command.size() >= 3) command.resize(command.size() - 3);
        if (!Default(Verb(key)).empty()) lines.push_back(Default(Verb(key)) + L" = " + command);
    }
    return lines;
}

// What Wine's own reg.exe shows for a key's default value: a reader independent of ours.
std::string RegQuery(const std::wstring& key) {
    const std::string command = "reg.exe query \"HKCR\\" + fs::path(key).string() + "\" /ve";
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(_popen(command.c_str(), "r"), _pclose);
    std::string output;
    char buffer[512];
    while (pipe && fgets(buffer, sizeof buffer, pipe.get())) output += buffer;
    return output;
}

// Denies everyone reading the key's values for a while, as an administrator can.
class DenyRead {
  public:
    explicit DenyRead(const std::wstring& path) : path_(path) { Set(true); }
    ~DenyRead() { Set(false); }
    DenyRead(const DenyRead&) = delete;
    DenyRead& operator=(const DenyRead&) = delete;

  private:
    void Set(bool deny) {
        BYTE everyone[SECURITY_MAX_SID_SIZE];
        DWORD sidSize = sizeof everyone;
        CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sidSize);
        alignas(DWORD) BYTE aclBuffer[256];
        const auto acl = reinterpret_cast<ACL*>(aclBuffer);
        InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION);
        if (deny) AddAccessDeniedAce(acl, ACL_REVISION, KEY_QUERY_VALUE, everyone);
        AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, everyone);
        SECURITY_DESCRIPTOR security;
        InitializeSecurityDescriptor(&security, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&security, TRUE, acl, FALSE);
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, path_.c_str(), 0, WRITE_DAC, &key), 0);
        EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &security), 0);
        RegCloseKey(key);
    }

    std::wstring path_;
};

// Fails the n-th registry call that Save or Delete makes before it rebuilds the list, which
// starts by opening *\shell; every other call goes to the real function.
class FailNthCall {
  public:
    explicit FailNthCall(int n) {
        real_ = Advapi();
        n_ = n;
        calls_ = 0;
        armed_ = true;
        Advapi().OpenKeyEx = OpenKeyEx;
        Advapi().CreateKeyEx = CreateKeyEx;
        Advapi().SetValueEx = SetValueEx;
        Advapi().DeleteKey = DeleteKey;
        Advapi().CloseKey = CloseKey;
    }
    ~FailNthCall() { Advapi() = real_; }
    FailNthCall(const FailNthCall&) = delete;
    FailNthCall& operator=(const FailNthCall&) = delete;

    bool Failed() const { return calls_ >= n_; }

  private:
    static bool Fails() { return armed_ && ++calls_ == n_; }
    static LONG WINAPI OpenKeyEx(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
        if (root == HKEY_CLASSES_ROOT && std::string_view(path) == "*\\shell") armed_ = false;
        return Fails() ? ERROR_ACCESS_DENIED : real_.OpenKeyEx(root, path, options, access, key);
    }
    static LONG WINAPI CreateKeyEx(HKEY root, LPCSTR path, DWORD reserved, LPSTR keyClass,
                                   DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                                   PHKEY key, LPDWORD disposition) {
        return Fails() ? ERROR_ACCESS_DENIED
                       : real_.CreateKeyEx(root, path, reserved, keyClass, options, access,
                                           security, key, disposition);
    }
    static LONG WINAPI SetValueEx(HKEY key, LPCSTR name, DWORD reserved, DWORD type,
                                  const BYTE* data, DWORD size) {
        return Fails() ? ERROR_ACCESS_DENIED
                       : real_.SetValueEx(key, name, reserved, type, data, size);
    }
    static LONG WINAPI DeleteKey(HKEY root, LPCSTR path) {
        return Fails() ? ERROR_ACCESS_DENIED : real_.DeleteKey(root, path);
    }
    // A failed close has still closed the key.
    static LONG WINAPI CloseKey(HKEY key) {
        const LONG closed = real_.CloseKey(key);
        return Fails() ? ERROR_INVALID_HANDLE : closed;
    }

    static inline RegistryApi real_;
    static inline int n_ = 0;
    static inline int calls_ = 0;
    static inline bool armed_ = false;
};

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DeleteTree(HKEY_CLASSES_ROOT, kShell);
        fs::remove_all(dir_);
        fs::create_directories(dir_ / L"sub dir");
        program_ = MakeFile(L"viewer.exe");
    }

    void TearDown() override {
        Close();
        DeleteTree(HKEY_CLASSES_ROOT, kShell);
        fs::current_path(cwd_);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    void Start() { ASSERT_TRUE(form_.Create(SW_SHOWNORMAL)); }

    void Close() {
        if (form_.Handle()) DestroyWindow(form_.Handle());
        // The last window's going posts WM_QUIT, which would end the next message box.
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }

    std::wstring MakeFile(const std::wstring& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        const std::wstring path = (dir_ / name).wstring();
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        attributes, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
        return path;
    }

    // An entry as other software might write it.
    void Register(const std::wstring& key, const std::wstring& display,
                  const std::wstring& command) {
        SetString(HKEY_CLASSES_ROOT, Verb(key), L"", display);
        SetString(HKEY_CLASSES_ROOT, Command(key), L"", command);
    }

    HWND Item(int id) const { return FindControl(form_.Handle(), id); }
    std::wstring Text(int id) const { return WindowText(Item(id)); }
    void Type(int id, const std::wstring& text) { SetWindowTextW(Item(id), text.c_str()); }

    // Clicks the button, when a user could, and answers each dialog it shows; how many.
    int Click(int id, const DialogWatcher::Answer& answer) {
        const HWND button = Item(id);
        if (!IsWindowVisible(button) || !IsWindowEnabled(button)) {
            ADD_FAILURE() << "button " << id << " cannot be clicked";
            return -1;
        }
        DialogWatcher watcher(answer);
        SendMessageW(button, BM_CLICK, 0, 0);
        return watcher.Finish();
    }

    // The same for message boxes, answered with `answer`: what they showed.
    std::vector<MessageBoxView> Click(int id, int answer = IDOK) {
        std::vector<MessageBoxView> boxes;
        const int answered = Click(id, [&](HWND box) {
            boxes.push_back(ReadMessageBox(box));
            PressButton(box, answer);
        });
        EXPECT_EQ(answered, static_cast<int>(boxes.size())) << "a message box was left open";
        return boxes;
    }

    std::vector<std::wstring> Lines() const { return ListLines(Item(F::List1)); }

    // Clicks the line with the mouse, scrolled into view first.
    void Select(const std::wstring& line) {
        const auto lines = Lines();
        const auto at =
            static_cast<WPARAM>(std::find(lines.begin(), lines.end(), line) - lines.begin());
        ASSERT_LT(at, lines.size()) << "no such line";
        const HWND list = Item(F::List1);
        SendMessageW(list, LB_SETTOPINDEX, at, 0);
        RECT item{};
        SendMessageW(list, LB_GETITEMRECT, at, reinterpret_cast<LPARAM>(&item));
        const LPARAM point = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
        SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
        SendMessageW(list, WM_LBUTTONUP, 0, point);
    }

    // A panel hides its controls with it.
    bool InListMode() const {
        return IsWindowVisible(Item(F::List1)) && !IsWindowVisible(Item(F::txtName));
    }
    bool InEditMode() const {
        return IsWindowVisible(Item(F::txtName)) && !IsWindowVisible(Item(F::List1));
    }

    // Add New when needed, the two boxes filled, Save; the message boxes it showed.
    std::vector<MessageBoxView> Save(const std::wstring& name, const std::wstring& path) {
        if (!InEditMode()) Click(F::cmdAdd);
        Type(F::txtName, name);
        Type(F::txtFilePath, path);
        return Click(F::cmdSave);
    }

    // Save of the two texts refused with `message`, nothing written, or, for no message,
    // written as typed and listed with the rest of the registry.
    void ExpectSave(const std::wstring& name, const std::wstring& path,
                    const std::wstring& message = {}) {
        SCOPED_TRACE(::testing::PrintToString(name) + ", " + ::testing::PrintToString(path));
        const auto before = Snapshot(HKEY_CLASSES_ROOT, kShell);
        const auto boxes = Save(name, path);
        if (message.empty()) {
            EXPECT_TRUE(boxes.empty());
            EXPECT_EQ(GetRaw(HKEY_CLASSES_ROOT, Verb(name), L""), Sz(name));
            EXPECT_EQ(GetRaw(HKEY_CLASSES_ROOT, Command(name), L""), Sz(path + L" %1"));
            EXPECT_EQ(Lines(), ExpectedLines());
            EXPECT_TRUE(InListMode());
            return;
        }
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, message);
        EXPECT_EQ(boxes[0].title, L"Talvern");
        EXPECT_EQ(boxes[0].icon, LoadIconW(nullptr, IDI_INFORMATION));
        EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
        EXPECT_EQ(boxes[0].owner, form_.Handle());
        EXPECT_EQ(GetFocus(), Item(message == kBadName ? F::txtName : F::txtFilePath));
        EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, kShell), before);
        EXPECT_TRUE(InEditMode());
        EXPECT_EQ(Text(F::txtName), name);
        EXPECT_EQ(Text(F::txtFilePath), path);
    }

    const fs::path cwd_ = fs::current_path();
    const fs::path dir_ =
        fs::temp_directory_path() / (L"Talvern main " + std::to_wstring(GetCurrentProcessId()));
    std::wstring program_;
    frmMain form_;
};

TEST_F(MainWindowTest, OpensInListModeWithTheViewersTheRegistryHolds) {
    Register(L"notepad", L"Notepad", L"C:\\WINDOWS\\NOTEPAD.EXE %1");
    Register(L"key", L"Shown name", L"\"C:\\Program Files\\q.exe\" \"%1\"");
    Register(L"short", L"Short", L"ab");
    Register(L"empty", L"", L"C:\\e.exe %1");
    SetString(HKEY_CLASSES_ROOT, Verb(L"nameless"), L"Icon", L"C:\\n.exe,0");
    SetString(HKEY_CLASSES_ROOT, Command(L"nameless"), L"", L"C:\\n.exe %1");
    // Cut at the first NUL: a name with one inside, and an expandable command, read raw.
    SetRaw(HKEY_CLASSES_ROOT, Verb(L"nul"), L"", REG_SZ, WideBytes({L"Before\0after", 12}, true));
    SetString(HKEY_CLASSES_ROOT, Command(L"nul"), L"", L"C:\\x.exe %1");
    SetString(HKEY_CLASSES_ROOT, Verb(L"expand"), L"", L"Expand");
    SetRaw(HKEY_CLASSES_ROOT, Command(L"expand"), L"", REG_EXPAND_SZ,
           WideBytes(L"%SystemRoot%\\notepad.exe %1", true));
    Register(std::wstring(255, L'k'), L"Key name too long", L"C:\\k.exe %1");
    // Code page 1252 maps the Greek name onto the Latin one: that entry is reached, once.
    Register(L"omega", L"Latin", L"C:\\l.exe %1");
    Register(L"\u03A9mega", L"Greek", L"C:\\g.exe %1");
    Register(L"secret", L"Secret", L"C:\\s.exe %1");
    const DenyRead denied(Verb(L"secret"));
    Start();

    EXPECT_EQ(WindowText(form_.Handle()), L"Talvern 3.0");
    EXPECT_TRUE(InListMode());
    EXPECT_FALSE(IsWindowEnabled(Item(F::cmdDelete)));
    // Wine enumerates sub-keys sorted by name.
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{
                           L"Expand = %SystemRoot%\\notepad.exe",
                           L"Shown name = \"C:\\Program Files\\q.exe\" \"",
                           L"Notepad = C:\\WINDOWS\\NOTEPAD.EXE",
                           L"Before = C:\\x.exe",
                           L"Latin = C:\\l.exe",
                           L"Short = ab",
                       }));
}

TEST_F(MainWindowTest, ListsTenThousandViewers) {
    for (int i = 0; i < 10000; ++i)
        SetString(HKEY_CLASSES_ROOT, Verb(std::to_wstring(10000 + i)), L"", std::to_wstring(i));
    Start();
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 10000u);
    EXPECT_EQ(lines.front(), L"0 = ");
    EXPECT_EQ(lines.back(), L"9999 = ");
    // Key by key is much quicker than deleting the tree.
    for (int i = 0; i < 10000; ++i)
        RegDeleteKeyW(HKEY_CLASSES_ROOT, Verb(std::to_wstring(10000 + i)).c_str());
}

TEST_F(MainWindowTest, LayoutIsTheTwipsTableAtTheWindowsDpi) {
    Start();
    const HWND window = form_.Handle();
    const auto expectPlaced = [&](UINT dpi) {
        const auto px = [dpi](int twips) { return MulDiv(twips, static_cast<int>(dpi), 1440); };
        RECT client{};
        GetClientRect(window, &client);
        EXPECT_EQ(client.right, px(5055));
        EXPECT_EQ(client.bottom, px(3375));
        const struct {
            int id, left, top, width, height;
        } controls[] = {
            {F::Frame1, 120, 0, 4815, 3255},        {F::Frame2, 120, 0, 4815, 3255},
            {F::List1, 240, 600, 4335, 2010},       {F::cmdDelete, 1560, 2760, 975, 255},
            {F::txtFilePath, 240, 1440, 4335, 285}, {F::cmdBrowse, 3840, 1800, 735, 255}};
        for (const auto& c : controls) {
            RECT r{};
            GetWindowRect(Item(c.id), &r);
            MapWindowPoints(nullptr, GetParent(Item(c.id)), reinterpret_cast<POINT*>(&r), 2);
            EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
                      (std::vector<LONG>{px(c.left), px(c.top), px(c.width), px(c.height)}))
                << "control " << c.id << " at " << dpi << " dpi";
        }
    };
    expectPlaced(GetDpiForWindow(window));
    EXPECT_FALSE(GetWindowLongW(window, GWL_STYLE) & (WS_MAXIMIZEBOX | WS_THICKFRAME));
    RECT outer{};
    GetWindowRect(window, &outer);
    MONITORINFO monitor{sizeof monitor};
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    EXPECT_NEAR(outer.left + outer.right, monitor.rcWork.left + monitor.rcWork.right, 1);
    EXPECT_NEAR(outer.top + outer.bottom, monitor.rcWork.top + monitor.rcWork.bottom, 1);

    RECT suggested{10, 20, 500, 400};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    expectPlaced(192);
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.left, 10);
    EXPECT_EQ(outer.top, 20);

    Click(F::cmdAdd);
    std::vector<int> order{GetDlgCtrlID(Item(F::txtName))};
    for (int i = 0; i < 5; ++i)
        order.push_back(GetDlgCtrlID(GetNextDlgTabItem(window, Item(order.back()), FALSE)));
    EXPECT_EQ(order, (std::vector<int>{F::txtName, F::txtFilePath, F::cmdBrowse, F::cmdCancel,
                                       F::cmdSave, F::txtName}));
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

TEST_F(MainWindowTest, SaveAsksForANameFirstThenForAProgram) {
    Start();
    ExpectSave(L"", L"", kBadName);
    ExpectSave(L"Name", L"", kBadPath);
    ExpectSave(L"", program_, kBadName);
}

TEST_F(MainWindowTest, SaveWritesTheTwoKeysAndNothingElse) {
    Register(L"Other", L"Other", L"C:\\other.exe %1");
    Start();
    const auto before = Snapshot(HKEY_CLASSES_ROOT, kShell);
    const std::wstring path = MakeFile(L"with blanks.exe");
    EXPECT_TRUE(Save(L"My Viewer", path).empty());

    EXPECT_EQ(GetRaw(HKEY_CLASSES_ROOT, Verb(L"My Viewer"), L""), Sz(L"My Viewer"));
    EXPECT_EQ(GetRaw(HKEY_CLASSES_ROOT, Command(L"My Viewer"), L""), Sz(path + L" %1"));
    EXPECT_NE(RegQuery(Verb(L"My Viewer")).find("REG_SZ    My Viewer\n"), std::string::npos);
    EXPECT_NE(
        RegQuery(Command(L"My Viewer")).find("REG_SZ    " + fs::path(path).string() + " %1\n"),
        std::string::npos)
        << RegQuery(Command(L"My Viewer"));
    auto after = Snapshot(HKEY_CLASSES_ROOT, kShell);
    EXPECT_EQ(after.size(), before.size() + 4) << "two keys, each with its default value";
    std::erase_if(after,
                  [](const std::wstring& line) { return line.starts_with(Verb(L"My Viewer")); });
    EXPECT_EQ(after, before);

    EXPECT_EQ(Lines(),
              (std::vector<std::wstring>{L"My Viewer = " + path, L"Other = C:\\other.exe"}));
    EXPECT_TRUE(InListMode());
    Click(F::cmdAdd);
    EXPECT_EQ(Text(F::txtName), L"");
    EXPECT_EQ(Text(F::txtFilePath), L"");
}

TEST_F(MainWindowTest, SaveTakesOnlyNamesTheListCanShowAndDeleteCanReach) {
    ASSERT_EQ(GetACP(), 1252u) << "the verdicts are for this code page";
    Register(L"Existing", L"Existing", L"C:\\old.exe %1");
    Start();
    ExpectSave(L"", program_, kBadName);
    ExpectSave(L"outer\\inner", program_, kBadName);
    // "*\shell\" + name + "\command" would pass MAX_PATH.
    ExpectSave(std::wstring(245, L'n'), program_, kBadName);
    ExpectSave(L"\u03A9mega", program_, kBadName);
    for (const std::wstring name : {L"   ", L"  padded  ", L"A=B = C", L"Caf\u00E9", L"Existing"})
        ExpectSave(name, program_);
    ExpectSave(std::wstring(244, L'n'), program_);
}

TEST_F(MainWindowTest, SaveTakesOnlyTheFullPathOfOneVisibleFile) {
    const std::wstring dir = dir_.wstring();
    // The list reads back a command, the path and " %1", of up to 254 bytes.
    const auto ofLength = [&](size_t n) {
        return MakeFile(std::wstring(n - dir.size() - 5, L'p') + L".exe");
    };
    wchar_t drive = L'Z';
    while (GetLogicalDrives() & (1u << (drive - L'A'))) --drive;
    fs::current_path(dir_);  // where a relative path would find its file
    Start();
    for (const std::wstring& path : {
             std::wstring(),
             dir + L"\\missing.exe",
             dir + L"\\sub dir",
             dir + L"\\sub dir\\",
             dir + L"\\*.exe",
             dir + L"\\viewer.ex?",
             MakeFile(L"hidden.exe", FILE_ATTRIBUTE_HIDDEN),
             MakeFile(L"system.exe", FILE_ATTRIBUTE_SYSTEM),
             std::wstring(L"viewer.exe"),
             std::wstring(1, drive) + L":\\viewer.exe",
             ofLength(252),
         })
        ExpectSave(L"Viewer", path, kBadPath);
    ExpectSave(L"Viewer", ofLength(251));
    ExpectSave(L"Viewer", MakeFile(L"sub dir\\with blanks.exe"));
}

TEST_F(MainWindowTest, DeleteAsksFirstThenRemovesTheSelectedEntryAlone) {
    Register(L"Keep", L"Keep", L"C:\\keep.exe %1");
    Register(L"Gone", L"Gone", L"C:\\gone.exe %1");
    Start();
    const auto before = Snapshot(HKEY_CLASSES_ROOT, kShell);
    Select(L"Gone = C:\\gone.exe");
    const auto boxes = Click(F::cmdDelete, IDNO);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              L"Are you sure you want to delete the current viewer?\r\rGone = C:\\gone.exe");
    EXPECT_EQ(boxes[0].title, L"Confirm Delete..");
    EXPECT_EQ(boxes[0].icon, LoadIconW(nullptr, IDI_QUESTION));
    EXPECT_EQ(boxes[0].buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, kShell), before);

    EXPECT_EQ(Click(F::cmdDelete, IDYES).size(), 1u);
    auto expected = before;
    std::erase_if(expected,
                  [](const std::wstring& line) { return line.starts_with(Verb(L"Gone")); });
    EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, kShell), expected);
    EXPECT_EQ(Lines(), std::vector<std::wstring>{L"Keep = C:\\keep.exe"});
    EXPECT_FALSE(IsWindowEnabled(Item(F::cmdDelete)));
}

TEST_F(MainWindowTest, DeleteWithNothingSelectedAsksForASelection) {
    Register(L"Viewer", L"Viewer", L"C:\\v.exe %1");
    Start();
    // Save leaves Delete enabled, and no line selected.
    Select(L"Viewer = C:\\v.exe");
    Save(L"Second", program_);
    const auto before = Snapshot(HKEY_CLASSES_ROOT, kShell);
    const auto boxes = Click(F::cmdDelete);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"Please select a viewer to delete!");
    EXPECT_EQ(boxes[0].title, L"Select a viewer..");
    EXPECT_EQ(boxes[0].icon, LoadIconW(nullptr, IDI_INFORMATION));
    EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
    EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, kShell), before);
}

// Each line is deleted by the key it was read from, not by the name it shows.
TEST_F(MainWindowTest, DeleteGoesByTheKeyTheLineCameFrom) {
    Register(L"abc123", L"Other name", L"C:\\a.exe %1");
    Register(L"A=B", L"A=B", L"C:\\ab.exe %1");
    Register(L"A", L"A", L"C:\\only-a.exe %1");
    Register(L" padded ", L" padded ", L"C:\\p.exe %1");
    Register(L"padded", L"padded", L"C:\\q.exe %1");
    SetString(HKEY_CLASSES_ROOT, Verb(L"Bare"), L"", L"Bare");  // no command key: it stays
    Start();
    for (const wchar_t* line :
         {L"Other name = C:\\a.exe", L"A=B = C:\\ab.exe", L" padded  = C:\\p.exe", L"Bare = "}) {
        Select(line);
        Click(F::cmdDelete, IDYES);
    }
    EXPECT_EQ(SubKeyNames(HKEY_CLASSES_ROOT, kShell),
              (std::vector<std::wstring>{L"A", L"Bare", L"padded"}));
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"A = C:\\only-a.exe", L"Bare = ",
                                                  L"padded = C:\\q.exe"}));
}

// No message, and the list shows what the registry holds.
TEST_F(MainWindowTest, RegistryCallsOfSaveAndDeleteFailingInTurn) {
    const struct {
        std::function<void()> prepare;
        int button;
        size_t boxes;
    } actions[] = {{[&] {
                        Click(F::cmdAdd);
                        Type(F::txtName, L"New");
                        Type(F::txtFilePath, program_);
                    },
                    F::cmdSave, 0},
                   {[&] { Select(L"Gone = C:\\gone.exe"); }, F::cmdDelete, 1}};
    for (const auto& action : actions) {
        int n = 1;
        for (bool failed = true; failed; ++n) {
            SCOPED_TRACE("button " + std::to_string(action.button) + ", call " + std::to_string(n));
            Close();
            DeleteTree(HKEY_CLASSES_ROOT, kShell);
            Register(L"Keep", L"Keep", L"C:\\keep.exe %1");
            Register(L"Gone", L"Gone", L"C:\\gone.exe %1");
            Start();
            action.prepare();
            {
                const FailNthCall fail(n);
                EXPECT_EQ(Click(action.button, IDYES).size(), action.boxes);
                failed = fail.Failed();
            }
            EXPECT_TRUE(IsWindow(form_.Handle()));
            EXPECT_EQ(Lines(), ExpectedLines());
        }
        EXPECT_GT(n, 2) << "no call failed";
    }
}

TEST_F(MainWindowTest, BrowseShowsTheOpenDialogInTheProgramsDirectory) {
    Start();
    Click(F::cmdAdd);
    Type(F::txtFilePath, L"  typed before ");
    FileDialogView seen;
    EXPECT_EQ(Click(F::cmdBrowse,
                    [&](HWND dialog) {
                        seen = ReadFileDialog(dialog);
                        PressButton(dialog, IDCANCEL);
                    }),
              1);
    EXPECT_EQ(Text(F::txtFilePath), L"  typed before ");
    EXPECT_EQ(seen.owner, form_.Handle());
    EXPECT_EQ(seen.okText, L"&Open");
    EXPECT_EQ(seen.title, L"Select the Executable");
    EXPECT_EQ(seen.filters, std::vector<std::wstring>{L"All Files (*.*)"});
    EXPECT_FALSE(seen.readOnlyVisible);
    EXPECT_EQ(seen.fileName, L"");
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    EXPECT_EQ(seen.folder, fs::path(exe).parent_path().wstring());

    EXPECT_EQ(Click(F::cmdBrowse, [&](HWND dialog) { ChooseFile(dialog, program_); }), 1);
    EXPECT_EQ(Text(F::txtFilePath), program_);
}

}  // namespace

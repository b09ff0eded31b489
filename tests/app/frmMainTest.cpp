// The main window driven through its real controls, keys and dialogs; each change read back.

#include "about/frmAbout.h"
#include "app/basDeleted.h"
#include "app/frmMain.h"
#include "registry/clsRegistry.h"
#include "tests/testing/Keys.h"
#include "tests/testing/Recorder.h"
#include "tests/testing/Wait.h"
#include "ui/Layout.h"

#include <gtest/gtest.h>

#include <dlgs.h>
#include <oleacc.h>
#include <sddl.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <span>

namespace {

namespace fs = std::filesystem;
using enum frmMain::Control;
using Lines = std::vector<std::wstring>;
using namespace std::string_literals;

// Every user's viewers in the machine's hive (kMachine under Wine), the user's own.
const HKEY kMachine = HKEY_LOCAL_MACHINE, kUser = HKEY_CURRENT_USER;
const std::wstring kShell = L"Software\\Classes\\*\\shell";
std::wstring Verb(const std::wstring& key) { return kShell + L"\\" + key; }
std::wstring Command(const std::wstring& key) { return Verb(key) + L"\\command"; }

// While a key is handled: each dialog shown, as icon mark (! for another or none) and text.
Lines* asked = nullptr;
int reply = IDOK;
HWND answered = nullptr;  // a box answered once; a later box may have the same handle

// A dialog still open seconds after it was answered, or that cannot be, fails the case and goes.
VOID CALLBACK Stuck(HWND box, UINT, UINT_PTR, DWORD) {
    ADD_FAILURE() << "stays open: " << TextOf(box) << " " << TextOf(GetDlgItem(box, 0xFFFF));
    EndDialog(box, IDCANCEL);
}

// Answers each dialog when it first gives a control the focus; it is set up by then.
LRESULT CALLBACK Answering(int code, WPARAM wParam, LPARAM lParam) {
    const HWND box = GetAncestor(reinterpret_cast<HWND>(wParam), GA_ROOT);
    const bool dialog = GetClassLongW(box, GCW_ATOM) == 0x8002;  // #32770, message boxes too
    if (code == HCBT_SETFOCUS && asked && box != answered && dialog) {
        const auto icon = HICON(SendDlgItemMessageW(box, stc1, STM_GETICON, 0, 0));
        std::wstring mark = L"! ";
        for (auto [id, shown] :
             {std::pair{IDI_ERROR, L"x "}, {IDI_QUESTION, L"? "}, {IDI_INFORMATION, L"i "}})
            if (icon == LoadIconW(nullptr, id)) mark = shown;
        asked->push_back(mark + TextOf(GetDlgItem(box, 0xFFFF)));
        SetTimer(answered = box, 1, Seconds(5), Stuck);
        const int id = GetDlgItem(box, reply) ? reply : IDOK;
        if (!GetDlgItem(box, id)) Stuck(box, 0, 0, 0);
        PostMessageW(box, WM_COMMAND, id, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// No real registry state makes only the creation of a new verb key's command key fail.
template <class... Rest>
LONG WINAPI RefuseCommandKey(HKEY root, LPCSTR path, Rest... rest) {
    if (std::string_view(path).ends_with("Refused\\command")) return ERROR_ACCESS_DENIED;
    return RegCreateKeyExA(root, path, rest...);
}

// No real key refuses its own deletion once what is below it went.
LONG WINAPI RefuseCommandKeyW(HKEY root, LPCWSTR path) {
    if (std::wstring_view(path).ends_with(L"Refused\\command")) return ERROR_ACCESS_DENIED;
    return RegDeleteKeyW(root, path);
}

// The list's reads, each of which opens both hives' *\shell once.
int opened = 0;
LONG WINAPI CountedOpen(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
    opened += std::string_view(path) == "Software\\Classes\\*\\shell";
    return RegOpenKeyExA(root, path, options, access, key);
}

// Each control (the client area first): place and size in its parent, font height, all fits.
std::vector<std::array<LONG, 6>> Layout(HWND window) {
    std::vector<std::array<LONG, 6>> layout;
    std::vector<HWND> controls{window};
    for (size_t i = 0; i < controls.size(); ++i) {
        const HWND control = controls[i], parent = i ? GetParent(control) : window;
        for (HWND c = GetWindow(control, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            controls.push_back(c);
        RECT r{}, room{};
        GetClientRect(parent, &room);
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        const auto font = HGDIOBJ(SendMessageW(control, WM_GETFONT, 0, 0));
        LOGFONTW logFont{};
        GetObjectW(font, sizeof logFont, &logFont);
        const WindowDC dc(control);
        SelectObject(dc.Get(), font);
        const std::wstring text = TextOf(control);
        SIZE extent{};
        GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
        if (!i) r = room;
        layout.push_back({r.left, r.top, r.right - r.left, r.bottom - r.top,
                          std::abs(logFont.lfHeight),
                          extent.cx <= r.right - r.left && r.right <= room.right});
    }
    return layout;
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        hook_ = SetWindowsHookExW(WH_CBT, Answering, nullptr, GetCurrentThreadId());
        DeleteTree(kMachine, kShell), DeleteTree(kUser, kShell), fs::remove_all(dir_);
        SetEnvironmentVariableW(L"LOCALAPPDATA", dir_.c_str());  // for the copies Delete keeps
        fs::create_directories(dir_ / L"my docs"), fs::create_directories(dir_ / L"Rec Dir");
        fs::copy_file(kRecorder, program_ = (dir_ / L"Rec Dir\\rec.exe").wstring());
    }
    void TearDown() override {
        std::error_code ignored;
        UnhookWindowsHookEx(hook_), DeleteTree(kMachine, kShell), DeleteTree(kUser, kShell),
            fs::remove_all(dir_, ignored);
    }
    void Start() { ASSERT_TRUE(form_.Create(SW_SHOWNORMAL)); }
    std::wstring FileOfLength(size_t length) {
        return MakeFile(std::wstring(length - dir_.wstring().size() - 1, L'p'), 0);
    }
    std::wstring MakeFile(const std::wstring& name, DWORD attributes) {
        const std::wstring path = (dir_ / name).wstring();
        CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes,
                                nullptr));
        return path;
    }
    void Register(const std::wstring& key, const std::wstring& display, const std::wstring& cmd,
                  HKEY hive = kMachine) {
        SetString(hive, Verb(key), L"", display);
        SetString(hive, Command(key), L"", cmd);
    }
    HWND Item(int id) const { return FindControl(form_.Handle(), id); }
    // Whether done() comes true within seconds, the window's messages handled meanwhile.
    template <class Done>
    bool Pumping(Done done, int seconds = 5) {
        return WaitUntil(
            [&] {
                for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
                return done();
            },
            seconds);
    }
    Lines Shown() const {
        Lines lines;
        for (wchar_t line[1024]; SendMessageW(Item(List1), LB_GETTEXT, lines.size(),
                                              reinterpret_cast<LPARAM>(line)) != LB_ERR;)
            lines.emplace_back(line);
        return lines;
    }
    // A key handled as the program's loop does; the dialogs shown, answered, as mark and text.
    Lines Press(UINT key, int answerWith = IDOK) {
        Lines shown;
        // Wine's dialog keys never return from a control that is not shown.
        if (!IsWindowVisible(GetFocus()))
            return ADD_FAILURE() << "focus on a hidden control", shown;
        std::tie(asked, reply, answered) = std::tuple(&shown, answerWith, nullptr);
        for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
            MSG msg{GetFocus(), message, key, LPARAM(message == WM_KEYUP ? 0xC0000001 : 1)};
            do
                IsDialogMessageW(form_.Handle(), &msg) ||
                    (TranslateMessage(&msg), DispatchMessageW(&msg));
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
        }
        asked = nullptr;
        return shown;
    }
    // Each key pressed and the control that has the focus then.
    void Walk(std::span<const std::pair<UINT, int>> steps) {
        for (auto [key, id] : steps) {
            Press(key);
            EXPECT_EQ(GetDlgCtrlID(GetFocus()), id) << "after key " << key;
        }
    }
    // The verb run on a file as Explorer runs it, until its program ends: by class *, or from the
    // user's own *, which Windows merges into it and Wine does not.
    void Run(const std::wstring& verb, const std::wstring& file, HKEY hive = kMachine) {
        SHELLEXECUTEINFOW run{sizeof run, SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI, nullptr,
                              verb.c_str(), file.c_str()};
        run.fMask |= hive == kMachine ? SEE_MASK_CLASSNAME : SEE_MASK_CLASSKEY;
        run.lpClass = L"*";
        RegOpenKeyExW(hive, L"Software\\Classes\\*", 0, KEY_READ, &run.hkeyClass);
        EXPECT_TRUE(ShellExecuteExW(&run));
        WaitForSingleObject(run.hProcess, Seconds(10)), CloseHandle(run.hProcess);
        RegCloseKey(run.hkeyClass);
    }
    // Each copy Delete kept, imported by Wine's own Registry Editor.
    void ImportCopies() {
        for (const auto& copy : fs::directory_iterator(dir_ / L"Talvern\\Deleted viewers"))
            _wsystem((L"regedit.exe /s \"" + copy.path().wstring() + L"\"").c_str());
    }
    bool Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    Lines Save(const std::wstring& name, const std::wstring& path) {
        if (!IsWindowVisible(Item(txtName))) SendMessageW(Item(cmdAdd), BM_CLICK, 0, 0);
        SetWindowTextW(Item(txtName), name.c_str());
        SetWindowTextW(Item(txtFilePath), path.c_str());
        SetFocus(Item(cmdSave));
        return Press(VK_SPACE);
    }

    const fs::path dir_ = fs::temp_directory_path() / L"Talvern tests";
    std::wstring program_;
    HHOOK hook_ = nullptr;
    frmMain form_;
};

// A refused Save says why, changes nothing and keeps what was typed; a Save writes two keys.
TEST_F(MainWindowTest,
       ListsEachNamedEntryOnceSavesTwoKeysAndRefusesWhatExplorerOrTheListCannotTake) {
    // Each command and what the list shows of it, under a display name unlike its key's name.
    const std::pair<std::wstring, std::wstring> commands[] = {
        {L"C:\\Old Form\\o.exe %1", L"C:\\Old Form\\o.exe"},
        {L"\"C:\\Program Files\\q.exe\" \"%1\"", L"C:\\Program Files\\q.exe"},
        {L"\"C:\\q.exe\" /view  \"%1\"", L"\"C:\\q.exe\" /view"},
        {L"\"C:\\q.exe\" \"/v\" %1", L"\"C:\\q.exe\" \"/v\""},
        {L"cmd.exe /c echo hi", L"cmd.exe /c echo hi"},
        {L"cmd /c \"type %1\"", L"cmd /c \"type %1\""},
        {L"x.exe \"a %1", L"x.exe \"a %1"},
        {L"ab", L"ab"}};
    Lines listed;
    for (const auto& [command, shown] : commands) {
        const std::wstring n = std::to_wstring(listed.size());
        Register(L"command " + n, L"Shown " + n, command);
        listed.push_back(L"Shown " + n + L" = " + shown);
    }
    // Explorer's menu text: MUIVerb, else the default value, else the key's name; then the
    // flags that keep an entry off the menu or behind Shift. Each key, its values, its line.
    const auto resource = [](int id) {
        const wchar_t* text = nullptr;
        const int length = LoadStringW(GetModuleHandleW(L"shell32.dll"), id, LPWSTR(&text), 0);
        return std::wstring(text, std::max(length, 0));
    };
    using Value = std::tuple<std::wstring, DWORD, std::wstring>;
    const std::tuple<std::wstring, std::vector<Value>, std::wstring> entries[] = {
        {L"k01", {{L"MUIVerb", REG_SZ, L"Menu"}}, L"Menu"},
        {L"k02", {{L"", REG_SZ, L"Default"}, {L"MUIVerb", REG_SZ, L"Muiverb"}}, L"Muiverb"},
        {L"k03", {}, L"k03"},
        {L"k04", {{L"MUIVerb", REG_DWORD, L"\x4D"}, {L"", REG_SZ, L"Dword"}}, L"Dword"},
        {L"k05", {{L"MUIVerb", REG_SZ, L""}, {L"", REG_EXPAND_SZ, L""}}, L"k05"},
        {L"k06", {{L"", REG_SZ, L"@shell32.dll,-21"}}, resource(21)},
        {L"k07",
         {{L"MUIVerb", REG_EXPAND_SZ, L"@%SystemRoot%\\system32\\shell32.dll,-22"}},
         resource(22)},
        {L"k08", {{L"MUIVerb", REG_SZ, L"@C:\\none.dll,-3"}}, L"@C:\\none.dll,-3"},
        {L"k09", {{L"", REG_SZ, L"O&pen && &Save&"}}, L"Open & Save"},
        {L"k10", {{L"ProgrammaticAccessOnly", REG_SZ, L""}}, L"k10 (hidden)"},
        {L"k11", {{L"LegacyDisable", REG_DWORD, L""}}, L"k11 (hidden)"},
        {L"k12", {{L"Extended", REG_SZ, L""}}, L"k12 (with Shift)"},
        {L"k13",
         {{L"Extended", REG_SZ, L""}, {L"LegacyDisable", REG_SZ, L""}},
         L"k13 (hidden) (with Shift)"}};
    for (const auto& [key, values, line] : entries) {
        SetString(kMachine, Command(key), L"", L"C:\\v.exe");
        for (const auto& [name, type, text] : values)
            SetString(kMachine, Verb(key), name, text, type);
        const size_t ending = line.find(L" (");
        listed.push_back(line.substr(0, ending) + L" = C:\\v.exe" +
                         (ending == line.npos ? L"" : line.substr(ending)));
    }
    EXPECT_FALSE(resource(21).empty() || resource(22).empty());
    // Code page 1252 maps the Greek name onto the Latin one: that entry is reached, once.
    Register(L"omega", L"Latin", L"C:\\l.exe %1");
    Register(L"\u03A9mega", L"Greek", L"C:\\g.exe %1");
    Register(L"\u4E2D", L"Unreachable", L"C:\\u.exe %1");  // no name in code page 1252
    SetString(kMachine, Verb(L"raw"), L"", L"Raw");
    SetString(kMachine, Command(L"raw"), L"", L"C:\\r.exe %1", REG_EXPAND_SZ);
    // Takes no sub-key that is not volatile too: the command key cannot be made below it.
    CreateKey(kMachine, Verb(L"Volatile"), REG_OPTION_VOLATILE);
    Start();
    listed.insert(listed.end(), {L"Latin = C:\\l.exe", L"Raw = C:\\r.exe", L"Volatile = "});
    EXPECT_EQ(Shown(), listed);
    const auto before = Snapshot(kMachine, kShell);
    const std::tuple<std::wstring, std::wstring, std::wstring> cases[] = {
        {L"", program_, L"i Not a Valid Name!"},
        {L"a\\b", program_, L"i Not a Valid Name!"},
        {std::wstring(228, L'n'), program_, L"i Not a Valid Name!"},
        {L"x", L"", L"i Not a Valid Program Path!"},
        {L"x", (dir_ / L"my docs").wstring(), L"i Not a Valid Program Path!"},
        {L"x", L"Rec Dir\\rec.exe", L"i Not a Valid Program Path!"},
        {L"x", L"C:Rec Dir\\rec.exe", L"i Not a Valid Program Path!"},
        {L"x", MakeFile(L"hidden.exe", FILE_ATTRIBUTE_HIDDEN), L"i Not a Valid Program Path!"},
        {L"x", (dir_ / L"missing.exe").wstring(), L"i Not a Valid Program Path!"},
        {L"x", FileOfLength(248), L"i Not a Valid Program Path!"},
        {L"Volatile", program_, L"x The viewer could not be saved.\n\n"},  // and why
        {L"Refused", program_, L"x The viewer could not be saved.\n\n"}};
    Advapi().CreateKeyEx = RefuseCommandKey;
    fs::current_path(dir_);
    for (const auto& [typed, file, message] : cases) {
        SCOPED_TRACE(typed.substr(0, 9) + L" / " + file);
        const Lines boxes = Save(typed, file);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(boxes[0].starts_with(message) &&
                    (boxes[0].size() > message.size()) == message.ends_with(L"\n"))
            << boxes[0];
        EXPECT_EQ(GetFocus(), Item(file == program_ ? txtName : txtFilePath));
        EXPECT_EQ(TextOf(Item(txtName)) + L"|" + TextOf(Item(txtFilePath)), typed + L"|" + file);
        EXPECT_EQ(Snapshot(kMachine, kShell), before);
    }
    fs::current_path(fs::temp_directory_path());
    Advapi() = {};
    // Put back as it was, not made again: the key is still volatile.
    CreateKey(kMachine, Verb(L"Volatile") + L"\\child");
    EXPECT_TRUE(Snapshot(kMachine, Verb(L"Volatile") + L"\\child").empty());
    EXPECT_TRUE(Save(L"My Viewer", program_).empty());
    EXPECT_EQ(
        Snapshot(kMachine, Verb(L"My Viewer")),
        (Lines{L".", L". [] 1 My Viewer\0"s, L". [Icon] 1 " + program_ + L",0\0"s, L".\\command",
               L".\\command [] 1 \"" + program_ + L"\" \"%1\"\0"s}));  // REG_SZ, with NULs
    // The longest name and program path that the list can show whole.
    const std::wstring longestName(227, L'n'), longest = FileOfLength(247);
    EXPECT_TRUE(Save(longestName, longest).empty());
    for (const auto& line : {L"My Viewer = " + program_, longestName + L" = " + longest})
        EXPECT_EQ(std::ranges::count(Shown(), line), 1);
}

TEST_F(MainWindowTest, KeyboardAloneAddsSavesEditsAndDeletesWithTheFocusAlwaysReachable) {
    Start();
    SetFocus(Item(cmdAdd));
    const std::pair<UINT, int> adding[] = {
        {VK_TAB, cmdAbout},      {VK_TAB, List1},        {VK_TAB, cmdAdd},
        {VK_SPACE, txtName},     {VK_TAB, txtFilePath},  {VK_TAB, cmdBrowse},
        {VK_TAB, chkShowOnMenu}, {VK_TAB, chkShiftOnly}, {VK_SPACE, chkShiftOnly},
        {VK_TAB, chkAllUsers},   {VK_TAB, cmdCancel},    {VK_TAB, cmdSave},
        {VK_TAB, txtName},       {'T', txtName}};
    Walk(adding);
    EXPECT_TRUE(Checked(chkShowOnMenu) && Checked(chkShiftOnly)) << "Space did not check it";
    SetFocus(Item(cmdCancel)), Press(VK_SPACE), Press(VK_SPACE);
    EXPECT_EQ(TextOf(Item(txtName)) + (Checked(chkShiftOnly) ? L"Shift" : L""), L"")
        << "what was cancelled came back";
    EXPECT_TRUE(Save(L"Keyed", program_).empty());
    EXPECT_EQ(GetFocus(), Item(cmdAdd));
    EXPECT_EQ(TextOf(Item(txtName)), L"");
    const std::pair<UINT, int> selecting[] = {
        {VK_TAB, cmdAbout}, {VK_TAB, List1},     {VK_DOWN, List1},
        {VK_TAB, cmdAdd},   {VK_TAB, cmdDelete}, {VK_TAB, cmdEdit},
        {VK_TAB, cmdAbout}, {VK_TAB, List1},     {VK_RETURN, txtName}};
    Walk(selecting);
    EXPECT_EQ(TextOf(Item(txtName)) + L"|" + TextOf(Item(txtFilePath)), L"Keyed|" + program_);
    // Saved, the list has no line selected: Delete and Edit say so, then get the focus back.
    SetFocus(Item(cmdSave)), Press(VK_SPACE);
    for (auto [id, what] : {std::pair{cmdEdit, L"edit"}, {cmdDelete, L"delete"}}) {
        SetFocus(Item(id));
        EXPECT_EQ(Press(VK_SPACE), Lines{L"i Please select a viewer to "s + what + L"!"});
        EXPECT_EQ(GetFocus(), Item(id));
    }
    const std::pair<UINT, int> deleting[] = {{VK_TAB, cmdEdit}, {VK_TAB, cmdAbout},
                                             {VK_TAB, List1},   {VK_DOWN, List1},
                                             {VK_TAB, cmdAdd},  {VK_TAB, cmdDelete}};
    Walk(deleting);
    EXPECT_EQ(Press(VK_SPACE, IDYES),
              Lines{L"? Are you sure you want to delete the current viewer?\r\rKeyed = " +
                    program_ + L"\r\rA copy goes to " + dir_.wstring() +
                    L"\\Talvern\\Deleted viewers first; opening it brings the viewer back."});
    EXPECT_EQ(GetFocus(), Item(List1));
    EXPECT_FALSE(IsWindowEnabled(Item(cmdDelete)) || IsWindowEnabled(Item(cmdEdit)));
}

// Entries as other programs and editors leave them: Save writes only what the user changed.
TEST_F(MainWindowTest, EditShowsEachEntryAsStoredAndSaveWritesOnlyWhatChanged) {
    const std::wstring renewed = (dir_ / L"Rec Dir\\new rec.exe").wstring(), v = L"C:\\v.exe %1";
    fs::copy_file(kRecorder, renewed);
    const auto quoted = [](const std::wstring& p) { return L"\"" + p + L"\" \"%1\""; };
    using Values = std::vector<std::tuple<std::wstring, DWORD, std::wstring>>;
    // Entry (key, values, command) in key order; the panel (name|program|shown|Shift); what is
    // typed and clicked (1 shown, 2 Shift); each value written (". [name] type data") or removed.
    const std::wstring other = L"\"" + program_ + L"\" /view \"%1\"", icon = program_ + L",0";
    const std::wstring now = L".\\command [] 1 " + quoted(renewed), newIcon = renewed + L",0";
    // clang-format off
    const std::tuple<std::wstring, Values, std::wstring, std::wstring, std::wstring, std::wstring, int, Lines> rows[] = {
        {L"Bare", {}, v, L"Bare|C:\\v.exe|1|0", L"", L"", 0, {}},
        {L"Case", {{L"muiverb", REG_SZ, L"Case"}, {L"EXTENDED", REG_SZ, L""}, {L"icon", REG_SZ, L"c:\\prog.exe,0"}, {L"legacydisable", REG_DWORD, L""}},
         quoted(L"C:\\PROG.EXE"), L"Case|C:\\PROG.EXE|0|1", L"Cased", renewed, 3,
         {L". [muiverb] 1 Cased", L". [EXTENDED]", L". [icon] 1 " + newIcon, L". [legacydisable]", now}},
        {L"Expand", {{L"MUIVerb", REG_EXPAND_SZ, L"%SystemRoot% tool"}}, v, L"%SystemRoot% tool|C:\\v.exe|1|0", L"%TEMP% tool", L"", 2,
         {L". [MUIVerb] 2 %TEMP% tool", L". [Extended] 1 "}},
        {L"Legacy", {{L"", REG_SZ, L"Legacy"}, {L"LegacyDisable", REG_SZ, L""}}, v, L"Legacy|C:\\v.exe|0|0", L"", L"", 1, {L". [LegacyDisable]"}},
        {L"Other", {{L"MUIVerb", REG_SZ, L"Other &Tool"}, {L"", REG_SZ, L"Unused"}, {L"Icon", REG_SZ, L"C:\\other.ico,2"}},
         other, L"Other &Tool|" + other + L"|1|0", L"Renamed", renewed, 0, {L". [MUIVerb] 1 Renamed", now}},
        {L"Own", {{L"", REG_SZ, L"Own"}, {L"Icon", REG_SZ, icon}}, quoted(program_), L"Own|" + program_ + L"|1|0", L"", renewed, 0,
         {L". [Icon] 1 " + newIcon, now}},
        {L"Quiet", {{L"", REG_SZ, L"Quiet"}, {L"ProgrammaticAccessOnly", REG_SZ, L""}, {L"Extended", REG_SZ, L""}},
         quoted(program_), L"Quiet|" + program_ + L"|0|1", L"", L"", 0, {}}};
    // clang-format on
    for (const auto& [key, values, command, panel, name, program, clicks, changes] : rows) {
        for (const auto& [value, type, text] : values)
            SetString(kMachine, Verb(key), value, text, type);
        SetString(kMachine, Command(key), L"", command);
    }
    Start();
    for (size_t line = 0; line < std::size(rows); ++line) {
        const auto& [key, values, command, panel, name, program, clicks, changes] = rows[line];
        SCOPED_TRACE(key);
        Lines expected = Snapshot(kMachine, Verb(key));
        SetFocus(Item(List1)), Press(VK_HOME);
        for (size_t down = 0; down < line; ++down) Press(VK_DOWN);
        Press(VK_RETURN);
        EXPECT_EQ(TextOf(Item(txtName)) + L"|" + TextOf(Item(txtFilePath)) + L"|" +
                      std::to_wstring(Checked(chkShowOnMenu)) + L"|" +
                      std::to_wstring(Checked(chkShiftOnly)),
                  panel);
        if (!name.empty()) SetWindowTextW(Item(txtName), name.c_str());
        if (!program.empty()) SetWindowTextW(Item(txtFilePath), program.c_str());
        for (int box : {chkShowOnMenu, chkShiftOnly})
            if (clicks & (box == chkShowOnMenu ? 1 : 2)) SetFocus(Item(box)), Press(VK_SPACE);
        SetFocus(Item(cmdSave));
        EXPECT_TRUE(Press(VK_SPACE).empty());
        for (const std::wstring& change : changes) {
            const std::wstring value = change.substr(0, change.find(L']') + 1);
            std::erase_if(expected, [&](auto& l) { return l.starts_with(value + L" "); });
            if (change != value) expected.push_back(change + L'\0');
        }
        auto snapshot = Snapshot(kMachine, Verb(key));
        std::ranges::sort(snapshot), std::ranges::sort(expected);
        EXPECT_EQ(snapshot, expected);
    }
    // Off the menu, programs can still run it.
    const std::wstring file = MakeFile(L"a b.txt", 0);
    Run(L"Quiet", file);
    EXPECT_EQ(Recorded(program_), L"app_tests.exe|" + file + L"\n");
    // Changed, then removed by another program while its panel is open; Enter there does nothing.
    SetFocus(Item(List1)), Press(VK_HOME), Press(VK_RETURN);
    SetString(kMachine, Command(L"Bare"), L"", L"C:\\theirs.exe");
    SetWindowTextW(Item(txtName), L"Mine"), Press(VK_RETURN);
    EXPECT_TRUE(IsWindowVisible(Item(txtName)) && TextOf(Item(txtName)) == L"Mine");
    SetFocus(Item(cmdSave)), Press(VK_SPACE);
    EXPECT_EQ(Snapshot(kMachine, Command(L"Bare")),
              (Lines{L".", L". [] 1 C:\\theirs.exe"s + L'\0'}));
    SetFocus(Item(List1)), Press(VK_HOME), Press(VK_RETURN);
    DeleteTree(kMachine, Verb(L"Bare")), SetFocus(Item(cmdSave));
    EXPECT_EQ(Press(VK_SPACE), Lines{L"x The viewer could not be saved.\n\nAnother program removed "
                                     L"this viewer since it was listed. Cancel, then Add New to "
                                     L"make it again."});
    EXPECT_TRUE(Snapshot(kMachine, Verb(L"Bare")).empty());
}

// Delete takes the line's own key whole, after a copy that Wine's own regedit imports back byte
// for byte; refused part-way, or with no copy written, it changes nothing and says why.
TEST_F(MainWindowTest, DeleteTakesTheLinesOwnKeyWholeAfterACopyThatBringsItBack) {
    const std::wstring full = Verb(L"Full"), odd = L"\"q\" \\ \u03A9\u4E2D";  // not in 1252
    Register(L"Full", odd, L"C:\\f.exe %1");
    const std::tuple<std::wstring, DWORD, std::vector<BYTE>> values[] = {
        {L"none", REG_NONE, {1, 2}},
        {L"empty", REG_SZ, {}},
        {L"lines", REG_SZ, {'a', 0, '\r', 0, '\n', 0, 0, 0}},
        {L"inner NUL", REG_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0}},
        {L"expand", REG_EXPAND_SZ, {'%', 0, 'T', 0, '%', 0, 0, 0}},
        {L"binary", REG_BINARY, std::vector<BYTE>(60, 0xAB)},
        {L"dword", REG_DWORD, {1, 2, 3, 0x84}},
        {L"big", REG_DWORD_BIG_ENDIAN, {1, 2, 3, 4}},
        {L"multi", REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
        {L"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {odd, 0x12345, {7}}};
    for (const auto& [name, type, bytes] : values) SetRaw(kMachine, full, name, type, bytes);
    SetString(kMachine, full + L"\\\u4E2D\\deeper", L"", odd);
    SetString(kMachine, Verb(L"No*Command?"), L"", L"Bare");
    Register(L"Dde", L"D", L"C:\\d.exe %1");
    SetString(kMachine, Verb(L"Dde") + L"\\ddeexec\\Application", L"", L"d");
    Register(L"Refused", L"R", L"C:\\r.exe %1");
    CreateKey(kMachine, Command(L"Refused") + L"\\x"),
        CreateKey(kMachine, Verb(L"Refused") + L"\\a");
    SetString(kMachine, Verb(L"Zz"), L"a\nb", L"");  // Registry Editor cannot name it
    Advapi().DeleteKeyW = RefuseCommandKeyW;
    Start();
    const auto before = Snapshot(kMachine, kShell);
    const fs::path folder = dir_ / L"Talvern\\Deleted viewers";
    fs::create_directories(folder);
    // Line, answer, whether the copy's folder cannot be made, what goes, the last box's start.
    const std::tuple<size_t, int, bool, std::wstring, std::wstring> steps[] = {
        {4, IDYES, false, L"", L"x Nothing was deleted: the viewer's copy could not be written."},
        {3, IDYES, false, L"", L"x The viewer could not be deleted.\n\n"},
        {0, IDYES, true, L"",
         L"x Nothing was deleted: the viewer's copy could not be written.\n\n"},
        {1, IDNO, false, L"", L"? "},
        {1, IDYES, false, L"Full", L"? "},
        {1, IDYES, false, L"No*Command?", L"? "},
        {0, IDYES, false, L"Dde", L"? "}};
    Lines left = before;
    std::ptrdiff_t copies = 0;
    for (const auto& [line, answer, blocked, gone, said] : steps) {
        SetEnvironmentVariableW(L"LOCALAPPDATA", (blocked ? program_ : dir_.wstring()).c_str());
        SetFocus(Item(List1));
        for (size_t down = 0; down <= line; ++down) Press(down ? VK_DOWN : VK_HOME);
        SetFocus(Item(cmdDelete));
        const Lines boxes = Press(VK_SPACE, answer);
        ASSERT_FALSE(boxes.empty());
        EXPECT_TRUE(boxes.back().starts_with(said)) << boxes.back();
        const std::wstring key = L".\\" + gone;
        if (!gone.empty())
            std::erase_if(left, [&](const std::wstring& l) {
                return l == key || l.starts_with(key + L" [") || l.starts_with(key + L"\\");
            });
        EXPECT_EQ(Snapshot(kMachine, kShell), left);
        // A line still there after Delete was tried stays selected, for another try.
        const bool kept = gone.empty();
        EXPECT_EQ(SendMessageW(Item(List1), LB_GETCURSEL, 0, 0), kept ? LRESULT(line) : LB_ERR);
        EXPECT_EQ(IsWindowEnabled(Item(cmdDelete)), kept);
        EXPECT_EQ(GetFocus(), Item(kept ? cmdDelete : List1));
        // One copy for each viewer deleted (their names: DeletedCopy below).
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), copies += !gone.empty());
    }
    ImportCopies();
    EXPECT_EQ(Snapshot(kMachine, kShell), before);
}

// Each viewer is saved, edited, deleted and brought back in its own hive, and nowhere else.
TEST_F(MainWindowTest, EachViewerStaysInItsOwnHiveAndARefusedMachineHiveChangesNothing) {
    Register(L"Both", L"Machine", L"C:\\m.exe %1");
    Register(L"Both", L"User", L"C:\\u.exe %1", kUser);
    Start();
    const auto machine = Snapshot(kMachine, kShell);
    SendMessageW(Item(cmdAdd), BM_CLICK, 0, 0);
    SetFocus(Item(chkAllUsers)), Press(VK_SPACE);  // for the user alone
    EXPECT_TRUE(Save(L"Mine", program_).empty());
    const std::wstring file = MakeFile(L"my docs\\a b.txt", 0);
    Run(L"Mine", file, kUser);
    EXPECT_EQ(Recorded(program_), L"app_tests.exe|" + file + L"\n");
    // The user's Both edited, deleted and brought back from its copy.
    SetFocus(Item(List1)), Press(VK_HOME), Press(VK_DOWN), Press(VK_RETURN);
    EXPECT_FALSE(IsWindowEnabled(Item(chkAllUsers)) || Checked(chkAllUsers));
    SetWindowTextW(Item(txtName), L"Renamed"), SetFocus(Item(cmdSave)), Press(VK_SPACE);
    const auto user = Snapshot(kUser, kShell);
    SetFocus(Item(List1)), Press(VK_HOME), Press(VK_DOWN), SetFocus(Item(cmdDelete));
    EXPECT_EQ(Press(VK_SPACE, IDYES).size(), 1u);
    ImportCopies();
    EXPECT_EQ(Snapshot(kUser, kShell), user);
    EXPECT_EQ(Snapshot(kMachine, kShell), machine);
    // Refused, as to a user who is no administrator: Wine checks security on opening for writing.
    PSECURITY_DESCRIPTOR refusing = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;0x6;;;WD)(A;;KA;;;WD)", 1,
                                                         &refusing, nullptr);
    for (const std::wstring& path : {kShell, Verb(L"Both")}) {
        HKEY key = nullptr;
        RegOpenKeyExW(kMachine, path.c_str(), 0, WRITE_DAC, &key);
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, refusing), RegCloseKey(key);
    }
    LocalFree(refusing);
    SendMessageW(Item(cmdAdd), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowEnabled(Item(chkAllUsers)) || Checked(chkAllUsers));
    EXPECT_EQ(TextOf(Item(chkAllUsers)), L"For all users (needs administrator rights)");
    SendMessageW(Item(cmdCancel), BM_CLICK, 0, 0);
    const std::wstring why =
        L".\n\nChanging viewers for all users needs administrator rights. "
        L"Close Talvern, then right-click it and choose \"Run as administrator\".";
    SetFocus(Item(List1)), Press(VK_HOME), Press(VK_RETURN);
    SetWindowTextW(Item(txtName), L"Machine's"), SetFocus(Item(cmdSave));
    EXPECT_EQ(Press(VK_SPACE), Lines{L"x The viewer could not be saved" + why});
    SendMessageW(Item(cmdCancel), BM_CLICK, 0, 0);
    SetFocus(Item(List1)), Press(VK_HOME), SetFocus(Item(cmdDelete));
    EXPECT_EQ(Press(VK_SPACE, IDYES).back(), L"x The viewer could not be deleted" + why);
    EXPECT_EQ(Snapshot(kMachine, kShell), machine);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / L"Talvern\\Deleted viewers"), {}), 1);
}

// What another program changes shows by itself; what the user is doing stays as it is.
TEST_F(MainWindowTest, TheListFollowsWhatOtherProgramsChangeInEitherHive) {
    Register(L"A", L"Alpha", L"C:\\a.exe %1");
    DeleteTree(kUser, L"Software\\Classes\\*");
    Start();  // the user's * is not there yet
    SetFocus(Item(List1)), Press(VK_HOME);
    const std::wstring a = L"Alpha = C:\\a.exe", b = L"Beta = C:\\b.exe (just me)",
                       z = L"Zero = C:\\z.exe", a2 = L"Alpha 2 = C:\\a.exe",
                       c = L"C = C:\\c.exe (just me)";
    // Each change, the lines then, and the line selected then.
    const std::tuple<std::function<void()>, Lines, LRESULT> steps[] = {
        {[&] { Register(L"B", L"Beta", L"C:\\b.exe %1", kUser); }, {a, b}, 0},
        {[&] { Register(L"0", L"Zero", L"C:\\z.exe %1"); }, {z, a, b}, 1},
        {[&] { SetString(kMachine, Verb(L"A"), L"", L"Alpha 2"); }, {z, a2, b}, 1},
        {[&] { DeleteTree(kMachine, Verb(L"A")); }, {z, b}, LB_ERR},
        {[&] { DeleteTree(kUser, Verb(L"B")); }, {z}, LB_ERR},
        {[&] {
             RegDeleteKeyW(kUser, kShell.c_str()), Register(L"C", L"C", L"C:\\c.exe %1", kUser);
         },
         {z, c},
         LB_ERR}};
    for (const auto& [change, lines, selected] : steps) {
        change();
        EXPECT_TRUE(Pumping([&] { return Shown() == lines; })) << lines.size();
        EXPECT_EQ(SendMessageW(Item(List1), LB_GETCURSEL, 0, 0), selected);
        EXPECT_TRUE(GetFocus() == Item(List1) && IsWindowEnabled(Item(cmdDelete)));
    }
    SendMessageW(Item(cmdAdd), BM_CLICK, 0, 0);
    SetWindowTextW(Item(txtName), L"typed");
    Advapi().OpenKeyEx = CountedOpen;
    // An installer writes 50 viewers, 200 changes in a row, while the window goes on.
    for (int i = 10; i < 60; ++i)
        Register(L"k" + std::to_wstring(i), L"k", L"C:\\k.exe"), Pumping([] { return true; });
    EXPECT_TRUE(Pumping([&] { return Shown().size() == 52; }));
    EXPECT_TRUE(GetFocus() == Item(txtName) && TextOf(Item(txtName)) == L"typed");
    EXPECT_LE(opened, 2 * 3) << "reads";
    // The list keeps its place where its lines allow.
    SendMessageW(Item(List1), LB_SETTOPINDEX, 20, 0);
    DeleteTree(kMachine, Verb(L"0"));
    EXPECT_TRUE(Pumping([&] { return Shown().size() == 51; }));
    EXPECT_EQ(SendMessageW(Item(List1), LB_GETTOPINDEX, 0, 0), 20);
}

TEST_F(MainWindowTest, BoxesAreNamedByTheirLabelsAndNoTextIsCutAtAnyDpi) {
    Start();
    SendMessageW(Item(cmdAdd), BM_CLICK, 0, 0);  // the edit panel is made on first use
    for (const auto& [box, label] : {std::pair{txtName, L"Enter the Viewer Name:"},
                                     {txtFilePath, L"Enter the Program Path and Name:"}}) {
        IAccessible* object = nullptr;
        BSTR name = nullptr;
        ASSERT_EQ(AccessibleObjectFromWindow(Item(box), OBJID_CLIENT, IID_PPV_ARGS(&object)), S_OK);
        object->get_accName(VARIANT{VT_I4}, &name);
        EXPECT_EQ(std::wstring(name ? name : L""), label);
        SysFreeString(name), object->Release();
    }
    frmAbout::Show();
    for (HWND window : {form_.Handle(), FindWindowW(L"TalvernAbout", nullptr)}) {
        std::vector<std::array<LONG, 6>> at96;
        for (UINT dpi : {96u, 120u, 144u, 192u}) {
            RECT suggested{0, 0, 100, 100};
            if (dpi != 96)  // as made, the edit panel by the first Add New
                SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                             reinterpret_cast<LPARAM>(&suggested));
            const auto layout = Layout(window);
            if (at96.empty()) at96 = layout;
            ASSERT_EQ(layout.size(), at96.size());
            for (size_t c = 0; c < layout.size(); ++c) {
                EXPECT_TRUE(layout[c][5]) << dpi << " dpi: the text of control " << c << " is cut";
                for (size_t i = 0; i < 5; ++i) {
                    // Labels are widened to fit their text, which grows unevenly with the font.
                    const double scaled = at96[c][i] * dpi / 96.0, widths = i == 2 ? scaled : 0;
                    EXPECT_TRUE(layout[c][i] >= scaled - 1 - widths / 50 &&
                                layout[c][i] <= scaled + 1 + widths)
                        << dpi << " dpi, control " << c << ", measure " << i << ": " << layout[c][i]
                        << " for " << scaled;
                }
            }
        }
    }
    DestroyWindow(FindWindowW(L"TalvernAbout", nullptr));
}

// What a file name cannot hold becomes "_"; a long key is cut, never within a character, to fit.
// A copy of the same key within the same second is numbered, never written over another.
TEST(DeletedCopy, IsNamedAfterTheKeyAndTheLocalTimeFitsInMaxPathAndOverwritesNone) {
    const SYSTEMTIME at{2026, 12, 2, 8, 14, 3, 27, 0};
    EXPECT_EQ(DeletedCopyPath(L"C:\\f", L"a<>:\"/|?*\tb", at, 2),
              L"C:\\f\\a_________b 2026-12-08 14.03.27 (2).reg");
    EXPECT_EQ(DeletedCopyPath(L"C:\\f", std::wstring(255, L'k'), at).size(), MAX_PATH - 1);
    const std::wstring deep = L"C:\\" + std::wstring(198, L'd');
    EXPECT_EQ(DeletedCopyPath(deep, std::wstring(32, L'k') + L"\U0001F600", at),
              deep + L"\\" + std::wstring(32, L'k') + L" 2026-12-08 14.03.27.reg");
    const fs::path folder = fs::temp_directory_path() / L"Talvern copies";
    fs::remove_all(folder), fs::create_directories(folder);
    std::wstring files[3];
    for (std::wstring& file : files)
        EXPECT_EQ(WriteDeletedCopy(folder, Hive::JustMe, L"k", KeyTree{L"k"}, file), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 3);
}

}  // namespace

// The main window fed what a user can type and what other programs can leave in the registry,
// one table of inputs per test. After each input the window must still answer, list exactly
// what the registry holds and have changed nothing but what was asked.

#include "tests/app/MainWindowFixture.h"

#include "registry/clsRegistry.h"

#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string_view>

namespace {

namespace fs = std::filesystem;
using F = frmMain;

// The list's reads take names and string data of this many bytes, the NUL included.
constexpr size_t kReadBytes = 255;

std::string Narrow(const std::wstring& text) {
    std::string out(text.size() * 2, '\0');
    out.resize(static_cast<size_t>(
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(),
                            static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

std::wstring Widen(const std::string& text) {
    std::wstring out(text.size(), L'\0');
    out.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(),
                                                       static_cast<int>(text.size()), out.data(),
                                                       static_cast<int>(out.size()))));
    return out;
}

// A key's default value as the ANSI registry calls read it: string data up to its NUL, through
// the code page; empty when the key's path is too long for them, or the data is no string or
// does not fit their buffer.
std::wstring Readable(const std::wstring& key) {
    if (key.size() > MAX_PATH) return {};
    const RawValue value = GetRaw(HKEY_CLASSES_ROOT, key, L"");
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return {};
    std::wstring text(reinterpret_cast<const wchar_t*>(value.bytes.data()),
                      value.bytes.size() / sizeof(wchar_t));
    text.resize(std::min(text.find(L'\0'), text.size()));
    const std::string bytes = Narrow(text);
    return bytes.size() < kReadBytes ? Widen(bytes) : std::wstring{};
}

// What the list must show, worked out from the registry through the Unicode API: a line for
// each entry whose key name the ANSI enumeration gives back intact and whose display name it
// can read, in the registry's order.
std::vector<std::wstring> ExpectedLines() {
    std::vector<std::wstring> lines;
    for (const std::wstring& key : SubKeyNames(HKEY_CLASSES_ROOT, kShell)) {
        if (Widen(Narrow(key)) != key || Narrow(key).size() >= kReadBytes) continue;
        const std::wstring display = Readable(Verb(key));
        if (display.empty()) continue;
        std::wstring command = Readable(Command(key));
        if (command.size() >= 3) command.resize(command.size() - 3);
        lines.push_back(display + L" = " + command);
    }
    return lines;
}

// The snapshot lines that differ, "+ " for new ones and "- " for gone ones, but those that
// `allowed` lets through.
std::vector<std::wstring> Unexpected(
    std::vector<std::wstring> before, std::vector<std::wstring> after,
    const std::function<bool(const std::wstring& line, bool added)>& allowed) {
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    std::vector<std::wstring> added, gone, out;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(added));
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                        std::back_inserter(gone));
    for (const auto& line : added)
        if (!allowed(line, true)) out.push_back(L"+ " + line);
    for (const auto& line : gone)
        if (!allowed(line, false)) out.push_back(L"- " + line);
    return out;
}

// Whether a snapshot line is the key, one of its values, or lies below it.
bool Under(const std::wstring& line, const std::wstring& key) {
    return line == key || line.starts_with(key + L"\\") || line.starts_with(key + L" [");
}

// What Save of `name` may change: the entry's two keys and their default values, and the
// parent that creating them makes when it is missing.
bool SaveMayChange(const std::wstring& line, const std::wstring& name) {
    return line == kShell || line == Verb(name) || line == Command(name) ||
           line.starts_with(Verb(name) + L" [] ") || line.starts_with(Command(name) + L" [] ");
}

struct CloseKey_ {
    void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, CloseKey_>;

// Denies everyone reading one key, as an administrator or another program can; lifts the
// denial again so that the key can be cleaned up.
class DenyRead {
  public:
    explicit DenyRead(const std::wstring& path) : path_(path) {
        Set(true);
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, path_.c_str(), 0, KEY_READ, &key),
                  ERROR_ACCESS_DENIED);
        if (key) RegCloseKey(key);
    }
    ~DenyRead() { Set(false); }
    DenyRead(const DenyRead&) = delete;
    DenyRead& operator=(const DenyRead&) = delete;

  private:
    void Set(bool deny) {
        HKEY opened = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, path_.c_str(), 0, WRITE_DAC, &opened),
                  ERROR_SUCCESS);
        const UniqueKey key(opened);
        BYTE everyone[SECURITY_MAX_SID_SIZE];
        DWORD sidSize = sizeof everyone;
        ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sidSize));
        alignas(DWORD) BYTE aclBuffer[256];
        const auto acl = reinterpret_cast<ACL*>(aclBuffer);
        ASSERT_TRUE(InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION));
        if (deny) {
            ASSERT_TRUE(AddAccessDeniedAce(acl, ACL_REVISION, KEY_QUERY_VALUE, everyone));
        }
        ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, everyone));
        SECURITY_DESCRIPTOR security;
        ASSERT_TRUE(InitializeSecurityDescriptor(&security, SECURITY_DESCRIPTOR_REVISION));
        ASSERT_TRUE(SetSecurityDescriptorDacl(&security, TRUE, acl, FALSE));
        ASSERT_EQ(RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, &security),
                  ERROR_SUCCESS);
    }

    std::wstring path_;
};

// The process's current directory, changed for a while.
class CurrentDirectory {
  public:
    explicit CurrentDirectory(const fs::path& to) : previous_(fs::current_path()) {
        fs::current_path(to);
    }
    ~CurrentDirectory() { fs::current_path(previous_); }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

  private:
    fs::path previous_;
};

// The advapi32 functions a handler's registry work can fail in.
enum class Call { CreateKeyEx, OpenKeyEx, SetValueEx, DeleteKey, CloseKey };

const char* NameOf(Call call) {
    switch (call) {
        case Call::CreateKeyEx:
            return "RegCreateKeyExA";
        case Call::OpenKeyEx:
            return "RegOpenKeyExA";
        case Call::SetValueEx:
            return "RegSetValueExA";
        case Call::DeleteKey:
            return "RegDeleteKeyA";
        case Call::CloseKey:
            return "RegCloseKey";
    }
    return "?";
}

// Fails the n-th call of one advapi32 function that a handler makes before it rebuilds the
// list (which starts by opening *\shell, and whose reads cannot show what they failed to
// read); every other call goes to the real function. A failed close still closes the key.
class FailNthCall {
  public:
    FailNthCall(Call call, int n) : saved_(Advapi()), call_(call), n_(n) {
        current_ = this;
        RegistryApi& api = Advapi();
        api.CreateKeyEx = &CreateKeyEx;
        api.OpenKeyEx = &OpenKeyEx;
        api.SetValueEx = &SetValueEx;
        api.DeleteKey = &DeleteKey;
        api.CloseKey = &CloseKey;
    }
    ~FailNthCall() {
        Advapi() = saved_;
        current_ = nullptr;
    }
    FailNthCall(const FailNthCall&) = delete;
    FailNthCall& operator=(const FailNthCall&) = delete;

    bool Failed() const { return failed_; }

  private:
    static bool Fails(Call call) {
        FailNthCall& self = *current_;
        if (!self.armed_ || call != self.call_ || ++self.calls_ != self.n_) return false;
        self.failed_ = true;
        return true;
    }
    static LONG WINAPI CreateKeyEx(HKEY root, LPCSTR path, DWORD reserved, LPSTR keyClass,
                                   DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                                   PHKEY key, LPDWORD disposition) {
        if (Fails(Call::CreateKeyEx)) return ERROR_ACCESS_DENIED;
        return current_->saved_.CreateKeyEx(root, path, reserved, keyClass, options, access,
                                            security, key, disposition);
    }
    static LONG WINAPI OpenKeyEx(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
        if (root == HKEY_CLASSES_ROOT && path && std::string_view(path) == "*\\shell")
            current_->armed_ = false;
        if (Fails(Call::OpenKeyEx)) return ERROR_ACCESS_DENIED;
        return current_->saved_.OpenKeyEx(root, path, options, access, key);
    }
    static LONG WINAPI SetValueEx(HKEY key, LPCSTR name, DWORD reserved, DWORD type,
                                  const BYTE* data, DWORD size) {
        if (Fails(Call::SetValueEx)) return ERROR_ACCESS_DENIED;
        return current_->saved_.SetValueEx(key, name, reserved, type, data, size);
    }
    static LONG WINAPI DeleteKey(HKEY root, LPCSTR path) {
        if (Fails(Call::DeleteKey)) return ERROR_ACCESS_DENIED;
        return current_->saved_.DeleteKey(root, path);
    }
    static LONG WINAPI CloseKey(HKEY key) {
        const LONG closed = current_->saved_.CloseKey(key);
        return Fails(Call::CloseKey) ? ERROR_INVALID_HANDLE : closed;
    }

    static inline FailNthCall* current_ = nullptr;

    RegistryApi saved_;
    Call call_;
    int n_;
    int calls_ = 0;
    bool armed_ = true;
    bool failed_ = false;
};

// What Save answers: nothing, or one of its messages.
const std::wstring kAccepted;
const std::wstring kBadName = L"Not a Valid Name!";
const std::wstring kBadPath = L"Not a Valid Program Path!";

class RobustnessTest : public MainWindowFixture {
  protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        // The tables' verdicts on which characters a name or path may hold are for this one.
        ASSERT_EQ(GetACP(), 1252u);
    }

    void TearDown() override {
        denied_.reset();
        MainWindowFixture::TearDown();
    }

    // A fresh registry from `setup` and a window started on it; the registry as the window
    // found it.
    std::vector<std::wstring> Restart(const std::function<void()>& setup) {
        if (form_.Handle()) DestroyWindow(form_.Handle());
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        denied_.reset();
        DeleteTree(HKEY_CLASSES_ROOT, kShell);
        setup();
        auto found = Snapshot(HKEY_CLASSES_ROOT, kShell);
        Start();
        return found;
    }

    // Does `act`, answering each message box it shows with `answer`; the boxes' texts.
    std::vector<std::wstring> Boxes(const std::function<void()>& act, int answer = IDOK) {
        std::vector<std::wstring> texts;
        const auto record = [&](HWND box) {
            texts.push_back(ReadMessageBox(box).text);
            PressButton(box, answer);
        };
        DialogWatcher watcher({record, record, record});
        act();
        watcher.Finish();
        EXPECT_TRUE(watcher.Problems().empty()) << watcher.Report();
        return texts;
    }

    // The window answers and its list shows what the registry holds.
    void ExpectSound() {
        DWORD_PTR ignored = 0;
        EXPECT_TRUE(
            IsWindow(form_.Handle()) &&
            SendMessageTimeoutW(form_.Handle(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored))
            << "the window does not answer";
        EXPECT_EQ(Lines(), ExpectedLines());
    }

    // Clicks the line, scrolled into view first.
    void SelectLine(const std::wstring& line) {
        const auto lines = Lines();
        const auto found = std::find(lines.begin(), lines.end(), line);
        ASSERT_NE(found, lines.end()) << "no line " << line;
        SendMessageW(Item(F::List1), LB_SETTOPINDEX, static_cast<WPARAM>(found - lines.begin()), 0);
        Select(line);
    }

    // Save of the two texts: either refused with the `refusal` message and nothing changed, or
    // written as the boxes hold them and listed, after which Delete on its line takes the entry
    // out again and nothing else.
    void ExpectSave(const std::wstring& name, const std::wstring& path,
                    const std::wstring& refusal) {
        if (!InEditMode()) Click(F::cmdAdd);
        Type(F::txtName, name);
        Type(F::txtFilePath, path);
        const std::wstring held = Text(F::txtName);
        const auto before = Snapshot(HKEY_CLASSES_ROOT, kShell);
        const auto boxes = Boxes([&] { Click(F::cmdSave); });
        ExpectSound();
        const auto after = Snapshot(HKEY_CLASSES_ROOT, kShell);
        if (refusal != kAccepted) {
            EXPECT_EQ(boxes, std::vector<std::wstring>{refusal});
            EXPECT_EQ(after, before);
            EXPECT_TRUE(InEditMode());
            return;
        }
        EXPECT_EQ(boxes, std::vector<std::wstring>{});
        EXPECT_TRUE(InListMode());
        EXPECT_EQ(StringOf(GetRaw(HKEY_CLASSES_ROOT, Verb(held), L"")), held);
        EXPECT_EQ(StringOf(GetRaw(HKEY_CLASSES_ROOT, Command(held), L"")), path + L" %1");
        EXPECT_EQ(
            Unexpected(before, after,
                       [&](const std::wstring& line, bool) { return SaveMayChange(line, held); }),
            std::vector<std::wstring>{});

        SelectLine(held + L" = " + path);
        EXPECT_EQ(Boxes([&] { Click(F::cmdDelete); }, IDYES).size(), 1u);
        ExpectSound();
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, Verb(held)));
        ExpectOnlyRemoved(after, Snapshot(HKEY_CLASSES_ROOT, kShell), Verb(held));
    }

    static void ExpectOnlyRemoved(const std::vector<std::wstring>& before,
                                  const std::vector<std::wstring>& after, const std::wstring& key) {
        EXPECT_EQ(Unexpected(before, after,
                             [&](const std::wstring& line, bool added) {
                                 return !added && Under(line, key);
                             }),
                  std::vector<std::wstring>{});
    }

    // The rows of the Save tables.
    struct Input {
        const char* what;
        std::wstring text;
        std::wstring refusal;
    };

    std::optional<DenyRead> denied_;
};

TEST_F(RobustnessTest, NamesTypedForSave) {
    Register(L"Existing", L"Existing", L"C:\\old.exe %1");
    SetString(HKEY_CLASSES_ROOT, Verb(L"Existing"), L"Note", L"kept by Save");
    Start();
    const std::vector<Input> inputs{
        {"empty", L"", kBadName},
        {"blanks only", L"   ", kAccepted},
        {"leading and trailing blanks", L"  padded  ", kAccepted},
        {"equals signs", L"A=B = C", kAccepted},
        {"wildcard characters", L"Any*thing?", kAccepted},
        {"a backslash", L"outer\\inner", kBadName},
        // "*\shell\" + name + "\command" is MAX_PATH characters long, then one more.
        {"244 characters", std::wstring(244, L'n'), kAccepted},
        {"245 characters", std::wstring(245, L'n'), kBadName},
        {"254 characters", std::wstring(254, L'n'), kBadName},
        {"255 characters", std::wstring(255, L'n'), kBadName},
        {"1,000 characters", std::wstring(1000, L'n'), kBadName},
        {"Greek", L"\u03A9mega", kBadName},
        {"CJK", L"\u65E5\u672C\u8A9E", kBadName},
        // The code page would put "Lodz" in the registry, a best fit.
        {"letters with a best fit only", L"\u0141\u00F3d\u017A", kBadName},
        {"letters of the code page", L"Caf\u00E9", kAccepted},
        {"a tab", L"Tab\there", kAccepted},
        // The one-line box keeps a line break that is set or pasted into it.
        {"a line break", L"Line\r\nbreak", kAccepted},
        {"the name of an existing entry", L"Existing", kAccepted},
    };
    for (const Input& input : inputs) {
        SCOPED_TRACE(input.what);
        ExpectSave(input.text, program_, input.refusal);
    }
}

TEST_F(RobustnessTest, ProgramPathsTypedForSave) {
    const std::wstring dir = dir_.wstring();
    const std::wstring hidden = MakeFile(L"hidden.exe", FILE_ATTRIBUTE_HIDDEN);
    const std::wstring system = MakeFile(L"system.exe", FILE_ATTRIBUTE_SYSTEM);
    const std::wstring blanks = MakeFile(L"sub dir\\with blanks.exe");
    const std::wstring cafe = MakeFile(L"Caf\u00E9.exe");
    const std::wstring greek = MakeFile(L"\u03A9mega.exe");
    // Paths of n characters: the list reads back a command of 254 bytes, which is the path
    // and " %1".
    const auto ofLength = [&](size_t n) {
        return MakeFile(std::wstring(n - dir.size() - 5, L'p') + L".exe");
    };
    const std::wstring longest = ofLength(251);
    const std::wstring tooLong = ofLength(252);
    const std::wstring maxPath = ofLength(259);
    wchar_t drive = L'Z';
    while (GetLogicalDrives() & (1u << (drive - L'A'))) --drive;
    // Relative paths are looked for here.
    const CurrentDirectory current(dir_);
    Start();
    const std::vector<Input> inputs{
        {"empty", L"", kBadPath},
        {"a missing file", dir + L"\\missing.exe", kBadPath},
        {"a directory", dir + L"\\sub dir", kBadPath},
        {"a directory and a backslash", dir + L"\\sub dir\\", kBadPath},
        {"a wildcard", dir + L"\\*.exe", kBadPath},
        {"a one-character wildcard", dir + L"\\viewer.ex?", kBadPath},
        {"a hidden file", hidden, kBadPath},
        {"a system file", system, kBadPath},
        {"quotation marks", L"\"" + program_ + L"\"", kBadPath},
        {"blanks", blanks, kAccepted},
        {"letters of the code page", cafe, kAccepted},
        {"letters beyond the code page", greek, kBadPath},
        {"251 characters", longest, kAccepted},
        {"252 characters", tooLong, kBadPath},
        {"259 characters", maxPath, kBadPath},
        {"1,000 characters", dir + L"\\" + std::wstring(1000 - dir.size() - 1, L'x'), kBadPath},
        // Explorer runs the command from a directory of its own, where this file is not.
        {"a file name alone", L"viewer.exe", kBadPath},
        {"a path relative to the current directory", L"sub dir\\inside.exe", kBadPath},
        {"a drive that does not exist", std::wstring(1, drive) + L":\\viewer.exe", kBadPath},
        {"a server that does not exist", L"\\\\no-such-server\\share\\viewer.exe", kBadPath},
    };
    for (const Input& input : inputs) {
        SCOPED_TRACE(input.what);
        ExpectSave(L"Viewer", input.text, input.refusal);
    }
}

// Each state is found at start-up; then a viewer is added and deleted again beside it.
TEST_F(RobustnessTest, RegistryStatesLeftByOtherPrograms) {
    const auto raw = [](const std::wstring& key, DWORD type, const std::wstring& text) {
        SetRaw(HKEY_CLASSES_ROOT, key, L"", type, WideBytes(text, true));
    };
    const auto others = [&] {
        Register(L"aaa", L"First", L"C:\\first.exe %1");
        Register(L"zzz", L"Last", L"C:\\last.exe %1");
    };
    struct State {
        const char* what;
        std::function<void()> setup;
    };
    const std::vector<State> states{
        {"no *\\shell", [] {}},
        {"an empty *\\shell", [] { CreateKey(HKEY_CLASSES_ROOT, kShell); }},
        {"a verb key without a default value",
         [&] {
             SetString(HKEY_CLASSES_ROOT, Command(L"Nameless"), L"", L"C:\\n.exe %1");
             SetString(HKEY_CLASSES_ROOT, Verb(L"Nameless"), L"Icon", L"C:\\n.exe,0");
             others();
         }},
        {"an empty display name", [&] { Register(L"Empty", L"", L"C:\\e.exe %1"); }},
        {"a display name of blanks", [&] { Register(L"Blanks", L"  ", L"C:\\b.exe %1"); }},
        {"a display name other than the key name",
         [&] { Register(L"key", L"Display = shown", L"C:\\k.exe %1"); }},
        {"a command of another program",
         [&] { Register(L"Quoted", L"Quoted", L"\"C:\\Program Files\\q.exe\" \"%1\""); }},
        {"a command shorter than three characters", [&] { Register(L"Short", L"Short", L"ab"); }},
        {"no command key", [&] { SetString(HKEY_CLASSES_ROOT, Verb(L"Bare"), L"", L"Bare"); }},
        {"a command stored without its NUL",
         [&] {
             SetString(HKEY_CLASSES_ROOT, Verb(L"Unended"), L"", L"Unended");
             SetRaw(HKEY_CLASSES_ROOT, Command(L"Unended"), L"", REG_SZ,
                    WideBytes(L"C:\\u.exe %1", false));
         }},
        {"an expandable command",
         [&] {
             SetString(HKEY_CLASSES_ROOT, Verb(L"Expand"), L"", L"Expand");
             raw(Command(L"Expand"), REG_EXPAND_SZ, L"%SystemRoot%\\notepad.exe %1");
             others();
         }},
        {"an expandable display name",
         [&] {
             raw(Verb(L"Expand"), REG_EXPAND_SZ, L"Expand");
             SetString(HKEY_CLASSES_ROOT, Command(L"Expand"), L"", L"C:\\x.exe %1");
             others();
         }},
        {"a display name with a NUL inside",
         [&] {
             raw(Verb(L"Nul"), REG_SZ, std::wstring(L"Before\0after", 12));
             SetString(HKEY_CLASSES_ROOT, Command(L"Nul"), L"", L"C:\\x.exe %1");
             others();
         }},
        {"commands of 254 and 255 bytes",
         [&] {
             Register(L"Fits", L"Fits", L"C:\\" + std::wstring(248, L'f') + L" %1");
             Register(L"Long", L"Long", L"C:\\" + std::wstring(249, L'l') + L" %1");
             others();
         }},
        {"a display name of 255 bytes",
         [&] {
             Register(L"Long", std::wstring(255, L'd'), L"C:\\d.exe %1");
             others();
         }},
        {"key names of 244, 252, 254 and 255 characters",
         [&] {
             for (size_t length : {244, 252, 254, 255})
                 Register(std::wstring(length, L'k'), L"Key of " + std::to_wstring(length),
                          L"C:\\k.exe %1");
             others();
         }},
        {"a key name beyond the code page",
         [&] {
             Register(L"\u03A9mega", L"Omega", L"C:\\o.exe %1");
             others();
         }},
        // The ANSI enumeration gives the best fit for the name, the name of the other key.
        {"a key name beyond the code page beside its best fit",
         [&] {
             Register(L"\u03A9mega", L"Greek", L"C:\\g.exe %1");
             Register(Widen(Narrow(L"\u03A9mega")), L"Latin", L"C:\\l.exe %1");
         }},
        {"a display name beyond the code page",
         [&] { Register(L"Omega", L"\u03A9mega", L"C:\\o.exe %1"); }},
        {"a verb key with more keys and values",
         [&] {
             Register(L"Rich", L"Rich", L"C:\\r.exe %1");
             SetString(HKEY_CLASSES_ROOT, Verb(L"Rich"), L"Icon", L"C:\\r.exe,0");
             SetString(HKEY_CLASSES_ROOT, Verb(L"Rich") + L"\\ddeexec", L"", L"[open(\"%1\")]");
         }},
        {"a verb key this program may not read",
         [&] {
             Register(L"Secret", L"Secret", L"C:\\s.exe %1");
             others();
             denied_.emplace(Verb(L"Secret"));
         }},
        {"a command key this program may not read",
         [&] {
             Register(L"Secret", L"Secret", L"C:\\s.exe %1");
             others();
             denied_.emplace(Command(L"Secret"));
         }},
    };
    for (const State& state : states) {
        SCOPED_TRACE(state.what);
        const auto found = Restart(state.setup);
        ExpectSound();
        ExpectSave(L"Added", program_, kAccepted);
        EXPECT_EQ(Unexpected(found, Snapshot(HKEY_CLASSES_ROOT, kShell),
                             [](const std::wstring& line, bool) { return line == kShell; }),
                  std::vector<std::wstring>{});
    }
}

// Listed completely and in order, however many there are.
TEST_F(RobustnessTest, TenThousandEntries) {
    std::vector<std::wstring> keys;
    for (int i = 0; i < 10000; ++i) {
        const std::wstring number = std::to_wstring(100000 + i).substr(1);
        keys.push_back(L"v" + number);
        Register(keys.back(), L"Viewer " + number, L"C:\\v\\" + number + L".exe %1");
    }
    Start();
    EXPECT_EQ(Lines().size(), 10000u);
    ExpectSound();
    // Key by key is quicker than the fixture's deletion of the whole tree.
    for (const std::wstring& key : keys) {
        RegDeleteKeyW(HKEY_CLASSES_ROOT, Command(key).c_str());
        RegDeleteKeyW(HKEY_CLASSES_ROOT, Verb(key).c_str());
    }
}

// Another program changes the registry while the window shows it; then the user acts.
TEST_F(RobustnessTest, ChangesByAnotherProgramBetweenActions) {
    struct Change {
        const char* what;
        std::function<void()> change;
    };
    const std::vector<Change> beforeDelete{
        {"nothing", [] {}},
        {"*\\shell deleted", [] { DeleteTree(HKEY_CLASSES_ROOT, kShell); }},
        {"the entry deleted", [] { DeleteTree(HKEY_CLASSES_ROOT, Verb(L"Gone")); }},
        {"its command key deleted", [] { DeleteTree(HKEY_CLASSES_ROOT, Command(L"Gone")); }},
        {"its command changed",
         [] { SetString(HKEY_CLASSES_ROOT, Command(L"Gone"), L"", L"C:\\new.exe %1"); }},
        {"a key added below its verb key",
         [] { SetString(HKEY_CLASSES_ROOT, Verb(L"Gone") + L"\\ddeexec", L"", L"[x]"); }},
        {"entries added before and after it",
         [&] {
             Register(L"Aaa", L"Aaa", L"C:\\a.exe %1");
             Register(L"Zzz", L"Zzz", L"C:\\z.exe %1");
         }},
        {"the entry replaced by one under another key",
         [&] {
             DeleteTree(HKEY_CLASSES_ROOT, Verb(L"Gone"));
             Register(L"Gone2", L"Gone", L"C:\\gone.exe %1");
         }},
        {"it made unreadable", [&] { denied_.emplace(Verb(L"Gone")); }},
    };
    for (const Change& change : beforeDelete) {
        SCOPED_TRACE(std::string("Delete after ") + change.what);
        Restart([&] {
            Register(L"Keep", L"Keep", L"C:\\keep.exe %1");
            Register(L"Gone", L"Gone", L"C:\\gone.exe %1");
        });
        SelectLine(L"Gone = C:\\gone.exe");
        change.change();
        const auto before = Snapshot(HKEY_CLASSES_ROOT, kShell);
        const auto boxes = Boxes([&] { Click(F::cmdDelete); }, IDYES);
        EXPECT_EQ(boxes.size(), 1u);
        ExpectSound();
        ExpectOnlyRemoved(before, Snapshot(HKEY_CLASSES_ROOT, kShell), Verb(L"Gone"));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, Command(L"Gone")));
    }

    const std::vector<Change> beforeSave{
        {"*\\shell deleted", [] { DeleteTree(HKEY_CLASSES_ROOT, kShell); }},
        {"the same name registered",
         [&] {
             Register(L"New", L"Other display", L"C:\\other.exe %1");
             SetString(HKEY_CLASSES_ROOT, Verb(L"New"), L"Icon", L"C:\\other.exe,0");
         }},
        {"the same name registered without a command key",
         [&] { SetString(HKEY_CLASSES_ROOT, Verb(L"New"), L"", L"Other display"); }},
    };
    for (const Change& change : beforeSave) {
        SCOPED_TRACE(std::string("Save after ") + change.what);
        Restart([&] { Register(L"Keep", L"Keep", L"C:\\keep.exe %1"); });
        Click(F::cmdAdd);
        change.change();
        ExpectSave(L"New", program_, kAccepted);
    }
}

// Every call of Save's and Delete's own registry work failing in turn: the list then shows
// what the registry holds, without a message.
TEST_F(RobustnessTest, RegistryCallsFailingDuringSaveAndDelete) {
    struct Action {
        const char* what;
        std::vector<Call> calls;
        std::function<void()> prepare;
        std::function<void()> act;
        std::wstring key;
    };
    const std::vector<Action> actions{
        {"Save",
         {Call::CreateKeyEx, Call::OpenKeyEx, Call::SetValueEx, Call::CloseKey},
         [&] {
             Click(F::cmdAdd);
             Type(F::txtName, L"New");
             Type(F::txtFilePath, program_);
         },
         [&] { EXPECT_EQ(Boxes([&] { Click(F::cmdSave); }), std::vector<std::wstring>{}); },
         Verb(L"New")},
        {"Delete",
         {Call::OpenKeyEx, Call::DeleteKey, Call::CloseKey},
         [&] { SelectLine(L"Gone = C:\\gone.exe"); },
         [&] { EXPECT_EQ(Boxes([&] { Click(F::cmdDelete); }, IDYES).size(), 1u); },
         Verb(L"Gone")},
    };
    for (const Action& action : actions) {
        for (const Call call : action.calls) {
            for (int n = 1;; ++n) {
                SCOPED_TRACE(std::string(action.what) + ", " + NameOf(call) + " call " +
                             std::to_string(n) + " failing");
                Restart([&] {
                    Register(L"Keep", L"Keep", L"C:\\keep.exe %1");
                    Register(L"Gone", L"Gone", L"C:\\gone.exe %1");
                });
                action.prepare();
                const auto before = Snapshot(HKEY_CLASSES_ROOT, kShell);
                bool failed = false;
                {
                    const FailNthCall fail(call, n);
                    action.act();
                    failed = fail.Failed();
                }
                ExpectSound();
                EXPECT_EQ(Unexpected(before, Snapshot(HKEY_CLASSES_ROOT, kShell),
                                     [&](const std::wstring& line, bool) {
                                         return line == kShell || Under(line, action.key);
                                     }),
                          std::vector<std::wstring>{});
                if (!failed) {
                    EXPECT_GT(n, 1) << "never called";
                    break;
                }
            }
        }
    }
}

}  // namespace

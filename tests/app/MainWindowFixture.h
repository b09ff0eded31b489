#pragma once

#include "app/Layout.h"
#include "app/frmMain.h"
#include "tests/testing/Dialogs.h"
#include "tests/testing/ScratchKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

inline const std::wstring kShell = L"*\\shell";

inline std::wstring Verb(const std::wstring& key) { return kShell + L"\\" + key; }
inline std::wstring Command(const std::wstring& key) { return Verb(key) + L"\\command"; }

inline std::wstring StringOf(const RawValue& value) {
    if (value.type != REG_SZ || value.bytes.size() < sizeof(wchar_t)) return L"<not a string>";
    return {reinterpret_cast<const wchar_t*>(value.bytes.data()),
            value.bytes.size() / sizeof(wchar_t) - 1};
}

// What Wine's own reg.exe prints for a key's default value: a reader independent of ours.
inline std::wstring RegQueryDefault(const std::wstring& key) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, &inherit, 0)) return L"<no pipe>";
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{sizeof startup};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write;
    startup.hStdError = write;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"reg.exe query \"HKCR\\" + key + L"\" /ve";
    const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    CloseHandle(write);
    std::string output;
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got)
            output.append(buffer, got);
        WaitForSingleObject(process.hProcess, 10000);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(read);
    const int chars = MultiByteToWideChar(CP_OEMCP, 0, output.data(),
                                          static_cast<int>(output.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, output.data(), static_cast<int>(output.size()), text.data(),
                        chars);
    return text;
}

// A main window of this process, started on a *\shell the test sets up, and driven as a
// user drives it.
class MainWindowFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        DeleteTree(HKEY_CLASSES_ROOT, kShell);
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        dir_ = std::filesystem::path(temp) /
               (L"Talvern main " + std::to_wstring(GetCurrentProcessId()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / L"sub dir");
        program_ = MakeFile(L"viewer.exe");
        MakeFile(L"sub dir\\inside.exe");
    }

    void TearDown() override {
        if (form_.Handle()) DestroyWindow(form_.Handle());
        // The last window's going posts WM_QUIT, which would end the next test's message boxes.
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        DeleteTree(HKEY_CLASSES_ROOT, kShell);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::wstring MakeFile(const std::wstring& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        const std::wstring path = (dir_ / name).wstring();
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  attributes, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE)
            << "cannot create " << std::filesystem::path(path).string();
        CloseHandle(file);
        return path;
    }

    // An entry as other software might write it, straight into the registry.
    void Register(const std::wstring& key, const std::wstring& display,
                  const std::wstring& command) {
        SetString(HKEY_CLASSES_ROOT, Verb(key), L"", display);
        SetString(HKEY_CLASSES_ROOT, Command(key), L"", command);
    }

    void Start() { ASSERT_TRUE(form_.Create(SW_SHOWNORMAL)); }

    HWND Item(int id) const { return FindControl(form_.Handle(), id); }

    // A click reaches a button only when a user could click it.
    void Click(int id) {
        const HWND button = Item(id);
        ASSERT_TRUE(IsWindowVisible(button)) << "button " << id << " is hidden";
        ASSERT_TRUE(IsWindowEnabled(button)) << "button " << id << " is disabled";
        SendMessageW(button, BM_CLICK, 0, 0);
    }

    // Clicks a button that shows one message box, answered with `answer`; returns what it showed.
    MessageBoxView ClickForMessage(int id, int answer = IDOK) {
        MessageBoxView seen;
        DialogWatcher watcher([&](HWND dialog) {
            seen = ReadMessageBox(dialog);
            PressButton(dialog, answer);
        });
        Click(id);
        EXPECT_EQ(watcher.Finish(), 1) << watcher.Report();
        return seen;
    }

    void Type(int id, const std::wstring& text) { SetWindowTextW(Item(id), text.c_str()); }

    std::wstring Text(int id) const {
        wchar_t text[2048] = {};
        GetWindowTextW(Item(id), text, 2048);
        return text;
    }

    std::vector<std::wstring> Lines() const {
        const HWND list = Item(frmMain::List1);
        std::vector<std::wstring> lines;
        const auto count = SendMessageW(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            std::wstring line(
                static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0)) +
                    1,
                L'\0');
            SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(line.data()));
            line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }

    // Clicks the line with the mouse, as a user selects it.
    void Select(const std::wstring& line) {
        const auto lines = Lines();
        const auto found = std::find(lines.begin(), lines.end(), line);
        ASSERT_NE(found, lines.end()) << "no such line";
        const HWND list = Item(frmMain::List1);
        RECT item{};
        SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(found - lines.begin()),
                     reinterpret_cast<LPARAM>(&item));
        const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
        SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(list, WM_LBUTTONUP, 0, at);
    }

    bool InEditMode() const {
        return IsWindowVisible(Item(frmMain::Frame2)) && !IsWindowVisible(Item(frmMain::Frame1));
    }
    bool InListMode() const {
        return IsWindowVisible(Item(frmMain::Frame1)) && !IsWindowVisible(Item(frmMain::Frame2));
    }

    // Add New, the two boxes filled, Save.
    void Add(const std::wstring& name, const std::wstring& path) {
        Click(frmMain::cmdAdd);
        Type(frmMain::txtName, name);
        Type(frmMain::txtFilePath, path);
        Click(frmMain::cmdSave);
    }

    // Save with input it must refuse: the path message or the name message, nothing written.
    void ExpectRefused(const std::wstring& name, const std::wstring& path,
                       const std::wstring& message) {
        const auto before = Snapshot(HKEY_CLASSES_ROOT, kShell);
        Type(frmMain::txtName, name);
        Type(frmMain::txtFilePath, path);
        const MessageBoxView box = ClickForMessage(frmMain::cmdSave);
        EXPECT_EQ(box.text, message);
        EXPECT_EQ(box.title, L"Talvern");
        EXPECT_EQ(box.icon, LoadIconW(nullptr, IDI_INFORMATION));
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
        EXPECT_EQ(box.owner, form_.Handle());
        EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, kShell), before);
        EXPECT_TRUE(InEditMode());
        EXPECT_EQ(Text(frmMain::txtName), name);
        EXPECT_EQ(Text(frmMain::txtFilePath), path);
    }

    std::filesystem::path dir_;
    std::wstring program_;
    frmMain form_;
};

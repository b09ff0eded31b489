// The About window driven as a user drives it: opened, read back, hovered and clicked with the
// real mouse, its links handed to the real shell; and the built program with it open.

#include "about/frmAbout.h"
#include "app/frmMain.h"

#include "tests/testing/Dialogs.h"
#include "tests/testing/ScratchKey.h"

#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;
using A = frmAbout;

constexpr COLORREF kBlue = 0xFF0000;
constexpr COLORREF kDarkRed = 0x000080;

// Handles this thread's messages until done(the message just handled, or an empty one while none
// is queued) holds or the timeout passes; whether it held. It stops at once, so that what the
// message left behind (an invalid region) can still be seen. WM_QUIT, which the last window's
// going posts, is dropped.
bool Pump(const std::function<bool(const MSG&)>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    MSG message{};
    while (!done(message)) {
        message = {};
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        } else if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
    }
    return true;
}

// Handles what is queued, and what comes within the time.
void PumpFor(std::chrono::milliseconds time = 0ms) {
    Pump([](const MSG&) { return false; }, time);
}

// The visible top-level windows of a process, by default this one.
std::vector<HWND> VisibleWindows(DWORD processId = GetCurrentProcessId()) {
    std::vector<HWND> found;
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == processId && IsWindowVisible(window)) found.push_back(window);
    }
    return found;
}

// Moves the real mouse to the point of the window's client area and handles messages until the
// window has had the move; false when something else lies there.
bool MoveMouseTo(HWND window, POINT point) {
    ClientToScreen(window, &point);
    if (WindowFromPoint(point) != window) return false;
    SetCursorPos(point.x, point.y);
    return Pump([=](const MSG& m) { return m.message == WM_MOUSEMOVE && m.hwnd == window; }, 2s);
}

// A left click at the centre of the control; a message box that comes up meanwhile is closed and
// fails it.
void Click(HWND control) {
    DialogWatcher watcher(CloseDialog, 5s);
    RECT client;
    GetClientRect(control, &client);
    ASSERT_TRUE(MoveMouseTo(control, {client.right / 2, client.bottom / 2}));
    INPUT inputs[2]{{INPUT_MOUSE}, {INPUT_MOUSE}};
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof(INPUT));
    EXPECT_TRUE(
        Pump([=](const MSG& m) { return m.message == WM_LBUTTONDOWN && m.hwnd == control; }, 2s));
    EXPECT_EQ(watcher.Finish(), 0) << "a message came up";
}

struct DeleteDc {
    void operator()(HDC dc) const noexcept { DeleteDC(dc); }
};

// The client area as the window draws it (WM_PRINTCLIENT), row by row from the top.
struct Drawing {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
    bool Contains(COLORREF colour) const { return std::ranges::count(pixels, colour) > 0; }
};
Drawing Render(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    Drawing drawing{client.right, client.bottom, {}};
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), drawing.width, -drawing.height, 1, 32, BI_RGB}};
    void* bits = nullptr;
    const std::unique_ptr<std::remove_pointer_t<HDC>, DeleteDc> dc(CreateCompatibleDC(nullptr));
    const std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDelete> bitmap(
        CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap) return {};
    const HGDIOBJ old = SelectObject(dc.get(), bitmap.get());
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    GdiFlush();
    const auto* pixel = static_cast<const RGBQUAD*>(bits);
    for (int i = 0; i < drawing.width * drawing.height; ++i, ++pixel)
        drawing.pixels.push_back(RGB(pixel->rgbRed, pixel->rgbGreen, pixel->rgbBlue));
    SelectObject(dc.get(), old);
    return drawing;
}

LOGFONTW FontOf(HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font,
               &font);
    return font;
}

// The built Talvern.exe; under Wine the Unix path names it on the current drive.
std::wstring TalvernPath() {
    std::wstring path = L"" TALVERN_EXE;
    std::ranges::replace(path, L'/', L'\\');
    return path;
}

// LegalCopyright of the built program's version record.
std::wstring RecordedCopyright() {
    const std::wstring path = TalvernPath();
    std::vector<BYTE> record(GetFileVersionInfoSizeW(path.c_str(), nullptr));
    void* text = nullptr;
    UINT length = 0;
    if (record.empty() ||
        !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(record.size()), record.data()) ||
        !VerQueryValueW(record.data(), L"\\StringFileInfo\\040904B0\\LegalCopyright", &text,
                        &length))
        return {};
    return static_cast<const wchar_t*>(text);
}

class AboutWindowTest : public ::testing::Test {
  protected:
    void TearDown() override {
        for (HWND window : VisibleWindows()) DestroyWindow(window);
        PumpFor();
    }

    // Presses About; whether it showed the one window shown.
    bool Open() {
        frmAbout::Show();
        const auto windows = VisibleWindows();
        about_ = windows.size() == 1 ? windows.front() : nullptr;
        return about_;
    }

    HWND Item(int id) const { return GetDlgItem(about_, id); }

    HWND about_ = nullptr;
};

TEST_F(AboutWindowTest, IsAFixedCentredDialogSizedForItsDpi) {
    ASSERT_TRUE(Open());
    EXPECT_EQ(WindowText(about_), L"Talvern - About");
    EXPECT_EQ(GetWindowLongPtrW(about_, GWL_STYLE) &
                  (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              WS_CAPTION | WS_SYSMENU);
    EXPECT_TRUE(GetWindowLongPtrW(about_, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);

    RECT window;
    GetWindowRect(about_, &window);
    MONITORINFO monitor{sizeof monitor};
    GetMonitorInfoW(MonitorFromWindow(about_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    EXPECT_NEAR(window.left + window.right, monitor.rcWork.left + monitor.rcWork.right, 1);
    EXPECT_NEAR(window.top + window.bottom, monitor.rcWork.top + monitor.rcWork.bottom, 1);

    const int opened = static_cast<int>(GetDpiForWindow(about_));
    for (int dpi : {opened, 2 * opened}) {
        SCOPED_TRACE(dpi);
        RECT suggested{};
        if (dpi != opened)
            SendMessageW(about_, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                         reinterpret_cast<LPARAM>(&suggested));
        RECT client;
        GetClientRect(about_, &client);
        EXPECT_EQ(client.right, MulDiv(4935, dpi, 1440));
        EXPECT_EQ(client.bottom, MulDiv(2055, dpi, 1440));
        for (auto [label, centiPoints] : {std::pair{A::lblMessage0, 1575}, {A::lblMessage1, 975}}) {
            const LOGFONTW font = FontOf(Item(label));
            EXPECT_STREQ(font.lfFaceName, L"Times New Roman");
            EXPECT_EQ(font.lfWeight, FW_BOLD);
            EXPECT_EQ(font.lfHeight, -MulDiv(centiPoints, dpi, 7200)) << label;
        }
    }
}

TEST_F(AboutWindowTest, ShowsTheProductAfreshEachTimeItOpens) {
    const std::wstring texts[] = {L"Talvern", L" v3.0.0", RecordedCopyright(),
                                  L"www.talvern.example", L"support@talvern.example"};
    for (int opening = 0; opening < 2; ++opening) {
        ASSERT_TRUE(Open());
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(WindowText(Item(A::lblMessage0 + i)), texts[i]) << opening;
            SetWindowTextW(Item(A::lblMessage0 + i), L"left from before");
        }
        SendMessageW(about_, WM_CLOSE, 0, 0);
    }
}

TEST_F(AboutWindowTest, PictureShowsTheLogoAtItsOwnSize) {
    ASSERT_TRUE(Open());
    ASSERT_EQ(GetDpiForWindow(about_), 96u);
    const Drawing drawn = Render(Item(A::Picture1));
    ASSERT_EQ(drawn.width, 76);
    ASSERT_EQ(drawn.height, 65);
    // The logo's top-left corner, the darkest blue of its background.
    EXPECT_EQ(drawn.pixels[0], RGB(20, 60, 140));
}

TEST_F(AboutWindowTest, LinksHighlightUnderTheMouse) {
    ASSERT_TRUE(Open());
    // Where the mouse goes (0: the background), and the link highlighted then (0: none).
    const std::pair<int, int> moves[] = {
        {0, 0},
        {A::lblMessage3, A::lblMessage3},
        {A::lblMessage4, A::lblMessage4},
        {A::Picture1, A::lblMessage4},
        {A::lblMessage0, A::lblMessage4},
        {A::lblMessage1, A::lblMessage4},
        {A::lblMessage2, A::lblMessage4},
        {0, 0},
        {A::lblMessage4, A::lblMessage4},
        {A::lblMessage3, A::lblMessage3},
        {A::lblMessage2, A::lblMessage3},
        {0, 0},
        {A::lblMessage1, 0},
    };
    int before = 0;
    for (auto [over, highlighted] : moves) {
        SCOPED_TRACE(over);
        PumpFor();  // drawn, so that a redraw the move asks for shows
        const HWND target = over ? Item(over) : about_;
        // The background below the picture, left of the labels.
        ASSERT_TRUE(MoveMouseTo(target, over ? POINT{5, 5} : POINT{8, 120}));
        EXPECT_EQ(GetCursor(),
                  LoadCursorW(nullptr, over && over == highlighted ? IDC_ICON : IDC_ARROW));
        for (int link : {A::lblMessage3, A::lblMessage4}) {
            const bool changed = (link == highlighted) != (link == before);
            EXPECT_TRUE(!changed || GetUpdateRect(Item(link), nullptr, FALSE)) << "not redrawn";
            EXPECT_TRUE(Render(Item(link)).Contains(link == highlighted ? kDarkRed : kBlue))
                << link;
            // The pointer the link asks for when the system sets it without a move.
            SetCursor(nullptr);
            SendMessageW(Item(link), WM_SETCURSOR, reinterpret_cast<WPARAM>(Item(link)),
                         MAKELPARAM(HTCLIENT, 0));
            EXPECT_EQ(GetCursor(),
                      LoadCursorW(nullptr, link == highlighted ? IDC_ICON : IDC_ARROW));
        }
        before = highlighted;
    }
}

const wchar_t* const kSchemes[] = {L"http", L"https", L"mailto"};
const std::wstring kSaved = L"Software\\TalvernTests\\AboutShellHandlers";

struct CloseKey {
    void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};

void CopyTree(HKEY fromRoot, const std::wstring& from, HKEY toRoot, const std::wstring& to) {
    HKEY key = nullptr;
    RegCreateKeyExW(toRoot, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const std::unique_ptr<std::remove_pointer_t<HKEY>, CloseKey> target(key);
    SHCopyKeyW(fromRoot, from.c_str(), target.get(), 0);
}

// The shell's handlers of web and mail addresses: saved and removed for a test, put back after
// it, also after a run that was cut short.
class ShellHandlers {
  public:
    ShellHandlers() {
        if (KeyExists(HKEY_CURRENT_USER, kSaved)) Restore();
        CreateKey(HKEY_CURRENT_USER, kSaved);
        for (const std::wstring scheme : kSchemes) {
            if (KeyExists(HKEY_CLASSES_ROOT, scheme))
                CopyTree(HKEY_CLASSES_ROOT, scheme, HKEY_CURRENT_USER, kSaved + L"\\" + scheme);
            DeleteTree(HKEY_CLASSES_ROOT, scheme);
        }
    }
    ~ShellHandlers() { Restore(); }
    ShellHandlers(const ShellHandlers&) = delete;
    ShellHandlers& operator=(const ShellHandlers&) = delete;

    void OpenWith(const std::wstring& command) {
        for (const std::wstring scheme : kSchemes) {
            SetString(HKEY_CLASSES_ROOT, scheme, L"URL Protocol", L"");
            SetString(HKEY_CLASSES_ROOT, scheme + L"\\shell\\open\\command", L"", command);
        }
    }

  private:
    static void Restore() {
        for (const std::wstring scheme : kSchemes) {
            DeleteTree(HKEY_CLASSES_ROOT, scheme);
            if (KeyExists(HKEY_CURRENT_USER, kSaved + L"\\" + scheme))
                CopyTree(HKEY_CURRENT_USER, kSaved + L"\\" + scheme, HKEY_CLASSES_ROOT, scheme);
        }
        DeleteTree(HKEY_CURRENT_USER, kSaved);
    }
};

class AboutLinksTest : public AboutWindowTest {
  protected:
    // Opened from the main window, the About window is not the last, whose going would post
    // WM_QUIT and end a message box before it shows.
    void SetUp() override { ASSERT_TRUE(main_.Create(SW_HIDE)); }

    void TearDown() override {
        AboutWindowTest::TearDown();
        std::filesystem::remove(record_);
    }

    // The addresses the shell started the handler with, once as many as expected have come
    // and a moment for any other has passed.
    std::vector<std::string> Recorded(size_t expected) const {
        std::vector<std::string> lines;
        const auto read = [&] {
            std::ifstream file(record_);
            lines.clear();
            for (std::string line; std::getline(file, line);) lines.push_back(line);
            return lines.size() >= expected;
        };
        Pump([&](const MSG&) { return read(); }, 10s);
        PumpFor(300ms);
        read();
        return lines;
    }

    frmMain main_;
    ShellHandlers handlers_;
    const std::filesystem::path record_ =
        std::filesystem::temp_directory_path() /
        ("talvern-links-" + std::to_string(GetCurrentProcessId()) + ".txt");
};

TEST_F(AboutLinksTest, OnlyTheLinksCloseTheWindowAndHandTheirAddressToTheShell) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const auto recorder = std::filesystem::path(self).replace_filename(L"about_link_recorder.exe");
    handlers_.OpenWith(L"\"" + recorder.wstring() + L"\" \"" + record_.wstring() + L"\" \"%1\"");
    std::vector<std::string> expected;
    for (auto [link, address] : {std::pair{A::lblMessage3, "http://www.talvern.example"},
                                 {A::lblMessage4, "mailto:support@talvern.example"}}) {
        ASSERT_TRUE(Open());
        for (int id : {A::Picture1, A::lblMessage0, A::lblMessage1, A::lblMessage2}) {
            Click(Item(id));
            EXPECT_TRUE(IsWindowVisible(about_)) << "closed by a click on " << id;
        }
        Click(Item(link));
        EXPECT_FALSE(IsWindow(about_));
        expected.push_back(address);
        EXPECT_EQ(Recorded(expected.size()), expected);
    }
}

TEST_F(AboutLinksTest, WithoutAHandlerALinkClosesTheWindowAndNothingIsShown) {
    for (int link : {A::lblMessage3, A::lblMessage4}) {
        ASSERT_TRUE(Open());
        Click(Item(link));
        EXPECT_FALSE(IsWindow(about_)) << link;
    }
}

// Ends the program if the test left it running.
struct Process : PROCESS_INFORMATION {
    ~Process() {
        if (!hProcess) return;
        TerminateProcess(hProcess, 1);
        CloseHandle(hThread);
        CloseHandle(hProcess);
    }
};

TEST(AboutEndToEnd, AboutStandsApartFromTheMainWindowAndTheProgramEndsWithTheLast) {
    Process talvern{};
    STARTUPINFOW startup{sizeof startup};
    std::wstring commandLine = L"\"" + TalvernPath() + L"\"";
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &talvern));
    HWND main = nullptr;
    ASSERT_TRUE(
        Pump([&](const MSG&) { return (main = FindWindowW(nullptr, L"Talvern 3.0")); }, 20s));

    // Pressed twice; a modal About window would hold the first press.
    for (int press = 0; press < 2; ++press)
        ASSERT_TRUE(SendMessageTimeoutW(main, WM_COMMAND, MAKEWPARAM(frmMain::cmdAbout, BN_CLICKED),
                                        0, SMTO_NORMAL, 5000, nullptr));
    const HWND about = FindWindowW(nullptr, L"Talvern - About");
    ASSERT_TRUE(about);
    EXPECT_EQ(VisibleWindows(talvern.dwProcessId).size(), 2u);

    // Out of the taskbar, owned by a hidden window rather than the main window, which stays usable.
    const HWND owner = GetWindow(about, GW_OWNER);
    EXPECT_TRUE(owner && owner != main && !IsWindowVisible(owner));
    EXPECT_FALSE(GetWindowLongPtrW(about, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_TRUE(IsWindowEnabled(main));

    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Pump([&](const MSG&) { return !IsWindow(main); }, 5s));
    EXPECT_EQ(WaitForSingleObject(talvern.hProcess, 500), WAIT_TIMEOUT) << "ended with About open";
    PostMessageW(about, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(talvern.hProcess, 10000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(talvern.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace

// The About window driven by the mouse, the keyboard and a screen reader, as its user drives it.

#include "about/frmAbout.h"
#include "app/frmMain.h"
#include "tests/testing/Keys.h"
#include "tests/testing/Recorder.h"
#include "tests/testing/Wait.h"
#include "ui/Contrast.h"
#include "ui/Layout.h"

#include <gtest/gtest.h>

#include <oleacc.h>

#include <array>

using A = frmAbout;
constexpr int kWeb = A::lblMessage3, kMail = A::lblMessage4;

// Presses About; the window it brought to the front.
static HWND Open() { return frmAbout::Show(), GetActiveWindow(); }

// A key handled as the program's loop handles it, with Shift held or not.
static void Press(HWND about, WPARAM key, bool shift = false) {
    BYTE keys[256] = {};
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    MSG msg{GetFocus(), WM_KEYDOWN, key, 1};
    if (!IsDialogMessageW(about, &msg)) DispatchMessageW(&msg);
}

// Text, text background, control brush and window background the window paints the control with.
static std::array<COLORREF, 4> Painted(HWND window, HWND control) {
    const HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ pixel = CreateBitmap(1, 1, 1, 32, nullptr), was = SelectObject(dc, pixel);
    LOGBRUSH brush{};
    GetObjectW(HGDIOBJ(SendMessageW(window, WM_CTLCOLORSTATIC, WPARAM(dc), LPARAM(control))),
               sizeof brush, &brush);
    SendMessageW(window, WM_ERASEBKGND, WPARAM(dc), 0);
    const std::array painted{GetTextColor(dc), GetBkColor(dc), brush.lbColor, GetPixel(dc, 0, 0)};
    return DeleteObject(SelectObject(dc, was)), DeleteDC(dc), painted;
}

TEST(About, LinksLightInTheirOwnOrHighContrastColoursAndGoToTheShellByClickKeyOrScreenReader) {
    // The recorder opens both kinds of address, for the desktop's shell too, until the prefix's
    // own handlers come back at the end.
    std::vector<std::pair<std::wstring, std::wstring>> handlers;
    for (const std::wstring key :
         {L"http\\shell\\open\\command", L"mailto\\shell\\open\\command"}) {
        wchar_t was[1024] = {};
        DWORD size = sizeof was;
        RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), L"", RRF_RT_REG_SZ, nullptr, was, &size);
        SetString(HKEY_CLASSES_ROOT, handlers.emplace_back(key, was).first, L"",
                  L"\"" + kRecorder.wstring() + L"\" \"%1\"");
    }
    std::filesystem::remove(kRecorder.wstring() + L".txt");
    std::wstring expected, recorded;
    frmMain main;
    ASSERT_TRUE(main.Create(SW_SHOWNORMAL));
    const HWND mainLabel = FindControl(main.Handle(), frmMain::Label3);
    // A dark scheme, every colour unlike the windows' own; the prefix's comes back at the end.
    const int elements[] = {COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_HOTLIGHT, COLOR_HIGHLIGHT};
    const COLORREF face = RGB(0, 0, 0), grey = RGB(224, 224, 224),
                   dark[] = {face, RGB(255, 255, 255), RGB(255, 255, 0), RGB(0, 255, 255)};
    COLORREF before[4];
    for (int i : {0, 1, 2, 3}) before[i] = GetSysColor(elements[i]);
    SetSysColors(4, elements, dark);
    // Without High Contrast and with it: the main window's label; a link's text, and a lit one's.
    const std::array<COLORREF, 4> labels[] = {{0, grey, grey, grey}, {dark[1], face, face, face}};
    const COLORREF ink[][2] = {{RGB(0, 0, 255), RGB(128, 0, 0)}, {dark[2], dark[3]}};
    for (bool contrast : {false, true}) {
        if (contrast) highContrastOn = [] { return true; };
        EXPECT_EQ(Painted(main.Handle(), mainLabel), labels[contrast]);
        const HWND about = Open();
        // A mouse move over a control (0: the background) or a key; then the link lit.
        enum Move { Mouse, Tab, ShiftTab };
        const std::tuple<Move, int, int> steps[] = {
            {Tab, 0, kWeb}, {Mouse, kMail, kMail}, {Mouse, A::lblMessage1, kMail},
            {Mouse, 0, 0},  {Mouse, kWeb, kWeb},   {Tab, 0, kMail},
            {Tab, 0, kWeb}, {ShiftTab, 0, kMail},  {Mouse, 0, 0}};
        for (auto [move, over, lights] : steps) {
            if (move == Mouse)  // the background is told by a move, a label by its pointer
                SendMessageW(over ? GetDlgItem(about, over) : about,
                             over ? WM_SETCURSOR : WM_MOUSEMOVE, WPARAM(GetDlgItem(about, over)),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            else
                Press(about, VK_TAB, move == ShiftTab);
            for (int link : {kWeb, kMail})
                EXPECT_EQ(Painted(about, GetDlgItem(about, link)),
                          (std::array{ink[contrast][link == lights], face, face, face}));
        }
        for (UINT change : {WM_SETTINGCHANGE, WM_SYSCOLORCHANGE})
            for (HWND control : {mainLabel, GetFocus()}) {
                RedrawWindow(GetParent(control), nullptr, nullptr, RDW_VALIDATE | RDW_ALLCHILDREN);
                SendMessageW(GetAncestor(control, GA_ROOT), change, SPI_SETHIGHCONTRAST, 0);
                EXPECT_TRUE(GetUpdateRect(control, nullptr, FALSE)) << change;
            }
        Press(about, VK_ESCAPE);
        EXPECT_FALSE(IsWindow(about));
    }
    SetSysColors(4, elements, before);
    enum By { Click, Enter, Space, DefaultAction };
    for (By by : {Click, Enter, Space, DefaultAction})
        for (auto [link, address] : {std::pair{kWeb, L"http://www.talvern.example"},
                                     {kMail, L"mailto:support@talvern.example"}}) {
            const HWND about = Open(), label = GetDlgItem(about, link);
            EXPECT_EQ(Open(), about) << "a second press opened another";
            IAccessible* object = nullptr;
            ASSERT_EQ(AccessibleObjectFromWindow(label, OBJID_CLIENT, IID_PPV_ARGS(&object)), S_OK);
            VARIANT self{VT_I4}, role{};
            object->get_accRole(self, &role);
            EXPECT_EQ(role.lVal, ROLE_SYSTEM_LINK);
            SetFocus(label);
            if (by == Click) SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, 0);
            if (by == Enter || by == Space) Press(about, by == Enter ? VK_RETURN : VK_SPACE);
            if (by == DefaultAction) object->accDoDefaultAction(self);
            object->Release();
            for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
            ASSERT_FALSE(IsWindow(about)) << "still open after " << by;
            // Opened by the desktop's process, with the signed-in user's rights, not this one's.
            expected += L"explorer.exe|" + std::wstring(address) + L"\n";
            // The handler runs on its own: read until it has written, or give up.
            WaitUntil([&] { return (recorded = Recorded(kRecorder)).size() >= expected.size(); },
                      10);
            ASSERT_EQ(recorded, expected);
        }
    for (const auto& [key, was] : handlers) SetString(HKEY_CLASSES_ROOT, key, L"", was);
}

// The About window driven with the messages a user's mouse sends it, its links handed to the shell.

#include "about/frmAbout.h"
#include "tests/testing/Keys.h"
#include "tests/testing/Wait.h"

#include <gtest/gtest.h>

#include <fstream>

using A = frmAbout;
constexpr int kWeb = A::lblMessage3, kMail = A::lblMessage4;

// Presses About; the window it brought to the front.
static HWND Open() {
    frmAbout::Show();
    return GetActiveWindow();
}

TEST(About, HoverHighlightsTheLinkUnderTheMouseAndTheBackgroundNone) {
    const HWND about = Open();
    // Where the mouse goes (0: the background, told by a move; a label, by its pointer), what
    // lights.
    const std::pair<int, int> moves[] = {{kWeb, kWeb}, {kMail, kMail}, {A::lblMessage1, kMail},
                                         {0, 0},       {kWeb, kWeb},   {0, 0}};
    for (auto [over, lit] : moves) {
        const HWND target = over ? GetDlgItem(about, over) : about;
        SendMessageW(target, over ? WM_SETCURSOR : WM_MOUSEMOVE, reinterpret_cast<WPARAM>(target),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        for (int link : {kWeb, kMail}) {  // the pointer each asks for when not moved over
            SendMessageW(about, WM_SETCURSOR, reinterpret_cast<WPARAM>(GetDlgItem(about, link)),
                         HTCLIENT);
            EXPECT_EQ(GetCursor() != LoadCursorW(nullptr, IDC_ARROW), link == lit) << over << link;
        }
    }
}

TEST(About, OpensOnceAndOnlyALinkClosesItAndHandsItsAddressToTheShell) {
    const std::wstring classes = L"Software\\TalvernTests\\AboutClasses",
                       command = L"about_link_recorder.exe about_links.txt \"%1\"";
    for (const wchar_t* scheme : {L"\\http", L"\\mailto"})
        SetString(HKEY_CURRENT_USER, classes + scheme + L"\\shell\\open\\command", L"", command);
    // This process's shell finds the recorder (in this program's folder) here, not the prefix's.
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, classes.c_str(), 0, KEY_READ, &key);
    RegOverridePredefKey(HKEY_CLASSES_ROOT, key);
    DeleteFileW(L"about_links.txt");
    std::string expected, recorded;
    for (auto [link, address] : {std::pair{A::lblMessage3, "http://www.talvern.example"},
                                 {A::lblMessage4, "mailto:support@talvern.example"}}) {
        const HWND about = Open();
        EXPECT_EQ(Open(), about) << "a second press opened another";
        wchar_t shown[2][16] = {};  // the product and its version, from the build
        for (int i : {0, 1}) GetDlgItemTextW(about, A::lblMessage0 + i, shown[i], 16);
        EXPECT_EQ(std::wstring(shown[0]) + shown[1], L"Talvern v3.0.0");
        for (int id : {A::Picture1, A::lblMessage0, A::lblMessage1, A::lblMessage2, link}) {
            EXPECT_TRUE(IsWindow(about)) << "closed before a click on " << id;
            SendMessageW(GetDlgItem(about, id), WM_LBUTTONDOWN, MK_LBUTTON, 0);
        }
        EXPECT_FALSE(IsWindow(about));
        expected += std::string(address) + "\n";
        // The handler runs on its own: read until it has written, or give up.
        WaitUntil(
            [&] {
                recorded.assign(std::istreambuf_iterator(std::ifstream("about_links.txt").rdbuf()),
                                {});
                return recorded.size() >= expected.size();
            },
            10);
        EXPECT_EQ(recorded, expected);
    }
    DeleteTree(HKEY_CURRENT_USER, classes);
}

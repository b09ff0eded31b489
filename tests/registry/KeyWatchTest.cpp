#include "registry/KeyWatch.h"
#include "tests/testing/Keys.h"
#include "tests/testing/Wait.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>

// Each step changes the registry and must bring one message: below a watched key, where a missing
// one is made, in one deleted and made again. The last step's message is left pending, so its 200
// writes must bring no more.
TEST(KeyWatch, PostsOnceForEachChangeBelowAKeyOrWhereAMissingOneIsMade) {
    const HKEY root = HKEY_CURRENT_USER;
    const std::wstring base = L"Software\\TalvernTests";
    const auto path = [&](const wchar_t* below) { return base + L"\\" + below; };
    DeleteTree(root, base);
    CreateKey(root, path(L"a\\shell\\verb\\command")), CreateKey(root, path(L"b"));
    const HWND window = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, {}, {}, {});
    int posted = 0;
    const auto pumped = [&](size_t count) {
        for (MSG msg; PeekMessageW(&msg, window, WM_APP, WM_APP, PM_REMOVE);) ++posted;
        return size_t(posted) >= count;
    };
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"value below", [&] { SetString(root, path(L"a\\shell\\verb"), L"v", L"1"); }},
        {"key deep below", [&] { CreateKey(root, path(L"a\\shell\\verb\\command\\deep")); }},
        {"missing key made", [&] { CreateKey(root, path(L"b\\c\\shell")); }},
        {"value in it", [&] { SetString(root, path(L"b\\c\\shell"), L"v", L"1"); }},
        {"it deleted", [&] { RegDeleteKeyW(root, path(L"b\\c\\shell").c_str()); }},
        {"made again", [&] { CreateKey(root, path(L"b\\c\\shell")); }},
        {"value in it again", [&] { SetString(root, path(L"b\\c\\shell"), L"v", L"2"); }},
        {"200 writes", [&] {
             for (int i = 0; i < 200; ++i)
                 SetString(root, path(L"a\\shell"), L"n", std::to_wstring(i));
         }}};
    KeyWatch watch(window, WM_APP, {{root, path(L"a\\shell")}, {root, path(L"b\\c\\shell")}});
    ASSERT_TRUE(WaitUntil([&] { return pumped(1); }, 5)) << "never armed";
    for (const auto& [step, change] : steps) {
        const size_t earlier = size_t(posted);
        watch.Handled();
        change();
        EXPECT_TRUE(WaitUntil([&] { return pumped(earlier + 1); }, 5)) << step;
    }
    EXPECT_FALSE(WaitUntil([&] { return pumped(std::size(steps) + 2); }, 1)) << "flooded";
    DestroyWindow(window);
    DeleteTree(root, base);
}

#pragma once

#include <windows.h>

#include <algorithm>
#include <cwchar>

// Polls done() for up to `seconds`, stretched by TALVERN_TEST_SLOWDOWN where Wine runs emulated
// and every process takes a minute to start. Whether done() came true.
template <class Done>
bool WaitUntil(Done done, int seconds) {
    wchar_t factor[8] = {};
    const int slowdown = GetEnvironmentVariableW(L"TALVERN_TEST_SLOWDOWN", factor, 8)
                             ? std::max(1, static_cast<int>(std::wcstol(factor, nullptr, 10)))
                             : 1;
    const ULONGLONG deadline =
        GetTickCount64() + 1000ULL * static_cast<ULONGLONG>(seconds * slowdown);
    while (!done()) {
        if (GetTickCount64() > deadline) return false;
        Sleep(20);
    }
    return true;
}

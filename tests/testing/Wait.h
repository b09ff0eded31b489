#pragma once

#include <windows.h>

#include <cwchar>

// Polls done() for up to `seconds`, times TALVERN_TEST_SLOWDOWN where Wine runs emulated and a
// process takes a minute to start. Whether done() came true.
template <class Done>
bool WaitUntil(Done done, int seconds) {
    wchar_t factor[8] = L"1";
    GetEnvironmentVariableW(L"TALVERN_TEST_SLOWDOWN", factor, 8);
    const ULONGLONG end =
        GetTickCount64() + 1000ULL * static_cast<ULONGLONG>(seconds * wcstol(factor, nullptr, 10));
    for (;; Sleep(20)) {
        if (done()) return true;
        if (GetTickCount64() > end) return false;
    }
}

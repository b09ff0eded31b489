#pragma once

#include <windows.h>

#include <cwchar>

// Milliseconds in n seconds, times TALVERN_TEST_SLOWDOWN where Wine runs emulated and slower.
inline DWORD Seconds(int n) {
    wchar_t factor[8] = L"1";
    GetEnvironmentVariableW(L"TALVERN_TEST_SLOWDOWN", factor, 8);
    return static_cast<DWORD>(1000 * n * wcstol(factor, nullptr, 10));
}

// Polls done() for up to that many seconds. Whether done() came true.
template <class Done>
bool WaitUntil(Done done, int seconds) {
    for (const ULONGLONG end = GetTickCount64() + Seconds(seconds); !done(); Sleep(20))
        if (GetTickCount64() > end) return false;
    return true;
}

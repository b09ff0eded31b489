#pragma once

// Checks and printable forms of clsRegistry's results, so that a failure names the
// caller's line and shows the whole result.

#include "registry/clsRegistry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A registry Boolean is True only as -1 (VARIANT_TRUE), False only as 0.
inline ::testing::AssertionResult IsTrue(VARIANT_BOOL b) {
    if (b == VARIANT_TRUE && static_cast<int>(b) == -1) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "registry Boolean is " << b << ", not True (-1)";
}
inline ::testing::AssertionResult IsFalse(VARIANT_BOOL b) {
    if (b == VARIANT_FALSE) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "registry Boolean is " << b << ", not False (0)";
}

inline std::wstring Show(VARIANT_BOOL b) { return std::to_wstring(static_cast<int>(b)); }
inline std::wstring Show(DWORD n) { return std::to_wstring(n); }
// Nothing as <nothing>, a string in quotation marks.
inline std::wstring Show(const RegValue& v) {
    return v ? L"\"" + *v + L"\"" : std::wstring(L"<nothing>");
}
inline std::wstring Show(const std::vector<std::wstring>& names) {
    std::wstring out = L"{";
    for (size_t i = 0; i < names.size(); ++i) out += (i ? L"|" : L"") + names[i];
    return out + L"}";
}
// The rows as (name,data) pairs.
inline std::wstring Show(const ValueTable& table) {
    std::wstring out = L"{";
    for (int r = 1; r <= table.Rows(); ++r)
        out += L"(" + Show(table.Cell(1, r)) + L"," + Show(table.Cell(2, r)) + L")";
    return out + L"}";
}

inline std::wstring Repeat(wchar_t c, size_t n) { return std::wstring(n, c); }

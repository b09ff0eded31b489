#include "registry/clsRegistry.h"
#include "tests/testing/ScratchKey.h"

#include <gtest/gtest.h>

#include <functional>

using namespace std::string_literals;

// A real key cannot make RegCloseKey fail; Wine's RegSetValueExA adds a NUL that string data lacks.
struct Registry : ::testing::Test {
    Registry() {
        Advapi().CloseKey = [](HKEY key) { return ++closed, RegCloseKey(key) | closeResult; };
        Advapi().SetValueEx = [](HKEY k, LPCSTR n, DWORD z, DWORD t, const BYTE* d, DWORD c) {
            return set = {t, std::string(d, d + c)}, RegSetValueExA(k, n, z, t, d, c);
        };
    }
    ~Registry() override { Advapi() = {}, closeResult = ERROR_SUCCESS; }

    static inline int closed = 0;
    static inline LONG closeResult = ERROR_SUCCESS;
    static inline std::pair<DWORD, std::string> set;
    clsRegistry reg;
};

static std::wstring Listed(clsRegistry& reg, InOut<HKEY> root, InOut<std::wstring> path) {
    ValueTable table;
    table.AddRow();  // stale, for enumValues to clear
    LONG size = 0;
    std::wstring out = std::to_wstring(reg.enumValues(table, size, *root, *path));
    for (int row = 1; row <= table.Rows(); ++row)
        out += L" " + AsText(table.Cell(1, row)) + L"=" + AsText(table.Cell(2, row));
    return out + L" " + std::to_wstring(size);  // result, " name=data" a row, count
}

// Each member on a key with a default value and sub-key s. Rows: the instance's SubKey, call, how
// many of root, path and name a fallback copies back (-1: must not fall back), closes.
TEST_F(Registry, EveryMemberFallsBackWhereItMustAndFailsWhenClosingFails) {
    HKEY root;
    std::wstring path, name;
    const std::tuple<std::wstring, std::function<bool()>, int, int> rows[] = {
        {L"", [&] { return reg.getValue(root, path, name) == L"x"; }, 3, 1},
        {L"", [&] { return reg.getValueNameType(root, path, name) == REG_SZ; }, 0, 1},
        {L"", [&] { return reg.ValueNameExists(root, path, name) == VARIANT_TRUE; }, 0, 1},
        {L"", [&] { return Listed(reg, root, path) == L"-1 =x 1"; }, 2, 1},
        {L"", [&] { return reg.enumSubKeys(root, path) == std::vector{L"s"s}; }, 2, 1},
        {L"new", [&] { return reg.createKey(root, path) == VARIANT_TRUE; }, 2, 1},
        {L"s", [&] { return reg.deleteKey(root, path) == VARIANT_TRUE; }, 2, 0},
        {L"", [&] { return reg.deleteValueName(root, path, name) == VARIANT_TRUE; }, 3, 1},
        {L"", [&] { return reg.setValue(root, path, name, L"y", REG_SZ) != 0; }, -1, 1},
        {L"", [&] { return reg.SubKeyExists(root, path) == VARIANT_TRUE; }, -1, 1}};
    for (const auto& row : rows) {
        const auto& [below, call, copies, closes] = row;
        for (const int mode : {0, 1, 2}) {  // own key; root key 0 and key q, value w; closing fails
            SCOPED_TRACE("row " + std::to_string(&row - rows) + ", mode " + std::to_string(mode));
            ScratchKey k(L"Members");
            SetString(k.Root(), k.Path(), L"", L"x");
            CreateKey(k.Root(), k.Path(L"s"));
            reg.RootKey(k.Root());
            reg.SubKey(k.Path(below));
            std::tie(root, path, name) = mode == 1 ? std::tuple(HKEY{}, k.Path(L"q"), L"w"s)
                                                   : std::tuple(k.Root(), k.Path(below), L""s);
            std::tie(closed, closeResult) = std::pair(0, mode == 2 ? ERROR_INVALID_HANDLE : 0);
            EXPECT_EQ(call(), mode == 0 || (mode == 1 && copies >= 0) || (mode == 2 && !closes));
            EXPECT_EQ(closed, mode == 1 && copies < 0 ? 0 : closes);
            if (mode != 1) continue;
            EXPECT_EQ(std::pair(root, path), copies > 0 ? std::pair(k.Root(), k.Path(below))
                                                        : std::pair(HKEY{}, k.Path(L"q")));
            EXPECT_EQ(name, copies == 3 ? L"" : L"w");
        }
    }
}

// Wine's code page 1252 holds € but Latin-1 does not, so a byte-for-byte widening shows.
TEST_F(Registry, WritingEndsStringsWithOneNulNeedsTheKeyAndKeepsTextBeyondAscii) {
    ScratchKey k(L"Write");
    const std::wstring text = L"Caf\u00e9 \u20ac";
    const std::tuple<RegData, DWORD, std::string> rows[] = {
        {L"abc", REG_BINARY, "abc"}, {12, REG_DWORD, "12"}, {text, REG_SZ, "Caf\xE9 \x80\0"s}};
    for (const auto& [data, type, bytes] : rows) {
        EXPECT_EQ(reg.setValue(k.Root(), k.Path(), text, data, type), VARIANT_TRUE);
        EXPECT_EQ(set, std::pair(type, bytes));
    }
    EXPECT_EQ(reg.getValue(k.Root(), k.Path(), text), text);
    EXPECT_EQ(reg.LastError(), ERROR_SUCCESS);
    EXPECT_EQ(reg.setValue(k.Root(), k.Path(L"new"), L"v", L"x", REG_SZ), VARIANT_FALSE);
    EXPECT_FALSE(KeyExists(k.Root(), k.Path(L"new")));
    HKEY parent = nullptr;
    RegCreateKeyExW(k.Root(), k.Path(L"volatile").c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                    KEY_ALL_ACCESS, nullptr, &parent, nullptr);
    RegCloseKey(parent);
    EXPECT_EQ(reg.createKey(k.Root(), k.Path(L"a\\b\\c")), VARIANT_TRUE);
    EXPECT_EQ(reg.createKey(k.Root(), k.Path(L"volatile\\child")), VARIANT_FALSE);
    EXPECT_EQ(reg.LastError(), ERROR_CHILD_MUST_BE_VOLATILE);
    EXPECT_EQ(reg.deleteKey(k.Root(), k.Path(L"a\\b")), VARIANT_FALSE);
    EXPECT_EQ(reg.deleteKey(k.Root(), k.Path(L"a\\b\\c")), VARIANT_TRUE);
    EXPECT_EQ(Snapshot(k.Root(), k.Path(L"a")), (std::vector{k.Path(L"a"), k.Path(L"a\\b")}));
}

// The buffers hold 255 bytes, 254 characters and a NUL; the registry lists names in order.
TEST_F(Registry, ReadingTakesWhatFitsOnceInTheRegistrysOrder) {
    ScratchKey k(L"Read");
    const std::wstring x254(254, L'x'), n255(255, L'n');
    const std::tuple<std::wstring, std::vector<BYTE>, std::wstring> strings[] = {
        {L"c", WideBytes(x254 + L"c", true), L""},
        {L"s", WideBytes(L"xyz", false), L"xyz"},
        {L"f", WideBytes(x254, true), x254}};
    for (const auto& [name, bytes, text] : strings) {
        SetRaw(k.Root(), k.Path(), name, REG_SZ, bytes);
        EXPECT_EQ(reg.getValue(k.Root(), k.Path(), name), text);
    }
    SetString(k.Root(), k.Path(), n255, L"n");
    SetRaw(k.Root(), k.Path(), L"d", REG_DWORD, {0x01, 0x02, 0x03, 0x84});
    SetRaw(k.Root(), k.Path(), L"b", REG_BINARY, {0x0A, 0xFF, 0x00});
    EXPECT_EQ(reg.getValue(k.Root(), k.Path(), L"missing"), L"");
    EXPECT_EQ(Listed(reg, k.Root(), k.Path()), L"-1 b=0AFF00 d=2214789633 f=" + x254 + L" s=xyz 4");
    for (const auto& name : {L"m"s, n255, L"c"s, L"z"s}) CreateKey(k.Root(), k.Path(name));
    EXPECT_EQ(reg.enumSubKeys(k.Root(), k.Path()), (std::vector{L"c"s, L"m"s, L"z"s}));
}

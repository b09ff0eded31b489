// clsRegistry::enumValues, with the choices it makes where a plain reading would lose data:
// an entry too large for its buffer is passed over, REG_SZ of no bytes gives the
// empty text, REG_SZ drops a terminating NUL only, REG_DWORD gives decimal digits.

#include "registry/clsRegistry.h"
#include "tests/registry/RegistryExpect.h"
#include "tests/registry/RegistrySeam.h"
#include "tests/testing/ScratchKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

struct Listing {
    VARIANT_BOOL result = 0;
    ValueTable table;
    LONG size = 0;
};

// enumValues of the key, with a count that holds 7 before the call.
Listing List(HKEY root, const std::wstring& path) {
    Listing out;
    out.size = 7;
    clsRegistry reg;
    out.result = reg.enumValues(out.table, out.size, root, path);
    return out;
}

// The rows expected for the values named in data, in the registry's order of the key.
std::wstring RowsInRegistryOrder(HKEY root, const std::wstring& path,
                                 const std::map<std::wstring, RegValue>& data) {
    std::wstring out = L"{";
    for (const auto& name : ValueNames(root, path)) {
        const auto it = data.find(name);
        if (it != data.end()) out += L"(" + Show(RegValue(name)) + L"," + Show(it->second) + L")";
    }
    return out + L"}";
}

}  // namespace

TEST(EnumValues, ListsEveryValueInTheRegistrysOrderIntoAnEmptiedTable) {
    ScratchKey k(L"EnumValues_Mixed");
    SetString(k.Root(), k.Path(), L"a", L"text");
    SetRaw(k.Root(), k.Path(), L"b", REG_BINARY, {0x01, 0x02});
    SetRaw(k.Root(), k.Path(), L"c", REG_EXPAND_SZ, WideBytes(L"%X%", true));
    SetRaw(k.Root(), k.Path(), L"d", REG_MULTI_SZ, WideBytes({L"m\0", 2}, true));
    SetRaw(k.Root(), k.Path(), L"e", REG_NONE, Bytes("n"));
    SetRaw(k.Root(), k.Path(), L"f", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1});
    ValueTable table;
    for (int r = 1; r <= 2; ++r) {
        table.AddRow();
        table.Cell(1, r) = L"stale";
    }
    LONG size = 7;
    clsRegistry reg;
    EXPECT_TRUE(IsTrue(reg.enumValues(table, size, k.Root(), k.Path())));
    EXPECT_EQ(Show(table), RowsInRegistryOrder(k.Root(), k.Path(),
                                               {{L"a", L"text"},
                                                {L"b", L"0102"},
                                                {L"c", std::nullopt},
                                                {L"d", std::nullopt},
                                                {L"e", std::nullopt},
                                                {L"f", std::nullopt}}));
    EXPECT_EQ(size, 6);
}

TEST(EnumValues, TheDefaultValueIsARowWithTheEmptyName) {
    ScratchKey k(L"EnumValues_Default");
    SetString(k.Root(), k.Path(), L"", L"default");
    SetString(k.Root(), k.Path(), L"named", L"x");
    const auto got = List(k.Root(), k.Path());
    EXPECT_TRUE(IsTrue(got.result));
    EXPECT_EQ(Show(got.table),
              RowsInRegistryOrder(k.Root(), k.Path(), {{L"", L"default"}, {L"named", L"x"}}));
    EXPECT_EQ(got.size, 2);
}

TEST(EnumValues, AKeyWithoutValuesGivesFalseAndLeavesTheCount) {
    ScratchKey k(L"EnumValues_NoValues");
    CreateKey(k.Root(), k.Path(L"child"));
    const auto got = List(k.Root(), k.Path());
    EXPECT_TRUE(IsFalse(got.result));
    EXPECT_EQ(got.table.Rows(), 0);
    EXPECT_EQ(got.size, 7);
}

TEST(EnumValues, AMissingKeyEmptiesTheTableAndLeavesTheCount) {
    ScratchKey k(L"EnumValues_MissingKey");
    ValueTable table;
    table.AddRow();
    table.Cell(1, 1) = L"stale";
    LONG size = 7;
    clsRegistry reg;
    EXPECT_TRUE(IsFalse(reg.enumValues(table, size, k.Root(), k.Path(L"Missing"))));
    EXPECT_EQ(table.Rows(), 0);
    EXPECT_EQ(size, 7);
}

TEST(EnumValues, PassesOverDataTooLargeForItsBufferAndListsTheRest) {
    ScratchKey k(L"EnumValues_BigData");
    const std::wstring fits = Repeat(L'x', 254);  // 255 bytes with the NUL
    SetString(k.Root(), k.Path(), L"a", L"first");
    SetRaw(k.Root(), k.Path(), L"b", REG_BINARY, std::vector<BYTE>(256, 0xAB));
    SetString(k.Root(), k.Path(), L"c", fits);
    SetString(k.Root(), k.Path(), L"d", Repeat(L'y', 255));  // 256 bytes with the NUL
    SetRaw(k.Root(), k.Path(), L"e", REG_BINARY, std::vector<BYTE>(255, 0xAB));
    SetString(k.Root(), k.Path(), L"f", L"last");
    const auto got = List(k.Root(), k.Path());
    EXPECT_TRUE(IsTrue(got.result));
    std::wstring hex;
    for (int i = 0; i < 255; ++i) hex += L"AB";
    EXPECT_EQ(Show(got.table),
              RowsInRegistryOrder(k.Root(), k.Path(),
                                  {{L"a", L"first"}, {L"c", fits}, {L"e", hex}, {L"f", L"last"}}));
    EXPECT_EQ(got.size, 4);

    // A key whose only value is too large has no row to give.
    SetRaw(k.Root(), k.Path(L"only"), L"b", REG_BINARY, std::vector<BYTE>(256, 0xAB));
    const auto only = List(k.Root(), k.Path(L"only"));
    EXPECT_TRUE(IsFalse(only.result));
    EXPECT_EQ(only.table.Rows(), 0);
    EXPECT_EQ(only.size, 7);
}

TEST(EnumValues, PassesOverANameTooLongForItsBufferAndListsTheRest) {
    ScratchKey k(L"EnumValues_LongName");
    const std::wstring fits = L"m" + Repeat(L'm', 253);     // 254 characters
    const std::wstring tooLong = L"n" + Repeat(L'n', 254);  // 255 characters
    for (const std::wstring& name : {std::wstring(L"a"), fits, tooLong, std::wstring(L"z")})
        SetString(k.Root(), k.Path(), name, L"of " + name.substr(0, 1));
    const auto names = ValueNames(k.Root(), k.Path());
    ASSERT_EQ(names.size(), 4u);
    const auto at = std::find(names.begin(), names.end(), tooLong) - names.begin();
    ASSERT_TRUE(at == 1 || at == 2) << at;  // with names before and after it
    const auto got = List(k.Root(), k.Path());
    EXPECT_TRUE(IsTrue(got.result));
    EXPECT_EQ(Show(got.table),
              RowsInRegistryOrder(k.Root(), k.Path(),
                                  {{L"a", L"of a"}, {fits, L"of m"}, {L"z", L"of z"}}));
    EXPECT_EQ(got.size, 3);
}

TEST(EnumValues, BinaryDataIsUpperCaseHexWithoutSeparators) {
    ScratchKey k(L"EnumValues_Binary");
    SetRaw(k.Root(), k.Path(), L"three", REG_BINARY, {0x0A, 0xFF, 0x00});
    SetRaw(k.Root(), k.Path(), L"empty", REG_BINARY, {});
    SetRaw(k.Root(), k.Path(), L"mixed", REG_BINARY, {0x01, 0x9b, 0xc0});
    const auto got = List(k.Root(), k.Path());
    EXPECT_TRUE(IsTrue(got.result));
    EXPECT_EQ(Show(got.table),
              RowsInRegistryOrder(k.Root(), k.Path(),
                                  {{L"three", L"0AFF00"}, {L"empty", L""}, {L"mixed", L"019BC0"}}));
}

TEST(EnumValues, SzDataDropsOnlyATerminatingNul) {
    ScratchKey k(L"EnumValues_Sz");
    SetString(k.Root(), k.Path(), L"abc", L"abc");
    SetRaw(k.Root(), k.Path(), L"nulOnly", REG_SZ, WideBytes(L"", true));
    SetRaw(k.Root(), k.Path(), L"noBytes", REG_SZ, {});
    SetRaw(k.Root(), k.Path(), L"noNul", REG_SZ, WideBytes(L"xyz", false));
    SetRaw(k.Root(), k.Path(), L"inner", REG_SZ, WideBytes({L"a\0b", 3}, true));
    const auto got = List(k.Root(), k.Path());
    EXPECT_TRUE(IsTrue(got.result));
    EXPECT_EQ(Show(got.table), RowsInRegistryOrder(k.Root(), k.Path(),
                                                   {{L"abc", L"abc"},
                                                    {L"nulOnly", L""},
                                                    {L"noBytes", L""},
                                                    {L"noNul", L"xyz"},
                                                    {L"inner", std::wstring(L"a\0b", 3)}}));
    EXPECT_EQ(got.size, 5);
}

TEST(EnumValues, DwordDataIsTheUnsignedDecimalNumber) {
    ScratchKey k(L"EnumValues_Dword");
    SetRaw(k.Root(), k.Path(), L"twelve", REG_DWORD, {12, 0, 0, 0});
    SetRaw(k.Root(), k.Path(), L"zero", REG_DWORD, {0, 0, 0, 0});
    SetRaw(k.Root(), k.Path(), L"bytes", REG_DWORD, {0x01, 0x02, 0x03, 0x04});
    SetRaw(k.Root(), k.Path(), L"top", REG_DWORD, {0x00, 0x00, 0x00, 0x80});
    SetRaw(k.Root(), k.Path(), L"max", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF});
    const auto got = List(k.Root(), k.Path());
    EXPECT_TRUE(IsTrue(got.result));
    EXPECT_EQ(Show(got.table), RowsInRegistryOrder(k.Root(), k.Path(),
                                                   {{L"twelve", L"12"},
                                                    {L"zero", L"0"},
                                                    {L"bytes", L"67305985"},
                                                    {L"top", L"2147483648"},
                                                    {L"max", L"4294967295"}}));
}

TEST(EnumValues, EnumerationThatBreaksOffGivesTheRowsCollected) {
    ScratchKey k(L"EnumValues_BreakOff");
    for (const wchar_t* name : {L"a", L"b", L"c"}) SetString(k.Root(), k.Path(), name, name);
    const auto names = ValueNames(k.Root(), k.Path());
    ASSERT_EQ(names.size(), 3u);
    {
        RegistrySeam seam;
        seam.FailEnumValueAt(1, ERROR_ACCESS_DENIED);
        const auto got = List(k.Root(), k.Path());
        EXPECT_TRUE(IsTrue(got.result));
        EXPECT_EQ(Show(got.table),
                  L"{(" + Show(RegValue(names[0])) + L"," + Show(RegValue(names[0])) + L")}");
        EXPECT_EQ(got.size, 1);
        EXPECT_TRUE(seam.EveryKeyClosedOnce());
    }
    {
        RegistrySeam seam;
        seam.FailEnumValueAt(0, ERROR_ACCESS_DENIED);
        const auto got = List(k.Root(), k.Path());
        EXPECT_TRUE(IsFalse(got.result));
        EXPECT_EQ(got.table.Rows(), 0);
        EXPECT_EQ(got.size, 7);
        EXPECT_TRUE(seam.EveryKeyClosedOnce());
    }
}

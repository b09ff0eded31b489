#include "registry/KeyTree.h"
#include "registry/RegFile.h"
#include "registry/clsRegistry.h"
#include "tests/testing/Keys.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

using namespace std::string_literals;

// Stands in for a call made on an open key: it fails, or throws as the work around it might.
inline bool throwing = false;
template <class... Args>
LONG WINAPI Refused(Args...) {
    return throwing ? throw std::runtime_error("refused") : ERROR_ACCESS_DENIED;
}

// A throwaway key per case; seams where the real calls cannot fail or throw, or add NULs unseen.
struct Registry : ::testing::Test {
    Registry() {
        Fresh();
        Advapi().CloseKey = CountedClose;
        Advapi().SetValueEx = RecordedSet;
    }
    ~Registry() override { Advapi() = {}, closeResult = 0, DeleteTree(kRoot, Path()); }
    static void Fresh() { DeleteTree(kRoot, Path()), CreateKey(kRoot, Path()); }
    static std::wstring Path(const std::wstring& below = L"") {
        return L"Software\\TalvernTests" + (below.empty() ? L"" : L"\\" + below);
    }

    // The seams take the API's calling convention, which a lambda cannot give on 32 bits.
    static LONG WINAPI CountedClose(HKEY key) { return ++closed, RegCloseKey(key) | closeResult; }
    static LONG WINAPI RecordedSet(HKEY k, LPCSTR n, DWORD z, DWORD t, const BYTE* d, DWORD c) {
        return set = {t, std::string(d, d + c)}, RegSetValueExA(k, n, z, t, d, c);
    }

    static inline const HKEY kRoot = HKEY_CURRENT_USER;
    static inline int closed = 0;
    static inline LONG closeResult = ERROR_SUCCESS;
    static inline std::pair<DWORD, std::string> set;
    clsRegistry reg;
};

// Each member, on a key below (with sub-key s and "x" stored without its NUL); keys it closes.
TEST_F(Registry, EveryMemberFailsWhenClosingFailsAndClosesOnEveryPath) {
    HKEY root = kRoot;
    std::wstring path, name;
    ValueTable table;
    LONG size = 0;
    const std::tuple<std::wstring, std::function<bool()>, int> rows[] = {
        {L"", [&] { return reg.getValue(root, path, name) == L"x"; }, 1},
        {L"", [&] { return reg.getValueNameType(root, path, name) == REG_SZ; }, 1},
        {L"", [&] { return reg.ValueNameExists(root, path, name) == VARIANT_TRUE; }, 1},
        {L"", [&] { return reg.enumValues(table, size, root, path) && table.Cell(2, 1) == L"x"; },
         1},
        {L"", [&] { return reg.enumSubKeys(root, path) == std::vector{L"s"s}; }, 1},
        {L"new", [&] { return reg.createKey(root, path) == VARIANT_TRUE; }, 1},
        {L"s", [&] { return reg.deleteKey(root, path) == VARIANT_TRUE; }, 0},
        {L"", [&] { return reg.deleteValueName(root, path, name) == VARIANT_TRUE; }, 1},
        {L"", [&] { return reg.setValue(root, path, name, L"y", REG_SZ) != 0; }, 1},
        {L"", [&] { return reg.SubKeyExists(root, path) == VARIANT_TRUE; }, 1}};
    for (const auto& row : rows) {
        const auto& [below, call, closes] = row;
        // Succeeds; closing fails; the work on the key fails; throws.
        for (const int mode : {0, 1, 2, 3}) {
            SCOPED_TRACE("row " + std::to_string(&row - rows) + ", mode " + std::to_string(mode));
            Fresh();
            SetRaw(kRoot, Path(), L"", REG_SZ, {'x', 0});
            CreateKey(kRoot, Path(L"s"));
            path = Path(below);
            std::tie(closed, closeResult) = std::pair(0, mode == 1 ? ERROR_INVALID_HANDLE : 0);
            auto& api = Advapi();
            api = {}, api.CloseKey = CountedClose;
            throwing = mode == 3;
            if (mode > 1)
                api.DeleteKey = Refused, api.DeleteValue = Refused, api.EnumKeyEx = Refused,
                api.QueryValueEx = Refused, api.SetValueEx = Refused, api.EnumValue = Refused;
            const bool result = call();
            EXPECT_TRUE(mode > 1 || result == (mode == 0 || !closes));
            EXPECT_EQ(closed, closes);
        }
    }
}

// Wine's code page 1252 holds € but Latin-1 does not, so a byte-for-byte widening shows. The
// buffers hold 255 bytes, 254 characters and a NUL; the registry lists names in order.
TEST_F(Registry, WritesOneNulNeedsTheKeyReadsWhatFitsOnceInOrderAndAnswersForWhatItNames) {
    const std::wstring text = L"Caf\u00e9 \u20ac", x254(254, L'x'), n254(254, L'n'),
                       n255(255, L'n');
    const std::string ansi = "Caf\xE9 \x80\0"s;
    for (const DWORD type : {REG_EXPAND_SZ, REG_MULTI_SZ, REG_SZ}) {
        EXPECT_EQ(reg.setValue(kRoot, Path(), text, text, type), VARIANT_TRUE);
        EXPECT_EQ(set, std::pair(type, ansi));
    }
    EXPECT_EQ(reg.setValue(kRoot, Path(L"new"), L"v", L"x", REG_SZ), VARIANT_FALSE);
    CreateKey(kRoot, Path(L"volatile"), REG_OPTION_VOLATILE);
    EXPECT_EQ(reg.createKey(kRoot, Path(L"volatile\\child")), VARIANT_FALSE);
    EXPECT_EQ(reg.LastError(), ERROR_CHILD_MUST_BE_VOLATILE);
    SetString(kRoot, Path(), L"c", x254 + L"c");
    SetString(kRoot, Path(), L"f", x254);
    SetRaw(kRoot, Path(), L"d", REG_DWORD, {0x01, 0x02, 0x03, 0x84});
    for (const auto& [name, read] :
         {std::pair{L"c"s, L""s}, {L"f", x254}, {L"missing", L""}, {text, text}})
        EXPECT_EQ(reg.getValue(kRoot, Path(), name), read);
    for (const auto& name : {L"m"s, n255, n254, L"z"s}) CreateKey(kRoot, Path(name));
    EXPECT_EQ(reg.enumSubKeys(kRoot, Path()), (std::vector{L"m"s, n254, L"volatile"s, L"z"s}));
    // Below: the key named, the value named; whether the value is there, and its type.
    const std::tuple<std::wstring, std::wstring, bool, DWORD> named[] = {
        {L"", L"f", true, REG_SZ},     {L"", L"d", true, REG_DWORD},
        {L"", L"c", false, REG_NONE},  {L"", L"missing", false, REG_NONE},
        {L"m", L"f", false, REG_NONE}, {L"missing", L"f", false, REG_NONE}};
    for (const auto& [below, name, exists, type] : named) {
        EXPECT_EQ(reg.SubKeyExists(kRoot, Path(below)), below == L"missing" ? 0 : VARIANT_TRUE);
        EXPECT_EQ(reg.ValueNameExists(kRoot, Path(below), name), exists ? VARIANT_TRUE : 0);
        EXPECT_EQ(reg.getValueNameType(kRoot, Path(below), name), type) << below << name;
    }
}

// Whatever was changed or added below a key goes, and what was read before comes back exactly.
TEST_F(Registry, RestoreKeyTreeMakesTheKeyWhatItWas) {
    SetRaw(kRoot, Path(L"k"), L"v", REG_BINARY, {1, 2});
    SetString(kRoot, Path(L"k\\sub"), L"", L"x");
    const auto before = Snapshot(kRoot, Path());
    const std::optional<KeyTree> read = ReadKeyTree(kRoot, Path(L"k")).tree;
    SetString(kRoot, Path(L"k"), L"v", L"changed"), SetString(kRoot, Path(L"k\\new"), L"", L"y");
    EXPECT_EQ(RestoreKeyTree(kRoot, Path(L"k"), read), ERROR_SUCCESS);
    EXPECT_EQ(Snapshot(kRoot, Path()), before);
    EXPECT_EQ(RestoreKeyTree(kRoot, Path(L"k"), std::nullopt), ERROR_SUCCESS);
    EXPECT_EQ(Snapshot(kRoot, Path()), std::vector{L"."s});
}

// Wine's regedit ends hex(1) data with a NUL where it has none, so no import can show this one.
TEST(RegFile, QuotesAStringOnlyWhereTheQuotedFormGivesBackItsBytes) {
    for (const auto& [bytes, data] : {std::pair{std::vector<BYTE>{'a', 0, 0, 0}, L"\"a\""s},
                                      {{'a', 0}, L"hex(1):61,00"},
                                      {{}, L"hex(1):"}})
        EXPECT_EQ(RegFileText(L"HKEY_CURRENT_USER\\k", {L"k", {{L"", REG_SZ, bytes}}}),
                  L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\k]\r\n@=" +
                      data + L"\r\n\r\n");
}

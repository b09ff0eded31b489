#include "registry/clsRegistry.h"
#include "tests/testing/Keys.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

using namespace std::string_literals;

// Stands in for a call made on an open key: it fails, or throws as the work around it might.
inline bool throwing = false;
template <class Function>
struct Refused;
template <class... Args>
struct Refused<LONG(WINAPI*)(Args...)> {
    static LONG WINAPI Call(Args...) {
        return throwing ? throw std::runtime_error("refused") : ERROR_ACCESS_DENIED;
    }
};
template <class Function>
void Refuse(Function& function) {
    function = Refused<Function>::Call;
}

// A throwaway key per case; seams where RegCloseKey cannot fail, Wine's RegSetValueExA adds NULs
// and the calls between opening and closing a key cannot be made to fail or throw.
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
TEST_F(Registry, EveryMemberFallsBackWhereItMustFailsWhenClosingFailsAndClosesOnEveryPath) {
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
        // Own key; root key 0 and key q, value w; closing fails; the work on the key fails; throws.
        for (const int mode : {0, 1, 2, 3, 4}) {
            SCOPED_TRACE("row " + std::to_string(&row - rows) + ", mode " + std::to_string(mode));
            Fresh();
            SetString(kRoot, Path(), L"", L"x");
            CreateKey(kRoot, Path(L"s"));
            reg.RootKey(kRoot);
            reg.SubKey(Path(below));
            std::tie(root, path, name) = mode == 1 ? std::tuple(HKEY{}, Path(L"q"), L"w"s)
                                                   : std::tuple(kRoot, Path(below), L""s);
            std::tie(closed, closeResult) = std::pair(0, mode == 2 ? ERROR_INVALID_HANDLE : 0);
            auto& api = Advapi();
            api = {}, api.CloseKey = CountedClose;
            throwing = mode == 4;
            if (mode > 2)
                Refuse(api.DeleteKey), Refuse(api.DeleteValue), Refuse(api.EnumKeyEx),
                    Refuse(api.QueryValueEx), Refuse(api.SetValueEx), Refuse(api.EnumValue);
            const bool result = call();
            if (mode < 3) {
                EXPECT_EQ(result,
                          mode == 0 || (mode == 1 && copies >= 0) || (mode == 2 && !closes));
            }
            EXPECT_EQ(closed, mode == 1 && copies < 0 ? 0 : closes);
            if (mode != 1) continue;
            EXPECT_EQ(std::pair(root, path),
                      copies > 0 ? std::pair(kRoot, Path(below)) : std::pair(HKEY{}, Path(L"q")));
            EXPECT_EQ(name, copies == 3 ? L"" : L"w");
        }
    }
}

// Wine's code page 1252 holds € but Latin-1 does not, so a byte-for-byte widening shows.
TEST_F(Registry, WritingEndsStringsWithOneNulNeedsTheKeyAndKeepsTextBeyondAscii) {
    const std::wstring text = L"Caf\u00e9 \u20ac";
    const std::string ansi = "Caf\xE9 \x80\0"s;
    const std::tuple<RegData, DWORD, std::string> rows[] = {{L"abc", REG_BINARY, "abc"},
                                                            {12, REG_DWORD, "12"},
                                                            {text, REG_EXPAND_SZ, ansi},
                                                            {text, REG_MULTI_SZ, ansi},
                                                            {text, REG_SZ, ansi}};
    for (const auto& [data, type, bytes] : rows) {
        EXPECT_EQ(reg.setValue(kRoot, Path(), text, data, type), VARIANT_TRUE);
        EXPECT_EQ(set, std::pair(type, bytes));
    }
    EXPECT_EQ(reg.getValue(kRoot, Path(), text), text);
    EXPECT_EQ(reg.LastError(), ERROR_SUCCESS);
    EXPECT_EQ(reg.setValue(kRoot, Path(L"new"), L"v", L"x", REG_SZ), VARIANT_FALSE);
    EXPECT_TRUE(Snapshot(kRoot, Path(L"new")).empty());
    CreateKey(kRoot, Path(L"volatile"), REG_OPTION_VOLATILE);
    EXPECT_EQ(reg.createKey(kRoot, Path(L"volatile\\child")), VARIANT_FALSE);
    EXPECT_EQ(reg.LastError(), ERROR_CHILD_MUST_BE_VOLATILE);
}

// The buffers hold 255 bytes, 254 characters and a NUL; the registry lists names in order.
TEST_F(Registry, ReadingTakesWhatFitsOnceInTheRegistrysOrderAndAnswersForWhatItNames) {
    const std::wstring x254(254, L'x'), n254(254, L'n'), n255(255, L'n');
    for (const auto& name : {n254, n255}) SetString(kRoot, Path(), name, L"n");
    SetString(kRoot, Path(), L"c", x254 + L"c");
    SetString(kRoot, Path(), L"f", x254);
    SetRaw(kRoot, Path(), L"d", REG_DWORD, {0x01, 0x02, 0x03, 0x84});
    SetRaw(kRoot, Path(), L"b", REG_BINARY, {0x0A, 0xFF, 0x00});
    SetRaw(kRoot, Path(), L"t", REG_SZ, {'a', 0, 'b', 0, 'c', 0});  // stored without its NUL
    for (const auto& [name, text] :
         {std::pair{L"c", L""s}, {L"f", x254}, {L"missing", L""}, {L"t", L"abc"}})
        EXPECT_EQ(reg.getValue(kRoot, Path(), name), text);
    EXPECT_EQ(Listed(reg, kRoot, Path()),
              L"-1 b=0AFF00 d=2214789633 f=" + x254 + L" " + n254 + L"=n t=abc 5");
    for (const auto& name : {L"m"s, n255, n254, L"z"s}) CreateKey(kRoot, Path(name));
    EXPECT_EQ(reg.enumSubKeys(kRoot, Path()), (std::vector{L"m"s, n254, L"z"s}));
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

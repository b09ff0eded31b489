// clsRegistry against the real registry, each test on its own scratch key below HKCU, with the
// seam counting the keys that the members open and close.

#include "registry/clsRegistry.h"
#include "tests/registry/RegistrySeam.h"
#include "tests/testing/ScratchKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

using namespace std::string_literals;

namespace {

// Beyond ASCII, and held by code page 1252: é is 0xE9 there (as in Latin-1), € is 0x80 (not
// Latin-1, so a byte-for-byte widening gets it wrong).
const std::wstring kCafe = L"Caf\u00e9 \u20ac";

// Results as text, so that a table row holds each member's result in one form. Booleans show
// as numbers, so that a True other than -1 shows.
std::wstring S(VARIANT_BOOL b) { return std::to_wstring(b); }
std::wstring S(DWORD n) { return std::to_wstring(n); }
std::wstring S(const RegValue& v) { return v ? *v : L"<none>"; }
std::wstring S(const std::vector<std::wstring>& names) {
    std::wstring out;
    for (const auto& name : names) out += name + L";";
    return out;
}

// enumValues into a table that holds a stale row, with a count that holds 7: the result,
// name=data of each row, and the count.
template <class Root, class Path>
std::wstring EnumValues(clsRegistry& reg, Root&& root, Path&& path) {
    ValueTable table;
    table.AddRow();
    table.Cell(1, 1) = L"stale";
    LONG size = 7;
    const VARIANT_BOOL result =
        reg.enumValues(table, size, std::forward<Root>(root), std::forward<Path>(path));
    std::wstring out = S(result) + L" ";
    for (int r = 1; r <= table.Rows(); ++r)
        out += S(table.Cell(1, r)) + L"=" + S(table.Cell(2, r)) + L";";
    return out + L" size=" + std::to_wstring(size);
}

class Registry : public ::testing::Test {
  protected:
    // Every key that a member opened has been closed once, on every path of every test.
    void TearDown() override {
        std::sort(seam.opened.begin(), seam.opened.end());
        std::sort(seam.closed.begin(), seam.closed.end());
        EXPECT_EQ(seam.opened, seam.closed);
    }

    RegistrySeam seam;
    clsRegistry reg;
};

}  // namespace

// Each member that opens a key, on a path that succeeds and on the paths that fail after the
// open: it opens one key and closes it, also when a call on it throws, and a failing close
// turns success into failure.
TEST_F(Registry, EveryMemberClosesItsKeyAndAFailingCloseIsItsFailure) {
    using Call = std::function<std::wstring(const ScratchKey&)>;
    struct Row {
        const char* what;
        Call call;
        std::wstring ok, closeFails;
    };
    const Row rows[] = {
        {"enumValues", [&](auto& k) { return EnumValues(reg, k.Root(), k.Path()); },
         L"-1 v=x; size=1", L"0  size=1"},
        {"enumSubKeys", [&](auto& k) { return S(reg.enumSubKeys(k.Root(), k.Path())); }, L"s;",
         L""},
        {"deleteValueName",
         [&](auto& k) { return S(reg.deleteValueName(k.Root(), k.Path(), L"v")); }, L"-1", L"0"},
        {"createKey", [&](auto& k) { return S(reg.createKey(k.Root(), k.Path(L"new"))); }, L"-1",
         L"0"},
        {"setValue",
         [&](auto& k) { return S(reg.setValue(k.Root(), k.Path(), L"v", L"y", REG_SZ)); }, L"-1",
         L"0"},
        {"getValue", [&](auto& k) { return S(reg.getValue(k.Root(), k.Path(), L"v")); }, L"x", L""},
        {"getValueNameType",
         [&](auto& k) { return S(reg.getValueNameType(k.Root(), k.Path(), L"v")); }, L"1", L"0"},
        {"SubKeyExists", [&](auto& k) { return S(reg.SubKeyExists(k.Root(), k.Path())); }, L"-1",
         L"0"},
        {"ValueNameExists",
         [&](auto& k) { return S(reg.ValueNameExists(k.Root(), k.Path(), L"v")); }, L"-1", L"0"},
        // Failures after the open.
        {"enumValues, no values", [&](auto& k) { return EnumValues(reg, k.Root(), k.Path(L"s")); },
         L"0  size=7", L"0  size=7"},
        {"deleteValueName, missing",
         [&](auto& k) { return S(reg.deleteValueName(k.Root(), k.Path(), L"none")); }, L"0", L"0"},
        {"setValue, refused",
         [&](auto& k) {
             seam.setResult = ERROR_ACCESS_DENIED;
             return S(reg.setValue(k.Root(), k.Path(), L"v", L"y", REG_SZ));
         },
         L"0", L"0"},
        {"getValue, missing", [&](auto& k) { return S(reg.getValue(k.Root(), k.Path(), L"none")); },
         L"", L""},
        {"getValueNameType, missing",
         [&](auto& k) { return S(reg.getValueNameType(k.Root(), k.Path(), L"none")); }, L"0", L"0"},
        {"ValueNameExists, missing",
         [&](auto& k) { return S(reg.ValueNameExists(k.Root(), k.Path(), L"none")); }, L"0", L"0"},
    };
    for (const Row& row : rows) {
        for (const int mode : {0, 1, 2}) {  // as it is, RegCloseKey failing, the calls throwing
            SCOPED_TRACE(std::string(row.what) + ", mode " + std::to_string(mode));
            ScratchKey k(L"Close");
            SetString(k.Root(), k.Path(), L"v", L"x");
            CreateKey(k.Root(), k.Path(L"s"));
            seam.closeResult = mode == 1 ? ERROR_INVALID_HANDLE : ERROR_SUCCESS;
            seam.setResult = ERROR_SUCCESS;
            seam.throws = mode == 2;
            const size_t opened = seam.opened.size();
            const std::wstring result = row.call(k);
            if (mode < 2) {
                EXPECT_EQ(result, mode == 1 ? row.closeFails : row.ok);
            }
            EXPECT_EQ(seam.opened.size(), opened + 1);
            EXPECT_EQ(seam.closed.size(), seam.opened.size());
        }
    }
}

// The instance names the key A and its value v; the caller's variables name B and its value w,
// which exist as well, so that whichever is used shows.
TEST_F(Registry, RootKeyZeroFallsBackToTheInstanceStateWhereItMust) {
    ScratchKey k(L"Fallback");
    const std::wstring A = k.Path(L"A"), B = k.Path(L"B");
    SetString(k.Root(), A, L"v", L"in A");
    SetString(k.Root(), B, L"v", L"in B");
    SetRaw(k.Root(), B, L"w", REG_DWORD, {1, 0, 0, 0});
    CreateKey(k.Root(), B + L"\\other");
    reg.RootKey(k.Root());
    reg.SubKey(A);
    reg.ValueName(L"v");
    HKEY root;
    std::wstring path, name;
    const auto fresh = [&] {
        root = nullptr;
        path = B;
        name = L"w";
    };
    const auto vars = [&] { return std::tuple(root, path, name); };

    // getValueNameType and ValueNameExists leave the caller's variables alone.
    fresh();
    EXPECT_EQ(reg.getValueNameType(root, path, name), DWORD{REG_SZ});
    EXPECT_EQ(reg.ValueNameExists(root, path, name), VARIANT_TRUE);
    EXPECT_EQ(vars(), std::tuple(HKEY{}, B, L"w"s));
    // The others copy the instance state into them.
    fresh();
    EXPECT_EQ(S(reg.getValue(root, path, name)), L"in A");
    EXPECT_EQ(vars(), std::tuple(k.Root(), A, L"v"s));
    fresh();
    EXPECT_EQ(EnumValues(reg, root, path), L"-1 v=in A; size=1");
    EXPECT_EQ(vars(), std::tuple(k.Root(), A, L"w"s));
    reg.SubKey(A + L"\\new");
    fresh();
    EXPECT_EQ(reg.createKey(root, path), VARIANT_TRUE);
    EXPECT_EQ(vars(), std::tuple(k.Root(), A + L"\\new", L"w"s));
    EXPECT_TRUE(KeyExists(k.Root(), A + L"\\new"));
    EXPECT_FALSE(KeyExists(k.Root(), B + L"\\new"));
    reg.SubKey(A);
    fresh();
    EXPECT_EQ(S(reg.enumSubKeys(root, path)), L"new;");
    EXPECT_EQ(vars(), std::tuple(k.Root(), A, L"w"s));
    reg.SubKey(A + L"\\new");
    fresh();
    path = B + L"\\other";
    EXPECT_EQ(reg.deleteKey(root, path), VARIANT_TRUE);
    EXPECT_EQ(vars(), std::tuple(k.Root(), A + L"\\new", L"w"s));
    EXPECT_FALSE(KeyExists(k.Root(), A + L"\\new"));
    EXPECT_TRUE(KeyExists(k.Root(), B + L"\\other"));
    reg.SubKey(A);
    fresh();
    EXPECT_EQ(reg.deleteValueName(root, path, name), VARIANT_TRUE);
    EXPECT_EQ(vars(), std::tuple(k.Root(), A, L"v"s));
    EXPECT_EQ(GetRaw(k.Root(), A, L"v"), RawValue{});
    EXPECT_EQ(GetRaw(k.Root(), B, L"w").type, DWORD{REG_DWORD});

    // setValue and SubKeyExists have no fallback: root key 0 fails and writes nothing.
    EXPECT_EQ(reg.setValue(nullptr, A, L"v", L"x", REG_SZ), VARIANT_FALSE);
    EXPECT_EQ(reg.SubKeyExists(nullptr, A), VARIANT_FALSE);
    EXPECT_TRUE(seam.sets.empty());
}

TEST_F(Registry, WritingValueUsesTheInstanceStateAndWritesNothingWithoutRootKey) {
    ScratchKey k(L"Value");
    reg.RootKey(k.Root());
    reg.SubKey(k.Path());
    reg.ValueName(L"v");
    reg.ValueType(REG_EXPAND_SZ);
    reg.Value(L"x");
    EXPECT_EQ(GetRaw(k.Root(), k.Path(), L"v"), (RawValue{REG_EXPAND_SZ, WideBytes(L"x", true)}));
    reg.RootKey(nullptr);
    reg.Value(L"y");
    EXPECT_EQ(seam.sets.size(), 1u);
}

// Text of single-byte characters crosses to code page 1252 and back wherever it goes.
TEST_F(Registry, TextBeyondAsciiComesBackUnchanged) {
    ScratchKey k(L"Cafe");
    const std::wstring key = k.Path(kCafe);
    EXPECT_EQ(reg.createKey(k.Root(), key), VARIANT_TRUE);
    EXPECT_TRUE(KeyExists(k.Root(), key));
    EXPECT_EQ(reg.SubKeyExists(k.Root(), key), VARIANT_TRUE);
    EXPECT_EQ(S(reg.enumSubKeys(k.Root(), k.Path())), kCafe + L";");
    EXPECT_EQ(reg.setValue(k.Root(), key, kCafe, kCafe, REG_SZ), VARIANT_TRUE);
    EXPECT_EQ(GetRaw(k.Root(), key, kCafe), (RawValue{REG_SZ, WideBytes(kCafe, true)}));
    EXPECT_EQ(S(reg.getValue(k.Root(), key, kCafe)), kCafe);
    EXPECT_EQ(EnumValues(reg, k.Root(), key), L"-1 " + kCafe + L"=" + kCafe + L"; size=1");
    EXPECT_EQ(reg.deleteValueName(k.Root(), key, kCafe), VARIANT_TRUE);
    EXPECT_EQ(GetRaw(k.Root(), key, kCafe), RawValue{});
    EXPECT_EQ(reg.deleteKey(k.Root(), key), VARIANT_TRUE);
    EXPECT_FALSE(KeyExists(k.Root(), key));
}

// getValue gives REG_SZ without its NUL and other types as the whole blank-filled buffer of
// 255 bytes; data of 256 bytes is not read.
TEST_F(Registry, ReadingAValueTakesUpTo255Bytes) {
    ScratchKey k(L"Read");
    const std::wstring x254(254, L'x');
    struct Row {
        const wchar_t* name;
        DWORD type;
        std::vector<BYTE> bytes;
        std::wstring value;
        DWORD typeCode;
        VARIANT_BOOL exists;
    };
    const Row rows[] = {
        {L"255", REG_SZ, WideBytes(x254, true), x254, REG_SZ, VARIANT_TRUE},
        {L"256", REG_SZ, WideBytes(x254 + L"y", true), L"", 0, VARIANT_FALSE},
        {L"dword",
         REG_DWORD,
         {12, 0, 0, 0},
         L"\x0c\0\0\0"s + std::wstring(251, L' '),
         REG_DWORD,
         VARIANT_TRUE},
        {L"expand", REG_EXPAND_SZ, WideBytes(kCafe, true), kCafe + L'\0' + std::wstring(248, L' '),
         REG_EXPAND_SZ, VARIANT_TRUE},
    };
    for (const Row& row : rows) SetRaw(k.Root(), k.Path(), row.name, row.type, row.bytes);
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(row.name)));
        EXPECT_EQ(S(reg.getValue(k.Root(), k.Path(), row.name)), row.value);
        EXPECT_EQ(reg.getValueNameType(k.Root(), k.Path(), row.name), row.typeCode);
        EXPECT_EQ(reg.ValueNameExists(k.Root(), k.Path(), row.name), row.exists);
    }
}

// Names of up to 254 characters and data of up to 255 bytes fit; an entry that does not fit is
// passed over, and an enumeration refused on the way ends with what it has collected.
TEST_F(Registry, EnumerationsListWhatFitsAndPassOverTheRest) {
    ScratchKey k(L"Enum");
    const std::wstring skipped = L"(passed over)", name254(254, L'm'), name255(255, L'n');
    std::wstring hex;
    for (int i = 0; i < 255; ++i) hex += L"AB";
    struct Row {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> bytes;
        std::wstring text;
    };
    const Row rows[] = {
        {L"a", REG_SZ, WideBytes(L"abc", true), L"abc"},
        {L"b", REG_SZ, {}, L""},
        {L"c", REG_SZ, WideBytes(L"xyz", false), L"xyz"},
        {L"d", REG_SZ, WideBytes(L"a\0b"s, true), L"a\0b"s},
        {L"e", REG_BINARY, {0x0A, 0xFF, 0x00}, L"0AFF00"},
        {L"f", REG_BINARY, std::vector<BYTE>(255, 0xAB), hex},
        {L"g", REG_BINARY, std::vector<BYTE>(256, 0xAB), skipped},
        {L"h", REG_DWORD, {0x01, 0x02, 0x03, 0x84}, L"2214789633"},
        {L"i", REG_EXPAND_SZ, WideBytes(L"%X%", true), L"<none>"},
        {L"j", REG_NONE, Bytes("n"), L"<none>"},
        {name254, REG_SZ, WideBytes(L"long", true), L"long"},
        {name255, REG_SZ, WideBytes(L"long", true), skipped},
        {L"z", REG_SZ, WideBytes(L"last", true), L"last"},
    };
    std::wstring listed;
    int count = 0;
    for (const Row& row : rows) {
        SetRaw(k.Root(), k.Path(), row.name, row.type, row.bytes);
        if (row.text == skipped) continue;
        listed += row.name + L"=" + row.text + L";";
        ++count;
    }
    EXPECT_EQ(EnumValues(reg, k.Root(), k.Path()), L"-1 " + listed + L" size=" + S(DWORD(count)));
    for (const auto& name : {L"A"s, name254, name255, L"z"s}) CreateKey(k.Root(), k.Path(name));
    EXPECT_EQ(S(reg.enumSubKeys(k.Root(), k.Path())), L"A;" + name254 + L";z;");

    seam.failIndex = 1;
    EXPECT_EQ(EnumValues(reg, k.Root(), k.Path()), L"-1 a=abc; size=1");
    EXPECT_EQ(S(reg.enumSubKeys(k.Root(), k.Path())), L"A;");
}

// Wine adds a NUL to string data whose byte count leaves it out, so only the seam shows the count.
TEST_F(Registry, SetValueStoresTheTextAndANulForStringTypesOnly) {
    ScratchKey k(L"SetValue");
    struct Row {
        std::wstring name;
        RegData data;
        DWORD type;
        std::string bytes;
    };
    const Row rows[] = {
        {L"sz", L"abc", REG_SZ, "abc\0"s},          {L"expand", L"abc", REG_EXPAND_SZ, "abc\0"s},
        {L"multi", L"abc", REG_MULTI_SZ, "abc\0"s}, {L"none", L"abc", REG_NONE, "abc"},
        {L"binary", L"abc", REG_BINARY, "abc"},     {L"number", 12, REG_DWORD, "12"},
        {kCafe, kCafe, REG_SZ, "Caf\xE9 \x80\0"s},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.name));
        EXPECT_EQ(reg.setValue(k.Root(), k.Path(), row.name, row.data, row.type), VARIANT_TRUE);
        EXPECT_EQ(seam.sets.back(), std::pair(row.type, row.bytes));
        EXPECT_EQ(GetRaw(k.Root(), k.Path(), row.name).type, row.type);
    }
    EXPECT_EQ(reg.setValue(k.Root(), k.Path(L"new"), L"v", L"x", REG_SZ), VARIANT_FALSE);
    EXPECT_FALSE(KeyExists(k.Root(), k.Path(L"new")));
}

TEST_F(Registry, CreateKeyMakesEveryMissingKeyAndLeavesAnExistingOneAlone) {
    ScratchKey k(L"CreateKey");
    EXPECT_EQ(reg.createKey(k.Root(), k.Path(L"a\\b\\c")), VARIANT_TRUE);
    EXPECT_TRUE(KeyExists(k.Root(), k.Path(L"a\\b\\c")));
    SetString(k.Root(), k.Path(L"a"), L"v", L"kept");
    EXPECT_EQ(reg.createKey(k.Root(), k.Path(L"a")), VARIANT_TRUE);
    EXPECT_EQ(GetRaw(k.Root(), k.Path(L"a"), L"v"), (RawValue{REG_SZ, WideBytes(L"kept", true)}));
}

// The empty value name is the default value alone; a key goes only once its sub-keys are gone.
TEST_F(Registry, DeleteKeyAndDeleteValueNameRemoveExactlyWhatTheyName) {
    ScratchKey k(L"Delete");
    const std::wstring verb = k.Path(L"verb"), command = k.Path(L"verb\\command");
    SetString(k.Root(), verb, L"", L"default");
    SetString(k.Root(), verb, L"w", L"kept");
    CreateKey(k.Root(), command);
    EXPECT_EQ(reg.deleteValueName(k.Root(), verb, L""), VARIANT_TRUE);
    EXPECT_EQ(GetRaw(k.Root(), verb, L""), RawValue{});
    EXPECT_EQ(GetRaw(k.Root(), verb, L"w").type, DWORD{REG_SZ});
    EXPECT_EQ(reg.deleteKey(k.Root(), verb), VARIANT_FALSE);
    EXPECT_TRUE(KeyExists(k.Root(), command));
    EXPECT_EQ(reg.deleteKey(k.Root(), command), VARIANT_TRUE);
    EXPECT_EQ(reg.deleteKey(k.Root(), verb), VARIANT_TRUE);
    EXPECT_FALSE(KeyExists(k.Root(), verb));
}

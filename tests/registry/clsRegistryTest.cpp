// Conventions that every member of clsRegistry keeps: keys closed on every path,
// a failing close as failure, the fallback to the instance state and the copy-back into the
// caller's variables, the ANSI code page; and the properties.

#include "registry/clsRegistry.h"
#include "tests/registry/RegistryExpect.h"
#include "tests/registry/RegistrySeam.h"
#include "tests/testing/ScratchKey.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// Beyond ASCII, and held by code page 1252: é is 0xE9 there (as in Latin-1), € is 0x80 (not
// Latin-1, so a byte-for-byte widening gets it wrong).
const std::wstring kCafe = L"Caf\u00e9 \u20ac";

// One call of a member on a scratch key, made so that it succeeds while the registry works.
struct MemberCase {
    const char* member;
    REGSAM access;  // the access mask it opens its key with; 0 when it opens none
    std::function<void(const ScratchKey&)> setup;
    std::function<std::wstring(clsRegistry&, const ScratchKey&)> run;
    std::wstring success;      // the result while RegCloseKey works
    std::wstring closeFailed;  // the result when RegCloseKey fails
};

std::wstring ShowEnumValues(clsRegistry& reg, HKEY root, const std::wstring& path) {
    ValueTable table;
    LONG size = 7;  // what the caller had put in it
    const VARIANT_BOOL result = reg.enumValues(table, size, root, path);
    return Show(result) + L" " + Show(table) + L" size=" + std::to_wstring(size);
}

std::vector<MemberCase> MemberCases() {
    const auto valueX = [](const ScratchKey& k) { SetString(k.Root(), k.Path(), L"v", L"x"); };
    return {
        {"enumValues", KEY_QUERY_VALUE, valueX,
         [](clsRegistry& reg, const ScratchKey& k) {
             return ShowEnumValues(reg, k.Root(), k.Path());
         },
         L"-1 {(\"v\",\"x\")} size=1", L"0 {} size=1"},
        {"enumSubKeys", KEY_READ, [](const ScratchKey& k) { CreateKey(k.Root(), k.Path(L"s")); },
         [](clsRegistry& reg, const ScratchKey& k) {
             return Show(reg.enumSubKeys(k.Root(), k.Path()));
         },
         L"{s}", L"{}"},
        {"deleteValueName", KEY_ALL_ACCESS, valueX,
         [](clsRegistry& reg, const ScratchKey& k) {
             return Show(reg.deleteValueName(k.Root(), k.Path(), L"v"));
         },
         L"-1", L"0"},
        {"createKey", KEY_ALL_ACCESS, nullptr,
         [](clsRegistry& reg, const ScratchKey& k) {
             return Show(reg.createKey(k.Root(), k.Path(L"new")));
         },
         L"-1", L"0"},
        {"setValue", KEY_WRITE, nullptr,
         [](clsRegistry& reg, const ScratchKey& k) {
             return Show(reg.setValue(k.Root(), k.Path(), L"v", L"x", REG_SZ));
         },
         L"-1", L"0"},
        {"getValue", KEY_READ, valueX,
         [](clsRegistry& reg, const ScratchKey& k) {
             return Show(reg.getValue(k.Root(), k.Path(), L"v"));
         },
         L"\"x\"", L"\"\""},
        {"getValueNameType", KEY_READ, valueX,
         [](clsRegistry& reg, const ScratchKey& k) {
             return Show(reg.getValueNameType(k.Root(), k.Path(), L"v"));
         },
         L"1", L"0"},
        {"SubKeyExists", KEY_READ, nullptr,
         [](clsRegistry& reg, const ScratchKey& k) {
             return Show(reg.SubKeyExists(k.Root(), k.Path()));
         },
         L"-1", L"0"},
        {"ValueNameExists", KEY_READ, valueX,
         [](clsRegistry& reg, const ScratchKey& k) {
             return Show(reg.ValueNameExists(k.Root(), k.Path(), L"v"));
         },
         L"-1", L"0"},
        {"Value (read)", KEY_READ, valueX,
         [](clsRegistry& reg, const ScratchKey& k) {
             reg.RootKey(k.Root());
             reg.SubKey(k.Path());
             reg.ValueName(L"v");
             return Show(reg.Value());
         },
         L"\"x\"", L"\"\""},
        {"Value (write)", KEY_WRITE, nullptr,
         [](clsRegistry& reg, const ScratchKey& k) {
             reg.RootKey(k.Root());
             reg.SubKey(k.Path());
             reg.ValueName(L"v");
             reg.ValueType(REG_SZ);
             reg.Value(L"x");
             const bool written =
                 GetRaw(k.Root(), k.Path(), L"v") == RawValue{REG_SZ, WideBytes(L"x", true)};
             return std::wstring(written ? L"written" : L"not written");
         },
         L"written", L"written"},
        {"deleteKey", 0, [](const ScratchKey& k) { CreateKey(k.Root(), k.Path(L"gone")); },
         [](clsRegistry& reg, const ScratchKey& k) {
             return Show(reg.deleteKey(k.Root(), k.Path(L"gone")));
         },
         L"-1", L"-1"},
    };
}

}  // namespace

TEST(Conventions, EveryMemberOpensOneKeyWithItsAccessAndClosesIt) {
    for (const auto& c : MemberCases()) {
        SCOPED_TRACE(c.member);
        ScratchKey k(L"Conventions_Close");
        if (c.setup) c.setup(k);
        clsRegistry reg;
        RegistrySeam seam;
        EXPECT_EQ(c.run(reg, k), c.success);
        if (c.access != 0) {
            EXPECT_EQ(seam.Access(), std::vector<REGSAM>{c.access});
            EXPECT_EQ(seam.Opens(), 1);
        } else {
            EXPECT_EQ(seam.Opens(), 0);
            EXPECT_EQ(seam.Closes(), 0);
        }
        EXPECT_TRUE(seam.EveryKeyClosedOnce());
    }
}

TEST(Conventions, FailingCloseTurnsSuccessIntoTheFailureResult) {
    for (const auto& c : MemberCases()) {
        SCOPED_TRACE(c.member);
        ScratchKey k(L"Conventions_CloseFails");
        if (c.setup) c.setup(k);
        clsRegistry reg;
        RegistrySeam seam;
        seam.FailClose();
        EXPECT_EQ(c.run(reg, k), c.closeFailed);
        EXPECT_TRUE(seam.EveryKeyClosedOnce());
        if (c.access != 0) {
            EXPECT_EQ(seam.Closes(), 1);
        }
    }
}

TEST(Conventions, FailurePathsGiveTheFailureResultAndCloseEveryKeyOpened) {
    struct FailureCase {
        const char* path;
        std::function<std::wstring(clsRegistry&, const ScratchKey&, RegistrySeam&)> run;
        std::wstring expected;
    };
    const std::wstring missing = L"Missing";
    const std::vector<FailureCase> cases = {
        {"enumValues, missing key",
         [&](clsRegistry& reg, const ScratchKey& k, RegistrySeam&) {
             return ShowEnumValues(reg, k.Root(), k.Path(missing));
         },
         L"0 {} size=7"},
        {"enumValues, key without values",
         [&](clsRegistry& reg, const ScratchKey& k, RegistrySeam&) {
             return ShowEnumValues(reg, k.Root(), k.Path(L"Empty"));
         },
         L"0 {} size=7"},
        {"enumSubKeys, missing key",
         [&](clsRegistry& reg, const ScratchKey& k, RegistrySeam&) {
             return Show(reg.enumSubKeys(k.Root(), k.Path(missing)));
         },
         L"{}"},
        {"deleteValueName, missing key",
         [&](clsRegistry& reg, const ScratchKey& k, RegistrySeam&) {
             return Show(reg.deleteValueName(k.Root(), k.Path(missing), L"v"));
         },
         L"0"},
        {"deleteValueName, missing value",
         [&](clsRegistry& reg, const ScratchKey& k, RegistrySeam&) {
             return Show(reg.deleteValueName(k.Root(), k.Path(), L"none"));
         },
         L"0"},
        {"deleteKey, missing key",
         [&](clsRegistry& reg, const ScratchKey& k, RegistrySeam&) {
             return Show(reg.deleteKey(k.Root(), k.Path(missing)));
         },
         L"0"},
        {"createKey, root key 0",
         [&](clsRegistry& reg, const ScratchKey&, RegistrySeam&) { return Show(reg.createKey()); },
         L"0"},
        {"setValue, missing key",
         [&](clsRegistry& reg, const ScratchKey& k, RegistrySeam&) {
             return Show(reg.setValue(k.Root(), k.Path(missing), L"v", L"x", REG_SZ));
         },
         L"0"},
        {"setValue, RegSetValueExA fails",
         [&](clsRegistry& reg, const ScratchKey& k, RegistrySeam& seam) {
             seam.FailSetValue();
             return Show(reg.setValue(k.Root(), k.Path(), L"v", L"x", REG_SZ));
         },
         L"0"},
        {"getValue, missing key",
         [&](clsRegistry& reg, const ScratchKey& k, RegistrySeam&) {
             return Show(reg.getValue(k.Root(), k.Path(missing), L"v"));
         },
         L"\"\""},
        {"getValue, missing value",
         [&](clsRegistry& reg, const ScratchKey& k, RegistrySeam&) {
             return Show(reg.getValue(k.Root(), k.Path(), L"none"));
         },
         L"\"\""},
        {"getValue, data of 256 bytes",
         [&](clsRegistry& reg, const ScratchKey& k, RegistrySeam&) {
             return Show(reg.getValue(k.Root(), k.Path(), L"big"));
         },
         L"\"\""},
        {"getValueNameType, missing key",
         [&](clsRegistry& reg, const ScratchKey& k, RegistrySeam&) {
             return Show(reg.getValueNameType(k.Root(), k.Path(missing), L"v"));
         },
         L"0"},
        {"getValueNameType, missing value",
         [&](clsRegistry& reg, const ScratchKey& k, RegistrySeam&) {
             return Show(reg.getValueNameType(k.Root(), k.Path(), L"none"));
         },
         L"0"},
        {"SubKeyExists, missing key",
         [&](clsRegistry& reg, const ScratchKey& k, RegistrySeam&) {
             return Show(reg.SubKeyExists(k.Root(), k.Path(missing)));
         },
         L"0"},
        {"ValueNameExists, missing key",
         [&](clsRegistry& reg, const ScratchKey& k, RegistrySeam&) {
             return Show(reg.ValueNameExists(k.Root(), k.Path(missing), L"v"));
         },
         L"0"},
        {"ValueNameExists, missing value",
         [&](clsRegistry& reg, const ScratchKey& k, RegistrySeam&) {
             return Show(reg.ValueNameExists(k.Root(), k.Path(), L"none"));
         },
         L"0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ScratchKey k(L"Conventions_Failures");
        CreateKey(k.Root(), k.Path(L"Empty"));
        SetString(k.Root(), k.Path(), L"v", L"x");
        SetRaw(k.Root(), k.Path(), L"big", REG_BINARY, std::vector<BYTE>(256, 0x41));
        clsRegistry reg;
        RegistrySeam seam;
        EXPECT_EQ(c.run(reg, k, seam), c.expected);
        EXPECT_TRUE(seam.EveryKeyClosedOnce());
    }
}

TEST(Conventions, TextBeyondAsciiInTheAnsiCodePageComesBackUnchanged) {
    ScratchKey k(L"Conventions_Cafe");
    const HKEY root = k.Root();
    const std::wstring key = k.Path(kCafe);
    clsRegistry reg;

    EXPECT_TRUE(IsTrue(reg.createKey(root, key)));
    EXPECT_TRUE(KeyExists(root, key));
    EXPECT_EQ(Show(reg.enumSubKeys(root, k.Path())), Show(std::vector<std::wstring>{kCafe}));
    EXPECT_TRUE(IsTrue(reg.SubKeyExists(root, key)));

    EXPECT_TRUE(IsTrue(reg.setValue(root, key, kCafe, kCafe, REG_SZ)));
    EXPECT_EQ(GetRaw(root, key, kCafe), (RawValue{REG_SZ, WideBytes(kCafe, true)}));
    EXPECT_EQ(GetRawA(root, key, kCafe), (RawValue{REG_SZ, Bytes({"Caf\xE9 \x80\0", 7})}));

    EXPECT_EQ(Show(reg.getValue(root, key, kCafe)), Show(RegValue(kCafe)));
    EXPECT_EQ(reg.getValueNameType(root, key, kCafe), DWORD{REG_SZ});
    EXPECT_TRUE(IsTrue(reg.ValueNameExists(root, key, kCafe)));
    ValueTable table;
    LONG size = 0;
    EXPECT_TRUE(IsTrue(reg.enumValues(table, size, root, key)));
    EXPECT_EQ(Show(table), L"{(" + Show(RegValue(kCafe)) + L"," + Show(RegValue(kCafe)) + L")}");

    EXPECT_TRUE(IsTrue(reg.deleteValueName(root, key, kCafe)));
    EXPECT_EQ(GetRaw(root, key, kCafe), RawValue{});
    EXPECT_TRUE(IsTrue(reg.deleteKey(root, key)));
    EXPECT_FALSE(KeyExists(root, key));
}

// ---- Fallback to the instance state, and the copy-back into the caller's variables ----

namespace {

// An instance whose state names the key A below the scratch key and its value v; the
// arguments name the key B, which has values of the same names, so that using them shows.
struct FallbackFixture {
    explicit FallbackFixture(const std::wstring& scratchName) : k(scratchName) {
        SetString(k.Root(), A(), L"v", L"in A");
        SetString(k.Root(), A(), L"w", L"w in A");
        SetString(k.Root(), B(), L"v", L"in B");
        SetString(k.Root(), B(), L"w", L"w in B");
        SetString(k.Root(), B(), L"", L"default of B");
        CreateKey(k.Root(), A() + L"\\childOfA");
        CreateKey(k.Root(), B() + L"\\childOfB");
        reg.RootKey(k.Root());
        reg.SubKey(A());
        reg.ValueName(L"v");
    }
    std::wstring A() const { return k.Path(L"A"); }
    std::wstring B() const { return k.Path(L"B"); }

    ScratchKey k;
    clsRegistry reg;
    // The caller's own variables.
    HKEY root = nullptr;
    std::wstring path = k.Path(L"B");
    std::wstring name = L"w";
};

}  // namespace

TEST(Fallback, EnumValuesUsesTheInstanceStateAndCopiesItBack) {
    FallbackFixture f(L"Fallback_EnumValues");
    ValueTable table;
    LONG size = 0;
    EXPECT_TRUE(IsTrue(f.reg.enumValues(table, size, f.root, f.path)));
    EXPECT_EQ(Show(table), L"{(\"v\",\"in A\")(\"w\",\"w in A\")}");
    EXPECT_EQ(f.root, f.k.Root());
    EXPECT_EQ(f.path, f.A());
}

TEST(Fallback, EnumSubKeysUsesTheInstanceStateAndCopiesItBack) {
    FallbackFixture f(L"Fallback_EnumSubKeys");
    EXPECT_EQ(Show(f.reg.enumSubKeys(f.root, f.path)), L"{childOfA}");
    EXPECT_EQ(f.root, f.k.Root());
    EXPECT_EQ(f.path, f.A());
}

TEST(Fallback, GetValueUsesTheInstanceStateAndCopiesItBack) {
    FallbackFixture f(L"Fallback_GetValue");
    EXPECT_EQ(Show(f.reg.getValue(f.root, f.path, f.name)), L"\"in A\"");
    EXPECT_EQ(f.root, f.k.Root());
    EXPECT_EQ(f.path, f.A());
    EXPECT_EQ(f.name, L"v");
}

TEST(Fallback, DeleteValueNameUsesTheInstanceStateAndCopiesItBack) {
    FallbackFixture f(L"Fallback_DeleteValueName");
    EXPECT_TRUE(IsTrue(f.reg.deleteValueName(f.root, f.path, f.name)));
    EXPECT_EQ(GetRaw(f.k.Root(), f.A(), L"v"), RawValue{});
    EXPECT_EQ(GetRaw(f.k.Root(), f.A(), L"w").type, DWORD{REG_SZ});
    EXPECT_EQ(GetRaw(f.k.Root(), f.B(), L"w").type, DWORD{REG_SZ});
    EXPECT_EQ(f.root, f.k.Root());
    EXPECT_EQ(f.path, f.A());
    EXPECT_EQ(f.name, L"v");
}

TEST(Fallback, CreateKeyUsesTheInstanceStateAndCopiesItBack) {
    FallbackFixture f(L"Fallback_CreateKey");
    f.reg.SubKey(f.A() + L"\\new");
    f.path = f.B() + L"\\new";
    EXPECT_TRUE(IsTrue(f.reg.createKey(f.root, f.path)));
    EXPECT_TRUE(KeyExists(f.k.Root(), f.A() + L"\\new"));
    EXPECT_FALSE(KeyExists(f.k.Root(), f.B() + L"\\new"));
    EXPECT_EQ(f.root, f.k.Root());
    EXPECT_EQ(f.path, f.A() + L"\\new");
}

TEST(Fallback, DeleteKeyUsesTheInstanceStateAndCopiesItBack) {
    FallbackFixture f(L"Fallback_DeleteKey");
    f.reg.SubKey(f.A() + L"\\childOfA");
    f.path = f.B() + L"\\childOfB";
    EXPECT_TRUE(IsTrue(f.reg.deleteKey(f.root, f.path)));
    EXPECT_FALSE(KeyExists(f.k.Root(), f.A() + L"\\childOfA"));
    EXPECT_TRUE(KeyExists(f.k.Root(), f.B() + L"\\childOfB"));
    EXPECT_EQ(f.root, f.k.Root());
    EXPECT_EQ(f.path, f.A() + L"\\childOfA");
}

TEST(Fallback, TypeAndExistenceTestsUseTheInstanceState) {
    FallbackFixture f(L"Fallback_TypeAndExists");
    SetRaw(f.k.Root(), f.A(), L"v", REG_DWORD, {1, 0, 0, 0});
    EXPECT_EQ(f.reg.getValueNameType(nullptr, f.B(), L"w"), DWORD{REG_DWORD});
    EXPECT_TRUE(IsTrue(f.reg.ValueNameExists(nullptr, f.B(), L"w")));
    f.reg.ValueName(L"none");  // missing in A, while the arguments name a value of B
    EXPECT_EQ(f.reg.getValueNameType(nullptr, f.B(), L"w"), DWORD{0});
    EXPECT_TRUE(IsFalse(f.reg.ValueNameExists(nullptr, f.B(), L"w")));
}

TEST(Fallback, SetValueHasNoFallbackAndWritesNothingWithRootKeyZero) {
    FallbackFixture f(L"Fallback_SetValue");
    const auto before = Snapshot(f.k.Root(), f.k.Path());
    EXPECT_TRUE(IsFalse(f.reg.setValue(nullptr, f.A(), L"v", L"changed", REG_SZ)));
    EXPECT_TRUE(IsFalse(f.reg.setValue(nullptr, f.A(), L"new", L"changed", REG_SZ)));
    EXPECT_EQ(Snapshot(f.k.Root(), f.k.Path()), before);
}

TEST(Fallback, SubKeyExistsHasNoFallback) {
    FallbackFixture f(L"Fallback_SubKeyExists");
    EXPECT_TRUE(IsFalse(f.reg.SubKeyExists(nullptr, f.A())));
    EXPECT_TRUE(IsFalse(f.reg.SubKeyExists()));
}

TEST(Fallback, AGivenRootKeyUsesTheArgumentsAsPassedEvenWhenEmpty) {
    FallbackFixture f(L"Fallback_Explicit");
    HKEY root = f.k.Root();
    std::wstring path = f.B();
    std::wstring name;  // B's default value, although the instance names v
    EXPECT_EQ(Show(f.reg.getValue(root, path, name)), L"\"default of B\"");
    EXPECT_EQ(Show(f.reg.enumSubKeys(root, path)), L"{childOfB}");
    EXPECT_TRUE(IsTrue(f.reg.deleteValueName(root, path, name)));
    EXPECT_EQ(GetRaw(f.k.Root(), f.B(), L""), RawValue{});
    EXPECT_EQ(GetRaw(f.k.Root(), f.A(), L"v").type, DWORD{REG_SZ});
    // Nothing is copied back when the fallback does not apply.
    EXPECT_EQ(root, f.k.Root());
    EXPECT_EQ(path, f.B());
    EXPECT_EQ(name, L"");

    // An open key as root key with the empty key path names that key itself.
    HKEY openB = nullptr;
    ASSERT_EQ(RegOpenKeyExW(f.k.Root(), f.B().c_str(), 0, KEY_ALL_ACCESS, &openB), ERROR_SUCCESS);
    struct Closer {
        HKEY key;
        ~Closer() { RegCloseKey(key); }
    } closer{openB};
    root = openB;
    path.clear();
    name = L"v";
    EXPECT_EQ(Show(f.reg.getValue(root, path, name)), L"\"in B\"");
    EXPECT_EQ(Show(f.reg.enumSubKeys(root, path)), L"{childOfB}");
    ValueTable table;
    LONG size = 0;
    EXPECT_TRUE(IsTrue(f.reg.enumValues(table, size, root, path)));
    EXPECT_EQ(size, 2);  // v and w of B
    EXPECT_TRUE(IsTrue(f.reg.createKey(root, path)));
    EXPECT_EQ(root, openB);
    EXPECT_EQ(path, L"");
    EXPECT_EQ(name, L"v");
}

// ---- Properties ----

TEST(Properties, NewInstanceHoldsTheInitialStateAndReadsValueAsEmptyText) {
    clsRegistry reg;
    EXPECT_EQ(reg.RootKey(), nullptr);
    EXPECT_EQ(reg.SubKey(), L"");
    EXPECT_EQ(reg.ValueName(), L"");
    EXPECT_EQ(reg.ValueType(), DWORD{REG_NONE});
    RegistrySeam seam;
    EXPECT_EQ(Show(reg.Value()), L"\"\"");
    EXPECT_TRUE(seam.EveryKeyClosedOnce());
}

TEST(Value, ReadingReadsTheValueThatTheInstanceStateNames) {
    ScratchKey k(L"Value_Read");
    SetString(k.Root(), k.Path(), L"v", L"named");
    SetString(k.Root(), k.Path(), L"", L"default");
    clsRegistry reg;
    reg.RootKey(k.Root());
    reg.SubKey(k.Path());
    EXPECT_EQ(Show(reg.Value()), L"\"default\"");
    reg.ValueName(L"v");
    EXPECT_EQ(Show(reg.Value()), L"\"named\"");
    // The state is left as it was.
    EXPECT_EQ(reg.RootKey(), k.Root());
    EXPECT_EQ(reg.SubKey(), k.Path());
    EXPECT_EQ(reg.ValueName(), L"v");
}

TEST(Value, WritingStoresTheTextWithValueType) {
    ScratchKey k(L"Value_Write");
    SetRaw(k.Root(), k.Path(), L"v", REG_DWORD, {1, 0, 0, 0});
    clsRegistry reg;
    reg.RootKey(k.Root());
    reg.SubKey(k.Path());
    reg.ValueName(L"v");
    reg.ValueType(REG_SZ);
    reg.Value(L"C:\\x.exe %1");
    EXPECT_EQ(GetRaw(k.Root(), k.Path(), L"v"),
              (RawValue{REG_SZ, WideBytes(L"C:\\x.exe %1", true)}));
    reg.ValueName(L"");
    reg.Value(L"default");
    EXPECT_EQ(GetRaw(k.Root(), k.Path(), L""), (RawValue{REG_SZ, WideBytes(L"default", true)}));
}

TEST(Value, WritingWithTheInitialValueTypeStoresTheTextWithoutTerminator) {
    ScratchKey k(L"Value_WriteNone");
    clsRegistry reg;
    reg.RootKey(k.Root());
    reg.SubKey(k.Path());
    reg.ValueName(L"v");
    reg.Value(L"abc");
    EXPECT_EQ(GetRaw(k.Root(), k.Path(), L"v"), (RawValue{REG_NONE, Bytes("abc")}));
}

TEST(Value, WritingWhileRootKeyIsZeroWritesNothing) {
    ScratchKey k(L"Value_WriteNoRoot");
    SetString(k.Root(), k.Path(), L"v", L"old");
    const auto before = Snapshot(k.Root(), k.Path());
    clsRegistry reg;
    reg.SubKey(k.Path());
    reg.ValueName(L"v");
    reg.ValueType(REG_SZ);
    RegistrySeam seam;
    reg.Value(L"new");
    EXPECT_EQ(Snapshot(k.Root(), k.Path()), before);
    EXPECT_TRUE(seam.EveryKeyClosedOnce());
}

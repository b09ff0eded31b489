// The members of clsRegistry that change the registry: createKey, setValue,
// deleteKey and deleteValueName; and a viewer entry below HKEY_CLASSES_ROOT\*\shell.

#include "registry/clsRegistry.h"
#include "tests/registry/RegistryExpect.h"
#include "tests/registry/RegistrySeam.h"
#include "tests/testing/ScratchKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::vector<BYTE> WithNul(std::vector<BYTE> bytes) {
    bytes.push_back(0);
    return bytes;
}

std::string Hex(const std::vector<BYTE>& bytes) {
    std::string out;
    for (BYTE b : bytes) {
        out += "0123456789ABCDEF"[b >> 4];
        out += "0123456789ABCDEF"[b & 15];
    }
    return out;
}

// The last call of RegSetValueExA got the value name, the type code and exactly these bytes
// (the byte count being their number). The platform adds a NUL to string data whose count
// leaves it out, so the registry alone cannot show whether the NUL was counted.
::testing::AssertionResult LastSetValueCall(const RegistrySeam& seam, const std::string& name,
                                            DWORD type, const std::vector<BYTE>& bytes) {
    if (seam.SetValueCalls().empty())
        return ::testing::AssertionFailure() << "RegSetValueExA was not called";
    const auto& call = seam.SetValueCalls().back();
    if (call.name == name && call.type == type && call.bytes == bytes)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "RegSetValueExA got name \"" << call.name << "\", type " << call.type << ", "
           << call.bytes.size() << " bytes " << Hex(call.bytes) << "; expected \"" << name
           << "\", type " << type << ", " << bytes.size() << " bytes " << Hex(bytes);
}

}  // namespace

// ---- createKey ----

TEST(CreateKey, CreatesEveryMissingKeyAlongThePath) {
    ScratchKey k(L"CreateKey_Nested");
    CreateKey(k.Root(), k.Path(L"a"));
    clsRegistry reg;
    EXPECT_TRUE(IsTrue(reg.createKey(k.Root(), k.Path(L"a\\b\\c"))));
    EXPECT_TRUE(KeyExists(k.Root(), k.Path(L"a\\b\\c")));
    EXPECT_EQ(SubKeyNames(k.Root(), k.Path(L"a")), std::vector<std::wstring>{L"b"});
}

TEST(CreateKey, AnExistingKeyGivesTrueAndKeepsItsValuesAndSubKeys) {
    ScratchKey k(L"CreateKey_Existing");
    SetString(k.Root(), k.Path(L"a"), L"", L"default");
    SetRaw(k.Root(), k.Path(L"a"), L"d", REG_DWORD, {1, 2, 3, 4});
    CreateKey(k.Root(), k.Path(L"a\\child"));
    const auto before = Snapshot(k.Root(), k.Path());
    clsRegistry reg;
    EXPECT_TRUE(IsTrue(reg.createKey(k.Root(), k.Path(L"a"))));
    EXPECT_EQ(Snapshot(k.Root(), k.Path()), before);
}

TEST(CreateKey, RootKeyZeroOnANewInstanceGivesFalseAndCreatesNothing) {
    ScratchKey k(L"CreateKey_NoRoot");
    const auto before = Snapshot(k.Root(), k.Path());
    clsRegistry reg;
    EXPECT_TRUE(IsFalse(reg.createKey()));
    EXPECT_TRUE(IsFalse(reg.createKey(nullptr, k.Path(L"new"))));
    EXPECT_EQ(Snapshot(k.Root(), k.Path()), before);
}

// ---- setValue ----

TEST(SetValue, SzStoresTheTextWithOneNulByte) {
    ScratchKey k(L"SetValue_Sz");
    clsRegistry reg;
    RegistrySeam seam;
    EXPECT_TRUE(IsTrue(reg.setValue(k.Root(), k.Path(), L"v", L"abc", REG_SZ)));
    EXPECT_TRUE(LastSetValueCall(seam, "v", REG_SZ, WithNul(Bytes("abc"))));
    EXPECT_EQ(GetRaw(k.Root(), k.Path(), L"v"), (RawValue{REG_SZ, WideBytes(L"abc", true)}));
    EXPECT_EQ(GetRawA(k.Root(), k.Path(), L"v"), (RawValue{REG_SZ, WithNul(Bytes("abc"))}));
    EXPECT_EQ(Show(reg.getValue(k.Root(), k.Path(), L"v")), L"\"abc\"");
}

TEST(SetValue, EmptyTextWithSzStoresTheNulAlone) {
    ScratchKey k(L"SetValue_SzEmpty");
    clsRegistry reg;
    RegistrySeam seam;
    EXPECT_TRUE(IsTrue(reg.setValue(k.Root(), k.Path(), L"v", L"", REG_SZ)));
    EXPECT_TRUE(LastSetValueCall(seam, "v", REG_SZ, {0}));
    EXPECT_TRUE(IsTrue(reg.setValue(k.Root(), k.Path(), L"nothing", RegValue{}, REG_SZ)));
    EXPECT_TRUE(LastSetValueCall(seam, "nothing", REG_SZ, {0}));
    for (const wchar_t* name : {L"v", L"nothing"}) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(name)));
        EXPECT_EQ(GetRaw(k.Root(), k.Path(), name), (RawValue{REG_SZ, WideBytes(L"", true)}));
        EXPECT_EQ(Show(reg.getValue(k.Root(), k.Path(), name)), L"\"\"");
    }
}

TEST(SetValue, StringTypesGetANulByteAndOtherTypesTheTextBytesAlone) {
    ScratchKey k(L"SetValue_Types");
    clsRegistry reg;
    RegistrySeam seam;
    for (DWORD type : {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ}) {
        SCOPED_TRACE(type);
        const std::wstring name = L"t" + std::to_wstring(type);
        EXPECT_TRUE(IsTrue(reg.setValue(k.Root(), k.Path(), name, L"abc", type)));
        EXPECT_TRUE(LastSetValueCall(seam, std::string("t").append(std::to_string(type)), type,
                                     WithNul(Bytes("abc"))));
        EXPECT_EQ(GetRaw(k.Root(), k.Path(), name), (RawValue{type, WideBytes(L"abc", true)}));
    }
    for (DWORD type : {REG_NONE, REG_BINARY, REG_DWORD, REG_QWORD}) {
        SCOPED_TRACE(type);
        const std::wstring name = L"t" + std::to_wstring(type);
        EXPECT_TRUE(IsTrue(reg.setValue(k.Root(), k.Path(), name, L"abc", type)));
        EXPECT_TRUE(LastSetValueCall(seam, std::string("t").append(std::to_string(type)), type,
                                     Bytes("abc")));
        EXPECT_EQ(GetRaw(k.Root(), k.Path(), name), (RawValue{type, Bytes("abc")}));
    }
}

TEST(SetValue, ANumberIsStoredAsItsDecimalText) {
    ScratchKey k(L"SetValue_Number");
    clsRegistry reg;
    RegistrySeam seam;
    EXPECT_TRUE(IsTrue(reg.setValue(k.Root(), k.Path(), L"sz", 12, REG_SZ)));
    EXPECT_TRUE(LastSetValueCall(seam, "sz", REG_SZ, WithNul(Bytes("12"))));
    EXPECT_TRUE(IsTrue(reg.setValue(k.Root(), k.Path(), L"dword", 12, REG_DWORD)));
    EXPECT_TRUE(LastSetValueCall(seam, "dword", REG_DWORD, Bytes("12")));
    EXPECT_TRUE(IsTrue(reg.setValue(k.Root(), k.Path(), L"negative", -5L, REG_SZ)));
    EXPECT_EQ(GetRaw(k.Root(), k.Path(), L"sz"), (RawValue{REG_SZ, WideBytes(L"12", true)}));
    EXPECT_EQ(GetRaw(k.Root(), k.Path(), L"dword"), (RawValue{REG_DWORD, Bytes("12")}));
    EXPECT_EQ(GetRaw(k.Root(), k.Path(), L"negative"), (RawValue{REG_SZ, WideBytes(L"-5", true)}));
}

TEST(SetValue, ReplacesAValueOfAnotherTypeAndWritesTheDefaultValue) {
    ScratchKey k(L"SetValue_Replace");
    SetRaw(k.Root(), k.Path(), L"v", REG_DWORD, {1, 0, 0, 0});
    SetRaw(k.Root(), k.Path(), L"", REG_BINARY, {1, 2});
    clsRegistry reg;
    EXPECT_TRUE(IsTrue(reg.setValue(k.Root(), k.Path(), L"v", L"text", REG_SZ)));
    EXPECT_TRUE(IsTrue(reg.setValue(k.Root(), k.Path(), L"", L"default", REG_SZ)));
    EXPECT_EQ(GetRaw(k.Root(), k.Path(), L"v"), (RawValue{REG_SZ, WideBytes(L"text", true)}));
    EXPECT_EQ(GetRaw(k.Root(), k.Path(), L""), (RawValue{REG_SZ, WideBytes(L"default", true)}));
    EXPECT_EQ(ValueNames(k.Root(), k.Path()).size(), 2u);
}

TEST(SetValue, AMissingKeyGivesFalseAndCreatesNothing) {
    ScratchKey k(L"SetValue_MissingKey");
    clsRegistry reg;
    EXPECT_TRUE(IsFalse(reg.setValue(k.Root(), k.Path(L"Missing"), L"v", L"x", REG_SZ)));
    EXPECT_FALSE(KeyExists(k.Root(), k.Path(L"Missing")));
    EXPECT_EQ(GetRaw(k.Root(), k.Path(), L"v"), RawValue{});
}

// ---- deleteKey ----

TEST(DeleteKey, AKeyWithASubKeyIsNotDeletedUntilTheSubKeyIsGone) {
    ScratchKey k(L"DeleteKey_Tree");
    SetString(k.Root(), k.Path(L"a"), L"", L"verb");
    SetString(k.Root(), k.Path(L"a\\command"), L"", L"x.exe %1");
    const auto before = Snapshot(k.Root(), k.Path());
    clsRegistry reg;
    EXPECT_TRUE(IsFalse(reg.deleteKey(k.Root(), k.Path(L"a"))));
    EXPECT_EQ(Snapshot(k.Root(), k.Path()), before);
    EXPECT_TRUE(IsTrue(reg.deleteKey(k.Root(), k.Path(L"a\\command"))));
    EXPECT_FALSE(KeyExists(k.Root(), k.Path(L"a\\command")));
    EXPECT_TRUE(KeyExists(k.Root(), k.Path(L"a")));
    EXPECT_TRUE(IsTrue(reg.deleteKey(k.Root(), k.Path(L"a"))));
    EXPECT_FALSE(KeyExists(k.Root(), k.Path(L"a")));
    EXPECT_TRUE(KeyExists(k.Root(), k.Path()));
}

TEST(DeleteKey, AMissingKeyGivesFalse) {
    ScratchKey k(L"DeleteKey_Missing");
    clsRegistry reg;
    EXPECT_TRUE(IsFalse(reg.deleteKey(k.Root(), k.Path(L"Missing"))));
    EXPECT_TRUE(KeyExists(k.Root(), k.Path()));
}

// ---- deleteValueName ----

TEST(DeleteValueName, RemovesOnlyTheNamedValue) {
    ScratchKey k(L"DeleteValueName_Named");
    SetString(k.Root(), k.Path(), L"v", L"1");
    SetString(k.Root(), k.Path(), L"w", L"2");
    SetString(k.Root(), k.Path(), L"", L"default");
    clsRegistry reg;
    EXPECT_TRUE(IsTrue(reg.deleteValueName(k.Root(), k.Path(), L"v")));
    EXPECT_EQ(GetRaw(k.Root(), k.Path(), L"v"), RawValue{});
    EXPECT_EQ(GetRaw(k.Root(), k.Path(), L"w"), (RawValue{REG_SZ, WideBytes(L"2", true)}));
    EXPECT_EQ(GetRaw(k.Root(), k.Path(), L""), (RawValue{REG_SZ, WideBytes(L"default", true)}));
}

TEST(DeleteValueName, EmptyNameRemovesTheDefaultValueAndKeepsTheKey) {
    ScratchKey k(L"DeleteValueName_Default");
    SetString(k.Root(), k.Path(L"verb"), L"", L"default");
    SetString(k.Root(), k.Path(L"verb"), L"w", L"2");
    clsRegistry reg;
    EXPECT_TRUE(IsTrue(reg.deleteValueName(k.Root(), k.Path(L"verb"), L"")));
    EXPECT_EQ(GetRaw(k.Root(), k.Path(L"verb"), L""), RawValue{});
    EXPECT_EQ(ValueNames(k.Root(), k.Path(L"verb")), std::vector<std::wstring>{L"w"});
    EXPECT_TRUE(KeyExists(k.Root(), k.Path(L"verb")));
}

TEST(DeleteValueName, AMissingValueOrKeyGivesFalse) {
    ScratchKey k(L"DeleteValueName_Missing");
    SetString(k.Root(), k.Path(), L"w", L"2");
    const auto before = Snapshot(k.Root(), k.Path());
    clsRegistry reg;
    EXPECT_TRUE(IsFalse(reg.deleteValueName(k.Root(), k.Path(), L"v")));
    EXPECT_TRUE(IsFalse(reg.deleteValueName(k.Root(), k.Path(), L"")));
    EXPECT_TRUE(IsFalse(reg.deleteValueName(k.Root(), k.Path(L"Missing"), L"w")));
    EXPECT_EQ(Snapshot(k.Root(), k.Path()), before);
}

// ---- A viewer entry below HKEY_CLASSES_ROOT\*\shell, as the main window makes it ----

namespace {

// Removes the verb key that a test makes below HKEY_CLASSES_ROOT\*\shell, and "*\shell" and
// "*" too when they did not exist before the test.
class ShellVerbGuard {
  public:
    explicit ShellVerbGuard(std::wstring name)
        : verb_(L"*\\shell\\" + std::move(name)),
          hadStar_(KeyExists(HKEY_CLASSES_ROOT, L"*")),
          hadShell_(KeyExists(HKEY_CLASSES_ROOT, L"*\\shell")) {
        DeleteTree(HKEY_CLASSES_ROOT, verb_);
    }
    ~ShellVerbGuard() {
        DeleteTree(HKEY_CLASSES_ROOT, verb_);
        if (!hadShell_) RegDeleteKeyW(HKEY_CLASSES_ROOT, L"*\\shell");
        if (!hadStar_) RegDeleteKeyW(HKEY_CLASSES_ROOT, L"*");
    }
    ShellVerbGuard(const ShellVerbGuard&) = delete;
    ShellVerbGuard& operator=(const ShellVerbGuard&) = delete;

    const std::wstring& Verb() const { return verb_; }

  private:
    std::wstring verb_;
    bool hadStar_;
    bool hadShell_;
};

}  // namespace

TEST(ClassesRoot, AViewerEntryIsAddedReadListedAndDeletedBelowStarShell) {
    const std::wstring name = L"Talvern Test Viewer";
    const std::wstring program = L"C:\\WINDOWS\\NOTEPAD.EXE %1";
    ShellVerbGuard guard(name);
    const HKEY hkcr = HKEY_CLASSES_ROOT;
    const std::wstring verb = guard.Verb();
    const std::wstring command = verb + L"\\command";
    clsRegistry reg;

    // Save
    EXPECT_TRUE(IsTrue(reg.createKey(hkcr, verb)));
    EXPECT_TRUE(IsTrue(reg.setValue(hkcr, verb, L"", name, REG_SZ)));
    EXPECT_TRUE(IsTrue(reg.createKey(hkcr, command)));
    EXPECT_TRUE(IsTrue(reg.setValue(hkcr, command, L"", program, REG_SZ)));
    EXPECT_EQ(GetRaw(hkcr, command, L""), (RawValue{REG_SZ, WideBytes(program, true)}));
    EXPECT_EQ(GetRaw(hkcr, verb, L""), (RawValue{REG_SZ, WideBytes(name, true)}));

    // The list
    const auto names = reg.enumSubKeys(hkcr, L"*\\shell");
    EXPECT_EQ(Show(names), Show(SubKeyNames(hkcr, L"*\\shell")));
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end());
    EXPECT_EQ(Show(reg.getValue(hkcr, verb, L"")), Show(RegValue(name)));
    EXPECT_EQ(Show(reg.getValue(hkcr, command, L"")), Show(RegValue(program)));

    // Delete: the command key first, each after SubKeyExists gave -1
    EXPECT_EQ(reg.SubKeyExists(hkcr, command), VARIANT_BOOL{-1});
    EXPECT_TRUE(IsTrue(reg.deleteKey(hkcr, command)));
    EXPECT_EQ(reg.SubKeyExists(hkcr, verb), VARIANT_BOOL{-1});
    EXPECT_TRUE(IsTrue(reg.deleteKey(hkcr, verb)));
    EXPECT_EQ(reg.SubKeyExists(hkcr, verb), VARIANT_BOOL{0});
    EXPECT_FALSE(KeyExists(hkcr, verb));
}

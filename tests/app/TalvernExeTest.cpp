// Talvern.exe as it ships: its resources and headers read from the file, and the program run as
// a process of its own and driven from outside through its windows.

#include "ui/Layout.h"
#include "app/frmMain.h"
#include "tests/testing/Dialogs.h"
#include "tests/testing/ScratchKey.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

// The build gives the Unix path; Wine shows the Unix root as drive Z:.
const std::wstring kExe = L"Z:" + std::filesystem::path(TALVERN_EXE).make_preferred().wstring();

struct ModuleFree {
    void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
};

// The file mapped as the loader maps it, never run.
class TalvernFile : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(module_) << "cannot load Talvern.exe"; }

    std::span<const BYTE> Resource(const wchar_t* type, WORD id) const {
        const HRSRC found = FindResourceW(module_.get(), MAKEINTRESOURCEW(id), type);
        if (!found) return {};
        return {static_cast<const BYTE*>(LockResource(LoadResource(module_.get(), found))),
                SizeofResource(module_.get(), found)};
    }

    // The image's headers and sections, at their addresses; the handle's low bits say how it
    // was loaded.
    const BYTE* Image() const {
        return reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module_.get()) &
                                             ~ULONG_PTR{3});
    }

    std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree> module_{LoadLibraryExW(
        kExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)};
};

TEST_F(TalvernFile, VersionRecord) {
    const DWORD size = GetFileVersionInfoSizeW(kExe.c_str(), nullptr);
    std::vector<BYTE> record(size);
    ASSERT_TRUE(size && GetFileVersionInfoW(kExe.c_str(), 0, size, record.data()));
    const auto value = [&](const std::wstring& path) -> const void* {
        void* data = nullptr;
        UINT length = 0;
        return VerQueryValueW(record.data(), path.c_str(), &data, &length) && length ? data
                                                                                     : nullptr;
    };
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value(L"\\"));
    ASSERT_TRUE(fixed);
    EXPECT_EQ((std::vector<DWORD>{fixed->dwFileVersionMS, fixed->dwFileVersionLS,
                                  fixed->dwProductVersionMS, fixed->dwProductVersionLS,
                                  fixed->dwFileOS, fixed->dwFileType}),
              (std::vector<DWORD>{0x30000, 0, 0x30000, 0, VOS__WINDOWS32, VFT_APP}));
    const auto* translation = static_cast<const WORD*>(value(L"\\VarFileInfo\\Translation"));
    ASSERT_TRUE(translation);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04B0);

    // The strings in the order of the block; the maker's own three need only say something.
    const std::pair<std::wstring, std::wstring> strings[] = {
        {L"CompanyName", L""},         {L"FileDescription", L""},
        {L"LegalCopyright", L""},      {L"ProductName", L"Talvern"},
        {L"FileVersion", L"3.00"},     {L"ProductVersion", L"3.00"},
        {L"InternalName", L"Talvern"}, {L"OriginalFilename", L"Talvern.exe"}};
    const auto resource = Resource(RT_VERSION, 1);
    const std::wstring_view keys(reinterpret_cast<const wchar_t*>(resource.data()),
                                 resource.size() / sizeof(wchar_t));
    size_t at = 0;
    for (const auto& [name, expected] : strings) {
        const auto* text =
            static_cast<const wchar_t*>(value(L"\\StringFileInfo\\040904B0\\" + name));
        const std::wstring shown = text ? text : L"";
        EXPECT_TRUE(expected.empty() ? !shown.empty() : shown == expected) << name << ": " << shown;
        at = keys.find(name + L'\0', at);
        EXPECT_NE(at, std::wstring_view::npos) << name << " is out of order";
    }
}

#pragma pack(push, 2)
struct IconGroup {
    WORD reserved, type, count;
    BYTE width, height, colours, reserved2;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST_F(TalvernFile, IconGroupOneHoldsOne32x32ImageIn16Colours) {
    const auto group = Resource(RT_GROUP_ICON, 1);
    ASSERT_GE(group.size(), sizeof(IconGroup));
    IconGroup icon;
    std::memcpy(&icon, group.data(), sizeof icon);
    EXPECT_EQ((std::vector<int>{icon.type, icon.count, icon.width, icon.height, icon.colours,
                                icon.bitCount, icon.id}),
              (std::vector<int>{1, 1, 32, 32, 16, 4, 30001}));
    const auto image = Resource(RT_ICON, 30001);
    ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(image.size(), icon.bytes);
    BITMAPINFOHEADER header;
    std::memcpy(&header, image.data(), sizeof header);
    EXPECT_EQ(header.biWidth, 32);
    EXPECT_EQ(header.biBitCount, 4);
}

TEST_F(TalvernFile, ManifestAsksForAdministratorCommonControls6PerMonitorV2AndUtf8) {
    const auto manifest = Resource(RT_MANIFEST, 1);
    const std::string text(manifest.begin(), manifest.end());
    const size_t controls = text.find("name=\"Microsoft.Windows.Common-Controls\"");
    ASSERT_NE(controls, std::string::npos);
    const size_t open = text.rfind('<', controls);
    const std::string tag = text.substr(open, text.find('>', controls) - open);
    EXPECT_NE(tag.find("version=\"6.0.0.0\""), std::string::npos) << tag;

    // Read as the loader reads it: a manifest it cannot parse gives no context.
    ACTCTXW request{sizeof request};
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = kExe.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    const std::unique_ptr<void, decltype(&ReleaseActCtx)> context(CreateActCtxW(&request),
                                                                  ReleaseActCtx);
    ASSERT_NE(context.get(), INVALID_HANDLE_VALUE) << "error " << GetLastError();
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION runLevel{};
    ASSERT_TRUE(QueryActCtxW(0, context.get(), nullptr, RunlevelInformationInActivationContext,
                             &runLevel, sizeof runLevel, nullptr));
    EXPECT_EQ(runLevel.RunLevel, ACTCTX_RUN_LEVEL_REQUIRE_ADMIN);
    // A setting in the wrong namespace is silently ignored, so each is looked up in its own.
    const auto setting = [&](const wchar_t* space, const wchar_t* name) {
        wchar_t found[64] = {};
        QueryActCtxSettingsW(0, context.get(), space, name, found, 64, nullptr);
        return std::wstring(found);
    };
    EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"),
              L"PerMonitorV2");
    EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2019/WindowsSettings", L"activeCodePage"),
              L"UTF-8");
}

TEST_F(TalvernFile, IsAGuiOfThisBuildsMachineWithAslrDepAndOnlySystemImports) {
    const BYTE* base = Image();
    const auto& nt = *reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    EXPECT_EQ(nt.FileHeader.Machine,
              sizeof(void*) == 4 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64);
    ASSERT_EQ(nt.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR_MAGIC);
    EXPECT_EQ(nt.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_TRUE(nt.OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
    EXPECT_TRUE(nt.OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
    // Without its relocations the loader cannot move it, whatever the flag says.
    EXPECT_FALSE(nt.FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED);
    EXPECT_GT(nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size, 0u);

    // Linked statically: no DLL but the system's own (MinGW's C runtime is System32's msvcrt).
    const std::vector<std::string> allowed{
        "kernel32.dll", "user32.dll",  "gdi32.dll", "advapi32.dll", "comdlg32.dll",
        "comctl32.dll", "shell32.dll", "ole32.dll", "oleaut32.dll", "msvcrt.dll"};
    const auto& imports = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    ASSERT_GT(imports.Size, 0u);
    for (auto* entry =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name; ++entry) {
        std::string dll = reinterpret_cast<const char*>(base + entry->Name);
        std::transform(dll.begin(), dll.end(), dll.begin(),
                       [](char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), dll), allowed.end()) << dll;
    }
}

bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 500; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10)))
        if (done()) return true;
    return false;
}

struct HandleClose {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};

class TalvernProcess : public ::testing::Test {
  protected:
    void SetUp() override { DeleteTree(HKEY_CLASSES_ROOT, L"*\\shell"); }
    void TearDown() override {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT)
            TerminateProcess(process_.get(), 99);
        DeleteTree(HKEY_CLASSES_ROOT, L"*\\shell");
    }

    // Sends the message and waits for the program to handle it; false when it is still busy,
    // as it is while it shows a message box.
    bool Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        DWORD_PTR ignored = 0;
        return SendMessageTimeoutW(FindControl(main_, id), message, wParam, lParam, SMTO_NORMAL,
                                   3000, &ignored) != 0;
    }

    std::vector<std::wstring> Lines() const {
        return ListLines(FindControl(main_, frmMain::List1));
    }

    std::unique_ptr<void, HandleClose> process_;
    HWND main_ = nullptr;
};

TEST_F(TalvernProcess, AddsListsAndDeletesAViewerThenExitsWithCodeZero) {
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION started{};
    std::wstring commandLine = L"\"" + kExe + L"\"";
    ASSERT_TRUE(CreateProcessW(kExe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &started));
    process_.reset(started.hProcess);
    CloseHandle(started.hThread);
    ASSERT_TRUE(WaitFor([&] {
        main_ = FindWindowW(nullptr, L"Talvern 3.0");
        DWORD owner = 0;
        GetWindowThreadProcessId(main_, &owner);
        return main_ && owner == started.dwProcessId && IsWindowVisible(main_);
    }));
    EXPECT_TRUE(Lines().empty());

    // Its own file serves as the viewer's program.
    const std::wstring verb = L"*\\shell\\Exe Test";
    ASSERT_TRUE(Send(frmMain::cmdAdd, BM_CLICK));
    Send(frmMain::txtName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Exe Test"));
    Send(frmMain::txtFilePath, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kExe.c_str()));
    ASSERT_TRUE(Send(frmMain::cmdSave, BM_CLICK)) << "Save showed a message";
    EXPECT_EQ(Lines(), std::vector<std::wstring>{L"Exe Test = " + kExe});
    EXPECT_EQ(GetRaw(HKEY_CLASSES_ROOT, verb, L""),
              (RawValue{REG_SZ, WideBytes(L"Exe Test", true)}));
    EXPECT_EQ(GetRaw(HKEY_CLASSES_ROOT, verb + L"\\command", L""),
              (RawValue{REG_SZ, WideBytes(kExe + L" %1", true)}));

    // The line clicked as with the mouse, then Delete, whose question waits for its answer.
    RECT line{};
    Send(frmMain::List1, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&line));
    const LPARAM at = MAKELPARAM((line.left + line.right) / 2, (line.top + line.bottom) / 2);
    Send(frmMain::List1, WM_LBUTTONDOWN, MK_LBUTTON, at);
    Send(frmMain::List1, WM_LBUTTONUP, 0, at);
    PostMessageW(FindControl(main_, frmMain::cmdDelete), BM_CLICK, 0, 0);
    HWND question = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (question = FindWindowW(L"#32770", L"Confirm Delete..")); }));
    ASSERT_TRUE(WaitFor([&] { return PressButton(question, IDYES); }));
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(question) && Send(frmMain::List1, WM_NULL); }));
    EXPECT_TRUE(Lines().empty());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, verb));

    PostMessageW(main_, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process_.get(), 5000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process_.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace

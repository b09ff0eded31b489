// Talvern.exe as it ships: what its headers and manifest ask of the loader, and the program run
// as a user runs it.

#include "app/frmMain.h"
#include "tests/testing/Wait.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
// The build gives the Unix path; Wine shows the Unix root as drive Z:.
const std::wstring kExe = L"Z:" + fs::path(TALVERN_EXE).make_preferred().wstring();

// Every function imported, looked up in its System32 DLL. The headers are read in the file's own
// width, whatever this process's is.
template <class Headers, class Thunk>
void ExpectImportsExported(const BYTE* base, const Headers& headers, ULONGLONG ordinalFlag) {
    const auto& imports = headers.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         imports.Size && entry->Name; ++entry) {
        const char* dll = reinterpret_cast<const char*>(base + entry->Name);
        const HMODULE module = LoadLibraryExA(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        ASSERT_TRUE(module) << dll;
        for (auto* thunk = reinterpret_cast<const Thunk*>(base + entry->OriginalFirstThunk);
             thunk->u1.AddressOfData; ++thunk) {
            const ULONGLONG data = thunk->u1.AddressOfData;
            const char* name =
                data & ordinalFlag
                    ? MAKEINTRESOURCEA(data & 0xFFFF)
                    : reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + data)->Name;
            EXPECT_TRUE(GetProcAddress(module, name))
                << dll << " " << (IS_INTRESOURCE(name) ? "by ordinal" : name);
        }
    }
}

TEST(TalvernExe, IsAGuiWithAslrDepImportsSystem32ProvidesAndAsksForAnAdministrator) {
    // Mapped as the loader maps it, never run; the handle's low bits say how it was loaded.
    const HMODULE module = LoadLibraryExW(
        kExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_TRUE(module);
    const auto* base =
        reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module) & ~ULONG_PTR{3});
    const auto* nt = base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew;
    const auto& pe32 = *reinterpret_cast<const IMAGE_NT_HEADERS32*>(nt);
    const auto& pe64 = *reinterpret_cast<const IMAGE_NT_HEADERS64*>(nt);
    const bool is32 = pe32.OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC;
    EXPECT_EQ(is32 ? pe32.OptionalHeader.Subsystem : pe64.OptionalHeader.Subsystem,
              IMAGE_SUBSYSTEM_WINDOWS_GUI);
    constexpr WORD kAslrDep =
        IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT;
    EXPECT_EQ(
        (is32 ? pe32.OptionalHeader.DllCharacteristics : pe64.OptionalHeader.DllCharacteristics) &
            kAslrDep,
        kAslrDep);
    // Without its relocations the loader cannot move it, whatever the flag says.
    EXPECT_GT((is32 ? pe32.OptionalHeader.DataDirectory
                    : pe64.OptionalHeader.DataDirectory)[IMAGE_DIRECTORY_ENTRY_BASERELOC]
                  .Size,
              0u);
    if (is32)
        ExpectImportsExported<IMAGE_NT_HEADERS32, IMAGE_THUNK_DATA32>(base, pe32,
                                                                      IMAGE_ORDINAL_FLAG32);
    else
        ExpectImportsExported<IMAGE_NT_HEADERS64, IMAGE_THUNK_DATA64>(base, pe64,
                                                                      IMAGE_ORDINAL_FLAG64);
    // The manifest as the loader reads it: one it cannot parse gives no context.
    ACTCTXW request{sizeof request, ACTCTX_FLAG_RESOURCE_NAME_VALID, kExe.c_str()};
    request.lpResourceName = MAKEINTRESOURCEW(1);
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION runLevel{};
    ASSERT_TRUE(QueryActCtxW(0, CreateActCtxW(&request), nullptr,
                             RunlevelInformationInActivationContext, &runLevel, sizeof runLevel,
                             nullptr));
    EXPECT_EQ(runLevel.RunLevel, ACTCTX_RUN_LEVEL_REQUIRE_ADMIN);
}

// Waits a few seconds at most for the top-level window of that class and title to be shown
// (shown false: to be gone).
bool Await(const wchar_t* className, const wchar_t* title, bool shown) {
    return WaitUntil(
        [&] {
            const HWND window = FindWindowW(className, title);
            return (window && IsWindowVisible(window)) == shown;
        },
        5);
}

void Click(HWND window, int id) { PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

// Ends the program when the case did not: a failed step must not leave it running.
struct Started : PROCESS_INFORMATION {
    ~Started() {
        TerminateProcess(hProcess, 1);
        CloseHandle(hThread);
        CloseHandle(hProcess);
    }
};

TEST(TalvernExe, RunsThroughBrowseAndAboutAndEndsWithCodeZero) {
    STARTUPINFOW startup{sizeof startup};
    Started started{};
    ASSERT_TRUE(CreateProcessW(kExe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &started));
    ASSERT_TRUE(Await(L"TalvernMain", nullptr, true)) << "no main window";
    const HWND main = FindWindowW(L"TalvernMain", nullptr);
    Click(main, frmMain::cmdAdd);
    Click(main, frmMain::cmdBrowse);
    ASSERT_TRUE(Await(L"#32770", L"Select the Executable", true)) << "no Open dialog";
    Click(FindWindowW(L"#32770", L"Select the Executable"), IDCANCEL);
    ASSERT_TRUE(Await(L"#32770", L"Select the Executable", false)) << "the dialog stays";
    Click(main, frmMain::cmdAbout);
    ASSERT_TRUE(Await(L"TalvernAbout", nullptr, true)) << "no About window";
    PostMessageW(FindWindowW(L"TalvernAbout", nullptr), WM_CLOSE, 0, 0);
    ASSERT_TRUE(Await(L"TalvernAbout", nullptr, false)) << "About stays";
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !WaitForSingleObject(started.hProcess, 0); }, 5))
        << "still running";
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(started.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace

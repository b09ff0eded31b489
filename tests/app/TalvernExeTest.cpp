// Talvern.exe as it ships: what its headers and manifest ask of the loader, and the program run.

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

// The build gives the Unix path; Wine shows the Unix root as drive Z:.
const std::wstring kExe = L"Z:" + std::filesystem::path(TALVERN_EXE).make_preferred().wstring();

TEST(TalvernExe, IsAGuiOfThisBuildsMachineWithAslrDepAndOnlySystemImports) {
    // Mapped as the loader maps it, never run; the handle's low bits say how it was loaded.
    const HMODULE module = LoadLibraryExW(
        kExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_TRUE(module);
    const auto* base =
        reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module) & ~ULONG_PTR{3});
    const auto& nt = *reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    EXPECT_EQ(nt.FileHeader.Machine,
              sizeof(void*) == 4 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64);
    EXPECT_EQ(nt.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    constexpr WORD kAslrDep =
        IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT;
    EXPECT_EQ(nt.OptionalHeader.DllCharacteristics & kAslrDep, kAslrDep);
    // Without its relocations the loader cannot move it, whatever the flag says.
    EXPECT_GT(nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size, 0u);
    const auto& imports = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    for (auto* entry =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         imports.Size && entry->Name; ++entry) {
        const char* dll = reinterpret_cast<const char*>(base + entry->Name);
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(system) / dll)) << dll;
    }
}

TEST(TalvernExe, ManifestAsksToRunAsAdministrator) {
    // Read as the loader reads it: a manifest it cannot parse gives no context.
    ACTCTXW request{sizeof request, ACTCTX_FLAG_RESOURCE_NAME_VALID, kExe.c_str()};
    request.lpResourceName = MAKEINTRESOURCEW(1);
    const HANDLE context = CreateActCtxW(&request);
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION runLevel{};
    ASSERT_TRUE(QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &runLevel,
                             sizeof runLevel, nullptr));
    EXPECT_EQ(runLevel.RunLevel, ACTCTX_RUN_LEVEL_REQUIRE_ADMIN);
}

static BOOL CALLBACK CloseShown(HWND window, LPARAM) {
    if (IsWindowVisible(window)) PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

TEST(TalvernExe, EndsWithCodeZeroWhenItsWindowIsClosed) {
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(CreateProcessW(kExe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &started));
    // Its window is closed as soon as it shows; the tries only bound a hang.
    for (int tries = 0; tries < 100 && WaitForSingleObject(started.hProcess, 200); ++tries)
        EnumThreadWindows(started.dwThreadId, CloseShown, 0);
    DWORD exitCode = 1;
    GetExitCodeProcess(started.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    TerminateProcess(started.hProcess, 1);  // when it did not end
}

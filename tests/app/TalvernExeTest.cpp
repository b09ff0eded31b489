// Talvern.exe as it ships: what its headers and manifest ask of the loader.

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

namespace fs = std::filesystem;
// The build gives the Unix path; Wine shows the Unix root as drive Z:.
const std::wstring kExe = L"Z:" + fs::path(TALVERN_EXE).make_preferred().wstring();

TEST(TalvernExe, IsAGuiWithAslrDepOnlySystemImportsAndAsksForAnAdministrator) {
    // Mapped as the loader maps it, never run; the handle's low bits say how it was loaded.
    const HMODULE module = LoadLibraryExW(
        kExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_TRUE(module);
    const auto* base =
        reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module) & ~ULONG_PTR{3});
    const auto& headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
                              base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew)
                              ->OptionalHeader;
    EXPECT_EQ(headers.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    constexpr WORD kAslrDep =
        IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT;
    EXPECT_EQ(headers.DllCharacteristics & kAslrDep, kAslrDep);
    // Without its relocations the loader cannot move it, whatever the flag says.
    EXPECT_GT(headers.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size, 0u);
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const auto& imports = headers.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         imports.Size && entry->Name; ++entry) {
        const char* dll = reinterpret_cast<const char*>(base + entry->Name);
        EXPECT_TRUE(fs::exists(fs::path(system) / dll)) << dll;
    }
    // The manifest as the loader reads it: one it cannot parse gives no context.
    ACTCTXW request{sizeof request, ACTCTX_FLAG_RESOURCE_NAME_VALID, kExe.c_str()};
    request.lpResourceName = MAKEINTRESOURCEW(1);
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION runLevel{};
    ASSERT_TRUE(QueryActCtxW(0, CreateActCtxW(&request), nullptr,
                             RunlevelInformationInActivationContext, &runLevel, sizeof runLevel,
                             nullptr));
    EXPECT_EQ(runLevel.RunLevel, ACTCTX_RUN_LEVEL_REQUIRE_ADMIN);
}

// Talvern.exe as it ships: its resources and headers read from the file, and the program started
// as a process of its own and driven from outside through its windows.

#include "app/frmMain.h"
#include "tests/testing/Dialogs.h"
#include "tests/testing/ScratchKey.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

// ---- Plumbing ----

struct HandleClose {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleClose>;

struct ModuleFree {
    void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree>;

struct IconDestroy {
    void operator()(HICON icon) const noexcept { DestroyIcon(icon); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroy>;

struct ActCtxRelease {
    void operator()(HANDLE context) const noexcept { ReleaseActCtx(context); }
};
using UniqueActCtx = std::unique_ptr<void, ActCtxRelease>;

// The build gives the Unix path; Wine shows the Unix root as drive Z:.
std::wstring WindowsPath(const char* unixPath) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, unixPath, -1, nullptr, 0);
    std::wstring path(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, unixPath, -1, path.data(), size);
    path.resize(static_cast<size_t>(size - 1));
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return L"Z:" + path;
}

const std::wstring kExe = WindowsPath(TALVERN_EXE);

// A structure copied out of raw bytes; a truncated file fails the test instead of crashing it.
template <class T>
T ReadAt(std::span<const BYTE> bytes, size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T))
        throw std::out_of_range("read past the end at offset " + std::to_string(offset));
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

std::string Join(const std::vector<std::wstring>& items) {
    std::string out;
    for (const auto& item : items) out += (out.empty() ? "" : ", ") + Narrow(item);
    return out;
}

bool WaitFor(const std::function<bool()>& done,
             std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// ---- Resources: the file loaded as data, never run ----

class TalvernResources : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(module_) << "cannot load " << Narrow(kExe) << " (error " << GetLastError()
                             << ")";
    }

    // The resource's bytes, empty when it is missing.
    std::span<const BYTE> Resource(const wchar_t* type, WORD id) const {
        const HRSRC found = FindResourceW(module_.get(), MAKEINTRESOURCEW(id), type);
        if (!found) return {};
        const HGLOBAL loaded = LoadResource(module_.get(), found);
        return {static_cast<const BYTE*>(LockResource(loaded)),
                SizeofResource(module_.get(), found)};
    }

    UniqueModule module_{LoadLibraryExW(kExe.c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)};
};

// One node of a version resource: length, value length, type, key, value and children, each part
// starting on a 4-byte boundary of the resource.
struct VersionNode {
    std::wstring key;
    size_t childrenBegin = 0;
    size_t end = 0;
};

size_t Align4(size_t offset) { return (offset + 3) & ~size_t{3}; }

VersionNode ReadVersionNode(std::span<const BYTE> resource, size_t at) {
    const auto length = ReadAt<WORD>(resource, at);
    const auto valueLength = ReadAt<WORD>(resource, at + 2);
    const auto type = ReadAt<WORD>(resource, at + 4);
    if (length < 6 || at + length > resource.size())
        throw std::out_of_range("bad version node at offset " + std::to_string(at));
    VersionNode node;
    size_t offset = at + 6;
    for (wchar_t c; (c = ReadAt<wchar_t>(resource, offset)) != L'\0'; offset += 2) node.key += c;
    // Text values count characters, binary ones bytes.
    const size_t valueBytes = type == 1 ? valueLength * 2u : valueLength;
    node.childrenBegin = Align4(Align4(offset + 2) + valueBytes);
    node.end = at + length;
    return node;
}

std::vector<VersionNode> Children(std::span<const BYTE> resource, const VersionNode& parent) {
    std::vector<VersionNode> children;
    for (size_t at = parent.childrenBegin; at < parent.end; at = Align4(children.back().end))
        children.push_back(ReadVersionNode(resource, at));
    return children;
}

std::vector<std::wstring> Keys(const std::vector<VersionNode>& nodes) {
    std::vector<std::wstring> keys;
    for (const auto& node : nodes) keys.push_back(node.key);
    return keys;
}

TEST_F(TalvernResources, VersionRecordReadsBackAsShipped) {
    const DWORD size = GetFileVersionInfoSizeW(kExe.c_str(), nullptr);
    ASSERT_GT(size, 0u) << "no version record (error " << GetLastError() << ")";
    std::vector<BYTE> record(size);
    ASSERT_TRUE(GetFileVersionInfoW(kExe.c_str(), 0, size, record.data()));

    void* data = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", &data, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(data);
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwFileVersionMS, MAKELONG(0, 3));
    EXPECT_EQ(fixed.dwFileVersionLS, 0u);
    EXPECT_EQ(fixed.dwProductVersionMS, MAKELONG(0, 3));
    EXPECT_EQ(fixed.dwProductVersionLS, 0u);
    EXPECT_EQ(fixed.dwFileFlags, 0u);
    EXPECT_EQ(fixed.dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed.dwFileSubtype, 0u);

    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", &data, &length));
    ASSERT_EQ(length, 4u) << "exactly one translation";
    EXPECT_EQ(static_cast<const WORD*>(data)[0], 0x0409);
    EXPECT_EQ(static_cast<const WORD*>(data)[1], 0x04B0);

    const auto field = [&](const std::wstring& name) {
        const std::wstring query = L"\\StringFileInfo\\040904B0\\" + name;
        if (!VerQueryValueW(record.data(), query.c_str(), &data, &length)) return std::wstring();
        return std::wstring(static_cast<const wchar_t*>(data));
    };
    EXPECT_EQ(field(L"ProductName"), L"Talvern");
    EXPECT_EQ(field(L"FileVersion"), L"3.00");
    EXPECT_EQ(field(L"ProductVersion"), L"3.00");
    EXPECT_EQ(field(L"InternalName"), L"Talvern");
    EXPECT_EQ(field(L"OriginalFilename"), L"Talvern.exe");
    EXPECT_NE(field(L"CompanyName"), L"");
    EXPECT_NE(field(L"FileDescription"), L"");
    EXPECT_NE(field(L"LegalCopyright"), L"");
}

TEST_F(TalvernResources, VersionStringsStandInTheirOrder) {
    const auto resource = Resource(RT_VERSION, 1);
    ASSERT_FALSE(resource.empty());
    const VersionNode root = ReadVersionNode(resource, 0);
    EXPECT_EQ(root.key, L"VS_VERSION_INFO");

    const auto blocks = Children(resource, root);
    const auto strings = std::find_if(blocks.begin(), blocks.end(), [](const auto& node) {
        return node.key == L"StringFileInfo";
    });
    ASSERT_NE(strings, blocks.end()) << "blocks: " << Join(Keys(blocks));
    const auto tables = Children(resource, *strings);
    ASSERT_EQ(Keys(tables), std::vector<std::wstring>{L"040904B0"}) << Join(Keys(tables));

    const std::vector<std::wstring> expected{L"CompanyName",  L"FileDescription", L"LegalCopyright",
                                             L"ProductName",  L"FileVersion",     L"ProductVersion",
                                             L"InternalName", L"OriginalFilename"};
    const auto fields = Keys(Children(resource, tables.front()));
    EXPECT_EQ(fields, expected) << "found: " << Join(fields);
}

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width, height, colourCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInResource;
    WORD id;
};
#pragma pack(pop)

TEST_F(TalvernResources, IconGroupOneHoldsOne32x32ImageIn16Colours) {
    const auto group = Resource(RT_GROUP_ICON, 1);
    ASSERT_FALSE(group.empty()) << "no icon group 1";
    EXPECT_EQ(ReadAt<WORD>(group, 2), 1) << "an icon, not a cursor";
    ASSERT_EQ(ReadAt<WORD>(group, 4), 1) << "images in the group";
    const auto entry = ReadAt<IconGroupEntry>(group, 6);
    EXPECT_EQ(entry.width, 32);
    EXPECT_EQ(entry.height, 32);
    EXPECT_EQ(entry.colourCount, 16);
    EXPECT_EQ(entry.bitCount, 4);
    ASSERT_EQ(entry.id, 30001);

    const auto image = Resource(RT_ICON, 30001);
    ASSERT_FALSE(image.empty()) << "no icon image 30001";
    EXPECT_EQ(entry.bytesInResource, image.size());
    const auto header = ReadAt<BITMAPINFOHEADER>(image, 0);
    EXPECT_EQ(header.biWidth, 32);
    EXPECT_EQ(header.biHeight, 64) << "colour and mask images";
    EXPECT_EQ(header.biBitCount, 4);

    // What LoadIcon does with them.
    EXPECT_EQ(
        LookupIconIdFromDirectoryEx(const_cast<BYTE*>(group.data()), TRUE, 32, 32, LR_DEFAULTCOLOR),
        30001);
    const UniqueIcon icon(CreateIconFromResourceEx(const_cast<BYTE*>(image.data()),
                                                   static_cast<DWORD>(image.size()), TRUE,
                                                   0x00030000, 32, 32, LR_DEFAULTCOLOR));
    EXPECT_TRUE(icon) << "the image does not make an icon";
}

// The opening tag that holds the text, empty when the text is not in a tag.
std::string TagAround(const std::string& text, const std::string& inside) {
    const size_t at = text.find(inside);
    if (at == std::string::npos) return {};
    const size_t open = text.rfind('<', at);
    const size_t close = text.find('>', at);
    if (open == std::string::npos || close == std::string::npos) return {};
    return text.substr(open, close - open + 1);
}

TEST_F(TalvernResources, ManifestAsksForAdministratorCommonControls6PerMonitorDpiAndUtf8) {
    const auto manifest = Resource(RT_MANIFEST, 1);
    ASSERT_FALSE(manifest.empty()) << "no manifest resource 1";
    const std::string text(manifest.begin(), manifest.end());
    const std::string controls = TagAround(text, "name=\"Microsoft.Windows.Common-Controls\"");
    EXPECT_NE(controls.find("version=\"6.0.0.0\""), std::string::npos) << controls;
    EXPECT_NE(controls.find("publicKeyToken=\"6595b64144ccf1df\""), std::string::npos) << controls;

    // Read as the loader reads it: a manifest it cannot parse, or a dependency it cannot find,
    // gives no context.
    ACTCTXW request{sizeof request};
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = kExe.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    const UniqueActCtx context(CreateActCtxW(&request));
    ASSERT_NE(context.get(), INVALID_HANDLE_VALUE)
        << "the loader rejects the manifest (error " << GetLastError() << ")";

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION runLevel{};
    ASSERT_TRUE(QueryActCtxW(0, context.get(), nullptr, RunlevelInformationInActivationContext,
                             &runLevel, sizeof runLevel, nullptr));
    EXPECT_EQ(runLevel.RunLevel, ACTCTX_RUN_LEVEL_REQUIRE_ADMIN);
    EXPECT_EQ(runLevel.UiAccess, 0u);

    // A setting in the wrong namespace is silently ignored, so each is looked up in its own.
    const auto setting = [&](const wchar_t* space, const wchar_t* name) {
        wchar_t value[64] = {};
        if (!QueryActCtxSettingsW(0, context.get(), space, name, value, std::size(value), nullptr))
            return std::wstring(L"<not set>");
        return std::wstring(value);
    };
    EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"),
              L"PerMonitorV2");
    EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2019/WindowsSettings", L"activeCodePage"),
              L"UTF-8");
}

// ---- The executable image ----

std::vector<BYTE> ReadFileBytes(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The file offset of an address in the loaded image.
size_t FileOffset(const std::vector<IMAGE_SECTION_HEADER>& sections, DWORD rva) {
    for (const auto& section : sections) {
        const DWORD size = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
        if (rva >= section.VirtualAddress && rva - section.VirtualAddress < size)
            return rva - section.VirtualAddress + section.PointerToRawData;
    }
    throw std::out_of_range("address " + std::to_string(rva) + " is in no section");
}

std::wstring ReadAnsiAt(std::span<const BYTE> bytes, size_t offset) {
    std::wstring text;
    for (char c; (c = ReadAt<char>(bytes, offset)) != '\0'; ++offset)
        text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return text;
}

struct Image {
    IMAGE_FILE_HEADER file;
    IMAGE_OPTIONAL_HEADER32 optional;
    // The DLLs it imports from, in the order of its import table.
    std::vector<std::wstring> imports;
};

Image ReadImage(std::span<const BYTE> bytes) {
    const auto dos = ReadAt<IMAGE_DOS_HEADER>(bytes, 0);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE) throw std::runtime_error("no MZ header");
    const auto headers = static_cast<size_t>(dos.e_lfanew);
    if (ReadAt<DWORD>(bytes, headers) != IMAGE_NT_SIGNATURE) throw std::runtime_error("not PE");
    Image image{ReadAt<IMAGE_FILE_HEADER>(bytes, headers + 4), {}, {}};
    if (image.file.SizeOfOptionalHeader < sizeof(IMAGE_OPTIONAL_HEADER32) ||
        ReadAt<WORD>(bytes, headers + 4 + sizeof(IMAGE_FILE_HEADER)) !=
            IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        return image;
    image.optional = ReadAt<IMAGE_OPTIONAL_HEADER32>(bytes, headers + 4 + sizeof image.file);

    std::vector<IMAGE_SECTION_HEADER> sections;
    const size_t first = headers + 4 + sizeof image.file + image.file.SizeOfOptionalHeader;
    for (WORD i = 0; i < image.file.NumberOfSections; ++i)
        sections.push_back(
            ReadAt<IMAGE_SECTION_HEADER>(bytes, first + i * sizeof(IMAGE_SECTION_HEADER)));

    const auto& table = image.optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (table.VirtualAddress == 0) return image;
    for (size_t at = FileOffset(sections, table.VirtualAddress);;
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto entry = ReadAt<IMAGE_IMPORT_DESCRIPTOR>(bytes, at);
        if (entry.Name == 0) break;
        image.imports.push_back(ReadAnsiAt(bytes, FileOffset(sections, entry.Name)));
    }
    return image;
}

TEST(TalvernImage, Is32BitGuiWithAslrAndDep) {
    const auto bytes = ReadFileBytes(kExe);
    ASSERT_FALSE(bytes.empty()) << "cannot read " << Narrow(kExe);
    const Image image = ReadImage(bytes);
    EXPECT_EQ(image.file.Machine, IMAGE_FILE_MACHINE_I386);
    ASSERT_EQ(image.optional.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC) << "not a 32-bit image";
    EXPECT_EQ(image.optional.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_TRUE(image.optional.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
    EXPECT_TRUE(image.optional.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
    // Without its relocations the loader cannot move it, whatever the flag says.
    EXPECT_FALSE(image.file.Characteristics & IMAGE_FILE_RELOCS_STRIPPED);
    EXPECT_GT(image.optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size, 0u);
}

// It is linked statically: it needs no runtime DLL beside the system's own. The C runtime of
// MinGW-w64 is the system's msvcrt.dll, a known DLL that always loads from System32.
TEST(TalvernImage, ImportsOnlyFromSystemDlls) {
    const Image image = ReadImage(ReadFileBytes(kExe));
    const std::vector<std::wstring> allowed{
        L"kernel32.dll", L"user32.dll",  L"gdi32.dll", L"advapi32.dll", L"comdlg32.dll",
        L"comctl32.dll", L"shell32.dll", L"ole32.dll", L"oleaut32.dll", L"msvcrt.dll"};
    std::vector<std::wstring> others;
    for (const auto& name : image.imports) {
        std::wstring lower = name;
        CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
        if (std::find(allowed.begin(), allowed.end(), lower) == allowed.end())
            others.push_back(name);
    }
    EXPECT_FALSE(image.imports.empty());
    EXPECT_TRUE(others.empty()) << "not allowed: " << Join(others)
                                << "\nall imports: " << Join(image.imports);
}

// ---- The running program ----

const std::wstring kViewers = L"*\\shell";

struct ProcessWindows {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindowOf(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<ProcessWindows*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.processId) search.found.push_back(window);
    return TRUE;
}

// The top-level windows of the process, visible or not, in z-order.
std::vector<HWND> WindowsOf(DWORD processId) {
    ProcessWindows search{processId, {}};
    EnumWindows(CollectWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchControlId(HWND child, LPARAM param) {
    auto& search = *reinterpret_cast<ControlSearch*>(param);
    if (GetDlgCtrlID(child) == search.id) search.found = child;
    return search.found == nullptr;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return name;
}

// The visible dialog (message box) the process shows, nullptr when there is none.
HWND DialogOfProcess(DWORD processId) {
    for (HWND window : WindowsOf(processId)) {
        if (IsWindowVisible(window) && ClassOf(window) == kDialogClass) return window;
    }
    return nullptr;
}

// A key's default value as "REG_SZ " and its text (which must end in its NUL), else its type.
std::wstring DefaultValue(const std::wstring& path) {
    const RawValue value = GetRaw(HKEY_CLASSES_ROOT, path, L"");
    const size_t chars = value.bytes.size() / sizeof(wchar_t);
    if (value.type != REG_SZ || chars == 0 || value.bytes.size() % sizeof(wchar_t) != 0)
        return L"type " + std::to_wstring(value.type);
    std::wstring text(chars, L'\0');
    std::memcpy(text.data(), value.bytes.data(), value.bytes.size());
    if (text.back() != L'\0') return L"REG_SZ without its NUL: " + text;
    text.pop_back();
    return L"REG_SZ " + text;
}

// A file for a viewer's program; Save wants one that exists.
class TempFile {
  public:
    TempFile() {
        wchar_t folder[MAX_PATH] = {};
        wchar_t name[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"tal", 0, name);
        path_ = name;
    }
    ~TempFile() { DeleteFileW(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::wstring& Path() const { return path_; }

  private:
    std::wstring path_;
};

class TalvernProcess : public ::testing::Test {
  protected:
    void SetUp() override { DeleteTree(HKEY_CLASSES_ROOT, kViewers); }

    void TearDown() override {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.get(), 99);
            WaitForSingleObject(process_.get(), 5000);
        }
        DeleteTree(HKEY_CLASSES_ROOT, kViewers);
    }

    // Starts Talvern.exe and waits for its main window.
    void Start() {
        wchar_t folder[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, folder);
        std::wstring commandLine = L"\"" + kExe + L"\"";
        STARTUPINFOW startup{sizeof startup};
        PROCESS_INFORMATION started{};
        ASSERT_TRUE(CreateProcessW(kExe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                   nullptr, folder, &startup, &started))
            << "cannot start " << Narrow(kExe) << " (error " << GetLastError() << ")";
        process_.reset(started.hProcess);
        const UniqueHandle thread(started.hThread);
        processId_ = started.dwProcessId;
        WaitForInputIdle(process_.get(), 10000);

        const bool found = WaitFor([&] {
            for (HWND window : WindowsOf(processId_)) {
                if (IsWindowVisible(window) && WindowText(window) == L"Talvern 3.0") main_ = window;
            }
            return main_ != nullptr;
        });
        std::vector<std::wstring> captions;
        for (HWND window : WindowsOf(processId_)) captions.push_back(WindowText(window));
        DWORD exitCode = STILL_ACTIVE;
        GetExitCodeProcess(process_.get(), &exitCode);
        ASSERT_TRUE(found) << "no visible \"Talvern 3.0\" window; the process has: "
                           << Join(captions)
                           << (exitCode == STILL_ACTIVE
                                   ? std::string()
                                   : "; it ended with code " + std::to_string(exitCode));
    }

    // A control anywhere in the main window: the buttons sit inside panels.
    HWND Control(int id) const {
        ControlSearch search{id, nullptr};
        EnumChildWindows(main_, MatchControlId, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    // Clicks the button and waits for its handler. False when the handler is still busy after a
    // few seconds, as it is when it shows a message box.
    bool Click(int id) const {
        DWORD_PTR ignored = 0;
        return SendMessageTimeoutW(Control(id), BM_CLICK, 0, 0, SMTO_NORMAL, 3000, &ignored) != 0;
    }

    // What a message box left open by the program says, for a failure message.
    std::string OpenDialog() const {
        const HWND dialog = DialogOfProcess(processId_);
        if (!dialog) return "no dialog is open";
        const MessageBoxView box = ReadMessageBox(dialog);
        return "dialog \"" + Narrow(box.title) + "\" says \"" + Narrow(box.text) + "\"";
    }

    void Type(int id, const std::wstring& text) const {
        SendMessageW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }

    std::vector<std::wstring> Lines() const {
        const HWND list = Control(frmMain::List1);
        std::vector<std::wstring> lines;
        const auto count = SendMessageW(list, LB_GETCOUNT, 0, 0);
        for (WPARAM i = 0; count > 0 && i < static_cast<WPARAM>(count); ++i) {
            const auto length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
            std::wstring line(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
            const auto got =
                SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()));
            line.resize(static_cast<size_t>(std::max<LRESULT>(got, 0)));
            lines.push_back(line);
        }
        return lines;
    }

    // Clicks the line with the mouse, as the user selects it.
    void ClickLine(int index) const {
        const HWND list = Control(frmMain::List1);
        RECT item{};
        SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&item));
        const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
        SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(list, WM_LBUTTONUP, 0, at);
    }

    UniqueHandle process_;
    DWORD processId_ = 0;
    HWND main_ = nullptr;
};

TEST_F(TalvernProcess, AddsListsAndDeletesAViewerThenClosesCleanly) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NE(Control(frmMain::List1), nullptr) << "the main window has no list";
    EXPECT_TRUE(Lines().empty());
    EXPECT_FALSE(IsWindowEnabled(Control(frmMain::cmdDelete)));

    const std::wstring name = L"Talvern Exe Test";
    const std::wstring verb = kViewers + L"\\" + name;
    const TempFile program;
    ASSERT_TRUE(Click(frmMain::cmdAdd));
    EXPECT_TRUE(IsWindowVisible(Control(frmMain::txtName)));
    Type(frmMain::txtName, name);
    Type(frmMain::txtFilePath, program.Path());
    ASSERT_TRUE(Click(frmMain::cmdSave)) << OpenDialog();

    EXPECT_TRUE(IsWindowVisible(Control(frmMain::List1)));
    EXPECT_EQ(Lines(), std::vector<std::wstring>{name + L" = " + program.Path()});
    EXPECT_EQ(DefaultValue(verb), L"REG_SZ " + name);
    EXPECT_EQ(DefaultValue(verb + L"\\command"), L"REG_SZ " + program.Path() + L" %1");

    ClickLine(0);
    EXPECT_EQ(SendMessageW(Control(frmMain::List1), LB_GETCURSEL, 0, 0), 0);
    ASSERT_TRUE(IsWindowEnabled(Control(frmMain::cmdDelete))) << "selecting did not enable Delete";

    // Delete asks first; its handler waits in the message box until it is answered.
    PostMessageW(Control(frmMain::cmdDelete), BM_CLICK, 0, 0);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = DialogOfProcess(processId_)) != nullptr; }))
        << "Delete asked nothing";
    DWORD_PTR ignored = 0;
    // Handled once the box waits for input, so it is set up by then.
    SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 3000, &ignored);
    const MessageBoxView box = ReadMessageBox(dialog);
    EXPECT_EQ(box.owner, main_) << "the main window stays usable while it asks";
    EXPECT_EQ(box.title, L"Confirm Delete..");
    EXPECT_EQ(box.text, L"Are you sure you want to delete the current viewer?\r\r" + name + L" = " +
                            program.Path());
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    ASSERT_TRUE(PressButton(dialog, IDYES));
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); })) << "the question stayed open";
    // Handled after the rest of the Delete handler, which waits for nothing more.
    SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_NORMAL, 3000, &ignored);

    EXPECT_TRUE(Lines().empty());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, verb));
    EXPECT_FALSE(IsWindowEnabled(Control(frmMain::cmdDelete)));

    PostMessageW(main_, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process_.get(), 5000), WAIT_OBJECT_0)
        << "still running after its window was closed";
    DWORD exitCode = 0;
    GetExitCodeProcess(process_.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

TEST_F(TalvernProcess, StartsWithTheViewersTheRegistryHolds) {
    const HKEY root = HKEY_CLASSES_ROOT;
    SetString(root, kViewers + L"\\Notepad", L"", L"Notepad");
    SetString(root, kViewers + L"\\Notepad\\command", L"", L"C:\\WINDOWS\\NOTEPAD.EXE %1");
    // Made by other software: its display name is not its key name, and its %1 is quoted.
    SetString(root, kViewers + L"\\OtherKey", L"", L"Edit with Other");
    SetString(root, kViewers + L"\\OtherKey\\command", L"",
              L"\"C:\\Program Files\\Other\\other.exe\" \"%1\"");
    // No display name: not a viewer, whatever else it has.
    SetString(root, kViewers + L"\\Unnamed", L"Icon", L"other.ico");
    SetString(root, kViewers + L"\\Unnamed\\command", L"", L"C:\\Unnamed.exe %1");

    const std::map<std::wstring, std::wstring> lineOf{
        {L"Notepad", L"Notepad = C:\\WINDOWS\\NOTEPAD.EXE"},
        {L"OtherKey", L"Edit with Other = \"C:\\Program Files\\Other\\other.exe\" \""}};
    std::vector<std::wstring> expected;
    for (const auto& key : SubKeyNames(root, kViewers)) {
        if (lineOf.contains(key)) expected.push_back(lineOf.at(key));
    }
    ASSERT_EQ(expected.size(), 2u);

    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(Lines(), expected);
}

}  // namespace

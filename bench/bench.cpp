// Measures Talvern against the platform's floor and prints one table:
//   talvern_bench <Talvern.exe> <minimal_window.exe> <minimal_manifest_window.exe>
//                 <minimal_button_window.exe> <plain_window.exe>
// It rewrites both hives' Software\Classes\*\shell, so it runs in a Wine prefix of its own.

#include "app/basMain.h"
#include "bench/AnsiRegistry.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 7;
// A start-up is short and its spread on a shared machine wide; more runs cost little.
constexpr int kStartupRuns = 15;
constexpr int kStartupViewers = 20;

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double Ms(const std::function<void()>& run) {
    const auto start = Clock::now();
    run();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Pair {
    double measured;
    double floor;
};

// Runs the two in turn, after one unmeasured run of each, so that neither pays for caches
// the other warmed or for work the system still does after the set-up.
Pair Compare(const std::function<void()>& measured, const std::function<void()>& floor, int runs) {
    measured();
    floor();
    std::vector<double> a, b;
    for (int i = 0; i < runs; ++i) {
        a.push_back(Ms(measured));
        b.push_back(Ms(floor));
    }
    return {Median(a), Median(b)};
}

void SetDefault(HKEY hive, const std::wstring& path, const std::wstring& text) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(hive, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, L"", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void Clear() {
    for (const HKEY hive : kHives) RegDeleteTreeW(hive, L"Software\\Classes\\*\\shell");
}

// Half of them for every user, half the user's own.
void Populate(int count) {
    Clear();
    for (int i = 0; i < count; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"Viewer %05d", i);
        const std::wstring verb = std::wstring(L"Software\\Classes\\*\\shell\\") + name;
        const HKEY hive = kHives[i % 2];
        SetDefault(hive, verb, name);
        SetDefault(hive, verb + L"\\command",
                   std::wstring(L"C:\\Program Files\\Viewers\\") + name + L".exe %1");
    }
}

// The advapi32 calls LoadViewerList makes, in the same order, with nothing around them.
size_t BareLoop() {
    size_t read = 0;
    for (const HKEY hive : kHives)
        for (const auto& name : ViewerKeys(hive))
            read += !MenuText(hive, kShell + name).empty() +
                    !DefaultValue(hive, kShell + name + "\\command").empty();
    return read;
}

struct Process {
    PROCESS_INFORMATION info{};
    ~Process() {
        if (!info.hProcess) return;
        WaitForSingleObject(info.hProcess, 5000);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
};

// From process start until `ready` says its window is up; the window is closed afterwards.
void Start(const std::wstring& exe, const std::function<HWND()>& ready) {
    {
        Process process;
        STARTUPINFOW startup{sizeof startup};
        std::wstring commandLine = L"\"" + exe + L"\"";
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &process.info))
            return;
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        HWND window = nullptr;
        while (!(window = ready()) && Clock::now() < deadline) Sleep(1);
        if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    }
}

HWND VisibleWindow(const wchar_t* className) {
    const HWND window = FindWindowW(className, nullptr);
    return window && IsWindowVisible(window) ? window : nullptr;
}

struct ListSearch {
    int count = -1;
};

BOOL CALLBACK CountList(HWND child, LPARAM param) {
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    if (lstrcmpiW(className, L"ListBox") != 0) return TRUE;
    reinterpret_cast<ListSearch*>(param)->count =
        static_cast<int>(SendMessageW(child, LB_GETCOUNT, 0, 0));
    return FALSE;
}

// The window once it is shown with every viewer listed.
HWND Listed(const wchar_t* className) {
    const HWND window = VisibleWindow(className);
    if (!window) return nullptr;
    ListSearch search;
    EnumChildWindows(window, CountList, reinterpret_cast<LPARAM>(&search));
    return search.count == kStartupViewers ? window : nullptr;
}

void Row(const char* what, Pair times, const char* floorName, const char* target) {
    std::printf("| %-26s | %9.1f ms | %9.1f ms | %-24s | %5.2f | %-22s |\n", what, times.measured,
                times.floor, floorName, times.measured / times.floor, target);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 6) {
        std::fprintf(stderr,
                     "usage: talvern_bench Talvern.exe minimal_window.exe "
                     "minimal_manifest_window.exe minimal_button_window.exe plain_window.exe\n");
        return 2;
    }
    const HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP, 0, 0, 300, 200, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);

    std::printf("Talvern benchmark, median of %d runs (start-up: %d)\n\n", kRuns, kStartupRuns);
    std::printf("| %-26s | %12s | %12s | %-24s | %5s | %-22s |\n", "measure", "Talvern", "floor",
                "floor is", "ratio", "target");
    std::printf("|%s|%s|%s|%s|%s|%s|\n", std::string(28, '-').c_str(), std::string(14, '-').c_str(),
                std::string(14, '-').c_str(), std::string(26, '-').c_str(),
                std::string(7, '-').c_str(), std::string(24, '-').c_str());
    for (int count : {1000, 10000}) {
        Populate(count);
        const Pair times = Compare([&] { LoadViewerList(list); }, [] { BareLoop(); }, kRuns);
        const std::string what = "Listing " + std::to_string(count) + " viewers";
        Row(what.c_str(), times, "the same advapi32 calls",
            count == 10000 ? "<= 1.3x, under 1000 ms" : "<= 1.3x");
    }

    Populate(kStartupViewers);
    const auto talvern = [&] { Start(argv[1], [] { return Listed(L"TalvernMain"); }); };
    const auto emptyWindow = [](const wchar_t* exe) {
        return [exe] { Start(exe, [] { return VisibleWindow(L"MinimalWindow"); }); };
    };
    Row("Start-up, 20 viewers", Compare(talvern, emptyWindow(argv[2]), kStartupRuns),
        "one empty window", "none: shows the cost");
    Row("Start-up, 20 viewers", Compare(talvern, emptyWindow(argv[3]), kStartupRuns),
        "empty window, manifest", "none: shows the cost");
    Row("Start-up, 20 viewers", Compare(talvern, emptyWindow(argv[4]), kStartupRuns),
        "manifest, one button", "none: shows the cost");
    const auto plain = [&] { Start(argv[5], [] { return Listed(L"PlainWindow"); }); };
    Row("Start-up, 20 viewers", Compare(talvern, plain, kStartupRuns), "the same window, plainly",
        "<= 1.1x");
    Clear();

    WIN32_FILE_ATTRIBUTE_DATA file{};
    GetFileAttributesExW(argv[1], GetFileExInfoStandard, &file);
    std::printf("| %-26s | %9lu KB | %12s | %-24s | %5s | %-22s |\n", "Size of Talvern.exe",
                file.nFileSizeLow / 1024, "", "", "", "< 400 KB");
    DestroyWindow(list);
    return 0;
}

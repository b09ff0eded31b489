#include "app/basMain.h"

#include "AppInfo.h"
#include "ui/Layout.h"
#include "ui/SystemFunction.h"
#include "app/basFile.h"
#include "registry/clsRegistry.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_set>

namespace {

// Widens a narrow literal of plain ASCII, such as the names from AppInfo.h.
std::wstring Widen(const char* text) { return {text, text + strlen(text)}; }

// Lets the list scroll sideways to the end of its longest line; measuring that one line
// stands in for measuring thousands.
void ScrollToWidestLine(HWND list, const std::wstring& line) {
    const SIZE size = TextExtent(list, line);
    SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(size.cx + 2 * size.cy / 3), 0);
}

// A key name as the registry compares it: without regard to case.
std::wstring Folded(std::wstring name) {
    CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

// A REG_EXPAND_SZ text with its environment variables filled in.
std::wstring Expanded(const std::wstring& text) {
    std::wstring out(text.size() + 64, L'\0');
    for (;;) {
        const DWORD needed =
            ExpandEnvironmentStringsW(text.c_str(), out.data(), static_cast<DWORD>(out.size()));
        if (needed == 0) return text;
        if (needed <= out.size()) return out.substr(0, needed - 1);
        out.resize(needed);
    }
}

// "@module,-id" names a string resource; Explorer shows the string, or the text if it cannot.
std::wstring LoadedIndirect(const std::wstring& text) {
    if (!text.starts_with(L'@')) return text;
    static const auto load = SYSTEM_FUNCTION(L"shlwapi.dll", SHLoadIndirectString);
    wchar_t loaded[1024] = {};
    if (!load || FAILED(load(text.c_str(), loaded, static_cast<UINT>(std::size(loaded)), nullptr)))
        return text;
    return loaded;
}

// A single & marks the access key and is not shown; && shows as one &.
std::wstring WithoutAccessMarks(const std::wstring& text) {
    std::wstring shown;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && ++i == text.size()) break;
        shown += text[i];
    }
    return shown;
}

// The menu text Explorer shows: expanded, an indirect string loaded, access-key marks dropped;
// the key's name where the entry holds no text.
std::wstring MenuText(const Viewer& viewer) {
    if (viewer.text.empty()) return viewer.key;
    return WithoutAccessMarks(
        LoadedIndirect(viewer.textExpands ? Expanded(viewer.text) : viewer.text));
}

// The list's line: menu text, " = ", the shown command, and what Explorer does with the entry.
std::wstring ViewerLine(const Viewer& viewer) {
    return MenuText(viewer) + L" = " + ShownCommand(viewer.command) +
           (viewer.hidden ? L" (hidden)" : L"") + (viewer.shiftOnly ? L" (with Shift)" : L"") +
           (viewer.hive == Hive::JustMe ? L" (just me)" : L"");
}

}  // namespace

std::optional<Viewer> ReadViewer(clsRegistry& registry, Hive hive, const std::wstring& key) {
    Viewer viewer{hive, key};
    const NamedValue* menuText = nullptr;
    const NamedValue* display = nullptr;
    const auto values = registry.getValues(HiveRoot(hive), VerbKey(key));
    if (!values) return std::nullopt;
    for (const auto& value : *values) {
        // Explorer reads a text up to its first NUL, and only from a string that holds one.
        const bool text = (value.type == REG_SZ || value.type == REG_EXPAND_SZ) &&
                          !StripNulls(AsText(value.data)).empty();
        if (_wcsicmp(value.name.c_str(), kMenuTextValue) == 0) {
            if (text) menuText = &value;
        } else if (value.name.empty()) {
            if (text) display = &value;
        } else if (_wcsicmp(value.name.c_str(), kHiddenValue) == 0 ||
                   _wcsicmp(value.name.c_str(), kLegacyHiddenValue) == 0) {
            viewer.hidden = true;
        } else if (_wcsicmp(value.name.c_str(), kShiftOnlyValue) == 0) {
            viewer.shiftOnly = true;
        } else if (_wcsicmp(value.name.c_str(), kIconValue) == 0 && text) {
            viewer.icon = StripNulls(AsText(value.data));
        }
    }
    if (const NamedValue* stored = menuText ? menuText : display) {
        viewer.text = StripNulls(AsText(stored->data));
        viewer.textInMenuTextValue = stored == menuText;
        viewer.textExpands = stored->type == REG_EXPAND_SZ;
    }
    // Values that are not plain strings come back raw; their text ends at the first NUL.
    viewer.command = StripNulls(AsText(registry.getValue(HiveRoot(hive), CommandKey(key), L"")));
    return viewer;
}

HKEY HiveRoot(Hive hive) { return hive == Hive::AllUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

std::wstring VerbKey(const std::wstring& name) { return std::wstring(kViewersKey) + L"\\" + name; }

std::wstring CommandKey(const std::wstring& name) { return VerbKey(name) + L"\\command"; }

std::wstring FullVerbKey(Hive hive, const std::wstring& name) {
    // Registry Editor's own spelling of each.
    return (hive == Hive::AllUsers ? L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\*\\shell\\"
                                   : L"HKEY_CURRENT_USER\\Software\\Classes\\*\\shell\\") +
           name;
}

std::wstring CommandFor(const std::wstring& program) { return L"\"" + program + L"\" \"%1\""; }

std::wstring ProgramText(const std::wstring& command) {
    const size_t quotes = std::ranges::count(command, L'"');
    if (quotes == 4 && command.starts_with(L'"') && command.ends_with(L"\" \"%1\""))
        return command.substr(1, command.size() - 7);
    if (quotes == 0 && command.ends_with(L" %1")) return command.substr(0, command.size() - 3);
    return command;
}

std::wstring IconFor(const std::wstring& program) { return program + L",0"; }

bool IconOfCommand(const std::wstring& icon, const std::wstring& command) {
    // "file,index" or "file", the file quoted or not.
    std::wstring file = icon.substr(0, icon.rfind(L','));
    if (file.size() >= 2 && file.starts_with(L'"') && file.ends_with(L'"'))
        file = file.substr(1, file.size() - 2);
    std::wstring program = ProgramText(command);
    if (program == command)  // another program's command: its first argument
        program = command.starts_with(L'"') ? command.substr(1, command.find(L'"', 1) - 1)
                                            : command.substr(0, command.find(L' '));
    return _wcsicmp(file.c_str(), program.c_str()) == 0;
}

std::wstring ShownCommand(const std::wstring& command) {
    const size_t blank = command.rfind(L' ');
    if (blank == std::wstring::npos) return command;
    const std::wstring_view last = std::wstring_view(command).substr(blank + 1);
    // npos + 1 is 0: nothing but blanks before the %1.
    std::wstring program = command.substr(0, command.find_last_not_of(L' ', blank) + 1);
    // A %1 inside a quotation is not an argument of its own.
    if ((last != L"%1" && last != L"\"%1\"") || std::ranges::count(program, L'"') % 2)
        return command;
    if (program.size() >= 2 && program.front() == L'"' &&
        program.find(L'"', 1) == program.size() - 1)
        program = program.substr(1, program.size() - 2);
    return program;
}

std::wstring AppTitle() { return Widen(TALVERN_PRODUCT); }

std::wstring MainCaption() {
    return Widen(TALVERN_PRODUCT) + L" " + std::to_wstring(TALVERN_MAJOR) + L"." +
           std::to_wstring(TALVERN_MINOR);
}

std::wstring AppPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring AddBackslash(const std::wstring& path) {
    return !path.empty() && path.back() == L'\\' ? path : path + L'\\';
}

std::vector<Viewer> ReadViewerList() {
    std::vector<Viewer> viewers;
    clsRegistry registry;
    for (const Hive hive : {Hive::AllUsers, Hive::JustMe}) {
        // Where the code page maps two key names to one, the ANSI calls reach only one of them.
        std::unordered_set<std::wstring> listed;
        for (const auto& name : registry.enumSubKeys(HiveRoot(hive), kViewersKey))
            if (listed.insert(Folded(name)).second)
                if (std::optional<Viewer> viewer = ReadViewer(registry, hive, name))
                    viewers.push_back(std::move(*viewer));
    }
    return viewers;
}

void ShowViewerList(HWND List1, std::vector<Viewer>& viewers, int top, int selected) {
    // Thousands of lines go in without a redraw each, and the list is drawn once when done.
    SendMessageW(List1, WM_SETREDRAW, FALSE, 0);
    SendMessageW(List1, LB_RESETCONTENT, 0, 0);
    SendMessageW(List1, LB_INITSTORAGE, viewers.size(), viewers.size() * 64 * sizeof(wchar_t));
    std::wstring longest;
    for (size_t i = 0; i < viewers.size(); ++i) {
        std::wstring line = ViewerLine(viewers[i]);
        if (SendMessageW(List1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str())) < 0) {
            viewers.resize(i);
            break;
        }
        if (line.size() > longest.size()) longest = std::move(line);
    }
    ScrollToWidestLine(List1, longest);
    SendMessageW(List1, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    SendMessageW(List1, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    SendMessageW(List1, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(List1, nullptr, TRUE);
}

std::vector<Viewer> LoadViewerList(HWND List1) {
    std::vector<Viewer> viewers = ReadViewerList();
    ShowViewerList(List1, viewers);
    return viewers;
}

int LineOf(const std::vector<Viewer>& viewers, const Viewer& viewer) {
    const auto found = std::ranges::find_if(
        viewers, [&](const Viewer& v) { return v.hive == viewer.hive && v.key == viewer.key; });
    return found == viewers.end() ? -1 : static_cast<int>(found - viewers.begin());
}

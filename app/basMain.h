#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

class clsRegistry;

// A viewer is a verb key below Software\Classes\*\shell whose default value is its display
// name, and its command key, whose default value is the command Explorer runs on the chosen file.
// It is kept for every user in the machine's hive, or for the signed-in user alone in theirs;
// Explorer shows both.
enum class Hive { AllUsers, JustMe };
HKEY HiveRoot(Hive hive);
inline constexpr wchar_t kViewersKey[] = L"Software\\Classes\\*\\shell";
// Paths below the hive's root.
std::wstring VerbKey(const std::wstring& name);
std::wstring CommandKey(const std::wstring& name);
// The verb key's full name, as Registry Editor names it.
std::wstring FullVerbKey(Hive hive, const std::wstring& name);

// A verb key's named values that Explorer reads besides its default value.
inline constexpr wchar_t kMenuTextValue[] = L"MUIVerb";
inline constexpr wchar_t kShiftOnlyValue[] = L"Extended";
inline constexpr wchar_t kHiddenValue[] = L"ProgrammaticAccessOnly";
inline constexpr wchar_t kLegacyHiddenValue[] = L"LegacyDisable";
inline constexpr wchar_t kIconValue[] = L"Icon";

// What one verb key below *\shell says about its entry, read once.
struct Viewer {
    Hive hive = Hive::AllUsers;
    std::wstring key;
    // The menu text as stored, MUIVerb before the default value; empty when neither holds text.
    std::wstring text;
    bool textInMenuTextValue = false;
    bool textExpands = false;  // stored as REG_EXPAND_SZ
    std::wstring command;
    bool hidden = false;     // never on the menu, though programs may still run it
    bool shiftOnly = false;  // on the menu only while Shift is held
    std::wstring icon;       // the Icon value: the file Explorer draws beside the entry
    bool operator==(const Viewer&) const = default;
};

// Nothing when the key cannot be read, as when the code page cannot name it.
std::optional<Viewer> ReadViewer(clsRegistry& registry, Hive hive, const std::wstring& key);

// The command that starts the program on the chosen file: both quoted, so that Explorer hands
// a path with blanks over as one argument.
std::wstring CommandFor(const std::wstring& program);
// The program of a command in either form Talvern writes; any other command whole.
std::wstring ProgramText(const std::wstring& command);
// The Icon value that draws the program's first icon.
std::wstring IconFor(const std::wstring& program);
// Whether an Icon value names the program that the command starts.
bool IconOfCommand(const std::wstring& icon, const std::wstring& command);
// What the list shows of a command: the program path of one written by CommandFor or in the
// older unquoted form; of any other, all but a last argument of %1.
std::wstring ShownCommand(const std::wstring& command);

// The application title, also the title of message boxes without one of their own.
std::wstring AppTitle();
// The main window's caption: product name and major.minor version.
std::wstring MainCaption();
// The directory the program runs from, without a trailing backslash.
std::wstring AppPath();

// The path with "\" appended, unless it already ends in one.
std::wstring AddBackslash(const std::wstring& path);

// The viewers registered for all files: every user's first, then the user's own, each hive in
// the registry's order.
std::vector<Viewer> ReadViewerList();
// Fills List1 afresh with one line per viewer, the line `top` scrolled to the top where the lines
// allow and the line `selected` selected (-1: none); viewers the list cannot take are dropped.
void ShowViewerList(HWND List1, std::vector<Viewer>& viewers, int top = 0, int selected = -1);
// Both: returns the viewer of each line, in the order of the lines.
std::vector<Viewer> LoadViewerList(HWND List1);
// The line of the viewer kept in the same hive under the same key; -1 where there is none.
int LineOf(const std::vector<Viewer>& viewers, const Viewer& viewer);

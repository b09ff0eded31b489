#include "app/frmMain.h"

#include "about/frmAbout.h"
#include "ui/Contrast.h"
#include "ui/Layout.h"
#include "app/basDeleted.h"
#include "app/basFile.h"
#include "app/basMain.h"
#include "app/basViewer.h"
#include "registry/Ansi.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <cwctype>
#include <memory>

namespace {

const wchar_t kClassName[] = L"TalvernMain";
constexpr int kWidth = 5055;  // client area, twips
constexpr int kHeight = 3375;

// Posted by the watch on the viewers' keys.
constexpr UINT kRegistryChanged = WM_APP + 1;
constexpr UINT kSettleMilliseconds = 200;

// The registry reads a name or a command of at most this many bytes back.
constexpr size_t kMaxListedBytes = 254;

using K = ControlKind;
using F = frmMain;
// clang-format off
constexpr std::array<ControlSpec, 18> kControls{{
    {F::Frame1,        K::Panel,    0,         nullptr,                                      120,    0, 4815, 3255, 0, WS_VISIBLE},
    {F::Label3,        K::Label,    F::Frame1, L"Current Viewers (Name = Path and Program)", 240,  360, 3495,  255, 0, 0, F::List1},
    {F::List1,         K::ListBox,  F::Frame1, L"",                                          240,  600, 4335, 2010, 1, 0},
    {F::cmdAdd,        K::Button,   F::Frame1, L"Add New",                                   240, 2760,  975,  255, 2, 0},
    {F::cmdDelete,     K::Button,   F::Frame1, L"Delete",                                   1360, 2760,  975,  255, 3, WS_DISABLED},
    {F::cmdEdit,       K::Button,   F::Frame1, L"Edit",                                     2480, 2760,  975,  255, 4, WS_DISABLED},
    {F::cmdAbout,      K::Button,   F::Frame1, L"About",                                    3600, 2760,  975,  255, 5, 0},
    {F::Frame2,        K::Panel,    0,         nullptr,                                      120,    0, 4815, 3255, 0, 0},
    {F::Label1,        K::Label,    F::Frame2, L"Enter the Viewer Name:",                    240,  360, 2415,  255, 0, 0, F::txtName},
    {F::txtName,       K::TextBox,  F::Frame2, L"",                                          240,  600, 2415,  285, 1, 0},
    {F::Label2,        K::Label,    F::Frame2, L"Enter the Program Path and Name:",          240, 1080, 2775,  255, 0, 0, F::txtFilePath},
    {F::txtFilePath,   K::TextBox,  F::Frame2, L"",                                          240, 1320, 4335,  285, 2, 0},
    {F::cmdBrowse,     K::Button,   F::Frame2, L"Browse",                                   3840, 1680,  735,  255, 3, 0},
    {F::chkShowOnMenu, K::CheckBox, F::Frame2, L"Show on the menu",                          240, 1680, 3375,  255, 4, 0},
    {F::chkShiftOnly,  K::CheckBox, F::Frame2, L"Only with Shift",                           240, 1980, 3375,  255, 5, 0},
    {F::chkAllUsers,   K::CheckBox, F::Frame2, L"For all users",                             240, 2280, 4335,  255, 6, 0},
    {F::cmdCancel,     K::Button,   F::Frame2, L"Cancel",                                   2520, 2760,  975,  255, 7, 0},
    {F::cmdSave,       K::Button,   F::Frame2, L"Save",                                     3600, 2760,  975,  255, 8, 0},
}};
// clang-format on

// The list panel's controls come first, then the edit panel's: those are made on first use,
// since the first paint shows only the list.
constexpr auto kEditPanel = std::find_if(kControls.begin(), kControls.end(),
                                         [](const ControlSpec& c) { return c.id == F::Frame2; });

// Text that the ANSI registry calls would carry unchanged.
bool SurvivesAnsi(const std::wstring& text) { return FromAnsi(ToAnsi(text)) == text; }

// A menu text the registry class writes and reads back whole.
bool IsValidText(const std::wstring& text) {
    return !text.empty() && SurvivesAnsi(text) && ToAnsi(text).size() <= kMaxListedBytes;
}

// A viewer name the list can show and Delete can reach: one key, readable back whole, whose
// command key's path is not too long for the ANSI registry calls (they take MAX_PATH).
bool IsValidName(const std::wstring& name) {
    return IsValidText(name) && name.find(L'\\') == std::wstring::npos &&
           CommandKey(name).size() <= MAX_PATH;
}

// What the edit panel shows as the viewer's name: its stored text, else its key's name.
std::wstring EditedText(const Viewer& viewer) {
    return viewer.text.empty() ? viewer.key : viewer.text;
}

struct SearchClose {
    void operator()(HANDLE search) const noexcept { FindClose(search); }
};

// A drive and its root, as C:\Tools\x.exe, or a network share, as \\server\share\x.exe.
bool IsFullPath(const std::wstring& path) {
    const bool onDrive = path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' &&
                         (path[2] == L'\\' || path[2] == L'/');
    return onDrive || path.starts_with(L"\\\\");
}

// One existing file, neither hidden nor a system file, named by its full path (Explorer does
// not start commands from this program's current directory), whose command the list can
// read back.
bool IsValidProgramPath(const std::wstring& path) {
    if (path.empty() || path.find_first_of(L"*?") != std::wstring::npos || path.back() == L'\\' ||
        path.back() == L'/' || !IsFullPath(path) || !SurvivesAnsi(path) ||
        ToAnsi(CommandFor(path)).size() > kMaxListedBytes)
        return false;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    std::unique_ptr<void, SearchClose> closer(search);
    return !(found.dwFileAttributes &
             (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

// The system's words for an error code.
std::wstring SystemText(LONG error) {
    wchar_t text[512] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(error), 0, text,
                                        static_cast<DWORD>(std::size(text)), nullptr);
    if (error == ERROR_SUCCESS || length == 0)
        return L"The registry refused the change (error " + std::to_wstring(error) + L").";
    std::wstring result(text, length);
    while (!result.empty() && std::iswspace(result.back())) result.pop_back();
    return result;
}

// Why a change was refused, in words a user can act on.
std::wstring Reason(LONG error, Hive hive) {
    if (error == ERROR_ACCESS_DENIED && hive == Hive::AllUsers)
        return L"Changing viewers for all users needs administrator rights. Close Talvern, then "
               L"right-click it and choose \"Run as administrator\".";
    if (error == ERROR_KEY_DELETED)
        return L"Another program removed this viewer since it was listed. Cancel, then Add New to "
               L"make it again.";
    return SystemText(error);
}

}  // namespace

frmMain::~frmMain() {
    if (hwnd_) DestroyWindow(hwnd_);
}

bool frmMain::Create(int showCommand) {
    if (!CreateTopLevel(kClassName, nullptr, WS_EX_CONTROLPARENT,
                        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, nullptr))
        return false;
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    return true;
}

LRESULT frmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            CreateControls(hwnd_, {kControls.begin(), kEditPanel});
            // Sized first: labels are fitted within the client area.
            SizeAndCenter(hwnd_, kWidth, kHeight, GetDpiForWindow(hwnd_));
            ApplyDpi(GetDpiForWindow(hwnd_));
            Form_Load();
            return 0;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return OnColorStatic(reinterpret_cast<HDC>(wParam));
        case WM_ERASEBKGND:
            return OnEraseBackground(reinterpret_cast<HDC>(wParam));
        case WM_SETTINGCHANGE:
        case WM_SYSCOLORCHANGE:
            RepaintWhole(hwnd_);
            return 0;
        case WM_ACTIVATE:
            OnActivate(LOWORD(wParam) != WA_INACTIVE);
            return 0;
        case WM_DPICHANGED:
            return OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        case kRegistryChanged:
            Registry_Change();
            return 0;
        case WM_TIMER:
            if (wParam == Timer1) Timer1_Timer();
            return 0;
        case WM_DESTROY:
            watch_.reset();
            return 0;
        case WM_NCDESTROY:
            return 0;
        default:
            return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void frmMain::OnCommand(int id, int notification) {
    if (id == List1) {
        if (notification == LBN_SELCHANGE) List1_Click();
        if (notification == LBN_DBLCLK) List1_DblClick();
        return;
    }
    // Enter: the window has no default button, so only the list acts on it.
    if (id == IDOK) {
        if (GetFocus() == Item(List1)) cmdEdit_Click();
        return;
    }
    if (notification != BN_CLICKED) return;
    switch (id) {
        case cmdAdd:
            cmdAdd_Click();
            break;
        case cmdSave:
            cmdSave_Click();
            break;
        case cmdCancel:
            cmdCancel_Click();
            break;
        case cmdBrowse:
            cmdBrowse_Click();
            break;
        case cmdDelete:
            cmdDelete_Click();
            break;
        case cmdEdit:
            cmdEdit_Click();
            break;
        case cmdAbout:
            cmdAbout_Click();
            break;
    }
}

LRESULT frmMain::OnColorStatic(HDC dc) {
    SetTextColor(dc, ColorFor(RGB(0, 0, 0), COLOR_BTNTEXT));
    SetBkColor(dc, ColorFor(kBackground, COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(Background());
}

LRESULT frmMain::OnEraseBackground(HDC dc) {
    RECT rect;
    GetClientRect(hwnd_, &rect);
    FillRect(dc, &rect, Background());
    return 1;
}

HBRUSH frmMain::Background() const {
    return highContrastOn() ? GetSysColorBrush(COLOR_BTNFACE) : background_.get();
}

// The control that had the focus gets it back when the window is active again, as after a
// message box; otherwise the focus would rest on the window itself, out of the keyboard's reach.
void frmMain::OnActivate(bool active) {
    if (!active) {
        focus_ = GetFocus();
        return;
    }
    if (!focus_ || !IsChild(hwnd_, focus_) || !IsWindowVisible(focus_) || !IsWindowEnabled(focus_))
        focus_ = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    SetFocus(focus_);
}

LRESULT frmMain::OnDpiChanged(UINT dpi, const RECT& suggested) {
    SizeAt(hwnd_, kWidth, kHeight, dpi, {suggested.left, suggested.top});
    ApplyDpi(dpi);
    return 0;
}

void frmMain::ApplyDpi(UINT dpi) {
    dpi_ = dpi;
    UniqueFont font = MessageFont(dpi);
    PlaceControls(hwnd_, kControls, dpi, font.get());
    FitLabels(hwnd_, kControls, dpi);
    font_ = std::move(font);
}

// The watch starts first: what changes while the list is read is read again.
void frmMain::Form_Load() {
    SetWindowTextW(hwnd_, MainCaption().c_str());
    watch_.emplace(hwnd_, kRegistryChanged,
                   std::vector<KeyWatch::Key>{{HiveRoot(Hive::AllUsers), kViewersKey},
                                              {HiveRoot(Hive::JustMe), kViewersKey}});
    LoadList();
}

// Something changed below either hive's *\shell. An installer writes many values in a row: the
// list is read once they stop for a moment.
void frmMain::Registry_Change() {
    watch_->Handled();
    SetTimer(hwnd_, Timer1, kSettleMilliseconds, nullptr);
}

// Only a list that differs is shown, the selected viewer still selected while it is there, at the
// same scroll position; Delete, Edit, the edit panel and the focus are left as they are.
void frmMain::Timer1_Timer() {
    KillTimer(hwnd_, Timer1);
    std::vector<Viewer> viewers = ReadViewerList();
    if (viewers == viewers_) return;
    const HWND list = Item(List1);
    const LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
    const int keep = selected >= 0 && static_cast<size_t>(selected) < viewers_.size()
                         ? LineOf(viewers, viewers_[static_cast<size_t>(selected)])
                         : -1;
    ShowViewerList(list, viewers, static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0)), keep);
    viewers_ = std::move(viewers);
}

void frmMain::cmdAdd_Click() {
    editing_.reset();
    const bool allUsers = MayWriteForAllUsers();
    ShowEditPanel(true, Viewer{allUsers ? Hive::AllUsers : Hive::JustMe});
    // Only an administrator may write for every user: the box says so where that is not allowed.
    EnableWindow(Item(chkAllUsers), allUsers);
    if (!allUsers) SetText(chkAllUsers, L"For all users (needs administrator rights)");
}

void frmMain::cmdEdit_Click() {
    const LRESULT selected = SendMessageW(Item(List1), LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR || static_cast<size_t>(selected) >= viewers_.size()) {
        Message(L"Please select a viewer to edit!", L"Select a viewer..",
                MB_ICONINFORMATION | MB_OK);
        return;
    }
    editing_ = viewers_[static_cast<size_t>(selected)];
    // An entry is not moved between hives: the box shows where it is kept.
    ShowEditPanel(true, *editing_);
    EnableWindow(Item(chkAllUsers), FALSE);
}

// Saves a new viewer whole; of an edited one, only what the user changed, into its own key.
void frmMain::cmdSave_Click() {
    ViewerEdit edit{Text(txtName), Text(txtFilePath)};
    edit.textChanged = !editing_ || edit.text != EditedText(*editing_);
    edit.programChanged = !editing_ || edit.program != ProgramText(editing_->command);
    edit.shown = Checked(chkShowOnMenu), edit.shiftOnly = Checked(chkShiftOnly);
    if (edit.textChanged && !(editing_ ? IsValidText(edit.text) : IsValidName(edit.text))) {
        Message(L"Not a Valid Name!", AppTitle(), MB_ICONINFORMATION | MB_OK);
        SetFocus(Item(txtName));
        return;
    }
    if (edit.programChanged && !IsValidProgramPath(edit.program)) {
        Message(L"Not a Valid Program Path!", AppTitle(), MB_ICONINFORMATION | MB_OK);
        SetFocus(Item(txtFilePath));
        return;
    }
    const Hive hive = editing_               ? editing_->hive
                      : Checked(chkAllUsers) ? Hive::AllUsers
                                             : Hive::JustMe;
    const LONG error = editing_ ? SaveEditedViewer(*editing_, edit) : SaveNewViewer(hive, edit);
    LoadList();
    if (error != ERROR_SUCCESS) {
        Message(L"The viewer could not be saved.\n\n" + Reason(error, hive), AppTitle(),
                MB_ICONERROR | MB_OK);
        SetFocus(Item(txtName));
        return;
    }
    ShowEditPanel(false);
}

void frmMain::cmdCancel_Click() { ShowEditPanel(false); }

void frmMain::cmdBrowse_Click() {
    const std::wstring current = Text(txtFilePath);
    SetText(txtFilePath, ShowFileDialog(hwnd_, 1, L"Select the Executable", L"All Files (*.*)",
                                        L"*.*", AddBackslash(AppPath()), current));
}

void frmMain::List1_Click() { EnableDeleteAndEdit(true); }

void frmMain::List1_DblClick() { cmdEdit_Click(); }

void frmMain::cmdDelete_Click() {
    const LRESULT selected = SendMessageW(Item(List1), LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR || static_cast<size_t>(selected) >= viewers_.size()) {
        Message(L"Please select a viewer to delete!", L"Select a viewer..",
                MB_ICONINFORMATION | MB_OK);
        return;
    }
    const auto length = SendMessageW(Item(List1), LB_GETTEXTLEN, static_cast<WPARAM>(selected), 0);
    std::wstring line(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    SendMessageW(Item(List1), LB_GETTEXT, static_cast<WPARAM>(selected),
                 reinterpret_cast<LPARAM>(line.data()));
    line.resize(wcslen(line.c_str()));
    // The key the line was read from, in its own hive, whatever its display name says; taken
    // before the question, while which the list may follow the registry.
    const Viewer viewer = viewers_[static_cast<size_t>(selected)];
    const std::wstring folder = DeletedViewersFolder();
    if (Message(L"Are you sure you want to delete the current viewer?\r\r" + line +
                    L"\r\rA copy goes to " + folder + L" first; opening it brings the viewer back.",
                L"Confirm Delete..", MB_ICONQUESTION | MB_YESNO) != IDYES)
        return;

    const DeleteOutcome outcome = DeleteViewer(viewer, folder);
    if (outcome.copyFailed) {
        Message(L"Nothing was deleted: the viewer's copy could not be written.\n\n" +
                    SystemText(outcome.error),
                AppTitle(), MB_ICONERROR | MB_OK);
        return;
    }
    LoadList();
    if (outcome.error != ERROR_SUCCESS) {
        // The entry is still there: it stays selected, so Delete can be tried again.
        if (const int at = LineOf(viewers_, viewer); at >= 0) {
            SendMessageW(Item(List1), LB_SETCURSEL, static_cast<WPARAM>(at), 0);
            List1_Click();
        }
        Message(L"The viewer could not be deleted.\n\n" + Reason(outcome.error, viewer.hive),
                AppTitle(), MB_ICONERROR | MB_OK);
        return;
    }
    EnableDeleteAndEdit(false);
    // A disabled button loses the focus; it goes to the list instead of nowhere.
    SetFocus(Item(List1));
}

void frmMain::cmdAbout_Click() { frmAbout::Show(); }

// The list made afresh has no line selected; Delete and Edit keep their state, and say so
// when pressed.
void frmMain::LoadList() { viewers_ = LoadViewerList(Item(List1)); }

void frmMain::EnableDeleteAndEdit(bool enable) {
    EnableWindow(Item(cmdDelete), enable);
    EnableWindow(Item(cmdEdit), enable);
}

// The focus goes with the panel, never staying on a control that is hidden. The boxes are
// filled as they are shown, so that a cancelled text never comes back.
void frmMain::ShowEditPanel(bool edit, const Viewer& viewer) {
    if (edit && !Item(Frame2)) {
        CreateControls(hwnd_, {kEditPanel, kControls.end()});
        ApplyDpi(dpi_);
    }
    if (Item(Frame2)) {
        SetText(txtName, EditedText(viewer));
        SetText(txtFilePath, ProgramText(viewer.command));
        SetText(chkAllUsers, L"For all users");
        for (auto [box, on] : {std::pair{chkShowOnMenu, !viewer.hidden},
                               {chkShiftOnly, viewer.shiftOnly},
                               {chkAllUsers, viewer.hive == Hive::AllUsers}})
            CheckDlgButton(Item(Frame2), box, on ? BST_CHECKED : BST_UNCHECKED);
    }
    ShowWindow(Item(edit ? Frame1 : Frame2), SW_HIDE);
    ShowWindow(Item(edit ? Frame2 : Frame1), SW_SHOW);
    SetFocus(Item(edit ? txtName : cmdAdd));
}

HWND frmMain::Item(int id) const { return FindControl(hwnd_, id); }

std::wstring frmMain::Text(int id) const { return TextOf(Item(id)); }

void frmMain::SetText(int id, const std::wstring& text) { SetWindowTextW(Item(id), text.c_str()); }

bool frmMain::Checked(int id) const {
    return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int frmMain::Message(const std::wstring& text, const std::wstring& title, UINT style) {
    return MessageBoxW(hwnd_, text.c_str(), title.c_str(), style);
}

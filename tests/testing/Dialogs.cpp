#include "tests/testing/Dialogs.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPoll = std::chrono::milliseconds(5);
// Buttons that message boxes and dialogs use.
constexpr int kButtonIds[] = {IDOK, IDCANCEL, IDABORT, IDRETRY,    IDIGNORE,  IDYES,
                              IDNO, IDCLOSE,  IDHELP,  IDTRYAGAIN, IDCONTINUE};

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

bool IsDialogOf(HWND window, DWORD threadId) {
    DWORD processId = 0;
    return GetWindowThreadProcessId(window, &processId) == threadId &&
           processId == GetCurrentProcessId() && ClassOf(window) == kDialogClass;
}

struct DialogSearch {
    DWORD threadId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<DialogSearch*>(param);
    if (IsDialogOf(window, search.threadId)) search.found.push_back(window);
    return TRUE;
}

// The thread's top-level dialogs in z-order, top first.
std::vector<HWND> DialogsOf(DWORD threadId) {
    DialogSearch search{threadId, {}};
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The direct child with the ID and window class.
HWND FindItem(HWND dialog, int id, const wchar_t* className) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) == id && ClassOf(child) == className) return child;
    }
    return nullptr;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::string Describe(HWND dialog) {
    // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) about "..." + std::string.
    std::string out(1, '"');
    out.append(Utf8(WindowText(dialog))).append(1, '"');
    const std::wstring text = ItemText(dialog, 0xFFFF);  // a message box's text
    if (!text.empty()) out.append(" saying \"").append(Utf8(text)).append(1, '"');
    return out;
}

}  // namespace

HWND FindDialogOf(DWORD threadId) {
    for (HWND dialog : DialogsOf(threadId)) {
        if (IsWindowVisible(dialog) && IsWindowEnabled(dialog)) return dialog;
    }
    return nullptr;
}

std::wstring WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

std::wstring ItemText(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    return item ? WindowText(item) : std::wstring();
}

bool ItemVisible(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    return item && IsWindowVisible(item);
}

bool PressButton(HWND dialog, int id) {
    HWND button = FindItem(dialog, id, L"Button");
    if (!button || !IsWindowVisible(button) || !IsWindowEnabled(button)) return false;
    return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(button)) != FALSE;
}

void CloseDialog(HWND dialog) { PostMessageW(dialog, WM_CLOSE, 0, 0); }

MessageBoxView ReadMessageBox(HWND dialog) {
    MessageBoxView view;
    view.owner = GetWindow(dialog, GW_OWNER);
    view.title = WindowText(dialog);
    view.text = ItemText(dialog, 0xFFFF);
    if (HWND icon = GetDlgItem(dialog, stc1)) {
        view.icon = reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0));
    }
    for (int id : kButtonIds) {
        HWND button = FindItem(dialog, id, L"Button");
        if (!button || !IsWindowVisible(button)) continue;
        view.buttons.push_back(id);
        if ((GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            view.defaultButton = id;
        }
    }
    std::sort(view.buttons.begin(), view.buttons.end());
    return view;
}

FileDialogView ReadFileDialog(HWND dialog) {
    FileDialogView view;
    view.owner = GetWindow(dialog, GW_OWNER);
    view.ownerEnabled = view.owner && IsWindowEnabled(view.owner);
    view.title = WindowText(dialog);
    if (HWND ok = FindItem(dialog, IDOK, L"Button")) view.okText = WindowText(ok);

    // The dialog answers in the character set of the call that made it.
    if (IsWindowUnicode(dialog)) {
        wchar_t path[MAX_PATH] = {};
        if (SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(path)) > 0)
            view.folder = path;
    } else {
        char path[MAX_PATH] = {};
        if (SendMessageA(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(path)) > 0) {
            wchar_t wide[MAX_PATH] = {};
            MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH);
            view.folder = wide;
        }
    }

    view.fileName = ItemText(dialog, cmb13);
    if (HWND types = GetDlgItem(dialog, cmb1)) {
        const auto count = SendMessageW(types, CB_GETCOUNT, 0, 0);
        for (WPARAM i = 0; count > 0 && i < static_cast<WPARAM>(count); ++i) {
            std::wstring text(static_cast<size_t>(SendMessageW(types, CB_GETLBTEXTLEN, i, 0)) + 1,
                              L'\0');
            text.resize(static_cast<size_t>(
                SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
            view.filters.push_back(text);
        }
    }
    view.readOnlyVisible = ItemVisible(dialog, chx1);
    view.resizable = (GetWindowLongW(dialog, GWL_STYLE) & WS_THICKFRAME) != 0;
    view.placesBar = ItemVisible(dialog, ctl1);
    if (HWND shellView = FindWindowExW(dialog, nullptr, L"SHELLDLL_DefView", nullptr)) {
        if (HWND list = FindWindowExW(shellView, nullptr, WC_LISTVIEWW, nullptr)) {
            view.listedItems = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        }
    }
    return view;
}

bool ChooseFile(HWND dialog, const std::wstring& name) {
    if (!SetDlgItemTextW(dialog, cmb13, name.c_str())) return false;
    return PressButton(dialog, IDOK);
}

DialogWatcher::DialogWatcher(std::vector<Answer> answers, std::chrono::milliseconds timeout)
    : answers_(std::move(answers)), timeout_(timeout), threadId_(GetCurrentThreadId()) {
    thread_ = std::thread(&DialogWatcher::Run, this);
}

DialogWatcher::DialogWatcher(Answer answer, std::chrono::milliseconds timeout)
    : DialogWatcher(std::vector<Answer>{std::move(answer)}, timeout) {}

DialogWatcher::~DialogWatcher() { Finish(); }

int DialogWatcher::Finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return answered_;
}

std::string DialogWatcher::Report() const {
    std::string out;
    for (const auto& problem : problems_) out += problem + "\n";
    return out;
}

bool DialogWatcher::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                              bool stoppable) const {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= deadline || (stoppable && stop_)) return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

void DialogWatcher::Run() {
    const auto ms = std::to_string(timeout_.count()) + " ms";
    for (size_t i = 0; i < answers_.size(); ++i) {
        const std::string which =
            "dialog " + std::to_string(i + 1) + " of " + std::to_string(answers_.size());
        HWND dialog = nullptr;
        if (!WaitUntil([&] { return (dialog = FindDialogOf(threadId_)) != nullptr; }, timeout_,
                       true)) {
            if (stop_) return;  // the modal call is over: it showed fewer dialogs
            problems_.push_back(which + " did not appear within " + ms);
            CloseAll();
            return;
        }
        // Sent messages are handled when the dialog's thread next waits for a message, which is
        // after the dialog has finished setting itself up.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(timeout_.count()),
                            &ignored);
        const std::string described = Describe(dialog);
        answers_[i](dialog);
        if (!WaitUntil([&] { return !IsWindow(dialog); }, timeout_, false)) {
            problems_.push_back(which + ", " + described + ", was still open " + ms +
                                " after its answer");
            CloseAll();
            return;
        }
        ++answered_;
    }
}

void DialogWatcher::CloseAll() {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    std::vector<HWND> seen;
    for (;;) {
        const auto dialogs = DialogsOf(threadId_);
        if (dialogs.empty()) return;
        if (Clock::now() >= deadline) {
            problems_.push_back("could not close " + Describe(dialogs.front()));
            return;
        }
        // Top first, so that a message box over a dialog goes before it. Cancel first; a
        // dialog that is still there the next time round gets the close box.
        for (HWND dialog : dialogs) {
            if (std::find(seen.begin(), seen.end(), dialog) == seen.end()) {
                seen.push_back(dialog);
                problems_.push_back("closed " + Describe(dialog));
                PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            } else {
                CloseDialog(dialog);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

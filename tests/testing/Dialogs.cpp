#include "tests/testing/Dialogs.h"

#include <commdlg.h>
#include <dlgs.h>

#include <utility>

namespace {

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

struct Search {
    DWORD threadId;
    HWND found;
};

// Windows come top first, so a message box over a file dialog is found before it.
BOOL CALLBACK MatchDialog(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<Search*>(param);
    if (GetWindowThreadProcessId(window, nullptr) != search.threadId ||
        ClassOf(window) != L"#32770" || !IsWindowVisible(window) || !IsWindowEnabled(window))
        return TRUE;
    search.found = window;
    return FALSE;
}

bool Closes(HWND dialog, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (IsWindow(dialog) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return !IsWindow(dialog);
}

HWND ShownItem(HWND dialog, int id) {
    const HWND item = GetDlgItem(dialog, id);
    return item && IsWindowVisible(item) ? item : nullptr;
}

}  // namespace

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool PressButton(HWND dialog, int id) {
    const HWND button = ShownItem(dialog, id);
    return button && IsWindowEnabled(button) &&
           PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(button));
}

void CloseDialog(HWND dialog) { PostMessageW(dialog, WM_CLOSE, 0, 0); }

MessageBoxView ReadMessageBox(HWND dialog) {
    MessageBoxView view{
        GetWindow(dialog, GW_OWNER),
        WindowText(dialog),
        WindowText(GetDlgItem(dialog, 0xFFFF)),
        reinterpret_cast<HICON>(SendDlgItemMessageW(dialog, stc1, STM_GETICON, 0, 0)),
        {}};
    for (int id = IDOK; id <= IDCONTINUE; ++id)
        if (ShownItem(dialog, id)) view.buttons.push_back(id);
    return view;
}

FileDialogView ReadFileDialog(HWND dialog) {
    // The dialog answers in the character set of the call that made it.
    char folder[MAX_PATH] = {};
    SendMessageA(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
    wchar_t wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, folder, -1, wide, MAX_PATH);
    return {GetWindow(dialog, GW_OWNER), WindowText(dialog), wide};
}

bool ChooseFile(HWND dialog, const std::wstring& name) {
    return SetDlgItemTextW(dialog, cmb13, name.c_str()) && PressButton(dialog, IDOK);
}

DialogWatcher::DialogWatcher(Answer answer, std::chrono::milliseconds timeout)
    : answer_(std::move(answer)), timeout_(timeout), threadId_(GetCurrentThreadId()) {
    thread_ = std::thread(&DialogWatcher::Run, this);
}

DialogWatcher::~DialogWatcher() { Finish(); }

int DialogWatcher::Finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return answered_;
}

void DialogWatcher::Run() {
    while (!stop_) {
        Search search{threadId_, nullptr};
        EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
        const HWND dialog = search.found;
        if (!dialog) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        // Handled once the dialog waits for input, so it is set up by then.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(timeout_.count()),
                            &ignored);
        answer_(dialog);
        if (Closes(dialog, timeout_)) {
            ++answered_;
        } else {
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            Closes(dialog, timeout_);
        }
    }
}

std::vector<std::wstring> ListLines(HWND list) {
    std::vector<std::wstring> lines(static_cast<size_t>(SendMessageW(list, LB_GETCOUNT, 0, 0)));
    for (WPARAM i = 0; i < lines.size(); ++i) {
        lines[i].resize(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1);
        lines[i].resize(static_cast<size_t>(
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(lines[i].data()))));
    }
    return lines;
}

#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// Answering the modal windows of the code under test (message boxes, the common file dialog)
// from a watcher thread while the test's own thread is blocked inside the modal call. The modal
// loop on the test's thread keeps handling messages, so the watcher reads a dialog with messages
// sent to it and answers it with posted ones.
//
//     std::wstring text;
//     DialogWatcher watcher([&](HWND dialog) {
//         text = ReadMessageBox(dialog).text;
//         PressButton(dialog, IDYES);
//     });
//     SendMessageW(deleteButton, BM_CLICK, 0, 0);  // shows the message box, returns when closed
//     EXPECT_EQ(watcher.Finish(), 1) << watcher.Report();
//     EXPECT_EQ(text, L"...");
//
// The answers run on the watcher thread: read and record there, assert on the test's thread
// after Finish(). GoogleTest is built without thread support here.

// The dialog window class of message boxes and the common dialogs.
inline constexpr wchar_t kDialogClass[] = L"#32770";

// The top-level dialog that the given thread of this process shows: visible and enabled, the
// highest in the z-order when there are several (a message box over a file dialog); nullptr when
// there is none.
HWND FindDialogOf(DWORD threadId);

std::wstring WindowText(HWND window);
// The text of the dialog's item, the empty string when there is no such item.
std::wstring ItemText(HWND dialog, int id);
// Whether the dialog has the item and it is visible.
bool ItemVisible(HWND dialog, int id);
// Presses a button of the dialog, as a click would: only when it is there, visible and enabled
// (a message box ends with any ID it is given, even of a button it does not show). Returns
// whether it pressed. The click is posted, so the watcher is not held when it opens another
// modal window.
bool PressButton(HWND dialog, int id);
// Closes the dialog as its close box would.
void CloseDialog(HWND dialog);

// What a message box shows.
struct MessageBoxView {
    HWND owner = nullptr;
    std::wstring title;
    std::wstring text;
    // The icon; compare with LoadIcon(nullptr, IDI_QUESTION) and the like, which give the
    // same shared handle. nullptr when it shows none.
    HICON icon = nullptr;
    // The IDs (IDOK, IDYES, ...) of the buttons it shows, in ascending order.
    std::vector<int> buttons;
    // The ID of the default button, 0 when none is.
    int defaultButton = 0;
};
MessageBoxView ReadMessageBox(HWND dialog);

// What the common Open or Save dialog (Explorer style) shows.
struct FileDialogView {
    HWND owner = nullptr;
    // Whether the owner takes input while the dialog is open.
    bool ownerEnabled = false;
    std::wstring title;
    // The caption of the OK button: "&Open" or "&Save" under Wine.
    std::wstring okText;
    // The directory shown, without a trailing backslash (but for a drive's root).
    std::wstring folder;
    // The text of the file-name field.
    std::wstring fileName;
    // The descriptions in the "Files of type" box, in order.
    std::vector<std::wstring> filters;
    // Whether the "Open as read-only" check box is shown.
    bool readOnlyVisible = false;
    // How many entries the file list shows, -1 when the list is not found.
    int listedItems = -1;
    // How Wine shows the record's form: an OFN_EXPLORER dialog can be resized (it has a
    // sizing border and grip), and one given the full 88-byte record with OFN_EXPLORER also
    // shows the places bar down its left side (not the 76-byte one).
    bool resizable = false;
    bool placesBar = false;
};
FileDialogView ReadFileDialog(HWND dialog);
// Types the text into the file-name field and presses OK. Returns whether it pressed.
bool ChooseFile(HWND dialog, const std::wstring& name);

// Watches the thread that creates it for the dialogs it shows and answers the n-th with the
// n-th answer. Each dialog must appear within `timeout` (from the start or the previous dialog's
// closing) and close within `timeout` of being answered. When one does not, the watcher records
// the problem and closes every dialog of the thread (cancel, then close) so that the modal call
// returns and the test fails instead of hanging.
class DialogWatcher {
  public:
    using Answer = std::function<void(HWND dialog)>;

    explicit DialogWatcher(std::vector<Answer> answers,
                           std::chrono::milliseconds timeout = std::chrono::seconds(10));
    explicit DialogWatcher(Answer answer,
                           std::chrono::milliseconds timeout = std::chrono::seconds(10));
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    // Stops waiting for dialogs that have not appeared and waits for the watcher to end.
    // Returns how many dialogs were answered and closed. Call it after the modal call returns.
    int Finish();
    // After Finish: what went wrong, one line each, empty when nothing did. A dialog that never
    // appeared before Finish is not counted as a problem; compare Finish() with the count.
    const std::vector<std::string>& Problems() const { return problems_; }
    // The problems as one text, for a failure message.
    std::string Report() const;

  private:
    void Run();
    bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                   bool stoppable) const;
    void CloseAll();

    std::vector<Answer> answers_;
    std::chrono::milliseconds timeout_;
    DWORD threadId_;
    std::atomic<bool> stop_{false};
    int answered_ = 0;
    std::vector<std::string> problems_;
    std::thread thread_;
};

#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// The modal windows of the code under test (message boxes, the common file dialog) are read
// and answered from a watcher thread while the test's thread is blocked in the modal call,
// whose loop keeps handling the messages the watcher sends. Read and record in the answer;
// assert on the test's thread after Finish(): GoogleTest is built without thread support here.

std::wstring WindowText(HWND window);
// Presses the button as a click would, when the dialog shows it (a message box ends with any
// ID it is given). Posted, so that an answer which opens another modal window returns.
bool PressButton(HWND dialog, int id);
// Closes the dialog as its close box would.
void CloseDialog(HWND dialog);

struct MessageBoxView {
    HWND owner = nullptr;
    std::wstring title;
    std::wstring text;
    // The shared handle that LoadIcon(nullptr, IDI_QUESTION) and the like give.
    HICON icon = nullptr;
    // IDOK, IDYES, ... of the buttons shown, in ascending order.
    std::vector<int> buttons;
};
MessageBoxView ReadMessageBox(HWND dialog);

// What the common Open dialog shows.
struct FileDialogView {
    HWND owner = nullptr;
    std::wstring title;
    std::wstring folder;  // without a trailing backslash
};
FileDialogView ReadFileDialog(HWND dialog);
// Types the name into the file-name field and presses OK.
bool ChooseFile(HWND dialog, const std::wstring& name);

// Answers each dialog that the creating thread shows with `answer`, until Finish. A dialog
// still open `timeout` after its answer is cancelled and not counted, so that the modal call
// returns and the test fails instead of hanging.
class DialogWatcher {
  public:
    using Answer = std::function<void(HWND dialog)>;

    explicit DialogWatcher(Answer answer,
                           std::chrono::milliseconds timeout = std::chrono::seconds(10));
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    // Stops watching; how many dialogs were answered and closed. Call it after the modal call.
    int Finish();

  private:
    void Run();

    Answer answer_;
    std::chrono::milliseconds timeout_;
    DWORD threadId_;
    std::atomic<bool> stop_{false};
    int answered_ = 0;
    std::thread thread_;
};

// The lines of a list box, of this process or another.
std::vector<std::wstring> ListLines(HWND list);

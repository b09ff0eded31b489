#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// Driving the About window as a user does: messages handled on the test's thread while it
// waits, the real mouse moved and clicked, and what the window draws read back as pixels.

using namespace std::chrono_literals;

// Handles the messages queued for this thread. WM_QUIT, which the last window's going posts, is
// taken off the queue and ignored, here and below.
void PumpPending();

// Handles this thread's messages until done() holds, checked after each one, or the timeout
// passes; whether it holds.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s);

// Handles this thread's messages until one with the given message and window has been
// dispatched, and no further; whether one was within the timeout.
bool PumpUntilDispatched(UINT message, HWND window, std::chrono::milliseconds timeout = 2s);

// The built Talvern.exe.
std::wstring TalvernPath();

// The visible top-level windows of this thread, top first.
std::vector<HWND> VisibleWindowsOfThread();
// The visible top-level windows of a process, top first.
std::vector<HWND> VisibleWindowsOfProcess(DWORD processId);

// The centre of a child window, in its own client coordinates.
POINT CentreOf(HWND window);

// Moves the mouse to the point of the window's client area and waits until the window has
// handled the move, before anything is repainted. False when something else is at that point or the
// move never arrives.
bool MoveMouseTo(HWND window, POINT client);
// Moves the mouse there and presses and releases the left button; true once the window has
// handled the press (a label's click comes with it).
bool ClickAt(HWND window, POINT client);

// The pointer the window asks for when the system sets it over the window without a move.
HCURSOR PointerOver(HWND window);

// The client area of a window as drawn by WM_PRINTCLIENT (WM_PRINT for a top-level window's
// own background), as Windows colour values, row by row from the top.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;

    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
    bool Contains(COLORREF colour) const;
};
Picture RenderClient(HWND window);
Picture RenderBackground(HWND window);

// The font a control draws with.
LOGFONTW FontOf(HWND control);

// A child's rectangle in its parent's client coordinates.
RECT RectInParent(HWND child);

#include "tests/about/AboutTesting.h"

#include <algorithm>
#include <memory>
#include <thread>
#include <type_traits>

namespace {

using Clock = std::chrono::steady_clock;

// Dispatches one queued message, if there is one, telling `seen` of it.
bool DispatchOne(const std::function<void(const MSG&)>& seen) {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return false;
    if (message.message == WM_QUIT) return true;
    TranslateMessage(&message);
    DispatchMessageW(&message);
    if (seen) seen(message);
    return true;
}

// Stops as soon as done() holds, so that what a message left behind (an invalid region, say)
// can still be seen.
bool Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout,
          const std::function<void(const MSG&)>& seen) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (done()) return true;
        if (DispatchOne(seen)) continue;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  static_cast<DWORD>(std::min<long long>(left.count(), 20)),
                                  QS_ALLINPUT);
    }
}

struct TopLevelSearch {
    const std::function<bool(HWND)>* wanted;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<TopLevelSearch*>(param);
    if (IsWindowVisible(window) && (*search.wanted)(window)) search.found.push_back(window);
    return TRUE;
}

std::vector<HWND> VisibleTopLevel(const std::function<bool(HWND)>& wanted) {
    TopLevelSearch search{&wanted, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void SendButton(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

struct DeleteDc {
    void operator()(HDC dc) const noexcept { DeleteDC(dc); }
};
struct DeleteBitmap {
    void operator()(HBITMAP bitmap) const noexcept { DeleteObject(bitmap); }
};

Picture Render(HWND window, UINT message, LPARAM flags) {
    RECT client;
    GetClientRect(window, &client);
    Picture picture{client.right, client.bottom, {}};
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, picture.width, -picture.height, 1, 32, BI_RGB};
    void* bits = nullptr;
    const std::unique_ptr<std::remove_pointer_t<HDC>, DeleteDc> dc(CreateCompatibleDC(nullptr));
    const std::unique_ptr<std::remove_pointer_t<HBITMAP>, DeleteBitmap> bitmap(
        CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dc || !bitmap || !bits) return {};
    const HGDIOBJ old = SelectObject(dc.get(), bitmap.get());
    SendMessageW(window, message, reinterpret_cast<WPARAM>(dc.get()), flags);
    GdiFlush();
    const auto* pixel = static_cast<const BYTE*>(bits);
    for (int i = 0; i < picture.width * picture.height; ++i, pixel += 4)
        picture.pixels.push_back(RGB(pixel[2], pixel[1], pixel[0]));
    SelectObject(dc.get(), old);
    return picture;
}

}  // namespace

void PumpPending() {
    while (DispatchOne(nullptr)) {
    }
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return Pump(done, timeout, nullptr);
}

bool PumpUntilDispatched(UINT message, HWND window, std::chrono::milliseconds timeout) {
    bool dispatched = false;
    return Pump([&] { return dispatched; }, timeout,
                [&](const MSG& seen) {
                    if (seen.message == message && seen.hwnd == window) dispatched = true;
                });
}

// The path as the build gives it; under Wine a Unix path names the same file on the current
// drive, which is the one that maps the Unix root.
std::wstring TalvernPath() {
    std::wstring path = L"" TALVERN_EXE;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::vector<HWND> VisibleWindowsOfThread() {
    const DWORD thread = GetCurrentThreadId();
    return VisibleTopLevel(
        [thread](HWND window) { return GetWindowThreadProcessId(window, nullptr) == thread; });
}

std::vector<HWND> VisibleWindowsOfProcess(DWORD processId) {
    return VisibleTopLevel([processId](HWND window) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        return owner == processId;
    });
}

POINT CentreOf(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    return {client.right / 2, client.bottom / 2};
}

bool MoveMouseTo(HWND window, POINT client) {
    POINT screen = client;
    ClientToScreen(window, &screen);
    if (WindowFromPoint(screen) != window) return false;
    SetCursorPos(screen.x, screen.y);
    return PumpUntilDispatched(WM_MOUSEMOVE, window);
}

bool ClickAt(HWND window, POINT client) {
    if (!MoveMouseTo(window, client)) return false;
    SendButton(MOUSEEVENTF_LEFTDOWN);
    SendButton(MOUSEEVENTF_LEFTUP);
    return PumpUntilDispatched(WM_LBUTTONDOWN, window);
}

HCURSOR PointerOver(HWND window) {
    SetCursor(nullptr);
    SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, 0));
    return GetCursor();
}

bool Picture::Contains(COLORREF colour) const {
    return std::find(pixels.begin(), pixels.end(), colour) != pixels.end();
}

Picture RenderClient(HWND window) { return Render(window, WM_PRINTCLIENT, PRF_CLIENT); }

Picture RenderBackground(HWND window) {
    return Render(window, WM_PRINT, PRF_CLIENT | PRF_ERASEBKGND);
}

LOGFONTW FontOf(HWND control) {
    LOGFONTW font{};
    const auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (handle) GetObjectW(handle, sizeof font, &font);
    return font;
}

RECT RectInParent(HWND child) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

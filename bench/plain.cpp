// The floor for Talvern's start-up: its first paint built plainly. The same window and list
// panel at their 96-DPI places in the message font, the viewers read with the same ANSI
// registry calls, Talvern's manifest and icon, the same message loop; nothing of Talvern's own
// code.
#include "bench/AnsiRegistry.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const COLORREF kBackground = RGB(224, 224, 224);
HBRUSH background;

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            SetBkColor(reinterpret_cast<HDC>(wParam), kBackground);
            return reinterpret_cast<LRESULT>(background);
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) SetFocus(GetNextDlgTabItem(hwnd, nullptr, FALSE));
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Name = program for each viewer; the widest line sets how far the list scrolls sideways.
void FillList(HWND list) {
    const HDC dc = GetDC(list);
    SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    for (const HKEY hive : kHives)
        for (const auto& name : ViewerKeys(hive)) {
            std::string display = MenuText(hive, kShell + name);
            if (display.empty()) display = name;
            std::string command = DefaultValue(hive, kShell + name + "\\command");
            if (command.size() >= 3) command.resize(command.size() - 3);
            const std::string line = display + " = " + command;
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
            SIZE size{};
            GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &size);
            widest = std::max(widest, size.cx + 2 * size.cy / 3);
        }
    ReleaseDC(list, dc);
    SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest), 0);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    background = CreateSolidBrush(kBackground);
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = L"PlainWindow";
    RegisterClassW(&wc);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT outer{0, 0, 337, 225};
    AdjustWindowRectEx(&outer, style, FALSE, WS_EX_CONTROLPARENT);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    const HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, L"PlainWindow", L"Plain 3.0", style,
                                        (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                        (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                                        nullptr, nullptr, instance, nullptr);

    NONCLIENTMETRICSW metrics{sizeof metrics};
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    const HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
    const auto make = [&](const wchar_t* className, const wchar_t* text, DWORD controlStyle,
                          DWORD exStyle, int x, int y, int cx, int cy) {
        const HWND control =
            CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | controlStyle, x, y,
                            cx, cy, window, nullptr, instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return control;
    };
    // In Talvern's keyboard order, at its places: the frame 8 pixels in from the window's edge,
    // its etched line 6 below its top.
    const DWORD button = WS_TABSTOP | BS_PUSHBUTTON;
    make(L"STATIC", L"", SS_ETCHEDFRAME, 0, 8, 6, 321, 211);
    make(L"STATIC", L"Current Viewers (Name = Path and Program)",
         SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY, 0, 24, 24, 233, 17);
    const HWND list = make(L"LISTBOX", L"",
                           WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                           WS_EX_CLIENTEDGE, 24, 40, 289, 134);
    make(L"BUTTON", L"Add New", button, 0, 24, 184, 65, 17);
    make(L"BUTTON", L"Delete", button | WS_DISABLED, 0, 98, 184, 65, 17);
    make(L"BUTTON", L"Edit", button | WS_DISABLED, 0, 173, 184, 65, 17);
    make(L"BUTTON", L"About", button, 0, 248, 184, 65, 17);
    FillList(list);
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

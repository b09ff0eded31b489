#pragma once

#include <windows.h>

namespace detail {
// Shared by every kind of top-level window: the program ends when the last one is gone.
inline int openWindows = 0;
}  // namespace detail

// Base of Talvern's top-level windows. The static window procedure keeps the object
// pointer from WM_NCCREATE and hands every message to Derived::HandleMessage; nothing
// thrown there gets past it.
template <class Derived>
class Window {
  public:
    HWND Handle() const noexcept { return hwnd_; }

  protected:
    // Registers the class (the application icon, the arrow pointer) and creates the window,
    // which the procedure ties to this object. False when it cannot be made.
    bool CreateTopLevel(const wchar_t* className, HBRUSH background, DWORD exStyle, DWORD style,
                        HWND owner) {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW wc{sizeof wc};
        wc.lpfnWndProc = Proc;
        wc.hInstance = instance;
        wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = background;
        wc.lpszClassName = className;
        RegisterClassExW(&wc);  // fails harmlessly when already registered
        CreateWindowExW(exStyle, className, L"", style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, owner, nullptr, instance, this);
        return hwnd_ != nullptr;
    }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        Derived* self = nullptr;
        if (message == WM_NCCREATE) {
            self = static_cast<Derived*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->hwnd_ = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            ++detail::openWindows;
        } else {
            self = reinterpret_cast<Derived*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        }
        if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);

        // The handler may delete the object here, so it is let go of first.
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
        }
        LRESULT result = 0;
        try {
            result = self->HandleMessage(message, wParam, lParam);
        } catch (...) {
            result = DefWindowProcW(hwnd, message, wParam, lParam);
        }
        if (message == WM_NCDESTROY && --detail::openWindows == 0) PostQuitMessage(0);
        return result;
    }

    HWND hwnd_ = nullptr;
};

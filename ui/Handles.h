#pragma once

#include <windows.h>
#include <unknwn.h>

#include <memory>
#include <type_traits>

struct GdiObjectDelete {
    void operator()(HGDIOBJ object) const noexcept { DeleteObject(object); }
};

using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDelete>;
using UniqueBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiObjectDelete>;

struct ComRelease {
    void operator()(IUnknown* object) const noexcept { object->Release(); }
};

// A COM interface pointer that holds one reference.
template <class Interface>
using UniqueCom = std::unique_ptr<Interface, ComRelease>;

// A window's device context, released when this goes away.
class WindowDC {
  public:
    explicit WindowDC(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC Get() const noexcept { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

struct GdiObjectDelete {
    void operator()(HGDIOBJ object) const noexcept { DeleteObject(object); }
};

using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDelete>;
using UniqueBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiObjectDelete>;

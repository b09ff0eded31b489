#pragma once

#include <windows.h>

// Whether the user has High Contrast on, when windows paint with the system's colours only.
// Tests answer in the system's place: Wine cannot be made to turn it on.
inline bool (*highContrastOn)() = [] {
    HIGHCONTRASTW setting{sizeof setting};
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof setting, &setting, 0) &&
           (setting.dwFlags & HCF_HIGHCONTRASTON);
};

// The window's own colour, or under High Contrast the system colour that takes its place.
inline COLORREF ColorFor(COLORREF own, int systemColor) {
    return highContrastOn() ? GetSysColor(systemColor) : own;
}

// Colours are chosen at each paint: after a change of High Contrast or of the system colours the
// window and all its controls paint again.
inline void RepaintWhole(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

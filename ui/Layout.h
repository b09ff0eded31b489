#pragma once

#include "ui/Handles.h"

#include <windows.h>

#include <span>
#include <string>

// Sizes are kept in twips, as the windows were designed; pixels follow from the DPI here.
constexpr int kTwipsPerInch = 1440;

inline int TwipsToPixels(int twips, UINT dpi) noexcept {
    return MulDiv(twips, static_cast<int>(dpi), kTwipsPerInch);
}

enum class ControlKind { Panel, Label, ListBox, Button, CheckBox, TextBox, Picture };

// One control of a window: where it sits (in twips, inside its parent), what it shows,
// and its place in the keyboard order.
struct ControlSpec {
    int id;
    ControlKind kind;
    int parent;  // 0 for the window itself, else the id of the panel that holds it
    const wchar_t* caption;
    int left, top, width, height;
    int tabIndex;
    DWORD initialStyle;  // WS_DISABLED, or 0; panels: WS_VISIBLE when shown at first
    int labelFor = 0;    // labels: the id of the control they name
};

// Creates the controls in keyboard order, so that Tab follows it, each label just before the
// control it names: screen readers take a control's name from the label before it.
void CreateControls(HWND window, std::span<const ControlSpec> controls);

// The window's text, whatever its length.
std::wstring TextOf(HWND window);

// The size of the text drawn in the control's own font.
SIZE TextExtent(HWND control, const std::wstring& text);

// A control anywhere in the window, inside a panel or not.
HWND FindControl(HWND window, int id);

// Places and sizes the controls for dpi, and gives them font; those not made yet are passed over,
// as they are by FitLabels.
void PlaceControls(HWND window, std::span<const ControlSpec> controls, UINT dpi, HFONT font);

// Widens (and heightens) each label whose text does not fit it in its own font, up to the edge
// of its parent; never below its designed size. Call it once texts and fonts are set.
void FitLabels(HWND window, std::span<const ControlSpec> controls, UINT dpi);

// Sizes the window so its client area is width x height twips at dpi, centred on its
// monitor's work area.
void SizeAndCenter(HWND window, int width, int height, UINT dpi);

// The same size, placed with its top-left corner at the given point.
void SizeAt(HWND window, int width, int height, UINT dpi, POINT topLeft);

// The system's message font at dpi.
UniqueFont MessageFont(UINT dpi);

// A font of the given face, in hundredths of a point, at dpi.
UniqueFont PointFont(const wchar_t* face, int centiPoints, int weight, UINT dpi);

#include "ui/Layout.h"

#include <algorithm>
#include <vector>

namespace {

const wchar_t kPanelClass[] = L"TalvernPanel";

// A frame without a caption: an etched border around controls that are shown and hidden
// together. Their notifications go on to the window that owns the panel.
LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            return SendMessageW(GetParent(panel), message, wParam, lParam);
        case WM_ERASEBKGND: {
            const auto dc = reinterpret_cast<HDC>(wParam);
            auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
                GetParent(panel), WM_CTLCOLORSTATIC, wParam, reinterpret_cast<LPARAM>(panel)));
            RECT rect;
            GetClientRect(panel, &rect);
            FillRect(dc, &rect, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
            const int top = TwipsToPixels(90, GetDpiForWindow(panel));
            rect.top += top;
            DrawEdge(dc, &rect, EDGE_ETCHED, BF_RECT);
            return 1;
        }
        default:
            return DefWindowProcW(panel, message, wParam, lParam);
    }
}

void RegisterPanelClass() {
    WNDCLASSEXW wc{sizeof wc};
    wc.lpfnWndProc = PanelProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kPanelClass;
    RegisterClassExW(&wc);  // fails harmlessly when already registered
}

struct Style {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

Style StyleOf(ControlKind kind) {
    switch (kind) {
        case ControlKind::Panel:
            return {kPanelClass, WS_CHILD | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT};
        case ControlKind::Label:
            return {L"STATIC", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY,
                    0};
        case ControlKind::ListBox:
            return {L"LISTBOX",
                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY |
                        LBS_NOINTEGRALHEIGHT,
                    WS_EX_CLIENTEDGE};
        case ControlKind::Button:
            return {L"BUTTON", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0};
        case ControlKind::CheckBox:
            return {L"BUTTON", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0};
        case ControlKind::TextBox:
            return {L"EDIT", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case ControlKind::Picture:
            return {L"STATIC", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW | SS_NOTIFY, 0};
    }
    return {};
}

}  // namespace

void CreateControls(HWND window, std::span<const ControlSpec> controls) {
    RegisterPanelClass();
    std::vector<const ControlSpec*> order;
    for (const auto& control : controls)
        if (!control.labelFor) order.push_back(&control);
    // Panels first, since their controls live inside them; then keyboard order.
    std::stable_sort(order.begin(), order.end(), [](const ControlSpec* a, const ControlSpec* b) {
        const bool aPanel = a->kind == ControlKind::Panel, bPanel = b->kind == ControlKind::Panel;
        if (aPanel != bPanel) return aPanel;
        return a->tabIndex < b->tabIndex;
    });
    const auto create = [window](const ControlSpec& control) {
        const Style style = StyleOf(control.kind);
        const HWND parent = control.parent ? GetDlgItem(window, control.parent) : window;
        CreateWindowExW(style.exStyle, style.className, control.caption,
                        style.style | control.initialStyle, 0, 0, 0, 0, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                        GetModuleHandleW(nullptr), nullptr);
    };
    for (const ControlSpec* control : order) {
        for (const auto& label : controls)
            if (label.labelFor == control->id) create(label);
        create(*control);
    }
}

namespace {

struct Search {
    int id;
    HWND found;
};

BOOL CALLBACK MatchId(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (GetDlgCtrlID(child) != search->id) return TRUE;
    search->found = child;
    return FALSE;
}

}  // namespace

HWND FindControl(HWND window, int id) {
    Search search{id, nullptr};
    EnumChildWindows(window, MatchId, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

SIZE TextExtent(HWND control, const std::wstring& text) {
    const WindowDC dc(control);
    SelectObject(dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
    return extent;
}

namespace {

// The control by its place in the table: two lookups, where FindControl walks every window
// below the form, and walks them all for a control not made yet.
HWND Made(HWND window, const ControlSpec& control) {
    const HWND parent = control.parent ? GetDlgItem(window, control.parent) : window;
    return parent ? GetDlgItem(parent, control.id) : nullptr;
}

}  // namespace

void PlaceControls(HWND window, std::span<const ControlSpec> controls, UINT dpi, HFONT font) {
    for (const auto& control : controls) {
        const HWND hwnd = Made(window, control);
        if (!hwnd) continue;
        SetWindowPos(hwnd, nullptr, TwipsToPixels(control.left, dpi),
                     TwipsToPixels(control.top, dpi), TwipsToPixels(control.width, dpi),
                     TwipsToPixels(control.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    InvalidateRect(window, nullptr, TRUE);
}

void FitLabels(HWND window, std::span<const ControlSpec> controls, UINT dpi) {
    for (const auto& control : controls) {
        if (control.kind != ControlKind::Label) continue;
        const HWND label = Made(window, control);
        if (!label) continue;
        const SIZE extent = TextExtent(label, TextOf(label));
        RECT parent{};
        GetClientRect(GetParent(label), &parent);
        const int left = TwipsToPixels(control.left, dpi), top = TwipsToPixels(control.top, dpi);
        const int width = std::max(TwipsToPixels(control.width, dpi),
                                   std::min<int>(extent.cx, parent.right - left));
        const int height = std::max(TwipsToPixels(control.height, dpi),
                                    std::min<int>(extent.cy, parent.bottom - top));
        SetWindowPos(label, nullptr, 0, 0, width, height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

namespace {

SIZE OuterSize(HWND window, int width, int height, UINT dpi) {
    RECT rect{0, 0, TwipsToPixels(width, dpi), TwipsToPixels(height, dpi)};
    AdjustWindowRectExForDpi(&rect, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                             static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)), dpi);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace

void SizeAndCenter(HWND window, int width, int height, UINT dpi) {
    const SIZE size = OuterSize(window, width, height, dpi);
    MONITORINFO monitor{sizeof monitor};
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcWork;
    SizeAt(window, width, height, dpi,
           {area.left + (area.right - area.left - size.cx) / 2,
            area.top + (area.bottom - area.top - size.cy) / 2});
}

// Sets the outer size for the client area wanted, then mends it where the frame the system
// draws differs from the one it reported for dpi.
void SizeAt(HWND window, int width, int height, UINT dpi, POINT topLeft) {
    const SIZE size = OuterSize(window, width, height, dpi);
    SetWindowPos(window, nullptr, topLeft.x, topLeft.y, size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(window, &client);
    const int dx = TwipsToPixels(width, dpi) - client.right;
    const int dy = TwipsToPixels(height, dpi) - client.bottom;
    if (dx || dy)
        SetWindowPos(window, nullptr, 0, 0, size.cx + dx, size.cy + dy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UniqueFont MessageFont(UINT dpi) {
    NONCLIENTMETRICSW metrics{sizeof metrics};
    if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        return UniqueFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    return UniqueFont(CreateFontIndirectW(&metrics.lfMessageFont));
}

UniqueFont PointFont(const wchar_t* face, int centiPoints, int weight, UINT dpi) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(centiPoints, static_cast<int>(dpi), 7200);
    font.lfWeight = weight;
    font.lfCharSet = ANSI_CHARSET;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    return UniqueFont(CreateFontIndirectW(&font));
}

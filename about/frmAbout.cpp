#include "about/frmAbout.h"

#include "about/DesktopShell.h"

#include "AppInfo.h"
#include "ui/Contrast.h"
#include "ui/Layout.h"
#include "ui/LinkAccessible.h"
#include "registry/Ansi.h"
#include "ui/SystemFunction.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>

namespace {

const wchar_t kClassName[] = L"TalvernAbout";
const wchar_t kLogoResource[] = L"ABOUT_LOGO";
constexpr int kWidth = 4935;  // client area, twips
constexpr int kHeight = 2055;
constexpr int kLabelCount = 5;
constexpr int kFirstLink = 3;

const wchar_t kCaption[] = L"" TALVERN_PRODUCT " - About";
const wchar_t kProduct[] = L"" TALVERN_PRODUCT;
const wchar_t kCopyright[] = L"" TALVERN_COPYRIGHT;
const wchar_t kWebAddress[] = L"www.talvern.example";
const wchar_t kMailAddress[] = L"support@talvern.example";

const wchar_t kFontFace[] = L"Times New Roman";
constexpr int kNamePoints = 1575;  // hundredths of a point
constexpr int kVersionPoints = 975;

// Each look's colour; under High Contrast the hyperlink colour and the selection colour take
// their places.
constexpr COLORREF kLinkColor = RGB(0, 0, 255);
constexpr COLORREF kHighlightColor = RGB(128, 0, 0);

using K = ControlKind;
using A = frmAbout;
// clang-format off
constexpr std::array<ControlSpec, 6> kControls{{
    {A::Picture1,    K::Picture, 0, nullptr,  240,  240, 1140,  975, 0, 0},
    {A::lblMessage0, K::Label,   0, nullptr, 1560,  240, 3135,  375, 1, 0},
    {A::lblMessage1, K::Label,   0, nullptr, 1560,  600, 3135,  255, 2, 0},
    {A::lblMessage2, K::Label,   0, nullptr, 1560,  960, 3135,  255, 3, 0},
    {A::lblMessage3, K::Label,   0, nullptr, 1560, 1320, 3135,  255, 4, WS_TABSTOP},
    {A::lblMessage4, K::Label,   0, nullptr, 1560, 1560, 3135,  255, 5, WS_TABSTOP},
}};
// clang-format on

struct DestroyWindow_ {
    void operator()(HWND window) const noexcept { DestroyWindow(window); }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, DestroyWindow_>;

struct GlobalFree_ {
    void operator()(HGLOBAL memory) const noexcept { GlobalFree(memory); }
};
using UniqueGlobal = std::unique_ptr<std::remove_pointer_t<HGLOBAL>, GlobalFree_>;

// An owned window stays out of the taskbar. Owned by a hidden window of its own rather than by
// the main window, the About window can lie behind the main window and outlive it.
HWND HiddenOwner() {
    static const UniqueWindow owner(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0,
                                                    nullptr, nullptr, GetModuleHandleW(nullptr),
                                                    nullptr));
    return owner.get();
}

void RemoveBorder(HWND label) {
    constexpr LONG_PTR kFrames = WS_BORDER | SS_SUNKEN;
    constexpr LONG_PTR kEdges = WS_EX_CLIENTEDGE | WS_EX_STATICEDGE;
    SetWindowLongPtrW(label, GWL_STYLE, GetWindowLongPtrW(label, GWL_STYLE) & ~kFrames);
    SetWindowLongPtrW(label, GWL_EXSTYLE, GetWindowLongPtrW(label, GWL_EXSTYLE) & ~kEdges);
    SetWindowPos(label, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

}  // namespace

// ole32, oleaut32 and shell32 serve only this window: they are bound when it first needs them.
frmAbout::ComApartment::ComApartment() {
    static const auto initialize = SYSTEM_FUNCTION(L"ole32.dll", CoInitializeEx);
    initialized_ = initialize && SUCCEEDED(initialize(
                                     nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
}

frmAbout::ComApartment::~ComApartment() {
    static const auto uninitialize = SYSTEM_FUNCTION(L"ole32.dll", CoUninitialize);
    if (initialized_ && uninitialize) uninitialize();
}

void frmAbout::Show() {
    if (!open_) {
        auto about = std::make_unique<frmAbout>();
        if (!about->Create()) return;
        open_ = about.release();
    }
    ShowWindow(open_->hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(open_->hwnd_);
}

bool frmAbout::Create() {
    return CreateTopLevel(kClassName, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
                          WS_EX_DLGMODALFRAME, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                          HiddenOwner());
}

LRESULT frmAbout::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            CreateControls(hwnd_, kControls);
            for (int index = kFirstLink; index < kLabelCount; ++index)
                SetWindowSubclass(Label(index), LinkProc, 0, reinterpret_cast<DWORD_PTR>(this));
            logo_ = LoadLogo();
            Form_Load();
            // Sized first: labels are fitted within the client area.
            SizeAndCenter(hwnd_, kWidth, kHeight, GetDpiForWindow(hwnd_));
            ApplyDpi(GetDpiForWindow(hwnd_));
            return 0;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_SETCURSOR:
            return OnSetCursor(wParam, lParam);
        case WM_MOUSEMOVE:
            Form_MouseMove();
            return 0;
        case WM_CTLCOLORSTATIC:
            return OnColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (static_cast<int>(item.CtlID) != Picture1) return FALSE;
            DrawLogo(item);
            return TRUE;
        }
        case WM_DPICHANGED:
            return OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        case WM_SETTINGCHANGE:
        case WM_SYSCOLORCHANGE:
            RepaintWhole(hwnd_);
            return 0;
        case WM_NCDESTROY:
            if (open_ == this) {
                open_ = nullptr;
                delete this;
            }
            return 0;
        default:
            return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void frmAbout::Form_Load() {
    SetWindowTextW(hwnd_, kCaption);
    for (int index = 0; index < kLabelCount; ++index) RemoveBorder(Label(index));
    SetWindowTextW(Label(0), kProduct);
    SetWindowTextW(Label(1),
                   (L" v" + std::to_wstring(TALVERN_MAJOR) + L"." + std::to_wstring(TALVERN_MINOR) +
                    L"." + std::to_wstring(TALVERN_REVISION))
                       .c_str());
    SetWindowTextW(Label(2), kCopyright);
    SetWindowTextW(Label(3), kWebAddress);
    SetWindowTextW(Label(4), kMailAddress);
}

void frmAbout::Form_MouseMove() {
    SetLook(3, Look::Normal);
    SetLook(4, Look::Normal);
}

void frmAbout::lblMessage_Click(int index) {
    if (index < kFirstLink) return;
    std::wstring address = TextOf(Label(index));
    if (index == 4) address = L"mailto:" + address;
    // Unloads the window and deletes this object: only locals from here on.
    DestroyWindow(hwnd_);
    const ComApartment com;
    // Started from here, the browser or mail program would inherit the administrator's rights.
    if (OpenThroughDesktop(address)) return;
    static const auto shellExecute = SYSTEM_FUNCTION(L"shell32.dll", ShellExecuteA);
    if (shellExecute)
        shellExecute(nullptr, nullptr, ToAnsi(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void frmAbout::lblMessage_MouseMove(int index) {
    if (index >= kFirstLink) Highlight(index);
}

// Only links take the focus, from the keyboard: the focused one looks as if the mouse were on
// it, and shows the focus rectangle.
void frmAbout::lblMessage_GotFocus(int index) {
    Highlight(index);
    InvalidateRect(Label(index), nullptr, TRUE);
}

void frmAbout::lblMessage_LostFocus(int index) { InvalidateRect(Label(index), nullptr, TRUE); }

void frmAbout::lblMessage_KeyDown(int index, WPARAM key) {
    if (key == VK_RETURN || key == VK_SPACE) lblMessage_Click(index);
}

LRESULT CALLBACK frmAbout::LinkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR self) noexcept {
    try {
        return reinterpret_cast<frmAbout*>(self)->HandleLinkMessage(link, message, wParam, lParam);
    } catch (...) {
        return DefSubclassProc(link, message, wParam, lParam);
    }
}

// A key may close the window and delete this object: nothing is touched after it.
LRESULT frmAbout::HandleLinkMessage(HWND link, UINT message, WPARAM wParam, LPARAM lParam) {
    const int index = LabelIndex(link);
    switch (message) {
        case WM_GETDLGCODE:
            // Enter comes to the link rather than to the window as IDOK.
            return DefSubclassProc(link, message, wParam, lParam) |
                   (wParam == VK_RETURN ? DLGC_WANTMESSAGE : 0);
        case WM_KEYDOWN:
            lblMessage_KeyDown(index, wParam);
            return 0;
        case WM_SETFOCUS:
            lblMessage_GotFocus(index);
            break;
        case WM_KILLFOCUS:
            lblMessage_LostFocus(index);
            break;
        case WM_PAINT:
            PaintLink(link, wParam);
            return 0;
        case WM_GETOBJECT:
            if (const LRESULT object = AnswerAsLink(link, wParam, lParam)) return object;
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(link, LinkProc, 0);
            break;
    }
    return DefSubclassProc(link, message, wParam, lParam);
}

// The label paints its text; the focus rectangle goes round it afterwards. Painted whole, the
// label has a fresh background for the rectangle, which is drawn by inverting.
void frmAbout::PaintLink(HWND link, WPARAM paintDc) {
    const bool focused = GetFocus() == link;
    if (focused) InvalidateRect(link, nullptr, FALSE);
    DefSubclassProc(link, WM_PAINT, paintDc, 0);
    if (!focused) return;
    const SIZE extent = TextExtent(link, TextOf(link));
    const WindowDC dc(link);
    RECT box{};
    GetClientRect(link, &box);
    box.right = std::min(box.right, extent.cx + 1);
    DrawFocusRect(dc.Get(), &box);
}

void frmAbout::OnCommand(int id, int notification) {
    // Esc: the message loop's IsDialogMessageW asks for IDCANCEL.
    if (id == IDCANCEL) {
        SendMessageW(hwnd_, WM_CLOSE, 0, 0);
        return;
    }
    const int index = id - lblMessage0;
    if (notification == STN_CLICKED && index >= 0 && index < kLabelCount) lblMessage_Click(index);
}

// The parent hears of the mouse over a label here, before the label sees the move, and sets
// the pointer that the link's look asks for.
LRESULT frmAbout::OnSetCursor(WPARAM wParam, LPARAM lParam) {
    const int index = LabelIndex(reinterpret_cast<HWND>(wParam));
    if (index >= 0 && HIWORD(lParam) == WM_MOUSEMOVE) lblMessage_MouseMove(index);
    if (index < kFirstLink || LOWORD(lParam) != HTCLIENT)
        return DefWindowProcW(hwnd_, WM_SETCURSOR, wParam, lParam);
    SetCursor(LoadCursorW(nullptr, LookOf(index) == Look::Highlighted ? IDC_ICON : IDC_ARROW));
    return TRUE;
}

LRESULT frmAbout::OnColorStatic(HDC dc, HWND control) {
    const int index = LabelIndex(control);
    COLORREF text = GetSysColor(COLOR_BTNTEXT);
    if (index >= kFirstLink)
        text = LookOf(index) == Look::Highlighted ? ColorFor(kHighlightColor, COLOR_HIGHLIGHT)
                                                  : ColorFor(kLinkColor, COLOR_HOTLIGHT);
    SetTextColor(dc, text);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

frmAbout::UniquePicture frmAbout::LoadLogo() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const HRSRC resource = FindResourceW(instance, kLogoResource, RT_RCDATA);
    const HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = resource ? SizeofResource(instance, resource) : 0;
    if (!bytes || !size) return nullptr;

    UniqueGlobal copy(GlobalAlloc(GMEM_MOVEABLE, size));
    void* target = copy ? GlobalLock(copy.get()) : nullptr;
    if (!target) return nullptr;
    std::memcpy(target, bytes, size);
    GlobalUnlock(copy.get());

    static const auto createStream = SYSTEM_FUNCTION(L"ole32.dll", CreateStreamOnHGlobal);
    static const auto loadPicture = SYSTEM_FUNCTION(L"oleaut32.dll", OleLoadPicture);
    IStream* rawStream = nullptr;
    if (!createStream || !loadPicture || FAILED(createStream(copy.get(), FALSE, &rawStream)))
        return nullptr;
    const UniqueCom<IStream> stream(rawStream);
    IPicture* picture = nullptr;
    if (FAILED(loadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                           reinterpret_cast<void**>(&picture))))
        return nullptr;
    return UniquePicture(picture);
}

// The logo fills the picture box, which is the image's size at 96 DPI and grows with the DPI.
void frmAbout::DrawLogo(const DRAWITEMSTRUCT& item) {
    const RECT& box = item.rcItem;
    FillRect(item.hDC, &box, GetSysColorBrush(COLOR_BTNFACE));
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    if (!logo_ || FAILED(logo_->get_Width(&width)) || FAILED(logo_->get_Height(&height))) return;
    // Picture sizes run upwards in HIMETRIC: start at the top and go down.
    logo_->Render(item.hDC, box.left, box.top, box.right - box.left, box.bottom - box.top, 0,
                  height, width, -height, nullptr);
}

LRESULT frmAbout::OnDpiChanged(UINT dpi, const RECT& suggested) {
    SizeAt(hwnd_, kWidth, kHeight, dpi, {suggested.left, suggested.top});
    ApplyDpi(dpi);
    return 0;
}

void frmAbout::ApplyDpi(UINT dpi) {
    UniqueFont font = MessageFont(dpi);
    UniqueFont nameFont = PointFont(kFontFace, kNamePoints, FW_BOLD, dpi);
    UniqueFont versionFont = PointFont(kFontFace, kVersionPoints, FW_BOLD, dpi);
    PlaceControls(hwnd_, kControls, dpi, font.get());
    SendMessageW(Label(0), WM_SETFONT, reinterpret_cast<WPARAM>(nameFont.get()), FALSE);
    SendMessageW(Label(1), WM_SETFONT, reinterpret_cast<WPARAM>(versionFont.get()), FALSE);
    FitLabels(hwnd_, kControls, dpi);
    font_ = std::move(font);
    nameFont_ = std::move(nameFont);
    versionFont_ = std::move(versionFont);
}

void frmAbout::Highlight(int index) {
    SetLook(index == kFirstLink ? kFirstLink + 1 : kFirstLink, Look::Normal);  // the other link
    SetLook(index, Look::Highlighted);
}

// The colour shows when the label is redrawn; the pointer, the next time it is set over the
// label, which a move over it does at once.
void frmAbout::SetLook(int index, Look look) {
    Look& current = LookOf(index);
    if (current == look) return;
    current = look;
    InvalidateRect(Label(index), nullptr, TRUE);
}

frmAbout::Look& frmAbout::LookOf(int index) {
    return linkLooks_[static_cast<size_t>(index - kFirstLink)];
}

HWND frmAbout::Label(int index) const { return GetDlgItem(hwnd_, lblMessage0 + index); }

int frmAbout::LabelIndex(HWND control) const {
    if (!control || GetParent(control) != hwnd_) return -1;
    const int index = GetDlgCtrlID(control) - lblMessage0;
    return index >= 0 && index < kLabelCount ? index : -1;
}

// The About window as it opens, looks and follows the mouse, read back from the real window and
// its controls.

#include "about/frmAbout.h"

#include "tests/about/AboutTesting.h"
#include "tests/testing/Dialogs.h"

#include <objidl.h>
#include <gdiplus.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace {

using A = frmAbout;

constexpr std::array<int, 5> kLabels{A::lblMessage0, A::lblMessage1, A::lblMessage2, A::lblMessage3,
                                     A::lblMessage4};
constexpr COLORREF kBlue = 0xFF0000;
constexpr COLORREF kDarkRed = 0x000080;

// LegalCopyright from the version record of the built program.
std::wstring RecordedCopyright() {
    const std::wstring path = TalvernPath();
    DWORD ignored = 0;
    std::vector<BYTE> record(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    if (record.empty() ||
        !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(record.size()), record.data()))
        return L"<no version record>";
    void* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(record.data(), L"\\StringFileInfo\\040904B0\\LegalCopyright", &text,
                        &length) ||
        !length)
        return L"<no LegalCopyright>";
    return static_cast<const wchar_t*>(text);
}

struct FreeLibrary_ {
    void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
};

// The logo as the built program carries it.
std::vector<BYTE> ProgramLogo() {
    const std::unique_ptr<std::remove_pointer_t<HMODULE>, FreeLibrary_> program(LoadLibraryExW(
        TalvernPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!program) return {};
    const HRSRC resource = FindResourceW(program.get(), L"ABOUT_LOGO", RT_RCDATA);
    const HGLOBAL loaded = resource ? LoadResource(program.get(), resource) : nullptr;
    const auto* bytes = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    if (!bytes) return {};
    return {bytes, bytes + SizeofResource(program.get(), resource)};
}

// What a GIF file holds, block by block.
struct GifFacts {
    std::string signature;
    int width = 0, height = 0;
    bool globalTable = false;
    int images = 0;
    std::vector<int> localTableSizes;
    bool graphicControl = false;  // transparency and frame delays
    bool application = false;     // looping
    bool trailer = false;
};

GifFacts ReadGif(const std::vector<BYTE>& gif) {
    GifFacts facts;
    facts.signature.assign(gif.begin(), gif.begin() + 6);
    facts.width = gif.at(6) | gif.at(7) << 8;
    facts.height = gif.at(8) | gif.at(9) << 8;
    size_t at = 13;
    if (gif.at(10) & 0x80) {
        facts.globalTable = true;
        at += 3u * (2u << (gif[10] & 7));
    }
    const auto skipSubBlocks = [&] {
        while (const BYTE size = gif.at(at++)) at += size;
    };
    while (at < gif.size()) {
        const BYTE block = gif[at++];
        if (block == 0x3B) {
            facts.trailer = true;
            break;
        }
        if (block == 0x21) {
            const BYTE label = gif.at(at++);
            facts.graphicControl |= label == 0xF9;
            facts.application |= label == 0xFF;
            skipSubBlocks();
        } else if (block == 0x2C) {
            ++facts.images;
            const BYTE flags = gif.at(at + 8);
            at += 9;
            const int entries = flags & 0x80 ? 2 << (flags & 7) : 0;
            facts.localTableSizes.push_back(entries);
            at += 3u * static_cast<size_t>(entries) + 1;  // the table and the LZW code size
            skipSubBlocks();
        } else {
            break;
        }
    }
    return facts;
}

// The image decoded by GDI+, a decoder independent of the window's.
struct GdiPlus {
    GdiPlus() { Gdiplus::GdiplusStartup(&token, &input, nullptr); }
    ~GdiPlus() { Gdiplus::GdiplusShutdown(token); }
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
};

Picture Decode(const std::vector<BYTE>& image) {
    const GdiPlus gdiPlus;
    IStream* stream = SHCreateMemStream(image.data(), static_cast<UINT>(image.size()));
    if (!stream) return {};
    Picture picture;
    {
        Gdiplus::Bitmap bitmap(stream);
        picture.width = static_cast<int>(bitmap.GetWidth());
        picture.height = static_cast<int>(bitmap.GetHeight());
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                Gdiplus::Color colour;
                bitmap.GetPixel(x, y, &colour);
                picture.pixels.push_back(RGB(colour.GetR(), colour.GetG(), colour.GetB()));
            }
        }
    }
    stream->Release();
    return picture;
}

class AboutWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }

    void TearDown() override {
        for (HWND window : VisibleWindowsOfThread()) DestroyWindow(window);
        PumpPending();
        CoUninitialize();
    }

    // Presses About, as the main window does; the one About window of the thread.
    HWND Open() {
        frmAbout::Show();
        const auto windows = VisibleWindowsOfThread();
        about_ = windows.size() == 1 ? windows.front() : nullptr;
        return about_;
    }

    HWND Item(int id) const { return GetDlgItem(about_, id); }
    int Pixels(int twips) const {
        return MulDiv(twips, static_cast<int>(GetDpiForWindow(about_)), 1440);
    }
    RECT Twips(int left, int top, int width, int height) const {
        return {Pixels(left), Pixels(top), Pixels(left) + Pixels(width),
                Pixels(top) + Pixels(height)};
    }

    HWND about_ = nullptr;
};

void ExpectRect(const RECT& actual, const RECT& expected, const char* what) {
    EXPECT_EQ(actual.left, expected.left) << what;
    EXPECT_EQ(actual.top, expected.top) << what;
    EXPECT_EQ(actual.right, expected.right) << what;
    EXPECT_EQ(actual.bottom, expected.bottom) << what;
}

TEST_F(AboutWindowTest, PressedTwiceShowsTheSameWindowAndLoadsAfreshAfterClosing) {
    const HWND about = Open();
    ASSERT_TRUE(about);
    SetWindowTextW(Item(A::lblMessage0), L"changed while open");

    // A window of the program in front of it, then About again.
    const HWND other =
        CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600,
                        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(other);
    SetForegroundWindow(other);
    PumpUntil([&] { return GetForegroundWindow() == other; });
    ASSERT_EQ(GetForegroundWindow(), other);

    frmAbout::Show();
    PumpUntil([&] { return GetForegroundWindow() == about; });
    EXPECT_EQ(GetForegroundWindow(), about);
    auto windows = VisibleWindowsOfThread();
    std::erase(windows, other);
    EXPECT_EQ(windows, std::vector<HWND>{about});
    EXPECT_EQ(WindowText(Item(A::lblMessage0)), L"changed while open") << "loaded again";
    DestroyWindow(other);

    SendMessageW(about, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(about));
    EXPECT_TRUE(VisibleWindowsOfThread().empty());

    ASSERT_TRUE(Open());
    EXPECT_EQ(WindowText(about_), L"Talvern - About");
    EXPECT_EQ(WindowText(Item(A::lblMessage0)), L"Talvern");
    EXPECT_EQ(WindowText(Item(A::lblMessage4)), L"support@talvern.example");
}

TEST_F(AboutWindowTest, WindowIsAFixedDialogCentredAndOutOfTheTaskbar) {
    ASSERT_TRUE(Open());
    EXPECT_EQ(WindowText(about_), L"Talvern - About");

    const auto style = static_cast<DWORD>(GetWindowLongPtrW(about_, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(about_, GWL_EXSTYLE));
    EXPECT_EQ(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
    EXPECT_TRUE(style & WS_SYSMENU) << "close box";
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD));
    EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
    EXPECT_FALSE(exStyle & (WS_EX_APPWINDOW | WS_EX_TOOLWINDOW | WS_EX_TOPMOST));

    // Owned, so not in the taskbar, by a hidden window rather than by another of the program's.
    const HWND owner = GetWindow(about_, GW_OWNER);
    ASSERT_TRUE(owner);
    EXPECT_FALSE(IsWindowVisible(owner));
    EXPECT_EQ(GetAncestor(owner, GA_PARENT), GetDesktopWindow());
    EXPECT_FALSE(GetWindow(owner, GW_OWNER));

    RECT client;
    GetClientRect(about_, &client);
    EXPECT_EQ(client.right, Pixels(4935));
    EXPECT_EQ(client.bottom, Pixels(2055));

    RECT window;
    GetWindowRect(about_, &window);
    MONITORINFO monitor{sizeof monitor};
    GetMonitorInfoW(MonitorFromWindow(about_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    EXPECT_NEAR(window.left + window.right, monitor.rcWork.left + monitor.rcWork.right, 1);
    EXPECT_NEAR(window.top + window.bottom, monitor.rcWork.top + monitor.rcWork.bottom, 1);

    EXPECT_EQ(reinterpret_cast<HICON>(GetClassLongPtrW(about_, GCLP_HICON)),
              LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1)));

    // Below the picture, left of the labels: the window's own background.
    const Picture background = RenderBackground(about_);
    ASSERT_FALSE(background.pixels.empty());
    EXPECT_EQ(background.At(Pixels(120), Pixels(1800)), GetSysColor(COLOR_BTNFACE));

    // The controls in their keyboard order.
    std::vector<int> order;
    for (HWND child = GetWindow(about_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        order.push_back(GetDlgCtrlID(child));
    EXPECT_EQ(order, (std::vector<int>{A::Picture1, A::lblMessage0, A::lblMessage1, A::lblMessage2,
                                       A::lblMessage3, A::lblMessage4}));
}

TEST_F(AboutWindowTest, LabelsShowTheProductInformation) {
    ASSERT_TRUE(Open());
    const std::array<std::wstring, 5> texts{L"Talvern", L" v3.0.0", RecordedCopyright(),
                                            L"www.talvern.example", L"support@talvern.example"};
    const std::array<RECT, 5> places{Twips(1560, 240, 3135, 375), Twips(1560, 600, 3135, 255),
                                     Twips(1560, 960, 3135, 255), Twips(1560, 1320, 3135, 255),
                                     Twips(1560, 1560, 3135, 255)};
    ASSERT_NE(texts[2].front(), L'<') << texts[2];

    NONCLIENTMETRICSW metrics{sizeof metrics};
    ASSERT_TRUE(SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                                           GetDpiForWindow(about_)));
    const LOGFONTW& standard = metrics.lfMessageFont;

    for (size_t i = 0; i < kLabels.size(); ++i) {
        SCOPED_TRACE("lblMessage " + std::to_string(i));
        const HWND label = Item(kLabels[i]);
        ASSERT_TRUE(label);
        EXPECT_EQ(WindowText(label), texts[i]);
        ExpectRect(RectInParent(label), places[i], "place");
        EXPECT_FALSE(GetWindowLongPtrW(label, GWL_STYLE) & (WS_BORDER | SS_SUNKEN));
        EXPECT_FALSE(GetWindowLongPtrW(label, GWL_EXSTYLE) & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));

        const LOGFONTW font = FontOf(label);
        if (i < 2) {
            EXPECT_STREQ(font.lfFaceName, L"Times New Roman");
            const int centiPoints = i == 0 ? 1575 : 975;
            EXPECT_EQ(font.lfHeight,
                      -MulDiv(centiPoints, static_cast<int>(GetDpiForWindow(about_)), 7200));
            EXPECT_EQ(font.lfWeight, 700);
            EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);
            EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);
        } else {
            EXPECT_STREQ(font.lfFaceName, standard.lfFaceName);
            EXPECT_EQ(font.lfHeight, standard.lfHeight);
            EXPECT_EQ(font.lfWeight, standard.lfWeight);
        }

        // The text is drawn in its colour on the button face.
        const Picture drawn = RenderClient(label);
        ASSERT_FALSE(drawn.pixels.empty());
        EXPECT_EQ(drawn.At(drawn.width - 1, 0), GetSysColor(COLOR_BTNFACE));
        const COLORREF ink = i < 3 ? GetSysColor(COLOR_BTNTEXT) : kBlue;
        EXPECT_TRUE(drawn.Contains(ink)) << std::hex << ink;
        EXPECT_FALSE(drawn.Contains(i < 3 ? kBlue : GetSysColor(COLOR_BTNTEXT)));
        EXPECT_FALSE(drawn.Contains(kDarkRed));
    }
}

TEST_F(AboutWindowTest, PictureShowsTheLogoAtItsOwnSize) {
    const std::vector<BYTE> logo = ProgramLogo();
    ASSERT_GE(logo.size(), 13u) << "no logo in the program's resources";
    const GifFacts facts = ReadGif(logo);
    EXPECT_EQ(facts.signature, "GIF89a");
    EXPECT_EQ(facts.width, 76);
    EXPECT_EQ(facts.height, 65);
    EXPECT_EQ(facts.images, 1);
    EXPECT_EQ(facts.localTableSizes, std::vector<int>{256});
    EXPECT_FALSE(facts.globalTable);
    EXPECT_FALSE(facts.graphicControl) << "transparency or animation";
    EXPECT_FALSE(facts.application) << "animation";
    EXPECT_TRUE(facts.trailer);

    ASSERT_TRUE(Open());
    const HWND picture = Item(A::Picture1);
    ExpectRect(RectInParent(picture), Twips(240, 240, 1140, 975), "place");
    ASSERT_EQ(GetDpiForWindow(about_), 96u) << "the logo's own size is its size at 96 DPI";

    const Picture expected = Decode(logo);
    ASSERT_EQ(expected.width, 76);
    ASSERT_EQ(expected.height, 65);
    const Picture drawn = RenderClient(picture);
    ASSERT_EQ(drawn.width, expected.width);
    ASSERT_EQ(drawn.height, expected.height);
    int wrong = 0;
    for (size_t i = 0; i < drawn.pixels.size(); ++i) wrong += drawn.pixels[i] != expected.pixels[i];
    EXPECT_EQ(wrong, 0) << "pixels that differ from the logo";
}

TEST_F(AboutWindowTest, FontsAndPlacesFollowTheDpi) {
    ASSERT_TRUE(Open());
    const HWND name = Item(A::lblMessage0);
    const LOGFONTW before = FontOf(name);
    RECT suggested{10, 20, 600, 400};
    SendMessageW(about_, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));

    RECT client;
    GetClientRect(about_, &client);
    EXPECT_EQ(client.right, MulDiv(4935, 144, 1440));
    EXPECT_EQ(client.bottom, MulDiv(2055, 144, 1440));
    RECT window;
    GetWindowRect(about_, &window);
    EXPECT_EQ(window.left, 10);
    EXPECT_EQ(window.top, 20);

    const RECT picture = RectInParent(Item(A::Picture1));
    EXPECT_EQ(picture.left, MulDiv(240, 144, 1440));
    EXPECT_EQ(picture.right - picture.left, MulDiv(1140, 144, 1440));
    const RECT mail = RectInParent(Item(A::lblMessage4));
    EXPECT_EQ(mail.top, MulDiv(1560, 144, 1440));
    EXPECT_EQ(mail.bottom - mail.top, MulDiv(255, 144, 1440));

    EXPECT_EQ(FontOf(name).lfHeight, -MulDiv(1575, 144, 7200));
    EXPECT_EQ(before.lfHeight, -MulDiv(1575, 96, 7200));
    EXPECT_EQ(FontOf(Item(A::lblMessage1)).lfHeight, -MulDiv(975, 144, 7200));
    NONCLIENTMETRICSW metrics{sizeof metrics};
    ASSERT_TRUE(
        SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, 144));
    EXPECT_EQ(FontOf(Item(A::lblMessage3)).lfHeight, metrics.lfMessageFont.lfHeight);
}

// Where the mouse goes, and which link is highlighted after it, if any.
struct Move {
    int over;  // a control, or 0 for the window's background
    std::optional<int> highlighted;
};

TEST_F(AboutWindowTest, LinksHighlightUnderTheMouse) {
    ASSERT_TRUE(Open());
    const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    const HCURSOR icon = LoadCursorW(nullptr, IDC_ICON);
    ASSERT_TRUE(icon);
    ASSERT_NE(icon, arrow);

    const Move moves[] = {
        {0, std::nullopt},
        {A::lblMessage3, A::lblMessage3},
        {A::lblMessage4, A::lblMessage4},  // straight from one link to the other
        {A::lblMessage3, A::lblMessage3},
        {A::Picture1, A::lblMessage3},  // the picture and labels 0 to 2 leave it be
        {A::lblMessage0, A::lblMessage3},
        {A::lblMessage1, A::lblMessage3},
        {A::lblMessage2, A::lblMessage3},
        {0, std::nullopt},
        {A::lblMessage4, A::lblMessage4},
        {A::lblMessage2, A::lblMessage4},
        {0, std::nullopt},
        {A::lblMessage1, std::nullopt},
    };
    int step = 0;
    std::optional<int> before;
    for (const Move& move : moves) {
        SCOPED_TRACE("move " + std::to_string(++step) + " over " + std::to_string(move.over));
        PumpPending();  // everything drawn, so a redraw the move asks for can be seen
        const HWND target = move.over ? Item(move.over) : about_;
        // The background: below the picture, left of the labels.
        const POINT point = move.over ? CentreOf(target) : POINT{Pixels(120), Pixels(1800)};
        ASSERT_TRUE(MoveMouseTo(target, point));

        const bool overHighlighted = move.highlighted && move.over == *move.highlighted;
        EXPECT_EQ(GetCursor(), overHighlighted ? icon : arrow) << "the pointer shown";
        for (int link : {A::lblMessage3, A::lblMessage4}) {
            SCOPED_TRACE("link " + std::to_string(link - A::lblMessage0));
            const bool highlighted = move.highlighted == link;
            if (highlighted != (before == link)) {
                EXPECT_TRUE(GetUpdateRect(Item(link), nullptr, FALSE)) << "not redrawn";
            }
            const Picture drawn = RenderClient(Item(link));
            EXPECT_TRUE(drawn.Contains(highlighted ? kDarkRed : kBlue));
            EXPECT_FALSE(drawn.Contains(highlighted ? kBlue : kDarkRed));
            EXPECT_EQ(PointerOver(Item(link)), highlighted ? icon : arrow);
        }
        before = move.highlighted;
    }
}

}  // namespace

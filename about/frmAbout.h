#pragma once

#include "ui/Handles.h"
#include "ui/Window.h"

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <array>
#include <memory>

// The About window: the logo, the product's name, version and copyright line, and links to
// the maker's web site and support address. It exists only while it is open, and there is at
// most one.
class frmAbout : public Window<frmAbout> {
  public:
    enum Control : int {
        Picture1 = 201,
        lblMessage0,
        lblMessage1,
        lblMessage2,
        lblMessage3,
        lblMessage4,
    };

    // Opens the About window, or brings the open one to the front.
    static void Show();

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  private:
    enum class Look { Normal, Highlighted };

    // Balances the COM initialisation that the picture and the shell need on this thread.
    class ComApartment {
      public:
        ComApartment();
        ~ComApartment();
        ComApartment(const ComApartment&) = delete;
        ComApartment& operator=(const ComApartment&) = delete;

      private:
        bool initialized_ = false;
    };

    using UniquePicture = UniqueCom<IPicture>;

    // The logo from the program's resources; nullptr when it cannot be read.
    static UniquePicture LoadLogo();

    bool Create();

    void Form_Load();
    void Form_MouseMove();
    void lblMessage_Click(int index);
    void lblMessage_MouseMove(int index);

    void lblMessage_GotFocus(int index);
    void lblMessage_LostFocus(int index);
    void lblMessage_KeyDown(int index, WPARAM key);

    // The links' own window procedure, before the label's: the keyboard, the focus and screen
    // readers.
    static LRESULT CALLBACK LinkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR self) noexcept;
    LRESULT HandleLinkMessage(HWND link, UINT message, WPARAM wParam, LPARAM lParam);
    void PaintLink(HWND link, WPARAM paintDc);
    void OnCommand(int id, int notification);
    LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam);
    LRESULT OnColorStatic(HDC dc, HWND control);
    void DrawLogo(const DRAWITEMSTRUCT& item);
    LRESULT OnDpiChanged(UINT dpi, const RECT& suggested);
    void ApplyDpi(UINT dpi);
    void Highlight(int index);
    void SetLook(int index, Look look);
    Look& LookOf(int index);
    HWND Label(int index) const;
    // The label's index, -1 when the window is not one of the labels.
    int LabelIndex(HWND control) const;

    // The one open window; it deletes itself when it is destroyed.
    static inline frmAbout* open_ = nullptr;

    ComApartment com_;
    UniquePicture logo_;
    UniqueFont font_;
    UniqueFont nameFont_;
    UniqueFont versionFont_;
    std::array<Look, 2> linkLooks_{Look::Normal, Look::Normal};
};

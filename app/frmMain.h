#pragma once

#include "app/basMain.h"
#include "registry/KeyWatch.h"
#include "ui/Handles.h"
#include "ui/Window.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// The main window: the list of viewers registered for all files, with Add New, Delete, Edit and
// About, and in the same place the panel where a viewer is named, its program chosen, its place
// on the menu set and whom it is for.
class frmMain : public Window<frmMain> {
  public:
    enum Control : int {
        Frame1 = 101,
        Label3,
        List1,
        cmdAdd,
        cmdDelete,
        cmdEdit,
        cmdAbout,
        Frame2,
        Label1,
        txtName,
        Label2,
        txtFilePath,
        cmdBrowse,
        chkShowOnMenu,
        chkShiftOnly,
        chkAllUsers,
        cmdCancel,
        cmdSave,
    };
    // The timer that lets a burst of registry changes end before the list is read again.
    static constexpr UINT_PTR Timer1 = 1;

    frmMain() = default;
    ~frmMain();
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Creates the window, runs Form_Load and shows it. False when it cannot be made.
    bool Create(int showCommand);

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  private:
    void Form_Load();
    void cmdAdd_Click();
    void cmdSave_Click();
    void cmdCancel_Click();
    void cmdBrowse_Click();
    void List1_Click();
    void List1_DblClick();
    void cmdEdit_Click();
    void cmdDelete_Click();
    void cmdAbout_Click();
    void Registry_Change();
    void Timer1_Timer();

    void OnCommand(int id, int notification);
    LRESULT OnColorStatic(HDC dc);
    LRESULT OnEraseBackground(HDC dc);
    // The window's and its panels' background.
    HBRUSH Background() const;
    void OnActivate(bool active);
    LRESULT OnDpiChanged(UINT dpi, const RECT& suggested);
    void ApplyDpi(UINT dpi);
    void LoadList();
    void EnableDeleteAndEdit(bool enable);
    // Shows the edit panel holding the viewer's name, program, switches and hive, or the list
    // panel.
    void ShowEditPanel(bool edit, const Viewer& viewer = {});
    HWND Item(int id) const;
    std::wstring Text(int id) const;
    void SetText(int id, const std::wstring& text);
    bool Checked(int id) const;
    int Message(const std::wstring& text, const std::wstring& title, UINT style);

    HWND focus_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    UniqueFont font_;
    static constexpr COLORREF kBackground = RGB(224, 224, 224);
    UniqueBrush background_{CreateSolidBrush(kBackground)};
    // The viewer of each line of List1, in line order.
    std::vector<Viewer> viewers_;
    // The viewer the edit panel changes; nothing while it makes a new one.
    std::optional<Viewer> editing_;
    // Tells the window when another program changes the viewers.
    std::optional<KeyWatch> watch_;
};

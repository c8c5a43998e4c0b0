// An owner-drawn push button or check box with icons, a flat look and a balloon tooltip,
// bound to a button of a dialog by subclassing it. Icon 1 shows while pressed, hovered (push
// mode) or checked (check-box mode), icon 2 otherwise: the fuse boxes show the red lamp (130)
// checked and the green lamp (131) not. A check box keeps its own state, answered through
// BM_GETCHECK and BM_SETCHECK as with any check box.
//
// The dialog forwards two messages: WM_DRAWITEM (DrawItem) and the button's BN_CLICKED
// (Clicked, before its own handler), found with FromHandle.
#pragma once

#include <windows.h>

#include <string>

#include "controls/icon_button_model.h"

namespace velkor::win32 {

class IconButton {
  public:
    IconButton() = default;
    ~IconButton();
    IconButton(const IconButton&) = delete;
    IconButton& operator=(const IconButton&) = delete;

    // Check-box mode follows the control's style (auto or plain check box).
    void Attach(HWND control);
    HWND Handle() const { return hwnd_; }
    static IconButton* FromHandle(HWND control);

    // Artwork IDs; 0 for none. An icon that does not load leaves the button without it.
    void SetIcons(int icon1, int icon2 = 0);
    void SetFlat(bool flat);
    void SetBalloonTips(bool balloon) { balloon_ = balloon; }
    void SetTooltipText(const std::wstring& text, bool active = true);
    // A push-mode click opens the target (a folder, a file or a URL); empty: no link.
    void SetLink(const std::wstring& target) { link_ = target; }
    const std::wstring& Link() const { return link_; }

    bool Checked() const { return state_.checked; }
    bool CheckBoxMode() const { return state_.checkBoxMode; }
    bool Hovered() const { return state_.hovered; }
    // 1 or 2: the icon the button shows now.
    int ShownIcon() const;

    void DrawItem(const DRAWITEMSTRUCT& item);
    void Clicked();

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR self);
    void DestroyIcons();

    HWND hwnd_ = nullptr;
    controls::IconButtonState state_;
    bool defaultButton_ = false;
    HICON icon1_ = nullptr;
    HICON icon2_ = nullptr;
    int iconSize_ = 0;
    std::wstring link_;
    HWND tooltip_ = nullptr;
    bool balloon_ = false;
    bool toolAdded_ = false;
    std::wstring tipText_;
};

}  // namespace velkor::win32

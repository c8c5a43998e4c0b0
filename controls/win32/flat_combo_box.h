// A drop-down list drawn flat in the button-face colour, its border and drop-down button
// raised while the mouse is over it (checked every 10 ms once the mouse has moved over it).
// Bound to a combo box of a dialog by subclassing; selection works as in any combo box.
#pragma once

#include <windows.h>

namespace velkor::win32 {

class FlatComboBox {
  public:
    FlatComboBox() = default;
    ~FlatComboBox();
    FlatComboBox(const FlatComboBox&) = delete;
    FlatComboBox& operator=(const FlatComboBox&) = delete;

    void Attach(HWND control);
    HWND Handle() const { return hwnd_; }
    bool Hovered() const { return hovered_; }

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR self);
    void DrawFrame();

    HWND hwnd_ = nullptr;
    bool hovered_ = false;
};

}  // namespace velkor::win32

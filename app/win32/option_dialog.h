// The option dialogs' Win32 view: a modal dialog from the resource template of the
// presenter's dialog (148, 149, 152), which fills it, reacts to its clicks and writes the
// engine back on OK. The numeric edit fields get the "Con&vert" context menu.
#pragma once

#include <windows.h>

#include <string>

#include "app/option_dialog_presenter.h"
#include "app/option_dialog_views.h"

namespace velkor::win32 {

class OptionDialog : public OptionDialogView {
  public:
    OptionDialog() = default;
    OptionDialog(const OptionDialog&) = delete;
    OptionDialog& operator=(const OptionDialog&) = delete;

    // Shows the dialog of `presenter`'s template, modal to `parent`; true when it ended with
    // OK. The presenter must drive this view.
    bool Run(HWND parent, OptionDialogPresenter& presenter);
    HWND Handle() const { return hwnd_; }

    void CheckRadio(int id) override;
    bool IsChecked(int id) const override;
    void SetText(int id, const std::string& text) override;
    std::string Text(int id) const override;
    void SetVisible(int id, bool visible) override;
    void SetSliderRange(int id, int minimum, int maximum, int tickFrequency) override;
    void SetSliderPosition(int id, int position) override;
    int SliderPosition(int id) const override;
    void ShowMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override;
    void EndDialog(bool accepted) override;

  private:
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK NumericEditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR id, DWORD_PTR self);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void ShowConvertMenu(int id, LPARAM where);
    void CenterOnOwner();
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

    HWND hwnd_ = nullptr;
    OptionDialogPresenter* presenter_ = nullptr;
    bool accepted_ = false;
};

}  // namespace velkor::win32

// What the three option dialogs share: the engine they edit, the view they drive, and the
// numeric edit field's "Con&vert" item.
#pragma once

#include "app/option_dialog_views.h"

namespace velkor {

class IspProgrammer;

class OptionDialogPresenter {
  public:
    OptionDialogPresenter(IspProgrammer& engine, OptionDialogView& view)
        : engine_(engine), view_(view) {}
    virtual ~OptionDialogPresenter() = default;
    OptionDialogPresenter(const OptionDialogPresenter&) = delete;
    OptionDialogPresenter& operator=(const OptionDialogPresenter&) = delete;

    virtual const DialogTemplate& Template() const = 0;
    // Fills the controls from the engine; called once, after the controls exist.
    virtual void OnInit() = 0;
    // A click on a button or a radio button.
    virtual void OnCommand(int id) = 0;
    // The close box or Escape: nothing is written.
    void OnCancel() { view_.EndDialog(false); }

    // The numeric edit field's context menu: whether "Con&vert" is enabled, and the item.
    bool CanConvert(int id) const;
    void Convert(int id);

  protected:
    IspProgrammer& engine_;
    OptionDialogView& view_;
};

}  // namespace velkor

// What the three option dialogs share: the settings they edit, the view they drive, and the
// numeric edit field's "Con&vert" item.
#pragma once

#include "app/option_dialog_views.h"

namespace velkor {

struct ProgrammerSettings;

class OptionDialogPresenter {
  public:
    OptionDialogPresenter(ProgrammerSettings& settings, OptionDialogView& view)
        : settings_(settings), view_(view) {}
    virtual ~OptionDialogPresenter() = default;
    OptionDialogPresenter(const OptionDialogPresenter&) = delete;
    OptionDialogPresenter& operator=(const OptionDialogPresenter&) = delete;

    virtual const DialogTemplate& Template() const = 0;
    // Fills the controls from the settings; called once, after the controls exist.
    virtual void OnInit() = 0;
    // A click on a button or a radio button.
    virtual void OnCommand(int id) = 0;
    // The close box or Escape: nothing is written.
    void OnCancel() { view_.EndDialog(false); }

    // The numeric edit field's context menu: whether "Con&vert" is enabled, and the item.
    bool CanConvert(int id) const;
    void Convert(int id);

  protected:
    ProgrammerSettings& settings_;
    OptionDialogView& view_;
};

}  // namespace velkor

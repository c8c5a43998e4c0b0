// The lock settings dialog (149): whether a run writes the chip's default lock byte or the
// user's own, and that byte.
#pragma once

#include "app/option_dialog_presenter.h"

namespace velkor {

constexpr int kLockDefaultId = 1064;
constexpr int kLockCustomId = 1065;
constexpr int kLockByteId = 1000;

const DialogTemplate& LockDialogTemplate();

class LockDialogPresenter : public OptionDialogPresenter {
  public:
    using OptionDialogPresenter::OptionDialogPresenter;
    const DialogTemplate& Template() const override { return LockDialogTemplate(); }
    void OnInit() override;
    void OnCommand(int id) override;
};

}  // namespace velkor

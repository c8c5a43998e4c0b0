// The download speed settings dialog (152): the fastest transfer, or the user's own delay count
// set on a slider.
#pragma once

#include "app/option_dialog_presenter.h"

namespace velkor {

constexpr int kSpeedFastestId = 1064;
constexpr int kSpeedCustomId = 1065;
constexpr int kSpeedAccelerateId = 1066;  // created hidden, never chosen
constexpr int kSpeedSliderId = 1073;
constexpr int kSpeedSliderMaximum = 255;
constexpr int kSpeedSliderTicks = 20;

const DialogTemplate& SpeedDialogTemplate();

class SpeedDialogPresenter : public OptionDialogPresenter {
  public:
    using OptionDialogPresenter::OptionDialogPresenter;
    const DialogTemplate& Template() const override { return SpeedDialogTemplate(); }
    void OnInit() override;
    void OnCommand(int id) override;
};

}  // namespace velkor

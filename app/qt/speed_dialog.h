// The Qt window of the download speed settings dialog; its behaviour is SpeedDialogPresenter's.
#pragma once

#include "app/qt/option_dialog.h"

namespace velkor {
class IspProgrammer;
}

namespace velkor::qt {

class SpeedDialog : public OptionDialog {
    Q_OBJECT

  public:
    SpeedDialog(IspProgrammer& engine, QWidget* parent);
};

// Shows the dialog modally; returns QDialog::Accepted when it closed with OK.
int RunSpeedDialog(IspProgrammer& engine, QWidget* parent);

}  // namespace velkor::qt

// The Qt window of the download speed settings dialog; its behaviour is SpeedDialogPresenter's.
#pragma once

#include "app/qt/option_dialog.h"

namespace velkor {
struct ProgrammerSettings;
}

namespace velkor::qt {

class SpeedDialog : public OptionDialog {
    Q_OBJECT

  public:
    SpeedDialog(ProgrammerSettings& settings, QWidget* parent);
};

// Shows the dialog modally; returns QDialog::Accepted when it closed with OK.
int RunSpeedDialog(ProgrammerSettings& settings, QWidget* parent);

}  // namespace velkor::qt

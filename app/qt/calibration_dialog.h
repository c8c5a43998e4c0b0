// The Qt window of the calibration byte settings dialog; its behaviour is
// CalibrationDialogPresenter's.
#pragma once

#include "app/qt/option_dialog.h"

namespace velkor {
class IspProgrammer;
}

namespace velkor::qt {

class CalibrationDialog : public OptionDialog {
    Q_OBJECT

  public:
    CalibrationDialog(IspProgrammer& engine, QWidget* parent);
};

// Shows the dialog modally; returns QDialog::Accepted when it closed with OK.
int RunCalibrationDialog(IspProgrammer& engine, QWidget* parent);

}  // namespace velkor::qt

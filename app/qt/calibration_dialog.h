// The Qt window of the calibration byte settings dialog; its behaviour is
// CalibrationDialogPresenter's.
#pragma once

#include <array>
#include <cstdint>

#include "app/qt/option_dialog.h"

namespace velkor {
struct ProgrammerSettings;
}

namespace velkor::qt {

class CalibrationDialog : public OptionDialog {
    Q_OBJECT

  public:
    CalibrationDialog(ProgrammerSettings& settings, const std::array<std::uint8_t, 4>& bytesRead,
                      QWidget* parent);
};

// Shows the dialog modally; returns QDialog::Accepted when it closed with OK.
int RunCalibrationDialog(ProgrammerSettings& settings, const std::array<std::uint8_t, 4>& bytesRead,
                         QWidget* parent);

}  // namespace velkor::qt

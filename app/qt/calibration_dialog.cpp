#include "app/qt/calibration_dialog.h"

#include "app/calibration_dialog_presenter.h"

namespace velkor::qt {

CalibrationDialog::CalibrationDialog(ProgrammerSettings& settings,
                                     const std::array<std::uint8_t, 4>& bytesRead, QWidget* parent)
    : OptionDialog(CalibrationDialogTemplate(), parent) {
    Start(std::make_unique<CalibrationDialogPresenter>(settings, bytesRead, *this));
}

int RunCalibrationDialog(ProgrammerSettings& settings, const std::array<std::uint8_t, 4>& bytesRead,
                         QWidget* parent) {
    CalibrationDialog dialog(settings, bytesRead, parent);
    return dialog.exec();
}

}  // namespace velkor::qt

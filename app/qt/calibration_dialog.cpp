#include "app/qt/calibration_dialog.h"

#include "app/calibration_dialog_presenter.h"

namespace velkor::qt {

CalibrationDialog::CalibrationDialog(IspProgrammer& engine, QWidget* parent)
    : OptionDialog(CalibrationDialogTemplate(), parent) {
    Start(std::make_unique<CalibrationDialogPresenter>(engine, *this));
}

int RunCalibrationDialog(IspProgrammer& engine, QWidget* parent) {
    CalibrationDialog dialog(engine, parent);
    return dialog.exec();
}

}  // namespace velkor::qt

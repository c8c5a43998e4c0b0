#include "app/qt/speed_dialog.h"

#include "app/speed_dialog_presenter.h"

namespace velkor::qt {

SpeedDialog::SpeedDialog(ProgrammerSettings& settings, QWidget* parent)
    : OptionDialog(SpeedDialogTemplate(), parent) {
    Start(std::make_unique<SpeedDialogPresenter>(settings, *this));
}

int RunSpeedDialog(ProgrammerSettings& settings, QWidget* parent) {
    SpeedDialog dialog(settings, parent);
    return dialog.exec();
}

}  // namespace velkor::qt

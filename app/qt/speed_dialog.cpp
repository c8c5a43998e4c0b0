#include "app/qt/speed_dialog.h"

#include "app/speed_dialog_presenter.h"

namespace velkor::qt {

SpeedDialog::SpeedDialog(IspProgrammer& engine, QWidget* parent)
    : OptionDialog(SpeedDialogTemplate(), parent) {
    Start(std::make_unique<SpeedDialogPresenter>(engine, *this));
}

int RunSpeedDialog(IspProgrammer& engine, QWidget* parent) {
    SpeedDialog dialog(engine, parent);
    return dialog.exec();
}

}  // namespace velkor::qt

#include "app/qt/lock_dialog.h"

#include "app/lock_dialog_presenter.h"

namespace velkor::qt {

LockDialog::LockDialog(IspProgrammer& engine, QWidget* parent)
    : OptionDialog(LockDialogTemplate(), parent) {
    Start(std::make_unique<LockDialogPresenter>(engine, *this));
}

int RunLockDialog(IspProgrammer& engine, QWidget* parent) {
    LockDialog dialog(engine, parent);
    return dialog.exec();
}

}  // namespace velkor::qt

#include "app/qt/lock_dialog.h"

#include "app/lock_dialog_presenter.h"

namespace velkor::qt {

LockDialog::LockDialog(ProgrammerSettings& settings, QWidget* parent)
    : OptionDialog(LockDialogTemplate(), parent) {
    Start(std::make_unique<LockDialogPresenter>(settings, *this));
}

int RunLockDialog(ProgrammerSettings& settings, QWidget* parent) {
    LockDialog dialog(settings, parent);
    return dialog.exec();
}

}  // namespace velkor::qt

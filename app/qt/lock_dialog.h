// The Qt window of the lock settings dialog; its behaviour is LockDialogPresenter's.
#pragma once

#include "app/qt/option_dialog.h"

namespace velkor {
struct ProgrammerSettings;
}

namespace velkor::qt {

class LockDialog : public OptionDialog {
    Q_OBJECT

  public:
    LockDialog(ProgrammerSettings& settings, QWidget* parent);
};

// Shows the dialog modally; returns QDialog::Accepted when it closed with OK.
int RunLockDialog(ProgrammerSettings& settings, QWidget* parent);

}  // namespace velkor::qt

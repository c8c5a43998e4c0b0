// The Qt view of an option dialog: a QDialog built from the dialog's template (controls placed
// in dialog units converted for the dialog's font, control ids as object names) that forwards
// clicks to its presenter and lets the presenter fill and read the controls.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <map>
#include <memory>

#include "app/option_dialog_presenter.h"

class QMenu;

namespace velkor::qt {

// The object name a control of an option dialog carries: its id in decimal.
QString ControlName(int id);

class OptionDialog : public QDialog, public OptionDialogView {
    Q_OBJECT

  public:
    OptionDialog(const DialogTemplate& dialog, QWidget* parent);
    ~OptionDialog() override;

    // Dialog units to pixels for this dialog's font.
    const DialogUnits& Units() const { return units_; }
    OptionDialogPresenter& Presenter() { return *presenter_; }

    // OptionDialogView
    void CheckRadio(int id) override;
    bool IsChecked(int id) const override;
    void SetText(int id, const std::string& text) override;
    std::string Text(int id) const override;
    void SetVisible(int id, bool visible) override;
    void SetSliderRange(int id, int minimum, int maximum, int tickFrequency) override;
    void SetSliderPosition(int id, int position) override;
    int SliderPosition(int id) const override;
    void ShowMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override;
    void EndDialog(bool accepted) override;

    // Escape and the close box go to the presenter, which writes nothing.
    void reject() override;

  protected:
    // Called by each dialog's constructor once the controls exist: the presenter fills them.
    void Start(std::unique_ptr<OptionDialogPresenter> presenter);

  private:
    QWidget* Control(int id) const;

    DialogUnits units_;
    std::map<int, QWidget*> controls_;
    std::unique_ptr<OptionDialogPresenter> presenter_;
};

// The numeric edit field: a line edit whose context menu adds "Con&vert".
class NumericEdit : public QLineEdit {
    Q_OBJECT

  public:
    NumericEdit(OptionDialog& dialog, int id);
    // The context menu as it is shown now; the caller owns it.
    QMenu* CreateContextMenu();

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    OptionDialog& dialog_;
    int id_;
};

}  // namespace velkor::qt

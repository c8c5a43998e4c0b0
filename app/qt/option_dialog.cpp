#include "app/qt/option_dialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "app/numeric_field.h"
#include "app/qt/template_font.h"

namespace velkor::qt {

QString ControlName(int id) {
    return QString::number(id);
}

OptionDialog::OptionDialog(const DialogTemplate& dialog, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dialog%1").arg(dialog.resourceId));
    setWindowTitle(QString::fromUtf8(dialog.caption));
    units_ = UseTemplateFont(*this, dialog.fontFace, dialog.fontPoints);
    setFixedSize(units_.X(dialog.width), units_.Y(dialog.height));

    std::map<int, QButtonGroup*> groups;
    for (const ControlTemplate& c : dialog.controls) {
        const QString text = QString::fromUtf8(c.text);
        const int id = c.id;
        QWidget* widget = nullptr;
        switch (c.kind) {
            case ControlKind::GroupBox:
                widget = new QGroupBox(text, this);
                break;
            case ControlKind::Label:
                widget = new QLabel(text, this);
                break;
            case ControlKind::RadioButton: {
                auto* radio = new QRadioButton(text, this);
                QButtonGroup*& group = groups[c.radioGroup];
                if (group == nullptr) group = new QButtonGroup(this);
                group->addButton(radio, id);
                connect(radio, &QRadioButton::clicked, this,
                        [this, id] { presenter_->OnCommand(id); });
                widget = radio;
                break;
            }
            case ControlKind::ReadOnlyEdit: {
                auto* edit = new QLineEdit(text, this);
                edit->setReadOnly(true);
                widget = edit;
                break;
            }
            case ControlKind::NumericEdit:
                widget = new NumericEdit(*this, id);
                break;
            case ControlKind::PushButton:
            case ControlKind::DefaultButton: {
                auto* button = new QPushButton(text, this);
                button->setAutoDefault(false);
                button->setDefault(c.kind == ControlKind::DefaultButton);
                connect(button, &QPushButton::clicked, this,
                        [this, id] { presenter_->OnCommand(id); });
                widget = button;
                break;
            }
            case ControlKind::Slider: {
                auto* slider = new QSlider(Qt::Horizontal, this);
                slider->setTickPosition(QSlider::TicksBelow);
                widget = slider;
                break;
            }
        }
        const DialogRect r = units_.ToPixels(c.rect);
        widget->setGeometry(r.x, r.y, r.width, r.height);
        if (c.hidden) widget->setVisible(false);
        if (id != kIdStatic) {
            widget->setObjectName(ControlName(id));
            controls_[id] = widget;
        }
    }
}

OptionDialog::~OptionDialog() = default;

void OptionDialog::Start(std::unique_ptr<OptionDialogPresenter> presenter) {
    presenter_ = std::move(presenter);
    presenter_->OnInit();
}

QWidget* OptionDialog::Control(int id) const {
    return controls_.at(id);
}

void OptionDialog::CheckRadio(int id) {
    static_cast<QAbstractButton*>(Control(id))->setChecked(true);
}

bool OptionDialog::IsChecked(int id) const {
    return static_cast<QAbstractButton*>(Control(id))->isChecked();
}

void OptionDialog::SetText(int id, const std::string& text) {
    const QString value = QString::fromStdString(text);
    QWidget* widget = Control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(value);
    }
}

std::string OptionDialog::Text(int id) const {
    QWidget* widget = Control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text().toStdString();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text().toStdString();
    return {};
}

void OptionDialog::SetVisible(int id, bool visible) {
    Control(id)->setVisible(visible);
}

void OptionDialog::SetSliderRange(int id, int minimum, int maximum, int tickFrequency) {
    auto* slider = static_cast<QSlider*>(Control(id));
    slider->setRange(minimum, maximum);
    slider->setTickInterval(tickFrequency);
}

void OptionDialog::SetSliderPosition(int id, int position) {
    static_cast<QSlider*>(Control(id))->setValue(position);
}

int OptionDialog::SliderPosition(int id) const {
    return static_cast<QSlider*>(Control(id))->value();
}

void OptionDialog::ShowMessage(const std::string& text, const std::string& caption,
                               MessageIcon icon) {
    const QMessageBox::Icon shown =
        icon == MessageIcon::Stop ? QMessageBox::Critical : QMessageBox::Information;
    QMessageBox box(shown, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, this);
    box.exec();
}

void OptionDialog::EndDialog(bool accepted) {
    done(accepted ? Accepted : Rejected);
}

void OptionDialog::reject() {
    presenter_->OnCancel();
}

NumericEdit::NumericEdit(OptionDialog& dialog, int id)
    : QLineEdit(&dialog), dialog_(dialog), id_(id) {}

QMenu* NumericEdit::CreateContextMenu() {
    QMenu* menu = createStandardContextMenu();
    auto* convert = new QAction(QString::fromUtf8(kConvertMenuText), menu);
    convert->setEnabled(dialog_.Presenter().CanConvert(id_));
    connect(convert, &QAction::triggered, this, [this] { dialog_.Presenter().Convert(id_); });
    QAction* first = menu->actions().isEmpty() ? nullptr : menu->actions().first();
    menu->insertAction(first, convert);
    menu->insertSeparator(first);
    return menu;
}

void NumericEdit::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu(CreateContextMenu());
    menu->exec(event->globalPos());
}

}  // namespace velkor::qt

#include "app/qt/main_window.h"

#include <QAbstractItemView>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/main_window_template.h"
#include "app/qt/calibration_dialog.h"
#include "app/qt/lock_dialog.h"
#include "app/qt/speed_dialog.h"
#include "app/qt/template_font.h"
#include "controls/hyperlink_model.h"
#include "controls/qt/artwork.h"
#include "controls/qt/flat_combo_box.h"
#include "controls/qt/hyperlink_label.h"
#include "controls/qt/icon_button.h"
#include "controls/qt/status_display.h"

namespace velkor::qt {

namespace {

QString Name(int id) {
    return QString::number(id);
}

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QColor ToQColor(controls::Rgb c) {
    return QColor(c.r, c.g, c.b);
}

}  // namespace

// Each is queued even when made on the window's own thread, as a posted message is.
void QueuedRunObserver::OnLog() {
    QMetaObject::invokeMethod(
        this, [this] { emit LogAppended(); }, Qt::QueuedConnection);
}

void QueuedRunObserver::OnProgress(int percent) {
    QMetaObject::invokeMethod(
        this, [this, percent] { emit ProgressChanged(percent); }, Qt::QueuedConnection);
}

void QueuedRunObserver::OnRunEnded() {
    QMetaObject::invokeMethod(
        this, [this] { emit RunEnded(); }, Qt::QueuedConnection);
}

MainWindow::MainWindow(Station& station, const std::string& settingsPath, FlashFileWatch* watch,
                       QWidget* parent)
    : QDialog(parent), station_(station) {
    const MainWindowTemplate& t = MainTemplate();
    setObjectName(QStringLiteral("dialog102"));
    setWindowTitle(QString::fromUtf8(t.caption));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    units_ = UseTemplateFont(*this, t.fontFace, t.fontPoints);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    client_ = new QWidget(this);
    client_->setFixedSize(units_.X(t.width), units_.Y(t.height));
    layout->addWidget(client_);
    BuildMenu();
    BuildControls();

    observer_ = new QueuedRunObserver(this);
    connect(observer_, &QueuedRunObserver::LogAppended, this, [this] { presenter_->OnLog(); });
    connect(observer_, &QueuedRunObserver::ProgressChanged, this,
            [this](int percent) { presenter_->OnProgress(percent); });
    connect(observer_, &QueuedRunObserver::RunEnded, this, [this] { presenter_->OnRunEnded(); });
    presenter_ = std::make_unique<MainWindowPresenter>(station, *this, settingsPath, watch);
    station_.SetObserver(observer_);
}

MainWindow::~MainWindow() {
    // The presenter waits for a run still going; the observer it reports to lives until then,
    // and the station reports to nobody after.
    presenter_.reset();
    station_.SetObserver(nullptr);
}

void MainWindow::Start() {
    presenter_->Initialise();
}

void MainWindow::BuildMenu() {
    auto* bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("menu138"));
    for (const MainMenuPopup& popup : MainTemplate().menu) {
        QMenu* menu = bar->addMenu(QString::fromUtf8(popup.caption));
        for (const MainMenuItem& item : popup.items) {
            QAction* action = menu->addAction(QString::fromUtf8(item.caption));
            action->setObjectName(Name(item.id));
            action->setCheckable(item.checkable);
            const int id = item.id;
            connect(action, &QAction::triggered, this, [this, id] { presenter_->OnCommand(id); });
            actions_[id] = action;
        }
    }
    layout()->setMenuBar(bar);
}

void MainWindow::BuildControls() {
    auto* radios = new QButtonGroup(this);
    const controls::HyperlinkColours& colours = controls::kMainWindowLinkColours;
    for (const MainControl& c : MainTemplate().controls) {
        const QString caption = QString::fromUtf8(c.caption);
        const int id = c.id;
        QWidget* widget = nullptr;
        auto forwardClick = [this, id](QAbstractButton* button) {
            connect(button, &QAbstractButton::clicked, this,
                    [this, id] { presenter_->OnCommand(id); });
        };
        switch (c.kind) {
            case MainControlKind::GroupBox:
                widget = new QGroupBox(caption, client_);
                break;
            case MainControlKind::ChipList:
            case MainControlKind::WizardList: {
                auto* list = new FlatComboBox(client_);
                list->setMaxVisibleItems(20);
                connect(list, &QComboBox::activated, this,
                        [this, id](int index) { presenter_->OnListSelection(id, index); });
                widget = list;
                break;
            }
            case MainControlKind::Radio: {
                auto* radio = new QRadioButton(caption, client_);
                radios->addButton(radio, id);
                forwardClick(radio);
                widget = radio;
                break;
            }
            case MainControlKind::CheckBox: {
                auto* box = new QCheckBox(caption, client_);
                forwardClick(box);
                widget = box;
                break;
            }
            case MainControlKind::PushButton: {
                auto* button = new QPushButton(caption, client_);
                button->setAutoDefault(false);  // Enter does nothing in this window
                forwardClick(button);
                widget = button;
                break;
            }
            case MainControlKind::IconButton:
            case MainControlKind::FuseBox: {
                auto* button = new IconButton(caption, client_);
                button->setAutoDefault(false);
                if (c.kind == MainControlKind::FuseBox) {
                    button->SetCheckBoxMode(true);
                    button->SetIcons(kIconFuseChecked, kIconFuseUnchecked);
                } else if (c.icon == kIconReset) {
                    // The 16 x 16 picture leaves room for the caption beside it.
                    button->SetIcons(QIcon(ArtworkIcon(c.icon).pixmap(16, 16)));
                } else if (c.icon != 0) {
                    button->SetIcons(c.icon);
                }
                if (*c.tooltip != '\0') {
                    button->SetBalloonTip(true);
                    button->SetTooltipText(QString::fromUtf8(c.tooltip));
                }
                if (*c.target != '\0') button->SetLink(QString::fromUtf8(c.target));
                forwardClick(button);
                widget = button;
                break;
            }
            case MainControlKind::Hyperlink: {
                auto* link = new HyperlinkLabel(client_);
                link->SetColours(ToQColor(colours.link), ToQColor(colours.visited),
                                 ToQColor(colours.hover));
                link->SetLink(caption, QString::fromUtf8(c.target));
                widget = link;
                break;
            }
            case MainControlKind::LogBox: {
                log_ = new QPlainTextEdit(client_);
                log_->setReadOnly(true);
                log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
                log_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
                widget = log_;
                break;
            }
            case MainControlKind::StatusDisplay:
                status_ = new StatusDisplay(client_);
                status_->SetDotStyle(3);
                status_->SetColours(QColor(0, 0, 0), QColor(255, 60, 0), QColor(103, 30, 0));
                widget = status_;
                break;
        }
        // Edges are converted, not sizes, so controls that touch in dialog units touch in
        // pixels too instead of overlapping by a rounded pixel.
        const DialogRect& u = c.rect;
        const DialogRect r{units_.X(u.x), units_.Y(u.y), units_.X(u.x + u.width) - units_.X(u.x),
                           units_.Y(u.y + u.height) - units_.Y(u.y)};
        // A drop-down list's rectangle includes its opened list; closed, it is one line high.
        // The dot display keeps its own size.
        const bool list =
            c.kind == MainControlKind::ChipList || c.kind == MainControlKind::WizardList;
        widget->setGeometry(r.x, r.y, r.width, list ? widget->sizeHint().height() : r.height);
        widget->setAccessibleName(caption);
        if (id != kNoControlId) {
            widget->setObjectName(Name(id));
            controls_[id] = widget;
        }
    }
}

QWidget* MainWindow::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

// ---- MainWindowView ----

void MainWindow::SetText(int id, const std::string& text) {
    const QString value = FromUtf8(text);
    if (auto it = actions_.find(id); it != actions_.end()) {
        it->second->setText(value);
        return;
    }
    QWidget* widget = Control(id);
    if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(value);
    }
    if (widget != nullptr) widget->setAccessibleName(value);
}

void MainWindow::SetVisible(int id, bool visible) {
    if (auto it = actions_.find(id); it != actions_.end()) {
        it->second->setVisible(visible);
    } else if (QWidget* widget = Control(id)) {
        widget->setVisible(visible);
    }
}

void MainWindow::SetEnabled(int id, bool enabled) {
    if (auto it = actions_.find(id); it != actions_.end()) {
        it->second->setEnabled(enabled);
    } else if (QWidget* widget = Control(id)) {
        widget->setEnabled(enabled);
    }
}

void MainWindow::SetChecked(int id, bool checked) {
    if (auto it = actions_.find(id); it != actions_.end()) {
        it->second->setChecked(checked);
    } else if (auto* button = qobject_cast<QAbstractButton*>(Control(id))) {
        const QSignalBlocker quiet(button);
        button->setChecked(checked);
    }
}

bool MainWindow::IsChecked(int id) const {
    if (auto it = actions_.find(id); it != actions_.end()) return it->second->isChecked();
    auto* button = qobject_cast<QAbstractButton*>(Control(id));
    return button != nullptr && button->isChecked();
}

void MainWindow::SetListItems(int id, const std::vector<std::string>& items, int selection) {
    auto* list = qobject_cast<QComboBox*>(Control(id));
    if (list == nullptr) return;
    const QSignalBlocker quiet(list);
    list->clear();
    // Some wizard entries carry a tab, which the Win32 list lays out as a gap; a Qt list draws
    // it as nothing and elides the rest. A blank takes its place, and the drop-down is made
    // wide enough for the longest entry, so that every entry shows whole.
    const QFontMetrics metrics(list->view()->font());
    int widest = 0;
    for (const std::string& item : items) {
        const QString text = FromUtf8(item).replace(QLatin1Char('\t'), QLatin1Char(' ')).trimmed();
        widest = std::max(widest, metrics.horizontalAdvance(text));
        list->addItem(text);
    }
    list->view()->setMinimumWidth(widest + 2 * metrics.averageCharWidth() +
                                  list->view()->verticalScrollBar()->sizeHint().width());
    list->setCurrentIndex(selection);
}

void MainWindow::SetLinkTarget(int id, const std::string& target) {
    QWidget* widget = Control(id);
    if (auto* button = qobject_cast<IconButton*>(widget)) {
        button->SetLink(FromUtf8(target));
    } else if (auto* link = qobject_cast<HyperlinkLabel*>(widget)) {
        link->SetLink(link->text(), FromUtf8(target));
    }
}

void MainWindow::ShowLog(const std::string& text) {
    QString shown = FromUtf8(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (shown.endsWith(QLatin1Char('\n'))) shown.chop(1);  // no empty line under the last one
    log_->setPlainText(shown);
    QScrollBar* bar = log_->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void MainWindow::AppendLog(const std::string& text) {
    QString shown = FromUtf8(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (shown.endsWith(QLatin1Char('\n'))) shown.chop(1);
    // appendPlainText starts a new paragraph: the box's last line ends where the text starts.
    log_->appendPlainText(shown);
    QScrollBar* bar = log_->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void MainWindow::StatusText(const std::string& text) {
    status_->SetTextUtf8(text);
}

void MainWindow::StatusBar(int litColumns) {
    status_->SetBar(litColumns);
}

void MainWindow::StatusStartScroll(int periodMs) {
    status_->StartScroll(periodMs, ScrollDirection::Left);
}

void MainWindow::StatusStopScroll() {
    status_->StopScroll();
}

void MainWindow::SetIcon(int iconId) {
    iconId_ = iconId;
    setWindowIcon(ArtworkIcon(iconId));
}

void MainWindow::SetTitle(const std::string& title) {
    setWindowTitle(FromUtf8(title));
}

namespace {

// "HEX files (*.hex *.eep)" from a title and the patterns as the Windows dialogs take them,
// separated by ';'.
QString FileFilter(const std::string& title, const std::string& patterns) {
    QString list = FromUtf8(patterns);
    list.replace(QLatin1Char(';'), QLatin1Char(' '));
    return FromUtf8(title) + QStringLiteral(" (") + list + QStringLiteral(")");
}

}  // namespace

std::optional<std::string> MainWindow::ChooseFile(const FileChoice& choice) {
    QFileDialog dialog(this, QString(), QString(),
                       FileFilter(choice.filterTitle, choice.initialName));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(FromUtf8(choice.defaultExtension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first().toStdString();
}

std::optional<std::string> MainWindow::ChooseSaveFile(const SaveChoice& choice) {
    QFileDialog dialog(this, FromUtf8(choice.title), QString(),
                       FileFilter(choice.filterTitle, choice.patterns));
    dialog.setObjectName(QStringLiteral("saveFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(FromUtf8(choice.defaultExtension));
    dialog.selectFile(FromUtf8(choice.suggestedName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first().toStdString();
}

bool MainWindow::Confirm(const std::string& text, const std::string& caption) {
    QString shown = FromUtf8(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return QMessageBox::question(this, FromUtf8(caption), shown, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void MainWindow::ShowNotice(const std::string& text, const std::string& caption) {
    QString shown = FromUtf8(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox::warning(this, FromUtf8(caption), shown.trimmed());
}

void MainWindow::ShowAbout(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon,
                    QString::fromUtf8(MainTemplate().aboutEntry).remove(QStringLiteral("(&A)...")),
                    FromUtf8(text), QMessageBox::Ok, this);
    box.setIconPixmap(ArtworkIcon(kIconIdle).pixmap(32, 32));
    box.exec();
}

void MainWindow::ShowOptionDialog(int menuId) {
    switch (menuId) {
        case kMenuOscCal:
            RunCalibrationDialog(station_.Options(), station_.Engine().CalibrationBytes(), this);
            break;
        case kMenuLockByte:
            RunLockDialog(station_.Options(), this);
            break;
        case kMenuSetupSpeed:
            RunSpeedDialog(station_.Options(), this);
            break;
        default:
            break;
    }
}

void MainWindow::EndDialog(bool accepted) {
    ending_ = true;
    done(accepted ? Accepted : Rejected);
}

// ---- keys and closing ----

void MainWindow::closeEvent(QCloseEvent* event) {
    if (ending_) {
        event->accept();
        return;
    }
    // The presenter ends the window itself, at once or after the run going now.
    event->ignore();
    presenter_->OnClose();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            presenter_->OnEnter();
            return;
        case Qt::Key_Escape:
            presenter_->OnEscape();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void MainWindow::reject() {
    if (ending_) {
        QDialog::reject();
        return;
    }
    presenter_->OnEscape();
}

}  // namespace velkor::qt

#include "controls/qt/icon_button.h"

#include <qdrawutil.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include "controls/qt/artwork.h"

namespace velkor::qt {

namespace {

constexpr int kPadding = 3;  // between the edge, the icon and the caption

// An icon is drawn at its own size, the largest it comes in.
QSize OwnSize(const QIcon& icon) {
    QSize own(16, 16);
    for (const QSize& size : icon.availableSizes()) {
        if (size.width() > own.width()) own = size;
    }
    return own;
}

}  // namespace

IconButton::IconButton(QWidget* parent) : IconButton(QString(), parent) {}

IconButton::IconButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent), opener_(OpenLinkWithDesktop) {
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    connect(this, &QAbstractButton::clicked, this, &IconButton::OnClicked);
}

IconButton::~IconButton() = default;

void IconButton::SetIcons(int icon1, int icon2) {
    SetIcons(ArtworkIcon(icon1), icon2 != 0 ? ArtworkIcon(icon2) : QIcon());
}

void IconButton::SetIcons(const QIcon& icon1, const QIcon& icon2) {
    icon1_ = icon1;
    icon2_ = icon2;
    updateGeometry();
    update();
}

void IconButton::SetCheckBoxMode(bool on) {
    setCheckable(on);
    update();
}

void IconButton::SetFlatLook(bool flat) {
    flat_ = flat;
    if (!flat) hovered_ = false;
    update();
}

void IconButton::SetBorder(bool border) {
    border_ = border;
    update();
}

void IconButton::SetBalloonTip(bool balloon) {
    balloon_ = balloon;
    // Qt has no balloon tooltips; a rounded, pale-yellow tip stands in for one.
    setStyleSheet(balloon ? QStringLiteral("QToolTip { background: #ffffe1; color: black; "
                                           "border: 1px solid #767676; border-radius: 6px; "
                                           "padding: 4px; }")
                          : QString());
}

void IconButton::SetTooltipText(const QString& text, bool active) {
    tipText_ = text;
    setToolTip(active ? text : QString());
}

void IconButton::SetLink(const QString& target) {
    link_ = target;
}

void IconButton::SetLinkOpener(LinkOpener opener) {
    opener_ = std::move(opener);
}

void IconButton::OnClicked() {
    setFocus(Qt::MouseFocusReason);
    // Check-box mode toggled in nextCheckState(); a push-mode click follows the link, and a
    // failure stays silent.
    if (!isCheckable() && !link_.isEmpty() && opener_) opener_(link_);
}

void IconButton::nextCheckState() {
    QPushButton::nextCheckState();
}

controls::IconButtonState IconButton::State() const {
    controls::IconButtonState s;
    s.checkBoxMode = isCheckable();
    s.checked = isChecked();
    s.beingPressed = isDown();
    s.hovered = hovered_;
    s.flat = flat_;
    s.border = border_;
    return s;
}

int IconButton::ShownIcon() const {
    return controls::ShownIcon(State(), !icon2_.isNull());
}

void IconButton::enterEvent(QEnterEvent* event) {
    QPushButton::enterEvent(event);
    if (flat_ && !(QApplication::mouseButtons() & Qt::LeftButton) && !hovered_) {
        hovered_ = true;
        update();
    }
}

void IconButton::mouseMoveEvent(QMouseEvent* event) {
    QPushButton::mouseMoveEvent(event);
    if (flat_ && !(event->buttons() & Qt::LeftButton) && !hovered_ &&
        rect().contains(event->pos())) {
        hovered_ = true;
        update();
    }
}

void IconButton::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    if (hovered_) {
        hovered_ = false;
        update();
    }
}

QSize IconButton::sizeHint() const {
    const QIcon& icon = icon1_.isNull() ? icon2_ : icon1_;
    const QSize iconSize = icon.isNull() ? QSize() : OwnSize(icon);
    const QSize textSize =
        text().isEmpty() ? QSize() : fontMetrics().size(Qt::TextShowMnemonic, text());
    int width = 2 * kPadding + iconSize.width() + textSize.width();
    if (!iconSize.isEmpty() && !textSize.isEmpty()) width += kPadding;
    const int height = 2 * kPadding + std::max(iconSize.height(), textSize.height());
    return {std::max(width, 16), std::max(height, 16)};
}

void IconButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const controls::IconButtonState state = State();
    const QPalette& pal = palette();
    QRect r = rect();

    if (!flat_ && (hasFocus() || isDefault())) {
        painter.setPen(Qt::black);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }
    painter.fillRect(r, pal.color(QPalette::Button));
    switch (controls::Edge(state)) {
        case controls::ButtonEdge::Sunken:
            qDrawShadePanel(&painter, r, pal, /*sunken=*/true, 1);
            break;
        case controls::ButtonEdge::Raised:
            qDrawShadePanel(&painter, r, pal, /*sunken=*/false, 1);
            break;
        case controls::ButtonEdge::ShadowFrame:
            painter.setPen(pal.color(QPalette::Dark));
            painter.drawRect(r.adjusted(0, 0, -1, -1));
            break;
        case controls::ButtonEdge::Raised3D:
            qDrawWinButton(&painter, r, pal, /*sunken=*/false);
            break;
        case controls::ButtonEdge::None:
            break;
    }

    const bool pressedShift = controls::DrawsPressed(state) && state.beingPressed;
    QRect content = r.adjusted(kPadding, kPadding, -kPadding, -kPadding);
    if (pressedShift) content.translate(1, 1);

    const QIcon& icon = ShownIcon() == 1 ? icon1_ : icon2_;
    if (!icon.isNull()) {
        const QSize size = OwnSize(icon);
        const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
        const QPixmap pixmap = icon.pixmap(size, devicePixelRatioF(), mode);
        const bool alone = text().isEmpty();
        const int x = alone ? content.center().x() - size.width() / 2 + 1 : content.left();
        const int y = content.center().y() - size.height() / 2 + 1;
        painter.drawPixmap(x, y, pixmap);
        if (!alone) content.setLeft(x + size.width() + kPadding);
    }
    if (!text().isEmpty()) {
        const int align = Qt::TextShowMnemonic | Qt::AlignVCenter |
                          (icon.isNull() ? Qt::AlignHCenter : Qt::AlignLeft);
        style()->drawItemText(&painter, content, align, pal, isEnabled(), text(),
                              QPalette::ButtonText);
    }
    if (!flat_ && hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = r.adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

}  // namespace velkor::qt

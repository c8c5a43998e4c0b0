#include "controls/qt/flat_combo_box.h"

#include <qdrawutil.h>

#include <QPainter>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace velkor::qt {

FlatComboBox::FlatComboBox(QWidget* parent) : QComboBox(parent) {
    setAttribute(Qt::WA_Hover);
}

FlatComboBox::~FlatComboBox() = default;

void FlatComboBox::enterEvent(QEnterEvent* event) {
    QComboBox::enterEvent(event);
    hovered_ = true;
    update();
}

void FlatComboBox::leaveEvent(QEvent* event) {
    QComboBox::leaveEvent(event);
    hovered_ = false;
    update();
}

void FlatComboBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& pal = palette();
    const QRect r = rect();
    const int buttonWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const QRect button(r.right() - buttonWidth - 1, r.top() + 2, buttonWidth, r.height() - 4);

    // The text field: white (base) inside a border that is flat button face at rest and a
    // sunken edge while hovered.
    painter.fillRect(r, pal.color(QPalette::Base));
    if (hovered_) {
        qDrawShadePanel(&painter, r, pal, /*sunken=*/true, 1);
    } else {
        painter.setPen(pal.color(QPalette::Button));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        painter.drawRect(r.adjusted(1, 1, -2, -2));
    }
    // The drop-down button: raised while hovered, else flat button face.
    painter.fillRect(button, pal.color(QPalette::Button));
    if (hovered_) qDrawShadePanel(&painter, button, pal, /*sunken=*/false, 1);
    QStyleOption arrow;
    arrow.initFrom(this);
    arrow.rect = button.adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, &painter, this);

    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.rect = r.adjusted(3, 0, -buttonWidth - 4, 0);
    option.frame = false;
    painter.setPen(pal.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    painter.drawText(option.rect, Qt::AlignVCenter | Qt::AlignLeft, currentText());
}

}  // namespace velkor::qt

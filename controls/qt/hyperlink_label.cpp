#include "controls/qt/hyperlink_label.h"

#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>

namespace velkor::qt {

namespace {

controls::Rgb ToRgb(const QColor& c) {
    return {static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
            static_cast<std::uint8_t>(c.blue())};
}

}  // namespace

HyperlinkLabel::HyperlinkLabel(QWidget* parent) : HyperlinkLabel(QString(), parent) {}

HyperlinkLabel::HyperlinkLabel(const QString& caption, QWidget* parent)
    : QLabel(caption, parent), opener_(OpenLinkWithDesktop) {
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    SetLink(caption, QString());
}

HyperlinkLabel::~HyperlinkLabel() = default;

void HyperlinkLabel::SetLink(const QString& caption, const QString& target) {
    link_ = target.isEmpty() ? caption : target;
    setText(caption.isEmpty() ? link_ : caption);
    setToolTip(link_);
    ApplyLook();
    // Fit the text, keeping the edge (or the centre) the alignment anchors the text to.
    const QRect before = geometry();
    adjustSize();
    QRect after = geometry();
    const Qt::Alignment a = alignment();
    if (a & Qt::AlignRight) after.moveRight(before.right());
    if (a & Qt::AlignHCenter) after.moveLeft(before.center().x() - after.width() / 2);
    if (a & Qt::AlignVCenter) after.moveTop(before.center().y() - after.height() / 2);
    setGeometry(after);
}

void HyperlinkLabel::SetColours(QColor link, QColor visited, QColor hover) {
    linkColour_ = link;
    visitedColour_ = visited;
    hoverColour_ = hover.isValid() ? hover : palette().color(QPalette::Highlight);
    ApplyLook();
}

void HyperlinkLabel::SetVisited(bool visited) {
    visited_ = visited;
    ApplyLook();
}

void HyperlinkLabel::SetLinkOpener(LinkOpener opener) {
    opener_ = std::move(opener);
}

QColor HyperlinkLabel::TextColour() const {
    const controls::HyperlinkColours colours{ToRgb(linkColour_), ToRgb(visitedColour_),
                                             ToRgb(hoverColour_)};
    const controls::Rgb c = controls::HyperlinkTextColour(colours, hovered_, visited_);
    return QColor(c.r, c.g, c.b);
}

void HyperlinkLabel::ApplyLook() {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, TextColour());
    setPalette(pal);
    // Underlined only while hovered.
    QFont f = font();
    f.setUnderline(hovered_);
    setFont(f);
    update();
}

void HyperlinkLabel::SetHovered(bool hovered) {
    if (hovered_ == hovered) return;
    hovered_ = hovered;
    ApplyLook();
}

void HyperlinkLabel::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    SetHovered(true);
}

void HyperlinkLabel::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    SetHovered(false);
}

void HyperlinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
    SetHovered(false);
    const int code = opener_ ? opener_(link_) : 0;
    if (controls::LinkOpenSucceeded(code)) {
        SetVisited(true);
    } else {
        QApplication::beep();
        auto* box = new QMessageBox(QMessageBox::Warning, QApplication::applicationDisplayName(),
                                    QString::fromStdString(controls::LinkOpenFailureMessage(code)),
                                    QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
    emit clicked();
}

}  // namespace velkor::qt

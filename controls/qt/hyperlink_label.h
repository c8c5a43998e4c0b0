// A coloured link text: link colour, visited colour after a successful open, hover colour
// and an underline while the mouse is over it, a hand cursor, and a tooltip with the target.
// A click opens the target; a failure beeps and shows "Unable to open hyperlink:" with the
// reason in a message box.
#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

#include "controls/hyperlink_model.h"
#include "controls/qt/link_opener.h"

namespace velkor::qt {

class HyperlinkLabel : public QLabel {
    Q_OBJECT

  public:
    explicit HyperlinkLabel(QWidget* parent = nullptr);
    explicit HyperlinkLabel(const QString& caption, QWidget* parent = nullptr);
    ~HyperlinkLabel() override;

    // An empty target takes the caption, an empty caption the target. The label fits its text.
    void SetLink(const QString& caption, const QString& target);
    QString Link() const { return link_; }
    // An invalid hover colour means the system's highlight colour.
    void SetColours(QColor link, QColor visited, QColor hover = QColor());
    void SetVisited(bool visited);
    bool IsVisited() const { return visited_; }
    bool IsHovered() const { return hovered_; }
    // The colour the text is drawn in now.
    QColor TextColour() const;
    void SetLinkOpener(LinkOpener opener);

  signals:
    // After every click, whether the link opened or not.
    void clicked();

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void SetHovered(bool hovered);
    void ApplyLook();

    QString link_;
    QColor linkColour_{0, 0, 238};
    QColor visitedColour_{85, 26, 139};
    QColor hoverColour_{255, 0, 0};
    LinkOpener opener_;
    bool visited_ = false;
    bool hovered_ = false;
};

}  // namespace velkor::qt

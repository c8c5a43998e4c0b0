// A flat push button or check box that shows icons: icon 1 while pressed, hovered (push
// mode) or checked (check-box mode), icon 2 otherwise. In check-box mode the fuse boxes use
// the red lamp (130) for checked and the green lamp (131) for not checked. clicked() and
// toggled() reach the parent as with any QPushButton; setChecked() changes the lamp.
#pragma once

#include <QIcon>
#include <QPushButton>
#include <QString>

#include "controls/icon_button_model.h"
#include "controls/qt/link_opener.h"

namespace velkor::qt {

class IconButton : public QPushButton {
    Q_OBJECT

  public:
    explicit IconButton(QWidget* parent = nullptr);
    explicit IconButton(const QString& caption, QWidget* parent = nullptr);
    ~IconButton() override;

    // Artwork resource IDs (see artwork.h); icon2 0 for none. An ID that does not load leaves
    // the button without that icon.
    void SetIcons(int icon1, int icon2 = 0);
    void SetIcons(const QIcon& icon1, const QIcon& icon2 = QIcon());
    // Check-box mode: the button keeps its own check state and toggles it on a click.
    void SetCheckBoxMode(bool on);
    bool CheckBoxMode() const { return isCheckable(); }
    // Flat (the default): no border unless hovered or pressed. Border: whether the flat look
    // draws an edge then.
    void SetFlatLook(bool flat);
    void SetBorder(bool border);

    // Balloon look for the tooltip; set before the tooltip text.
    void SetBalloonTip(bool balloon);
    void SetTooltipText(const QString& text, bool active = true);
    bool BalloonTip() const { return balloon_; }

    // A push-mode click opens the target; empty: no link. Failures are silent.
    void SetLink(const QString& target);
    QString Link() const { return link_; }
    void SetLinkOpener(LinkOpener opener);

    bool IsHovered() const { return hovered_; }
    // 1 or 2: the icon the button shows in its current state.
    int ShownIcon() const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void nextCheckState() override;

  private:
    void OnClicked();
    controls::IconButtonState State() const;

    QIcon icon1_;
    QIcon icon2_;
    QString link_;
    LinkOpener opener_;
    QString tipText_;
    bool balloon_ = false;
    bool flat_ = true;
    bool border_ = true;
    bool hovered_ = false;
};

}  // namespace velkor::qt

// A drop-down list drawn flat in the button-face colour, its border and drop-down button
// raised while the mouse is over it. Selection works as in any QComboBox.
#pragma once

#include <QComboBox>

namespace velkor::qt {

class FlatComboBox : public QComboBox {
    Q_OBJECT

  public:
    explicit FlatComboBox(QWidget* parent = nullptr);
    ~FlatComboBox() override;

    bool IsHovered() const { return hovered_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    bool hovered_ = false;
};

}  // namespace velkor::qt

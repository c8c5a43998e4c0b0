// The red dot-matrix status sign: 120 x 12 dots of 3 x 3 pixels inside a 2-pixel sunken
// frame (364 x 40 pixels), showing a text, a scrolling text or a progress bar.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <string_view>

#include "controls/status_display_model.h"

namespace velkor::qt {

using controls::ScrollDirection;

class StatusDisplay : public QWidget {
    Q_OBJECT

  public:
    explicit StatusDisplay(QWidget* parent = nullptr);
    ~StatusDisplay() override;

    // Dot style 3: 3 x 3-pixel cells from bitmap 135; fixes the size to 364 x 40. The display
    // starts in this style, so calling it is optional.
    void SetDotStyle(int style);
    // Defaults: black, RGB(255, 60, 0), RGB(103, 30, 0).
    void SetColours(QColor background, QColor lit, QColor dark);

    // Renders the text and shows its first 120 columns (20 single-width characters).
    void SetText(const QString& text);
    void SetTextUtf8(std::string_view utf8);
    // Lights the first `columns` columns of all 12 rows (clamped to 0..120), darkens the rest.
    void SetBar(int columns);

    // Moves the text 2 columns every `periodMs`; does nothing when already scrolling.
    void StartScroll(int periodMs, ScrollDirection direction = ScrollDirection::Left);
    // Does nothing when not scrolling.
    void StopScroll();
    bool IsScrolling() const;

    const controls::StatusDisplayModel& Model() const { return *model_; }
    // Pixel position of a dot cell's top-left corner in the widget.
    static QPoint CellOrigin(int column, int row);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void Tick();
    void RebuildCells();

    std::unique_ptr<controls::GlyphRasteriser> rasteriser_;
    std::unique_ptr<controls::StatusDisplayModel> model_;
    QTimer timer_;
    QColor background_{0, 0, 0};
    QColor lit_{255, 60, 0};
    QColor dark_{103, 30, 0};
    QImage darkCell_;
    QImage litCell_;
};

}  // namespace velkor::qt

#include "controls/qt/status_display.h"

#include <qdrawutil.h>

#include <QFont>
#include <QPaintEvent>
#include <QPainter>

#include "controls/qt/artwork.h"

namespace velkor::qt {

namespace {

using DotModel = controls::StatusDisplayModel;

constexpr int kDot = controls::kDotCell;
constexpr int kMargin = controls::kDotFrame;  // the sunken frame around the dots

QSize DisplaySize() {
    return {DotModel::kColumns * kDot + 2 * kMargin, DotModel::kRows * kDot + 2 * kMargin};
}

// Draws a character into a white cell and samples the black pixels. Wide characters come from
// Zen Hei Sharp, whose hand-tuned 12-pixel bitmaps match the sign's height; narrow ones from
// Zen Hei Mono, whose Latin letters are exactly half an em (6 pixels) wide, as the layout
// expects. The outline fonts are the fallback.
class QtGlyphRasteriser : public controls::GlyphRasteriser {
  public:
    QtGlyphRasteriser()
        : wide_(MakeFont({QStringLiteral("WenQuanYi Zen Hei Sharp")})),
          narrow_(MakeFont({QStringLiteral("WenQuanYi Zen Hei Mono"),
                            QStringLiteral("WenQuanYi Micro Hei Mono")})) {}

    void Render(char32_t character, int width, std::uint8_t* cell) override {
        QImage image(width, DotModel::kRows, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setFont(width > DotModel::kSingleWidth ? wide_ : narrow_);
            painter.setPen(Qt::black);
            const QString text = QString::fromUcs4(&character, 1);
            // A glyph narrower than its cell is centred; the baseline leaves room for descenders.
            const int advance = painter.fontMetrics().horizontalAdvance(text);
            painter.drawText(std::max(0, (width - advance) / 2), kBaseline, text);
        }
        for (int y = 0; y < DotModel::kRows; ++y) {
            for (int x = 0; x < width; ++x) {
                cell[y * width + x] = qGray(image.pixel(x, y)) < 128 ? 1 : 0;
            }
        }
    }

  private:
    static QFont MakeFont(QStringList families) {
        families << QStringLiteral("WenQuanYi Micro Hei") << QStringLiteral("Noto Sans CJK SC");
        QFont font;
        font.setFamilies(families);
        font.setPixelSize(DotModel::kRows);
        // Dots are either lit or not: grey edge pixels would light at random.
        font.setStyleStrategy(QFont::NoAntialias);
        return font;
    }

    static constexpr int kBaseline = 10;
    QFont wide_;
    QFont narrow_;
};

}  // namespace

StatusDisplay::StatusDisplay(QWidget* parent)
    : QWidget(parent),
      rasteriser_(std::make_unique<QtGlyphRasteriser>()),
      model_(std::make_unique<DotModel>(*rasteriser_)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&timer_, &QTimer::timeout, this, &StatusDisplay::Tick);
    SetDotStyle(3);
}

StatusDisplay::~StatusDisplay() = default;

void StatusDisplay::SetDotStyle(int style) {
    // Only the 3 x 3 style exists; its cells come from bitmap 135.
    if (style != 3) return;
    setFixedSize(DisplaySize());
    RebuildCells();
    update();
}

void StatusDisplay::SetColours(QColor background, QColor lit, QColor dark) {
    background_ = background;
    lit_ = lit;
    dark_ = dark;
    RebuildCells();
    update();
}

void StatusDisplay::RebuildCells() {
    const QImage strip = ArtworkBitmap(kBitmapDots).convertToFormat(QImage::Format_RGB32);
    QImage mapped(2 * kDot, kDot, QImage::Format_RGB32);
    mapped.fill(background_);
    if (strip.width() >= 2 * kDot && strip.height() >= kDot) {
        for (int y = 0; y < kDot; ++y) {
            for (int x = 0; x < 2 * kDot; ++x) {
                const QRgb p = strip.pixel(x, y);
                switch (controls::ClassifyDotBitmapPixel(qRed(p), qGreen(p), qBlue(p))) {
                    case controls::DotPixel::Lit:
                        mapped.setPixel(x, y, lit_.rgb());
                        break;
                    case controls::DotPixel::Dark:
                        mapped.setPixel(x, y, dark_.rgb());
                        break;
                    case controls::DotPixel::Background:
                        break;
                }
            }
        }
    }
    darkCell_ = mapped.copy(0, 0, kDot, kDot);
    litCell_ = mapped.copy(kDot, 0, kDot, kDot);
}

void StatusDisplay::SetText(const QString& text) {
    SetTextUtf8(text.toUtf8().toStdString());
}

void StatusDisplay::SetTextUtf8(std::string_view utf8) {
    model_->SetText(utf8);
    update();
}

void StatusDisplay::SetBar(int columns) {
    model_->ShowBar(columns);
    update();
}

void StatusDisplay::StartScroll(int periodMs, ScrollDirection direction) {
    if (!model_->StartScrolling(periodMs, direction)) return;
    timer_.start(periodMs);
}

void StatusDisplay::StopScroll() {
    if (model_->StopScrolling()) timer_.stop();
}

bool StatusDisplay::IsScrolling() const {
    return model_->Scrolling();
}

void StatusDisplay::Tick() {
    model_->Tick();
    update();
}

QPoint StatusDisplay::CellOrigin(int column, int row) {
    return {kMargin + column * kDot, kMargin + row * kDot};
}

QSize StatusDisplay::sizeHint() const {
    return DisplaySize();
}

QSize StatusDisplay::minimumSizeHint() const {
    return DisplaySize();
}

void StatusDisplay::paintEvent(QPaintEvent*) {
    QImage dots(DotModel::kColumns * kDot, DotModel::kRows * kDot, QImage::Format_RGB32);
    QPainter composer(&dots);
    for (int row = 0; row < DotModel::kRows; ++row) {
        for (int column = 0; column < DotModel::kColumns; ++column) {
            composer.drawImage(column * kDot, row * kDot,
                               model_->Lit(column, row) ? litCell_ : darkCell_);
        }
    }
    composer.end();
    QPainter painter(this);
    painter.fillRect(rect(), background_);
    qDrawShadePanel(&painter, rect(), palette(), /*sunken=*/true, kMargin);
    painter.drawImage(CellOrigin(0, 0), dots);
}

}  // namespace velkor::qt

#include "controls/qt/artwork.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The artwork is compiled into this static library; registering it here, where the loaders
// are, keeps a program that links the library from missing it.
static void RegisterArtwork() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)registered;
}

namespace velkor::qt {

namespace {

bool IsIcon(int id) {
    switch (id) {
        case kIconChipGrey:
        case kIconLampRed:
        case kIconLampGreen:
        case kIconLink:
        case kIconResetHand:
        case kIconChipRed:
        case kIconChipGreen:
            return true;
        default:
            return false;
    }
}

QPixmap Render(QSvgRenderer& renderer, int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(0, 0, side, side));
    return pixmap;
}

}  // namespace

QString ArtworkPath(int id) {
    if (IsIcon(id)) return QStringLiteral(":/icons/%1.svg").arg(id);
    if (id == kBitmapDots) return QStringLiteral(":/bitmaps/%1.xpm").arg(id);
    return {};
}

QSize ArtworkIconSize(int id) {
    if (!IsIcon(id)) return {};
    return (id == kIconLampRed || id == kIconLampGreen) ? QSize(16, 16) : QSize(32, 32);
}

QIcon ArtworkIcon(int id) {
    RegisterArtwork();
    if (!IsIcon(id)) return {};
    QSvgRenderer renderer(ArtworkPath(id));
    if (!renderer.isValid()) return {};
    QIcon icon;
    icon.addPixmap(Render(renderer, ArtworkIconSize(id).width()));
    // Every large icon also comes drawn small (the Reset MCU icon, the window's small icon), so
    // a 16-pixel use gets a drawing of its own instead of a scaled-down bitmap.
    if (ArtworkIconSize(id).width() > 16) icon.addPixmap(Render(renderer, 16));
    return icon;
}

QImage ArtworkBitmap(int id) {
    RegisterArtwork();
    if (id != kBitmapDots) return {};
    return QImage(ArtworkPath(id));
}

}  // namespace velkor::qt

// The program's icons and bitmaps, embedded from resources/resources.qrc. Each picture is
// reached by its resource ID; its file in the resource tree is
//   icons:   ":/icons/<id>.svg"   (128, 130, 131, 140, 145, 150, 151)
//   bitmaps: ":/bitmaps/<id>.xpm" (135, the status display's dot strip)
#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>

namespace velkor::qt {

// Resource IDs of the artwork.
inline constexpr int kIconChipGrey = 128;   // application icon, window icon when idle
inline constexpr int kIconLampRed = 130;    // fuse check box, checked
inline constexpr int kIconLampGreen = 131;  // fuse check box, not checked
inline constexpr int kBitmapDots = 135;     // dark and lit dot cells, 6 x 3
inline constexpr int kIconLink = 140;       // link button
inline constexpr int kIconResetHand = 145;  // Reset MCU button
inline constexpr int kIconChipRed = 150;    // window small icon during a Program run
inline constexpr int kIconChipGreen = 151;  // window small icon after the HEX file changed

// ":/icons/<id>.svg" or ":/bitmaps/<id>.xpm"; empty for an unknown ID.
QString ArtworkPath(int id);
// The icon rendered at its own size (16 x 16 or 32 x 32), the 32 x 32 ones also at 16 x 16.
// A null icon for an unknown ID.
QIcon ArtworkIcon(int id);
// The icon's own size: 16 x 16 or 32 x 32; an invalid size for an unknown ID.
QSize ArtworkIconSize(int id);
// A bitmap resource (135); a null image for an unknown ID.
QImage ArtworkBitmap(int id);

}  // namespace velkor::qt

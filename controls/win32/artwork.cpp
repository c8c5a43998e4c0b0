#include "controls/win32/artwork.h"

namespace velkor::win32 {

int ArtworkIconSize(int id) {
    return (id == 130 || id == 131) ? 16 : 32;
}

HICON LoadArtworkIcon(int id, int size) {
    if (size == 0) size = ArtworkIconSize(id);
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                         IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

HBITMAP LoadArtworkBitmap(int id) {
    return static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                           IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

}  // namespace velkor::win32

// The program's icons and bitmaps, from the executable's resources (resources/velkor.rc), by
// the same IDs as the Linux program's artwork.
#pragma once

#include <windows.h>

namespace velkor::win32 {

// The size an icon is drawn at in a control: the fuse lamps 130 and 131 are 16 x 16, the
// others 32 x 32.
int ArtworkIconSize(int id);
// The icon at `size` pixels (0: its own size, as above); null when it does not load. The
// caller destroys it.
HICON LoadArtworkIcon(int id, int size = 0);
// A bitmap resource as a DIB section; null when it does not load. The caller deletes it.
HBITMAP LoadArtworkBitmap(int id);

}  // namespace velkor::win32

// Opening a link target (a URL or a local path) from the link controls. The result follows
// the shell's convention: above 32 means opened, 32 and below is an error code.
#pragma once

#include <QString>
#include <functional>

namespace velkor::qt {

using LinkOpener = std::function<int(const QString& target)>;

// The desktop's opener: a missing local file gives 2, a missing folder 3, any other failure
// 31 (no application associated); success gives 33.
int OpenLinkWithDesktop(const QString& target);

}  // namespace velkor::qt

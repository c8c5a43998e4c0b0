// The font a dialog template names, with the dialog units it gives the dialog's layout.
#pragma once

#include <QWidget>

#include "app/dialog_units.h"

namespace velkor::qt {

// Sets the template's face and size on `dialog` and measures its dialog units. Where the face
// is missing, a CJK face of the same metrics class stands in, so that the Chinese texts draw
// and the controls keep the sizes the template gives them.
DialogUnits UseTemplateFont(QWidget& dialog, const char* face, int points);

}  // namespace velkor::qt

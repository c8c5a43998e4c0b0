#include "app/qt/template_font.h"

#include <QFont>
#include <QFontMetrics>

namespace velkor::qt {

DialogUnits UseTemplateFont(QWidget& dialog, const char* face, int points) {
    QFont font;
    font.setFamilies({QString::fromUtf8(face), QStringLiteral("SimSun"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSize(points);
    dialog.setFont(font);
    const QFontMetrics metrics(font);
    return DialogUnits::FromFontMetrics(
        metrics.horizontalAdvance(
            QString::fromLatin1(DialogUnits::kAlphabet.data(), DialogUnits::kAlphabet.size())),
        metrics.height());
}

}  // namespace velkor::qt

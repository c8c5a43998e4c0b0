#include "controls/qt/link_opener.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "controls/hyperlink_model.h"

namespace velkor::qt {

int OpenLinkWithDesktop(const QString& target) {
    QUrl url(target);
    const bool localPath = url.scheme().isEmpty() || url.scheme().size() == 1 /* C: */;
    if (localPath || url.isLocalFile()) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : target;
        const QFileInfo file(path);
        if (!file.exists()) return file.absoluteDir().exists() ? 2 : 3;
        url = QUrl::fromLocalFile(file.absoluteFilePath());
    }
    return QDesktopServices::openUrl(url) ? controls::kLinkOpened : 31;
}

}  // namespace velkor::qt

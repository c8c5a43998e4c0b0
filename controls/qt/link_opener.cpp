#include "controls/qt/link_opener.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "controls/hyperlink_model.h"

namespace velkor::qt {

int OpenLinkWithDesktop(const QString& target) {
    QUrl url(target);
    const QString scheme = url.scheme();
    // No scheme, or a drive letter: a file, unless it is a bare "www." host name, which the
    // shell would hand to the browser.
    if (scheme.isEmpty() || scheme.size() == 1 || url.isLocalFile()) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : target;
        const QFileInfo file(path);
        const bool hostName = path.startsWith(QLatin1String("www."), Qt::CaseInsensitive);
        if (file.exists()) {
            url = QUrl::fromLocalFile(file.absoluteFilePath());
        } else if (!hostName || url.isLocalFile()) {
            return file.absoluteDir().exists() ? 2 : 3;
        } else {
            url = QUrl::fromUserInput(target);
        }
    }
    return QDesktopServices::openUrl(url) ? controls::kLinkOpened : 31;
}

}  // namespace velkor::qt

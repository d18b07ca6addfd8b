#include "application/DesktopLocalizedFileOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace Thg::Tilo::Components {

QUrl DesktopLocalizedFileOpener::urlOf(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

bool DesktopLocalizedFileOpener::doOpenFile(const QString &path)
{
    return QDesktopServices::openUrl(urlOf(path));
}

} // namespace Thg::Tilo::Components

#include "application/LocalizedFileOpener.h"

#include "application/Logger.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace Thg::Tilo::Components {

namespace {

bool hasFile(const QDir &directory, const QString &fileName)
{
    return QFileInfo(directory, fileName).isFile();
}

} // namespace

bool LocalizedFileOpener::openFile(const QDir &directory, const QString &name, std::optional<char> separator,
                                   const QString &extension)
{
    QString candidate = name + extension;
    if (separator) {
        const QString language = QLocale::languageToCode(QLocale().language());
        const QString localized = name + QLatin1Char(*separator) + language + extension;
        if (hasFile(directory, localized)) {
            candidate = localized;
        } else {
            Logger::warn("File {} does not exist, trying fallback", localized.toStdString());
        }
    }

    mLastPath = directory.absoluteFilePath(candidate);
    if (!hasFile(directory, candidate)) {
        Logger::warn("File {} does not exist", mLastPath.toStdString());
        return false;
    }
    if (doOpenFile(mLastPath))
        return true;
    Logger::error("Could not open file {}", QDir::toNativeSeparators(mLastPath).toStdString());
    return false;
}

} // namespace Thg::Tilo::Components

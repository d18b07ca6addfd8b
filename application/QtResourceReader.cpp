#include "application/QtResourceReader.h"

#include "device/ImportException.h"

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <stdexcept>

#ifdef Q_OS_WIN
extern Q_CORE_EXPORT int qt_ntfs_permission_lookup;
#endif

namespace Thg::Tilo::Components {

namespace {

#ifdef Q_OS_WIN
// Qt reports an NTFS file's access rights only while this lookup is switched on.
class NtfsPermissionLookup {
public:
    NtfsPermissionLookup() { ++qt_ntfs_permission_lookup; }
    ~NtfsPermissionLookup() { --qt_ntfs_permission_lookup; }
    NtfsPermissionLookup(const NtfsPermissionLookup &) = delete;
    NtfsPermissionLookup &operator=(const NtfsPermissionLookup &) = delete;
};
#endif

} // namespace

QtResourceReader::QtResourceReader(const std::filesystem::path &path) : mSourceName(path.generic_string())
{
#ifdef Q_OS_WIN
    const NtfsPermissionLookup lookup;
#endif
    const QFileInfo info(QString::fromLatin1(mSourceName));
    if (!info.exists())
        throw std::invalid_argument(mSourceName + " does not exist");
    if (!info.isFile())
        throw std::invalid_argument(mSourceName + " must be a file");
    if (!info.isReadable())
        throw Thg::Tilo::Device::IoException(mSourceName + " must be readable");
}

std::string QtResourceReader::read() const
{
    QFile file(QString::fromLatin1(mSourceName));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw Thg::Tilo::Device::IoException("Could not open " + mSourceName);
    return file.readAll().toStdString();
}

} // namespace Thg::Tilo::Components

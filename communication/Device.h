#pragma once

#include "communication/Address.h"

#include <QDebug>
#include <QMetaType>
#include <QString>

namespace Thg::Tilo::Communication {

// The name that marks a device in boot-loader mode.
inline const QString bootloaderDeviceName = QStringLiteral("Bootloader");

// The identity of a connected device. A text the device has not reported is "-".
struct Device {
    QString Name = QStringLiteral("-");
    QString Version = QStringLiteral("-");
    QString Revision = QStringLiteral("-");
    QString Vendor = QStringLiteral("-");
    Address address;
    QString SubName = QStringLiteral("-");
    QString SubVersion = QStringLiteral("-");
    QString SubRevision = QStringLiteral("-");

    bool operator==(const Device &) const = default;
};

QDebug operator<<(QDebug debug, const Device &device);

} // namespace Thg::Tilo::Communication

Q_DECLARE_METATYPE(Thg::Tilo::Communication::Device)

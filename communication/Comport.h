#pragma once

#include <QDebug>
#include <QList>
#include <QMetaType>
#include <QString>

#include <cstdint>

namespace Thg::Tilo::Communication {

// One serial port. The scanner fills the port's own data; the connector adds the line settings that
// the device description gives before a connection.
struct Comport {
    QString Number;
    QString Manufacturer;
    std::uint16_t Pid = 0;
    std::uint16_t Vid = 0;
    bool HalfDuplex = false;
    // Milliseconds from switching the device on to the first transmission.
    std::uint16_t Startup = 0;
    // Milliseconds the power-down line levels are held before the device is switched on.
    std::uint16_t PowerDown = 0;

    bool operator==(const Comport &) const = default;
};

QDebug operator<<(QDebug debug, const Comport &port);

} // namespace Thg::Tilo::Communication

Q_DECLARE_METATYPE(Thg::Tilo::Communication::Comport)

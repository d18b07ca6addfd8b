#pragma once

#include <QBluetoothDeviceDiscoveryAgent>
#include <QBluetoothUuid>
#include <QLowEnergyController>
#include <QLowEnergyService>
#include <QString>

// The Bluetooth LE transport's texts: how UUIDs are shown and what each Qt Bluetooth failure is called
// when it leaves the transport through BTLE_Connection::errorOccurred.
namespace BTLE {

// "0x2a00" for a 16- or 32-bit short UUID, else the 36-character form without braces, lower case.
QString uuidText(const QBluetoothUuid &uuid);

// UUID texts from users may be written in either case.
bool sameUuidText(const QString &a, const QString &b);

QString discoveryErrorText(QBluetoothDeviceDiscoveryAgent::Error error);
QString controllerErrorText(QLowEnergyController::Error error);
QString serviceErrorText(QLowEnergyService::ServiceError error);

// Reported when a write is asked for while no device is connected and ready.
inline constexpr const char *notConnectedText = "BT not connected";

} // namespace BTLE

#pragma once

#include <QBluetoothUuid>
#include <QLowEnergyCharacteristic>
#include <QLowEnergyCharacteristicData>
#include <QLowEnergyController>
#include <QLowEnergyDescriptorData>
#include <QLowEnergyService>
#include <QLowEnergyServiceData>

// A GATT service like a PARLINK device's, built as a local service of a peripheral controller: Qt
// Bluetooth creates it without an adapter, writes to it land in its characteristics' values, and its
// signals can be raised by hand to play the remote device's part.
namespace ParlinkGattService {

inline const QString serviceUuid = QStringLiteral("E093F3B5-00A3-A9E5-9ECA-40016E0EDC24");
inline const QString frameOutUuid = QStringLiteral("E093F3B5-00A3-A9E5-9ECA-40036E0EDC24");
inline const QString frameInUuid = QStringLiteral("E093F3B5-00A3-A9E5-9ECA-40026E0EDC24");

inline QLowEnergyService *create(QObject *owner,
                                 QLowEnergyServiceData::ServiceType type = QLowEnergyServiceData::ServiceTypePrimary)
{
    QLowEnergyCharacteristicData frameOut;
    frameOut.setUuid(QBluetoothUuid(frameOutUuid));
    frameOut.setProperties(QLowEnergyCharacteristic::Write);
    frameOut.setValue(QByteArray());

    QLowEnergyCharacteristicData frameIn;
    frameIn.setUuid(QBluetoothUuid(frameInUuid));
    frameIn.setProperties(QLowEnergyCharacteristic::Notify);
    frameIn.setValue("in");
    frameIn.addDescriptor(QLowEnergyDescriptorData(
        QBluetoothUuid::DescriptorType::ClientCharacteristicConfiguration, QByteArray(2, '\0')));
    frameIn.addDescriptor(
        QLowEnergyDescriptorData(QBluetoothUuid::DescriptorType::CharacteristicUserDescription, "Frame in"));

    QLowEnergyCharacteristicData deviceName;
    deviceName.setUuid(QBluetoothUuid(quint16(0x2A00)));
    deviceName.setProperties(QLowEnergyCharacteristic::Read);
    deviceName.setValue("abc");

    QLowEnergyServiceData data;
    data.setType(type);
    data.setUuid(QBluetoothUuid(serviceUuid));
    data.addCharacteristic(frameOut);
    data.addCharacteristic(frameIn);
    data.addCharacteristic(deviceName);

    QLowEnergyController *peripheral = QLowEnergyController::createPeripheral(owner);
    return peripheral->addService(data, peripheral);
}

inline QLowEnergyCharacteristic characteristic(QLowEnergyService *service, const QString &uuid)
{
    return service->characteristic(QBluetoothUuid(uuid));
}

inline QLowEnergyDescriptor notificationSwitch(QLowEnergyService *service)
{
    return characteristic(service, frameInUuid)
        .descriptor(QBluetoothUuid::DescriptorType::ClientCharacteristicConfiguration);
}

} // namespace ParlinkGattService

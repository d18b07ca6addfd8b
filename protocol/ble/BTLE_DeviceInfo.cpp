#include "protocol/ble/BTLE_DeviceInfo.h"

#include <QBluetoothAddress>

BTLE_DeviceInfo::BTLE_DeviceInfo(QObject *parent) : QObject(parent) {}

BTLE_DeviceInfo::BTLE_DeviceInfo(const QBluetoothDeviceInfo &device, QObject *parent)
    : QObject(parent), mDevice(device)
{
}

QString BTLE_DeviceInfo::getName() const
{
    return mDevice.name();
}

QString BTLE_DeviceInfo::getAddress() const
{
    return mDevice.address().toString();
}

const QBluetoothDeviceInfo &BTLE_DeviceInfo::getDevice() const
{
    return mDevice;
}

void BTLE_DeviceInfo::setDevice(const QBluetoothDeviceInfo &device)
{
    mDevice = device;
    emit deviceChanged();
}

#pragma once

#include <QBluetoothDeviceInfo>
#include <QObject>
#include <QString>

// One Bluetooth LE device found by discovery, with the texts a device list shows.
class BTLE_DeviceInfo : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString deviceName READ getName NOTIFY deviceChanged)
    Q_PROPERTY(QString deviceAddress READ getAddress NOTIFY deviceChanged)

public:
    explicit BTLE_DeviceInfo(QObject *parent = nullptr);
    explicit BTLE_DeviceInfo(const QBluetoothDeviceInfo &device, QObject *parent = nullptr);

    QString getName() const;
    QString getAddress() const;
    const QBluetoothDeviceInfo &getDevice() const;
    void setDevice(const QBluetoothDeviceInfo &device);

signals:
    void deviceChanged();

private:
    QBluetoothDeviceInfo mDevice;
};

#pragma once

#include "protocol/ble/BTLE_CharacteristicInfo.h"
#include "protocol/ble/BTLE_DeviceInfo.h"
#include "protocol/ble/BTLE_ServiceInfo.h"

#include <QBluetoothDeviceDiscoveryAgent>
#include <QBluetoothDeviceInfo>
#include <QBluetoothUuid>
#include <QByteArray>
#include <QList>
#include <QLowEnergyCharacteristic>
#include <QLowEnergyController>
#include <QLowEnergyDescriptor>
#include <QLowEnergyService>
#include <QObject>
#include <QPointer>
#include <QString>

// A Bluetooth LE central that carries PARLINK frames: it finds devices, connects to one, discovers
// the services and the characteristics of one chosen service, writes frames to a characteristic with
// response and hands on what the device notifies. It lives on the thread of its user; every Qt
// Bluetooth signal arrives there.
class BTLE_Connection : public QObject {
    Q_OBJECT

public:
    // namePrefix: general discovery lists only devices whose name starts with it (case-sensitive).
    // notificationFilter: only notifications from a characteristic whose UUID text contains it are
    // handed on (case-insensitive). Empty texts let everything through.
    explicit BTLE_Connection(QObject *parent = nullptr, const QString &namePrefix = {},
                             const QString &notificationFilter = {});
    ~BTLE_Connection() override;

    const QList<BTLE_DeviceInfo *> &getDevices() const;
    const QList<BTLE_ServiceInfo *> &getServices() const;
    const QList<BTLE_CharacteristicInfo *> &getCharacteristics() const;
    const BTLE_DeviceInfo *getCurrentDevice() const;
    // Null until the first connection attempt.
    const QLowEnergyController *getController() const;
    // True between the controller's connection and its disconnection.
    bool isConnected() const;
    // True once the chosen service's details are known and its notifications are switched on.
    bool isReadyToCommunicate() const;

    // The client characteristic configuration value that switches a characteristic's notifications
    // on (indications where it can only indicate); empty when it can do neither.
    static QByteArray notificationEnableValue(QLowEnergyCharacteristic::PropertyTypes properties);
    // Whether a notification from this characteristic passes the filter.
    static bool passesNotificationFilter(const QBluetoothUuid &characteristicUuid, const QString &filter);

signals:
    void devicesUpdated();
    void servicesUpdated();
    void startDiscoverServiceDetails();
    void characteristicsUpdated();
    void readyToCommunicate(QString address);
    void disconnected();
    void dataSuccessfullyWrittenToDevice();
    void newDataFromConnectedDeviceAvailable(QByteArray data);
    void foundSpecificDevice();
    void errorOccurred(QString error);

public slots:
    void startDeviceDiscovery(bool permanentScan);
    void startSpecificDeviceDiscovery(const QString &address, bool permanentScan);
    void discoverServiceDetails(const QString &uuid);
    void stopScanningDevices();
    void disconnectFromDevice();
    void connectToDevice(const QString &address);
    void writeToConnectedDevice(const QByteArray &data, const QString &characteristicUuid);
    void writeToConnectedDeviceFinished(const QLowEnergyCharacteristic &characteristic, const QByteArray &data);
    void newDataFromConnectedDevice(const QLowEnergyCharacteristic &characteristic, const QByteArray &data);

protected:
    // Lists a service of the connected device; the list's info takes ownership of it.
    void addService(QLowEnergyService *service);

private slots:
    void deviceDiscovered(const QBluetoothDeviceInfo &device);
    void deviceScanFinished();
    void deviceScanError(QBluetoothDeviceDiscoveryAgent::Error error);
    void serviceDiscovered(const QBluetoothUuid &serviceUuid);
    void serviceScanDone();
    void deviceConnected();
    void errorReceived(QLowEnergyController::Error error);
    void deviceDisconnected();
    void serviceDetailsDiscovered(QLowEnergyService::ServiceState newState);
    void notificationDescriptorWritten(const QLowEnergyDescriptor &descriptor, const QByteArray &value);
    void serviceErrorReceived(QLowEnergyService::ServiceError error);

private:
    void clearDevices();
    void clearServices();
    void clearCharacteristics();
    void listCharacteristics(const QLowEnergyService &service);
    void releaseController();
    void choose(QLowEnergyService *service);
    void switchOnNotifications();
    void startAgent();

    QString mNamePrefix;
    QString mNotificationFilter;
    QBluetoothDeviceDiscoveryAgent *mDiscoveryAgent = nullptr;
    QPointer<QLowEnergyController> mController;
    QPointer<QLowEnergyService> mChosenService;
    QList<BTLE_DeviceInfo *> mDevices;
    QList<BTLE_ServiceInfo *> mServices;
    QList<BTLE_CharacteristicInfo *> mCharacteristics;
    BTLE_DeviceInfo mCurrentDevice;
    QString mSoughtAddress;
    // Client characteristic configuration writes not yet confirmed by the device.
    QList<QLowEnergyDescriptor> mPendingNotificationSwitches;
    bool mSpecificDiscovery = false;
    bool mPermanentScan = false;
    bool mConnected = false;
    bool mReady = false;
};

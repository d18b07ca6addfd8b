#include "protocol/ble/BTLE_Connection.h"

#include "protocol/ble/BTLE_Texts.h"

#include <QBluetoothAddress>
#include <QDebug>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

// How long one Low Energy scan listens for advertisements, in milliseconds.
constexpr int lowEnergyDiscoveryTimeoutMs = 15000;

template <typename Info>
void deleteAndForget(QList<Info *> &infos)
{
    // Later rather than now: the caller may be running inside a signal of an object an info owns.
    for (Info *info : std::as_const(infos))
        info->deleteLater();
    infos.clear();
}

void logWarning(const QString &text)
{
    qWarning().noquote() << text;
}

} // namespace

BTLE_Connection::BTLE_Connection(QObject *parent, const QString &namePrefix, const QString &notificationFilter)
    : QObject(parent),
      mNamePrefix(namePrefix),
      mNotificationFilter(notificationFilter),
      mDiscoveryAgent(new QBluetoothDeviceDiscoveryAgent(this))
{
    mDiscoveryAgent->setLowEnergyDiscoveryTimeout(lowEnergyDiscoveryTimeoutMs);
    connect(mDiscoveryAgent, &QBluetoothDeviceDiscoveryAgent::deviceDiscovered, this,
            &BTLE_Connection::deviceDiscovered);
    connect(mDiscoveryAgent, &QBluetoothDeviceDiscoveryAgent::errorOccurred, this,
            &BTLE_Connection::deviceScanError);
    connect(mDiscoveryAgent, &QBluetoothDeviceDiscoveryAgent::finished, this,
            &BTLE_Connection::deviceScanFinished);
}

BTLE_Connection::~BTLE_Connection()
{
    // Nothing that is torn down here may call back into this half-destroyed object.
    mDiscoveryAgent->disconnect(this);
    delete mDiscoveryAgent;
    qDeleteAll(std::exchange(mDevices, {}));
    if (mController) {
        mController->disconnect(this);
        delete mController;
    }
    for (BTLE_ServiceInfo *info : std::as_const(mServices)) {
        if (info->service())
            info->service()->disconnect(this);
    }
    qDeleteAll(std::exchange(mServices, {}));
    qDeleteAll(std::exchange(mCharacteristics, {}));
}

const QList<BTLE_DeviceInfo *> &BTLE_Connection::getDevices() const
{
    return mDevices;
}

const QList<BTLE_ServiceInfo *> &BTLE_Connection::getServices() const
{
    return mServices;
}

const QList<BTLE_CharacteristicInfo *> &BTLE_Connection::getCharacteristics() const
{
    return mCharacteristics;
}

const BTLE_DeviceInfo *BTLE_Connection::getCurrentDevice() const
{
    return &mCurrentDevice;
}

const QLowEnergyController *BTLE_Connection::getController() const
{
    return mController;
}

bool BTLE_Connection::isConnected() const
{
    return mConnected;
}

bool BTLE_Connection::isReadyToCommunicate() const
{
    return mReady && mChosenService;
}

QByteArray BTLE_Connection::notificationEnableValue(QLowEnergyCharacteristic::PropertyTypes properties)
{
    // Client characteristic configuration: a little-endian 16-bit field, bit 0 notifications,
    // bit 1 indications.
    if (properties.testFlag(QLowEnergyCharacteristic::Notify))
        return QByteArray::fromHex("0100");
    if (properties.testFlag(QLowEnergyCharacteristic::Indicate))
        return QByteArray::fromHex("0200");
    return {};
}

bool BTLE_Connection::passesNotificationFilter(const QBluetoothUuid &characteristicUuid, const QString &filter)
{
    return characteristicUuid.toString().contains(filter, Qt::CaseInsensitive);
}

void BTLE_Connection::startDeviceDiscovery(bool permanentScan)
{
    mPermanentScan = permanentScan;
    mSpecificDiscovery = false;
    clearDevices();
    emit devicesUpdated();
    startAgent();
}

void BTLE_Connection::startSpecificDeviceDiscovery(const QString &address, bool permanentScan)
{
    mPermanentScan = permanentScan;
    clearDevices();
    emit devicesUpdated();
    mSoughtAddress = address;
    mSpecificDiscovery = true;
    if (!mConnected)
        startAgent();
}

void BTLE_Connection::stopScanningDevices()
{
    mDiscoveryAgent->stop();
    mPermanentScan = false;
}

void BTLE_Connection::deviceDiscovered(const QBluetoothDeviceInfo &device)
{
    if (!device.coreConfigurations().testFlag(QBluetoothDeviceInfo::LowEnergyCoreConfiguration))
        return;

    const QString address = device.address().toString();
    if (mSpecificDiscovery) {
        if (address.compare(mSoughtAddress, Qt::CaseInsensitive) != 0)
            return;
        auto *info = new BTLE_DeviceInfo(device, this);
        auto known = std::find_if(mDevices.begin(), mDevices.end(), [&](const BTLE_DeviceInfo *found) {
            return found->getAddress().compare(address, Qt::CaseInsensitive) == 0;
        });
        if (known != mDevices.end()) {
            (*known)->deleteLater();
            *known = info;
        } else {
            mDevices.append(info);
        }
        mDiscoveryAgent->stop();
        emit foundSpecificDevice();
        return;
    }

    if (!device.name().startsWith(mNamePrefix, Qt::CaseSensitive))
        return;
    auto *info = new BTLE_DeviceInfo(device, this);
    auto known = mDevices.end();
    if (mPermanentScan) {
        // A permanent scan sees the same device again and again; it keeps one entry per name.
        known = std::find_if(mDevices.begin(), mDevices.end(),
                             [&](const BTLE_DeviceInfo *found) { return found->getName() == device.name(); });
    }
    if (known != mDevices.end()) {
        (*known)->deleteLater();
        *known = info;
    } else {
        mDevices.append(info);
    }
    emit devicesUpdated();
}

void BTLE_Connection::deviceScanFinished()
{
    if (mPermanentScan)
        startAgent();
}

void BTLE_Connection::deviceScanError(QBluetoothDeviceDiscoveryAgent::Error error)
{
    emit errorOccurred(BTLE::discoveryErrorText(error));
}

void BTLE_Connection::connectToDevice(const QString &address)
{
    for (const BTLE_DeviceInfo *found : std::as_const(mDevices)) {
        if (found->getAddress().compare(address, Qt::CaseInsensitive) == 0) {
            mCurrentDevice.setDevice(found->getDevice());
            break;
        }
    }
    if (!mCurrentDevice.getDevice().isValid()) {
        logWarning(QStringLiteral("Not a valid device"));
        return;
    }

    clearCharacteristics();
    emit characteristicsUpdated();
    clearServices();
    emit servicesUpdated();

    // A controller is bound to the remote device it was made for, so every connection gets a new
    // one; reusing it would reach the previous device again.
    releaseController();
    mController = QLowEnergyController::createCentral(mCurrentDevice.getDevice(), this);
    connect(mController, &QLowEnergyController::connected, this, &BTLE_Connection::deviceConnected);
    connect(mController, &QLowEnergyController::errorOccurred, this, &BTLE_Connection::errorReceived);
    connect(mController, &QLowEnergyController::disconnected, this, &BTLE_Connection::deviceDisconnected);
    connect(mController, &QLowEnergyController::serviceDiscovered, this, &BTLE_Connection::serviceDiscovered);
    connect(mController, &QLowEnergyController::discoveryFinished, this, &BTLE_Connection::serviceScanDone);

    mController->setRemoteAddressType(QLowEnergyController::PublicAddress);
    mController->connectToDevice();
}

void BTLE_Connection::deviceConnected()
{
    if (!mController)
        return;
    mController->discoverServices();
    mConnected = true;
}

void BTLE_Connection::errorReceived(QLowEnergyController::Error error)
{
    logWarning(QStringLiteral("Error: ") + (mController ? mController->errorString() : QString()));
    emit errorOccurred(BTLE::controllerErrorText(error));
}

void BTLE_Connection::disconnectFromDevice()
{
    if (mController)
        mController->disconnectFromDevice();
}

void BTLE_Connection::deviceDisconnected()
{
    logWarning(QStringLiteral("Disconnect from device"));
    mConnected = false;
    // Whatever the chosen service still holds belongs to a link that is gone.
    choose(nullptr);
    if (mPermanentScan)
        startAgent();
    emit disconnected();
}

void BTLE_Connection::serviceDiscovered(const QBluetoothUuid &serviceUuid)
{
    QLowEnergyService *service = mController ? mController->createServiceObject(serviceUuid) : nullptr;
    if (!service) {
        logWarning(QStringLiteral("Cannot create service for uuid"));
        return;
    }
    addService(service);
}

void BTLE_Connection::addService(QLowEnergyService *service)
{
    mServices.append(new BTLE_ServiceInfo(service, this));
    emit servicesUpdated();
}

void BTLE_Connection::serviceScanDone()
{
    emit servicesUpdated();
    emit startDiscoverServiceDetails();
}

void BTLE_Connection::discoverServiceDetails(const QString &uuid)
{
    auto found = std::find_if(mServices.cbegin(), mServices.cend(), [&](const BTLE_ServiceInfo *info) {
        return info->service() && BTLE::sameUuidText(info->getUuid(), uuid);
    });
    if (found == mServices.cend()) {
        choose(nullptr);
        return;
    }
    QLowEnergyService *service = (*found)->service();
    choose(service);

    clearCharacteristics();
    emit characteristicsUpdated();

    if (service->state() != QLowEnergyService::RemoteServiceDiscovered) {
        connect(service, &QLowEnergyService::stateChanged, this, &BTLE_Connection::serviceDetailsDiscovered,
                Qt::UniqueConnection);
        service->discoverDetails(QLowEnergyService::FullDiscovery);
        return;
    }

    listCharacteristics(*service);
    QTimer::singleShot(0, this, &BTLE_Connection::characteristicsUpdated);
    switchOnNotifications();
}

void BTLE_Connection::serviceDetailsDiscovered(QLowEnergyService::ServiceState newState)
{
    // Only a service of the current device's list counts; a stray or stale sender changes nothing.
    auto *service = qobject_cast<QLowEnergyService *>(sender());
    const bool listed = service && std::any_of(mServices.cbegin(), mServices.cend(),
                                               [&](const BTLE_ServiceInfo *info) { return info->service() == service; });
    if (!listed)
        return;

    if (newState == QLowEnergyService::RemoteServiceDiscovering)
        return;
    if (newState != QLowEnergyService::RemoteServiceDiscovered) {
        QMetaObject::invokeMethod(this, &BTLE_Connection::characteristicsUpdated, Qt::QueuedConnection);
        return;
    }

    choose(service);
    // Details can be reported discovered more than once; the list is rebuilt, never extended.
    clearCharacteristics();
    listCharacteristics(*service);
    emit characteristicsUpdated();
    switchOnNotifications();
}

void BTLE_Connection::switchOnNotifications()
{
    mReady = false;
    mPendingNotificationSwitches.clear();
    if (!mChosenService)
        return;

    // Answers come back as notifications; the device sends none until its client characteristic
    // configuration says so, so the link is ready only once every switch is confirmed.
    QList<std::pair<QLowEnergyDescriptor, QByteArray>> switches;
    const QList<QLowEnergyCharacteristic> characteristics = mChosenService->characteristics();
    for (const QLowEnergyCharacteristic &characteristic : characteristics) {
        const QByteArray enable = notificationEnableValue(characteristic.properties());
        if (enable.isEmpty() || !passesNotificationFilter(characteristic.uuid(), mNotificationFilter))
            continue;
        const QLowEnergyDescriptor configuration =
            characteristic.descriptor(QBluetoothUuid::DescriptorType::ClientCharacteristicConfiguration);
        if (configuration.isValid())
            switches.append({configuration, enable});
    }
    // All are listed before the first is written: a confirmation may arrive inside writeDescriptor.
    for (const auto &entry : std::as_const(switches))
        mPendingNotificationSwitches.append(entry.first);
    for (const auto &[configuration, enable] : std::as_const(switches)) {
        if (mChosenService)
            mChosenService->writeDescriptor(configuration, enable);
    }
    if (mPendingNotificationSwitches.isEmpty() && !mReady) {
        mReady = true;
        emit readyToCommunicate(mCurrentDevice.getAddress());
    }
}

void BTLE_Connection::notificationDescriptorWritten(const QLowEnergyDescriptor &descriptor, const QByteArray &)
{
    if (sender() != mChosenService || !mPendingNotificationSwitches.removeOne(descriptor))
        return;
    if (mPendingNotificationSwitches.isEmpty() && !mReady) {
        mReady = true;
        emit readyToCommunicate(mCurrentDevice.getAddress());
    }
}

void BTLE_Connection::serviceErrorReceived(QLowEnergyService::ServiceError error)
{
    if (sender() != mChosenService || error == QLowEnergyService::NoError)
        return;
    // A notification switch that failed stays pending: the link would be deaf to answers, so it
    // never becomes ready.
    const QString text = BTLE::serviceErrorText(error);
    logWarning(QStringLiteral("Error: ") + text);
    emit errorOccurred(text);
}

void BTLE_Connection::writeToConnectedDevice(const QByteArray &data, const QString &characteristicUuid)
{
    if (!isReadyToCommunicate()) {
        logWarning(QStringLiteral("Write refused: ") + QLatin1String(BTLE::notConnectedText));
        emit errorOccurred(QLatin1String(BTLE::notConnectedText));
        return;
    }
    for (const BTLE_CharacteristicInfo *info : std::as_const(mCharacteristics)) {
        if (BTLE::sameUuidText(info->getUuid(), characteristicUuid)) {
            mChosenService->writeCharacteristic(info->getCharacteristic(), data,
                                                QLowEnergyService::WriteWithResponse);
            return;
        }
    }
    logWarning(QStringLiteral("No characteristic for uuid ") + characteristicUuid);
}

void BTLE_Connection::writeToConnectedDeviceFinished(const QLowEnergyCharacteristic &, const QByteArray &)
{
    emit dataSuccessfullyWrittenToDevice();
}

void BTLE_Connection::newDataFromConnectedDevice(const QLowEnergyCharacteristic &characteristic,
                                                 const QByteArray &data)
{
    if (passesNotificationFilter(characteristic.uuid(), mNotificationFilter))
        emit newDataFromConnectedDeviceAvailable(data);
}

void BTLE_Connection::clearDevices()
{
    deleteAndForget(mDevices);
}

void BTLE_Connection::clearServices()
{
    choose(nullptr);
    for (BTLE_ServiceInfo *info : std::as_const(mServices)) {
        if (info->service())
            info->service()->disconnect(this);
    }
    deleteAndForget(mServices);
}

void BTLE_Connection::clearCharacteristics()
{
    deleteAndForget(mCharacteristics);
}

void BTLE_Connection::listCharacteristics(const QLowEnergyService &service)
{
    const QList<QLowEnergyCharacteristic> characteristics = service.characteristics();
    for (const QLowEnergyCharacteristic &characteristic : characteristics)
        mCharacteristics.append(new BTLE_CharacteristicInfo(characteristic, this));
}

void BTLE_Connection::releaseController()
{
    if (!mController)
        return;
    // Cut off first so that the old link's last signals do not reach the new one's bookkeeping.
    mController->disconnect(this);
    mController->disconnectFromDevice();
    mController->deleteLater();
    mController = nullptr;
    mConnected = false;
}

void BTLE_Connection::choose(QLowEnergyService *service)
{
    if (mChosenService && mChosenService != service) {
        disconnect(mChosenService, &QLowEnergyService::characteristicChanged, this,
                   &BTLE_Connection::newDataFromConnectedDevice);
        disconnect(mChosenService, &QLowEnergyService::characteristicWritten, this,
                   &BTLE_Connection::writeToConnectedDeviceFinished);
        disconnect(mChosenService, &QLowEnergyService::descriptorWritten, this,
                   &BTLE_Connection::notificationDescriptorWritten);
        disconnect(mChosenService, &QLowEnergyService::errorOccurred, this, &BTLE_Connection::serviceErrorReceived);
    }
    if (mChosenService != service) {
        mReady = false;
        mPendingNotificationSwitches.clear();
    }
    mChosenService = service;
    if (!service)
        return;
    // Unique: a service whose details are discovered again must not deliver every frame twice.
    connect(service, &QLowEnergyService::characteristicChanged, this, &BTLE_Connection::newDataFromConnectedDevice,
            Qt::UniqueConnection);
    connect(service, &QLowEnergyService::characteristicWritten, this,
            &BTLE_Connection::writeToConnectedDeviceFinished, Qt::UniqueConnection);
    connect(service, &QLowEnergyService::descriptorWritten, this, &BTLE_Connection::notificationDescriptorWritten,
            Qt::UniqueConnection);
    connect(service, &QLowEnergyService::errorOccurred, this, &BTLE_Connection::serviceErrorReceived,
            Qt::UniqueConnection);
}

void BTLE_Connection::startAgent()
{
    mDiscoveryAgent->start(QBluetoothDeviceDiscoveryAgent::LowEnergyMethod);
}

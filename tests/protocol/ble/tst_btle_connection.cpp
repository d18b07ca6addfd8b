#include "protocol/ble/BTLE_Connection.h"

#include "protocol/ble/ParlinkGattService.h"

#include <QBluetoothAddress>
#include <QBluetoothLocalDevice>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QString addressA = QStringLiteral("11:22:33:44:55:66");
const QString addressB = QStringLiteral("AA:BB:CC:DD:EE:01");

// Request for command 137 to the all-zero address: preamble, delimiter 0x82, five address bytes,
// command, byte count 0 and the XOR checksum 0x82 ^ 0x89 = 0x0B.
const QByteArray identifyRequest = QByteArray::fromHex("ffffffffff" "82" "0000000000" "89" "00" "0b");
// A device's answer frame starts with the response delimiter 0x86.
const QByteArray deviceAnswer = QByteArray::fromHex("ffffffffff86");

class ConnectionUnderTest : public BTLE_Connection {
public:
    using BTLE_Connection::addService;
    using BTLE_Connection::BTLE_Connection;
};

QBluetoothDeviceInfo device(const QString &address, const QString &name, bool lowEnergy = true)
{
    QBluetoothDeviceInfo info(QBluetoothAddress(address), name, 0);
    info.setCoreConfigurations(lowEnergy ? QBluetoothDeviceInfo::LowEnergyCoreConfiguration
                                         : QBluetoothDeviceInfo::BaseRateCoreConfiguration);
    return info;
}

// Plays the discovery agent reporting a device.
bool discover(BTLE_Connection &connection, const QBluetoothDeviceInfo &info)
{
    return QMetaObject::invokeMethod(&connection, "deviceDiscovered", Qt::DirectConnection,
                                     Q_ARG(QBluetoothDeviceInfo, info));
}

bool hasAdapter()
{
    return !QBluetoothLocalDevice::allDevices().isEmpty();
}

QStringList addressesOf(const BTLE_Connection &connection)
{
    QStringList addresses;
    for (const BTLE_DeviceInfo *info : connection.getDevices())
        addresses << info->getAddress();
    return addresses;
}

void raiseDetailsDiscovered(QLowEnergyService *service)
{
    emit service->stateChanged(QLowEnergyService::RemoteServiceDiscovered);
}

// Plays the device notifying an answer frame.
void notifyAnswer(QLowEnergyService *service)
{
    emit service->characteristicChanged(
        ParlinkGattService::characteristic(service, ParlinkGattService::frameInUuid), deviceAnswer);
}

void confirmNotificationSwitch(QLowEnergyService *service)
{
    emit service->descriptorWritten(ParlinkGattService::notificationSwitch(service), QByteArray::fromHex("0100"));
}

// A frame written without a connection is refused with exactly one "BT not connected".
void expectWriteRefused(BTLE_Connection &connection)
{
    QSignalSpy errors(&connection, &BTLE_Connection::errorOccurred);
    QTest::ignoreMessage(QtWarningMsg, "Write refused: BT not connected");
    connection.writeToConnectedDevice(identifyRequest, ParlinkGattService::frameOutUuid);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), "BT not connected");
}

} // namespace

class TestBTLEConnection : public QObject {
    Q_OBJECT
private slots:
    void generalDiscovery_listsOnlyLowEnergyDevicesWithThePrefix_data();
    void generalDiscovery_listsOnlyLowEnergyDevicesWithThePrefix();
    void permanentScan_keepsOneEntryPerName_data();
    void permanentScan_keepsOneEntryPerName();
    void specificDiscovery_takesOnlyTheSoughtDevice();
    void connectToDevice_unknownAddressWithoutCurrentDevice_changesNothing();
    void withoutAdapter_discoveryAndConnectionReportErrors();
    void secondDevice_getsItsOwnController();
    void notifications_areSwitchedOnBeforeReady();
    void failedNotificationSwitch_isReportedAndNeverReady();
    void frames_goOutWithResponseAndComeBackAsNotifications();
    void secondDetailDiscovery_doesNotDoubleListsOrDeliveries();
    void notificationFilter_passesMatchingCharacteristics_data();
    void notificationFilter_passesMatchingCharacteristics();
    void notificationEnableValue_data();
    void notificationEnableValue();
    void withoutConnection_everyOperationIsHarmless();
    void disconnect_stopsFramesAndRefusesWrites();
    void reconnect_dropsOldServicesAndRefusesWrites();

private:
    // Brings a connection to ready over a local PARLINK-like service; returns the service.
    QLowEnergyService *makeReady(ConnectionUnderTest &connection, QObject *owner);
};

QLowEnergyService *TestBTLEConnection::makeReady(ConnectionUnderTest &connection, QObject *owner)
{
    QLowEnergyService *service = ParlinkGattService::create(owner);
    if (!service)
        return nullptr;
    connection.addService(service);
    connection.discoverServiceDetails(ParlinkGattService::serviceUuid);
    raiseDetailsDiscovered(service);
    confirmNotificationSwitch(service);
    return connection.isReadyToCommunicate() ? service : nullptr;
}

void TestBTLEConnection::generalDiscovery_listsOnlyLowEnergyDevicesWithThePrefix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("lowEnergy");
    QTest::addColumn<bool>("listed");
    QTest::newRow("low energy with prefix") << "ZEB-1" << true << true;
    QTest::newRow("classic device") << "ZEB-1" << false << false;
    QTest::newRow("other name") << "Headset" << true << false;
    QTest::newRow("prefix in other case") << "zeb-1" << true << false;
}

void TestBTLEConnection::generalDiscovery_listsOnlyLowEnergyDevicesWithThePrefix()
{
    QFETCH(QString, name);
    QFETCH(bool, lowEnergy);
    QFETCH(bool, listed);
    BTLE_Connection connection(nullptr, "ZEB");
    QVERIFY(discover(connection, device(addressA, name, lowEnergy)));
    QCOMPARE(addressesOf(connection), listed ? QStringList{addressA} : QStringList{});
}

void TestBTLEConnection::permanentScan_keepsOneEntryPerName_data()
{
    QTest::addColumn<bool>("permanentScan");
    QTest::addColumn<QStringList>("addresses");
    QTest::newRow("single scan") << false << QStringList{addressA, addressB};
    QTest::newRow("permanent scan") << true << QStringList{addressB};
}

void TestBTLEConnection::permanentScan_keepsOneEntryPerName()
{
    QFETCH(bool, permanentScan);
    QFETCH(QStringList, addresses);
    BTLE_Connection connection(nullptr, "ZEB");
    connection.startDeviceDiscovery(permanentScan);
    QSignalSpy updated(&connection, &BTLE_Connection::devicesUpdated);
    QVERIFY(discover(connection, device(addressA, "ZEB-1")));
    QVERIFY(discover(connection, device(addressB, "ZEB-1")));
    QCOMPARE(addressesOf(connection), addresses);
    QCOMPARE(updated.count(), 2);
}

void TestBTLEConnection::specificDiscovery_takesOnlyTheSoughtDevice()
{
    BTLE_Connection connection(nullptr, "ZEB");
    connection.startSpecificDeviceDiscovery(addressB.toLower(), false);
    QSignalSpy found(&connection, &BTLE_Connection::foundSpecificDevice);

    QVERIFY(discover(connection, device(addressA, "ZEB-1")));
    QCOMPARE(found.count(), 0);
    QVERIFY(connection.getDevices().isEmpty());

    // The sought device is taken whatever its name; seen again, it replaces its entry.
    QVERIFY(discover(connection, device(addressB, "Other")));
    QVERIFY(discover(connection, device(addressB, "Other")));
    QCOMPARE(found.count(), 2);
    QCOMPARE(addressesOf(connection), QStringList{addressB});
}

void TestBTLEConnection::connectToDevice_unknownAddressWithoutCurrentDevice_changesNothing()
{
    BTLE_Connection connection;
    QSignalSpy characteristics(&connection, &BTLE_Connection::characteristicsUpdated);
    QSignalSpy services(&connection, &BTLE_Connection::servicesUpdated);
    QSignalSpy errors(&connection, &BTLE_Connection::errorOccurred);
    QTest::ignoreMessage(QtWarningMsg, "Not a valid device");
    connection.connectToDevice(addressA);
    QCOMPARE(connection.getController(), nullptr);
    QCOMPARE(characteristics.count(), 0);
    QCOMPARE(services.count(), 0);
    QCOMPARE(errors.count(), 0);
}

void TestBTLEConnection::withoutAdapter_discoveryAndConnectionReportErrors()
{
    if (hasAdapter())
        QSKIP("a Bluetooth adapter is present; this checks the errors reported without one");
    BTLE_Connection connection;
    QSignalSpy errors(&connection, &BTLE_Connection::errorOccurred);

    connection.startDeviceDiscovery(false);
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 5000);
    QCOMPARE(errors.at(0).at(0).toString(), "BT IO Error");

    QVERIFY(discover(connection, device(addressA, "ZEB-1")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Error: "));
    connection.connectToDevice(addressA);
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 2, 5000);
    QCOMPARE(errors.at(1).at(0).toString(), "BT invalid Adapter Error");
    QVERIFY(!connection.isConnected());
}

void TestBTLEConnection::secondDevice_getsItsOwnController()
{
    BTLE_Connection connection;
    QVERIFY(discover(connection, device(addressA, "ZEB-1")));
    QVERIFY(discover(connection, device(addressB, "ZEB-2")));

    connection.connectToDevice(addressA);
    QPointer<const QLowEnergyController> first = connection.getController();
    QVERIFY(first);
    QCOMPARE(first->remoteAddress().toString(), addressA);

    connection.connectToDevice(addressB);
    QVERIFY(connection.getController());
    QVERIFY(connection.getController() != first);
    QCOMPARE(connection.getController()->remoteAddress().toString(), addressB);
    QCOMPARE(connection.getCurrentDevice()->getAddress(), addressB);
    // The first device's controller goes away and takes no part any more.
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 5000);

    connection.connectToDevice(addressA);
    QCOMPARE(connection.getController()->remoteAddress().toString(), addressA);
}

void TestBTLEConnection::notifications_areSwitchedOnBeforeReady()
{
    QObject owner;
    ConnectionUnderTest connection;
    QVERIFY(discover(connection, device(addressA, "ZEB-1")));
    connection.connectToDevice(addressA);
    QLowEnergyService *service = ParlinkGattService::create(&owner);
    QVERIFY(service);
    connection.addService(service);
    QSignalSpy ready(&connection, &BTLE_Connection::readyToCommunicate);

    connection.discoverServiceDetails(ParlinkGattService::serviceUuid);
    raiseDetailsDiscovered(service);
    QCOMPARE(connection.getCharacteristics().size(), 3);
    QCOMPARE(ParlinkGattService::notificationSwitch(service).value(), QByteArray::fromHex("0100"));
    QCOMPARE(ready.count(), 0);
    QVERIFY(!connection.isReadyToCommunicate());

    confirmNotificationSwitch(service);
    QCOMPARE(ready.count(), 1);
    QCOMPARE(ready.at(0).at(0).toString(), addressA);
    QVERIFY(connection.isReadyToCommunicate());
}

void TestBTLEConnection::failedNotificationSwitch_isReportedAndNeverReady()
{
    QObject owner;
    ConnectionUnderTest connection;
    QLowEnergyService *service = ParlinkGattService::create(&owner);
    QVERIFY(service);
    connection.addService(service);
    QSignalSpy ready(&connection, &BTLE_Connection::readyToCommunicate);
    QSignalSpy errors(&connection, &BTLE_Connection::errorOccurred);
    connection.discoverServiceDetails(ParlinkGattService::serviceUuid);
    raiseDetailsDiscovered(service);

    QTest::ignoreMessage(QtWarningMsg, "Error: BT Error: DescriptorWriteError");
    emit service->errorOccurred(QLowEnergyService::DescriptorWriteError);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), "BT Error: DescriptorWriteError");
    QCOMPARE(ready.count(), 0);
    QVERIFY(!connection.isReadyToCommunicate());
}

void TestBTLEConnection::frames_goOutWithResponseAndComeBackAsNotifications()
{
    QObject owner;
    ConnectionUnderTest connection;
    QLowEnergyService *service = makeReady(connection, &owner);
    QVERIFY(service);
    QSignalSpy written(&connection, &BTLE_Connection::dataSuccessfullyWrittenToDevice);
    QSignalSpy received(&connection, &BTLE_Connection::newDataFromConnectedDeviceAvailable);
    QSignalSpy errors(&connection, &BTLE_Connection::errorOccurred);

    // The link layer names the characteristic in upper case; the list shows it in lower case.
    connection.writeToConnectedDevice(identifyRequest, ParlinkGattService::frameOutUuid.toUpper());
    const QLowEnergyCharacteristic frameOut =
        ParlinkGattService::characteristic(service, ParlinkGattService::frameOutUuid);
    QCOMPARE(frameOut.value(), QByteArray::fromHex("ffffffffff820000000000" "89000b"));
    QCOMPARE(written.count(), 0);
    emit service->characteristicWritten(frameOut, identifyRequest);
    QCOMPARE(written.count(), 1);

    notifyAnswer(service);
    QCOMPARE(received.count(), 1);
    QCOMPARE(received.at(0).at(0).toByteArray(), QByteArray::fromHex("ffffffffff86"));
    QCOMPARE(errors.count(), 0);
}

void TestBTLEConnection::secondDetailDiscovery_doesNotDoubleListsOrDeliveries()
{
    QObject owner;
    ConnectionUnderTest connection;
    QLowEnergyService *service = makeReady(connection, &owner);
    QVERIFY(service);

    connection.discoverServiceDetails(ParlinkGattService::serviceUuid.toLower());
    raiseDetailsDiscovered(service);
    raiseDetailsDiscovered(service);
    confirmNotificationSwitch(service);
    QVERIFY(connection.isReadyToCommunicate());
    QCOMPARE(connection.getCharacteristics().size(), 3);

    QSignalSpy written(&connection, &BTLE_Connection::dataSuccessfullyWrittenToDevice);
    QSignalSpy received(&connection, &BTLE_Connection::newDataFromConnectedDeviceAvailable);
    notifyAnswer(service);
    emit service->characteristicWritten(
        ParlinkGattService::characteristic(service, ParlinkGattService::frameOutUuid), identifyRequest);
    QCOMPARE(received.count(), 1);
    QCOMPARE(written.count(), 1);
}

void TestBTLEConnection::notificationFilter_passesMatchingCharacteristics_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("passes");
    QTest::newRow("no filter") << "" << true;
    QTest::newRow("lower case") << "40026e0edc24" << true;
    QTest::newRow("upper case") << "40026E0EDC24" << true;
    QTest::newRow("with the brace") << "{e093f3b5" << true;
    QTest::newRow("other characteristic") << "40036e0edc24" << false;
}

void TestBTLEConnection::notificationFilter_passesMatchingCharacteristics()
{
    QFETCH(QString, filter);
    QFETCH(bool, passes);
    QObject owner;
    QLowEnergyService *service = ParlinkGattService::create(&owner);
    QVERIFY(service);
    BTLE_Connection connection(nullptr, QString(), filter);
    QSignalSpy received(&connection, &BTLE_Connection::newDataFromConnectedDeviceAvailable);
    connection.newDataFromConnectedDevice(
        ParlinkGattService::characteristic(service, ParlinkGattService::frameInUuid), deviceAnswer);
    QCOMPARE(received.count(), passes ? 1 : 0);
}

void TestBTLEConnection::notificationEnableValue_data()
{
    using C = QLowEnergyCharacteristic;
    QTest::addColumn<C::PropertyTypes>("properties");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("notify") << C::PropertyTypes(C::Notify) << QByteArray("\x01\x00", 2);
    QTest::newRow("indicate") << C::PropertyTypes(C::Indicate) << QByteArray("\x02\x00", 2);
    QTest::newRow("both prefer notify") << (C::Notify | C::Indicate) << QByteArray("\x01\x00", 2);
    QTest::newRow("neither") << (C::Read | C::Write) << QByteArray();
}

void TestBTLEConnection::notificationEnableValue()
{
    QFETCH(QLowEnergyCharacteristic::PropertyTypes, properties);
    QFETCH(QByteArray, value);
    QCOMPARE(BTLE_Connection::notificationEnableValue(properties), value);
}

void TestBTLEConnection::withoutConnection_everyOperationIsHarmless()
{
    BTLE_Connection connection;
    QSignalSpy errors(&connection, &BTLE_Connection::errorOccurred);
    QSignalSpy disconnected(&connection, &BTLE_Connection::disconnected);
    QSignalSpy ready(&connection, &BTLE_Connection::readyToCommunicate);
    QSignalSpy characteristics(&connection, &BTLE_Connection::characteristicsUpdated);

    expectWriteRefused(connection);

    connection.disconnectFromDevice();
    connection.discoverServiceDetails(ParlinkGattService::serviceUuid);
    QVERIFY(QMetaObject::invokeMethod(&connection, "deviceConnected", Qt::DirectConnection));
    QVERIFY(!connection.isConnected());
    QVERIFY(QMetaObject::invokeMethod(&connection, "serviceDetailsDiscovered", Qt::DirectConnection,
                                      Q_ARG(QLowEnergyService::ServiceState,
                                            QLowEnergyService::RemoteServiceDiscovered)));
    QTest::ignoreMessage(QtWarningMsg, "Cannot create service for uuid");
    QVERIFY(QMetaObject::invokeMethod(&connection, "serviceDiscovered", Qt::DirectConnection,
                                      Q_ARG(QBluetoothUuid, QBluetoothUuid(ParlinkGattService::serviceUuid))));
    QVERIFY(connection.getServices().isEmpty());

    QSignalSpy servicesUpdated(&connection, &BTLE_Connection::servicesUpdated);
    QSignalSpy startDetails(&connection, &BTLE_Connection::startDiscoverServiceDetails);
    QVERIFY(QMetaObject::invokeMethod(&connection, "serviceScanDone", Qt::DirectConnection));
    QCOMPARE(servicesUpdated.count(), 1);
    QCOMPARE(startDetails.count(), 1);

    QTest::ignoreMessage(QtWarningMsg, "Disconnect from device");
    QVERIFY(QMetaObject::invokeMethod(&connection, "deviceDisconnected", Qt::DirectConnection));
    QCOMPARE(disconnected.count(), 1);

    QTest::qWait(20);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(ready.count(), 0);
    QCOMPARE(characteristics.count(), 0);
}

void TestBTLEConnection::disconnect_stopsFramesAndRefusesWrites()
{
    QObject owner;
    ConnectionUnderTest connection;
    QLowEnergyService *service = makeReady(connection, &owner);
    QVERIFY(service);
    QSignalSpy disconnected(&connection, &BTLE_Connection::disconnected);
    QSignalSpy received(&connection, &BTLE_Connection::newDataFromConnectedDeviceAvailable);

    QTest::ignoreMessage(QtWarningMsg, "Disconnect from device");
    QVERIFY(QMetaObject::invokeMethod(&connection, "deviceDisconnected", Qt::DirectConnection));
    QCOMPARE(disconnected.count(), 1);
    QVERIFY(!connection.isReadyToCommunicate());

    notifyAnswer(service);
    QCOMPARE(received.count(), 0);

    expectWriteRefused(connection);
    QCOMPARE(ParlinkGattService::characteristic(service, ParlinkGattService::frameOutUuid).value(), QByteArray());
}

void TestBTLEConnection::reconnect_dropsOldServicesAndRefusesWrites()
{
    QObject owner;
    ConnectionUnderTest connection;
    QVERIFY(discover(connection, device(addressA, "ZEB-1")));
    QPointer<QLowEnergyService> service = makeReady(connection, &owner);
    QVERIFY(service);

    connection.connectToDevice(addressA);
    QVERIFY(connection.getServices().isEmpty());
    QVERIFY(connection.getCharacteristics().isEmpty());
    QVERIFY(!connection.isReadyToCommunicate());
    // The old service is deleted with its info; nothing may still point at it.
    QTRY_VERIFY_WITH_TIMEOUT(service.isNull(), 5000);

    expectWriteRefused(connection);
}

QTEST_GUILESS_MAIN(TestBTLEConnection)
#include "tst_btle_connection.moc"

#include "protocol/ble/BTLE_Texts.h"

#include <QtTest>

class TestBTLETexts : public QObject {
    Q_OBJECT
private slots:
    void uuidText_isShortFormOrBracelessLowerCase_data();
    void uuidText_isShortFormOrBracelessLowerCase();
    void discoveryErrorText_followsTable_data();
    void discoveryErrorText_followsTable();
    void controllerErrorText_followsTable_data();
    void controllerErrorText_followsTable();
    void serviceErrorText_namesTheEnumerator();
};

void TestBTLETexts::uuidText_isShortFormOrBracelessLowerCase_data()
{
    QTest::addColumn<QBluetoothUuid>("uuid");
    QTest::addColumn<QString>("text");
    QTest::newRow("16-bit") << QBluetoothUuid(quint16(0x2A00)) << "0x2a00";
    QTest::newRow("16-bit without leading zeros") << QBluetoothUuid(quint16(0x000F)) << "0xf";
    QTest::newRow("16-bit written out in full")
        << QBluetoothUuid(QStringLiteral("{00002A00-0000-1000-8000-00805F9B34FB}")) << "0x2a00";
    QTest::newRow("32-bit") << QBluetoothUuid(quint32(0x12345678)) << "0x12345678";
    QTest::newRow("128-bit") << QBluetoothUuid(QStringLiteral("E093F3B5-00A3-A9E5-9ECA-40036E0EDC24"))
                             << "e093f3b5-00a3-a9e5-9eca-40036e0edc24";
}

void TestBTLETexts::uuidText_isShortFormOrBracelessLowerCase()
{
    QFETCH(QBluetoothUuid, uuid);
    QFETCH(QString, text);
    QCOMPARE(BTLE::uuidText(uuid), text);
}

void TestBTLETexts::discoveryErrorText_followsTable_data()
{
    QTest::addColumn<QBluetoothDeviceDiscoveryAgent::Error>("error");
    QTest::addColumn<QString>("text");
    QTest::newRow("powered off") << QBluetoothDeviceDiscoveryAgent::PoweredOffError << "BT Adapter is powered off";
    QTest::newRow("input/output") << QBluetoothDeviceDiscoveryAgent::InputOutputError << "BT IO Error";
    QTest::newRow("invalid adapter") << QBluetoothDeviceDiscoveryAgent::InvalidBluetoothAdapterError
                                     << "BT Error: InvalidBluetoothAdapterError";
    QTest::newRow("unsupported platform") << QBluetoothDeviceDiscoveryAgent::UnsupportedPlatformError
                                          << "BT Error: UnsupportedPlatformError";
    QTest::newRow("unknown") << QBluetoothDeviceDiscoveryAgent::UnknownError << "BT Error: UnknownError";
}

void TestBTLETexts::discoveryErrorText_followsTable()
{
    QFETCH(QBluetoothDeviceDiscoveryAgent::Error, error);
    QFETCH(QString, text);
    QCOMPARE(BTLE::discoveryErrorText(error), text);
}

void TestBTLETexts::controllerErrorText_followsTable_data()
{
    QTest::addColumn<QLowEnergyController::Error>("error");
    QTest::addColumn<QString>("text");
    QTest::newRow("remote device") << QLowEnergyController::UnknownRemoteDeviceError << "BT Remote Device Error";
    QTest::newRow("network") << QLowEnergyController::NetworkError << "BT Network Error";
    QTest::newRow("adapter") << QLowEnergyController::InvalidBluetoothAdapterError << "BT invalid Adapter Error";
    QTest::newRow("connection") << QLowEnergyController::ConnectionError << "BT connection error";
    QTest::newRow("unknown") << QLowEnergyController::UnknownError << "BT unknown Error";
    QTest::newRow("remote host closed") << QLowEnergyController::RemoteHostClosedError << "BT unknown Error";
}

void TestBTLETexts::controllerErrorText_followsTable()
{
    QFETCH(QLowEnergyController::Error, error);
    QFETCH(QString, text);
    QCOMPARE(BTLE::controllerErrorText(error), text);
}

void TestBTLETexts::serviceErrorText_namesTheEnumerator()
{
    QCOMPARE(BTLE::serviceErrorText(QLowEnergyService::DescriptorWriteError), "BT Error: DescriptorWriteError");
    QCOMPARE(BTLE::serviceErrorText(QLowEnergyService::CharacteristicWriteError),
             "BT Error: CharacteristicWriteError");
}

QTEST_GUILESS_MAIN(TestBTLETexts)
#include "tst_btle_texts.moc"

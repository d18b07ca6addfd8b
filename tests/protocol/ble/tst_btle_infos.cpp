#include "protocol/ble/BTLE_CharacteristicInfo.h"
#include "protocol/ble/BTLE_ServiceInfo.h"

#include "protocol/ble/ParlinkGattService.h"

#include <QPointer>
#include <QtTest>

class TestBTLEInfos : public QObject {
    Q_OBJECT
private slots:
    void characteristic_texts_data();
    void characteristic_texts();
    void characteristicPermission_listsPropertiesInFixedOrder_data();
    void characteristicPermission_listsPropertiesInFixedOrder();
    void serviceType_isPrimaryOrSecondaryWithIncluded_data();
    void serviceType_isPrimaryOrSecondaryWithIncluded();
    void serviceInfo_showsAndOwnsItsService();
};

void TestBTLEInfos::characteristic_texts_data()
{
    QTest::addColumn<QString>("uuid");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("uuidText");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("permission");
    QTest::newRow("frame out") << ParlinkGattService::frameOutUuid << "Unknown"
                               << "e093f3b5-00a3-a9e5-9eca-40036e0edc24"
                               << "<none>" << "(  Write )";
    QTest::newRow("frame in") << ParlinkGattService::frameInUuid << "Frame in"
                              << "e093f3b5-00a3-a9e5-9eca-40026e0edc24" << "in\n696e"
                              << "(  Notify )";
    QTest::newRow("device name") << QStringLiteral("00002a00-0000-1000-8000-00805f9b34fb") << "GAP Device Name"
                                 << "0x2a00" << "abc\n616263" << "(  Read )";
}

void TestBTLEInfos::characteristic_texts()
{
    QFETCH(QString, uuid);
    QFETCH(QString, name);
    QFETCH(QString, uuidText);
    QFETCH(QString, value);
    QFETCH(QString, permission);
    QLowEnergyService *service = ParlinkGattService::create(this);
    QVERIFY(service);
    const BTLE_CharacteristicInfo info(ParlinkGattService::characteristic(service, uuid));
    QCOMPARE(info.property("characteristicName").toString(), name);
    QCOMPARE(info.property("characteristicUuid").toString(), uuidText);
    QCOMPARE(info.property("characteristicValue").toString(), value);
    QCOMPARE(info.property("characteristicHandle").toString(), "0x1234");
    QCOMPARE(info.property("characteristicPermission").toString(), permission);
}

void TestBTLEInfos::characteristicPermission_listsPropertiesInFixedOrder_data()
{
    using C = QLowEnergyCharacteristic;
    QTest::addColumn<C::PropertyTypes>("properties");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << C::PropertyTypes() << "(  )";
    QTest::newRow("write and notify") << (C::Notify | C::Write) << "(  Write Notify )";
    QTest::newRow("all") << (C::WriteSigned | C::WriteNoResponse | C::Broadcasting | C::ExtendedProperty
                             | C::Indicate | C::Notify | C::Write | C::Read)
                         << "(  Read Write Notify Indicate ExtendedProperty Broadcast WriteNoResp WriteSigned )";
}

void TestBTLEInfos::characteristicPermission_listsPropertiesInFixedOrder()
{
    QFETCH(QLowEnergyCharacteristic::PropertyTypes, properties);
    QFETCH(QString, text);
    QCOMPARE(BTLE_CharacteristicInfo::permissionText(properties), text);
}

void TestBTLEInfos::serviceType_isPrimaryOrSecondaryWithIncluded_data()
{
    QTest::addColumn<QLowEnergyService::ServiceTypes>("types");
    QTest::addColumn<QString>("text");
    QTest::newRow("primary") << QLowEnergyService::ServiceTypes(QLowEnergyService::PrimaryService) << "primary";
    QTest::newRow("secondary") << QLowEnergyService::ServiceTypes() << "secondary";
    QTest::newRow("primary included") << (QLowEnergyService::PrimaryService | QLowEnergyService::IncludedService)
                                      << "primary included";
    QTest::newRow("secondary included") << QLowEnergyService::ServiceTypes(QLowEnergyService::IncludedService)
                                        << "secondary included";
}

void TestBTLEInfos::serviceType_isPrimaryOrSecondaryWithIncluded()
{
    QFETCH(QLowEnergyService::ServiceTypes, types);
    QFETCH(QString, text);
    QCOMPARE(BTLE_ServiceInfo::typeText(types), text);
}

void TestBTLEInfos::serviceInfo_showsAndOwnsItsService()
{
    QPointer<QLowEnergyService> service = ParlinkGattService::create(this);
    QVERIFY(service);
    auto *info = new BTLE_ServiceInfo(service);
    QCOMPARE(info->property("serviceUuid").toString(), "e093f3b5-00a3-a9e5-9eca-40016e0edc24");
    QCOMPARE(info->property("serviceType").toString(), "primary");
    QCOMPARE(service->parent(), info);
    delete info;
    QVERIFY(service.isNull());
}

QTEST_GUILESS_MAIN(TestBTLEInfos)
#include "tst_btle_infos.moc"

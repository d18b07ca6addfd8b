// The value types that travel between the device service and the application.

#include "communication/MetaTypes.h"

#include <QBuffer>
#include <QDataStream>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <cmath>
#include <limits>

using namespace Thg::Tilo::Communication;

namespace {

Address address(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4)
{
    return Address(Address::Bytes{b0, b1, b2, b3, b4});
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

QByteArray raw(const Address::Bytes &address)
{
    return QByteArray(reinterpret_cast<const char *>(address.data()), Address::Size);
}

Slot slot(float value, std::uint8_t unit, float min = 0, float max = 0)
{
    return Slot{value, min, max, unit};
}

QString debugText(const auto &value)
{
    QString text;
    QDebug(&text) << value;
    return text;
}

// Emits a value from another thread, so that it has to cross a queued connection.
class Emitter : public QObject {
    Q_OBJECT
signals:
    void device(const Thg::Tilo::Communication::Device &dev);
    void slotsList(const QList<Thg::Tilo::Communication::Slots> &records);
    void ports(const QList<Thg::Tilo::Communication::Comport> &ports);
    void type(Thg::Tilo::Communication::Address::Type type);
};

} // namespace

class TestCommunicationTypes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerMetaTypes(); }

    void addressType_isDecidedByTheIdsAlone_data();
    void addressType_isDecidedByTheIdsAlone();
    void asArray_masksThePartNotAddressed_data();
    void asArray_masksThePartNotAddressed();
    void addressAsString_isEachByteInDecimal();

    void slots_keepAtMostNineEntriesAndDropUnit255_data();
    void slots_keepAtMostNineEntriesAndDropUnit255();
    void slots_statusTextsCarryTheirLevelAndPadToEight();
    void slots_activeStatusStringsRunFromBit7Down_data();
    void slots_activeStatusStringsRunFromBit7Down();
    void slots_equalityComparesOnlyNonEmptySlotLists_data();
    void slots_equalityComparesOnlyNonEmptySlotLists();

    void device_defaultsToDashesAndZeroAddress();
    void equality_comparesEveryMember_data();
    void equality_comparesEveryMember();
    void debugOutput_showsTheLabels();

    void enumerations_streamAsTheirNumbers();
    void values_crossAQueuedConnection();
};

void TestCommunicationTypes::addressType_isDecidedByTheIdsAlone_data()
{
    QTest::addColumn<Address>("addr");
    QTest::addColumn<Address::Type>("type");
    QTest::newRow("vendor only") << address(7, 0, 0, 0, 0) << Address::Type::None;
    QTest::newRow("all zero") << address(0, 0, 0, 0, 0) << Address::Type::None;
    QTest::newRow("device low byte") << address(0, 0, 1, 0, 0) << Address::Type::Device;
    QTest::newRow("device high byte") << address(0, 1, 0, 0, 0) << Address::Type::Device;
    QTest::newRow("sub-device low byte") << address(0, 0, 0, 0, 1) << Address::Type::SubDevice;
    QTest::newRow("sub-device high byte") << address(9, 0, 0, 1, 0) << Address::Type::SubDevice;
    QTest::newRow("both") << address(0, 1, 0, 0, 1) << Address::Type::DeviceAndSubDevice;
    QTest::newRow("built-in device") << address(19, 0, 4, 0, 1) << Address::Type::DeviceAndSubDevice;
}

void TestCommunicationTypes::addressType_isDecidedByTheIdsAlone()
{
    QFETCH(Address, addr);
    QFETCH(Address::Type, type);
    QCOMPARE(addr.getType(), type);
}

void TestCommunicationTypes::asArray_masksThePartNotAddressed_data()
{
    QTest::addColumn<Address::Type>("type");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("sub-device") << Address::Type::SubDevice << bytes({9, 0, 0, 3, 4});
    QTest::newRow("device") << Address::Type::Device << bytes({9, 1, 2, 0, 0});
    QTest::newRow("device and sub-device") << Address::Type::DeviceAndSubDevice << bytes({9, 1, 2, 3, 4});
    QTest::newRow("none") << Address::Type::None << bytes({9, 1, 2, 3, 4});
    QTest::newRow("a value outside the four") << Address::Type(7) << bytes({9, 1, 2, 3, 4});
}

void TestCommunicationTypes::asArray_masksThePartNotAddressed()
{
    QFETCH(Address::Type, type);
    QFETCH(QByteArray, expected);
    QCOMPARE(raw(address(9, 1, 2, 3, 4).asArray(type)), expected);
}

void TestCommunicationTypes::addressAsString_isEachByteInDecimal()
{
    const Address a;
    QCOMPARE(a.getAddressAsString({0, 12, 255, 0, 1}), (QList<QString>{"0", "12", "255", "0", "1"}));
}

void TestCommunicationTypes::slots_keepAtMostNineEntriesAndDropUnit255_data()
{
    QTest::addColumn<QList<Slot>>("input");
    QTest::addColumn<QList<float>>("kept");

    QList<Slot> twelve;
    for (int i = 1; i <= 12; ++i)
        twelve.append(slot(float(i), i == 2 ? 255 : 17));
    QTest::newRow("12 with the second empty") << twelve << QList<float>{1, 3, 4, 5, 6, 7, 8, 9};

    QList<Slot> nine;
    for (int i = 1; i <= 9; ++i)
        nine.append(slot(float(i), 41));
    QTest::newRow("nine") << nine << QList<float>{1, 2, 3, 4, 5, 6, 7, 8, 9};

    QTest::newRow("all empty") << QList<Slot>{slot(1, 255), slot(2, 255)} << QList<float>{};
    QTest::newRow("none") << QList<Slot>{} << QList<float>{};
}

void TestCommunicationTypes::slots_keepAtMostNineEntriesAndDropUnit255()
{
    QFETCH(QList<Slot>, input);
    QFETCH(QList<float>, kept);
    const Slots record({}, 0, input);
    QList<float> values;
    for (const Slot &s : record.slotList)
        values.append(s.value);
    QCOMPARE(values, kept);
}

void TestCommunicationTypes::slots_statusTextsCarryTheirLevelAndPadToEight()
{
    const Slots record({"3Overflow", "A", ""}, 0x05, {});
    QCOMPARE(record.statusStrings.size(), 8);
    QCOMPARE(record.statusStrings[0].text, QString("Overflow"));
    QCOMPARE(record.statusStrings[0].level, std::uint8_t(3));
    QCOMPARE(record.statusStrings[1].text, QString());
    QCOMPARE(record.statusStrings[1].level, std::uint8_t(0));
    QCOMPARE(record.statusStrings[2].text, QString());
    for (qsizetype i = 3; i < 8; ++i)
        QVERIFY(record.statusStrings[i].text.isEmpty());

    const Slots letters({"xNo digit", "9"}, 0, {});
    QCOMPARE(letters.statusStrings[0].text, QString("No digit"));
    QCOMPARE(letters.statusStrings[0].level, std::uint8_t(0));
    QCOMPARE(letters.statusStrings[1].level, std::uint8_t(0));

    QList<QString> eleven;
    for (int i = 0; i < 11; ++i)
        eleven.append(QString("1T%1").arg(i));
    const Slots many(eleven, 0, {});
    QCOMPARE(many.statusStrings.size(), 9);
    QCOMPARE(many.statusStrings[8].text, QString("T8"));

    QCOMPARE(Slots().statusStrings.size(), 8);
}

void TestCommunicationTypes::slots_activeStatusStringsRunFromBit7Down_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("0x05") << 0x05 << QStringList{"", "Overflow"};
    QTest::newRow("0x00") << 0x00 << QStringList{};
    QTest::newRow("0x80") << 0x80 << QStringList{"Bit7"};
    QTest::newRow("0x2a") << 0x2a << QStringList{"Bit5", "Bit3", ""};
}

void TestCommunicationTypes::slots_activeStatusStringsRunFromBit7Down()
{
    QFETCH(int, status);
    QFETCH(QStringList, texts);
    const Slots record({"3Overflow", "A", "", "1Bit3", "", "1Bit5", "", "2Bit7"}, std::uint8_t(status), {});
    QStringList active;
    for (const StatusString &s : record.activeStatusStrings())
        active.append(s.text);
    QCOMPARE(active, texts);
}

void TestCommunicationTypes::slots_equalityComparesOnlyNonEmptySlotLists_data()
{
    QTest::addColumn<Slots>("a");
    QTest::addColumn<Slots>("b");
    QTest::addColumn<bool>("equal");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    QTest::newRow("two defaults") << Slots() << Slots() << false;
    QTest::newRow("same slots, other texts and status")
        << Slots({"1A"}, 1, {slot(1, 17, 0, 2)}) << Slots({"2B"}, 2, {slot(1, 17, 0, 2)}) << true;
    QTest::newRow("other max") << Slots({}, 0, {slot(1, 17, 0, 2)}) << Slots({}, 0, {slot(1, 17, 0, 3)}) << false;
    QTest::newRow("other unit") << Slots({}, 0, {slot(1, 17)}) << Slots({}, 0, {slot(1, 41)}) << false;
    QTest::newRow("other count") << Slots({}, 0, {slot(1, 17)}) << Slots({}, 0, {slot(1, 17), slot(1, 17)}) << false;
    QTest::newRow("NaN") << Slots({}, 0, {slot(nan, 17)}) << Slots({}, 0, {slot(nan, 17)}) << false;
}

void TestCommunicationTypes::slots_equalityComparesOnlyNonEmptySlotLists()
{
    QFETCH(Slots, a);
    QFETCH(Slots, b);
    QFETCH(bool, equal);
    QCOMPARE(a == b, equal);
    QCOMPARE(b == a, equal);
}

void TestCommunicationTypes::device_defaultsToDashesAndZeroAddress()
{
    const Device dev;
    for (const QString &text : {dev.Name, dev.Version, dev.Revision, dev.Vendor, dev.SubName, dev.SubVersion, dev.SubRevision})
        QCOMPARE(text, QString("-"));
    QCOMPARE(raw(dev.address.asArray(Address::Type::None)), QByteArray(5, '\0'));
    QCOMPARE(Device(), Device());
    QCOMPARE(Comport(), Comport());
    QVERIFY(Comport().Number.isEmpty());
    QVERIFY(!Comport().HalfDuplex);
}

void TestCommunicationTypes::equality_comparesEveryMember_data()
{
    QTest::addColumn<Device>("changedDevice");
    QTest::addColumn<Comport>("changedPort");
    Device d;
    Comport p;
    d.Name = "x";
    p.Number = "COM3";
    QTest::newRow("name, number") << d << p;
    d = {};
    p = {};
    d.SubRevision = "x";
    p.Manufacturer = "FTDI";
    QTest::newRow("sub revision, manufacturer") << d << p;
    d = {};
    p = {};
    d.address.bytes[4] = 1;
    p.Pid = 1;
    QTest::newRow("last address byte, pid") << d << p;
    d = {};
    p = {};
    d.address.bytes[0] = 1;
    p.PowerDown = 1;
    QTest::newRow("vendor byte, power-down") << d << p;
    d = {};
    p = {};
    d.Vendor = "";
    p.HalfDuplex = true;
    QTest::newRow("vendor text, half-duplex") << d << p;
}

void TestCommunicationTypes::equality_comparesEveryMember()
{
    QFETCH(Device, changedDevice);
    QFETCH(Comport, changedPort);
    QVERIFY(!(changedDevice == Device()));
    QVERIFY(!(changedPort == Comport()));
}

void TestCommunicationTypes::debugOutput_showsTheLabels()
{
    const QString device = debugText(Device());
    for (const char *label : {"Name:", "Version:", "Revision:", "Vendor:", "Address:", "Device:", "SubDevice:",
                              "has Sub: false", "Sub Name:", "Sub Version:", "Sub Revision:"})
        QVERIFY2(device.contains(QLatin1String(label)), label);
    QCOMPARE(device.count(QStringLiteral("\"-\"")), 7);

    Device sub;
    sub.address = address(19, 0, 4, 0, 1);
    const QString withSub = debugText(sub);
    QVERIFY(withSub.contains("has Sub: true"));
    QVERIFY(withSub.contains("Vendor: 19"));
    QVERIFY(withSub.contains("Device: 0 4"));
    QVERIFY(withSub.contains("SubDevice: 0 1"));

    Comport port{"COM3", "FTDI", 24577, 1027, true, 260, 300};
    QCOMPARE(debugText(port).trimmed(),
             QString("Number: \"COM3\" Manufacturer: \"FTDI\" Pid: 24577 Vid: 1027 HalfDuplex: true Startup(ms): 260 "
                     "PowerDown(ms): 300"));

    const QString record = debugText(Slots({"3Overflow"}, 0x01, {slot(1.5f, 41), slot(2, 99)}));
    for (const char *text : {"Active Status[1]:", "Overflow", "Level: ", "Slot[1]:", "Slot[2]:", "Value: ", "Min: ",
                             "Max: ", "Unit: ", "\"L\"", "\"NA\""})
        QVERIFY2(record.contains(QLatin1String(text)), text);
    QVERIFY(record.contains("Level:  3"));
    QVERIFY(record.contains("Value:  1.5"));
    QCOMPARE(unitText(7), QString("bar"));
    QCOMPARE(unitText(17), QString("L/m"));
    QCOMPARE(unitText(32), QString::fromUtf8("°C"));
    QCOMPARE(unitText(0), QString("NA"));
}

void TestCommunicationTypes::enumerations_streamAsTheirNumbers()
{
    QByteArray data;
    {
        QDataStream out(&data, QIODevice::WriteOnly);
        out << LogLevel::Critical << BootloaderType::TIVA << Address::Type::None;
    }
    QCOMPARE(data, QByteArray::fromHex("0502000000ff"));
    QDataStream in(data);
    LogLevel level{};
    BootloaderType type{};
    Address::Type addressType{};
    in >> level >> type >> addressType;
    QCOMPARE(level, LogLevel::Critical);
    QCOMPARE(type, BootloaderType::TIVA);
    QCOMPARE(addressType, Address::Type::None);
    QVERIFY(LogLevel::Trace < LogLevel::Debug);
    QCOMPARE(logLevelNames.name(LogLevel::Warning).value(), std::string_view("Warning"));
    QCOMPARE(bootloaderTypeNames.name(BootloaderType::MSP432).value(), std::string_view("MSP432"));
}

void TestCommunicationTypes::values_crossAQueuedConnection()
{
    Emitter emitter;
    QThread thread;
    emitter.moveToThread(&thread);
    thread.start();

    // The spies are read while the emitter's thread runs: they hear a relay on this thread, which
    // takes every value across a queued connection of its own (a spy appends on the emitting thread).
    Emitter relay;
    connect(&emitter, &Emitter::device, &relay, &Emitter::device, Qt::QueuedConnection);
    connect(&emitter, &Emitter::slotsList, &relay, &Emitter::slotsList, Qt::QueuedConnection);
    connect(&emitter, &Emitter::ports, &relay, &Emitter::ports, Qt::QueuedConnection);
    connect(&emitter, &Emitter::type, &relay, &Emitter::type, Qt::QueuedConnection);
    QSignalSpy devices(&relay, &Emitter::device);
    QSignalSpy records(&relay, &Emitter::slotsList);
    QSignalSpy ports(&relay, &Emitter::ports);
    QSignalSpy types(&relay, &Emitter::type);
    Device dev;
    dev.Name = "M7Q4-ZEB";
    dev.address = address(19, 0, 4, 0, 1);
    Device received;
    QObject receiver;
    connect(&emitter, &Emitter::device, &receiver, [&](const Device &d) { received = d; }, Qt::QueuedConnection);

    QMetaObject::invokeMethod(&emitter, [&] {
        emit emitter.device(dev);
        emit emitter.slotsList({Slots({"1A"}, 1, {slot(1, 17)})});
        emit emitter.ports({Comport{"COM3", "", 0, 0, false, 0, 0}});
        emit emitter.type(Address::Type::SubDevice);
    });
    QTRY_COMPARE_WITH_TIMEOUT(received, dev, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(types.size(), 1, 5000);
    QCOMPARE(records.size(), 1);
    QCOMPARE(ports.size(), 1);
    QCOMPARE(types.first().first().value<Address::Type>(), Address::Type::SubDevice);
    QCOMPARE(records.first().first().value<QList<Slots>>().first().slotList.size(), 1);

    thread.quit();
    QVERIFY(thread.wait(5000));
}

QTEST_GUILESS_MAIN(TestCommunicationTypes)
#include "tst_communication_types.moc"

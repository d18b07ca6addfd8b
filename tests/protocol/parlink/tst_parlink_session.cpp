#include "protocol/parlink/PARLINK_Session.h"

#include <QtTest>

#include <memory>

using FieldMap = QMap<QString, QVariant>;
using Command = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND;

namespace {
Command command(int value)
{
    return Command(value);
}

FieldMap withCommon(FieldMap fields)
{
    fields.insert("Status High", 0);
    fields.insert("Status Low", 0);
    fields.insert("Universal Error", 0);
    fields.insert("Error", 0);
    return fields;
}

FieldMap measuredValues(const QString &number, const QString &prefix)
{
    FieldMap fields{{"Databytes Master", 0}, {number, 0}};
    for (int i = 1; i <= 8; ++i) {
        fields.insert(QString("%1 %2 Unit").arg(prefix).arg(i), 0);
        fields.insert(QString("%1 %2").arg(prefix).arg(i), 0.0F);
    }
    return withCommon(fields);
}

// Equal keys, equal values and equal value types: an int 0 where a float 0.0 belongs is a fault.
void compareExactly(const FieldMap &actual, const FieldMap &expected)
{
    QCOMPARE(actual.keys(), expected.keys());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        QCOMPARE(actual.value(it.key()), it.value());
        QVERIFY2(actual.value(it.key()).metaType() == it.value().metaType(), qPrintable(it.key()));
    }
}
} // namespace

class TestParlinkSession : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void commandString_isKeyOnlyFor128To143_data();
    void commandString_isKeyOnlyFor128To143();
    void standardLayout_holdsEveryCommandsFields_data();
    void standardLayout_holdsEveryCommandsFields();
    void freshSession_answersWithStandardLayout_data();
    void freshSession_answersWithStandardLayout();
    void setData_replacesOneCommandAndLeavesDefaults();
    void setData_forUnknownCommand_isKeptUnderZero();
    void clearData_leavesOnlyTheStandardLayout();
    void queue_countsRepeatsAndFreesSlots();
    void queue_refusesBeyondCapacity();
    void copy_takesOverEverything();
    void copy_throughMetaType();
    void interfaceSettings_travelInVariant();
};

void TestParlinkSession::initTestCase()
{
    PARLINK_Session::registerMetaTypes();
}

void TestParlinkSession::commandString_isKeyOnlyFor128To143_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("key");
    QTest::newRow("127") << 127 << "0";
    QTest::newRow("128") << 128 << "128";
    QTest::newRow("135") << 135 << "135";
    QTest::newRow("143") << 143 << "143";
    QTest::newRow("144") << 144 << "0";
    QTest::newRow("no command 255") << 255 << "0";
    QTest::newRow("0") << 0 << "0";
    QTest::newRow("negative") << -128 << "0";
}

void TestParlinkSession::commandString_isKeyOnlyFor128To143()
{
    QFETCH(int, command);
    QFETCH(QString, key);
    QCOMPARE(PARLINK_Session::getCommandStringForCommandMap(command), key);
}

void TestParlinkSession::standardLayout_holdsEveryCommandsFields_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<FieldMap>("fields");

    QTest::newRow("128") << "128" << withCommon({{"Databytes Master", 0}, {"Databytes Slave", 4}, {"BaudrateBitmask", 0}});
    QTest::newRow("129") << "129" << withCommon({{"Databytes Master", 3}, {"Databytes Slave", 2}, {"Baudrate", 0}});
    QTest::newRow("130") << "130"
                         << withCommon({{"Databytes Master", 3}, {"Address", 0}, {"BytesToRead", 0}, {"Bytes", QByteArray()}});
    QTest::newRow("131") << "131"
                         << withCommon({{"Databytes Slave", 2}, {"Address", 0}, {"BytesToWrite", 0}, {"Bytes", QByteArray()}});
    QTest::newRow("132") << "132" << withCommon({{"Databytes Master", 0}, {"Databytes Slave", 2}});
    QTest::newRow("133") << "133" << withCommon({{"Databytes Master", 0}, {"Databytes Slave", 2}});
    QTest::newRow("134") << "134"
                         << withCommon({{"Databytes Master", 1}, {"Databytes Slave", 6}, {"DiagCode", 0}, {"DiagValue", 0}});
    QTest::newRow("135") << "135"
                         << withCommon({{"Databytes Master", 0}, {"Databytes Slave", 4}, {"Version", 0}, {"Subversion", 0}});
    QTest::newRow("136") << "136"
                         << withCommon({{"Databytes Master", 0},
                                        {"Databytes Slave", 5},
                                        {"Revision Year", 0},
                                        {"Revision Month", 0},
                                        {"Revision Day", 0}});
    QTest::newRow("137") << "137"
                         << withCommon({{"Databytes Master", 0},
                                        {"Databytes Slave", 2},
                                        {"Address Vendor ID", 0},
                                        {"Address Slave", 0},
                                        {"Address Subslave", 0}});
    QTest::newRow("138") << "138" << measuredValues("Number of Devicevariables", "Devicevariable");
    QTest::newRow("139") << "139" << measuredValues("Number of Burstvariables", "Burstvariable");
    QTest::newRow("140") << "140"
                         << withCommon({{"Databytes Master", 0},
                                        {"Databytes Slave", 130},
                                        {"Statusstring 1", " "},
                                        {"Statusstring 2", " "},
                                        {"Statusstring 3", " "},
                                        {"Statusstring 4", " "},
                                        {"Statusstring 5", " "},
                                        {"Statusstring 6", " "},
                                        {"Statusstring 7", " "},
                                        {"Statusstring 8", " "}});
    QTest::newRow("141") << "141" << withCommon({{"Databytes Master", 0}, {"Databytes Slave", 18}, {"Devicetypestring", " "}});
    QTest::newRow("142") << "142" << withCommon({{"Databytes Master", 0}, {"Databytes Slave", 2}});
    QTest::newRow("143") << "143"
                         << withCommon({{"Databytes Master", 5}, {"Databytes Slave", 2}, {"Systemcommand", 0}, {"Payload", 0}});
    const FieldMap common{{"Status High", 0}, {"Status Low", 0}, {"Universal Error", 0}};
    QTest::newRow("key 0") << "0" << common;
    QTest::newRow("key 127") << "127" << common;
    QTest::newRow("key 144") << "144" << common;
    QTest::newRow("key with leading zero") << "0128" << common;
    QTest::newRow("key not a number") << "abc" << common;
}

void TestParlinkSession::standardLayout_holdsEveryCommandsFields()
{
    QFETCH(QString, key);
    QFETCH(FieldMap, fields);
    const PARLINK_Session session;
    compareExactly(session.getDataStandardLayoutForCommand(key), fields);
    const auto layout = session.getDataMapStandardLayout();
    if (fields.contains("Error")) {
        QCOMPARE(layout.size(), 16);
        compareExactly(layout.value(key), fields);
    }
}

void TestParlinkSession::freshSession_answersWithStandardLayout_data()
{
    QTest::addColumn<int>("command");
    for (int c = 128; c <= 143; ++c)
        QTest::newRow(qPrintable(QString::number(c))) << c;
}

void TestParlinkSession::freshSession_answersWithStandardLayout()
{
    QFETCH(int, command);
    const PARLINK_Session session;
    FieldMap current{{"stale", 1}};
    FieldMap defaults{{"stale", 1}};
    session.getDataForCommand(::command(command), &current);
    session.getDefaultDataForCommand(::command(command), &defaults);
    const QString key = QString::number(command);
    compareExactly(current, session.getDataStandardLayoutForCommand(key));
    compareExactly(defaults, session.getDataStandardLayoutForCommand(key));
}

void TestParlinkSession::setData_replacesOneCommandAndLeavesDefaults()
{
    PARLINK_Session session;
    const FieldMap m{{"Version", 7}, {"Extra", "kept as given"}};
    session.setDataForCommand(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_135, m);
    FieldMap current;
    session.getDataForCommand(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_135, &current);
    QCOMPARE(current, m);
    FieldMap defaults;
    session.getDefaultDataForCommand(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_135, &defaults);
    compareExactly(defaults, session.getDataStandardLayoutForCommand("135"));
    FieldMap other;
    session.getDataForCommand(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_136, &other);
    compareExactly(other, session.getDataStandardLayoutForCommand("136"));
}

void TestParlinkSession::setData_forUnknownCommand_isKeptUnderZero()
{
    PARLINK_Session session;
    const FieldMap m{{"Anything", 1}};
    session.setDataForCommand(command(200), m);
    FieldMap back;
    session.getDataForCommand(command(127), &back);
    QCOMPARE(back, m);
    FieldMap defaults{{"stale", 1}};
    session.getDefaultDataForCommand(command(200), &defaults);
    QVERIFY(defaults.isEmpty());
}

void TestParlinkSession::clearData_leavesOnlyTheStandardLayout()
{
    PARLINK_Session session;
    const QMap<QString, FieldMap> standard = session.getDataMapStandardLayout();
    session.setDataForCommand(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_135, FieldMap{{"Version", 2}, {"Stale", 1}});
    session.setDataForCommand(command(200), FieldMap{{"Anything", 1}});

    session.clearData();

    for (int c = 128; c <= 143; ++c) {
        FieldMap back;
        session.getDataForCommand(command(c), &back);
        QCOMPARE(back, standard.value(QString::number(c)));
    }
    FieldMap unknown{{"stale", 1}};
    session.getDataForCommand(command(200), &unknown);
    QVERIFY(unknown.isEmpty());
}

void TestParlinkSession::queue_countsRepeatsAndFreesSlots()
{
    PARLINK_Session session;
    QVERIFY(session.appendCommandToQueue(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_131, 2));
    QVERIFY(session.appendCommandToQueue(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_130));
    QVERIFY(!session.appendCommandToQueue(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_132, 0));
    QCOMPARE(session.getQueueLength(), 2);

    QCOMPARE(session.takeCommandFromQueue(), PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_131);
    QCOMPARE(session.getQueueLength(), 2);
    QCOMPARE(session.getQueuedRepeatCount(0), quint8(1));
    QCOMPARE(session.takeCommandFromQueue(), PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_131);
    QCOMPARE(session.getQueueLength(), 1);
    QCOMPARE(session.getQueuedCommand(0), 130u);
    QCOMPARE(session.getQueuedCommand(1), 255u);
    QCOMPARE(session.takeCommandFromQueue(), PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_130);
    QCOMPARE(session.getQueueLength(), 0);
    QCOMPARE(session.getQueuedCommand(0), 255u);
    QCOMPARE(session.takeCommandFromQueue(), PARLINK_Session::PARLINK_ENUM_SESSION_NO_COMMAND);
    QCOMPARE(session.getQueueLength(), 0);
}

void TestParlinkSession::queue_refusesBeyondCapacity()
{
    PARLINK_Session session;
    for (int i = 0; i < 100; ++i)
        QVERIFY(session.appendCommandToQueue(command(128 + i % 16)));
    QVERIFY(!session.appendCommandToQueue(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_128));
    QCOMPARE(session.getQueueLength(), 100);
    QCOMPARE(session.getQueuedCommand(99), quint32(128 + 99 % 16));
    QCOMPARE(session.takeCommandFromQueue(), PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_128);
    QCOMPARE(session.getQueuedCommand(99), 255u);
    QVERIFY(session.appendCommandToQueue(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_143));
    QCOMPARE(session.getQueuedCommand(99), 143u);
}

void TestParlinkSession::copy_takesOverEverything()
{
    QObject parent;
    auto *original = new PARLINK_Session(&parent);
    for (int i = 0; i < 60; ++i)
        QVERIFY(original->appendCommandToQueue(command(128 + i % 16), quint8(1 + i % 3)));
    original->setAddress(QByteArray::fromHex("0102030405"));
    original->setBuffer(QByteArray::fromHex("8201020304058700"));
    original->setCommand(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_135);
    original->setError(PARLINK_Session::PARLINK_ENUM_SESSION_ERROR_TIMEOUT);
    original->setState(PARLINK_Session::PARLINK_ENUM_SESSION_STATE_SESSION_DATA_READY);
    original->setType(PARLINK_Session::PARLINK_ENUM_SESSION_TYPE_MASTER);
    const FieldMap version{{"Version", 4}};
    original->setDataForCommand(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_135, version);

    PARLINK_Session copy(*original);
    QCOMPARE(copy.parent(), nullptr);
    QCOMPARE(copy.getQueueLength(), 60);
    for (int i = 0; i < PARLINK_Session::QueueCapacity; ++i) {
        QCOMPARE(copy.getQueuedCommand(i), original->getQueuedCommand(i));
        QCOMPARE(copy.getQueuedRepeatCount(i), original->getQueuedRepeatCount(i));
    }
    QCOMPARE(copy.getQueuedCommand(59), quint32(128 + 59 % 16));
    QCOMPARE(copy.getQueuedRepeatCount(59), quint8(1 + 59 % 3));
    QCOMPARE(copy.getAddress(), QByteArray::fromHex("0102030405"));
    QCOMPARE(copy.getBuffer(), QByteArray::fromHex("8201020304058700"));
    QCOMPARE(copy.getCommand(), PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_135);
    QCOMPARE(copy.getError(), PARLINK_Session::PARLINK_ENUM_SESSION_ERROR_TIMEOUT);
    QCOMPARE(copy.getState(), PARLINK_Session::PARLINK_ENUM_SESSION_STATE_SESSION_DATA_READY);
    QCOMPARE(copy.getType(), PARLINK_Session::PARLINK_ENUM_SESSION_TYPE_MASTER);
    FieldMap copied;
    copy.getDataForCommand(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_135, &copied);
    QCOMPARE(copied, version);

    // The copy is independent of the original, also after the original is gone.
    original->setDataForCommand(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_135, FieldMap{{"Version", 9}});
    original->takeCommandFromQueue();
    delete original;
    copy.getDataForCommand(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_135, &copied);
    QCOMPARE(copied, version);
    QCOMPARE(copy.getQueueLength(), 60);
}

void TestParlinkSession::copy_throughMetaType()
{
    PARLINK_Session original;
    original.setAddress(QByteArray::fromHex("0a0b0c0d0e"));
    original.appendCommandToQueue(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_141, 3);
    const QMetaType type = QMetaType::fromName("PARLINK_Session");
    QVERIFY(type.isValid());
    std::unique_ptr<PARLINK_Session, void (*)(PARLINK_Session *)> copy(
        static_cast<PARLINK_Session *>(type.create(&original)), [](PARLINK_Session *s) {
            QMetaType::fromName("PARLINK_Session").destroy(s);
        });
    QVERIFY(copy);
    QCOMPARE(copy->getAddress(), QByteArray::fromHex("0a0b0c0d0e"));
    QCOMPARE(copy->getQueuedCommand(0), 141u);
    QCOMPARE(copy->getQueuedRepeatCount(0), quint8(3));
}

void TestParlinkSession::interfaceSettings_travelInVariant()
{
    PARLINK_Session::InterfaceSettings settings;
    settings.baudRate = 1200;
    settings.parity = FSerialPort::OddParity;
    settings.portName = "/dev/ttyUSB0";
    settings.powerCycle = true;
    const QVariant carried = QVariant::fromValue(settings);
    QCOMPARE(QMetaType::fromName("PARLINK_Session::InterfaceSettings"), carried.metaType());
    QVERIFY(carried.value<PARLINK_Session::InterfaceSettings>() == settings);
}

QTEST_GUILESS_MAIN(TestParlinkSession)
#include "tst_parlink_session.moc"

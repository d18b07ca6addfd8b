// The simulated device's boot loader, seen from the program's side of its line: an acknowledged 133
// hands the line to the boot loader, which answers with the echo of every byte until it restarts;
// then the device speaks PARLINK again.

#include "tools/boot-sim/TivaTarget.h"
#include "tests/tools/RawLine.h"
#include "tools/zeb-sim/ZebSimDevice.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace ZebSim;
using RawLine::hex;
using RawLine::Preamble;

namespace {

constexpr int TimeoutMs = 5000;

const QByteArray Request133 = Preamble + hex("82130004000185""00""11");
const QByteArray Answer133 = Preamble + hex("86130004000185""02""0000""17");
const QByteArray Refused133 = Preamble + hex("86130004000185""02""0003""14");
const QByteArray Request128 = Preamble + hex("82130004000180""00""14");
const QByteArray Answer128 = Preamble + hex("86130004000180""04""0000""00ff""eb");
// Tiva packets: size, checksum, command; each answered 00 CC 00.
const QByteArray Ping = hex("032a20");
const QByteArray Reset = hex("03df25");
const QByteArray Acknowledged = hex("00cc00");
const QByteArray GetStatus = hex("037923");
// The acknowledge, then a status packet: size, CRC-8 of the status, status Success.
const QByteArray StatusPacketSuccess = hex("00cc039140");

} // namespace

class TestZebSimBootloader : public QObject {
    Q_OBJECT
private slots:
    void cleanup();

    void option_choosesTheFamily_data();
    void option_choosesTheFamily();
    void acknowledged133_startsTheBootLoaderUntilItsReset_data();
    void acknowledged133_startsTheBootLoaderUntilItsReset();
    void refused133_keepsPARLINK();
    void withoutABootLoader_133IsOnlyAnswered();
    void tivaOptions_setTheAnswerFormAndTheFaults_data();
    void tivaOptions_setTheAnswerFormAndTheFaults();
    void tivaStatusPackets_answerGetStatusOnTheLine();

private:
    bool startDevice(const SimConfig &config);
    QByteArray transact(const QByteArray &request, qsizetype expected);

    std::unique_ptr<ZebSimDevice> mDevice;
    std::unique_ptr<QSerialPort> mPort;
};

void TestZebSimBootloader::cleanup()
{
    mPort.reset();
    mDevice.reset();
}

bool TestZebSimBootloader::startDevice(const SimConfig &config)
{
    mDevice = std::make_unique<ZebSimDevice>(config);
    QSignalSpy ready(mDevice.get(), &ZebSimDevice::ready);
    QString error;
    if (!mDevice->start(&error)) {
        qWarning("no pseudo-terminal: %s", qPrintable(error));
        return false;
    }
    if (!ready.wait(TimeoutMs))
        return false;
    mPort = std::make_unique<QSerialPort>(mDevice->portPath());
    return mPort->open(QIODevice::ReadWrite) && mPort->setBaudRate(1200);
}

QByteArray TestZebSimBootloader::transact(const QByteArray &request, qsizetype expected)
{
    return RawLine::transact(*mPort, request, expected);
}

void TestZebSimBootloader::option_choosesTheFamily_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("family");
    QTest::addColumn<QString>("error");
    QTest::newRow("none") << QStringList{} << int(BootLoaderPlan::Family::None) << QString();
    QTest::newRow("tiva") << QStringList{"--bootloader", "tiva"} << int(BootLoaderPlan::Family::Tiva) << QString();
    QTest::newRow("msp432") << QStringList{"--bootloader", "msp432"} << int(BootLoaderPlan::Family::Msp432)
                            << QString();
    QTest::newRow("names are lower case") << QStringList{"--bootloader", "TIVA"} << -1
                                          << "Invalid value for --bootloader: 'TIVA'";
    QTest::newRow("unknown family") << QStringList{"--bootloader", "stm32"} << -1
                                    << "Invalid value for --bootloader: 'stm32'";
}

void TestZebSimBootloader::option_choosesTheFamily()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, family);
    QFETCH(QString, error);
    const ParsedOptions parsed = parseOptions(QStringList{"zeb-sim"} + arguments);
    QCOMPARE(parsed.error, error);
    QCOMPARE(parsed.config.has_value(), family >= 0);
    if (parsed.config)
        QCOMPARE(int(parsed.config->bootLoader.family), family);
}

void TestZebSimBootloader::acknowledged133_startsTheBootLoaderUntilItsReset_data()
{
    QTest::addColumn<bool>("singleWire");
    QTest::newRow("two wires") << false;
    QTest::newRow("single wire") << true;
}

// The clients write half duplex: the boot loader's line echoes whatever the PARLINK line does.
void TestZebSimBootloader::acknowledged133_startsTheBootLoaderUntilItsReset()
{
    QFETCH(bool, singleWire);
    SimConfig config;
    config.singleWire = singleWire;
    config.bootLoader.family = BootLoaderPlan::Family::Tiva;
    if (!startDevice(config))
        QSKIP("No pseudo-terminal for the simulated device");
    const QByteArray echo = singleWire ? Request133 : QByteArray();
    QCOMPARE(transact(Request133, echo.size() + Answer133.size()).toHex(' '), (echo + Answer133).toHex(' '));
    QTRY_VERIFY_WITH_TIMEOUT(mDevice->inBootLoader(), TimeoutMs);

    // The boot loader answers now, after the echo of the packet; the device's PARLINK hears nothing.
    QCOMPARE(transact(Ping, 6).toHex(' '), (Ping + Acknowledged).toHex(' '));
    QCOMPARE(mDevice->commandsReceived(), QList<int>{133});

    auto *target = static_cast<BootSim::TivaTarget *>(mDevice->bootTarget());
    QCOMPARE(target->commands(), QList<quint8>{0x20});
    QSignalSpy left(mDevice.get(), &ZebSimDevice::bootLoaderLeft);
    QCOMPARE(transact(Reset, 6).toHex(' '), (Reset + Acknowledged).toHex(' '));
    QCOMPARE(target->resets(), 1);
    QCOMPARE(left.size(), 1);
    QVERIFY(!mDevice->inBootLoader());
    QCOMPARE(mDevice->restarts(), 1);

    const QByteArray echo128 = singleWire ? Request128 : QByteArray();
    QCOMPARE(transact(Request128, echo128.size() + Answer128.size()).toHex(' '), (echo128 + Answer128).toHex(' '));
    QCOMPARE(mDevice->commandsReceived(), (QList<int>{133, 128}));
}

void TestZebSimBootloader::refused133_keepsPARLINK()
{
    SimConfig config;
    config.bootLoader.family = BootLoaderPlan::Family::Tiva;
    config.faults.statusLowFor.insert(133, 3);
    if (!startDevice(config))
        QSKIP("No pseudo-terminal for the simulated device");
    QCOMPARE(transact(Request133, Refused133.size()).toHex(' '), Refused133.toHex(' '));
    QCOMPARE(transact(Request128, Answer128.size()).toHex(' '), Answer128.toHex(' '));
    QVERIFY(!mDevice->inBootLoader());
}

void TestZebSimBootloader::withoutABootLoader_133IsOnlyAnswered()
{
    if (!startDevice(SimConfig{}))
        QSKIP("No pseudo-terminal for the simulated device");
    QCOMPARE(transact(Request133, Answer133.size()).toHex(' '), Answer133.toHex(' '));
    QVERIFY(!mDevice->inBootLoader());
    QVERIFY(!mDevice->bootTarget());
    QCOMPARE(transact(Request128, Answer128.size()).toHex(' '), Answer128.toHex(' '));
}

void TestZebSimBootloader::tivaOptions_setTheAnswerFormAndTheFaults_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("statusPackets");
    QTest::addColumn<bool>("refuseDownload");
    QTest::addColumn<int>("flashFailsOnData");
    QTest::addColumn<QString>("error");
    QTest::newRow("none") << QStringList{"--bootloader", "tiva"} << false << false << 0 << QString();
    QTest::newRow("status packets") << QStringList{"--bootloader", "tiva", "--tiva-status-packets"} << true << false
                                    << 0 << QString();
    QTest::newRow("refused download") << QStringList{"--tiva-refuse-download"} << false << true << 0 << QString();
    QTest::newRow("flash fails on the third chunk") << QStringList{"--tiva-flash-fails", "3", "--tiva-status-packets"}
                                                    << true << false << 3 << QString();
    QTest::newRow("flash fails on chunk 0") << QStringList{"--tiva-flash-fails", "0"} << false << false << 0
                                            << "Invalid value for --tiva-flash-fails: '0'";
    QTest::newRow("flash fails on no number") << QStringList{"--tiva-flash-fails", "second"} << false << false << 0
                                              << "Invalid value for --tiva-flash-fails: 'second'";
}

void TestZebSimBootloader::tivaOptions_setTheAnswerFormAndTheFaults()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, statusPackets);
    QFETCH(bool, refuseDownload);
    QFETCH(int, flashFailsOnData);
    QFETCH(QString, error);
    const ParsedOptions parsed = parseOptions(QStringList{"zeb-sim"} + arguments);
    QCOMPARE(parsed.error, error);
    QCOMPARE(parsed.config.has_value(), error.isEmpty());
    if (parsed.config) {
        QCOMPARE(parsed.config->bootLoader.tivaStatusPackets, statusPackets);
        QCOMPARE(parsed.config->bootLoader.tivaFaults.refuseDownload, refuseDownload);
        QCOMPARE(parsed.config->bootLoader.tivaFaults.flashFailsOnData, flashFailsOnData);
    }
    const QString help = parseOptions({"zeb-sim", "--help"}).helpText;
    for (const char *option : {"--tiva-status-packets", "--tiva-refuse-download", "--tiva-flash-fails"})
        QVERIFY2(help.contains(option), option);
}

void TestZebSimBootloader::tivaStatusPackets_answerGetStatusOnTheLine()
{
    SimConfig config;
    config.bootLoader.family = BootLoaderPlan::Family::Tiva;
    config.bootLoader.tivaStatusPackets = true;
    if (!startDevice(config))
        QSKIP("No pseudo-terminal for the simulated device");
    QCOMPARE(transact(Request133, Answer133.size()).toHex(' '), Answer133.toHex(' '));
    QTRY_VERIFY_WITH_TIMEOUT(mDevice->inBootLoader(), TimeoutMs);
    QCOMPARE(transact(Ping, 6).toHex(' '), (Ping + Acknowledged).toHex(' '));
    QCOMPARE(transact(GetStatus, 8).toHex(' '), (GetStatus + StatusPacketSuccess).toHex(' '));
    QCOMPARE(transact(Reset, 6).toHex(' '), (Reset + Acknowledged).toHex(' '));
    QVERIFY(!mDevice->inBootLoader());
}

QTEST_GUILESS_MAIN(TestZebSimBootloader)
#include "tst_zebsim_bootloader.moc"

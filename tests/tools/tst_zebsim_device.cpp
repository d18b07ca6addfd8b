// What the simulated device answers, seen from the program's side of its line: the raw bytes of
// requests in, the raw bytes of its answers out.

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

// A 128 request to the device address and its answer: the device's baud-rate mask 0x00FF.
const QByteArray Request128 = Preamble + hex("82130004000080""00""15");
const QByteArray Answer128 = Preamble + hex("86130004000080""04""0000""00ff""ea");

} // namespace

class TestZebSimDevice : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void requestForNoDeviceCommand_isNotAnswered_data();
    void requestForNoDeviceCommand_isNotAnswered();
    void memoryRead_beyond98Bytes_isRefused_data();
    void memoryRead_beyond98Bytes_isRefused();
    void afterA137_requestForAnotherDevice_isNotAnswered();

private:
    // Writes `request` and collects what comes back until `expected` bytes have arrived (or, for 0,
    // until the line has been silent for a while).
    QByteArray transact(const QByteArray &request, qsizetype expected);

    std::unique_ptr<ZebSimDevice> mDevice;
    std::unique_ptr<QSerialPort> mPort;
};

void TestZebSimDevice::init()
{
    mDevice = std::make_unique<ZebSimDevice>(SimConfig{});
    QSignalSpy ready(mDevice.get(), &ZebSimDevice::ready);
    QString error;
    if (!mDevice->start(&error))
        QSKIP(qPrintable("No pseudo-terminal for the simulated device: " + error));
    QVERIFY(ready.wait(TimeoutMs));
    mPort = std::make_unique<QSerialPort>(mDevice->portPath());
    QVERIFY2(mPort->open(QIODevice::ReadWrite), qPrintable(mPort->errorString()));
    QVERIFY(mPort->setBaudRate(1200));
}

void TestZebSimDevice::cleanup()
{
    mPort.reset();
    mDevice.reset();
}

QByteArray TestZebSimDevice::transact(const QByteArray &request, qsizetype expected)
{
    return RawLine::transact(*mPort, request, expected);
}

void TestZebSimDevice::requestForNoDeviceCommand_isNotAnswered_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("command 127") << Preamble + hex("8213000400007f""00""ea");
    QTest::newRow("command 144") << Preamble + hex("82130004000090""00""05");
    QTest::newRow("command 0 with two data bytes") << Preamble + hex("82130004000000""02""abcd""f1");
    QTest::newRow("command 255") << Preamble + hex("821300040000ff""00""6a");
}

// A device answers the commands of its protocol only; the slave role of the stack answers any.
void TestZebSimDevice::requestForNoDeviceCommand_isNotAnswered()
{
    QFETCH(QByteArray, request);
    QCOMPARE(transact(request, 0).toHex(' '), QByteArray());
    QCOMPARE(mDevice->commandsReceived(), QList<int>{});
    // The device still listens.
    QCOMPARE(transact(Request128, Answer128.size()).toHex(' '), Answer128.toHex(' '));
    QCOMPARE(mDevice->commandsReceived(), QList<int>{128});
}

void TestZebSimDevice::memoryRead_beyond98Bytes_isRefused_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");

    // Memory holds 0x5A from address 0 on.
    QTest::newRow("98 bytes, the most a master accepts")
        << Preamble + hex("82130004000082""03""0000""62""76")
        << Preamble + hex("86130004000082""64""0000") + QByteArray(98, '\x5a') + hex("77");
    // Refused with "Status Low" 1; the answer keeps the layout of a 98-byte read, without the memory.
    QTest::newRow("99 bytes") << Preamble + hex("82130004000082""03""0000""63""77")
                              << Preamble + hex("86130004000082""64""0001") + QByteArray(98, '\0') + hex("76");
    QTest::newRow("255 bytes") << Preamble + hex("82130004000082""03""0000""ff""eb")
                               << Preamble + hex("86130004000082""64""0001") + QByteArray(98, '\0') + hex("76");
}

void TestZebSimDevice::memoryRead_beyond98Bytes_isRefused()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    QVERIFY(mDevice->memory().write(ParameterMemory::Space::Device, 0, QByteArray(300, '\x5a')));
    QCOMPARE(transact(request, answer.size()).toHex(' '), answer.toHex(' '));
}

// The zero-address 137 is answered; the request after it is checked against the device's addresses
// again.
void TestZebSimDevice::afterA137_requestForAnotherDevice_isNotAnswered()
{
    const QByteArray answer137 = Preamble + hex("86130004000189""02""0000""1b");
    QCOMPARE(transact(Preamble + hex("82000000000089""00""0b"), answer137.size()).toHex(' '), answer137.toHex(' '));
    QCOMPARE(transact(Preamble + hex("82130004000280""00""17"), 0).toHex(' '), QByteArray());
    QCOMPARE(transact(Request128, Answer128.size()).toHex(' '), Answer128.toHex(' '));
    QCOMPARE(mDevice->commandsReceived(), (QList<int>{137, 128}));
}

QTEST_GUILESS_MAIN(TestZebSimDevice)
#include "tst_zebsim_device.moc"

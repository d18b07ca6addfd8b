// The device service's own switchboard, on its own thread and without a device: what its slots answer
// by themselves and how the jobs' results become its signals.

#include "communication/internal/Parameter.h"
#include "communication/internal/SysCommand.h"
#include "device/DeviceTestValues.h"
#include "tests/support/ServiceHarness.h"

#include <QtTest>

using namespace Thg::Tilo::Communication;
using Internal::SysCommand;
using Settings = std::vector<Thg::Tilo::Device::ParameterSetting>;

namespace {

Settings settingsOf(const ServiceRecorder::Event &event, int list)
{
    return event.args.at(list).value<Settings>();
}

// A parameter of one of the unsigned types with a default value to read over.
Thg::Tilo::Device::Parameter unsignedAt(const std::string &name, Thg::Tilo::Device::DataType type, std::uint16_t address)
{
    Thg::Tilo::Device::Parameter p = TestValues::parameter(name, type, 1, address);
    p.defaultValue = TestValues::unsignedValue(type, 0);
    return p;
}

} // namespace

class TestParLinkDeviceService : public QObject {
    Q_OBJECT
private slots:
    void abort_withNothingRunning_reportsTheDisconnection();
    void sysCommandSuccess_becomesTheSignalOfItsCommand_data();
    void sysCommandSuccess_becomesTheSignalOfItsCommand();
    void parameterJobSuccess_isSuccessWriting();
    void readValue_isDecodedFromTheSortedReadLists();
    void parameterJobError_emptiesTheReadLists();
};

void TestParLinkDeviceService::abort_withNothingRunning_reportsTheDisconnection()
{
    ServiceHarness h;
    h.call([](ParLinkDeviceService *s) { s->abort(); });
    QVERIFY(h.recorder().waitFor("successDisconnecting"));
    QCOMPARE(h.recorder().outcomes(), QStringList{"successDisconnecting"});
    // The resets of the identification, the parameter and the measured-value job, then the end of the
    // disconnection.
    QCOMPARE(h.recorder().progress(), (QList<int>{0, 0, 0, 5, 100}));
    QCOMPARE(h.recorder().logEntries(LogLevel::Info),
             (QStringList{"Operation was aborted and com port was closed!", "Operation was aborted and com port was closed!"}));
    QVERIFY(h.recorder().logEntries(LogLevel::Trace).contains("Operation was aborted and com port was closed!"));
    QVERIFY(h.recorder().logEntries().contains("Com port will be closed"));
}

void TestParLinkDeviceService::sysCommandSuccess_becomesTheSignalOfItsCommand_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QStringList>("signalled");
    QTest::newRow("SetCurrentAsFactoryDefaults") << 0 << QStringList{"successSetCurrentAsFactoryDefaults"};
    QTest::newRow("ResetToFactoryDefaults") << 1 << QStringList{"successResetToFactoryDefaults"};
    QTest::newRow("ResetNvm") << 2 << QStringList{"successResetNvm"};
    QTest::newRow("RestartDevice") << 3 << QStringList{"successRestartDevice"};
    QTest::newRow("a value beyond the four") << 9 << QStringList{};
}

void TestParLinkDeviceService::sysCommandSuccess_becomesTheSignalOfItsCommand()
{
    QFETCH(int, command);
    QFETCH(QStringList, signalled);
    ServiceHarness h;
    SysCommand *job = h.service()->findChild<SysCommand *>();
    QVERIFY(job);
    h.call([job, command](ParLinkDeviceService *s) {
        emit job->success(SysCommand::Command(command));
        s->abort();
    });
    QVERIFY(h.recorder().waitFor("successDisconnecting"));
    QCOMPARE(h.recorder().outcomes(), signalled + QStringList{"successDisconnecting"});
}

void TestParLinkDeviceService::parameterJobSuccess_isSuccessWriting()
{
    ServiceHarness h;
    Internal::Parameter *job = h.service()->findChild<Internal::Parameter *>();
    QVERIFY(job);
    h.call([job](ParLinkDeviceService *) { emit job->success(); });
    QVERIFY(h.recorder().waitFor("successWriting"));
    QCOMPARE(h.recorder().outcomes(), QStringList{"successWriting"});
}

void TestParLinkDeviceService::readValue_isDecodedFromTheSortedReadLists()
{
    ServiceHarness h;
    Internal::Parameter *job = h.service()->findChild<Internal::Parameter *>();
    QVERIFY(job);
    using Thg::Tilo::Device::DataType;
    // Given out of address order; the bytes come in address order.
    const std::vector<Thg::Tilo::Device::Parameter> device{unsignedAt("second", DataType::DBYTEU8, 20),
                                                           unsignedAt("first", DataType::DBYTEU16, 10)};
    const std::vector<Thg::Tilo::Device::Parameter> subdevice{unsignedAt("sub", DataType::DBYTEU8, 5)};
    Device dev;
    dev.address.bytes = {19, 0, 4, 0, 1};
    h.call([&, job](ParLinkDeviceService *s) {
        s->read(dev, {device.begin(), device.end()}, {subdevice.begin(), subdevice.end()});
        emit job->readValue(QByteArray::fromHex("3412""07""09"));
        s->abort();
    });
    QVERIFY(h.recorder().waitFor("successDisconnecting"));
    const auto reading = h.recorder().first("successReading");
    QVERIFY(reading);
    const Settings decodedDevice = settingsOf(*reading, 0);
    QCOMPARE(decodedDevice.size(), std::size_t(2));
    QCOMPARE(decodedDevice[0].name, std::string("first"));
    QCOMPARE(std::get<std::uint64_t>(decodedDevice[0].value.data), std::uint64_t(0x1234));
    QCOMPARE(decodedDevice[1].name, std::string("second"));
    QCOMPARE(std::get<std::uint64_t>(decodedDevice[1].value.data), std::uint64_t(7));
    QCOMPARE(settingsOf(*reading, 1).size(), std::size_t(1));
    QCOMPARE(std::get<std::uint64_t>(settingsOf(*reading, 1)[0].value.data), std::uint64_t(9));
    // The decoder's own progress comes right before its result.
    const QStringList names = h.recorder().names();
    QCOMPARE(names.at(names.indexOf("successReading") - 1), QString("progress"));

    // Decoded once: the lists are gone after it.
    h.recorder().clear();
    h.call([job](ParLinkDeviceService *) { emit job->readValue(QByteArray::fromHex("341207""09")); });
    QVERIFY(h.recorder().waitFor("successReading"));
    QVERIFY(settingsOf(*h.recorder().first("successReading"), 0).empty());
}

void TestParLinkDeviceService::parameterJobError_emptiesTheReadLists()
{
    ServiceHarness h;
    Internal::Parameter *job = h.service()->findChild<Internal::Parameter *>();
    QVERIFY(job);
    using Thg::Tilo::Device::DataType;
    const std::vector<Thg::Tilo::Device::Parameter> device{unsignedAt("first", DataType::DBYTEU16, 10)};
    Device dev;
    dev.address.bytes = {19, 0, 4, 0, 1};
    h.call([&, job](ParLinkDeviceService *s) {
        s->read(dev, {device.begin(), device.end()}, {});
        emit job->error("Device didn`t respond -> timeout! !");
        // A late hand-over finds no lists to decode with.
        emit job->readValue(QByteArray::fromHex("3412"));
        s->abort();
    });
    QVERIFY(h.recorder().waitFor("successDisconnecting"));
    QCOMPARE(h.recorder().errors(), QStringList{"Device didn`t respond -> timeout! !"});
    const auto reading = h.recorder().first("successReading");
    QVERIFY(reading);
    QVERIFY(settingsOf(*reading, 0).empty());
}

QTEST_GUILESS_MAIN(TestParLinkDeviceService)
#include "tst_parlinkdeviceservice.moc"

// Parameter reads through the device service, end to end: one memory read per chunk, the values
// decoded in the order of the sorted lists, and the reads that fail.

#include "communication/ParameterServiceSupport.h"

#include <QtTest>

#include <algorithm>
#include <memory>

using namespace Thg::Tilo::Communication;
using namespace ParameterService;
using Thg::Tilo::Device::ParameterSetting;
using Settings = std::vector<ParameterSetting>;

namespace {

ParameterRefs refsOf(const std::vector<Thg::Tilo::Device::Parameter> &parameters)
{
    return ParameterRefs(parameters.begin(), parameters.end());
}

QStringList namesOf(const Settings &settings)
{
    QStringList names;
    for (const auto &setting : settings)
        names.append(QString::fromStdString(setting.name));
    return names;
}

// One setting per parameter, in the order given, each with the parameter's name, type and value.
bool sameValues(const Settings &settings, const std::vector<Thg::Tilo::Device::Parameter> &parameters)
{
    return std::equal(settings.begin(), settings.end(), parameters.begin(), parameters.end(),
                      [](const ParameterSetting &setting, const Thg::Tilo::Device::Parameter &parameter) {
                          return setting.name == parameter.name && setting.type == parameter.type
                                 && setting.value == parameter.currentValue;
                      });
}

// The medium's parameters sorted by address, the order in which a read reports them.
std::vector<Thg::Tilo::Device::Parameter> byAddress(std::vector<Thg::Tilo::Device::Parameter> parameters)
{
    std::sort(parameters.begin(), parameters.end(), [](const auto &a, const auto &b) { return a.address < b.address; });
    return parameters;
}

// Connects to the simulated device and writes `medium`; the device, or nothing when either failed.
std::optional<Device> connectAndWrite(ServiceHarness &h, const BuiltinMedium::Parameters &medium)
{
    const std::optional<Device> found = h.connectDevice();
    if (!found)
        return std::nullopt;
    if (!h.writeAndWait(*found, medium.device, medium.subdevice) || !h.recorder().errors().isEmpty())
        return std::nullopt;
    return found;
}

} // namespace

class TestServiceParameterRead : public QObject {
    Q_OBJECT
private slots:
    void read_returnsTheWrittenValues();
    void refusalsDuringARead_leaveTheReadWhole();
    void shortReply_failsTheRead();
    void noReply_failsTheReadWithoutValues();
    void nothingToRead_warnsAndReportsEmptyLists();
};

void TestServiceParameterRead::read_returnsTheWrittenValues()
{
    BuiltinMedium::Parameters medium;
    ZEB_LOAD_WATER(medium);
    ServiceHarness h;
    ZEB_START_SIM(h);
    const std::optional<Device> found = connectAndWrite(h, medium);
    QVERIFY(found);
    const qsizetype written = h.device()->commandsReceived().size();
    h.recorder().clear();

    // The caller's parameters stay alive and unchanged until the result is in.
    h.call([dev = *found, &medium](ParLinkDeviceService *s) { s->read(dev, refsOf(medium.device), refsOf(medium.subdevice)); });
    QVERIFY(h.recorder().waitForAnyAfter(0, {"successWriting", "error"}));
    QCOMPARE(h.recorder().outcomes(), (QStringList{"successReading", "successWriting"}));
    QCOMPARE(commandsAfter(*h.device(), written), (QList<int>{130, 130, 130, 130, 130, 130, 130}));
    QCOMPARE(h.recorder().progress(), (QList<int>{0, 10, 22, 35, 48, 61, 74, 87, 100, 100, 100}));
    // The decoder's report comes before the job's.
    const QStringList names = h.recorder().names();
    QCOMPARE(names.mid(names.size() - 4), (QStringList{"progress", "successReading", "progress", "successWriting"}));

    const auto reading = h.recorder().first("successReading");
    QVERIFY(reading);
    const Settings device = reading->args.at(0).value<Settings>();
    const Settings subdevice = reading->args.at(1).value<Settings>();
    QCOMPARE(namesOf(device), QStringList{"ProductVariantName"});
    QCOMPARE(namesOf(subdevice), (QStringList{"Curve[1].L", "Curve[1][0]", "Curve[1][1]", "ufoSettings.pair[11].VALUE",
                                              "ufoSettings.pair[12].VALUE"}));
    QCOMPARE(std::get<std::string>(device[0].value.data), std::string("001 ZEB WATER"));
    QCOMPARE(device[0].value.length, std::uint16_t(13));
    QCOMPARE(std::get<std::uint64_t>(subdevice[0].value.data), std::uint64_t(9));
    QCOMPARE(std::get<std::vector<double>>(subdevice[1].value.data),
             (std::vector<double>{0.0, 10.0, 20.0, 30.0, 40.0, 50.0, 60.0, 70.0, 74.0, 0.0, 0.0}));
    QCOMPARE(std::get<std::vector<double>>(subdevice[2].value.data),
             (std::vector<double>{1.792e-06, 1.306e-06, 1.003e-06, 8.007e-07, 6.578e-07, 5.531e-07, 4.74e-07, 4.127e-07,
                                  3.969e-07, 0.0, 0.0}));
    QCOMPARE(std::get<std::uint64_t>(subdevice[3].value.data), std::uint64_t(3));
    QCOMPARE(std::get<std::uint64_t>(subdevice[4].value.data), std::uint64_t(5));
    // Each setting is the value the medium gave its parameter.
    QVERIFY(sameValues(device, byAddress(medium.device)));
    QVERIFY(sameValues(subdevice, byAddress(medium.subdevice)));
}

// A read of seven chunks runs while a write and a read are refused. The caller frees the parameters
// of its read once the refusals' errors are in, as it may; the read still ends with every value.
void TestServiceParameterRead::refusalsDuringARead_leaveTheReadWhole()
{
    BuiltinMedium::Parameters medium;
    ZEB_LOAD_WATER(medium);
    ServiceHarness h;
    ZEB_START_SIM(h);
    const std::optional<Device> found = connectAndWrite(h, medium);
    QVERIFY(found);
    const qsizetype written = h.device()->commandsReceived().size();
    h.recorder().clear();

    auto callers = std::make_unique<BuiltinMedium::Parameters>(medium);
    const auto readCallers = [dev = *found, params = callers.get()](ParLinkDeviceService *s) {
        s->read(dev, refsOf(params->device), refsOf(params->subdevice));
    };
    h.call(readCallers);
    // The first of the seven replies is in.
    QTRY_VERIFY_WITH_TIMEOUT(h.recorder().progress().contains(22), 10000);
    h.call([dev = *found, medium](ParLinkDeviceService *s) { s->write(dev, medium.device, medium.subdevice); });
    h.call(readCallers);
    QVERIFY(h.recorder().waitFor("error", 2));
    QCOMPARE(h.recorder().count("successReading"), 0);
    // Whatever still pointed into them would read these.
    for (auto *list : {&callers->device, &callers->subdevice}) {
        for (auto &parameter : *list) {
            parameter.name = "freed";
            parameter.type = Thg::Tilo::Device::DataType::ARRSTRING;
            parameter.length = 1;
        }
    }
    callers.reset();

    QVERIFY(h.recorder().waitFor("successWriting"));
    QCOMPARE(h.recorder().outcomes(), (QStringList{"error", "error", "successReading", "successWriting"}));
    QCOMPARE(h.recorder().errors(), (QStringList{"Current operation not finished!", "Current operation not finished!"}));
    QCOMPARE(h.recorder().logEntries(LogLevel::Error),
             (QStringList{"Current operation not finished!", "Current operation not finished!"}));
    QCOMPARE(commandsAfter(*h.device(), written), QList<int>(7, 130));
    const auto reading = h.recorder().first("successReading");
    QVERIFY(reading);
    QVERIFY(sameValues(reading->args.at(0).value<Settings>(), byAddress(medium.device)));
    QVERIFY(sameValues(reading->args.at(1).value<Settings>(), byAddress(medium.subdevice)));
}

void TestServiceParameterRead::shortReply_failsTheRead()
{
    BuiltinMedium::Parameters medium;
    ZEB_LOAD_WATER(medium);
    ServiceHarness h;
    ZebSim::SimConfig config;
    config.faults.shortReads = 3;
    ZEB_START_SIM(h, config);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    const qsizetype identification = h.device()->commandsReceived().size();
    h.recorder().clear();

    h.call([dev = *found, &medium](ParLinkDeviceService *s) { s->read(dev, refsOf(medium.device), refsOf(medium.subdevice)); });
    QVERIFY(h.recorder().waitForAnyAfter(0, {"successWriting", "error"}));
    QCOMPARE(h.recorder().outcomes(), QStringList{"error"});
    QCOMPARE(h.recorder().errors(), QStringList{"Device responded to command 130 with 13 bytes instead of 16"});
    QVERIFY(h.recorder().logEntries(LogLevel::Error).contains("Device responded to command 130 with 13 bytes instead of 16"));
    // The job's reset, and its progress back to 0, follow its error.
    QTRY_COMPARE_WITH_TIMEOUT(h.recorder().progress().last(), 0, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(h.recorder().logEntries().contains("Com port is closed"), 5000);
    h.recorder().quietFor(500);
    QCOMPARE(commandsAfter(*h.device(), identification), QList<int>{130});
    QCOMPARE(h.recorder().count("successReading"), 0);
}

void TestServiceParameterRead::noReply_failsTheReadWithoutValues()
{
    BuiltinMedium::Parameters medium;
    ZEB_LOAD_WATER(medium);
    ServiceHarness h(1500);
    ZebSim::SimConfig config;
    // The nine replies of the identification, then silence.
    config.faults.silentAfterFrames = 9;
    ZEB_START_SIM(h, config);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    h.recorder().clear();

    h.call([dev = *found, &medium](ParLinkDeviceService *s) { s->read(dev, refsOf(medium.device), refsOf(medium.subdevice)); });
    QVERIFY(h.recorder().waitForAnyAfter(0, {"successWriting", "error"}));
    QCOMPARE(h.recorder().errors(), QStringList{"Device didn`t respond -> timeout! !"});
    h.recorder().quietFor(500);
    QCOMPARE(h.recorder().outcomes(), QStringList{"error"});
}

void TestServiceParameterRead::nothingToRead_warnsAndReportsEmptyLists()
{
    ServiceHarness h;
    const Device dev;
    h.call([dev](ParLinkDeviceService *s) { s->read(dev, {}, {}); });
    QVERIFY(h.recorder().waitFor("successReading"));
    QCOMPARE(h.recorder().outcomes(), (QStringList{"warning", "successReading"}));
    QCOMPARE(h.recorder().warnings(), QStringList{"The parameters are empty."});
    QCOMPARE(h.recorder().progress(), QList<int>{100});
    const auto reading = h.recorder().first("successReading");
    QVERIFY(reading->args.at(0).value<Settings>().empty());
    QVERIFY(reading->args.at(1).value<Settings>().empty());
}

QTEST_GUILESS_MAIN(TestServiceParameterRead)
#include "tst_service_parameterread.moc"

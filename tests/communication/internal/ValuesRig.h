#pragma once

// The measured-value job on its own against the simulated device on a pseudo-terminal: the facade,
// the port and the job on the test's thread, the line raised to 115200 baud before the run (as the
// identification leaves it), and spies on everything the job reports.

#include "communication/MetaTypes.h"
#include "communication/internal/Port.h"
#include "communication/internal/Values.h"
#include "tests/support/SimulatedSamples.h"
#include "tools/zeb-sim/ZebSimDevice.h"

#include "protocol/parlink/PARLINK.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

class ValuesRig {
public:
    using Values = Thg::Tilo::Communication::Internal::Values;
    using Kind = Thg::Tilo::Communication::ParLinkDeviceService::Type;
    using Slots = Thg::Tilo::Communication::Slots;

    static constexpr int WaitMs = 20000;
    static constexpr quint32 FastBaudrate = 115200;

    explicit ValuesRig(int responseTimeoutMs = Thg::Tilo::Communication::Internal::Session::DefaultResponseTimeoutMs)
    {
        Thg::Tilo::Communication::registerMetaTypes();
        PARLINK_Session::registerMetaTypes();
        qRegisterMetaType<Kind>();
        facade = std::make_unique<PARLINK>();
        port = std::make_unique<Thg::Tilo::Communication::Internal::Port>(nullptr, facade.get());
        job = std::make_unique<Values>(nullptr, facade.get(), port.get(),
                                       Thg::Tilo::Communication::ClosePortWhenFinished::No, responseTimeoutMs);
        progress = std::make_unique<QSignalSpy>(job.get(), &Values::progress);
        error = std::make_unique<QSignalSpy>(job.get(), &Values::error);
        log = std::make_unique<QSignalSpy>(job.get(), &Values::log);
        newValue = std::make_unique<QSignalSpy>(job.get(), &Values::newValue);
        fixed = std::make_unique<QSignalSpy>(job.get(), &Values::finishedFixedSamples);
        accumulated = std::make_unique<QSignalSpy>(job.get(), &Values::finishedAccumulate);
    }

    ~ValuesRig()
    {
        job.reset();
        port.reset();
        facade.reset();
        device.reset();
    }

    enum class Start { Ok, NoPseudoTerminal, Failed };

    // Starts the simulated device, opens the port and raises the line.
    Start start(const ZebSim::SimConfig &config = {})
    {
        device = std::make_unique<ZebSim::ZebSimDevice>(config);
        QSignalSpy ready(device.get(), &ZebSim::ZebSimDevice::ready);
        QString why;
        if (!device->start(&why)) {
            qWarning("no simulated device: %s", qPrintable(why));
            return Start::NoPseudoTerminal;
        }
        if (!ready.wait(WaitMs))
            return Start::Failed;
        QSignalSpy opened(port.get(), &Thg::Tilo::Communication::Internal::Port::opened);
        port->open(Thg::Tilo::Communication::Comport{device->portPath(), {}, 0, 0, false, 50, 50}, 1000);
        if (!opened.wait(WaitMs))
            return Start::Failed;

        Thg::Tilo::Communication::Internal::Session raise(nullptr, facade.get());
        QSignalSpy raised(&raise, &Thg::Tilo::Communication::Internal::Session::newData);
        auto fields = raise.getDefaultData(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_129);
        fields[QStringLiteral("Baudrate")] = FastBaudrate;
        raise.startWith(deviceAddress(), {{PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_129, fields}}, 0);
        const bool up = raised.wait(WaitMs)
                        && QTest::qWaitFor([this] { return device->deviceBaudrate() == FastBaudrate; }, WaitMs);
        return up ? Start::Ok : Start::Failed;
    }

    // The device of the built-in description, addressed as a whole device.
    static Thg::Tilo::Communication::Device simulatedDevice()
    {
        Thg::Tilo::Communication::Device dev;
        dev.address.bytes = {19, 0, 4, 0, 1};
        return dev;
    }
    static Thg::Tilo::Communication::Address::Bytes deviceAddress() { return {19, 0, 4, 0, 0}; }

    bool read(Values::State state, Kind kind, unsigned samples, unsigned short skip)
    {
        return job->startReading(state, Thg::Tilo::Communication::Address::Type::Device, simulatedDevice(), kind,
                                 samples, skip);
    }

    // Until the run has delivered its result or failed.
    bool waitForEnd(int ms = WaitMs)
    {
        return QTest::qWaitFor([this] { return !fixed->isEmpty() || !accumulated->isEmpty() || !error->isEmpty(); }, ms);
    }

    QList<int> progressValues() const { return column<int>(*progress, 0); }
    QStringList errors() const { return column<QString>(*error, 0); }
    QStringList logEntries() const { return column<QString>(*log, 1); }
    QList<Slots> newValues() const { return column<Slots>(*newValue, 1); }
    QList<Slots> fixedSamples() const
    {
        return fixed->isEmpty() ? QList<Slots>{} : fixed->first().at(1).value<QList<Slots>>();
    }
    Slots average() const { return accumulated->isEmpty() ? Slots{} : accumulated->first().at(1).value<Slots>(); }

    template <typename T>
    static QList<T> column(const QSignalSpy &spy, int index)
    {
        QList<T> values;
        for (const QList<QVariant> &arguments : spy)
            values.append(arguments.at(index).value<T>());
        return values;
    }

    std::unique_ptr<ZebSim::ZebSimDevice> device;
    std::unique_ptr<PARLINK> facade;
    std::unique_ptr<Thg::Tilo::Communication::Internal::Port> port;
    std::unique_ptr<Values> job;
    std::unique_ptr<QSignalSpy> progress, error, log, newValue, fixed, accumulated;
};

// The values of one slot across samples.
inline QList<float> valuesOf(const QList<Thg::Tilo::Communication::Slots> &samples, int slot)
{
    QList<float> values;
    for (const auto &sample : samples)
        values.append(slot < sample.slotList.size() ? sample.slotList.at(slot).value : -1.0f);
    return values;
}

// Skips the test without a pseudo-terminal, fails it when the line does not come up.
#define START_RIG(rig, ...)                                                                        \
    do {                                                                                           \
        const ValuesRig::Start started_ = (rig).start(__VA_ARGS__);                                \
        if (started_ == ValuesRig::Start::NoPseudoTerminal)                                        \
            QSKIP("No pseudo-terminal for the simulated device");                                  \
        QVERIFY2(started_ == ValuesRig::Start::Ok, "The simulated device's line did not come up"); \
    } while (false)

// The whole road of one parameterization at the device service, against the simulated ZEB device on
// a paced pseudo-terminal: start with identification, the write of the built-in water medium with
// read-back, store as factory defaults, restart, abort. Once with the device offering up to 115200
// baud, once with 1200 baud only. Prints each phase and the total against its lower bound.
//
//   bench_parameterization [runs] [root]     root: the folder holding builtin/ and Resources/
//
// The line is the description's: half-duplex (single wire), start-up 260 ms, power-down 300 ms. The
// simulated device paces it at 11 bits per character at the rate the program has set: it echoes at
// once and answers no earlier than the request has been on the wire, at that speed.
//
// The lower bound, from the port's open report, is what the protocol's fixed delays and the line's
// speed allow, with no time for the device, the machine or the timers:
//   delays:     600 ms before the identification, 300 ms before the write, 200 ms before each system
//               command, 500 ms after storing the factory defaults;
//   requests:   150 ms before every request (the master's spacing: 9 identification, 16 write, 2
//               system commands = 27);
//   steps:      150 ms between the sessions of the identification (4) and of the write (8);
//   line:       11 bits per character of every request (14 characters plus its data) and response (16
//               plus its data): 137, 128 and 129 at 1200 baud (95 characters), the rest at the rate
//               129 set (1203 characters for this medium);
//   half duplex: after writing a request the port waits 0.05 x its wire time more, but the device
//               starts answering once the request has left the wire, so that wait runs while the
//               answer is on the line. A request holds the line for
//                   spacing + request + max(0.05 x request, answer),
//               and only the part of the wait that outlasts the answer adds to the line; no PARLINK
//               answer (16 characters at least) is that short, so each request and each answer count
//               once.
// At 115200 baud that is 7650 + 870.8 + 114.9 = 8635.7 ms; at 1200 baud 7650 + 11898.3 = 19548.3 ms.

#include "communication/MetaTypes.h"
#include "communication/ParLinkDeviceService.h"
#include "communication/TransferPlan.h"
#include "tests/support/BuiltinMedium.h"
#include "tools/zeb-sim/ZebSimDevice.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>

#include <fmt/core.h>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

using namespace Thg::Tilo::Communication;
using Command = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND;

namespace {

constexpr double BitsPerCharacter = 11;
constexpr double HalfDuplexFactor = 1.05;
constexpr int RequestCharacters = 14;
constexpr int ResponseCharacters = 16;
constexpr int RequestSpacingMs = 150;
constexpr int PhaseTimeoutMs = 120000;

// Data bytes of a request and of its response, by command.
struct Payload {
    int request = 0;
    int response = 0;
};

Payload payloadOf(Command command, const QMap<QString, QVariant> &fields)
{
    switch (command) {
    case PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_128:
        return {0, 2};
    case PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_129:
        return {3, 0};
    case PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_130:
        return {3, fields.value(QStringLiteral("BytesToRead")).toInt()};
    case PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_131:
        return {2 + fields.value(QStringLiteral("BytesToWrite")).toInt(), 0};
    case PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_135:
        return {0, 2};
    case PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_136:
        return {0, 3};
    case PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_141:
        return {0, 16};
    case PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_143:
        return {5, 0};
    default:
        return {};
    }
}

// The lower bound of one phase, built up from its delays and its requests.
struct Bound {
    double delaysMs = 0;
    double lineMs = 0;
    double halfDuplexMs = 0;
    int requests = 0;
    int characters = 0;

    double totalMs() const { return delaysMs + lineMs + halfDuplexMs; }

    void request(Command command, int baud, const QMap<QString, QVariant> &fields = {})
    {
        const Payload payload = payloadOf(command, fields);
        const int requestCharacters = RequestCharacters + payload.request;
        const int responseCharacters = ResponseCharacters + payload.response;
        const double characterMs = BitsPerCharacter * 1000.0 / baud;
        const double requestMs = requestCharacters * characterMs;
        const double responseMs = responseCharacters * characterMs;
        delaysMs += RequestSpacingMs;
        lineMs += requestMs + responseMs;
        // The port's extra wait after the request overlaps the answer, which starts at its end.
        halfDuplexMs += std::max(0.0, (HalfDuplexFactor - 1.0) * requestMs - responseMs);
        ++requests;
        characters += requestCharacters + responseCharacters;
    }
    void steps(int count, int stepMs) { delaysMs += double(count) * stepMs; }
};

Bound identificationBound(int rate)
{
    Bound bound;
    bound.delaysMs = 600;
    bound.request(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_137, 1200);
    bound.request(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_128, 1200);
    bound.request(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_129, 1200);
    for (int part = 0; part < 2; ++part) {
        bound.request(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_135, rate);
        bound.request(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_136, rate);
        bound.request(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_141, rate);
    }
    // 137 -> 128 -> 129 -> the device's identity -> the sub-device's.
    bound.steps(4, 150);
    return bound;
}

Bound writeBound(const Internal::Sequences &plan, int rate)
{
    Bound bound;
    bound.delaysMs = 300;
    for (const auto &sequence : plan.sequences) {
        for (const auto &command : sequence.commands)
            bound.request(command.command, rate, command.fields);
    }
    bound.steps(int(plan.sequences.size()) - 1, 150);
    return bound;
}

Bound systemCommandBound(int rate, double waitAfterMs)
{
    Bound bound;
    bound.delaysMs = 200 + waitAfterMs;
    bound.request(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_143, rate);
    return bound;
}

// The times at which the service emitted its signals, taken on the service's thread.
class Stamps {
public:
    explicit Stamps(DeviceService *service)
    {
        mClock.start();
        const auto on = [this, service](auto signal, const char *name) {
            QObject::connect(service, signal, service, [this, name](const auto &...) { stamp(name); },
                             Qt::DirectConnection);
        };
        on(&DeviceService::foundDevice, "foundDevice");
        on(&DeviceService::successWriting, "successWriting");
        on(&DeviceService::successSetCurrentAsFactoryDefaults, "successSetCurrentAsFactoryDefaults");
        on(&DeviceService::successRestartDevice, "successRestartDevice");
        on(&DeviceService::successDisconnecting, "successDisconnecting");
        on(&DeviceService::error, "error");
        QObject::connect(service, &DeviceService::error, service, [this](const QString &text) {
            const std::lock_guard lock(mMutex);
            mErrors.push_back(text.toStdString());
        }, Qt::DirectConnection);
        QObject::connect(service, &DeviceService::log, service, [this](LogLevel, const QString &entry) {
            if (entry == QLatin1String("Com port is open"))
                stamp("open");
        }, Qt::DirectConnection);
    }

    // Milliseconds of the first stamp of `name` after `afterMs`.
    std::optional<double> after(const char *name, double afterMs) const
    {
        const std::lock_guard lock(mMutex);
        for (const auto &[stampName, ms] : mStamps) {
            if (stampName == name && ms >= afterMs)
                return ms;
        }
        return std::nullopt;
    }
    double nowMs() const { return double(mClock.nsecsElapsed()) / 1e6; }
    std::vector<std::string> errors() const
    {
        const std::lock_guard lock(mMutex);
        return mErrors;
    }

private:
    void stamp(const char *name)
    {
        const std::lock_guard lock(mMutex);
        mStamps.emplace_back(name, double(mClock.nsecsElapsed()) / 1e6);
    }

    QElapsedTimer mClock;
    mutable std::mutex mMutex;
    std::vector<std::pair<std::string, double>> mStamps;
    std::vector<std::string> mErrors;
};

struct Phase {
    const char *name;
    Bound bound;
    double measuredMs = 0;
};

// Keeps this thread's events flowing (the simulated device lives here) until `done` holds.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(100);
    }
    return true;
}

// One road at the rate the device offers; empty when a phase failed.
std::optional<std::vector<Phase>> runRoad(int rate, const BuiltinMedium::Parameters &medium)
{
    ZebSim::SimConfig config;
    config.singleWire = true;
    config.paced = true;
    config.baudRateMask = rate == 1200 ? 0x0001 : 0x00FF;
    ZebSim::ZebSimDevice device(config);
    QSignalSpy ready(&device, &ZebSim::ZebSimDevice::ready);
    QString error;
    if (!device.start(&error)) {
        std::fprintf(stderr, "no simulated device: %s\n", qPrintable(error));
        return std::nullopt;
    }
    if (!ready.wait(5000))
        return std::nullopt;

    QThread thread;
    thread.setObjectName(QStringLiteral("DeviceThread"));
    auto *service = new ParLinkDeviceService();
    Stamps stamps(service);
    service->moveToThread(&thread);
    thread.start();
    const auto call = [service](auto work) {
        QMetaObject::invokeMethod(service, [service, work] { work(service); }, Qt::QueuedConnection);
    };

    Comport comport;
    comport.Number = device.portPath();
    comport.HalfDuplex = true;
    comport.Startup = 260;
    comport.PowerDown = 300;

    std::vector<Phase> phases;
    Device found;
    const auto finish = [&](const char *phase, const char *signal, double fromMs) -> std::optional<double> {
        std::optional<double> end;
        const bool done = waitUntil([&] { return (end = stamps.after(signal, fromMs)) || !stamps.errors().empty(); },
                                    PhaseTimeoutMs);
        if (!done || !end) {
            std::fprintf(stderr, "%s at %d baud failed: %s\n", phase, rate,
                         stamps.errors().empty() ? "no result" : stamps.errors().front().c_str());
            return std::nullopt;
        }
        return end;
    };

    std::optional<std::vector<Phase>> result;
    do {
        QObject::connect(service, &DeviceService::foundDevice, service, [&found](const Device &dev) { found = dev; },
                         Qt::DirectConnection);
        call([comport](ParLinkDeviceService *s) { s->start(comport, true); });
        const auto identified = finish("start", "foundDevice", 0);
        const auto opened = stamps.after("open", 0);
        if (!identified || !opened)
            break;
        phases.push_back({"start", identificationBound(rate), *identified - *opened});

        ParameterRefs deviceList(medium.device.begin(), medium.device.end());
        ParameterRefs subdeviceList(medium.subdevice.begin(), medium.subdevice.end());
        const auto chunks = ParLinkDeviceService::getCombinedChunks(found, deviceList, subdeviceList);
        if (!chunks)
            break;
        call([found, &medium](ParLinkDeviceService *s) { s->write(found, medium.device, medium.subdevice); });
        const auto written = finish("write", "successWriting", *identified);
        if (!written)
            break;
        phases.push_back({"write", writeBound(Internal::writePlan(chunks->chunks, true), rate), *written - *identified});

        call([found](ParLinkDeviceService *s) { s->setCurrentAsFactoryDefaults(Address::Type::Device, found); });
        const auto stored = finish("factory defaults", "successSetCurrentAsFactoryDefaults", *written);
        if (!stored)
            break;
        phases.push_back({"factory defaults", systemCommandBound(rate, 500), *stored - *written});

        call([found](ParLinkDeviceService *s) { s->restartDevice(Address::Type::Device, found); });
        const auto restarted = finish("restart", "successRestartDevice", *stored);
        if (!restarted)
            break;
        phases.push_back({"restart", systemCommandBound(rate, 0), *restarted - *stored});

        call([](ParLinkDeviceService *s) { s->abort(); });
        const auto disconnected = finish("abort", "successDisconnecting", *restarted);
        if (!disconnected)
            break;
        phases.push_back({"abort", Bound{}, *disconnected - *restarted});
        result = phases;
    } while (false);

    // Let the port close before the device goes.
    waitUntil([] { return false; }, 300);
    QMetaObject::invokeMethod(service, [service] { delete service; }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
    return result;
}

void print(int rate, const std::vector<std::vector<Phase>> &runs)
{
    fmt::print("\nDevice up to {} baud, half-duplex, {} run(s); median per phase\n", rate, runs.size());
    fmt::print("  {:<18} {:>11} {:>11} {:>7}   {}\n", "phase", "measured ms", "bound ms", "ratio", "bound: delays + line + half duplex");
    const std::size_t phaseCount = runs.front().size();
    std::vector<double> totals;
    for (const auto &run : runs) {
        double total = 0;
        for (const auto &phase : run)
            total += phase.measuredMs;
        totals.push_back(total);
    }
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        const std::size_t n = values.size();
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    };
    // A measurement below its lower bound means the bound counts something the road does not spend.
    std::vector<std::string> wrongBounds;
    const auto checkBound = [&wrongBounds](const char *name, double measuredMs, double boundMs) {
        if (measuredMs < boundMs)
            wrongBounds.push_back(fmt::format("  the {} bound is wrong: a run measured {:.1f} ms, below its {:.1f} ms", name,
                                              measuredMs, boundMs));
    };
    double boundTotal = 0;
    for (std::size_t i = 0; i < phaseCount; ++i) {
        std::vector<double> measured;
        for (const auto &run : runs)
            measured.push_back(run[i].measuredMs);
        const Phase &phase = runs.front()[i];
        const double bound = phase.bound.totalMs();
        boundTotal += bound;
        for (const double value : measured)
            checkBound(phase.name, value, bound);
        const double value = median(measured);
        const std::string ratio = bound > 0 ? fmt::format("{:.3f}", value / bound) : std::string("-");
        fmt::print("  {:<18} {:>11.1f} {:>11.1f} {:>7}   {:.0f} + {:.1f} + {:.1f} ({} request{}, {} characters)\n",
                   phase.name, value, bound, ratio, phase.bound.delaysMs, phase.bound.lineMs, phase.bound.halfDuplexMs,
                   phase.bound.requests, phase.bound.requests == 1 ? "" : "s", phase.bound.characters);
    }
    for (const double value : totals)
        checkBound("total", value, boundTotal);
    const double total = median(totals);
    fmt::print("  {:<18} {:>11.1f} {:>11.1f} {:>7.3f}   from the port's open report to the disconnection\n", "total",
               total, boundTotal, total / boundTotal);
    if (runs.size() > 1) {
        fmt::print("  totals of the runs:");
        for (const double value : totals)
            fmt::print(" {:.1f}", value);
        fmt::print("\n");
    }
    for (const auto &line : wrongBounds)
        fmt::print("{}\n", line);
}

// The port's complaints about the control lines a pseudo-terminal lacks would drown the figures.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(quietMessages);
    spdlog::set_level(spdlog::level::warn);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    QDir::setCurrent(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(ZEB_SOURCE_DIR));
    registerMetaTypes();

    BuiltinMedium::Parameters medium;
    try {
        medium = BuiltinMedium::water();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "cannot load the water medium: %s\n", e.what());
        return 1;
    }

    fmt::print("Parameterization with the built-in medium \"001 ZEB_Water\" (V02.11 / V02.00): start, write with "
               "read-back, factory defaults, restart, abort\n");
    int failures = 0;
    for (const int rate : {115200, 1200}) {
        std::vector<std::vector<Phase>> results;
        for (int run = 0; run < runs; ++run) {
            if (auto road = runRoad(rate, medium))
                results.push_back(std::move(*road));
            else
                ++failures;
        }
        if (!results.empty())
            print(rate, results);
    }
    return failures == 0 ? 0 : 1;
}

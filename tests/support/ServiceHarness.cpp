#include "tests/support/ServiceHarness.h"

#include <QSignalSpy>

using namespace Thg::Tilo::Communication;

namespace {
constexpr int DeviceReadyMs = 5000;
constexpr int ThreadEndMs = 10000;
} // namespace

ServiceHarness::ServiceHarness(int responseTimeoutMs, QObject *parent) : QObject(parent)
{
    registerMetaTypes();
    mService = new ParLinkDeviceService(nullptr, responseTimeoutMs);
    mRecorder = std::make_unique<ServiceRecorder>(mService);
    mThread.setObjectName(QStringLiteral("DeviceThread"));
    mService->moveToThread(&mThread);
    mThread.start();
}

ServiceHarness::~ServiceHarness()
{
    // The service and its timers go on their own thread, before the thread ends.
    QMetaObject::invokeMethod(mService, [service = mService] { delete service; }, Qt::BlockingQueuedConnection);
    mThread.quit();
    mThread.wait(ThreadEndMs);
    mDevice.reset();
}

ServiceHarness::Start ServiceHarness::startDevice(const ZebSim::SimConfig &config)
{
    mDevice = std::make_unique<ZebSim::ZebSimDevice>(config);
    QSignalSpy ready(mDevice.get(), &ZebSim::ZebSimDevice::ready);
    QString error;
    if (!mDevice->start(&error)) {
        qWarning("no simulated device: %s", qPrintable(error));
        return Start::NoPseudoTerminal;
    }
    return ready.wait(DeviceReadyMs) ? Start::Ok : Start::Failed;
}

Comport ServiceHarness::comport() const
{
    Comport port;
    port.Number = mDevice ? mDevice->portPath() : QString();
    port.HalfDuplex = mDevice && mDevice->config().singleWire;
    port.Startup = StartupMs;
    port.PowerDown = PowerDownMs;
    return port;
}

std::optional<Device> ServiceHarness::connectDevice(int timeoutMs)
{
    const qsizetype seen = mRecorder->events().size();
    const Comport port = comport();
    call([port](ParLinkDeviceService *service) { service->start(port, true); });
    if (!mRecorder->waitForAnyAfter(seen, {QStringLiteral("foundDevice"), QStringLiteral("error")}, timeoutMs))
        return std::nullopt;
    const QList<ServiceRecorder::Event> after = mRecorder->events().mid(seen);
    for (const ServiceRecorder::Event &event : after) {
        if (event.name == QLatin1String("foundDevice"))
            return event.args.first().value<Device>();
        if (event.name == QLatin1String("error"))
            return std::nullopt;
    }
    return std::nullopt;
}

bool ServiceHarness::writeAndWait(const Device &device, const std::vector<Thg::Tilo::Device::Parameter> &deviceParameters,
                                  const std::vector<Thg::Tilo::Device::Parameter> &subdeviceParameters, int timeoutMs)
{
    const qsizetype seen = mRecorder->events().size();
    call([device, deviceParameters, subdeviceParameters](ParLinkDeviceService *service) {
        service->write(device, deviceParameters, subdeviceParameters);
    });
    return mRecorder->waitForAnyAfter(seen, {QStringLiteral("successWriting"), QStringLiteral("error")}, timeoutMs);
}

#pragma once

#include "communication/ParLinkDeviceService.h"
#include "tests/support/ServiceRecorder.h"
#include "tools/zeb-sim/ZebSimDevice.h"

#include <QObject>
#include <QThread>

#include <memory>
#include <vector>

// The end-to-end set-up of the device service: the simulated ZEB device in this process on a
// pseudo-terminal (its stack on the test's thread), the service on a thread of its own
// ("DeviceThread", as in the program) and a recorder of its signals on the test's thread.
//
//   ServiceHarness h(2000);                       // every job waits 2 s per reply instead of 15 s
//   ZEB_START_SIM(h, config);                     // skips the test when there is no pseudo-terminal
//   h.call([&](auto *s) { s->start(h.comport(), true); });
//   QVERIFY(h.recorder().waitFor("foundDevice"));
class ServiceHarness : public QObject {
    Q_OBJECT
public:
    enum class Start { Ok, NoPseudoTerminal, Failed };

    // The interface times of the built-in description, in milliseconds.
    static constexpr int StartupMs = 260;
    static constexpr int PowerDownMs = 300;

    explicit ServiceHarness(int responseTimeoutMs = 15000, QObject *parent = nullptr);
    ~ServiceHarness() override;

    // Starts the simulated device; its line echoes when config.singleWire is set.
    Start startDevice(const ZebSim::SimConfig &config = {});

    ZebSim::ZebSimDevice *device() const { return mDevice.get(); }
    Thg::Tilo::Communication::ParLinkDeviceService *service() const { return mService; }
    ServiceRecorder &recorder() { return *mRecorder; }

    // The simulated device's port as the application passes it: the description's times, and
    // half-duplex when the device's line echoes.
    Thg::Tilo::Communication::Comport comport() const;

    // Runs `call(service)` on the service's thread, queued, as the application's connections do.
    template <typename F>
    void call(F call)
    {
        QMetaObject::invokeMethod(mService, [service = mService, call] { call(service); }, Qt::QueuedConnection);
    }

    // start() with identification, waited for; the found device, or nothing on error or time-out.
    std::optional<Thg::Tilo::Communication::Device> connectDevice(int timeoutMs = ServiceRecorder::DefaultWaitMs);
    // write() with read-back, waited for until successWriting or an error; false on time-out.
    bool writeAndWait(const Thg::Tilo::Communication::Device &device,
                      const std::vector<Thg::Tilo::Device::Parameter> &deviceParameters,
                      const std::vector<Thg::Tilo::Device::Parameter> &subdeviceParameters,
                      int timeoutMs = ServiceRecorder::DefaultWaitMs);

private:
    std::unique_ptr<ZebSim::ZebSimDevice> mDevice;
    QThread mThread;
    Thg::Tilo::Communication::ParLinkDeviceService *mService = nullptr;
    std::unique_ptr<ServiceRecorder> mRecorder;
};

// Starts the harness's simulated device; skips the test without a pseudo-terminal, fails it when the
// device does not come up.
#define ZEB_START_SIM(harness, ...)                                                                \
    do {                                                                                           \
        const ServiceHarness::Start started_ = (harness).startDevice(__VA_ARGS__);                 \
        if (started_ == ServiceHarness::Start::NoPseudoTerminal)                                   \
            QSKIP("No pseudo-terminal for the simulated device");                                  \
        QVERIFY2(started_ == ServiceHarness::Start::Ok, "The simulated device did not start");      \
    } while (false)

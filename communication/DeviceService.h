#pragma once

#include "communication/MetaTypes.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace Thg::Tilo::Communication {

// The one interface through which the application drives a field device. Every slot starts one
// asynchronous operation that ends with its success signal or with `error`; `progress`, `warning`
// and `log` report on the way. The implementation lives on its own thread, so callers reach the
// slots through queued connections and get the signals queued.
class DeviceService : public QObject {
    Q_OBJECT
public:
    explicit DeviceService(QObject *parent = nullptr) : QObject(parent) {}
    ~DeviceService() override = default;

public slots:
    virtual void abort() = 0;
    virtual void start(const Thg::Tilo::Communication::Comport &comport, bool deviceIdentification) = 0;
    virtual void restartDevice(Thg::Tilo::Communication::Address::Type type,
                               const Thg::Tilo::Communication::Device &dev) = 0;
    virtual void setCurrentAsFactoryDefaults(Thg::Tilo::Communication::Address::Type type,
                                             const Thg::Tilo::Communication::Device &dev) = 0;
    virtual void resetToFactoryDefaults(Thg::Tilo::Communication::Address::Type type,
                                        const Thg::Tilo::Communication::Device &dev) = 0;
    virtual void write(const Thg::Tilo::Communication::Device &dev,
                       const std::vector<Thg::Tilo::Device::Parameter> &deviceParameters,
                       const std::vector<Thg::Tilo::Device::Parameter> &subdeviceParameters,
                       bool readBack = true) = 0;
    virtual void read(const Thg::Tilo::Communication::Device &dev,
                      std::vector<std::reference_wrapper<const Thg::Tilo::Device::Parameter>> deviceParameters,
                      std::vector<std::reference_wrapper<const Thg::Tilo::Device::Parameter>> subdeviceParameters) = 0;
    virtual void readFixedBurstValues(Thg::Tilo::Communication::Address::Type type,
                                      const Thg::Tilo::Communication::Device &dev, std::uint32_t samples) = 0;
    virtual void accumulateBurstValues(Thg::Tilo::Communication::Address::Type type,
                                       const Thg::Tilo::Communication::Device &dev, std::uint32_t samples,
                                       std::uint8_t leadingSlotIndex = 0, std::uint16_t topBotSamplesToRemove = 0) = 0;
    virtual void readFixedDeviceValues(Thg::Tilo::Communication::Address::Type type,
                                       const Thg::Tilo::Communication::Device &dev, std::uint32_t samples) = 0;
    virtual void accumulateDeviceValues(Thg::Tilo::Communication::Address::Type type,
                                        const Thg::Tilo::Communication::Device &dev, std::uint32_t samples,
                                        std::uint8_t leadingSlotIndex = 0, std::uint16_t topBotSamplesToRemove = 0) = 0;
    virtual void readFixedDeviceAndBurstValues(Thg::Tilo::Communication::Address::Type type,
                                               const Thg::Tilo::Communication::Device &dev, std::uint32_t samples) = 0;
    virtual void upload(Thg::Tilo::Communication::Address::Type type, const Thg::Tilo::Communication::Device &dev,
                        Thg::Tilo::Communication::BootloaderType blType, const QString &fileName, bool rescueMode,
                        bool leavePortOpenOnError) = 0;

signals:
    void error(const QString &err);
    void foundDevice(const Thg::Tilo::Communication::Device &dev);
    void log(Thg::Tilo::Communication::LogLevel level, const QString &entry);
    void progress(std::uint8_t percent);
    void successRestartDevice();
    void successSetCurrentAsFactoryDefaults();
    void successResetToFactoryDefaults();
    void successResetNvm();
    void successDisconnecting();
    void successReading(const std::vector<Thg::Tilo::Device::ParameterSetting> &deviceParameters,
                        const std::vector<Thg::Tilo::Device::ParameterSetting> &subdeviceParameters);
    void successWriting();
    void warning(const QString &warn);
    void finishedAccumulate(const Thg::Tilo::Communication::Slots &slot);
    void finishedFixedSamples(const QList<Thg::Tilo::Communication::Slots> &slot);
    void sampleReceived(const Thg::Tilo::Communication::Slots &slot);
    void success();
};

} // namespace Thg::Tilo::Communication

#pragma once

#include "communication/DeviceService.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <vector>

// A device service for tests of the code above it: it records every call and answers the way the
// test has told it, from the event loop (as the real service's queued signals arrive) unless it is
// told to keep quiet.
class FakeDeviceService : public Thg::Tilo::Communication::DeviceService {
    Q_OBJECT
public:
    enum class Reply {
        // progress 50 and 100, then the operation's success signal.
        Succeed,
        // progress 50, then `error` with the reply's text.
        Fail,
        // nothing: the test emits the signals itself.
        Silent,
    };

    // One recorded call: the slot's name and what it was given.
    struct Call {
        explicit Call(QString slot,
                      Thg::Tilo::Communication::Address::Type type = Thg::Tilo::Communication::Address::Type::None,
                      Thg::Tilo::Communication::Device device = {})
            : slot(std::move(slot)), type(type), device(std::move(device))
        {
        }

        QString slot;
        Thg::Tilo::Communication::Address::Type type = Thg::Tilo::Communication::Address::Type::None;
        Thg::Tilo::Communication::Device device;
        Thg::Tilo::Communication::Comport comport;
        bool flag = false;
        std::vector<Thg::Tilo::Device::Parameter> deviceParameters;
        std::vector<Thg::Tilo::Device::Parameter> subdeviceParameters;
    };

    explicit FakeDeviceService(QObject *parent = nullptr);

    // How the slot of that name answers from now on; every slot succeeds until told otherwise.
    void setReply(const QString &slot, Reply reply, const QString &errorText = QString());
    // The device that `start` reports.
    void setFoundDevice(const Thg::Tilo::Communication::Device &device) { mFoundDevice = device; }

    // Answers the last `read` as the real service ends one: `successReading` with a setting per
    // parameter, read through the references the read was given (the device holds what a write of
    // them sends: the current value, or the default while the current one holds nothing), then
    // progress 100 and `successWriting`. A read that succeeds does this after its progress.
    void answerRead();

    const QList<Call> &calls() const { return mCalls; }
    QStringList callNames() const;
    void clearCalls() { mCalls.clear(); }

public slots:
    void abort() override;
    void start(const Thg::Tilo::Communication::Comport &comport, bool deviceIdentification) override;
    void restartDevice(Thg::Tilo::Communication::Address::Type type,
                       const Thg::Tilo::Communication::Device &dev) override;
    void setCurrentAsFactoryDefaults(Thg::Tilo::Communication::Address::Type type,
                                     const Thg::Tilo::Communication::Device &dev) override;
    void resetToFactoryDefaults(Thg::Tilo::Communication::Address::Type type,
                                const Thg::Tilo::Communication::Device &dev) override;
    void write(const Thg::Tilo::Communication::Device &dev,
               const std::vector<Thg::Tilo::Device::Parameter> &deviceParameters,
               const std::vector<Thg::Tilo::Device::Parameter> &subdeviceParameters, bool readBack = true) override;
    void read(const Thg::Tilo::Communication::Device &dev,
              std::vector<std::reference_wrapper<const Thg::Tilo::Device::Parameter>> deviceParameters,
              std::vector<std::reference_wrapper<const Thg::Tilo::Device::Parameter>> subdeviceParameters) override;
    void readFixedBurstValues(Thg::Tilo::Communication::Address::Type type,
                              const Thg::Tilo::Communication::Device &dev, std::uint32_t samples) override;
    void accumulateBurstValues(Thg::Tilo::Communication::Address::Type type,
                               const Thg::Tilo::Communication::Device &dev, std::uint32_t samples,
                               std::uint8_t leadingSlotIndex = 0, std::uint16_t topBotSamplesToRemove = 0) override;
    void readFixedDeviceValues(Thg::Tilo::Communication::Address::Type type,
                               const Thg::Tilo::Communication::Device &dev, std::uint32_t samples) override;
    void accumulateDeviceValues(Thg::Tilo::Communication::Address::Type type,
                                const Thg::Tilo::Communication::Device &dev, std::uint32_t samples,
                                std::uint8_t leadingSlotIndex = 0, std::uint16_t topBotSamplesToRemove = 0) override;
    void readFixedDeviceAndBurstValues(Thg::Tilo::Communication::Address::Type type,
                                       const Thg::Tilo::Communication::Device &dev, std::uint32_t samples) override;
    void upload(Thg::Tilo::Communication::Address::Type type, const Thg::Tilo::Communication::Device &dev,
                Thg::Tilo::Communication::BootloaderType blType, const QString &fileName, bool rescueMode,
                bool leavePortOpenOnError) override;

private:
    struct Answer {
        Reply reply = Reply::Succeed;
        QString errorText;
    };

    // Records the call and answers it from the event loop; `succeed` emits the success signal.
    template <typename Success>
    void answer(Call call, Success succeed);

    QList<Call> mCalls;
    QMap<QString, Answer> mAnswers;
    Thg::Tilo::Communication::Device mFoundDevice;
    std::vector<std::reference_wrapper<const Thg::Tilo::Device::Parameter>> mReadDeviceParameters;
    std::vector<std::reference_wrapper<const Thg::Tilo::Device::Parameter>> mReadSubdeviceParameters;
};

#pragma once

#include "communication/Chunks.h"
#include "communication/DeviceService.h"
#include "communication/TransferableData.h"

#include <QByteArray>

#include <cstdint>
#include <optional>

class PARLINK;

namespace Thg::Tilo::Communication {

namespace Internal {
class Bootloader;
class FirstContact;
class Parameter;
class Port;
class Session;
class SysCommand;
class Values;
} // namespace Internal

// The device service over PARLINK: it owns the protocol stack's facade, the one serial port object
// and one protocol job per kind of operation, hands each slot's work to its job and turns the jobs'
// signals into the service's. It lives on one thread with its jobs and the facade; callers on other
// threads reach it through queued connections.
//
// Each job refuses a second start of its own; nothing is checked across jobs: callers run one
// operation at a time and wait for its result signal or `error`.
class ParLinkDeviceService : public DeviceService {
    Q_OBJECT
public:
    // The kind of measured values a measured-value read asks for.
    enum class Type : std::uint32_t {
        BurstValues = 0,
        DeviceValues = 1,
        DeviceAndBurstValues = 2,
    };
    Q_ENUM(Type)

    // The time the port may take to report itself open at each start.
    static constexpr int OpenTimeoutMs = 150;
    // Replies to 138 and 139 that a measured-value read makes no sample of: an accumulating read
    // leaves out the first ones while the device's readings settle.
    static constexpr unsigned short FixedSkippedReplies = 0;
    static constexpr unsigned short AccumulateSkippedReplies = 2;

    // `responseTimeoutMs` is how long every job waits for each reply; tests pass a shorter time than
    // the protocol's 15000 ms.
    explicit ParLinkDeviceService(QObject *parent = nullptr, int responseTimeoutMs = 15000);
    ~ParLinkDeviceService() override;

    // The chunks of a parameter transfer to `dev`: both lists sorted by address in place, merged into
    // blocks, cut into chunks of at most 50 bytes, the device's first. Empty when both lists are.
    static std::optional<Internal::Chunks<50>> getCombinedChunks(const Thg::Tilo::Communication::Device &dev,
                                                                 ParameterRefs &deviceParameters,
                                                                 ParameterRefs &subdeviceParameters);

public slots:
    void abort() override;
    void start(const Thg::Tilo::Communication::Comport &comport, bool deviceIdentification) override;
    void setCurrentAsFactoryDefaults(Thg::Tilo::Communication::Address::Type type,
                                     const Thg::Tilo::Communication::Device &dev) override;
    void resetToFactoryDefaults(Thg::Tilo::Communication::Address::Type type,
                                const Thg::Tilo::Communication::Device &dev) override;
    void restartDevice(Thg::Tilo::Communication::Address::Type type,
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

    // "Device status: 0x.. (...)" for a record whose status has texts, translated; empty otherwise.
    static QString deviceStatusWarning(const Thg::Tilo::Communication::Slots &record);

private:
    // Why a transfer of `chunks` is refused before anything is sent; nullptr when it may go.
    const char *transferRefusal(const std::optional<Internal::Chunks<50>> &chunks, bool reading) const;
    // Logs and reports a refused transfer as the parameter job would, without the job: a refusal is
    // no failure of the read that may be under way.
    void refuseTransfer(const char *sourceText);
    // Decodes the bytes of the read in flight and reports them.
    void parseReadData(const QByteArray &data);
    void accumulate(Type kind, Address::Type type, const Device &dev, std::uint32_t samples,
                    std::uint8_t leadingSlotIndex, std::uint16_t topBotSamplesToRemove);

    // Copies of the parameters of the read in flight, sorted by address; empty otherwise. The caller
    // may free its own as soon as an `error` arrives, and a refused call's `error` can arrive while
    // this read still runs.
    std::vector<Thg::Tilo::Device::Parameter> mReadDeviceParameters;
    std::vector<Thg::Tilo::Device::Parameter> mReadSubdeviceParameters;
    PARLINK *mFacade = nullptr;
    Internal::Port *mPort = nullptr;
    Internal::FirstContact *mFirstContact = nullptr;
    Internal::SysCommand *mSysCommand = nullptr;
    Internal::Parameter *mParameter = nullptr;
    Internal::Values *mValues = nullptr;
    Internal::Bootloader *mBootloader = nullptr;
};

} // namespace Thg::Tilo::Communication

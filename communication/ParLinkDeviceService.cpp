#include "communication/ParLinkDeviceService.h"

#include "communication/MetaTypes.h"
#include "communication/ReadDataDecoder.h"
#include "communication/TransferPlan.h"
#include "communication/internal/Bootloader.h"
#include "communication/internal/FirstContact.h"
#include "communication/internal/Parameter.h"
#include "communication/internal/Port.h"
#include "communication/internal/SysCommand.h"
#include "communication/internal/Values.h"

#include "protocol/parlink/PARLINK.h"

#include <QCoreApplication>

#include <algorithm>

namespace Thg::Tilo::Communication {

using Internal::FirstContact;
using Internal::SysCommand;
using Internal::Values;

namespace {

const char *const ParametersEmpty = QT_TRANSLATE_NOOP("Thg::Tilo::Communication::ParLinkDeviceService",
                                                      "The parameters are empty.");

} // namespace

ParLinkDeviceService::ParLinkDeviceService(QObject *parent, int responseTimeoutMs) : DeviceService(parent)
{
    registerMetaTypes();
    PARLINK_Session::registerMetaTypes();

    // The stack, the port and the jobs, in this order, all children of the service.
    mFacade = new PARLINK(this, PARLINK_Session::PARLINK_HW_UART);
    mPort = new Internal::Port(this, mFacade);
    mFirstContact = new FirstContact(this, mFacade, mPort, ClosePortWhenFinished::No, responseTimeoutMs);
    mSysCommand = new SysCommand(this, mFacade, mPort, ClosePortWhenFinished::No, responseTimeoutMs);
    mParameter = new Internal::Parameter(this, mFacade, mPort, ClosePortWhenFinished::No, responseTimeoutMs);
    mValues = new Values(this, mFacade, mPort, ClosePortWhenFinished::No, responseTimeoutMs);
    mBootloader = new Internal::Bootloader(this, mFacade, mPort, responseTimeoutMs);

    // What each job reports, as the service reports it. Everything lives on one thread: direct calls.
    const auto reportsOf = [this](Internal::Default *job) {
        connect(job, &Internal::Default::log, this, &DeviceService::log);
        connect(job, &Internal::Default::progress, this, [this](unsigned int percent) {
            emit progress(std::uint8_t(percent));
        });
    };

    reportsOf(mFirstContact);
    connect(mFirstContact, &Internal::Default::error, this, &DeviceService::error);
    connect(mFirstContact, &FirstContact::foundDevice, this, &DeviceService::foundDevice);

    reportsOf(mSysCommand);
    connect(mSysCommand, &Internal::Default::error, this, &DeviceService::error);
    connect(mSysCommand, &SysCommand::success, this, [this](SysCommand::Command cmd) {
        switch (cmd) {
        case SysCommand::Command::SetCurrentAsFactoryDefaults:
            emit successSetCurrentAsFactoryDefaults();
            break;
        case SysCommand::Command::ResetToFactoryDefaults:
            emit successResetToFactoryDefaults();
            break;
        case SysCommand::Command::ResetNvm:
            emit successResetNvm();
            break;
        case SysCommand::Command::RestartDevice:
            emit successRestartDevice();
            break;
        }
    });

    reportsOf(mParameter);
    // Only failures of the job itself come this way; refused calls are reported by the service.
    connect(mParameter, &Internal::Default::error, this, [this](const QString &err) {
        // No later decoding may use the lists of a read that failed.
        mReadDeviceParameters.clear();
        mReadSubdeviceParameters.clear();
        emit error(err);
    });
    connect(mParameter, &Internal::Parameter::readValue, this, &ParLinkDeviceService::parseReadData);
    connect(mParameter, &Internal::Parameter::success, this, &DeviceService::successWriting);
    // Every measured-value result is preceded by the device's status, or by an empty warning that
    // withdraws the previous one. The kind of values stays with the job.
    reportsOf(mValues);
    connect(mValues, &Internal::Default::error, this, &DeviceService::error);
    connect(mValues, &Values::finishedAccumulate, this, [this](Type, const Slots &average) {
        emit warning(deviceStatusWarning(average));
        emit finishedAccumulate(average);
    });
    connect(mValues, &Values::finishedFixedSamples, this, [this](Type, const QList<Slots> &samples) {
        QString text;
        for (const Slots &sample : samples) {
            text = deviceStatusWarning(sample);
            if (!text.isEmpty())
                break;
        }
        emit warning(text);
        emit finishedFixedSamples(samples);
    });
    connect(mValues, &Values::newValue, this, [this](Type, const Slots &sample) {
        emit warning(deviceStatusWarning(sample));
        emit sampleReceived(sample);
    });

    reportsOf(mBootloader);
    connect(mBootloader, &Internal::Default::error, this, &DeviceService::error);
    connect(mBootloader, &Internal::Bootloader::success, this, &DeviceService::success);
}

ParLinkDeviceService::~ParLinkDeviceService() = default;

// The system-command job is left alone: a restart or a store under way finishes.
void ParLinkDeviceService::abort()
{
    mFirstContact->abort();
    mParameter->abort();
    mValues->abort();
    emit progress(100);
    emit successDisconnecting();
}

void ParLinkDeviceService::start(const Comport &comport, bool deviceIdentification)
{
    mFirstContact->start(comport, deviceIdentification, OpenTimeoutMs);
}

void ParLinkDeviceService::setCurrentAsFactoryDefaults(Address::Type type, const Device &dev)
{
    mSysCommand->systemCommand(type, dev, SysCommand::Command::SetCurrentAsFactoryDefaults);
}

void ParLinkDeviceService::resetToFactoryDefaults(Address::Type type, const Device &dev)
{
    mSysCommand->systemCommand(type, dev, SysCommand::Command::ResetToFactoryDefaults);
}

void ParLinkDeviceService::restartDevice(Address::Type type, const Device &dev)
{
    mSysCommand->systemCommand(type, dev, SysCommand::Command::RestartDevice);
}

std::optional<Internal::Chunks<50>> ParLinkDeviceService::getCombinedChunks(const Device &dev,
                                                                             ParameterRefs &deviceParameters,
                                                                             ParameterRefs &subdeviceParameters)
{
    const TransferableData deviceBlocks = TransferableData::fromParameters(deviceParameters);
    const TransferableData subdeviceBlocks = TransferableData::fromParameters(subdeviceParameters);
    if (deviceBlocks.blocks.empty() && subdeviceBlocks.blocks.empty())
        return std::nullopt;

    Internal::Chunks<50> chunks;
    chunks.device = dev;
    chunks.append(Address::Type::Device, deviceBlocks);
    const std::optional<Address::Type> subType = Internal::subDeviceChunkType(dev.address);
    if (!subdeviceBlocks.blocks.empty() && !subType)
        chunks.subDeviceAddressable = false;
    chunks.append(subType.value_or(Address::Type::None), subdeviceBlocks);
    return chunks;
}

// In this order: nothing to send (not a refusal), the job busy, a block without bytes, sub-device
// parameters for a device without a sub-device.
const char *ParLinkDeviceService::transferRefusal(const std::optional<Internal::Chunks<50>> &chunks, bool reading) const
{
    if (mParameter->isBusy())
        return QT_TRANSLATE_NOOP("Thg::Tilo::Communication::Internal::Parameter", "Current operation not finished!");
    if (!chunks->valid) {
        return reading ? QT_TRANSLATE_NOOP("Thg::Tilo::Communication::Internal::Parameter",
                                           "Read: the amount of addresses is different than the amount of parameters")
                       : QT_TRANSLATE_NOOP("Thg::Tilo::Communication::Internal::Parameter",
                                           "Write: the amount of addresses is different than the amount of parameters");
    }
    // Without a sub-device id every address type reaches the device's own memory.
    if (!chunks->subDeviceAddressable) {
        return reading ? QT_TRANSLATE_NOOP("Thg::Tilo::Communication::Internal::Parameter",
                                           "Read: the device has no sub-device")
                       : QT_TRANSLATE_NOOP("Thg::Tilo::Communication::Internal::Parameter",
                                           "Write: the device has no sub-device");
    }
    return nullptr;
}

void ParLinkDeviceService::refuseTransfer(const char *sourceText)
{
    emit log(LogLevel::Error, QString::fromLatin1(sourceText));
    emit error(QCoreApplication::translate(Internal::Parameter::staticMetaObject.className(), sourceText));
}

void ParLinkDeviceService::write(const Device &dev, const std::vector<Thg::Tilo::Device::Parameter> &deviceParameters,
                                 const std::vector<Thg::Tilo::Device::Parameter> &subdeviceParameters, bool readBack)
{
    ParameterRefs deviceList(deviceParameters.begin(), deviceParameters.end());
    ParameterRefs subdeviceList(subdeviceParameters.begin(), subdeviceParameters.end());
    const std::optional<Internal::Chunks<50>> chunks = getCombinedChunks(dev, deviceList, subdeviceList);
    if (!chunks) {
        emit warning(tr(ParametersEmpty));
        emit progress(100);
        emit successWriting();
        return;
    }
    if (const char *refusal = transferRefusal(chunks, false)) {
        refuseTransfer(refusal);
        return;
    }
    // The plan holds copies of the bytes: the caller's parameters are not needed after this slot.
    mParameter->startWrite(chunks->device, Internal::writePlan(chunks->chunks, readBack));
}

void ParLinkDeviceService::read(const Device &dev,
                                std::vector<std::reference_wrapper<const Thg::Tilo::Device::Parameter>> deviceParameters,
                                std::vector<std::reference_wrapper<const Thg::Tilo::Device::Parameter>> subdeviceParameters)
{
    const std::optional<Internal::Chunks<50>> chunks = getCombinedChunks(dev, deviceParameters, subdeviceParameters);
    if (!chunks) {
        emit warning(tr(ParametersEmpty));
        emit progress(100);
        emit successReading({}, {});
        return;
    }
    if (const char *refusal = transferRefusal(chunks, true)) {
        refuseTransfer(refusal);
        return;
    }
    // Sorted as the chunks were cut, so that the bytes read come in the order of these lists.
    mReadDeviceParameters.assign(deviceParameters.begin(), deviceParameters.end());
    mReadSubdeviceParameters.assign(subdeviceParameters.begin(), subdeviceParameters.end());
    mParameter->startRead(chunks->device, Internal::readPlan(chunks->chunks));
}

void ParLinkDeviceService::parseReadData(const QByteArray &data)
{
    const ParameterRefs device(mReadDeviceParameters.begin(), mReadDeviceParameters.end());
    const ParameterRefs subdevice(mReadSubdeviceParameters.begin(), mReadSubdeviceParameters.end());
    const ReadData decoded = ReadData::decode(data, device, subdevice);
    emit progress(100);
    emit successReading(decoded.deviceSettings, decoded.subdeviceSettings);
    mReadDeviceParameters.clear();
    mReadSubdeviceParameters.clear();
}

void ParLinkDeviceService::readFixedBurstValues(Address::Type type, const Device &dev, std::uint32_t samples)
{
    mValues->startReading(Values::State::FixedSamples, type, dev, Type::BurstValues, samples, FixedSkippedReplies);
}

void ParLinkDeviceService::accumulateBurstValues(Address::Type type, const Device &dev, std::uint32_t samples,
                                                 std::uint8_t leadingSlotIndex, std::uint16_t topBotSamplesToRemove)
{
    accumulate(Type::BurstValues, type, dev, samples, leadingSlotIndex, topBotSamplesToRemove);
}

void ParLinkDeviceService::readFixedDeviceValues(Address::Type type, const Device &dev, std::uint32_t samples)
{
    mValues->startReading(Values::State::FixedSamples, type, dev, Type::DeviceValues, samples, FixedSkippedReplies);
}

void ParLinkDeviceService::accumulateDeviceValues(Address::Type type, const Device &dev, std::uint32_t samples,
                                                  std::uint8_t leadingSlotIndex, std::uint16_t topBotSamplesToRemove)
{
    accumulate(Type::DeviceValues, type, dev, samples, leadingSlotIndex, topBotSamplesToRemove);
}

void ParLinkDeviceService::readFixedDeviceAndBurstValues(Address::Type type, const Device &dev, std::uint32_t samples)
{
    mValues->startReading(Values::State::FixedSamples, type, dev, Type::DeviceAndBurstValues, samples,
                          FixedSkippedReplies);
}

// The settings are the new run's: a start refused while another run is under way leaves that run's
// settings as they are.
void ParLinkDeviceService::accumulate(Type kind, Address::Type type, const Device &dev, std::uint32_t samples,
                                      std::uint8_t leadingSlotIndex, std::uint16_t topBotSamplesToRemove)
{
    if (!mValues->startReading(Values::State::Accumulate, type, dev, kind, samples, AccumulateSkippedReplies))
        return;
    mValues->setSamplesToTrim(topBotSamplesToRemove);
    mValues->setLeadingSlotIndex(std::min<std::uint8_t>(leadingSlotIndex, Values::MaxSlots - 1));
}

QString ParLinkDeviceService::deviceStatusWarning(const Slots &record)
{
    QStringList texts;
    for (const StatusString &active : record.activeStatusStrings())
        texts.append(active.text);
    const QString joined = texts.join(QStringLiteral(", "));
    if (joined.isEmpty())
        return {};
    return tr("Device status: 0x%1 (%2)").arg(QString::number(record.status, 16), joined);
}

// The job refuses, in this order: an update under way, no file name, a loader type without a client,
// a firmware file that the loader type's client would refuse.
void ParLinkDeviceService::upload(Address::Type type, const Device &dev, BootloaderType blType, const QString &fileName,
                                  bool rescueMode, bool leavePortOpenOnError)
{
    mBootloader->start(type, dev, Internal::Bootloader::Type(std::uint8_t(blType)), fileName, rescueMode,
                       leavePortOpenOnError);
}

} // namespace Thg::Tilo::Communication

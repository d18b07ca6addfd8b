#include "communication/ParLinkDeviceService.h"

#include "communication/MetaTypes.h"
#include "communication/internal/Bootloader.h"
#include "communication/internal/FirstContact.h"
#include "communication/internal/Port.h"
#include "communication/internal/SysCommand.h"

#include "protocol/parlink/PARLINK.h"

namespace Thg::Tilo::Communication {

using Internal::FirstContact;
using Internal::SysCommand;

ParLinkDeviceService::ParLinkDeviceService(QObject *parent, int responseTimeoutMs) : DeviceService(parent)
{
    registerMetaTypes();
    PARLINK_Session::registerMetaTypes();

    // The stack, the port and the jobs, in this order, all children of the service.
    mFacade = new PARLINK(this, PARLINK_Session::PARLINK_HW_UART);
    mPort = new Internal::Port(this, mFacade);
    mFirstContact = new FirstContact(this, mFacade, mPort, ClosePortWhenFinished::No, responseTimeoutMs);
    mSysCommand = new SysCommand(this, mFacade, mPort, ClosePortWhenFinished::No, responseTimeoutMs);
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

    reportsOf(mBootloader);
    connect(mBootloader, &Internal::Default::error, this, &DeviceService::error);
    connect(mBootloader, &Internal::Bootloader::success, this, &DeviceService::success);
}

ParLinkDeviceService::~ParLinkDeviceService() = default;

// The system-command job is left alone: a restart or a store under way finishes.
void ParLinkDeviceService::abort()
{
    mFirstContact->abort();
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

void ParLinkDeviceService::write(const Device &, const std::vector<Thg::Tilo::Device::Parameter> &,
                                 const std::vector<Thg::Tilo::Device::Parameter> &, bool)
{
    refuseNotAvailable(QT_TR_NOOP("Writing parameters is not available."));
}

void ParLinkDeviceService::read(const Device &, std::vector<std::reference_wrapper<const Thg::Tilo::Device::Parameter>>,
                                std::vector<std::reference_wrapper<const Thg::Tilo::Device::Parameter>>)
{
    refuseNotAvailable(QT_TR_NOOP("Reading parameters is not available."));
}

void ParLinkDeviceService::readFixedBurstValues(Address::Type, const Device &, std::uint32_t)
{
    refuseNotAvailable(QT_TR_NOOP("Reading measured values is not available."));
}

void ParLinkDeviceService::accumulateBurstValues(Address::Type, const Device &, std::uint32_t, std::uint8_t,
                                                 std::uint16_t)
{
    refuseNotAvailable(QT_TR_NOOP("Reading measured values is not available."));
}

void ParLinkDeviceService::readFixedDeviceValues(Address::Type, const Device &, std::uint32_t)
{
    refuseNotAvailable(QT_TR_NOOP("Reading measured values is not available."));
}

void ParLinkDeviceService::accumulateDeviceValues(Address::Type, const Device &, std::uint32_t, std::uint8_t,
                                                  std::uint16_t)
{
    refuseNotAvailable(QT_TR_NOOP("Reading measured values is not available."));
}

void ParLinkDeviceService::readFixedDeviceAndBurstValues(Address::Type, const Device &, std::uint32_t)
{
    refuseNotAvailable(QT_TR_NOOP("Reading measured values is not available."));
}

// The job refuses, in this order: an update under way, no file name, a loader type without a client.
void ParLinkDeviceService::upload(Address::Type type, const Device &dev, BootloaderType blType, const QString &fileName,
                                  bool rescueMode, bool leavePortOpenOnError)
{
    mBootloader->start(type, dev, Internal::Bootloader::Type(std::uint8_t(blType)), fileName, rescueMode,
                       leavePortOpenOnError);
}

void ParLinkDeviceService::refuseNotAvailable(const char *sourceText)
{
    emit log(LogLevel::Error, QString::fromLatin1(sourceText));
    emit error(tr(sourceText));
}

} // namespace Thg::Tilo::Communication

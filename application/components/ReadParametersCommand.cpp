#include "application/components/ReadParametersCommand.h"

namespace Thg::Tilo::Components {

using Thg::Tilo::Communication::DeviceService;
using Thg::Tilo::Device::Parameter;

namespace {

using ParameterRefs = std::vector<std::reference_wrapper<const Parameter>>;

ParameterRefs referencesTo(const ReadParametersCommand::Parameters &parameters)
{
    return ParameterRefs(parameters.begin(), parameters.end());
}

// Holds the parameters of one read until the service has reported the read's end. It belongs to no
// command, so that it outlives one that is destroyed before the service answers.
class ReadLease : public QObject {
public:
    // The lease deletes itself.
    static void hold(DeviceService &service, std::shared_ptr<const ReadParametersCommand::Parameters> deviceParameters,
                     std::shared_ptr<const ReadParametersCommand::Parameters> subdeviceParameters)
    {
        new ReadLease(service, std::move(deviceParameters), std::move(subdeviceParameters));
    }

private:
    ReadLease(DeviceService &service, std::shared_ptr<const ReadParametersCommand::Parameters> deviceParameters,
              std::shared_ptr<const ReadParametersCommand::Parameters> subdeviceParameters)
        : mDeviceParameters(std::move(deviceParameters)), mSubdeviceParameters(std::move(subdeviceParameters))
    {
        connect(&service, &DeviceService::successReading, this, &QObject::deleteLater);
        connect(&service, &DeviceService::error, this, &QObject::deleteLater);
        // A service taken down without an answer reads nothing more; the event loop may be gone.
        connect(&service, &QObject::destroyed, this, [this] { delete this; });
    }

    std::shared_ptr<const ReadParametersCommand::Parameters> mDeviceParameters;
    std::shared_ptr<const ReadParametersCommand::Parameters> mSubdeviceParameters;
};

} // namespace

ReadParametersCommand::ReadParametersCommand(ConnectedDeviceContext &context, DeviceService &service,
                                             QString description, QObject *parent)
    : SimpleConnectedDeviceCommand(context, service, parent),
      mDeviceParameters(std::make_shared<const Parameters>()),
      mSubdeviceParameters(std::make_shared<const Parameters>()),
      mDescription(description.isEmpty() ? tr("Reading parameters") : std::move(description))
{
    connect(this, &ReadParametersCommand::read, &service, &DeviceService::read);
}

QString ReadParametersCommand::getDescription() const
{
    return mDescription;
}

void ReadParametersCommand::setDeviceParameters(Parameters parameters)
{
    mDeviceParameters = std::make_shared<const Parameters>(std::move(parameters));
}

void ReadParametersCommand::setSubdeviceParameters(Parameters parameters)
{
    mSubdeviceParameters = std::make_shared<const Parameters>(std::move(parameters));
}

void ReadParametersCommand::doConnect()
{
    SimpleConnectedDeviceCommand::doConnect();
    // The service follows every read with `successWriting`; the read has ended before it.
    listen(&DeviceService::successReading, [this](const Settings &deviceSettings, const Settings &subdeviceSettings) {
        mDeviceSettings = deviceSettings;
        mSubdeviceSettings = subdeviceSettings;
        finish();
    });
}

void ReadParametersCommand::doExecute()
{
    mDeviceSettings.clear();
    mSubdeviceSettings.clear();
    ReadLease::hold(mService, mDeviceParameters, mSubdeviceParameters);
    emit read(mContext.connectedDevice, referencesTo(*mDeviceParameters), referencesTo(*mSubdeviceParameters),
              QPrivateSignal());
}

} // namespace Thg::Tilo::Components

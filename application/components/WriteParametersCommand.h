#pragma once

#include "application/components/SimpleConnectedDeviceCommand.h"

#include "device/Parameter.h"

#include <vector>

namespace Thg::Tilo::Components {

// Writes parameters of the device and of its sub-device, always with read-back. It refuses, before
// anything reaches the device, parameters for a part of the device that is not there.
class WriteParametersCommand : public SimpleConnectedDeviceCommand {
    Q_OBJECT
public:
    // An empty description becomes "Writing parameters".
    WriteParametersCommand(ConnectedDeviceContext &context, Thg::Tilo::Communication::DeviceService &service,
                           QString description = QString(), QObject *parent = nullptr);

    QString getDescription() const override;

    void setDeviceParameters(std::vector<Thg::Tilo::Device::Parameter> parameters);
    void setSubdeviceParameters(std::vector<Thg::Tilo::Device::Parameter> parameters);
    const std::vector<Thg::Tilo::Device::Parameter> &getDeviceParameters() const { return mDeviceParameters; }
    const std::vector<Thg::Tilo::Device::Parameter> &getSubdeviceParameters() const { return mSubdeviceParameters; }

signals:
    void write(const Thg::Tilo::Communication::Device &device,
               const std::vector<Thg::Tilo::Device::Parameter> &deviceParameters,
               const std::vector<Thg::Tilo::Device::Parameter> &subdeviceParameters, bool readBack, QPrivateSignal);

protected:
    void doConnect() override;
    void doExecute() override;

private:
    void logParameters(const char *target, const std::vector<Thg::Tilo::Device::Parameter> &parameters) const;
    void refuse(const char *logText, const QString &message);

    std::vector<Thg::Tilo::Device::Parameter> mDeviceParameters;
    std::vector<Thg::Tilo::Device::Parameter> mSubdeviceParameters;
    QString mDescription;
};

} // namespace Thg::Tilo::Components

#pragma once

#include "application/components/SimpleConnectedDeviceCommand.h"

#include "device/Parameter.h"
#include "device/ParameterSetting.h"

#include <functional>
#include <memory>
#include <vector>

namespace Thg::Tilo::Components {

// Reads parameters of the device and of its sub-device; ends with the values read.
//
// The service reads the parameters through references, on its own thread, until it reports the
// read's end with `successReading` or `error`. Until then the parameters of a read that was sent stay
// alive and unchanged, even when the command is cancelled or destroyed before: setting new ones
// replaces the lists the next read sends, not those of the read under way.
class ReadParametersCommand : public SimpleConnectedDeviceCommand {
    Q_OBJECT
public:
    using Parameters = std::vector<Thg::Tilo::Device::Parameter>;
    using Settings = std::vector<Thg::Tilo::Device::ParameterSetting>;

    // An empty description becomes "Reading parameters".
    ReadParametersCommand(ConnectedDeviceContext &context, Thg::Tilo::Communication::DeviceService &service,
                          QString description = QString(), QObject *parent = nullptr);

    QString getDescription() const override;

    void setDeviceParameters(Parameters parameters);
    void setSubdeviceParameters(Parameters parameters);
    const Parameters &getDeviceParameters() const { return *mDeviceParameters; }
    const Parameters &getSubdeviceParameters() const { return *mSubdeviceParameters; }

    // The values of the last read that finished; empty before and while a read runs.
    const Settings &getDeviceSettings() const { return mDeviceSettings; }
    const Settings &getSubdeviceSettings() const { return mSubdeviceSettings; }

signals:
    void read(const Thg::Tilo::Communication::Device &device,
              std::vector<std::reference_wrapper<const Thg::Tilo::Device::Parameter>> deviceParameters,
              std::vector<std::reference_wrapper<const Thg::Tilo::Device::Parameter>> subdeviceParameters,
              QPrivateSignal);

protected:
    void doConnect() override;
    void doExecute() override;

private:
    std::shared_ptr<const Parameters> mDeviceParameters;
    std::shared_ptr<const Parameters> mSubdeviceParameters;
    Settings mDeviceSettings;
    Settings mSubdeviceSettings;
    QString mDescription;
};

} // namespace Thg::Tilo::Components

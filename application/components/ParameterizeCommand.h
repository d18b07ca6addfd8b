#pragma once

#include "application/components/CompositeCommand.h"
#include "application/components/ConnectedDeviceCommand.h"
#include "application/components/DeviceWithSettingsContext.h"
#include "application/components/DisconnectCommand.h"

#include "communication/DeviceService.h"
#include "device/Parameter.h"
#include "device/ParameterSet.h"
#include "device/ParameterSetting.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace Thg::Tilo::Components {

// The whole parameterization of the connected device with the loaded media file: the media values
// go into the description's parameters of exactly the connected firmware versions, and a composite
// writes them with read-back, stores them as factory defaults, restarts the device and disconnects.
// The composite is built anew at each execution, from the context as it is then.
class ParameterizeCommand : public ConnectedDeviceCommand {
    Q_OBJECT
public:
    using Parameters = std::vector<Thg::Tilo::Device::Parameter>;
    using ParameterSetRef = std::reference_wrapper<const Thg::Tilo::Device::ParameterSet<Thg::Tilo::Device::Parameter>>;
    using SettingSetRef =
        std::reference_wrapper<const Thg::Tilo::Device::ParameterSet<Thg::Tilo::Device::ParameterSetting>>;

    ParameterizeCommand(DeviceWithSettingsContext &context, Thg::Tilo::Communication::DeviceService &service);
    ~ParameterizeCommand() override;

    QString getDescription() const override;

    // Null when building failed; the error has then been reported.
    CompositeCommand *createCommand();
    // The parameters named by the settings, each with the setting's value, in the settings' name
    // order. Throws std::invalid_argument for a name the parameters lack (at once) and for values
    // that do not fit (all of them, one message a line).
    Parameters mergeSettingsIntoParameters(std::optional<ParameterSetRef> parameters,
                                           std::optional<SettingSetRef> settings) const;

    CompositeCommand *getInnerCommand() const { return mInnerCommand; }
    const QString &getSerialNumber() const { return mSerialNumber; }

public slots:
    void setSerialNumber(const QString &serialNumber);
    // A failed run leaves no device recorded as connected: see disconnectAfterFailure.
    void error(const QString &message, Thg::Tilo::Components::System system, bool disconnected) override;

protected:
    void doDisconnect() override;
    void doExecute() override;
    void doStop() override;
    void doCancel() override;

private:
    void addSerialNumberStep(CompositeCommand &composite);
    void disconnectAfterFailure();

    DeviceWithSettingsContext &mSettingsContext;
    Thg::Tilo::Communication::DeviceService &mService;
    QPointer<CompositeCommand> mInnerCommand;
    QString mSerialNumber;
    std::optional<std::pair<Parameters, Parameters>> mParameters;
    QPointer<DisconnectCommand> mFailureDisconnect;
};

} // namespace Thg::Tilo::Components

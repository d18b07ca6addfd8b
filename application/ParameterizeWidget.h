#pragma once

#include "communication/Device.h"

#include <QWidget>

#include <cstdint>

class Ui_ParameterizeWidget;

namespace Thg::Tilo::Communication {
class DeviceService;
}

namespace Thg::Tilo::Components {
class DeviceConnector;
class DeviceWithSettingsContext;
class ExecuteCommandWidget;
} // namespace Thg::Tilo::Components

// The program's page: a port, a medium and "Parameterize". The button imports and checks the
// medium, has the connector connect to the device on the port, and once the device is connected
// runs the parameterize workflow. Its constructor imports the built-in device description.
class ParameterizeWidget : public QWidget {
    Q_OBJECT
public:
    enum class State : std::uint8_t {
        Reset = 0,
        Parameterizing = 1,
        Done = 2,
    };

    // The service and the connector are wired here and not kept; the context outlives the page.
    ParameterizeWidget(Thg::Tilo::Components::DeviceWithSettingsContext &context,
                       Thg::Tilo::Communication::DeviceService &service,
                       Thg::Tilo::Components::DeviceConnector &connector, QWidget *parent = nullptr);
    ~ParameterizeWidget() override;

    void changeState(State state);
    State getState() const { return mState; }

    static constexpr const char *descriptionPath = ":/M7Q4-ZEB.desc.json";
    static constexpr const char *mediaDirectory = ":/ParameterFiles/";
    static constexpr const char *descriptionSchema = "Resources/DeviceDescription.schema.json";
    static constexpr const char *settingsSchema = "Resources/DeviceSettings.schema.json";

private:
    void importDescription();
    void importSettingsAndConnect();
    void handleMediumChanged();
    void handleFinished();
    void handleCommandError(const QString &message);
    void handleConnectorProgress(std::uint8_t percent, const QString &text);
    void handleDeviceConnected(const Thg::Tilo::Communication::Device &device);
    void handleUnexpectedDevice(const Thg::Tilo::Communication::Device &device);
    void handleConnectorError(const QString &message);
    void showMessage(const QString &text);

    Ui_ParameterizeWidget *ui;
    Thg::Tilo::Components::DeviceWithSettingsContext &mContext;
    Thg::Tilo::Components::ExecuteCommandWidget *mExecution;
    State mState = State::Reset;
    // Counts the connector's outcomes, to tell whether a connection request was answered while it
    // was being made.
    unsigned mConnectorOutcomes = 0;
};

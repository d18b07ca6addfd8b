#include "application/ParameterizeWidget.h"

#include "application/ExecuteCommandWidget.h"
#include "application/Logger.h"
#include "application/ProgressBarWidget.h"
#include "application/QtResourceReader.h"
#include "application/SerialPortWidget.h"
#include "application/TypeName.h"
#include "application/UiUtils.h"
#include "application/components/DeviceConnector.h"
#include "application/components/DeviceWithSettingsContext.h"
#include "application/components/ParameterizeCommand.h"

#include "device/ImportException.h"
#include "device/Importer.h"
#include "device/Validator.h"

#include "ui_ParameterizeWidget.h"

#include <QDir>

#include <algorithm>
#include <filesystem>
#include <string>

using Thg::Tilo::Components::Logger;

namespace {

Thg::Tilo::Device::Importer makeImporter()
{
    return Thg::Tilo::Device::Importer(
        {ParameterizeWidget::descriptionSchema, ParameterizeWidget::settingsSchema});
}

std::string joined(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines) {
        if (!text.empty())
            text += '\n';
        text += line;
    }
    return text;
}

// Logs an import failure: a validation failure with every finding, anything else with its text.
void logImportFailure(const std::exception &e)
{
    if (const auto *validation = dynamic_cast<const Thg::Tilo::Device::ValidationException *>(&e)) {
        Logger::error("{}\n{}", std::string(validation->what()), joined(validation->getErrors()));
    } else {
        Logger::error("{}", std::string(e.what()));
    }
}

const char *stateName(ParameterizeWidget::State state)
{
    switch (state) {
    case ParameterizeWidget::State::Reset:
        return "State Reset";
    case ParameterizeWidget::State::Parameterizing:
        return "State Parameterizing";
    case ParameterizeWidget::State::Done:
        return "State Done";
    }
    return "State Reset";
}

} // namespace

ParameterizeWidget::ParameterizeWidget(Thg::Tilo::Components::DeviceWithSettingsContext &context,
                                       Thg::Tilo::Communication::DeviceService &service,
                                       Thg::Tilo::Components::DeviceConnector &connector, QWidget *parent)
    : QWidget(parent), ui(new Ui_ParameterizeWidget), mContext(context)
{
    auto *command = new Thg::Tilo::Components::ParameterizeCommand(context, service);
    mExecution = new Thg::Tilo::Components::ExecuteCommandWidget(tr("Parameterize"), tr("Parameterize the device"),
                                                                 command, true);
    mState = State::Reset;
    ui->setupUi(this);

    // The page shows the connection's progress in its execution widget.
    ui->comPorts->setConnector(connector);
    ui->comPorts->makeCompact();
    ui->verticalLayout->addWidget(mExecution);

    const QDir media(QString::fromLatin1(mediaDirectory));
    for (const QString &fileName :
         media.entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase))
        ui->medium->addItem(fileName.section(QLatin1Char('.'), 0, 0), fileName);

    importDescription();

    connect(ui->medium, &QComboBox::currentIndexChanged, this, &ParameterizeWidget::handleMediumChanged);
    connect(mExecution, &Thg::Tilo::Components::ExecuteCommandWidget::executionRequested, this,
            &ParameterizeWidget::importSettingsAndConnect);
    connect(mExecution, &Thg::Tilo::Components::ExecuteCommandWidget::finished, this,
            &ParameterizeWidget::handleFinished);
    connect(mExecution, &Thg::Tilo::Components::ExecuteCommandWidget::errorOccurred, this,
            &ParameterizeWidget::handleCommandError);
    connect(&connector, &Thg::Tilo::Components::Connector::progressUpdated, this,
            &ParameterizeWidget::handleConnectorProgress);
    connect(&connector, &Thg::Tilo::Components::DeviceConnector::deviceConnected, this,
            &ParameterizeWidget::handleDeviceConnected);
    connect(&connector, &Thg::Tilo::Components::DeviceConnector::unexpectedDeviceConnected, this,
            &ParameterizeWidget::handleUnexpectedDevice);
    connect(&connector, &Thg::Tilo::Components::Connector::errorOccurred, this,
            &ParameterizeWidget::handleConnectorError);

    changeState(State::Reset);
}

ParameterizeWidget::~ParameterizeWidget()
{
    delete ui;
}

void ParameterizeWidget::importDescription()
{
    const std::string path = std::filesystem::path(descriptionPath).generic_string();
    try {
        Logger::info("Importing device description {}", path);
        const Thg::Tilo::Device::Importer importer = makeImporter();
        const Thg::Tilo::Components::QtResourceReader reader(path);
        Thg::Tilo::Device::Device description = importer.importDevice(reader);
        Logger::info("Imported device description {}", path);
        mContext.selectedDevice = std::move(description);
    } catch (const std::exception &e) {
        logImportFailure(e);
        showMessage(tr("Could not load the M7Q4-ZEB device file. Please contact support. ") +
                    QString::fromStdString(e.what()));
    }
}

void ParameterizeWidget::importSettingsAndConnect()
{
    try {
        const std::string path = mediaDirectory + ui->medium->currentData().toString().toStdString();
        Logger::info("Importing device settings {}", path);
        const Thg::Tilo::Device::Importer importer = makeImporter();
        const Thg::Tilo::Components::QtResourceReader reader(path);
        Thg::Tilo::Device::DeviceSettings settings = importer.importDeviceSettings(reader);

        const Thg::Tilo::Device::Validator &validator = Thg::Tilo::Device::validator();
        Thg::Tilo::Device::ValidationResult findings;
        for (const auto &rule : validator.deviceSettingsDeviceRules)
            rule(settings, mContext.selectedDevice, findings);
        validator.validate(settings.deviceParameterSets, mContext.selectedDevice.deviceParameterSets, findings);
        validator.validate(settings.subdeviceParameterSets, mContext.selectedDevice.subdeviceParameterSets, findings);
        if (!findings.empty())
            throw Thg::Tilo::Device::ValidationException(reader.getSourceName(), std::move(findings));

        Logger::info("Imported device settings {}", path);
        mContext.deviceSettings = std::move(settings);
    } catch (const std::exception &e) {
        logImportFailure(e);
        showMessage(tr("Could not load the media file. Please contact support. ") + QString::fromStdString(e.what()));
        changeState(State::Reset);
        return;
    }

    // The connector ignores a request while it is busy (a foreign device being restarted and let go)
    // or while it records a connected device; the page would then wait for an answer that never
    // comes. An answer within the request (no description, a refused precondition) has already
    // reset the page.
    const Thg::Tilo::Components::ComPortConnector *connector = ui->comPorts->getConnector();
    const unsigned outcomesBefore = mConnectorOutcomes;
    const bool takesRequest = connector && !connector->isBusy() && !connector->isTargetConnected();
    if (takesRequest)
        ui->comPorts->connectTarget();
    if (mConnectorOutcomes != outcomesBefore)
        return;
    if (takesRequest && connector->isBusy()) {
        changeState(State::Parameterizing);
        return;
    }
    mExecution->clearPending();
    changeState(State::Reset);
    showMessage(tr("The connection could not be started. Please try again."));
}

void ParameterizeWidget::changeState(State state)
{
    mState = state;
    Logger::info("{}", std::string(stateName(state)));
    switch (state) {
    case State::Reset:
        if (ui->comPorts->hasConnector())
            ui->comPorts->enableConnection();
        ui->medium->setEnabled(true);
        mExecution->progress()->setValue(0);
        mExecution->progress()->setStatusText(tr("Waiting for user"));
        mExecution->clearWarning();
        mExecution->setButtonEnabled(true);
        break;
    case State::Parameterizing:
        ui->comPorts->disableConnection();
        ui->medium->setEnabled(false);
        break;
    case State::Done:
        if (ui->comPorts->hasConnector())
            ui->comPorts->enableConnection();
        ui->medium->setEnabled(true);
        break;
    }
}

void ParameterizeWidget::handleMediumChanged()
{
    if (mState == State::Done)
        changeState(State::Reset);
}

void ParameterizeWidget::handleFinished()
{
    changeState(State::Done);
}

void ParameterizeWidget::handleCommandError(const QString &message)
{
    changeState(State::Reset);
    showMessage(message);
}

void ParameterizeWidget::handleConnectorProgress(std::uint8_t percent, const QString &text)
{
    if (mState != State::Parameterizing)
        return;
    mExecution->showProgress(percent, text);
}

void ParameterizeWidget::handleDeviceConnected(const Thg::Tilo::Communication::Device &)
{
    ++mConnectorOutcomes;
    Logger::info("Granted execution of {}", Thg::Tilo::Components::runtimeTypeName(*mExecution->getCommand()));
    if (!mExecution->isPending())
        return;
    mExecution->clearPending();
    mExecution->startCommand();
}

void ParameterizeWidget::handleUnexpectedDevice(const Thg::Tilo::Communication::Device &)
{
    ++mConnectorOutcomes;
    changeState(State::Reset);
    showMessage(tr("Only ZEB devices are supported."));
}

void ParameterizeWidget::handleConnectorError(const QString &message)
{
    ++mConnectorOutcomes;
    changeState(State::Reset);
    showMessage(message);
}

void ParameterizeWidget::showMessage(const QString &text)
{
    Thg::Tilo::Components::UiUtils::showMessageBox(text, this);
}

#include "application/SerialPortWidget.h"

#include "application/Logger.h"
#include "application/components/ComPortConnector.h"

#include "ui_SerialPortWidget.h"

namespace Thg::Tilo::Components {

SerialPortWidget::SerialPortWidget(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::SerialPortWidget>())
{
    ui->setupUi(this);
    connect(ui->connect, &QPushButton::clicked, this, &SerialPortWidget::connectTarget);
    disableConnection();
}

SerialPortWidget::~SerialPortWidget()
{
    if (mConnector)
        disconnect(mConnector, nullptr, this, nullptr);
}

void SerialPortWidget::setConnector(ComPortConnector &connector)
{
    if (mConnector)
        disconnect(mConnector, nullptr, this, nullptr);
    mConnector = &connector;
    connect(&connector, &ComPortConnector::portsChanged, this, &SerialPortWidget::updatePorts);
    connect(&connector, &ComPortConnector::progressUpdated, this, &SerialPortWidget::updateProgress);
}

void SerialPortWidget::makeCompact()
{
    if (mCompact)
        return;
    ui->connect->hide();
    ui->progress->hide();
    ui->controlsLayout->removeItem(ui->horizontalSpacer);
    ui->controlsLayout->removeItem(ui->horizontalSpacer_2);
    mLeadingSpacer.reset(ui->horizontalSpacer);
    mTrailingSpacer.reset(ui->horizontalSpacer_2);
    mCompact = true;
}

void SerialPortWidget::enableConnection()
{
    mEnabled = true;
    ui->selectPort->setEnabled(true);
    updateConnectButton();
}

void SerialPortWidget::disableConnection()
{
    mEnabled = false;
    ui->selectPort->setEnabled(false);
    ui->connect->setEnabled(false);
}

QString SerialPortWidget::currentPort() const
{
    return ui->selectPort->currentText();
}

void SerialPortWidget::connectTarget()
{
    if (!mConnector || !mEnabled) {
        Logger::error("Cannot connect, no connector present");
        return;
    }
    disableConnection();
    ui->progress->setValue(0);
    const QString port = currentPort();
    Logger::info("Starting connection to {}", port.toStdString());
    emit connectionStarted();
    mConnector->connectTarget(port);
}

void SerialPortWidget::updatePorts(const QList<Thg::Tilo::Communication::Comport> &ports)
{
    ui->selectPort->clear();
    for (const Thg::Tilo::Communication::Comport &port : ports)
        ui->selectPort->addItem(port.Number);
    // A changed port set always starts from its first port.
    if (!ports.isEmpty())
        ui->selectPort->setCurrentIndex(0);
    updateConnectButton();
}

void SerialPortWidget::updateProgress(std::uint8_t percent, const QString &)
{
    if (!mCompact)
        ui->progress->setValue(percent);
}

void SerialPortWidget::updateConnectButton()
{
    ui->connect->setEnabled(mConnector && mEnabled && ui->selectPort->count() > 0);
}

} // namespace Thg::Tilo::Components

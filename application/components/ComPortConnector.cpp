#include "application/components/ComPortConnector.h"

#include "application/Logger.h"

namespace Thg::Tilo::Components {

ComPortConnector::ComPortConnector(QObject *parent) : Connector(parent) {}

void ComPortConnector::connectTarget(const QString &port)
{
    if (isBusy() || isTargetConnected())
        return;
    setBusy(true);
    doConnectTarget(port);
}

void ComPortConnector::updatePorts(const QList<Thg::Tilo::Communication::Comport> &ports)
{
    if (!mUpdatesEnabled)
        return;
    if (mPortLossCheck && isTargetConnected() && !containsConnectedPort(ports)) {
        Logger::info("Target was disconnected");
        clear();
        emit targetDisconnected();
    }
    emit portsChanged(ports);
}

} // namespace Thg::Tilo::Components

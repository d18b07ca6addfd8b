#pragma once

#include "application/components/Connector.h"

#include "communication/Comport.h"

#include <QList>

namespace Thg::Tilo::Components {

// A connector whose targets sit on serial ports: it also passes the port scanner's lists on.
class ComPortConnector : public Connector {
    Q_OBJECT
public:
    explicit ComPortConnector(QObject *parent = nullptr);

    // Ignored while busy or while a target is connected.
    void connectTarget(const QString &port);

    bool areUpdatesEnabled() const { return mUpdatesEnabled; }
    void setUpdatesEnabled(bool enabled) { mUpdatesEnabled = enabled; }
    // Whether a scan without the connected target's port counts as the target's loss.
    bool hasPortLossCheck() const { return mPortLossCheck; }
    void setPortLossCheck(bool check) { mPortLossCheck = check; }

public slots:
    void updatePorts(const QList<Thg::Tilo::Communication::Comport> &ports);

signals:
    void portsChanged(const QList<Thg::Tilo::Communication::Comport> &ports);

protected:
    virtual void doConnectTarget(const QString &port) = 0;
    virtual bool containsConnectedPort(const QList<Thg::Tilo::Communication::Comport> &ports) const = 0;

private:
    bool mUpdatesEnabled = true;
    bool mPortLossCheck = false;
};

} // namespace Thg::Tilo::Components

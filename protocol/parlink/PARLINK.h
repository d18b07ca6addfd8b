#pragma once

#include "protocol/parlink/PARLINK_Session.h"
#include "protocol/parlink/PARLINK_SessionInfo.h"

#include <QObject>
#include <QStringList>
#include <QVariant>

#include <optional>

class PARLINK_LinkLayer;
class PARLINK_MASTER_AppLayer;
class PARLINK_SLAVE_AppLayer;
class QTimer;

// The one object through which the device service uses the protocol stack. It owns the slave and
// master application layers and the link layer, wires them together, opens and closes the serial
// port, starts and stops sessions in the layer of their role, forwards the link's status and the
// decoded responses, scans the serial ports on request and passes Bluetooth LE operations through.
//
// Facade, layers and timers share one thread; only the serial port lives on the link layer's I/O
// thread. Users on other threads reach the slots through queued connections.
class PARLINK : public QObject {
    Q_OBJECT
public:
    static constexpr int PortScanIntervalMs = 1000;
    static inline const QString StackVersion = QStringLiteral("1.00");
    static inline const QString StackDate = QStringLiteral("230821");

    explicit PARLINK(QObject *parent = nullptr, PARLINK_Session::PARLINK_HW hw = PARLINK_Session::PARLINK_HW_UART);
    ~PARLINK() override;

    PARLINK_LinkLayer *linkLayer() const { return mLink; }
    PARLINK_MASTER_AppLayer *masterLayer() const { return mMaster; }
    PARLINK_SLAVE_AppLayer *slaveLayer() const { return mSlave; }
    bool isSessionActive() const { return mSessionActive; }

    // The port scan's comparison: the list to report for `found` after `stored`, or nothing when the
    // ports have not changed; `stored` becomes the list remembered for the next scan.
    static std::optional<QStringList> comparePortLists(QStringList &stored, QStringList found);

signals:
    void portNewState(bool open);
    void btleNewState(PARLINK_Session::BTLE_STATE state);
    void portNewPorts(QStringList availablePorts);
    void sessionNewInfo(PARLINK_SessionInfo *info);
    void sessionNewData(PARLINK_Session *data);

public slots:
    void enablePortScan();
    void portOpen(bool bOpen, PARLINK_Session::InterfaceSettings set);
    void sessionStart(PARLINK_Session *session);
    void sessionStop();
    void versionGetInformation(QStringList *info);
    void btleStartScan();
    void btleStopScan();
    void btleConnectTo(QString adr);
    void btleDisconnect();
    QVariant btleGetDevices();

private slots:
    void sessionInfoChanged(PARLINK_SessionInfo *info);
    void sessionRawDataChanged(PARLINK_Session *data);
    void portStateChanged(bool bOpen);
    void btleStateChanged(PARLINK_Session::BTLE_STATE state);
    void portScanForAvailablePorts();

private:
    void connectLayers();
    void stopActiveLayer();
    void sessionDestroyed(QObject *session);

    PARLINK_LinkLayer *mLink = nullptr;
    PARLINK_SLAVE_AppLayer *mSlave = nullptr;
    PARLINK_MASTER_AppLayer *mMaster = nullptr;
    bool mSessionActive = false;
    PARLINK_Session::PARLINK_ENUM_SESSION_TYPE mActiveRole = PARLINK_Session::PARLINK_ENUM_SESSION_TYPE_SLAVE;
    // Identifies the caller's session of the active role; compared, never dereferenced.
    const QObject *mActiveSession = nullptr;
    QTimer *mPortScanTimer = nullptr;
    QStringList mPorts;
};

#include "protocol/parlink/PARLINK.h"

#include "protocol/parlink/PARLINK_LinkLayer.h"
#include "protocol/parlink/PARLINK_MASTER_AppLayer.h"
#include "protocol/parlink/PARLINK_SLAVE_AppLayer.h"

#include <QSerialPortInfo>
#include <QTimer>

#include <algorithm>

namespace {
constexpr quint32 PortOpenBaudrate = 1200;
} // namespace

PARLINK::PARLINK(QObject *parent, PARLINK_Session::PARLINK_HW hw) : QObject(parent)
{
    mSlave = new PARLINK_SLAVE_AppLayer(this);
    mMaster = new PARLINK_MASTER_AppLayer(this);
    mLink = new PARLINK_LinkLayer(this, hw);

    qRegisterMetaType<PARLINK_Session::PARLINK_ENUM_SESSION_STATE>("PARLINK_Session::PARLINK_ENUM_SESSION_STATE");
    qRegisterMetaType<PARLINK_Session::PARLINK_ENUM_SESSION_ERROR>("PARLINK_Session::PARLINK_ENUM_SESSION_ERROR");
    qRegisterMetaType<PARLINK_Session::PARLINK_ENUM_SESSION_TYPE>("PARLINK_Session::PARLINK_ENUM_SESSION_TYPE");
    qRegisterMetaType<PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND>("PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND");
    qRegisterMetaType<PARLINK_Session::InterfaceSettings>("PARLINK_Session::InterfaceSettings");
    qRegisterMetaType<PARLINK_Session::PARLINK_HW>("PARLINK_Session::PARLINK_HW");

    connectLayers();
}

PARLINK::~PARLINK()
{
    if (mPortScanTimer)
        mPortScanTimer->stop();
    // The link layer goes first: its shutdown still writes into the running session and reports
    // through the layers, which must all be alive then.
    delete mLink;
    mLink = nullptr;
}

void PARLINK::connectLayers()
{
    // One thread for all of them: direct connections, delivered in the order made here.
    connect(mLink, &PARLINK_LinkLayer::portNewState, this, &PARLINK::portStateChanged);
    connect(mLink, &PARLINK_LinkLayer::sessionNewInfo, this, &PARLINK::sessionInfoChanged);
    connect(mLink, &PARLINK_LinkLayer::btleStateChanged, this, &PARLINK::btleStateChanged);

    connect(mSlave, &PARLINK_SLAVE_AppLayer::sessionNewData, this, &PARLINK::sessionRawDataChanged);
    connect(mLink, &PARLINK_LinkLayer::sessionDataRxBufferReady, mSlave, &PARLINK_SLAVE_AppLayer::sessionDataReady);
    connect(mLink, &PARLINK_LinkLayer::sessionDataTxDone, mSlave, &PARLINK_SLAVE_AppLayer::sessionDataWritten);
    connect(mLink, &PARLINK_LinkLayer::sessionDataFetchTxBufferForBurst, mSlave,
            &PARLINK_SLAVE_AppLayer::sessionBurstModeSetData, Qt::DirectConnection);
    connect(mSlave, &PARLINK_SLAVE_AppLayer::sessionDataTxSetBuffer, mLink, &PARLINK_LinkLayer::sessionDataTxSetBuffer,
            Qt::DirectConnection);
    connect(mSlave, &PARLINK_SLAVE_AppLayer::sessionBurstModeSetActivate, mLink,
            &PARLINK_LinkLayer::sessionBurstModeSetActivate);
    connect(mSlave, &PARLINK_SLAVE_AppLayer::sessionBaudrateSetNew, mLink, &PARLINK_LinkLayer::sessionBaudrateSetNew,
            Qt::DirectConnection);
    connect(mSlave, &PARLINK_SLAVE_AppLayer::sessionStart, mLink, &PARLINK_LinkLayer::sessionStart);
    connect(mSlave, &PARLINK_SLAVE_AppLayer::sessionStop, mLink, &PARLINK_LinkLayer::sessionStop);

    connect(mMaster, &PARLINK_MASTER_AppLayer::sessionNewData, this, &PARLINK::sessionRawDataChanged);
    connect(mLink, &PARLINK_LinkLayer::sessionDataRxBufferReady, mMaster, &PARLINK_MASTER_AppLayer::sessionDataReady);
    connect(mLink, &PARLINK_LinkLayer::sessionDataTxDone, mMaster, &PARLINK_MASTER_AppLayer::sessionDataWritten);
    connect(mLink, &PARLINK_LinkLayer::sessionBurstModeDeactive, mMaster,
            &PARLINK_MASTER_AppLayer::sessionBurstModeDeactive);
    connect(mMaster, &PARLINK_MASTER_AppLayer::sessionDataTxSetBuffer, mLink,
            &PARLINK_LinkLayer::sessionDataTxSetBuffer, Qt::DirectConnection);
    connect(mMaster, &PARLINK_MASTER_AppLayer::sessionBurstModeSetActivate, mLink,
            &PARLINK_LinkLayer::sessionBurstModeSetActivate);
    connect(mMaster, &PARLINK_MASTER_AppLayer::sessionBurstModeSetAcknowledge, mLink,
            &PARLINK_LinkLayer::sessionBurstModeSetAcknowledge);
    connect(mMaster, &PARLINK_MASTER_AppLayer::sessionBaudrateSetNew, mLink,
            &PARLINK_LinkLayer::sessionBaudrateSetNew, Qt::DirectConnection);
    connect(mMaster, &PARLINK_MASTER_AppLayer::sessionStart, mLink, &PARLINK_LinkLayer::sessionStart);
    connect(mMaster, &PARLINK_MASTER_AppLayer::sessionStop, mLink, &PARLINK_LinkLayer::sessionStop);
}

void PARLINK::stopActiveLayer()
{
    if (mActiveRole != PARLINK_Session::PARLINK_ENUM_SESSION_TYPE_SLAVE)
        mMaster->stopSession();
    else
        mSlave->stopSession();
}

void PARLINK::sessionStart(PARLINK_Session *session)
{
    if (!session)
        return;
    if (mSessionActive)
        stopActiveLayer();

    const PARLINK_Session::PARLINK_ENUM_SESSION_TYPE role = session->getType();
    mSessionActive = true;
    mActiveRole = role;
    mActiveSession = session;
    connect(session, &QObject::destroyed, this, &PARLINK::sessionDestroyed, Qt::UniqueConnection);
    if (role != PARLINK_Session::PARLINK_ENUM_SESSION_TYPE_SLAVE)
        mMaster->startSession(session);
    else
        mSlave->startSession(session);
}

void PARLINK::sessionStop()
{
    stopActiveLayer();
    mSessionActive = false;
    mActiveSession = nullptr;
}

// The caller deleted the running session: the layers and the link layer have already fallen back to
// sessions of their own; end the session so that nothing is sent or reported on its behalf.
void PARLINK::sessionDestroyed(QObject *session)
{
    if (session != mActiveSession || !mSessionActive)
        return;
    mActiveSession = nullptr;
    if (mLink)
        sessionStop();
}

void PARLINK::portOpen(bool bOpen, PARLINK_Session::InterfaceSettings set)
{
    mLink->setInterfaceSettings(set);
    PARLINK_SessionInfo *info = mLink->sessionInfo();
    if (bOpen) {
        emit mLink->portOpen(set.portName, set.baudRate, set.dataBits, set.parity, set.stopBits, set.flowControl);
        info->setBaudrate(PortOpenBaudrate);
        emit mLink->sessionNewInfo(info);
        return;
    }
    // A power cycle still running must not drive the lines after their close levels.
    mLink->endPowerCycle();
    emit mLink->portSetDTRPin(set.dtrClose);
    emit mLink->portSetRTSPin(set.rtsClose);
    mLink->sessionStop();
    info->setBaudrate(PortOpenBaudrate);
    emit mLink->sessionNewInfo(info);
    emit mLink->portClose();
}

void PARLINK::sessionInfoChanged(PARLINK_SessionInfo *info)
{
    emit sessionNewInfo(info);
}

void PARLINK::sessionRawDataChanged(PARLINK_Session *data)
{
    emit sessionNewData(data);
}

void PARLINK::portStateChanged(bool bOpen)
{
    emit portNewState(bOpen);
}

void PARLINK::btleStateChanged(PARLINK_Session::BTLE_STATE state)
{
    emit btleNewState(state);
}

void PARLINK::enablePortScan()
{
    if (mPortScanTimer)
        return;
    mPortScanTimer = new QTimer(this);
    connect(mPortScanTimer, &QTimer::timeout, this, &PARLINK::portScanForAvailablePorts);
    mPortScanTimer->start(PortScanIntervalMs);
}

std::optional<QStringList> PARLINK::comparePortLists(QStringList &stored, QStringList found)
{
    if (stored.isEmpty()) {
        stored = found;
        return stored;
    }
    if (found.isEmpty()) {
        stored.clear();
        return stored;
    }
    if (stored.size() == found.size()) {
        std::sort(stored.begin(), stored.end());
        std::sort(found.begin(), found.end());
        if (stored == found)
            return std::nullopt;
    }
    stored = found;
    return stored;
}

void PARLINK::portScanForAvailablePorts()
{
    QStringList found;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports)
        found.append(port.portName());
    if (const auto changed = comparePortLists(mPorts, found))
        emit portNewPorts(*changed);
}

void PARLINK::versionGetInformation(QStringList *info)
{
    if (!info)
        return;
    info->append(StackVersion);
    info->append(StackDate);
}

void PARLINK::btleStartScan()
{
    mLink->btleStartScan();
}

void PARLINK::btleStopScan()
{
    mLink->btleStopScan();
}

void PARLINK::btleConnectTo(QString adr)
{
    mLink->btleConnectTo(adr);
}

void PARLINK::btleDisconnect()
{
    mLink->btleDisconnect();
}

QVariant PARLINK::btleGetDevices()
{
    return mLink->btleGetDevices();
}

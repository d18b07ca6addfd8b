#pragma once

#include "protocol/parlink/PARLINK_FrameReceiver.h"
#include "protocol/parlink/PARLINK_PowerCycle.h"
#include "protocol/parlink/PARLINK_Session.h"
#include "protocol/parlink/PARLINK_SessionInfo.h"
#include "protocol/serial/FSerialPort.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QRecursiveMutex>
#include <QSerialPort>
#include <QString>
#include <QVariant>

#include <deque>
#include <memory>

class BTLE_Connection;
class QThread;
class QTimer;

// The frame layer of PARLINK. It frames what an application layer hands it, writes it to the serial
// port (or to a Bluetooth LE connection), parses received bytes, supervises the response, inter-byte
// and burst time-outs, drives the power cycle after a port opens and reports everything through the
// status object and the running session.
//
// The link layer and its timers live on the thread of the facade; only the serial port lives on the
// I/O thread "LinkSerialPortThread", reached through the queued port signals below and one blocking
// queued baud-rate call.
class PARLINK_LinkLayer : public QObject {
    Q_OBJECT
public:
    // Milliseconds.
    static constexpr int ResponseTimeoutMs = 300;
    static constexpr int SubslaveResponseTimeoutMs = 600;
    static constexpr int BurstWatchdogMs = 2000;
    static constexpr int FirstBurstDelayMs = 250;
    static constexpr int NextBurstDelayMs = 1;

    // The Bluetooth LE characteristic that carries the frames, and the service that holds it.
    static inline const QString BtleWriteCharacteristic = QStringLiteral("E093F3B5-00A3-A9E5-9ECA-40036E0EDC24");
    static inline const QString BtleService = QStringLiteral("E093F3B5-00A3-A9E5-9ECA-40016E0EDC24");

    explicit PARLINK_LinkLayer(QObject *parent = nullptr,
                               PARLINK_Session::PARLINK_HW hw = PARLINK_Session::PARLINK_HW_UART);
    ~PARLINK_LinkLayer() override;

    // (Re)connects the link layer to the signals of its serial port. Safe to call any number of times:
    // the port is never connected twice.
    void connectSerialPortSignals();
    // Disconnects the link layer from every signal of its serial port, so that the port can be lent to
    // a boot loader; connectSerialPortSignals takes it back.
    void disconnectSerialPortSignals();
    // The serial port (owned, living on "LinkSerialPortThread"), for lending it to a boot loader.
    FSerialPort *serialPort() const { return mSerialPort; }

    // Ends a running power cycle before its next line action (the facade calls it before it drives
    // the close levels); a close or an open of the port ends it as well.
    void endPowerCycle();

    // The settings of the next (or current) port: the facade's portOpen copies them in.
    const PARLINK_Session::InterfaceSettings &interfaceSettings() const { return mSettings; }
    void setInterfaceSettings(const PARLINK_Session::InterfaceSettings &settings) { mSettings = settings; }

    // The status object passed with sessionNewInfo (owned).
    PARLINK_SessionInfo *sessionInfo() const { return mInfo; }
    // The running session, or the link layer's own idle session.
    PARLINK_Session *session() const;

    // The Bluetooth LE connection to carry the frames when the transport is PARLINK_HW_BTLE; not owned.
    // Without one every Bluetooth hook does nothing.
    void setBtleConnection(BTLE_Connection *connection);
    BTLE_Connection *btleConnection() const;
    QString btleDeviceName() const { return mBtleDeviceName; }

signals:
    void sessionNewInfo(PARLINK_SessionInfo *info);
    void sessionDataRxBufferReady(QByteArray buffer);
    void sessionDataTxDone();
    void sessionDataFetchTxBufferForBurst(QByteArray &buffer);
    void sessionBurstModeDeactive();
    void portNewState(bool open);
    void portScan();
    void portSetDTRPin(bool high);
    void portSetRTSPin(bool high);
    void portOpen(QString PortToOpen, int BaudRate, FSerialPort::DataBits dataBits, FSerialPort::Parity parity,
                  FSerialPort::StopBits stopBits, FSerialPort::FlowControl flow);
    void portClose();
    void portWriteData(QByteArray data, bool bSingleWireTransmission);
    void portSetNewBaudrate(uint ulBaudrate, bool *bSuccess);
    void btleStateChanged(PARLINK_Session::BTLE_STATE state);

public slots:
    void sessionStart(PARLINK_Session *s);
    void sessionStop();
    void sessionDataTxSetBuffer(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND command, QByteArray &buffer);
    void sessionBurstModeSetActivate();
    void sessionBurstModeSetAcknowledge();
    void sessionBaudrateSetNew(uint ulNewBaudrate, bool *bSuccess);
    void btleStartScan();
    void btleStopScan();
    void btleConnectTo(QString adr);
    void btleDisconnect();
    QVariant btleGetDevices();

private slots:
    void timeout();
    void timeoutBurst();
    void timeoutSendBurst();
    void timeoutDelayBurstAck();
    void sessionSetRunning(bool bRunning);
    void sessionSetState(PARLINK_Session::PARLINK_ENUM_SESSION_STATE state);
    void sessionSetError(PARLINK_Session::PARLINK_ENUM_SESSION_ERROR error);
    void sessionSetBurstModeState(bool bActive);
    void sessionSetBurstRoundTripLatency(qulonglong ullNs);
    void sessionSetBaudrate(uint ulBaudrate);
    void sessionSetBuffer(QByteArray data);
    void portStateChanged(bool open);
    void portDataWritten();
    void portErrorOccured(QSerialPort::SerialPortError error);
    void portDataReady(QByteArray data);
    void adapterSetState(PARLINK_Session::PARLINK_ENUM_ADAPTER_STATE state);
    void btleNewDevices();
    void btleServiceScanDone();
    void btleConnectedTo(QString device);
    void btleDataWritten();
    void btleNewData(QByteArray data);
    void btleDisconnected();
    void btleFoundSpecificDevice();
    void btleError(QString error);

private:
    static PARLINK_Session::PARLINK_ENUM_SESSION_ERROR sessionErrorForPortError(QSerialPort::SerialPortError error);

    void receiveByte(quint8 byte);
    void frameReceived();
    void transmitFrame(QByteArray frame);
    // False when there is nothing to write to (Bluetooth LE without a connection); reported as BTLE.
    bool writeToTransport(const QByteArray &data);
    // What a write to the port was for, recorded until the port confirms it.
    enum class WriteKind { Session, WakeUp };
    struct PendingWrite {
        WriteKind kind;
        quint64 session;
    };
    void postWrite(const QByteArray &data, bool singleWire, WriteKind kind);
    void forgetPendingWrites();
    void writeDone();
    void storeRoundTrip();
    void sendBurstAcknowledge();

    FSerialPort *mSerialPort = nullptr;
    QPointer<BTLE_Connection> mBtle;
    QThread *mIoThread = nullptr;
    PARLINK_Session *mOwnSession = nullptr;
    // The caller's session while one runs; it may be deleted before the link layer.
    QPointer<PARLINK_Session> mSession;
    PARLINK_SessionInfo *mInfo = nullptr;
    PARLINK_Session::InterfaceSettings mSettings;
    PARLINK_Session::PARLINK_HW mHw = PARLINK_Session::PARLINK_HW_UART;
    QString mBtleDeviceName;
    QTimer *mResponseTimer = nullptr;
    QTimer *mBurstWatchdog = nullptr;
    QTimer *mBurstAckDelay = nullptr;
    QElapsedTimer mRoundTrip;
    bool mBurstMode = false;
    bool mPortOpen = false;
    bool mSessionRunning = false;
    int mResponseTimeoutMs = ResponseTimeoutMs;
    // Counts session starts and stops, so that a write confirmed after its session has ended is told
    // from one of the running session.
    quint64 mSessionNumber = 0;
    // Recursive: a direct connection to portWriteData may confirm the write at once.
    QRecursiveMutex mWritesMutex;
    std::deque<PendingWrite> mPendingWrites;

    PARLINK_FrameReceiver mReceiver;
    PARLINK_Session::PARLINK_ENUM_SESSION_STATE mLastState = PARLINK_Session::PARLINK_ENUM_SESSION_STATE_UNKNOWN;
    bool mLastRunning = false;
    std::unique_ptr<PARLINK_PowerCycle> mPowerCycle;
};

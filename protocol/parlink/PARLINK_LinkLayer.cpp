#include "protocol/parlink/PARLINK_LinkLayer.h"

#include "protocol/ble/BTLE_Connection.h"

#include <QMutexLocker>
#include <QThread>
#include <QTimer>

#include <spdlog/spdlog.h>

#include <memory>
#include <utility>

using S = PARLINK_Session;

PARLINK_LinkLayer::PARLINK_LinkLayer(QObject *parent, PARLINK_Session::PARLINK_HW hw)
    : QObject(parent), mHw(hw)
{
    PARLINK_Session::registerMetaTypes();
    qRegisterMetaType<QSerialPort::SerialPortError>();

    mIoThread = new QThread(this);
    mIoThread->setObjectName(QStringLiteral("LinkSerialPortThread"));

    mOwnSession = new PARLINK_Session(this);
    mOwnSession->setType(S::PARLINK_ENUM_SESSION_TYPE_SLAVE);
    mOwnSession->setCommand(S::PARLINK_ENUM_SESSION_NO_COMMAND);
    mSession = mOwnSession;
    mInfo = new PARLINK_SessionInfo(this);

    mSettings.dtrRun = true;
    mSettings.dtrClose = false;
    mSettings.dtrPowerDown = false;
    mSettings.rtsRun = false;
    mSettings.rtsClose = false;
    mSettings.rtsPowerDown = true;
    mSettings.singleWire = true;
    mSettings.baudRate = 1200;
    mSettings.dataBits = FSerialPort::Data8;
    mSettings.parity = FSerialPort::OddParity;
    mSettings.stopBits = FSerialPort::OneStop;
    mSettings.flowControl = FSerialPort::NoFlowControl;
    mSettings.portName.clear();
    mSettings.powerCycle = true;
    mSettings.powerDownMs = 250;
    mSettings.startupMs = 250;

    mSerialPort = new FSerialPort();
    mSerialPort->moveToThread(mIoThread);
    // Made before the port's own connections, so that these run before the request is queued to the
    // port: whatever an earlier power cycle or a failed write left behind belongs to the old port.
    connect(this, &PARLINK_LinkLayer::portOpen, this, [this] {
        endPowerCycle();
        forgetPendingWrites();
    }, Qt::DirectConnection);
    connect(this, &PARLINK_LinkLayer::portClose, this, &PARLINK_LinkLayer::endPowerCycle, Qt::DirectConnection);
    connect(this, &PARLINK_LinkLayer::portOpen, mSerialPort, &FSerialPort::openPort);
    connect(this, &PARLINK_LinkLayer::portClose, mSerialPort, &FSerialPort::closePort);
    connect(this, &PARLINK_LinkLayer::portScan, mSerialPort, &FSerialPort::getAvailablePorts);
    connect(this, &PARLINK_LinkLayer::portWriteData, mSerialPort,
            qOverload<QByteArray, bool>(&FSerialPort::writeDataToPort));
    connect(this, &PARLINK_LinkLayer::portSetNewBaudrate, mSerialPort, &FSerialPort::setNewBaudrate,
            Qt::BlockingQueuedConnection);
    connect(this, &PARLINK_LinkLayer::portSetDTRPin, mSerialPort, &FSerialPort::setDTRPin);
    connect(this, &PARLINK_LinkLayer::portSetRTSPin, mSerialPort, &FSerialPort::setRTSPin);
    connectSerialPortSignals();
    PARLINK_PowerCycle::Line line;
    line.setDtr = [this](bool high) { emit portSetDTRPin(high); };
    line.setRts = [this](bool high) { emit portSetRTSPin(high); };
    line.write = [this](const QByteArray &data, bool singleWire) { postWrite(data, singleWire, WriteKind::WakeUp); };
    mPowerCycle = std::make_unique<PARLINK_PowerCycle>(mSerialPort, std::move(line));
    connect(mIoThread, &QThread::finished, mSerialPort, &QObject::deleteLater);
    mIoThread->start(QThread::InheritPriority);

    const auto makeTimer = [this](const char *name, void (PARLINK_LinkLayer::*slot)()) {
        auto *timer = new QTimer(this);
        timer->setObjectName(QLatin1String(name));
        timer->setTimerType(Qt::PreciseTimer);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, slot);
        return timer;
    };
    mResponseTimer = makeTimer("responseTimer", &PARLINK_LinkLayer::timeout);
    mBurstWatchdog = makeTimer("burstWatchdog", &PARLINK_LinkLayer::timeoutBurst);
    mBurstAckDelay = makeTimer("burstAckDelay", &PARLINK_LinkLayer::timeoutDelayBurstAck);
}

PARLINK_LinkLayer::~PARLINK_LinkLayer()
{
    // A power-cycle task emits through this object and talks to the port: let it end first.
    mPowerCycle->cancelAndWait();

    emit portClose();
    sessionStop();
    mIoThread->quit();
    mIoThread->wait();
}

PARLINK_Session *PARLINK_LinkLayer::session() const
{
    return mSession ? mSession.data() : mOwnSession;
}

void PARLINK_LinkLayer::connectSerialPortSignals()
{
    // The firmware update calls this to take the port back, also after failures before it ever took
    // it; connecting twice would hand every received byte to the receiver twice.
    disconnectSerialPortSignals();
    connect(mSerialPort, &FSerialPort::newDataReadyFromPort, this, &PARLINK_LinkLayer::portDataReady);
    connect(mSerialPort, &FSerialPort::errorOccuredOnPort, this, &PARLINK_LinkLayer::portErrorOccured);
    // The serial port thread logs on while the application shuts its logger down; from then on the
    // library has no default logger and the line is dropped.
    connect(mSerialPort, &FSerialPort::log, this, [](const QString &message) {
        if (const std::shared_ptr<spdlog::logger> logger = spdlog::default_logger())
            logger->info("{}", message.toStdString());
    });
    connect(mSerialPort, &FSerialPort::finishedOpenPort, this, &PARLINK_LinkLayer::portStateChanged);
    connect(mSerialPort, &FSerialPort::dataWrittenToPort, this, &PARLINK_LinkLayer::portDataWritten);
}

void PARLINK_LinkLayer::disconnectSerialPortSignals()
{
    disconnect(mSerialPort, nullptr, this, nullptr);
}

// ---- Status updates ------------------------------------------------------------------------------

void PARLINK_LinkLayer::sessionSetState(PARLINK_Session::PARLINK_ENUM_SESSION_STATE state)
{
    session()->setState(state);
    mInfo->setState(state);
    if (state != mLastState) {
        mLastState = state;
        emit sessionNewInfo(mInfo);
    }
}

void PARLINK_LinkLayer::sessionSetRunning(bool bRunning)
{
    mInfo->setRunning(bRunning);
    if (bRunning != mLastRunning) {
        mLastRunning = bRunning;
        emit sessionNewInfo(mInfo);
    }
}

void PARLINK_LinkLayer::sessionSetError(PARLINK_Session::PARLINK_ENUM_SESSION_ERROR error)
{
    sessionSetBurstModeState(false);
    mResponseTimer->stop();
    mBurstWatchdog->stop();
    sessionSetState(S::PARLINK_ENUM_SESSION_STATE_ERROR);

    // The code is visible in session and status object only while this one report is delivered
    // (direct connections); each report counts once.
    QPointer<PARLINK_Session> reported = session();
    reported->setError(error);
    if (error != S::PARLINK_ENUM_SESSION_NO_ERROR) {
        if (mInfo->getError() != S::PARLINK_ENUM_SESSION_NO_ERROR)
            mInfo->setErrorCount(mInfo->getErrorCount() + 1);
        mInfo->setError(error);
        emit sessionNewInfo(mInfo);
    }
    if (reported)
        reported->setError(S::PARLINK_ENUM_SESSION_NO_ERROR);
    if (mInfo->getError() != S::PARLINK_ENUM_SESSION_NO_ERROR) {
        mInfo->setErrorCount(mInfo->getErrorCount() + 1);
        mInfo->setError(S::PARLINK_ENUM_SESSION_NO_ERROR);
    }
}

void PARLINK_LinkLayer::sessionSetBurstModeState(bool bActive)
{
    mBurstMode = bActive;
    mInfo->setBurstModeActive(bActive);
    emit sessionNewInfo(mInfo);
    if (!bActive) {
        mBurstWatchdog->stop();
        emit sessionBurstModeDeactive();
        return;
    }
    if (session()->getType() != S::PARLINK_ENUM_SESSION_TYPE_SLAVE)
        mBurstWatchdog->start(BurstWatchdogMs);
    else
        QTimer::singleShot(FirstBurstDelayMs, Qt::PreciseTimer, this, &PARLINK_LinkLayer::timeoutSendBurst);
}

void PARLINK_LinkLayer::sessionBurstModeSetActivate()
{
    sessionSetBurstModeState(true);
}

void PARLINK_LinkLayer::sessionSetBurstRoundTripLatency(qulonglong ullNs)
{
    mInfo->setBurstRoundTripLatencyNs(ullNs);
    emit sessionNewInfo(mInfo);
}

void PARLINK_LinkLayer::sessionSetBaudrate(uint ulBaudrate)
{
    mInfo->setBaudrate(ulBaudrate);
    emit sessionNewInfo(mInfo);
}

void PARLINK_LinkLayer::storeRoundTrip()
{
    mInfo->setBurstRoundTripLatencyNs(mRoundTrip.isValid() ? quint64(mRoundTrip.nsecsElapsed()) : 0);
    emit sessionNewInfo(mInfo);
}

// ---- Sessions --------------------------------------------------------------------------------------

void PARLINK_LinkLayer::sessionStart(PARLINK_Session *s)
{
    ++mSessionNumber;
    mSession = s ? s : mOwnSession;
    sessionSetState(S::PARLINK_ENUM_SESSION_STATE_INACTIVE);
    mInfo->setErrorCount(0);
    mSessionRunning = true;
    sessionSetRunning(true);
    // A device behind a sub-device address answers through its sub-device and needs longer.
    const auto *running = session();
    const bool subslave = running->getAddressByte(3) != 0 || running->getAddressByte(4) != 0;
    mResponseTimeoutMs = subslave ? SubslaveResponseTimeoutMs : ResponseTimeoutMs;
}

void PARLINK_LinkLayer::sessionStop()
{
    mResponseTimer->stop();
    mBurstWatchdog->stop();
    mBurstAckDelay->stop();
    mRoundTrip.invalidate();
    sessionSetBurstModeState(false);
    sessionSetState(S::PARLINK_ENUM_SESSION_STATE_INACTIVE);
    mSessionRunning = false;
    ++mSessionNumber;
    sessionSetRunning(false);
}

void PARLINK_LinkLayer::endPowerCycle()
{
    mPowerCycle->cancel();
}

// ---- Transmission ----------------------------------------------------------------------------------

void PARLINK_LinkLayer::sessionDataTxSetBuffer(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND command,
                                               QByteArray &buffer)
{
    session()->setCommand(command);
    transmitFrame(buffer);
}

void PARLINK_LinkLayer::transmitFrame(QByteArray frame)
{
    char checksum = 0;
    for (const char byte : frame)
        checksum ^= byte;
    frame.prepend(PARLINK_FrameReceiver::MinPreambles, char(PARLINK_FrameReceiver::Preamble));
    frame.append(checksum);
    sessionSetState(S::PARLINK_ENUM_SESSION_STATE_SENDING);
    writeToTransport(frame);
}

bool PARLINK_LinkLayer::writeToTransport(const QByteArray &data)
{
    if (mHw == S::PARLINK_HW_UART) {
        postWrite(data, mSettings.singleWire, WriteKind::Session);
        return true;
    }
    if (!mBtle) {
        // Nothing would ever answer: say so instead of waiting for a write that never ends.
        sessionSetError(S::PARLINK_ENUM_SESSION_ERROR_BTLE);
        return false;
    }
    mBtle->writeToConnectedDevice(data, BtleWriteCharacteristic);
    return true;
}

void PARLINK_LinkLayer::sessionSetBuffer(QByteArray data)
{
    writeToTransport(data);
}

// The port confirms its writes one by one in the order they were queued to it, and confirms nothing
// that it could not write; the writes are recorded in that order (one lock for recording and
// queueing, as the power cycle writes from a pool thread).
void PARLINK_LinkLayer::postWrite(const QByteArray &data, bool singleWire, WriteKind kind)
{
    QMutexLocker locker(&mWritesMutex);
    // Only the link layer's own thread writes for a session; the session number stays its own.
    mPendingWrites.push_back({kind, kind == WriteKind::Session ? mSessionNumber : 0});
    emit portWriteData(data, singleWire);
}

void PARLINK_LinkLayer::forgetPendingWrites()
{
    // Every write queued before an open reached a port that was closed (or is about to be reopened),
    // so its confirmation never comes.
    QMutexLocker locker(&mWritesMutex);
    mPendingWrites.clear();
}

void PARLINK_LinkLayer::portDataWritten()
{
    if (mHw != S::PARLINK_HW_UART)
        return;
    // A confirmation nobody recorded (a write queued to the port by someone else) is taken as one of
    // the running session.
    PendingWrite write{WriteKind::Session, mSessionNumber};
    {
        QMutexLocker locker(&mWritesMutex);
        if (!mPendingWrites.empty()) {
            write = mPendingWrites.front();
            mPendingWrites.pop_front();
        }
    }
    // Only the session's own frames and acknowledgements time its replies and move its state: the
    // wake-up string may leave while a reply is being received, and a write of an earlier session
    // may be confirmed after that session has ended.
    if (write.kind == WriteKind::Session && write.session == mSessionNumber && mSessionRunning)
        writeDone();
}

void PARLINK_LinkLayer::btleDataWritten()
{
    if (mBtle && mHw == S::PARLINK_HW_BTLE && mSessionRunning)
        writeDone();
}

void PARLINK_LinkLayer::writeDone()
{
    emit sessionDataTxDone();
    const auto role = session()->getType();
    if (role == S::PARLINK_ENUM_SESSION_TYPE_MASTER) {
        if (mBurstMode)
            storeRoundTrip();
        else
            mResponseTimer->start(mResponseTimeoutMs);
    } else if (role == S::PARLINK_ENUM_SESSION_TYPE_SLAVE && mBurstMode) {
        sessionSetState(S::PARLINK_ENUM_SESSION_STATE_SENDING_DONE);
        sessionSetState(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_WAIT_FOR_BURST_ACK);
        mRoundTrip.start();
        mBurstWatchdog->start(BurstWatchdogMs);
        return;
    }
    sessionSetState(S::PARLINK_ENUM_SESSION_STATE_SENDING_DONE);
    sessionSetState(S::PARLINK_ENUM_SESSION_STATE_INACTIVE);
}

// ---- Reception -------------------------------------------------------------------------------------

void PARLINK_LinkLayer::portDataReady(QByteArray data)
{
    for (const char byte : std::as_const(data)) {
        // A delivered frame may end the session; what follows it belongs to nobody.
        if (!mSessionRunning)
            return;
        receiveByte(quint8(byte));
    }
}

void PARLINK_LinkLayer::btleNewData(QByteArray data)
{
    if (mBtle)
        portDataReady(data);
}

void PARLINK_LinkLayer::receiveByte(quint8 byte)
{
    PARLINK_Session *running = session();
    mResponseTimer->start(mResponseTimeoutMs);
    mBurstWatchdog->stop();

    PARLINK_FrameReceiver::Expectation expect;
    expect.role = running->getType();
    expect.command = running->getCommand();
    for (int i = 0; i < S::AddressSize; ++i)
        expect.address[i] = running->getAddressByte(i);
    expect.burstMode = mBurstMode;

    const auto step = mReceiver.feed(byte, running->getState(), expect);
    if (step.preambleStarted)
        mRoundTrip.start();
    if (step.command)
        running->setCommand(*step.command);
    if (step.burstAcknowledged) {
        storeRoundTrip();
        QTimer::singleShot(NextBurstDelayMs, Qt::PreciseTimer, this, &PARLINK_LinkLayer::timeoutSendBurst);
        mResponseTimer->stop();
    }
    if (step.error != S::PARLINK_ENUM_SESSION_NO_ERROR) {
        sessionSetError(step.error);
        return;
    }
    sessionSetState(step.state);
    if (step.frameComplete)
        frameReceived();
}

void PARLINK_LinkLayer::frameReceived()
{
    mResponseTimer->stop();
    mBurstWatchdog->stop();
    sessionSetState(S::PARLINK_ENUM_SESSION_STATE_SESSION_DATA_READY);
    emit sessionDataRxBufferReady(mReceiver.frame());
    // Burst frames keep coming without a request in between.
    if (session()->getType() == S::PARLINK_ENUM_SESSION_TYPE_MASTER && mBurstMode)
        sessionSetState(S::PARLINK_ENUM_SESSION_STATE_INACTIVE);
}

// ---- Time-outs and burst mode ------------------------------------------------------------------------

void PARLINK_LinkLayer::timeout()
{
    mReceiver.resynchronise();
    mResponseTimer->stop();
    sessionSetError(S::PARLINK_ENUM_SESSION_ERROR_TIMEOUT);
}

void PARLINK_LinkLayer::timeoutBurst()
{
    mReceiver.resynchronise();
    mBurstWatchdog->stop();
    sessionSetError(S::PARLINK_ENUM_SESSION_ERROR_TIMEOUT_BURSTMODE);
}

void PARLINK_LinkLayer::sessionBurstModeSetAcknowledge()
{
    mResponseTimer->stop();
    // The device needs a short pause after its frame before it listens again; the pause shrinks with
    // the line time of a byte.
    const quint32 baud = mInfo->getBaudrate();
    if (baud <= 4800) {
        mBurstAckDelay->start(10);
    } else if (baud <= 38400) {
        mBurstAckDelay->start(1);
    } else {
        mBurstAckDelay->stop();
        sendBurstAcknowledge();
    }
}

void PARLINK_LinkLayer::timeoutDelayBurstAck()
{
    mBurstAckDelay->stop();
    sendBurstAcknowledge();
}

void PARLINK_LinkLayer::sendBurstAcknowledge()
{
    if (writeToTransport(QByteArray(1, char(PARLINK_FrameReceiver::BurstAcknowledge))))
        mBurstWatchdog->start(BurstWatchdogMs);
}

void PARLINK_LinkLayer::timeoutSendBurst()
{
    // Scheduled without a timer object: a stop or an error in the meantime cancels it here.
    if (!mBurstMode || !mSessionRunning)
        return;
    QByteArray buffer;
    emit sessionDataFetchTxBufferForBurst(buffer);
    if (buffer.isEmpty())
        return;
    transmitFrame(buffer);
}

// ---- Serial port -----------------------------------------------------------------------------------

void PARLINK_LinkLayer::sessionBaudrateSetNew(uint ulNewBaudrate, bool *bSuccess)
{
    bool ok = false;
    emit portSetNewBaudrate(ulNewBaudrate, &ok);
    if (bSuccess)
        *bSuccess = ok;
    if (ok) {
        mInfo->setBaudrate(ulNewBaudrate);
        emit sessionNewInfo(mInfo);
    }
}

PARLINK_Session::PARLINK_ENUM_SESSION_ERROR PARLINK_LinkLayer::sessionErrorForPortError(
    QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
        return S::PARLINK_ENUM_SESSION_NO_ERROR;
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
    case QSerialPort::NotOpenError:
        return S::PARLINK_ENUM_SESSION_ERROR_CANT_OPEN_COMPORT;
    case QSerialPort::WriteError:
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
    case QSerialPort::UnsupportedOperationError:
        return S::PARLINK_ENUM_SESSION_ERROR_COMPORT;
    case QSerialPort::TimeoutError:
        return S::PARLINK_ENUM_SESSION_ERROR_TIMEOUT;
    default:
        return S::PARLINK_ENUM_SESSION_ERROR_UNKNOWN;
    }
}

void PARLINK_LinkLayer::portErrorOccured(QSerialPort::SerialPortError error)
{
    // The port reports its return to "no error" (at every open, and after each failure); that ends a
    // failure rather than being one.
    const auto code = sessionErrorForPortError(error);
    if (code != S::PARLINK_ENUM_SESSION_NO_ERROR)
        sessionSetError(code);
}

void PARLINK_LinkLayer::portStateChanged(bool open)
{
    mPortOpen = open;
    if (!open)
        endPowerCycle();
    emit portNewState(open);
    if (!open)
        return;
    if (mSettings.powerCycle) {
        // On the settings of this open: a later portOpen may overwrite ours while the cycle runs.
        mPowerCycle->start(mSettings);
        return;
    }
    if (session()->getType() != S::PARLINK_ENUM_SESSION_TYPE_SLAVE) {
        emit portSetDTRPin(mSettings.dtrRun);
        emit portSetRTSPin(mSettings.rtsRun);
    }
}

void PARLINK_LinkLayer::adapterSetState(PARLINK_Session::PARLINK_ENUM_ADAPTER_STATE state)
{
    switch (state) {
    case S::PARLINK_ENUM_ADAPTER_STATE_COMMUNICATION:
        emit portSetDTRPin(mSettings.dtrRun);
        emit portSetRTSPin(mSettings.rtsRun);
        break;
    case S::PARLINK_ENUM_ADAPTER_STATE_BYPASS:
        emit portSetDTRPin(mSettings.dtrClose);
        emit portSetRTSPin(mSettings.rtsClose);
        break;
    case S::PARLINK_ENUM_ADAPTER_STATE_OFF:
        emit portSetDTRPin(mSettings.dtrPowerDown);
        emit portSetRTSPin(mSettings.rtsPowerDown);
        break;
    }
}

// ---- Bluetooth LE ----------------------------------------------------------------------------------

void PARLINK_LinkLayer::setBtleConnection(BTLE_Connection *connection)
{
    if (mBtle)
        disconnect(mBtle, nullptr, this, nullptr);
    mBtle = connection;
    if (!connection)
        return;
    connect(connection, &BTLE_Connection::devicesUpdated, this, &PARLINK_LinkLayer::btleNewDevices);
    connect(connection, &BTLE_Connection::startDiscoverServiceDetails, this,
            &PARLINK_LinkLayer::btleServiceScanDone);
    connect(connection, &BTLE_Connection::readyToCommunicate, this, &PARLINK_LinkLayer::btleConnectedTo);
    connect(connection, &BTLE_Connection::dataSuccessfullyWrittenToDevice, this,
            &PARLINK_LinkLayer::btleDataWritten);
    connect(connection, &BTLE_Connection::newDataFromConnectedDeviceAvailable, this,
            &PARLINK_LinkLayer::btleNewData);
    connect(connection, &BTLE_Connection::disconnected, this, &PARLINK_LinkLayer::btleDisconnected);
    connect(connection, &BTLE_Connection::foundSpecificDevice, this, &PARLINK_LinkLayer::btleFoundSpecificDevice);
    connect(connection, &BTLE_Connection::errorOccurred, this, &PARLINK_LinkLayer::btleError);
}

BTLE_Connection *PARLINK_LinkLayer::btleConnection() const
{
    return mBtle;
}

void PARLINK_LinkLayer::btleStartScan()
{
    if (!mBtle)
        return;
    // Permanent: after a disconnection the scan resumes by itself.
    mBtle->startDeviceDiscovery(true);
    emit btleStateChanged(S::SCANNING);
}

void PARLINK_LinkLayer::btleStopScan()
{
    if (mBtle)
        mBtle->stopScanningDevices();
}

void PARLINK_LinkLayer::btleConnectTo(QString adr)
{
    if (!mBtle)
        return;
    mBtle->connectToDevice(adr);
    emit btleStateChanged(S::CONNECTING);
}

void PARLINK_LinkLayer::btleDisconnect()
{
    if (!mBtle)
        return;
    mBtle->disconnectFromDevice();
    sessionStop();
}

QVariant PARLINK_LinkLayer::btleGetDevices()
{
    QObjectList devices;
    if (mBtle) {
        for (BTLE_DeviceInfo *device : mBtle->getDevices())
            devices.append(device);
    }
    return QVariant::fromValue(devices);
}

void PARLINK_LinkLayer::btleNewDevices()
{
    if (mBtle)
        emit btleStateChanged(S::NEW_DEVICES);
}

void PARLINK_LinkLayer::btleServiceScanDone()
{
    if (mBtle)
        mBtle->discoverServiceDetails(BtleService);
}

void PARLINK_LinkLayer::btleConnectedTo(QString device)
{
    if (!mBtle)
        return;
    mBtleDeviceName = device;
    emit btleStateChanged(S::CONNECTED);
    sessionSetBaudrate(1200);
}

void PARLINK_LinkLayer::btleDisconnected()
{
    if (!mBtle)
        return;
    emit btleStateChanged(S::DISCONNECTED);
    sessionSetBaudrate(1200);
    // The connection scans again on its own; tell the user once it has had time to start.
    QTimer::singleShot(500, this, [this] { emit btleStateChanged(S::SCANNING); });
}

void PARLINK_LinkLayer::btleFoundSpecificDevice() {}

void PARLINK_LinkLayer::btleError(QString)
{
    if (!mBtle)
        return;
    emit btleStateChanged(S::HW_ERROR);
    sessionSetError(S::PARLINK_ENUM_SESSION_ERROR_BTLE);
}

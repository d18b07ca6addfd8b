#include "protocol/serial/FSerialPort.h"

#include <QElapsedTimer>
#include <QMetaType>
#include <QSerialPortInfo>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QtDebug>

#include <algorithm>
#include <utility>

namespace {
// Bounds of the wait for output that Qt still holds: a few line times of the pending bytes, at least
// long enough for the system to take a small write, and never so long that a blocked caller (the link
// layer waits on setNewBaudrate through a blocking queued call) or shutdown would hang.
constexpr int MinOutputWaitMs = 100;
constexpr int MaxOutputWaitMs = 2000;
constexpr int OutputWaitLineTimes = 3;
// The last stretch of a two-wire line time is polled rather than slept, in microseconds: a sleep may
// last a scheduler tick longer than asked.
constexpr qint64 LineTimePollUs = 2000;
} // namespace

FSerialPort::FSerialPort()
    : mRepeatTimer(new QTimer(this))
{
    registerMetaTypes();
    replacePort();
    connect(mRepeatTimer, &QTimer::timeout, this, &FSerialPort::sendData);
}

FSerialPort::~FSerialPort()
{
    mRepeatTimer->stop();
    closeIfOpen();
}

void FSerialPort::registerMetaTypes()
{
    qRegisterMetaType<FSerialPort::DataBits>("FSerialPort::DataBits");
    qRegisterMetaType<FSerialPort::Parity>("FSerialPort::Parity");
    qRegisterMetaType<FSerialPort::StopBits>("FSerialPort::StopBits");
    qRegisterMetaType<FSerialPort::FlowControl>("FSerialPort::FlowControl");
    qRegisterMetaType<QSerialPort::SerialPortError>("QSerialPort::SerialPortError");
}

int FSerialPort::bitsPerCharacter(QSerialPort::DataBits dataBits, QSerialPort::Parity parity,
                                  QSerialPort::StopBits stopBits)
{
    int bits = 1 + 1 + int(dataBits);  // start bit, one stop bit, data
    if (parity != QSerialPort::NoParity)
        ++bits;
    // One and a half stop bits are counted as two: a wait that is half a bit too long is harmless,
    // one that ends before the last stop bit has left is not.
    if (stopBits == QSerialPort::TwoStop || stopBits == QSerialPort::OneAndHalfStop)
        ++bits;
    return bits;
}

qint64 FSerialPort::transmissionTimeUs(qint64 bytes, int bitsPerCharacter, quint32 baudRate)
{
    if (baudRate == 0 || bytes <= 0 || bitsPerCharacter <= 0)
        return 0;
    // n x bits / baud x 1.05 seconds, in microseconds, rounded up.
    const qint64 scaled = bytes * bitsPerCharacter * 1'050'000;
    return (scaled + qint64(baudRate) - 1) / qint64(baudRate);
}

FSerialPort::PortListComparison FSerialPort::comparePortLists(const QStringList &stored, const QStringList &scanned)
{
    if (stored.isEmpty() || scanned.isEmpty() || stored.size() != scanned.size())
        return {scanned, scanned, true};
    QStringList sortedStored = stored;
    QStringList sortedScanned = scanned;
    sortedStored.sort(Qt::CaseSensitive);
    sortedScanned.sort(Qt::CaseSensitive);
    if (sortedStored == sortedScanned)
        return {sortedStored, sortedStored, false};
    return {sortedScanned, sortedScanned, true};
}

void FSerialPort::replacePort()
{
    if (mPort) {
        // Queued signals of the old port may still be on their way; they must not reach us.
        disconnect(mPort, nullptr, this, nullptr);
        mPort->deleteLater();
    }
    mPort = new QSerialPort(this);
    connect(mPort, &QSerialPort::readyRead, this, &FSerialPort::dataReady);
    connect(mPort, &QSerialPort::errorOccurred, this, &FSerialPort::errorOccurred);
}

void FSerialPort::openPort(QString PortToOpen, int BaudRate, FSerialPort::DataBits dataBits,
                           FSerialPort::Parity parity, FSerialPort::StopBits stopBits, FSerialPort::FlowControl flow)
{
    // QSerialPort keeps the settings of its last open and, at the next open, applies them to the line
    // as it finds it. A line that did not keep them (a pseudo-terminal drops the parity flag) then
    // refuses the first setting. Each open therefore starts from a port that has never been open. An
    // open port is left as it is: opening it again fails as before.
    if (!mPort->isOpen())
        replacePort();
    mPortLost = false;
    mPort->setPortName(PortToOpen);
    QString message;
    if (mPort->open(QIODevice::ReadWrite)) {
        if (applySettings(BaudRate, dataBits, parity, stopBits, flow)) {
            mBaudrate = quint32(BaudRate);
            mPortName = PortToOpen;
            mEchoBytesPending = 0;
            mOpen = true;
            emit finishedOpenPort(true);
            return;
        }
        message = QStringLiteral("Could not set baudrate: ");
    } else {
        message = QStringLiteral("Could not open port: ");
    }
    message += mPort->errorString();
    emit log(message);
    mOpen = false;
    mRepeatBuffer.clear();
    mRepeatTimer->stop();
    closeIfOpen();
    emit finishedOpenPort(false);
    mBaudrate = 0;
}

void FSerialPort::closePort()
{
    mRepeatBuffer.clear();
    mRepeatTimer->stop();
    mBaudrate = 0;
    mPortName.clear();
    mEchoBytesPending = 0;
    mPortLost = false;
    closeIfOpen();
    mOpen = false;
    emit finishedOpenPort(false);
}

void FSerialPort::changeSettings(int BaudRate, FSerialPort::DataBits dataBits, FSerialPort::Parity parity,
                                 FSerialPort::StopBits stopBits, FSerialPort::FlowControl flow)
{
    // A closed QSerialPort accepts any setting and applies it only at the next open; reporting that
    // as a change would leave a baud rate behind on a closed port.
    if (!mPort->isOpen()) {
        emit errorOccuredOnPort(QSerialPort::NotOpenError);
        return;
    }
    if (applySettings(BaudRate, dataBits, parity, stopBits, flow)) {
        mBaudrate = quint32(BaudRate);
        emit settingsChanged();
    } else {
        emit errorOccuredOnPort(mPort->error());
    }
}

void FSerialPort::setNewBaudrate(uint ulBaudrate, bool *bSuccess)
{
    bool success = false;
    if (mOpen && mPort->isOpen()) {
        // The bytes still queued belong to the old rate (typically the tail of the answer that asked
        // for the change), so they go first.
        const qint64 pending = mPort->bytesToWrite();
        if (pending > 0)
            waitForPendingOutput(transmissionTimeUs(pending, currentBitsPerCharacter(), mBaudrate));
        success = mPort->setBaudRate(qint32(ulBaudrate));
        if (success) {
            mBaudrate = ulBaudrate;
            // Only what arrived at the old rate is garbage; output already handed over must still
            // leave, or the tail of a reply sent at the old rate would be lost.
            mPort->clear(QSerialPort::Input);
            // An echo still expected was part of the input just discarded.
            mEchoBytesPending = 0;
            dropStaleReadReadiness();
            emit log(QStringLiteral("Changed baudrate ") + QString::number(ulBaudrate));
        } else {
            emit log(QStringLiteral("Could not change baudrate"));
            closePort();
        }
    }
    if (bSuccess)
        *bSuccess = success;
}

void FSerialPort::setDTRPin(bool high)
{
    if (setControlLine([&] { return mPort->setDataTerminalReady(high); })) {
        emit dtrSet();
        return;
    }
    qDebug("FSerialPort: Couldn`t set DTR!");
    emit log(QStringLiteral("Could not set DTR"));
}

void FSerialPort::setRTSPin(bool high)
{
    if (setControlLine([&] { return mPort->setRequestToSend(high); })) {
        emit rtsSet();
        return;
    }
    qDebug("FSerialPort: Couldn`t set RTS!");
    emit log(QStringLiteral("Could not set RTS"));
}

bool FSerialPort::setControlLine(const std::function<bool()> &set)
{
    // A control line that cannot be driven (adapters without DTR/RTS, pseudo-terminals) is reported
    // as a log text without confirmation. QSerialPort also raises it as a port error, which the link
    // layer would take for a broken line although data still flows: keep that error to ourselves.
    mControlLineChange = true;
    const bool done = set();
    if (!done)
        mPort->clearError();
    mControlLineChange = false;
    return done;
}

void FSerialPort::getCurrentBaudrate(quint32 *ulBaudrate)
{
    if (ulBaudrate)
        *ulBaudrate = mBaudrate;
}

void FSerialPort::writeDataToPort(QByteArray data)
{
    writeDataToPort(data, false);
}

void FSerialPort::writeDataToPort(QByteArray data, bool bSingleWireTransmission)
{
    // On a single-wire line the echo of an earlier write may still be unread when the next write
    // follows at once (both were queued to this thread), so pending echo bytes add up.
    if (!bSingleWireTransmission)
        mEchoBytesPending = 0;
    else
        takeInputArrivedBeforeWrite();
    const int bits = currentBitsPerCharacter();
    if (!writeAll(data))
        return;
    // Set before anything can be read: the echo of these bytes may already be in the next read.
    if (bSingleWireTransmission)
        mEchoBytesPending += data.size();

    // The answer to these bytes must not reach the link layer before their confirmation, or it would
    // be dropped as heard while sending: whatever the waits below read is handed on after it.
    mHoldingInput = true;
    const bool confirmed = waitForTransmission(data.size(), bits, bSingleWireTransmission);
    mHoldingInput = false;
    if (confirmed)
        emit dataWrittenToPort();
    if (!mHeldInput.isEmpty())
        emit newDataReadyFromPort(std::exchange(mHeldInput, QByteArray()));
}

// Waits until the bytes just queued have left the line, at the current settings. False when they did
// not reach a working port: the system refused them, or the port has lost its device.
bool FSerialPort::waitForTransmission(qint64 bytes, int bitsPerCharacter, bool singleWire)
{
    if (mPortLost)
        return false;
    // QSerialPort::write only queues. Hand the bytes to the system first, so that the line time below
    // starts when they can actually leave.
    const qint64 lineUs = transmissionTimeUs(bytes, bitsPerCharacter, mBaudrate);
    if (mPort->bytesToWrite() > 0 && !mPort->flush())
        return false;
    if (mPort->bytesToWrite() > 0)
        waitForPendingOutput(lineUs);

    // Two wires: the response time-out runs from the end of the request and nothing is heard before,
    // so the thread sleeps through all but the last stretch. Half duplex: the transceiver may only
    // turn round once the last stop bit has left, so the thread polls the clock all the way instead of
    // sleeping for a whole scheduler tick.
    QElapsedTimer line;
    line.start();
    if (!singleWire && lineUs > LineTimePollUs)
        QThread::usleep(quint64(lineUs - LineTimePollUs));
    while (line.nsecsElapsed() / 1000 < lineUs)
        QThread::yieldCurrentThread();
    return !mPortLost;
}

void FSerialPort::writeDataToPortContinuously(QByteArray data, bool stop, int msIntervall)
{
    mRepeatBuffer = data;
    if (stop)
        mRepeatTimer->stop();
    else
        mRepeatTimer->start(msIntervall);
}

void FSerialPort::getAvailablePorts()
{
    QStringList scanned;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        scanned.append(info.portName());
    const PortListComparison result = comparePortLists(mPortList, scanned);
    mPortList = result.stored;
    emit availablePorts(result.ports, result.changed);
}

void FSerialPort::dataReady()
{
    QByteArray data = mPort->readAll();
    if (data.isEmpty())
        return;
    if (mEchoBytesPending > 0) {
        if (mEchoBytesPending >= data.size()) {
            mEchoBytesPending -= data.size();
            return;
        }
        data.remove(0, qsizetype(mEchoBytesPending));
        mEchoBytesPending = 0;
    }
    if (mHoldingInput) {
        mHeldInput += data;
        return;
    }
    emit newDataReadyFromPort(data);
}

void FSerialPort::sendData()
{
    emit putPortOutputToLog(mRepeatBuffer, true);
    writeAll(mRepeatBuffer);
}

void FSerialPort::errorOccurred(QSerialPort::SerialPortError error)
{
    // The device behind the port has gone (or the system takes no more): nothing written from now on
    // reaches a line, until the port is opened again.
    if (error == QSerialPort::ResourceError && !mControlLineChange)
        mPortLost = true;
    if (mControlLineChange || mPollingInput || error == mLastError)
        return;
    mLastError = error;
    emit errorOccuredOnPort(error);
}

bool FSerialPort::applySettings(int baudRate, DataBits dataBits, Parity parity, StopBits stopBits, FlowControl flow)
{
    // A setting the port holds already is left as it is: a pseudo-terminal keeps no parity, and the
    // system refuses to set it to the same parity a second time.
    const auto keep = [](auto held, auto wanted) { return held == wanted; };
    return (keep(mPort->baudRate(), qint32(baudRate)) || mPort->setBaudRate(baudRate, QSerialPort::AllDirections))
        && (keep(mPort->dataBits(), QSerialPort::DataBits(dataBits))
            || mPort->setDataBits(QSerialPort::DataBits(dataBits)))
        && (keep(mPort->parity(), QSerialPort::Parity(parity)) || mPort->setParity(QSerialPort::Parity(parity)))
        && (keep(mPort->stopBits(), QSerialPort::StopBits(stopBits))
            || mPort->setStopBits(QSerialPort::StopBits(stopBits)))
        && (keep(mPort->flowControl(), QSerialPort::FlowControl(flow))
            || mPort->setFlowControl(QSerialPort::FlowControl(flow)));
}

int FSerialPort::currentBitsPerCharacter() const
{
    return bitsPerCharacter(mPort->dataBits(), mPort->parity(), mPort->stopBits());
}

bool FSerialPort::writeAll(const QByteArray &data)
{
    const qint64 written = mPort->write(data);
    if (written >= data.size())
        return true;
    // One report per run of failed writes, like the port's own errors.
    if (mLastError != QSerialPort::WriteError) {
        mLastError = QSerialPort::WriteError;
        emit errorOccuredOnPort(QSerialPort::WriteError);
    }
    return false;
}

void FSerialPort::waitForPendingOutput(qint64 lineUs)
{
    // Once the system has taken the bytes, Qt's confirmation may never come, so the wait is bounded.
    const int boundMs = int(std::clamp<qint64>(OutputWaitLineTimes * lineUs / 1000, MinOutputWaitMs, MaxOutputWaitMs));
    QElapsedTimer elapsed;
    elapsed.start();
    while (mPort->bytesToWrite() > 0 && !elapsed.hasExpired(boundMs)) {
        if (!mPort->waitForBytesWritten(int(std::max<qint64>(1, boundMs - elapsed.elapsed()))))
            break;
    }
    // The wait also reads what arrives meanwhile.
    dropStaleReadReadiness();
}

// On a single-wire line this write's echo follows whatever the line delivered before it. Bytes that
// arrived while this thread was busy (the line time of an earlier write) are read first, so that the
// echo of this write is not taken from the device's answer.
void FSerialPort::takeInputArrivedBeforeWrite()
{
    if (!mPort->isOpen())
        return;
    // A poll that finds nothing sets a time-out error; that is no fault of the line.
    mPollingInput = true;
    while (mPort->waitForReadyRead(0)) {
    }
    if (mPort->error() == QSerialPort::TimeoutError)
        mPort->clearError();
    mPollingInput = false;
    dropStaleReadReadiness();
}

// This thread's event loop polls the line before it runs the queued calls it found waiting, and only
// then reports the line readable. When one of those calls has read or discarded the input meanwhile
// (the polls and waits of a single-wire write, the discard after a baud-rate change), QSerialPort
// reads nothing on that report and takes it for a failed read, naming whatever errno the thread left
// behind: a sound line is reported broken or, after EAGAIN or EIO, is not read any more at all.
// Switching the port's read notifier (a child of the port) off and on drops the stale report; input
// that still waits is seen at the next poll. Where QSerialPort has no socket notifier, this does nothing.
void FSerialPort::dropStaleReadReadiness()
{
    const auto notifiers = mPort->findChildren<QSocketNotifier *>(Qt::FindDirectChildrenOnly);
    for (QSocketNotifier *notifier : notifiers) {
        if (notifier->type() == QSocketNotifier::Read && notifier->isEnabled()) {
            notifier->setEnabled(false);
            notifier->setEnabled(true);
        }
    }
}

void FSerialPort::closeIfOpen()
{
    // Closing a port that is not open makes Qt report NotOpenError, which would reach the link layer
    // as a second, false open failure.
    if (mPort->isOpen())
        mPort->close();
}

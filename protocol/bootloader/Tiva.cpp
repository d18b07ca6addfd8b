#include "protocol/bootloader/Tiva.h"

#include "protocol/bootloader/TivaParser.h"

#include <QTimer>

Tiva::Tiva(QObject *parent) : Bootloader(parent), mReplyTimer(makeTimer("replyTimer", ReplyTimeoutMs, true))
{
    mSettings = uartSettings(230400);
    connect(mReplyTimer, &QTimer::timeout, this, &Tiva::replyTimedOut);
}

Tiva::~Tiva()
{
    mReplyTimer->stop();
}

void Tiva::upload(QString fileName)
{
    Q_UNUSED(fileName)
    if (mRunning) {
        setError(BLERROR_INTERFACE_IS_NOT_OPEN);
        return;
    }
    mAction = BLACTION_UPLOAD;
}

Bootloader::BLERROR Tiva::readFirmwareFile(const QString &fileName, TIVA::Commands::DataBlock *image)
{
    if (!isFirmwareFileName(fileName))
        return BLERROR_CANT_PARSE_FILE;
    TIVA::Commands::DataBlock read;
    TIVA::Parser parser;
    // A file without a single data byte would only erase the target.
    if (!parser.getDataForTXTFile(fileName, &read) || read.data.isEmpty())
        return BLERROR_CANT_PARSE_FILE;
    // Address 0 holds the boot loader itself.
    if (read.startAddress == 0)
        return BLERROR_FILE_CONTAINS_BL;
    *image = std::move(read);
    return BLERROR_NOERROR;
}

void Tiva::download(QString fileName)
{
    if (mRunning) {
        setError(BLERROR_INTERFACE_IS_NOT_OPEN);
        return;
    }
    mError = BLERROR_NOERROR;
    TIVA::Commands::DataBlock image;
    if (const BLERROR refusal = readFirmwareFile(fileName, &image); refusal != BLERROR_NOERROR) {
        setError(refusal);
        return;
    }
    mPlan = TIVA::Commands::buildPlan(image);
    if (mPlan.isEmpty() || mPlan.first().isEmpty()) {
        setError(BLERROR_CANT_PARSE_FILE);
        return;
    }
    mPlanLoaded = true;
    mListIndex = 0;
    mPacketIndex = 0;
    mRxBuffer.clear();
    mTotalBytes = TIVA::Commands::planBytes(mPlan);
    mBytesSent = 0;
    ++mTransfer;

    mAction = BLACTION_DOWNLOAD;
    mConnected = true;
    setState(BLSTATE_CONNECTION_STARTED);
    mRunning = true;
    const QByteArray &first = mPlan.first().first().data;
    mBytesSent += first.size();
    sendBuffer(first);
}

void Tiva::newDataReadyFromInterface(QByteArray data)
{
    if (!mRunning)
        return;
    mReplyTimer->stop();
    const TIVA::Commands::TxBuffer &current = mPlan[mListIndex][mPacketIndex];
    // The reply is judged once it is complete; the rest of the same piece is dropped. Its length may
    // grow with its first bytes (a status packet after the acknowledge of a GetStatus).
    for (const char byte : std::as_const(data)) {
        if (mRxBuffer.size() >= TIVA::Commands::replyLength(current, mRxBuffer))
            break;
        mRxBuffer.append(byte);
    }
    if (mRxBuffer.size() < TIVA::Commands::replyLength(current, mRxBuffer)) {
        mReplyTimer->start(ReplyTimeoutMs);
        return;
    }
    if (!TIVA::Commands::isReplyAccepted(current.command, mRxBuffer)) {
        setError(BLERROR_NO_RESPONSE_FROM_DEVICE);
        return;
    }
    mRxBuffer.clear();

    if (++mPacketIndex >= mPlan[mListIndex].size()) {
        mPacketIndex = 0;
        ++mListIndex;
    }
    if (mListIndex >= mPlan.size()) {
        emit progress(100);
        setState(BLSTATE_DOWNLOAD_SUCCESSFULL);
        clearTransfer();
        return;
    }
    // Rounded to the nearest percent.
    emit progress(uint8_t((mBytesSent * 200 + mTotalBytes) / (2 * mTotalBytes)));
    setState(BLSTATE_DOWNLOAD_STARTED);
    const QByteArray &next = mPlan[mListIndex][mPacketIndex].data;
    mBytesSent += next.size();
    sendBuffer(next);
}

void Tiva::errorOccurredOnInterface(QSerialPort::SerialPortError error)
{
    const BLERROR code = errorForSerialPortError(error);
    if (code != BLERROR_NOERROR)
        setError(code);
}

void Tiva::dataWrittenToInterface()
{
    // A write confirmed after the transfer has ended must not arm a time-out for a reply that nobody
    // waits for.
    if (mRunning)
        mReplyTimer->start(ReplyTimeoutMs);
}

void Tiva::sendBuffer(QByteArray bytes)
{
    // Sent from the event loop, so that a reply handler has returned before the next packet leaves.
    // By then the transfer may have ended with an error, or a new one may have begun.
    const quint64 transfer = mTransfer;
    QTimer::singleShot(0, this, [this, transfer, bytes] {
        if (!mRunning || transfer != mTransfer)
            return;
        mReplyTimer->start(ReplyTimeoutMs);
        emit writeDataToInterface(bytes, mSettings.halfDuplex);
    });
}

void Tiva::setState(Bootloader::BLSTATE state)
{
    changeState(state);
}

void Tiva::setError(Bootloader::BLERROR error)
{
    if (error != mError) {
        mError = error;
        emit this->error(error);
    }
    setState(BLSTATE_ERROR);
    clearTransfer();
}

void Tiva::replyTimedOut()
{
    if (mRunning)
        setError(BLERROR_TIMEOUT);
}

void Tiva::clearTransfer()
{
    mPlanLoaded = false;
    mRunning = false;
    mPlan.clear();
    mListIndex = 0;
    mPacketIndex = 0;
    mRxBuffer.clear();
    mTotalBytes = 0;
    mBytesSent = 0;
    mReplyTimer->stop();
}

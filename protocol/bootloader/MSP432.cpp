#include "protocol/bootloader/MSP432.h"

#include "protocol/bootloader/MSPParser.h"

#include <QTimer>

#include <algorithm>

MSP432::MSP432(QObject *parent)
    : Bootloader(parent),
      mReplyTimer(makeTimer("replyTimer", ReplyTimeoutMs, false)),
      mRepeatTimer(makeTimer("repeatTimer", RepeatIntervalMs, false)),
      mConnectTimer(makeTimer("connectTimer", ConnectPauseMs, true))
{
    mSettings = uartSettings(115200);

    mPassword1.data = MSPCommands::password(1);
    mPassword2.data = MSPCommands::password(2);

    connect(mReplyTimer, &QTimer::timeout, this, &MSP432::timeOutUp);
    connect(mRepeatTimer, &QTimer::timeout, this, &MSP432::timeOutTxRepeat);
    connect(mConnectTimer, &QTimer::timeout, this, &MSP432::connected);
}

MSP432::~MSP432()
{
    mReplyTimer->stop();
    mRepeatTimer->stop();
    mConnectTimer->stop();
}

void MSP432::upload(QString fileName)
{
    Q_UNUSED(fileName)
    mAction = BLACTION_UPLOAD;
}

Bootloader::BLERROR MSP432::readFirmwareFile(const QString &fileName, QList<MSPCommands::DataBlock> *blocks)
{
    if (!isFirmwareFileName(fileName))
        return BLERROR_CANT_PARSE_FILE;
    MSPParser parser;
    QList<MSPCommands::DataBlock> read;
    const bool parsed = parser.getDataForTXTFile(fileName, &read);
    // Blocks without data would only erase the target.
    const bool hasData = std::any_of(read.cbegin(), read.cend(),
                                     [](const MSPCommands::DataBlock &block) { return !block.data.isEmpty(); });
    if (!parsed || !hasData)
        return BLERROR_CANT_PARSE_FILE;
    *blocks = std::move(read);
    return BLERROR_NOERROR;
}

void MSP432::download(QString fileName)
{
    mBlocks.clear();
    QList<MSPCommands::DataBlock> blocks;
    // Refused before the synchronisation: once the target is unlocked, it is erased.
    if (const BLERROR refusal = readFirmwareFile(fileName, &blocks); refusal != BLERROR_NOERROR) {
        setError(refusal);
        return;
    }
    mBlocks = std::move(blocks);

    mConnectTimer->stop();
    mStep = 0;
    mRxBytesExpected = 0;
    mAwaitingExtraByte = false;
    mError = BLERROR_NOERROR;
    mAction = BLACTION_DOWNLOAD;
    mConnected = true;
    changeState(BLSTATE_CONNECTION_STARTED);

    mRepeatBuffer = QByteArray(1, char(SyncByte));
    mRepeatsLeft = SyncRepeats;
    mRxBuffer.clear();
    mReplyTimer->start(ReplyTimeoutMs);
    emit writeDataToInterface(mRepeatBuffer, mSettings.halfDuplex);
    mRepeatTimer->start(RepeatIntervalMs);
}

void MSP432::timeOutTxRepeat()
{
    if (--mRepeatsLeft <= 0)
        mRepeatTimer->stop();
    mRxBuffer.clear();
    mReplyTimer->start(ReplyTimeoutMs);
    emit writeDataToInterface(mRepeatBuffer, mSettings.halfDuplex);
}

void MSP432::newDataReadyFromInterface(QByteArray data)
{
    for (const char byte : std::as_const(data)) {
        switch (mState) {
        case BLSTATE_CONNECTION_STARTED:
            // Anything but the acknowledge is noise on the line; the time-out from the last
            // synchronisation byte keeps running.
            if (quint8(byte) != 0x00)
                break;
            mReplyTimer->stop();
            mRepeatTimer->stop();
            changeState(BLSTATE_CONNECTED);
            mStep = 0;
            mConnectTimer->start(ConnectPauseMs);
            break;
        case BLSTATE_DOWNLOAD_STARTED:
            receiveReplyByte(byte);
            break;
        default:
            mReplyTimer->stop();
            break;
        }
    }
}

void MSP432::receiveReplyByte(char byte)
{
    mReplyTimer->start(ReplyTimeoutMs);
    if (mRxBytesExpected > 0) {
        mRxBuffer.append(byte);
        if (--mRxBytesExpected > 0)
            return;
        if (mSettings.halfDuplex) {
            // The time-out stays armed: a missing extra byte is a missing reply.
            mAwaitingExtraByte = true;
            return;
        }
    } else if (mAwaitingExtraByte) {
        mAwaitingExtraByte = false;
    } else {
        mReplyTimer->stop();
        return;
    }
    mReplyTimer->stop();
    txStateMachineDownload();
}

void MSP432::connected()
{
    // The pause belongs to the acknowledge that started it; after an error nothing may follow.
    if (mState != BLSTATE_CONNECTED)
        return;
    if (mAction == BLACTION_DOWNLOAD) {
        changeState(BLSTATE_DOWNLOAD_STARTED);
        txStateMachineDownload();
    } else if (mAction == BLACTION_UPLOAD) {
        changeState(BLSTATE_UPLOAD_STARTED);
    }
}

void MSP432::txStateMachineDownload()
{
    switch (mStep) {
    case 0:
        txSendCmd(MSPCommands::MSPCMD_RX_PASSWORD_32, &mPassword1);
        mStep = 1;
        mDataBlocks = 0;
        break;
    case 1:
        // The first password may be refused; the second one decides.
        txSendCmd(MSPCommands::MSPCMD_RX_PASSWORD_32, &mPassword2);
        mStep = 2;
        break;
    case 2:
        if (rxCheckBufferForError(MSPCommands::MSPCMD_RX_PASSWORD_32, nullptr))
            return;
        txSendCmd(MSPCommands::MSPCMD_MASS_ERASE, nullptr);
        mStep = 3;
        break;
    case 3:
        if (rxCheckBufferForError(MSPCommands::MSPCMD_MASS_ERASE, nullptr))
            return;
        mDataBlocks = mBlocks.size() - 1;
        txSendCmd(MSPCommands::MSPCMD_RX_DATA_BLOCK_32, &mBlocks[mDataBlocks]);
        mStep = 4;
        break;
    case 4:
        if (rxCheckBufferForError(MSPCommands::MSPCMD_RX_DATA_BLOCK_32, &mBlocks[mDataBlocks]))
            return;
        txSendCmd(MSPCommands::MSPCMD_CRC_CHECK_32, &mBlocks[mDataBlocks]);
        mStep = 5;
        break;
    case 5: {
        if (rxCheckBufferForError(MSPCommands::MSPCMD_CRC_CHECK_32, &mBlocks[mDataBlocks]))
            return;
        --mDataBlocks;
        const qsizetype blocks = mBlocks.size();
        const qsizetype verified = blocks - 1 - mDataBlocks;
        emit progress(uint8_t(std::min<qsizetype>(100, (verified + 1) * 100 / blocks)));
        if (mDataBlocks >= 0) {
            txSendCmd(MSPCommands::MSPCMD_RX_DATA_BLOCK_32, &mBlocks[mDataBlocks]);
            mStep = 4;
            break;
        }
        mStep = 0;
        txSendCmd(MSPCommands::MSPCMD_REBOOT_RESET, nullptr);
        mReplyTimer->stop();
        changeState(BLSTATE_DOWNLOAD_SUCCESSFULL);
        break;
    }
    default:
        mStep = 0;
        break;
    }
}

void MSP432::txSendCmd(MSPCommands::MSPCMD command, MSPCommands::DataBlock *block)
{
    const MSPCommands::Packet packet = MSPCommands::buildPacket(command, block);
    mRxBuffer.clear();
    mRxBytesExpected = packet.replyBytes;
    mAwaitingExtraByte = false;
    mReplyTimer->start(ReplyTimeoutMs);
    emit writeDataToInterface(packet.bytes, mSettings.halfDuplex);
}

bool MSP432::rxCheckBufferForError(MSPCommands::MSPCMD command, MSPCommands::DataBlock *block)
{
    const BLERROR error = MSPCommands::checkReply(command, block, mRxBuffer);
    if (error == BLERROR_NOERROR)
        return false;
    setError(error);
    return true;
}

void MSP432::setError(Bootloader::BLERROR error)
{
    mError = error;
    mStep = 0;
    mRxBytesExpected = 0;
    mAwaitingExtraByte = false;
    emit this->error(error);
    changeState(BLSTATE_ERROR);
    mRepeatTimer->stop();
    mReplyTimer->stop();
    mConnectTimer->stop();
}

void MSP432::timeOutUp()
{
    setError(BLERROR_TIMEOUT);
}

void MSP432::errorOccurredOnInterface(QSerialPort::SerialPortError error)
{
    const BLERROR code = errorForSerialPortError(error);
    if (code != BLERROR_NOERROR)
        setError(code);
}

void MSP432::dataWrittenToInterface()
{
    // Synchronisation bytes handed to the port before the acknowledge was seen still leave after it
    // when the port's thread is slow, and the target answers each of them with 0x00. The pause runs
    // from the last of them, so that those answers arrive during it and are not taken for the start
    // of the first password's reply. Nothing but those bytes is written while the pause runs.
    if (mState == BLSTATE_CONNECTED && mConnectTimer->isActive())
        mConnectTimer->start(ConnectPauseMs);
}

#pragma once

#include "protocol/bootloader/Bootloader.h"
#include "protocol/bootloader/MSPCommands.h"

#include <QByteArray>
#include <QList>

class QTimer;

// The boot-loader client for TI MSP432 targets. A download reads the file as blocks of at most 256
// bytes, synchronises with the target (0xFF, answered by 0x00), pauses a second, unlocks the target
// with two passwords, erases it, writes the blocks from the last to the first, has the target check
// each block's CRC and finally reboots it.
class MSP432 : public Bootloader {
    Q_OBJECT
public:
    // Milliseconds.
    static constexpr int ReplyTimeoutMs = 2000;
    static constexpr int RepeatIntervalMs = 20;
    static constexpr int ConnectPauseMs = 1000;
    // The synchronisation byte goes out once and is repeated up to this many times.
    static constexpr int SyncRepeats = 10;
    static constexpr quint8 SyncByte = 0xFF;

    explicit MSP432(QObject *parent = nullptr);
    ~MSP432() override;

    // The blocks of a firmware file as download takes them, or why download refuses the file
    // (BLERROR_CANT_PARSE_FILE). The list is set only when the file is taken.
    static BLERROR readFirmwareFile(const QString &fileName, QList<MSPCommands::DataBlock> *blocks);

public slots:
    void upload(QString fileName) override;
    void download(QString fileName) override;
    void newDataReadyFromInterface(QByteArray data) override;
    void errorOccurredOnInterface(QSerialPort::SerialPortError error) override;
    void dataWrittenToInterface() override;

private slots:
    void timeOutUp();
    void timeOutTxRepeat();

private:
    void txSendCmd(MSPCommands::MSPCMD command, MSPCommands::DataBlock *block);
    // True when the reply is judged an error, which has then been reported.
    bool rxCheckBufferForError(MSPCommands::MSPCMD command, MSPCommands::DataBlock *block);
    void txStateMachineDownload();
    void connected();
    void setError(Bootloader::BLERROR error);
    void receiveReplyByte(char byte);

    QTimer *mReplyTimer = nullptr;
    QTimer *mRepeatTimer = nullptr;
    // The pause between the target's acknowledge (or the last synchronisation byte's leaving the
    // port, when that comes later) and the first password. One timer, so that a new download or an
    // error cancels the pause of the previous one.
    QTimer *mConnectTimer = nullptr;
    QByteArray mRepeatBuffer;
    int mRepeatsLeft = 0;
    QByteArray mRxBuffer;
    QList<MSPCommands::DataBlock> mBlocks;
    MSPCommands::DataBlock mPassword1;
    MSPCommands::DataBlock mPassword2;
    int mStep = 0;
    int mRxBytesExpected = 0;
    // On a half-duplex line the target's reply is followed by one byte more, which is not part of it.
    bool mAwaitingExtraByte = false;
    bool mConnected = false;
    // The block in work; blocks go from the last to the first, so it ends at -1.
    qsizetype mDataBlocks = 0;
};

#pragma once

#include "protocol/bootloader/Bootloader.h"
#include "protocol/bootloader/TivaCommands.h"

#include <QByteArray>

class QTimer;

// The boot-loader client for TI Tiva targets. A download reads the file as one contiguous image,
// sends Ping, then Download with the image's address and length and the image in SendData packets of
// up to 72 bytes, each followed by GetStatus, and finally Reset, one packet at a time: every packet
// waits for its three-byte reply, or for the five bytes of a GetStatus answered with a status packet.
class Tiva : public Bootloader {
    Q_OBJECT
public:
    // From each write (or each piece of a reply) to the next piece of the reply.
    static constexpr int ReplyTimeoutMs = 3000;

    explicit Tiva(QObject *parent = nullptr);
    ~Tiva() override;

    // The contiguous image of a firmware file as download takes it, or why download refuses the
    // file: BLERROR_CANT_PARSE_FILE or BLERROR_FILE_CONTAINS_BL. The image is set only when the file
    // is taken.
    static BLERROR readFirmwareFile(const QString &fileName, TIVA::Commands::DataBlock *image);

public slots:
    void upload(QString fileName) override;
    void download(QString fileName) override;
    void newDataReadyFromInterface(QByteArray data) override;
    void errorOccurredOnInterface(QSerialPort::SerialPortError error) override;
    void dataWrittenToInterface() override;

private:
    void sendBuffer(QByteArray bytes);
    void setState(Bootloader::BLSTATE state);
    // Ends the transfer with an error: reported once per download and code, and nothing more is sent.
    void setError(Bootloader::BLERROR error);
    void replyTimedOut();
    void clearTransfer();

    QTimer *mReplyTimer = nullptr;
    TIVA::Commands::Plan mPlan;
    qsizetype mListIndex = 0;
    qsizetype mPacketIndex = 0;
    bool mPlanLoaded = false;
    bool mRunning = false;
    QByteArray mRxBuffer;
    qint64 mTotalBytes = 0;
    qint64 mBytesSent = 0;
    bool mConnected = false;
    // Tells a send that was scheduled for an earlier transfer from one of the current transfer.
    quint64 mTransfer = 0;
};

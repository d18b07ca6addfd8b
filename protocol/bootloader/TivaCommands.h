#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>

namespace TIVA {

// The packets of the Tiva serial boot loader, on plain bytes. A packet is its size, a CRC-8 over the
// command and payload, the command and the payload; the target answers every packet with three bytes,
// except that it may answer GetStatus in its own form: the acknowledge 00 CC, then a status packet of
// size 3 (03, its checksum, the status), five bytes in all.
class Commands : public QObject {
    Q_OBJECT
public:
    enum Cmd {
        Undefined = 0,
        Ping = 0x20,
        Download = 0x21,
        Run = 0x22,
        GetStatus = 0x23,
        SendData = 0x24,
        Reset = 0x25,
    };
    Q_ENUM(Cmd)

    enum Status {
        Success = 0x40,
        UnkownCommand = 0x41,
        InvalidCommand = 0x42,
        InvalidAddress = 0x43,
        FlashFailed = 0x44,
        CRCFailed = 0x45,
        Acknowledged = 0xCC,
        NotAcknowledged = 0x33,
    };
    Q_ENUM(Status)

    // An image (start address, length, bytes), or the data of one packet.
    struct DataBlock {
        quint32 startAddress = 0;
        quint32 length = 0;
        QByteArray data;
    };

    // One packet ready to send.
    struct TxBuffer {
        qint32 expectedReplyLength = 3;
        Cmd command = Undefined;
        QByteArray data;
    };

    // The packet lists of one download: [Ping], [Download, GetStatus, (SendData, GetStatus)...], [Reset].
    using Plan = QList<QList<TxBuffer>>;

    static constexpr int ReplyLength = 3;
    static constexpr int StatusPacketReplyLength = 5;
    static constexpr int HeaderLength = 3;
    static constexpr int MaxDataPerPacket = 72;

    explicit Commands(QObject *parent = nullptr);

    // Download carries the block's start address and length (big-endian), SendData the block's
    // bytes, every other command nothing.
    static TxBuffer buildTxBuffer(Cmd command, const DataBlock &block);
    static TxBuffer buildTxBuffer(Cmd command);
    static Plan buildPlan(const DataBlock &image);
    // The sum of the sizes of all packets of a plan.
    static qint64 planBytes(const Plan &plan);
    // The length of the reply to `buffer` whose first bytes are `received`: the buffer's expected
    // length, or five bytes once a GetStatus reply has begun 00 CC 03.
    static qsizetype replyLength(const TxBuffer &buffer, QByteArrayView received);
    // Whether a complete reply to a packet with this command accepts it. A GetStatus reply in the
    // status packet form accepts only with the status Success; read as three bytes, it would pass
    // whatever the target reports.
    static bool isReplyAccepted(Cmd command, QByteArrayView reply);
};

} // namespace TIVA

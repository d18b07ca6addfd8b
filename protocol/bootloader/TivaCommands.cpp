#include "protocol/bootloader/TivaCommands.h"

#include "protocol/bootloader/BootloaderCrc.h"

namespace TIVA {

namespace {
// The size byte of the status packet that may follow the acknowledge of a GetStatus.
constexpr quint8 StatusPacketSize = 3;

// 00 CC 03: the acknowledge, then the size of a status packet.
bool beginsAStatusPacket(QByteArrayView reply)
{
    return reply.size() >= Commands::ReplyLength && quint8(reply[0]) == 0x00
           && quint8(reply[1]) == Commands::Acknowledged && quint8(reply[2]) == StatusPacketSize;
}

void appendBigEndian32(QByteArray *bytes, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes->append(char((value >> shift) & 0xFF));
}
} // namespace

Commands::Commands(QObject *parent) : QObject(parent) {}

Commands::TxBuffer Commands::buildTxBuffer(Cmd command, const DataBlock &block)
{
    QByteArray body(1, char(command));
    if (command == Download) {
        appendBigEndian32(&body, block.startAddress);
        appendBigEndian32(&body, block.length);
    } else if (command == SendData) {
        body.append(block.data);
    }
    TxBuffer buffer;
    buffer.expectedReplyLength = ReplyLength;
    buffer.command = command;
    buffer.data.reserve(body.size() + 2);
    buffer.data.append(char(body.size() + 2));
    buffer.data.append(char(BootloaderCrc::crc8(body)));
    buffer.data.append(body);
    return buffer;
}

Commands::TxBuffer Commands::buildTxBuffer(Cmd command)
{
    return buildTxBuffer(command, DataBlock());
}

Commands::Plan Commands::buildPlan(const DataBlock &image)
{
    Plan plan;
    plan.append({buildTxBuffer(Ping)});

    QList<TxBuffer> transfer;
    transfer.append(buildTxBuffer(Download, image));
    transfer.append(buildTxBuffer(GetStatus));
    for (qsizetype offset = 0; offset < image.data.size(); offset += MaxDataPerPacket) {
        DataBlock chunk;
        chunk.data = image.data.mid(offset, MaxDataPerPacket);
        chunk.length = quint32(chunk.data.size());
        chunk.startAddress = image.startAddress + quint32(offset);
        transfer.append(buildTxBuffer(SendData, chunk));
        transfer.append(buildTxBuffer(GetStatus));
    }
    plan.append(transfer);

    plan.append({buildTxBuffer(Reset)});
    return plan;
}

qint64 Commands::planBytes(const Plan &plan)
{
    qint64 bytes = 0;
    for (const auto &list : plan) {
        for (const TxBuffer &buffer : list)
            bytes += buffer.data.size();
    }
    return bytes;
}

qsizetype Commands::replyLength(const TxBuffer &buffer, QByteArrayView received)
{
    if (buffer.command == GetStatus && beginsAStatusPacket(received))
        return StatusPacketReplyLength;
    return buffer.expectedReplyLength;
}

bool Commands::isReplyAccepted(Cmd command, QByteArrayView reply)
{
    if (reply.size() < ReplyLength)
        return false;
    switch (command) {
    case GetStatus: {
        // The checksum of the status packet is not judged: the status decides either way.
        if (beginsAStatusPacket(reply))
            return reply.size() >= StatusPacketReplyLength && quint8(reply[4]) == Success;
        // The status may follow a leading zero byte.
        const quint8 first = quint8(reply[0]) != 0 ? quint8(reply[0]) : quint8(reply[1]);
        return first == Acknowledged || first == Success;
    }
    case Ping:
    case Download:
    case Run:
    case SendData:
    case Reset:
        for (qsizetype i = 0; i < ReplyLength; ++i) {
            if (quint8(reply[i]) == Acknowledged)
                return true;
        }
        return false;
    case Undefined:
        break;
    }
    return false;
}

} // namespace TIVA

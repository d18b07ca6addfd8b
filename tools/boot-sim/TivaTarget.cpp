#include "tools/boot-sim/TivaTarget.h"

#include "tools/boot-sim/SimCrc.h"

namespace BootSim {

namespace {
constexpr qsizetype HeaderBytes = 3;

QByteArray reply(quint8 second)
{
    QByteArray bytes(3, '\0');
    bytes[1] = char(second);
    return bytes;
}

// The acknowledge, then the status packet: its size, its CRC-8 and the status.
QByteArray statusPacketReply(quint8 status)
{
    QByteArray bytes = reply(TivaTarget::Ack);
    bytes[2] = char(3);
    bytes.append(char(Crc::tiva(QByteArray(1, char(status)))));
    bytes.append(char(status));
    return bytes;
}

quint32 bigEndian32(QByteArrayView bytes, qsizetype offset)
{
    quint32 value = 0;
    for (qsizetype i = 0; i < 4; ++i)
        value = (value << 8) | quint8(bytes[offset + i]);
    return value;
}
} // namespace

QByteArray TivaTarget::receive(QByteArrayView bytes)
{
    QByteArray out;
    for (const char byte : bytes) {
        // Between packets the line may carry zeros; a packet starts with its size.
        if (mPacket.isEmpty() && quint8(byte) < HeaderBytes)
            continue;
        mPacket.append(byte);
        if (mPacket.size() < quint8(mPacket[0]))
            continue;
        const QByteArray packet = mPacket;
        mPacket.clear();
        out.append(handlePacket(packet));
    }
    return out;
}

QByteArray TivaTarget::handlePacket(const QByteArray &packet)
{
    const QByteArrayView body = QByteArrayView(packet).sliced(2);
    const quint8 command = quint8(body[0]);
    const int number = countPacket(command);

    QByteArray answer;
    if (Crc::tiva(body) != quint8(packet[1]))
        answer = reply(Nak);
    else
        answer = handleCommand(command, body.sliced(1));

    if (number == mFaults.silentOnPacket)
        return {};
    if (number == mFaults.nakOnPacket)
        return reply(Nak);
    if (number == mFaults.shortReplyOnPacket)
        return answer.left(2);
    return answer;
}

QByteArray TivaTarget::handleCommand(quint8 command, QByteArrayView payload)
{
    switch (command) {
    case Ping:
    case Run:
        mStatus = Success;
        return reply(Ack);
    case Download:
        if (payload.size() != 8) {
            mStatus = InvalidCommand;
            return reply(Ack);
        }
        mDownloadAddress = bigEndian32(payload, 0);
        mDownloadLength = bigEndian32(payload, 4);
        mNextAddress = mDownloadAddress;
        if (mFaults.refuseDownload) {
            mRemaining = 0;
            mStatus = InvalidAddress;
            return reply(Ack);
        }
        mRemaining = mDownloadLength;
        eraseFlash(mDownloadAddress, mDownloadLength);
        mStatus = Success;
        return reply(Ack);
    case GetStatus:
        return mStatusPackets ? statusPacketReply(mStatus) : reply(mStatus);
    case SendData:
        if (quint64(payload.size()) > mRemaining) {
            mStatus = InvalidAddress;
            return reply(Ack);
        }
        if (++mDataPackets == mFaults.flashFailsOnData) {
            mStatus = FlashFailed;
            return reply(Ack);
        }
        writeFlash(mNextAddress, payload);
        mNextAddress += quint32(payload.size());
        mRemaining -= quint32(payload.size());
        mStatus = Success;
        return reply(Ack);
    case Reset:
        ++mResets;
        mRemaining = 0;
        mStatus = Success;
        return reply(Ack);
    default:
        mStatus = UnknownCommand;
        return reply(Ack);
    }
}

} // namespace BootSim

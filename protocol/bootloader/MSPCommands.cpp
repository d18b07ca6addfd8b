#include "protocol/bootloader/MSPCommands.h"

#include "protocol/bootloader/BootloaderCrc.h"

namespace {

void appendLittleEndian(QByteArray *bytes, quint64 value, int count)
{
    for (int i = 0; i < count; ++i)
        bytes->append(char((value >> (8 * i)) & 0xFF));
}

quint16 littleEndian16(QByteArrayView bytes, qsizetype offset)
{
    return quint16(quint8(bytes[offset]) | (quint8(bytes[offset + 1]) << 8));
}

// The two unlock passwords, tried one after the other; each is one byte value repeated.
constexpr char FirstPasswordByte = char(0xFF);
constexpr char SecondPasswordByte = char(0x00);

} // namespace

MSPCommands::MSPCommands(QObject *parent) : QObject(parent) {}

void MSPCommands::finishBuffer(QByteArray *packet, qsizetype coreLength)
{
    const quint16 crc = BootloaderCrc::crc16(QByteArrayView(*packet).sliced(3, coreLength));
    appendLittleEndian(packet, crc, 2);
}

MSPCommands::Packet MSPCommands::buildPacket(MSPCMD command, const DataBlock *block)
{
    QByteArray core(1, char(command));
    int replyBytes = MessageReplyBytes;
    switch (command) {
    case MSPCMD_RX_DATA_BLOCK_32:
        if (block) {
            appendLittleEndian(&core, block->startAddress, 4);
            core.append(block->data);
        }
        break;
    case MSPCMD_CRC_CHECK_32:
        if (block) {
            appendLittleEndian(&core, block->startAddress, 4);
            appendLittleEndian(&core, quint64(block->data.size()), 2);
        }
        replyBytes = CrcReplyBytes;
        break;
    case MSPCMD_CRC_CHECK:
        replyBytes = block ? MessageReplyBytes : CrcReplyBytes;
        if (block)
            core.append(block->data);
        break;
    case MSPCMD_REBOOT_RESET:
        // The target restarts at once and answers nothing.
        replyBytes = 0;
        break;
    case MSPCMD_MASS_ERASE:
        break;
    default:
        if (block)
            core.append(block->data);
        break;
    }

    Packet packet;
    packet.replyBytes = replyBytes;
    packet.bytes.reserve(core.size() + 5);
    packet.bytes.append(char(Header));
    appendLittleEndian(&packet.bytes, quint64(core.size()), 2);
    packet.bytes.append(core);
    finishBuffer(&packet.bytes, core.size());
    return packet;
}

Bootloader::BLERROR MSPCommands::checkReply(MSPCMD command, const DataBlock *block, QByteArrayView reply)
{
    if (reply.size() < MessageReplyBytes)
        return Bootloader::BLERROR_RX_BUFFER_EMPTY;
    if (quint8(reply[0]) != Acknowledge || quint8(reply[1]) != Header
        || littleEndian16(reply, 2) != reply.size() - 6)
        return Bootloader::BLERROR_NO_RESPONSE_FROM_DEVICE;

    const quint8 type = quint8(reply[4]);
    if (type == MSPCMD_SPECIAL_MESSAGE && quint8(reply[5]) != MSP_DEVICE_MESSAGE_OPERATION_OK)
        return Bootloader::BLERROR_NO_RESPONSE_FROM_DEVICE;
    if (command == MSPCMD_CRC_CHECK_32) {
        // Only the target's CRC verifies a block: any other reply, however well-formed, would pass
        // a block that was never checked.
        if (type != MSPCMD_SPECIAL_DATA)
            return Bootloader::BLERROR_NO_RESPONSE_FROM_DEVICE;
        if (block && littleEndian16(reply, 5) != block->crc)
            return Bootloader::BLERROR_NO_RESPONSE_FROM_DEVICE;
    }

    const bool threeBytes =
        command == MSPCMD_CRC_CHECK_32 || (command == MSPCMD_CRC_CHECK && type != MSPCMD_SPECIAL_DATA);
    const qsizetype covered = threeBytes ? 3 : 2;
    if (reply.size() < 4 + covered + 2)
        return Bootloader::BLERROR_NO_RESPONSE_FROM_DEVICE;
    if (BootloaderCrc::crc16(reply.sliced(4, covered)) != littleEndian16(reply, 4 + covered))
        return Bootloader::BLERROR_NO_RESPONSE_FROM_DEVICE;
    return Bootloader::BLERROR_NOERROR;
}

QByteArray MSPCommands::password(int which)
{
    return QByteArray(PasswordBytes, which == 1 ? FirstPasswordByte : SecondPasswordByte);
}

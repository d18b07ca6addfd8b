#pragma once

#include "protocol/bootloader/Bootloader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>

// The packets and replies of the MSP432 serial boot loader, on plain bytes. A packet is 0x80, the
// length of its core (little-endian), the core (command byte and data) and the CRC-16 of the core,
// low byte first. A reply is an acknowledge byte 0x00 followed by a packet of the same shape whose
// core is a response type and its data.
class MSPCommands : public QObject {
    Q_OBJECT
public:
    enum MSPCMD {
        MSPCMD_UNDEF = 0,
        MSPCMD_RX_DATA_BLOCK = 0x10,
        MSPCMD_CMD_ERASE_SEGMENT = 0x12,
        MSPCMD_CMD_TOGGLE_INFO = 0x13,
        MSPCMD_MASS_ERASE = 0x15,
        MSPCMD_CRC_CHECK = 0x16,
        MSPCMD_SET_PC = 0x17,
        MSPCMD_TX_DATA_BLOCK = 0x18,
        MSPCMD_TX_BSL_VERSION_32 = 0x19,
        MSPCMD_RX_DATA_BLOCK_32 = 0x20,
        MSPCMD_RX_PASSWORD_32 = 0x21,
        MSPCMD_ERASE_SEGMENT_32 = 0x22,
        MSPCMD_REBOOT_RESET = 0x25,
        MSPCMD_CRC_CHECK_32 = 0x26,
        MSPCMD_SET_PC_32 = 0x27,
        MSPCMD_TX_DATA_BLOCK_32 = 0x28,
        MSPCMD_FACTORY_RESET = 0x30,
        MSPCMD_SPECIAL_DATA = 0x3A,
        MSPCMD_SPECIAL_MESSAGE = 0x3B,
        MSPCMD_CHANGE_BAUD_RATE = 0x52,
    };
    Q_ENUM(MSPCMD)

    enum MSPBAUD {
        MSPBAUD_UNDEF = 0,
        MSPBAUD_9600 = 2,
        MSPBAUD_19200 = 3,
        MSPBAUD_38400 = 4,
        MSPBAUD_57600 = 5,
        MSPBAUD_115200 = 6,
    };
    Q_ENUM(MSPBAUD)

    enum MSPPWD_SIZE {
        MSPPWD_SIZE_16BIT = 16,
        MSPPWD_SIZE_32BIT = 32,
        MSPPWD_SIZE_256BIT = 256,
    };
    Q_ENUM(MSPPWD_SIZE)

    enum MSPRX_ERROR {
        MSPRX_NO_ERROR = 0,
        MSPRX_ERROR_NO_ACK = 1,
        MSPRX_ERROR_WRONG_HEADER = 2,
        MSPRX_ERROR_LENGTH = 3,
        MSPRX_ERROR_CHECKSUM = 4,
        MSPRX_ERROR_MESSAGE = 5,
        MSPRX_ERROR_BUFFER_EMPTY = 6,
    };
    Q_ENUM(MSPRX_ERROR)

    enum MSP_DEVICE_ERROR {
        MSP_DEVICE_ERROR_NO_ERROR = 0,
        MSP_DEVICE_ERROR_HEADER_INCORRECT = 81,
        MSP_DEVICE_ERROR_CHECKSUM_INCORRECT = 82,
        MSP_DEVICE_ERROR_PAKET_SIZE_ZERO = 83,
        MSP_DEVICE_ERROR_PACKET_OVERFLOW = 84,
        MSP_DEVICE_ERROR_UNKOWN_ERROR = 85,
        MSP_DEVICE_ERROR_UNKOWN_BAUDRATE = 86,
    };
    Q_ENUM(MSP_DEVICE_ERROR)

    enum MSP_DEVICE_MESSAGE {
        MSP_DEVICE_MESSAGE_OPERATION_OK = 0,
        MSP_DEVICE_MESSAGE_BSL_LOCKED = 4,
        MSP_DEVICE_MESSAGE_PASSWORD_ERROR = 82,
        MSP_DEVICE_MESSAGE_UNKOWN_COMMAND = 83,
    };
    Q_ENUM(MSP_DEVICE_MESSAGE)

    // One block of the image, or the data of one command (a password).
    struct DataBlock {
        QByteArray data;
        quint32 startAddress = 0;
        quint16 crc = 0xFFFF;
    };

    struct Packet {
        QByteArray bytes;
        int replyBytes = 0; // reply bytes awaited, without the extra byte of a half-duplex line
    };

    static constexpr quint8 Header = 0x80;
    static constexpr quint8 Acknowledge = 0x00;
    static constexpr int PasswordBytes = 256;
    // Acknowledge, header, two length bytes, response type, message, two CRC bytes.
    static constexpr int MessageReplyBytes = 8;
    // A CRC check's reply carries two CRC bytes in place of the message.
    static constexpr int CrcReplyBytes = 9;

    explicit MSPCommands(QObject *parent = nullptr);

    // Appends the CRC-16 of the core, which starts after the header and the two length bytes.
    static void finishBuffer(QByteArray *packet, qsizetype coreLength);
    static Packet buildPacket(MSPCMD command, const DataBlock *block);
    // The client error for a complete reply to a command, BLERROR_NOERROR when it is accepted.
    static Bootloader::BLERROR checkReply(MSPCMD command, const DataBlock *block, QByteArrayView reply);
    // The two unlock passwords, 1 and 2, 256 bytes each.
    static QByteArray password(int which);
};

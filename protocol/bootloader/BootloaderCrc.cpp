#include "protocol/bootloader/BootloaderCrc.h"

namespace BootloaderCrc {

quint8 crc8(QByteArrayView bytes)
{
    quint8 crc = 0xFF;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80) ? quint8((crc << 1) ^ 0x31) : quint8(crc << 1);
    }
    return crc;
}

quint16 crc16(QByteArrayView bytes)
{
    quint16 crc = 0xFFFF;
    for (const char byte : bytes) {
        crc ^= quint16(quint8(byte) << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
    }
    return crc;
}

} // namespace BootloaderCrc

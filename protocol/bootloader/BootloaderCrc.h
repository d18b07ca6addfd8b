#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// The checksums of the boot-loader protocols, on plain bytes.
namespace BootloaderCrc {

// CRC-8 of a Tiva packet: polynomial 0x31, initial value 0xFF, most-significant bit first, no
// reflection, no final XOR.
quint8 crc8(QByteArrayView bytes);

// CRC-16/CCITT-FALSE: polynomial 0x1021, initial value 0xFFFF, most-significant bit first, no
// reflection, no final XOR. The MSP432 boot loader frames its packets with it and computes it over
// written memory; the TI-TXT block list carries it per block.
quint16 crc16(QByteArrayView bytes);

} // namespace BootloaderCrc

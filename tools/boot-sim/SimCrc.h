#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <array>

// The boot loaders' checksums as the targets compute them: table-driven, and written apart from the
// program's own, so that a fault in one is not hidden by the same fault in the other.
namespace BootSim::Crc {

constexpr std::array<quint8, 256> crc8Table()
{
    std::array<quint8, 256> table{};
    for (int i = 0; i < 256; ++i) {
        quint8 value = quint8(i);
        for (int bit = 0; bit < 8; ++bit)
            value = quint8((value & 0x80) ? (value << 1) ^ 0x31 : value << 1);
        table[std::size_t(i)] = value;
    }
    return table;
}

constexpr std::array<quint16, 256> crc16Table()
{
    std::array<quint16, 256> table{};
    for (int i = 0; i < 256; ++i) {
        quint16 value = quint16(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            value = quint16((value & 0x8000) ? (value << 1) ^ 0x1021 : value << 1);
        table[std::size_t(i)] = value;
    }
    return table;
}

// Tiva packets: polynomial 0x31, start 0xFF.
inline quint8 tiva(QByteArrayView bytes)
{
    static constexpr auto table = crc8Table();
    quint8 crc = 0xFF;
    for (const char byte : bytes)
        crc = table[quint8(crc ^ quint8(byte))];
    return crc;
}

// MSP432 packets and memory checks: polynomial 0x1021, start 0xFFFF.
inline quint16 msp432(QByteArrayView bytes)
{
    static constexpr auto table = crc16Table();
    quint16 crc = 0xFFFF;
    for (const char byte : bytes)
        crc = quint16((crc << 8) ^ table[quint8((crc >> 8) ^ quint8(byte))]);
    return crc;
}

} // namespace BootSim::Crc

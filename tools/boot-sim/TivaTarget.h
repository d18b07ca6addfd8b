#pragma once

#include "tools/boot-sim/BootTarget.h"

#include <QList>

namespace BootSim {

// Faults on purpose. Packets are counted from 1 over the whole life of the target; 0 is off.
struct TivaFaults {
    int silentOnPacket = 0;     // no reply at all (the program runs into its time-out)
    int nakOnPacket = 0;        // 00 33 00 (not acknowledged)
    int shortReplyOnPacket = 0; // only the first two reply bytes (time-out)
    int flashFailsOnData = 0;   // this SendData (counted from 1) is not written; the next
                                // GetStatus reports FlashFailed
    bool refuseDownload = false; // Download is acknowledged but not carried out, as for an address
                                 // the target does not take: nothing is erased, the next GetStatus
                                 // reports InvalidAddress, and no SendData is written
};

// A Tiva serial boot loader as the program sees it. Packets: size, CRC-8 over command and payload,
// command, payload. Every packet is answered with three bytes: 00 CC 00 when taken, 00 33 00 when
// refused, and GetStatus with 00, the status of the last command, 00; or, in the boot loader's own
// answer form, GetStatus with the acknowledge 00 CC and a status packet: 03, the CRC-8 of the status,
// the status (nothing is awaited in return). Download announces the address and length of the image
// and erases that range, SendData writes the next bytes, Reset restarts.
class TivaTarget : public BootTarget {
public:
    enum Command : quint8 { Ping = 0x20, Download = 0x21, Run = 0x22, GetStatus = 0x23, SendData = 0x24, Reset = 0x25 };
    enum Status : quint8 {
        Success = 0x40,
        UnknownCommand = 0x41,
        InvalidCommand = 0x42,
        InvalidAddress = 0x43,
        FlashFailed = 0x44,
        Ack = 0xCC,
        Nak = 0x33,
    };

    explicit TivaTarget(const TivaFaults &faults = TivaFaults()) : mFaults(faults) {}

    QByteArray receive(QByteArrayView bytes) override;

    // Whether GetStatus is answered with a status packet (off by default).
    void setStatusPackets(bool on) { mStatusPackets = on; }

    // The range the last Download announced.
    quint32 downloadAddress() const { return mDownloadAddress; }
    quint32 downloadLength() const { return mDownloadLength; }

private:
    QByteArray handlePacket(const QByteArray &packet);
    QByteArray handleCommand(quint8 command, QByteArrayView payload);

    TivaFaults mFaults;
    QByteArray mPacket;
    bool mStatusPackets = false;
    quint8 mStatus = Success;
    quint32 mDownloadAddress = 0;
    quint32 mDownloadLength = 0;
    quint32 mNextAddress = 0;
    quint32 mRemaining = 0;
    int mDataPackets = 0;
};

} // namespace BootSim

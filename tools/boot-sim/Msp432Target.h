#pragma once

#include "tools/boot-sim/BootTarget.h"

#include <QList>

namespace BootSim {

// Faults on purpose. Packets are counted from 1 over the whole life of the target (the first
// password is packet 1); 0 is off.
struct Msp432Faults {
    int ignoredSyncBytes = 0;           // the first N synchronisation bytes go unanswered
    bool refusePassword = false;        // every password is refused (message 0x52)
    int silentOnPacket = 0;             // no reply at all
    int shortReplyOnPacket = 0;         // the reply loses its last byte
    int messageOnPacket = 0;            // answered with the message below instead
    quint8 message = 0x05;
    int wrongAcknowledgeOnPacket = 0;   // 0x51 in place of the acknowledge 0x00
    int wrongHeaderOnPacket = 0;        // 0x81 in place of the header 0x80
    int wrongLengthOnPacket = 0;        // a length one too large
    int wrongReplyCrcOnPacket = 0;      // the reply's CRC inverted
    int missingExtraByteOnPacket = 0;   // the half-duplex extra byte does not come
    int corruptWriteOnBlock = 0;        // this block write (counted from 1) stores its first byte
                                        // inverted, so its CRC check differs
    int messageForCrcCheck = 0;         // this CRC check (counted from 1) is answered with a
                                        // well-formed message reply 3B 00 00 in place of the data
};

// An MSP432 serial boot loader as the program sees it. A synchronisation byte 0xFF is answered with
// 0x00. Packets are 0x80, the core length (little-endian), the core and its CRC-16 (low byte first);
// each is answered with the acknowledge 0x00 and a reply packet of the same shape: a message (0x3B and
// a message byte, 0 for done) or, for a CRC check, data (0x3A and the CRC of the memory range). On a
// half-duplex line one byte more follows every reply. The target is locked until a password is
// accepted; a reboot sends nothing and locks it again.
class Msp432Target : public BootTarget {
public:
    enum Command : quint8 {
        RxDataBlock32 = 0x20,
        RxPassword32 = 0x21,
        MassErase = 0x15,
        RebootReset = 0x25,
        CrcCheck32 = 0x26,
    };
    enum Message : quint8 { Done = 0x00, Locked = 0x04, PasswordError = 0x52, UnknownCommand = 0x53 };
    static constexpr quint8 Data = 0x3A;
    static constexpr quint8 MessageType = 0x3B;
    static constexpr quint8 ChecksumError = 0x52;

    explicit Msp432Target(const Msp432Faults &faults = Msp432Faults()) : mFaults(faults) {}

    QByteArray receive(QByteArrayView bytes) override;

    // Whether replies are followed by one byte more, and its value (on by default).
    void setExtraByte(bool on, quint8 value = 0x00)
    {
        mExtraByte = on;
        mExtraByteValue = value;
    }
    // The password that unlocks the target; empty (the default) takes any password.
    void setPassword(const QByteArray &password) { mPassword = password; }

    int syncBytesReceived() const { return mSyncBytes; }
    int massErases() const { return mMassErases; }
    bool isUnlocked() const { return mUnlocked; }
    // The addresses of the blocks written, in order.
    const QList<quint32> &blocksWritten() const { return mBlockAddresses; }

private:
    QByteArray handlePacket(const QByteArray &core, bool crcRight);
    QByteArray handleCommand(quint8 command, QByteArrayView data, bool *noReply);
    QByteArray frame(const QByteArray &core, int number) const;

    enum class Rx { Idle, Length, Core, Crc };

    Msp432Faults mFaults;
    Rx mRx = Rx::Idle;
    QByteArray mLength;
    QByteArray mCore;
    QByteArray mCrc;
    quint16 mCoreLength = 0;
    QList<quint32> mBlockAddresses;
    QByteArray mPassword;
    bool mUnlocked = false;
    bool mExtraByte = true;
    quint8 mExtraByteValue = 0x00;
    int mSyncBytes = 0;
    int mMassErases = 0;
    int mBlockWrites = 0;
    int mCrcChecks = 0;
};

} // namespace BootSim

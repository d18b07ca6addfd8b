#include "tools/boot-sim/Msp432Target.h"

#include "tools/boot-sim/SimCrc.h"

namespace BootSim {

namespace {
constexpr quint8 SyncByte = 0xFF;
constexpr quint8 Header = 0x80;
constexpr quint8 Acknowledge = 0x00;
constexpr quint8 WrongAcknowledge = 0x51;
// The largest core the target takes: a command, a 4-byte address and 256 data bytes, or a password.
constexpr quint16 MaxCoreBytes = 261;
constexpr quint8 SizeZero = 0x53;
constexpr quint8 Overflow = 0x54;

quint32 littleEndian(QByteArrayView bytes, qsizetype offset, int count)
{
    quint32 value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes[offset + i]);
    return value;
}

void appendLittleEndian16(QByteArray *bytes, quint16 value)
{
    bytes->append(char(value & 0xFF));
    bytes->append(char(value >> 8));
}

QByteArray message(quint8 value)
{
    QByteArray core;
    core.append(char(Msp432Target::MessageType));
    core.append(char(value));
    return core;
}
} // namespace

QByteArray Msp432Target::receive(QByteArrayView bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        const quint8 byte = quint8(c);
        switch (mRx) {
        case Rx::Idle:
            if (byte == SyncByte) {
                if (++mSyncBytes > mFaults.ignoredSyncBytes)
                    out.append(char(Acknowledge));
            } else if (byte == Header) {
                mLength.clear();
                mRx = Rx::Length;
            }
            break;
        case Rx::Length:
            mLength.append(c);
            if (mLength.size() < 2)
                break;
            mCoreLength = quint16(littleEndian(mLength, 0, 2));
            if (mCoreLength == 0 || mCoreLength > MaxCoreBytes) {
                out.append(char(mCoreLength == 0 ? SizeZero : Overflow));
                mRx = Rx::Idle;
                break;
            }
            mCore.clear();
            mRx = Rx::Core;
            break;
        case Rx::Core:
            mCore.append(c);
            if (mCore.size() == mCoreLength) {
                mCrc.clear();
                mRx = Rx::Crc;
            }
            break;
        case Rx::Crc:
            mCrc.append(c);
            if (mCrc.size() < 2)
                break;
            mRx = Rx::Idle;
            out.append(handlePacket(mCore, Crc::msp432(mCore) == quint16(littleEndian(mCrc, 0, 2))));
            break;
        }
    }
    return out;
}

QByteArray Msp432Target::handlePacket(const QByteArray &core, bool crcRight)
{
    const quint8 command = quint8(core[0]);
    const int number = countPacket(command);
    if (!crcRight)
        return QByteArray(1, char(ChecksumError));

    bool noReply = false;
    QByteArray replyCore = handleCommand(command, QByteArrayView(core).sliced(1), &noReply);
    if (noReply || number == mFaults.silentOnPacket)
        return {};
    if (number == mFaults.messageOnPacket)
        replyCore = message(mFaults.message);
    QByteArray out = frame(replyCore, number);
    if (number == mFaults.shortReplyOnPacket)
        out.chop(1);
    if (mExtraByte && number != mFaults.missingExtraByteOnPacket)
        out.append(char(mExtraByteValue));
    return out;
}

QByteArray Msp432Target::handleCommand(quint8 command, QByteArrayView data, bool *noReply)
{
    switch (command) {
    case RxPassword32:
        if (mFaults.refusePassword || data.size() != 256 || (!mPassword.isEmpty() && data != mPassword))
            return message(PasswordError);
        mUnlocked = true;
        return message(Done);
    case MassErase:
        if (!mUnlocked)
            return message(Locked);
        ++mMassErases;
        eraseFlash();
        return message(Done);
    case RxDataBlock32: {
        if (!mUnlocked)
            return message(Locked);
        if (data.size() < 4)
            return message(UnknownCommand);
        const quint32 address = littleEndian(data, 0, 4);
        QByteArray bytes = data.sliced(4).toByteArray();
        if (++mBlockWrites == mFaults.corruptWriteOnBlock && !bytes.isEmpty())
            bytes[0] = char(~bytes[0]);
        writeFlash(address, bytes);
        mBlockAddresses.append(address);
        return message(Done);
    }
    case CrcCheck32: {
        if (!mUnlocked)
            return message(Locked);
        if (data.size() != 6)
            return message(UnknownCommand);
        const quint32 address = littleEndian(data, 0, 4);
        const quint16 length = quint16(littleEndian(data, 4, 2));
        const quint16 crc = Crc::msp432(flash(address, length));
        QByteArray core;
        if (++mCrcChecks == mFaults.messageForCrcCheck) {
            core = message(Done);
            core.append('\0');
            return core;
        }
        core.append(char(Data));
        appendLittleEndian16(&core, crc);
        return core;
    }
    case RebootReset:
        ++mResets;
        mUnlocked = false;
        *noReply = true;
        return {};
    default:
        return message(UnknownCommand);
    }
}

QByteArray Msp432Target::frame(const QByteArray &core, int number) const
{
    QByteArray out;
    out.append(char(number == mFaults.wrongAcknowledgeOnPacket ? WrongAcknowledge : Acknowledge));
    out.append(char(number == mFaults.wrongHeaderOnPacket ? Header + 1 : Header));
    appendLittleEndian16(&out, quint16(core.size() + (number == mFaults.wrongLengthOnPacket ? 1 : 0)));
    out.append(core);
    quint16 crc = Crc::msp432(core);
    if (number == mFaults.wrongReplyCrcOnPacket)
        crc = quint16(~crc);
    appendLittleEndian16(&out, crc);
    return out;
}

} // namespace BootSim

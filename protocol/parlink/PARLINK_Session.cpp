#include "protocol/parlink/PARLINK_Session.h"

#include "protocol/parlink/PARLINK_FieldCodec.h"
#include "protocol/parlink/PARLINK_SessionInfo.h"

#include <QMetaType>

#include <algorithm>

namespace {
// A queue slot that an entry has left.
constexpr quint32 FreedQueueSlot = 255;
} // namespace

PARLINK_Session::PARLINK_Session(QObject *parent) : QObject(parent)
{
    mDefaultMap = getDataMapStandardLayout();
    mDataMap = mDefaultMap;
}

PARLINK_Session::PARLINK_Session(const PARLINK_Session &other)
    : QObject(nullptr),
      mCommand(other.mCommand),
      mError(other.mError),
      mState(other.mState),
      mType(other.mType),
      mQueueCommands(other.mQueueCommands),
      mQueueRepeatCounts(other.mQueueRepeatCounts),
      mQueueLength(other.mQueueLength),
      mBuffer(other.mBuffer),
      mAddress(other.mAddress),
      mDataMap(other.mDataMap),
      mDefaultMap(other.mDefaultMap)
{
}

void PARLINK_Session::registerMetaTypes()
{
    FSerialPort::registerMetaTypes();
    qRegisterMetaType<PARLINK_Session>("PARLINK_Session");
    qRegisterMetaType<PARLINK_Session::InterfaceSettings>("PARLINK_Session::InterfaceSettings");
    qRegisterMetaType<PARLINK_Session *>("PARLINK_Session*");
    qRegisterMetaType<PARLINK_SessionInfo *>("PARLINK_SessionInfo*");
    qRegisterMetaType<PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND>();
    qRegisterMetaType<PARLINK_Session::PARLINK_ENUM_SESSION_ERROR>();
    qRegisterMetaType<PARLINK_Session::PARLINK_ENUM_SESSION_STATE>();
    qRegisterMetaType<PARLINK_Session::PARLINK_ENUM_SESSION_TYPE>();
    qRegisterMetaType<PARLINK_Session::PARLINK_ENUM_ADAPTER_STATE>();
    qRegisterMetaType<PARLINK_Session::PARLINK_HW>();
    qRegisterMetaType<PARLINK_Session::BTLE_STATE>();
}

void PARLINK_Session::getDefaultDataForCommand(PARLINK_ENUM_SESSION_COMMAND command, FieldMap *data) const
{
    if (data)
        *data = mDefaultMap.value(getCommandStringForCommandMap(command));
}

void PARLINK_Session::getDataForCommand(PARLINK_ENUM_SESSION_COMMAND command, FieldMap *data) const
{
    if (data)
        *data = mDataMap.value(getCommandStringForCommandMap(command));
}

void PARLINK_Session::setDataForCommand(PARLINK_ENUM_SESSION_COMMAND command, const FieldMap &data)
{
    mDataMap.insert(getCommandStringForCommandMap(command), data);
}

void PARLINK_Session::clearData()
{
    mDataMap = mDefaultMap;
}

void PARLINK_Session::setBuffer(const QByteArray &buffer)
{
    mBuffer = buffer;
}

QByteArray PARLINK_Session::getBuffer() const
{
    return mBuffer;
}

QString PARLINK_Session::getCommandStringForCommandMap(int command)
{
    if (command >= PARLINK_ENUM_SESSION_COMMAND_128 && command <= PARLINK_ENUM_SESSION_COMMAND_143)
        return QString::number(command);
    return QStringLiteral("0");
}

QMap<QString, PARLINK_Session::FieldMap> PARLINK_Session::getDataMapStandardLayout() const
{
    QMap<QString, FieldMap> layout;
    for (int command = PARLINK_ENUM_SESSION_COMMAND_128; command <= PARLINK_ENUM_SESSION_COMMAND_143; ++command) {
        const QString key = getCommandStringForCommandMap(command);
        layout.insert(key, getDataStandardLayoutForCommand(key));
    }
    return layout;
}

PARLINK_Session::FieldMap PARLINK_Session::getDataStandardLayoutForCommand(const QString &key) const
{
    bool ok = false;
    const int command = key.toInt(&ok);
    // "0128" or "+128" are not keys of the map.
    if (!ok || getCommandStringForCommandMap(command) != key)
        return PARLINK_FieldCodec::standardFields(0);
    return PARLINK_FieldCodec::standardFields(command);
}

PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND PARLINK_Session::getCommand() const
{
    return mCommand;
}

void PARLINK_Session::setCommand(PARLINK_ENUM_SESSION_COMMAND command)
{
    mCommand = command;
}

PARLINK_Session::PARLINK_ENUM_SESSION_ERROR PARLINK_Session::getError() const
{
    return mError;
}

void PARLINK_Session::setError(PARLINK_ENUM_SESSION_ERROR error)
{
    mError = error;
}

PARLINK_Session::PARLINK_ENUM_SESSION_STATE PARLINK_Session::getState() const
{
    return mState;
}

void PARLINK_Session::setState(PARLINK_ENUM_SESSION_STATE state)
{
    mState = state;
}

PARLINK_Session::PARLINK_ENUM_SESSION_TYPE PARLINK_Session::getType() const
{
    return mType;
}

void PARLINK_Session::setType(PARLINK_ENUM_SESSION_TYPE type)
{
    mType = type;
}

QByteArray PARLINK_Session::getAddress() const
{
    QByteArray address;
    for (const quint8 byte : mAddress)
        address.append(char(byte));
    return address;
}

void PARLINK_Session::setAddress(const QByteArray &address)
{
    for (int i = 0; i < AddressSize; ++i)
        mAddress[i] = i < address.size() ? quint8(address[i]) : 0;
}

quint8 PARLINK_Session::getAddressByte(int index) const
{
    return index >= 0 && index < AddressSize ? mAddress[index] : 0;
}

bool PARLINK_Session::appendCommandToQueue(PARLINK_ENUM_SESSION_COMMAND command, quint8 repeatCount)
{
    if (mQueueLength >= QueueCapacity || repeatCount == 0)
        return false;
    mQueueCommands[mQueueLength] = quint32(command);
    mQueueRepeatCounts[mQueueLength] = repeatCount;
    ++mQueueLength;
    return true;
}

PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND PARLINK_Session::takeCommandFromQueue()
{
    if (mQueueLength == 0)
        return PARLINK_ENUM_SESSION_NO_COMMAND;
    const auto command = PARLINK_ENUM_SESSION_COMMAND(mQueueCommands[0]);
    // A repeat count of 0 cannot be queued through appendCommandToQueue; treat it like 1 rather than
    // wrapping to 255 repeats.
    if (mQueueRepeatCounts[0] > 0)
        --mQueueRepeatCounts[0];
    if (mQueueRepeatCounts[0] == 0) {
        std::copy(mQueueCommands.begin() + 1, mQueueCommands.begin() + mQueueLength, mQueueCommands.begin());
        std::copy(mQueueRepeatCounts.begin() + 1, mQueueRepeatCounts.begin() + mQueueLength,
                  mQueueRepeatCounts.begin());
        --mQueueLength;
        mQueueCommands[mQueueLength] = FreedQueueSlot;
        mQueueRepeatCounts[mQueueLength] = 0;
    }
    return command;
}

void PARLINK_Session::clearQueue()
{
    mQueueCommands.fill(0);
    mQueueRepeatCounts.fill(0);
    mQueueLength = 0;
}

int PARLINK_Session::getQueueLength() const
{
    return mQueueLength;
}

quint32 PARLINK_Session::getQueuedCommand(int index) const
{
    return index >= 0 && index < QueueCapacity ? mQueueCommands[index] : 0;
}

quint8 PARLINK_Session::getQueuedRepeatCount(int index) const
{
    return index >= 0 && index < QueueCapacity ? mQueueRepeatCounts[index] : 0;
}

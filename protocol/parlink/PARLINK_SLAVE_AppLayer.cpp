#include "protocol/parlink/PARLINK_SLAVE_AppLayer.h"

#include "protocol/parlink/PARLINK_FieldCodec.h"

#include <algorithm>

namespace {

using Session = PARLINK_Session;
using FieldMap = QMap<QString, QVariant>;
using PARLINK_FieldCodec::CommandOffset;
using PARLINK_FieldCodec::PayloadOffset;

int statusLow(const FieldMap &fields)
{
    return fields.value(QStringLiteral("Status Low")).toInt();
}

// Keeps an answer's byte count equal to its length: the count is one byte and a master accepts at
// most 98 bytes of memory data, and the field maps hold eight variables.
void clampToSendable(Session::PARLINK_ENUM_SESSION_COMMAND command, FieldMap &reply, FieldMap &request)
{
    const auto clamp = [](FieldMap &fields, const QString &key, quint32 most) {
        if (fields.value(key).toUInt() > most)
            fields[key] = int(most);
    };
    switch (command) {
    case Session::PARLINK_ENUM_SESSION_COMMAND_130:
        clamp(request, QStringLiteral("BytesToRead"), PARLINK_SLAVE_AppLayer::MaxBytesToRead);
        break;
    case Session::PARLINK_ENUM_SESSION_COMMAND_138:
        clamp(reply, QStringLiteral("Number of Devicevariables"), PARLINK_SLAVE_AppLayer::MaxVariables);
        break;
    case Session::PARLINK_ENUM_SESSION_COMMAND_139:
        clamp(reply, QStringLiteral("Number of Burstvariables"), PARLINK_SLAVE_AppLayer::MaxVariables);
        break;
    default:
        break;
    }
}

} // namespace

PARLINK_SLAVE_AppLayer::PARLINK_SLAVE_AppLayer(QObject *parent)
    : QObject(parent), mRequestSession(new PARLINK_Session(this)), mOwnSession(new PARLINK_Session(this))
{
}

PARLINK_Session *PARLINK_SLAVE_AppLayer::replySession() const
{
    return mReplySession ? mReplySession.data() : mOwnSession;
}

void PARLINK_SLAVE_AppLayer::startSession(PARLINK_Session *session)
{
    mActive = true;
    mBaudrateChangePending = false;
    mReplySession = session;
    emit sessionStart(replySession());
}

void PARLINK_SLAVE_AppLayer::stopSession()
{
    emit sessionStop();
    mActive = false;
    mBaudrateChangePending = false;
}

void PARLINK_SLAVE_AppLayer::setRequestDataSets()
{
    const QByteArray frame = mRequestSession->getBuffer();
    const Session::PARLINK_ENUM_SESSION_COMMAND command = mRequestSession->getCommand();
    // The decoder never reads past the frame: fields whose bytes a short request lacks keep their
    // standard value 0, as if the request had been zero-filled.
    const FieldMap fields = PARLINK_FieldCodec::decodeRequest(command, frame.mid(PayloadOffset));
    if (command == Session::PARLINK_ENUM_SESSION_COMMAND_129)
        mNewBaudrate = fields.value(QStringLiteral("Baudrate")).toUInt();
    mRequestSession->setDataForCommand(command, fields);
}

void PARLINK_SLAVE_AppLayer::sessionDataReady(QByteArray buffer)
{
    if (!mActive || buffer.size() <= 5)
        return;

    // A frame cut before its command byte has none; it is answered as an unknown command.
    const auto command = Session::PARLINK_ENUM_SESSION_COMMAND(
        buffer.size() > CommandOffset ? quint8(buffer.at(CommandOffset)) : 0);
    mRequestSession->setCommand(command);
    mRequestSession->setBuffer(buffer);
    setRequestDataSets();
    emit sessionRequestDecoded(mRequestSession);

    QByteArray response = buildResponse(command);
    PARLINK_Session *reply = replySession();
    reply->setBuffer(response);
    emit sessionDataTxSetBuffer(command, response);
    emit sessionNewData(mRequestSession);
}

QByteArray PARLINK_SLAVE_AppLayer::buildResponse(Session::PARLINK_ENUM_SESSION_COMMAND command)
{
    PARLINK_Session *reply = replySession();
    FieldMap replyFields;
    reply->getDataForCommand(command, &replyFields);
    FieldMap requestFields;
    mRequestSession->getDataForCommand(command, &requestFields);
    clampToSendable(command, replyFields, requestFields);

    if (command == Session::PARLINK_ENUM_SESSION_COMMAND_129 && statusLow(replyFields) == 0)
        mBaudrateChangePending = true;
    if (command == Session::PARLINK_ENUM_SESSION_COMMAND_142 && statusLow(replyFields) == 0)
        emit sessionBurstModeSetActivate();

    return PARLINK_FieldCodec::encodeResponseFrame(command, reply->getAddress(), replyFields, requestFields);
}

void PARLINK_SLAVE_AppLayer::sessionDataWritten()
{
    if (!mActive)
        return;
    if (mBaudrateChangePending) {
        mBaudrateChangePending = false;
        changeBaudrate();
    }
}

void PARLINK_SLAVE_AppLayer::changeBaudrate()
{
    bool ok = false;
    emit sessionBaudrateSetNew(mNewBaudrate, &ok);
}

void PARLINK_SLAVE_AppLayer::sessionBurstModeSetData(QByteArray &buffer)
{
    if (!mActive)
        return;
    mRequestSession->setCommand(Session::PARLINK_ENUM_SESSION_COMMAND_139);
    PARLINK_Session *reply = replySession();
    FieldMap replyFields;
    reply->getDataForCommand(Session::PARLINK_ENUM_SESSION_COMMAND_139, &replyFields);
    FieldMap requestFields;
    clampToSendable(Session::PARLINK_ENUM_SESSION_COMMAND_139, replyFields, requestFields);
    buffer = PARLINK_FieldCodec::encodeResponseFrame(Session::PARLINK_ENUM_SESSION_COMMAND_139,
                                                     reply->getAddress(), replyFields);
}

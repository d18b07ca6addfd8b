#include "protocol/parlink/PARLINK_MASTER_AppLayer.h"

#include "protocol/parlink/PARLINK_FieldCodec.h"

#include <QTimer>

#include <algorithm>

namespace {

using Session = PARLINK_Session;
using FieldMap = QMap<QString, QVariant>;

const QString UniversalErrorKey = QStringLiteral("Universal Error");

using PARLINK_FieldCodec::CommandOffset;
using PARLINK_FieldCodec::ResponseHeaderSize;

// The byte count of a 131 request is "BytesToWrite" plus the two address bytes in one byte.
constexpr int MaxBytesToWrite = 0xFF - 2;

// A 131 request carries exactly the bytes it counts: a "BytesToWrite" beyond the bytes at hand, or
// one whose count would wrap, is cut down to what can be sent. Padding instead would write bytes the
// caller never gave into the device's memory; the read-back then shows the short write.
FieldMap clampedWriteRequest(FieldMap fields)
{
    const QString bytesToWriteKey = QStringLiteral("BytesToWrite");
    const qsizetype present = fields.value(QStringLiteral("Bytes")).toByteArray().size();
    const qsizetype wanted = fields.value(bytesToWriteKey).toUInt();
    fields[bytesToWriteKey] = int(std::min({wanted, present, qsizetype(MaxBytesToWrite)}));
    return fields;
}

} // namespace

PARLINK_MASTER_AppLayer::PARLINK_MASTER_AppLayer(QObject *parent)
    : QObject(parent), mOwnSession(new PARLINK_Session(this)), mResponseSession(new PARLINK_Session(this))
{
}

PARLINK_Session *PARLINK_MASTER_AppLayer::requestSession() const
{
    return mRequestSession ? mRequestSession.data() : mOwnSession;
}

void PARLINK_MASTER_AppLayer::startSession(PARLINK_Session *session)
{
    ++mSessionNumber;
    mActive = true;
    mRequestSession = session;
    emit sessionStart(requestSession());
    setRequestBufferAndRequest();
}

void PARLINK_MASTER_AppLayer::stopSession()
{
    // A request waiting out its delay, or the step after a 129 reply, belongs to the session that
    // has just been stopped: sent now it would reach the device with nobody waiting for its reply.
    ++mSessionNumber;
    emit sessionStop();
    mActive = false;
}

void PARLINK_MASTER_AppLayer::setRequestBufferAndRequest()
{
    PARLINK_Session *session = requestSession();
    const Session::PARLINK_ENUM_SESSION_COMMAND command = session->takeCommandFromQueue();
    session->setCommand(command);

    if (command == Session::PARLINK_ENUM_SESSION_NO_COMMAND) {
        // In burst mode the session stays open for the device's unprompted frames.
        if (!mBurstMode) {
            emit sessionStop();
            mActive = false;
        }
        return;
    }

    const QByteArray request = buildRequest(session, command);
    session->setBuffer(request);
    mPendingRequests.append({mSessionNumber, command, request});
    QTimer::singleShot(RequestDelayMs, Qt::PreciseTimer, this, &PARLINK_MASTER_AppLayer::requestDelay);
}

QByteArray PARLINK_MASTER_AppLayer::buildRequest(PARLINK_Session *session,
                                                 Session::PARLINK_ENUM_SESSION_COMMAND command)
{
    FieldMap fields;
    session->getDataForCommand(command, &fields);
    if (command == Session::PARLINK_ENUM_SESSION_COMMAND_131)
        fields = clampedWriteRequest(fields);
    if (command == Session::PARLINK_ENUM_SESSION_COMMAND_129)
        mBaudrate = fields.value(QStringLiteral("Baudrate")).toUInt() & 0xFFFFFFu;

    const std::optional<QByteArray> frame
        = PARLINK_FieldCodec::encodeRequestFrame(command, session->getAddress(), fields);
    if (frame)
        return *frame;
    // Only a malformed 131 cannot be laid out, and the clamp above prevents that; send the header
    // with no data rather than nothing, so that the device's answer still advances the queue.
    QByteArray header(1, PARLINK_FieldCodec::RequestDelimiter);
    header.append(session->getAddress());
    header.append(char(command));
    header.append('\0');
    return header;
}

void PARLINK_MASTER_AppLayer::requestDelay()
{
    if (mPendingRequests.isEmpty())
        return;
    PendingRequest pending = mPendingRequests.takeFirst();
    // A newer session has started since this request was scheduled: it must not be sent on its behalf.
    if (pending.session != mSessionNumber)
        return;
    emit sessionDataTxSetBuffer(pending.command, pending.frame);
}

void PARLINK_MASTER_AppLayer::scheduleNextRequest(int delayMs)
{
    if (delayMs == 0) {
        setRequestBufferAndRequest();
        return;
    }
    const quint64 session = mSessionNumber;
    QTimer::singleShot(delayMs, Qt::PreciseTimer, this, [this, session] {
        if (session == mSessionNumber && mActive)
            setRequestBufferAndRequest();
    });
}

void PARLINK_MASTER_AppLayer::sessionDataWritten() {}

void PARLINK_MASTER_AppLayer::sessionBurstModeDeactive()
{
    mBurstMode = false;
}

void PARLINK_MASTER_AppLayer::sessionDataReady(QByteArray buffer)
{
    // A frame without its command and byte count is no response to anything; the link layer never
    // hands one over, a direct caller may.
    if (!mActive || buffer.size() < ResponseHeaderSize)
        return;

    const auto command = Session::PARLINK_ENUM_SESSION_COMMAND(quint8(buffer.at(CommandOffset)));
    mResponseSession->setAddress(buffer.mid(1, 5));
    mResponseSession->setCommand(command);
    mResponseSession->setBuffer(buffer);

    // Starts from the command's standard map (inside the decoder), so that fields not decoded keep
    // their default values.
    FieldMap fields = PARLINK_FieldCodec::decodeResponseFrame(buffer);
    const bool carriedOut = fields.value(UniversalErrorKey).toInt() == 0;
    const bool refused = fields.value(QStringLiteral("Status Low")).toInt() != 0;

    switch (command) {
    case Session::PARLINK_ENUM_SESSION_COMMAND_129:
        if (carriedOut) {
            bool ok = false;
            emit sessionBaudrateSetNew(mBaudrate, &ok);
            if (!ok)
                fields[UniversalErrorKey] = int(Session::PARLINK_ENUM_SESSION_COMMAND_UNIVERSAL_ERROR_NOT_EXECUTED);
        } else if (refused) {
            mBaudrate = 0;
        }
        break;
    case Session::PARLINK_ENUM_SESSION_COMMAND_139:
        if (mBurstMode)
            emit sessionBurstModeSetAcknowledge();
        break;
    case Session::PARLINK_ENUM_SESSION_COMMAND_142:
        if (carriedOut) {
            emit sessionBurstModeSetActivate();
            mBurstMode = true;
        }
        break;
    default:
        break;
    }

    mResponseSession->setDataForCommand(command, fields);
    // The next request is built before this response is reported; after the last one the session
    // has already been stopped when sessionNewData is delivered.
    scheduleNextRequest(command == Session::PARLINK_ENUM_SESSION_COMMAND_129 ? BaudrateChangeDelayMs : 0);
    emit sessionNewData(mResponseSession);
}

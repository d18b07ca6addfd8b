#include "communication/internal/Session.h"

#include "protocol/parlink/PARLINK.h"
#include "protocol/parlink/PARLINK_SessionInfo.h"

#include <QTimer>

#include <algorithm>

namespace Thg::Tilo::Communication::Internal {

namespace {

QTimer *preciseSingleShot(QObject *parent)
{
    auto *timer = new QTimer(parent);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(true);
    return timer;
}

} // namespace

Session::Session(QObject *parent, PARLINK *facade, int responseTimeoutMs)
    : QObject(parent),
      mFacade(facade),
      mSession(new PARLINK_Session(this)),
      mResponseTimer(preciseSingleShot(this)),
      mStartDelayTimer(preciseSingleShot(this))
{
    mResponseTimer->setInterval(responseTimeoutMs);
    connect(mResponseTimer, &QTimer::timeout, this, &Session::responseTimedOut);
    connect(mStartDelayTimer, &QTimer::timeout, this, &Session::delayedStart);
    if (mFacade) {
        connect(mFacade, &PARLINK::sessionNewInfo, this, &Session::newInfo);
        connect(mFacade, &PARLINK::sessionNewData, this, &Session::replyReceived);
        connect(this, &Session::startSession, mFacade, &PARLINK::sessionStart);
        connect(this, &Session::stopSession, mFacade, &PARLINK::sessionStop);
    }
}

Session::~Session() = default;

int Session::responseTimeoutMs() const
{
    return mResponseTimer->interval();
}

void Session::startWith(const Address::Bytes &address, const QList<Session::Data> &commands, int delayMs)
{
    if (mRunning) {
        emit log(LogLevel::Trace, QStringLiteral("A command is already in progress."));
        return;
    }
    mResponseTimer->stop();
    mStartDelayTimer->stop();
    mRunning = false;
    ++mGeneration;
    // Only what fits into the queue is sent, so only that many replies will come.
    mCount = std::min<qint64>(commands.size(), MaxCommands);
    mRemaining = mCount;

    const QString addressText = getAddressAsString(address);
    if (commands.size() < 2) {
        const int number = commands.isEmpty() ? int(PARLINK_Session::PARLINK_ENUM_SESSION_NO_COMMAND)
                                              : int(commands.first().command);
        emit log(LogLevel::Trace,
                 QStringLiteral("Starting single command: %1 at address: %2").arg(number).arg(addressText));
    } else {
        emit log(LogLevel::Trace, QStringLiteral("A list of commands to address %1 will be send: ").arg(addressText));
        for (const Data &data : commands)
            emit log(LogLevel::Trace, QStringLiteral("Command: %1").arg(int(data.command)));
    }

    mSession->clearData();
    mSession->setCommand(PARLINK_Session::PARLINK_ENUM_SESSION_NO_COMMAND);
    mSession->setState(PARLINK_Session::PARLINK_ENUM_SESSION_STATE_INACTIVE);
    mSession->setError(PARLINK_Session::PARLINK_ENUM_SESSION_NO_ERROR);
    mSession->clearQueue();
    mSession->setType(PARLINK_Session::PARLINK_ENUM_SESSION_TYPE_MASTER);
    mSession->setAddress(QByteArray(reinterpret_cast<const char *>(address.data()), Address::Size));
    for (const Data &data : commands) {
        mSession->setDataForCommand(data.command, data.fields);
        if (mSession->getQueueLength() < MaxCommands)
            mSession->appendCommandToQueue(data.command, 1);
    }

    if (delayMs != 0)
        mStartDelayTimer->start(delayMs);
    else
        delayedStart();
}

void Session::delayedStart()
{
    emit startSession(mSession, QPrivateSignal());
    mResponseTimer->start();
    mRunning = true;
}

void Session::stop()
{
    mResponseTimer->stop();
    mStartDelayTimer->stop();
    mRunning = false;
    ++mGeneration;
    emit stopSession(QPrivateSignal());
}

// A list keeps the Session running until its last reply, each reply re-arming the time-out for the
// next one. The job's reply handler runs inside newData and may stop the Session or start it anew
// (every failure does): the re-arming is then no longer this start's to do.
void Session::replyReceived(PARLINK_Session *reply)
{
    if (!mRunning || !reply)
        return;
    mResponseTimer->stop();
    mStartDelayTimer->stop();
    mRunning = false;
    emit log(LogLevel::Trace, QStringLiteral("Command %1 received").arg(int(reply->getCommand())));

    const quint64 generation = mGeneration;
    emit newData(reply);
    if (generation != mGeneration || mCount < 2)
        return;
    const qint64 before = mRemaining--;
    if (before != 1) {
        mResponseTimer->start();
        mRunning = true;
    }
}

void Session::responseTimedOut()
{
    if (!mRunning)
        return;
    mResponseTimer->stop();
    mStartDelayTimer->stop();
    mRunning = false;
    emit noResponse();
    emit log(LogLevel::Error, tr("Device didn't answer in time!"));
}

Session::FieldMap Session::getDefaultData(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND command)
{
    const PARLINK_Session standard;
    FieldMap fields;
    standard.getDefaultDataForCommand(command, &fields);
    return fields;
}

Session::Data Session::request(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND command)
{
    return {command, getDefaultData(command)};
}

Session::FieldMap Session::getCommandData(const PARLINK_Session &reply)
{
    FieldMap fields;
    reply.getDefaultDataForCommand(reply.getCommand(), &fields);
    reply.getDataForCommand(reply.getCommand(), &fields);
    return fields;
}

QString Session::getAddressAsString(const Address::Bytes &address)
{
    QString text;
    for (const std::uint8_t byte : address)
        text += QString::number(byte);
    return text;
}

} // namespace Thg::Tilo::Communication::Internal

#include "communication/internal/SysCommand.h"

#include "communication/internal/JobDelays.h"
#include "communication/internal/Port.h"

#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>

namespace Thg::Tilo::Communication::Internal {

namespace {

constexpr auto Cmd143 = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_143;

// What the log says once the device has answered a command.
QString doneText(SysCommand::Command cmd)
{
    switch (cmd) {
    case SysCommand::Command::SetCurrentAsFactoryDefaults:
        return QStringLiteral("Device responded to command 143: values were written as factory defaults");
    case SysCommand::Command::ResetToFactoryDefaults:
        return QStringLiteral("Device responded to command 143: values were reset to factory defaults");
    case SysCommand::Command::ResetNvm:
        return QStringLiteral("Device responded to command 143: NVM was reset");
    case SysCommand::Command::RestartDevice:
        return QStringLiteral("Device responded to command 143: Device restarted");
    }
    return {};
}

// Blocks this thread until the deadline: the device must not see the next request while it writes.
void waitOnThisThread(int ms)
{
    const QDeadlineTimer deadline(ms, Qt::PreciseTimer);
    while (!deadline.hasExpired())
        QThread::usleep(std::max<qint64>(1, std::min<qint64>(deadline.remainingTimeNSecs() / 1000, 1000)));
}

} // namespace

SysCommand::SysCommand(QObject *parent, PARLINK *facade, Port *port, ClosePortWhenFinished closePort,
                       int responseTimeoutMs)
    : Default(parent, facade, port, closePort, responseTimeoutMs), mResetNvmTimer(this)
{
    mResetNvmTimer.setTimerType(Qt::PreciseTimer);
    mResetNvmTimer.setSingleShot(true);
    mResetNvmTimer.setInterval(ResetNvmMs);
    connect(&mResetNvmTimer, &QTimer::timeout, this, &SysCommand::resetNvmDone);
    connect(mSession, &Session::noResponse, this, &SysCommand::noResponse);
    connect(mSession, &Session::newData, this, &SysCommand::replyReceived);
    connect(&mStepTimer, &QTimer::timeout, this, &SysCommand::sendNextSequence);
}

SysCommand::~SysCommand() = default;

Session::Data SysCommand::request(Command cmd)
{
    Session::Data data = Session::request(Cmd143);
    data.fields[QStringLiteral("Systemcommand")] = int(cmd);
    data.fields[QStringLiteral("Payload")] = 0;
    return data;
}

void SysCommand::systemCommand(Address::Type type, const Device &device, Command cmd)
{
    startSystemCommand(type, device, {cmd});
}

void SysCommand::startSystemCommand(Address::Type type, const Device &device, const QList<Command> &commands)
{
    if (mState != 0) {
        refuse(QT_TR_NOOP("Current operation not finished!"));
        return;
    }
    if (commands.isEmpty()) {
        refuse(QT_TR_NOOP("No system command given!"));
        return;
    }
    stopTimers();
    mState = 1;
    setProgress(0);
    mPlan = {};
    for (const Command cmd : commands)
        mPlan.sequences.append(Sequence(type, request(cmd)));
    mDevice = device;
    mPending = commands;
    mCurrent = commands.first();
    mEndsByResetNvmTimer = false;

    if (device.Name == bootloaderDeviceName) {
        closePortWhenDone();
        mState = 0;
        emit success(mCurrent);
        return;
    }
    startSequence(device.address, mPlan.sequences.first(), SysCommandDelays.startMs);
    if (mCurrent == Command::ResetNvm) {
        mEndsByResetNvmTimer = true;
        mResetNvmTimer.start();
    } else {
        incProgress(10);
    }
}

// One command at a time:
//   waiting for a reply -> the expected 143, acknowledged, more commands -> step timer (100 ms)
//                       -> the expected 143, acknowledged, the last one  -> done
//                       -> another command, or refused                    -> failed
//   step timer          -> the next command's session                     -> waiting for a reply
// A start whose first command is ResetNvm is done when its timer runs out, not by a reply.
void SysCommand::replyReceived(PARLINK_Session *reply)
{
    if (mState == 0 || !reply)
        return;
    if (const auto refusal = checkReply(mPlan, int(reply->getCommand()), Session::getCommandData(*reply))) {
        fail(refusal->logEntry, refusal->errorText);
        return;
    }
    incProgress(unsigned(90 / mPlan.sequences.size()));

    if (reply->getCommand() == Cmd143 && !mPending.isEmpty()) {
        mCurrent = mPending.takeFirst();
        if (mCurrent == Command::SetCurrentAsFactoryDefaults)
            waitOnThisThread(FactoryDefaultsWaitMs);
        if (const QString text = doneText(mCurrent); !text.isEmpty())
            emit log(LogLevel::Trace, text);
    }

    if (moveOn(mPlan, SysCommandDelays.stepMs) != Next::Nothing)
        return;
    if (mEndsByResetNvmTimer)
        return;
    finish();
}

void SysCommand::finish()
{
    setProgress(100);
    closePortWhenDone();
    mState = 0;
    emit success(mCurrent);
}

void SysCommand::sendNextSequence()
{
    if (mState == 0)
        return;
    startNextSequence(mPlan, mDevice.address);
}

// A device that resets its memory may not answer at all; the start is over either way,
// and the port is closed behind it.
void SysCommand::resetNvmDone()
{
    if (mState == 0 || !mEndsByResetNvmTimer)
        return;
    mEndsByResetNvmTimer = false;
    finish();
    abort();
}

void SysCommand::noResponse()
{
    if (mState == 0)
        return;
    fail({}, tr("Device didn`t respond -> timeout! !"));
}

void SysCommand::fail(const QString &logEntry, const QString &errorText)
{
    if (mState == 0)
        return;
    if (!logEntry.isEmpty())
        emit log(LogLevel::Error, logEntry);
    emit error(errorText);
    stopTimers();
    mSession->stop();
    mState = 0;
    setProgress(0);
    mPort->close();
}

void SysCommand::abort()
{
    emit log(LogLevel::Info, QStringLiteral("Operation was aborted and com port was closed!"));
    stopTimers();
    mSession->stop();
    mState = 0;
    setProgress(0);
    mPort->close();
}

void SysCommand::stopTimers()
{
    mStepTimer.stop();
    mResetNvmTimer.stop();
    mEndsByResetNvmTimer = false;
}

} // namespace Thg::Tilo::Communication::Internal

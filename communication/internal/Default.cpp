#include "communication/internal/Default.h"

#include "communication/internal/Port.h"

#include "protocol/parlink/PARLINK_SessionInfo.h"

#include <QCoreApplication>

#include <array>

namespace Thg::Tilo::Communication::Internal {

namespace {

const QString StatusLowKey = QStringLiteral("Status Low");
const QString UniversalErrorKey = QStringLiteral("Universal Error");

// The link error codes of the stack, 1 to 17, as the log shows them.
constexpr std::array<const char *, 17> LinkErrorTexts{
    "no preambel received",
    "too few preambel received",
    "too many preambel received",
    "wrong address",
    "wrong checksum",
    "reading command",
    "data overrun",
    "normal timeout of 300ms elapsed",
    "burst timeout of 1s elapsed",
    "wrong parity",
    "wrong command",
    "session couldn`t be finished",
    "session couldn`t be started",
    "COM port couldn`t be opened",
    "general COM port error",
    "no payload in session data found",
    "master didn`t ackowledge burst packet",
};

} // namespace

Default::Default(QObject *parent, PARLINK *facade, Port *port, ClosePortWhenFinished closePort, int responseTimeoutMs)
    : QObject(parent),
      mFacade(facade),
      mPort(port),
      mSession(new Session(this, facade, responseTimeoutMs)),
      mClosePortWhenFinished(closePort),
      // A child, so that it moves to the job's thread with the job; a member, so that it is gone before
      // the base class deletes the children.
      mStepTimer(this)
{
    mStepTimer.setTimerType(Qt::PreciseTimer);
    mStepTimer.setSingleShot(true);
    connect(mSession, &Session::log, this, &Default::log);
    connect(mSession, &Session::newInfo, this, &Default::logLinkError);
    if (mPort)
        connect(mPort, &Port::log, this, &Default::log);
}

Default::~Default() = default;

void Default::incProgress(unsigned int percent)
{
    if (mProgress + percent <= 100)
        mProgress += percent;
    emit progress(mProgress);
}

void Default::setProgress(unsigned int percent)
{
    mProgress = percent;
    emit progress(mProgress);
}

void Default::closePortWhenDone()
{
    if (mClosePortWhenFinished == ClosePortWhenFinished::Yes && mPort)
        mPort->close();
}

QString Default::prependZero(const QMap<QString, QVariant> &fields, const QString &key)
{
    const QString text = fields.value(key).toString();
    return text.size() == 1 ? QStringLiteral("0") + text : text;
}

QString Default::linkErrorText(int code)
{
    if (code == 0)
        return {};
    if (code >= 1 && code <= int(LinkErrorTexts.size()))
        return QString::fromLatin1(LinkErrorTexts[std::size_t(code - 1)]);
    return QStringLiteral("unknown error");
}

void Default::logLinkError(PARLINK_SessionInfo *info)
{
    if (!info || info->getError() == PARLINK_Session::PARLINK_ENUM_SESSION_NO_ERROR)
        return;
    emit log(LogLevel::Error, linkErrorText(int(info->getError())));
}

std::optional<Default::Refusal> Default::checkAcknowledged(const QMap<QString, QVariant> &fields, int command) const
{
    const int statusLow = fields.value(StatusLowKey).toInt();
    const int universalError = fields.value(UniversalErrorKey).toInt();
    if (statusLow == 0 && universalError == 0)
        return std::nullopt;
    QString entry = QStringLiteral("Device didn`t acknowledge command %1").arg(command);
    if (statusLow == 0)
        entry += QStringLiteral(" (Universal Error %1)").arg(universalError);
    return Refusal{entry, translated(QT_TR_NOOP("Device didn`t acknowledge command %1")).arg(command)};
}

Default::Refusal Default::wrongCommand(int expected, int received) const
{
    const char *text = QT_TR_NOOP("Device responded with wrong command. Expected: %1 Received: %2");
    return Refusal{QString::fromLatin1(text).arg(expected).arg(received), translated(text).arg(expected).arg(received)};
}

std::optional<Default::Refusal> Default::checkReply(const Sequences &plan, int received,
                                                    const QMap<QString, QVariant> &fields) const
{
    if (const int expected = plan.expectedCommand(); received != expected)
        return wrongCommand(expected, received);
    return checkAcknowledged(fields, received);
}

// The texts of the reply checks are translated in the context of the job that reports them; these
// markers put them into each job's context of the catalogues.
[[maybe_unused]] constexpr const char *ReplyCheckTextContexts[] = {
    QT_TRANSLATE_NOOP("Thg::Tilo::Communication::Internal::Bootloader", "Device didn`t acknowledge command %1"),
    QT_TRANSLATE_NOOP("Thg::Tilo::Communication::Internal::FirstContact", "Device didn`t acknowledge command %1"),
    QT_TRANSLATE_NOOP("Thg::Tilo::Communication::Internal::Parameter", "Device didn`t acknowledge command %1"),
    QT_TRANSLATE_NOOP("Thg::Tilo::Communication::Internal::SysCommand", "Device didn`t acknowledge command %1"),
    QT_TRANSLATE_NOOP("Thg::Tilo::Communication::Internal::Values", "Device didn`t acknowledge command %1"),
    QT_TRANSLATE_NOOP("Thg::Tilo::Communication::Internal::Bootloader",
                      "Device responded with wrong command. Expected: %1 Received: %2"),
    QT_TRANSLATE_NOOP("Thg::Tilo::Communication::Internal::FirstContact",
                      "Device responded with wrong command. Expected: %1 Received: %2"),
    QT_TRANSLATE_NOOP("Thg::Tilo::Communication::Internal::Parameter",
                      "Device responded with wrong command. Expected: %1 Received: %2"),
    QT_TRANSLATE_NOOP("Thg::Tilo::Communication::Internal::SysCommand",
                      "Device responded with wrong command. Expected: %1 Received: %2"),
    QT_TRANSLATE_NOOP("Thg::Tilo::Communication::Internal::Values",
                      "Device responded with wrong command. Expected: %1 Received: %2"),
};

void Default::refuse(const char *sourceText)
{
    refuse(sourceText, sourceText);
}

void Default::refuse(const char *logEntry, const char *errorText)
{
    emit log(LogLevel::Error, QString::fromLatin1(logEntry));
    emit error(translated(errorText));
}

bool Default::startSession(const Address::Bytes &address, const QList<Session::Data> &commands, int delayMs)
{
    if (mSession->isRunning()) {
        emit log(LogLevel::Trace, QStringLiteral("A command is already in progress."));
        return false;
    }
    mSession->startWith(address, commands, delayMs);
    return true;
}

bool Default::startSequence(const Address &address, const Sequence &sequence, int delayMs)
{
    return startSession(address.asArray(sequence.type), sequence.commands, delayMs);
}

void Default::startNextSequence(Sequences &plan, const Address &address)
{
    if (const std::optional<Sequence> next = plan.getNext())
        startSequence(address, *next, 0);
}

Default::Next Default::moveOn(Sequences &plan, int stepMs)
{
    Sequence *sequence = plan.current();
    if (sequence && sequence->hasNext()) {
        ++sequence->cursor;
        return Next::Command;
    }
    if (plan.hasNext()) {
        mStepTimer.start(stepMs);
        return Next::Sequence;
    }
    return Next::Nothing;
}

QString Default::translated(const char *sourceText) const
{
    return QCoreApplication::translate(metaObject()->className(), sourceText);
}

} // namespace Thg::Tilo::Communication::Internal

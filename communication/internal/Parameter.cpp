#include "communication/internal/Parameter.h"

#include "communication/TransferPlan.h"
#include "communication/internal/JobDelays.h"
#include "communication/internal/Port.h"

#include <cmath>

namespace Thg::Tilo::Communication::Internal {

namespace {

constexpr auto Cmd130 = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_130;
constexpr auto Cmd131 = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_131;
constexpr auto Cmd132 = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_132;

const QString AddressKey = QStringLiteral("Address");
const QString BytesKey = QStringLiteral("Bytes");
const QString BytesToReadKey = QStringLiteral("BytesToRead");

QString hexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

// Each byte in decimal followed by "; ".
QString decimalText(const QByteArray &bytes)
{
    QString text;
    for (const char byte : bytes)
        text += QString::number(quint8(byte)) + QStringLiteral("; ");
    return text;
}

} // namespace

Parameter::Parameter(QObject *parent, PARLINK *facade, Port *port, ClosePortWhenFinished closePort,
                     int responseTimeoutMs)
    : Default(parent, facade, port, closePort, responseTimeoutMs)
{
    connect(mSession, &Session::noResponse, this, &Parameter::noResponse);
    connect(mSession, &Session::newData, this, [this](PARLINK_Session *reply) {
        if (isBusy() && reply)
            recieveStateMachine(*reply);
    });
    connect(&mStepTimer, &QTimer::timeout, this, &Parameter::step);
}

Parameter::~Parameter() = default;

unsigned int Parameter::replyProgress(std::uint32_t done, std::uint32_t total)
{
    if (total == 0)
        return 100;
    const float share = 90.0f * float(done) / float(total);
    return std::min(100u, 10u + unsigned(std::trunc(share)));
}

void Parameter::startWrite(const Device &device, const Sequences &plan)
{
    start(State::Writing, device, plan);
}

void Parameter::startRead(const Device &device, const Sequences &plan)
{
    mReadBuffer.clear();
    mOutstandingReads = plan.sequences.size();
    start(State::Reading, device, plan);
}

void Parameter::start(State state, const Device &device, const Sequences &plan)
{
    // A step of an earlier operation that was cut short must not move this plan on.
    mStepTimer.stop();
    clearRetry();
    mState = state;
    mCommandsDone = 0;
    setProgress(0);
    mPlan = plan;
    mPlan.cursor = 0;
    mDevice = device;
    mTotalCommands = std::uint32_t(commandCount(mPlan));
    if (const Sequence *first = mPlan.current())
        startSequence(mDevice.address, *first, ParameterDelays.startMs);
    incProgress(10);
}

// Each reply of the session under way:
//   another command than expected, or not acknowledged            -> failed
//   131, 132, a matching read-back, a read    -> the sequence's next command, the step timer (150 ms)
//                                                before the next sequence, or done after the last
//   a differing read-back                     -> the chunk again after the step timer (150 ms); the
//                                                fourth difference fails in the step handler
//   a read with fewer or more bytes than asked                    -> failed
void Parameter::recieveStateMachine(PARLINK_Session &reply)
{
    const QMap<QString, QVariant> fields = Session::getCommandData(reply);
    if (const auto refusal = checkReply(mPlan, int(reply.getCommand()), fields)) {
        emit log(LogLevel::Error, refusal->logEntry);
        failed(refusal->errorText);
        return;
    }
    Sequence *sequence = mPlan.current();

    ++mCommandsDone;
    setProgress(replyProgress(mCommandsDone, mTotalCommands));

    switch (reply.getCommand()) {
    case Cmd131:
        emit log(LogLevel::Trace, QStringLiteral("Device responded to command 131: Value was written"));
        break;
    case Cmd132:
        emit log(LogLevel::Trace, QStringLiteral("Device responded to command 132: values were taken into RAM"));
        break;
    case Cmd130:
        if (!(mState == State::Reading ? readReply(*sequence, fields) : readBackReply(*sequence, fields)))
            return;
        break;
    default:
        break;
    }

    if (moveOn(mPlan, ParameterDelays.stepMs) != Next::Nothing)
        return;
    setProgress(100);
    closePortWhenDone();
    mState = State::Inactive;
    mSession->stop();
    emit success();
}

bool Parameter::readReply(const Sequence &sequence, const QMap<QString, QVariant> &fields)
{
    const QByteArray bytes = fields.value(BytesKey).toByteArray();
    const QMap<QString, QVariant> &request = sequence.commands.at(sequence.cursor).fields;
    const int asked = request.value(BytesToReadKey).toInt();
    // The decoder places every parameter by its offset in the bytes of all reads: one read of another
    // length would shift every value after it.
    if (bytes.size() != asked) {
        const char *text = QT_TR_NOOP("Device responded to command 130 with %1 bytes instead of %2");
        emit log(LogLevel::Error, QString::fromLatin1(text).arg(bytes.size()).arg(asked));
        failed(tr(text).arg(bytes.size()).arg(asked));
        return false;
    }
    mReadBuffer.append(bytes);
    emit log(LogLevel::Trace, QStringLiteral("Device responded to command 130: Value ") + decimalText(bytes)
                                  + QStringLiteral(" from NVM address: ") + request.value(AddressKey).toString()
                                  + QStringLiteral(" recieved"));
    if (mOutstandingReads-- <= 1)
        emit readValue(mReadBuffer);
    return true;
}

bool Parameter::readBackReply(Sequence &sequence, const QMap<QString, QVariant> &fields)
{
    const QByteArray read = fields.value(BytesKey).toByteArray();
    const QMap<QString, QVariant> written =
        sequence.cursor > 0 ? sequence.commands.at(sequence.cursor - 1).fields : QMap<QString, QVariant>();
    const QByteArray sent = written.value(BytesKey).toByteArray();
    const QString address = written.value(AddressKey).toString();
    if (read == sent) {
        clearRetry();
        emit log(LogLevel::Trace, QStringLiteral("Device responded to command 130: Read value corresponds to sent value: ")
                                      + hexText(read) + QStringLiteral(" to NVM address: ") + address);
        return true;
    }
    const char *text = QT_TR_NOOP(
        "Device responded to command 130: Sent value didn't correspond to read value: NVM address: %1 written: %2 read: %3");
    mRetryReasonEntry = QString::fromLatin1(text).arg(address, hexText(sent), hexText(read));
    mRetryReason = tr(text).arg(address, hexText(sent), hexText(read));
    emit log(LogLevel::Error, mRetryReasonEntry);
    mRetryPending = true;
    const bool lastOfSequence = !sequence.hasNext();
    sequence.cursor = 0;
    if (lastOfSequence)
        mStepTimer.start(ParameterDelays.stepMs);
    return false;
}

void Parameter::step()
{
    if (!isBusy())
        return;
    if (mRetryPending) {
        mRetryPending = false;
        if (++mRetryCount > MaxRetries) {
            mRetryCount = 0;
            emit log(LogLevel::Error, QStringLiteral("Exceeded max retries: ") + mRetryReasonEntry);
            failed(tr("Exceeded max retries: ") + mRetryReason);
            return;
        }
        if (const Sequence *again = mPlan.current())
            startSequence(mDevice.address, *again, 0);
        return;
    }
    startNextSequence(mPlan, mDevice.address);
}

void Parameter::noResponse()
{
    if (isBusy())
        failed(tr("Device didn`t respond -> timeout! !"));
}

void Parameter::failed(const QString &text)
{
    if (!isBusy())
        return;
    emit error(text);
    stop();
}

void Parameter::abort()
{
    emit log(LogLevel::Info, QStringLiteral("Operation was aborted and com port was closed!"));
    stop();
}

// What a failure and an abort share: nothing more is sent, and the port is closed.
void Parameter::stop()
{
    setProgress(0);
    mStepTimer.stop();
    mSession->stop();
    clearRetry();
    mState = State::Inactive;
    mTotalCommands = 0;
    mCommandsDone = 0;
    if (mPort)
        mPort->close();
}

void Parameter::clearRetry()
{
    mRetryPending = false;
    mRetryCount = 0;
    mRetryReason.clear();
    mRetryReasonEntry.clear();
}

} // namespace Thg::Tilo::Communication::Internal

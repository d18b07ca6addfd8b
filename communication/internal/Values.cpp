#include "communication/internal/Values.h"

#include "communication/internal/JobDelays.h"
#include "communication/internal/Port.h"
#include "communication/internal/SampleAverage.h"

#include "protocol/parlink/PARLINK_Session.h"

#include <algorithm>

namespace Thg::Tilo::Communication::Internal {

namespace {

using Command = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND;
constexpr Command Cmd138 = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_138;
constexpr Command Cmd139 = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_139;
constexpr Command Cmd140 = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_140;

constexpr int StatusTexts = 8;
// Room kept ahead for the samples of a run; a larger run grows its list as the samples come.
constexpr qsizetype MaxReservedSamples = 1024;

QList<Session::Data> commandsOf(ParLinkDeviceService::Type kind)
{
    switch (kind) {
    case ParLinkDeviceService::Type::BurstValues:
        return {Session::request(Cmd139)};
    case ParLinkDeviceService::Type::DeviceValues:
        return {Session::request(Cmd138)};
    case ParLinkDeviceService::Type::DeviceAndBurstValues:
        return {Session::request(Cmd138), Session::request(Cmd139)};
    }
    return {};
}

} // namespace

Values::Values(QObject *parent, PARLINK *facade, Port *port, ClosePortWhenFinished closePort, int responseTimeoutMs)
    : Default(parent, facade, port, closePort, responseTimeoutMs)
{
    mSums.fill(0.0f);
    mMinima.fill(NoMinimum);
    mMaxima.fill(NoMaximum);
    connect(mSession, &Session::noResponse, this, &Values::noResponse);
    connect(mSession, &Session::newData, this, &Values::replyReceived);
    connect(&mStepTimer, &QTimer::timeout, this, &Values::sendNextSequence);
}

Values::~Values() = default;

bool Values::startReading(State state, Address::Type type, const Device &device, ParLinkDeviceService::Type kind,
                          unsigned int samples, unsigned short skip)
{
    if (mState != State::Idle) {
        refuse(QT_TR_NOOP("Current operation not finished!"));
        return false;
    }
    reset();
    mState = state;
    mSamples.reserve(std::min<qsizetype>(samples, MaxReservedSamples));
    mRepliesToSkip = skip;
    mKind = kind;

    // The status texts, then one session per sample and per skipped reply: up to 2^32 + 2^16 of them.
    mSequenceCount = 1 + quint64(samples) + skip;
    mSequenceIndex = 0;
    mSampleCommands = commandsOf(kind);
    mType = type;
    mPlan = {};
    mPlan.sequences.append(Sequence(type, Session::request(Cmd140)));
    planAhead();
    mDevice = device;
    startSequence(device.address, mPlan.sequences.first(), ValuesDelays.startMs);
    return true;
}

void Values::reset()
{
    setProgress(0);
    mProgressCarry = 0.0;
    mLeadingSlotIndex = 0;
    mSamplesToTrim = 0;
    mReplyCounter = 0;
    mSession->stop();
    // A step still pending belongs to the run being dropped; left running it would move a new run's
    // plan on before its status texts are read.
    mStepTimer.stop();
    mState = State::Idle;
    mStatusTexts.clear();
    mSamples.clear();
    mSums.fill(0.0f);
    mMinima.fill(NoMinimum);
    mMaxima.fill(NoMaximum);
    incProgress(5);
}

void Values::setLeadingSlotIndex(std::uint8_t index)
{
    mLeadingSlotIndex = std::min<std::uint8_t>(index, MaxSlots - 1);
}

void Values::abort()
{
    emit log(LogLevel::Trace, QStringLiteral("Operation was aborted and com port was closed!"));
    reset();
    mPort->close();
}

void Values::fail(const QString &logEntry, const QString &errorText)
{
    emit log(LogLevel::Error, logEntry);
    emit error(errorText);
    reset();
    mPort->close();
}

// One run, reply by reply:
//   status texts (140)  -> the expected 140, acknowledged           -> between sequences
//   in a sample session -> the expected 138 or 139, more to come    -> in the session
//                       -> the expected reply, the last of the plan  -> done
//                       -> the expected reply, more sessions         -> between sequences
//   between sequences   -> step timer (50 ms): the next session      -> in a sample session
// A reply to another command than the one awaited, or one the device did not carry out, fails the
// run in every state; the failure resets the job and closes the port.
void Values::replyReceived(PARLINK_Session *reply)
{
    if (mState == State::Idle || !reply)
        return;
    const int received = int(reply->getCommand());
    const QMap<QString, QVariant> fields = Session::getCommandData(*reply);
    if (const auto refusal = checkReply(mPlan, received, fields)) {
        fail(refusal->logEntry, refusal->errorText);
        return;
    }
    countProgress();

    if (received == Cmd140) {
        for (int i = 1; i <= StatusTexts; ++i)
            mStatusTexts.append(fields.value(QStringLiteral("Statusstring %1").arg(i)).toString());
        emit log(LogLevel::Trace, QStringLiteral("Device responded to command 140"));
    } else {
        ++mReplyCounter;
        if (mReplyCounter > mRepliesToSkip)
            gatherDataCmd138139(fields);
        emit log(LogLevel::Trace, QStringLiteral("Device responded to command %1").arg(received));
    }
    // A receiver of newValue may have aborted the run.
    if (mState == State::Idle)
        return;

    if (moveOn(mPlan, ValuesDelays.stepMs) != Next::Nothing)
        return;
    setProgress(100);
    done();
}

// Each reply's share of 95 percent, reported in whole percent as it adds up; what is left of a
// share once a whole percent has been reported is dropped.
void Values::countProgress()
{
    mProgressCarry += 95.0 / double(mSequenceCount);
    if (mProgressCarry >= 1.0) {
        incProgress(unsigned(mProgressCarry));
        mProgressCarry = 0.0;
    }
}

void Values::planAhead()
{
    if (mSequenceIndex + 1 < mSequenceCount)
        mPlan.sequences.append(Sequence(mSampleCommands, 0, mType));
}

void Values::sendNextSequence()
{
    if (mState == State::Idle || !mPlan.hasNext())
        return;
    startNextSequence(mPlan, mDevice.address);
    // The sequence just sent is the one under way; the one before it is done with.
    mPlan.sequences.removeFirst();
    mPlan.cursor = 0;
    ++mSequenceIndex;
    planAhead();
}

void Values::noResponse()
{
    if (mState == State::Idle)
        return;
    emit error(tr("Device didn`t respond -> timeout! !"));
    reset();
    mPort->close();
}

void Values::gatherDataCmd138139(const QMap<QString, QVariant> &fields)
{
    const QString countKey = fields.contains(QStringLiteral("Number of Devicevariables"))
                                 ? QStringLiteral("Number of Devicevariables")
                                 : QStringLiteral("Number of Burstvariables");
    int count = int(std::uint8_t(fields.value(countKey).toUInt()));
    // The protocol's field maps hold eight variables, and so do the sums and extremes: a larger
    // count would make slots of fields that are not there.
    if (count > MaxSlots) {
        emit log(LogLevel::Warning, QStringLiteral("Device reported %1 values; only the first %2 are taken")
                                        .arg(count)
                                        .arg(MaxSlots));
        count = MaxSlots;
    }
    const auto status = std::uint8_t(fields.value(QStringLiteral("Status High")).toUInt());
    const QString prefix = fields.contains(QStringLiteral("Devicevariable 1 Unit")) ? QStringLiteral("Devicevariable ")
                                                                                    : QStringLiteral("Burstvariable ");
    QList<Slot> raw;
    raw.reserve(count);
    for (int j = 1; j <= count; ++j) {
        Slot slot;
        slot.value = fields.value(prefix + QString::number(j)).toFloat();
        slot.min = NoMinimum;
        slot.max = NoMaximum;
        slot.unit = std::uint8_t(fields.value(prefix + QString::number(j) + QStringLiteral(" Unit")).toUInt());
        raw.append(slot);
    }

    Slots sample(mStatusTexts, status, raw);
    const qsizetype slotCount = std::min<qsizetype>(sample.slotList.size(), MaxSlots);
    for (qsizetype i = 0; i < slotCount; ++i) {
        Slot &slot = sample.slotList[i];
        if (slot.unit == SampleAverage::VolumeUnit) {
            mSums[i] += slot.value;
            slot.value = mSums[i];
            mMinima[i] = 0.0f;
            mMaxima[i] = 0.0f;
        } else {
            if (slot.value > mMaxima[i])
                mMaxima[i] = slot.value;
            if (slot.value < mMinima[i])
                mMinima[i] = slot.value;
        }
        slot.min = mMinima[i];
        slot.max = mMaxima[i];
    }
    mSamples.append(sample);
    emit newValue(mKind, sample);
}

bool Values::isDataPresent(const QList<Slots> &samples)
{
    if (!samples.isEmpty())
        return true;
    const char *text = QT_TR_NOOP("Didn`t find any data points in device value read out!");
    emit log(LogLevel::Error, QString::fromLatin1(text));
    emit error(tr(text));
    return false;
}

void Values::done()
{
    closePortWhenDone();
    const State finished = mState;
    mState = State::Idle;
    if (finished == State::FixedSamples) {
        if (isDataPresent(mSamples))
            emit finishedFixedSamples(mKind, mSamples);
    } else if (finished == State::Accumulate) {
        if (isDataPresent(mSamples))
            finishAccumulate();
    }
}

void Values::finishAccumulate()
{
    const SampleAverage::Result result = SampleAverage::of(mSamples, mSamplesToTrim, mLeadingSlotIndex);
    const qsizetype layout = mSamples.first().slotList.size();
    for (const qsizetype position : result.leftOut) {
        emit log(LogLevel::Warning, QStringLiteral("Sample %1 has %2 values instead of %3 and is left out of the average")
                                        .arg(position + 1)
                                        .arg(mSamples.at(position).slotList.size())
                                        .arg(layout));
    }
    if (result.trimmingSkipped) {
        emit log(LogLevel::Warning, QStringLiteral("The samples have no value %1 to sort by; none is left out")
                                        .arg(int(mLeadingSlotIndex) + 1));
    }
    emit finishedAccumulate(mKind, result.average);
}

} // namespace Thg::Tilo::Communication::Internal

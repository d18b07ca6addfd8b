#include "tools/zeb-sim/SimLine.h"

#include "tests/support/PseudoTerminal.h"
#include "tools/boot-sim/BootTarget.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>

#include <bit>

namespace ZebSim {

namespace {
constexpr std::uint8_t RequestDelimiter = 0x82;
constexpr std::uint8_t ResponseDelimiter = 0x86;
constexpr std::uint8_t BurstAcknowledge = 0x0F;
// Offset of the first byte after the byte count in a device frame: the status bytes.
constexpr int StatusOffset = 8;
// Offsets from the delimiter of the command byte, the byte count and, in a 138 or 139 answer, the
// number of variables.
constexpr int CommandOffset = 6;
constexpr int CountOffset = 7;
constexpr int VariableCountOffset = 10;
// A 138 or 139 record: unit byte and single-precision value.
constexpr int VariableRecordSize = 5;
constexpr std::uint8_t DeviceValuesCommand = 138;
constexpr std::uint8_t BurstValuesCommand = 139;
constexpr std::uint8_t FirstCommand = 128;
constexpr std::uint8_t LastCommand = 143;
// Start bit, 8 data bits, parity and stop bit: what a character of the PARLINK line costs.
constexpr qint64 BitsPerCharacter = 11;
constexpr qint64 NsPerSecond = 1000000000;
} // namespace

SimLine::SimLine(const SimConfig &config, FrameLog *log, QObject *parent)
    : QObject(parent), mConfig(config), mLog(log), mFromProgram(RequestDelimiter), mFromDevice(ResponseDelimiter)
{
}

SimLine::~SimLine()
{
    if (mLinkPlaced && QFileInfo(mConfig.linkPath).isSymLink())
        QFile::remove(mConfig.linkPath);
}

bool SimLine::open(QString *error)
{
    mProgramSide = std::make_unique<PseudoTerminal>();
    mDeviceSide = std::make_unique<PseudoTerminal>();
    for (const auto *pty : {mProgramSide.get(), mDeviceSide.get()}) {
        if (!pty->isOpen()) {
            if (error)
                *error = QString::fromStdString(pty->errorText());
            return false;
        }
    }
    if (!mConfig.linkPath.isEmpty()) {
        const QFileInfo existing(mConfig.linkPath);
        if (existing.isSymLink())
            QFile::remove(mConfig.linkPath);
        else if (existing.exists()) {
            if (error)
                *error = QStringLiteral("%1 exists and is not a symbolic link").arg(mConfig.linkPath);
            return false;
        }
        if (!QFile::link(QString::fromStdString(mProgramSide->slavePath()), mConfig.linkPath)) {
            if (error)
                *error = QStringLiteral("Cannot create the link %1").arg(mConfig.linkPath);
            return false;
        }
        mLinkPlaced = true;
    }
    mProgramNotifier = new QSocketNotifier(mProgramSide->masterFd(), QSocketNotifier::Read, this);
    connect(mProgramNotifier, &QSocketNotifier::activated, this, &SimLine::readProgramSide);
    mDeviceNotifier = new QSocketNotifier(mDeviceSide->masterFd(), QSocketNotifier::Read, this);
    connect(mDeviceNotifier, &QSocketNotifier::activated, this, &SimLine::readDeviceSide);
    if (mConfig.paced) {
        mLineClock.start();
        mPacer = new QTimer(this);
        mPacer->setSingleShot(true);
        mPacer->setTimerType(Qt::PreciseTimer);
        connect(mPacer, &QTimer::timeout, this, &SimLine::deliverDue);
    }
    return true;
}

QString SimLine::programPortPath() const
{
    if (!mConfig.linkPath.isEmpty())
        return mConfig.linkPath;
    return mProgramSide ? QString::fromStdString(mProgramSide->slavePath()) : QString();
}

QString SimLine::devicePortPath() const
{
    return mDeviceSide ? QString::fromStdString(mDeviceSide->slavePath()) : QString();
}

int SimLine::programLineSpeed() const
{
    return mProgramSide ? mProgramSide->lineSpeed() : -1;
}

int SimLine::deviceLineSpeed() const
{
    return mDeviceSide ? mDeviceSide->lineSpeed() : -1;
}

void SimLine::readProgramSide()
{
    if (mBootTarget) {
        playBootLoader();
        return;
    }
    const QByteArray data = mProgramSide->readAvailable<QByteArray>();
    if (data.isEmpty())
        return;
    // A single wire carries the sender's own bytes back to it.
    if (mConfig.singleWire)
        mProgramSide->writeAll(data);
    if (mConfig.paced)
        occupyLine(data.size());

    QByteArray forward;
    for (const char byte : data) {
        const FrameTracker::Step step = mFromProgram.step(std::uint8_t(byte));
        if (step.place == FrameTracker::Place::Outside) {
            // Preamble bytes that did not lead to a frame are line noise the device hears as such.
            forward.append(mHeldRequest);
            mHeldRequest.clear();
            if (mWakeUp.swallow(std::uint8_t(byte))) {
                if (mWakeUp.wakeUpsSeen() > 0 && byte == 'L' && mLog)
                    mLog->note(QStringLiteral("RX wake-up \"PARL\" [ignored]"));
                continue;
            }
            if (std::uint8_t(byte) == BurstAcknowledge) {
                ++mAcknowledges;
                if (mLog)
                    mLog->note(QStringLiteral("RX burst acknowledgement 0x0F"));
            }
            forward.append(byte);
            continue;
        }
        if (step.place == FrameTracker::Place::Preamble || step.bodyOffset < CommandOffset) {
            // Held until the command byte says whether the device answers this request at all.
            mHeldRequest.append(byte);
        } else if (step.bodyOffset == CommandOffset) {
            mIgnoringRequest = !isDeviceCommand(std::uint8_t(byte));
            if (!mIgnoringRequest) {
                // The stack compares the address before it reads the command, so it must learn now
                // which of the device's addresses this request is for. Bytes before it go out first.
                forward.append(mHeldRequest);
                mDeviceSide->writeAll(forward);
                forward.clear();
                emit requestAddressSeen(mFromProgram.address());
                forward.append(byte);
            }
            mHeldRequest.clear();
        } else if (!mIgnoringRequest) {
            forward.append(byte);
        }
        if (step.frameComplete) {
            if (mLog) {
                mLog->record(FrameLog::Direction::Received, mFromProgram.lastFrame(),
                             mIgnoringRequest ? QStringLiteral("not answered: no device command") : QString());
            }
            mIgnoringRequest = false;
            emit frameReceived(mFromProgram.lastFrame());
        }
    }
    mDeviceSide->writeAll(forward);
}

void SimLine::startBootLoader(BootSim::BootTarget *target)
{
    mBootTarget = target;
    mBootTargetResets = target ? target->resets() : 0;
    if (mLog && target)
        mLog->note(QStringLiteral("boot loader started"));
}

// Whatever a client writes on a boot loader's line is half duplex, so the echo comes back whether the
// line is single-wire or not; echo and answer go in one write, in the order the line carries them.
void SimLine::playBootLoader()
{
    const QByteArray data = mProgramSide->readAvailable<QByteArray>();
    if (data.isEmpty())
        return;
    const QByteArray answer = mBootTarget->receive(data);
    mProgramSide->writeAll(data + answer);
    if (mBootTarget->resets() == mBootTargetResets)
        return;
    mBootTarget = nullptr;
    if (mLog)
        mLog->note(QStringLiteral("boot loader restarted: PARLINK again"));
    emit bootLoaderLeft();
}

// A device answers the commands of its protocol, 128 to 143, and nothing else: a frame for any other
// command gets no answer, as if it had not been heard.
bool SimLine::isDeviceCommand(std::uint8_t command)
{
    return command >= FirstCommand && command <= LastCommand;
}

void SimLine::readDeviceSide()
{
    const QByteArray data = mDeviceSide->readAvailable<QByteArray>();
    QByteArray forward;
    for (const char byte : data) {
        const FrameTracker::Step step = mFromDevice.step(std::uint8_t(byte));
        forward.append(extraVariableOnDeviceBytes(step, faultsOnDeviceByte(step, byte, &mSentNote), &mSentNote));
        if (step.frameComplete) {
            if (mLog)
                mLog->record(FrameLog::Direction::Sent, mFromDevice.lastFrame(), mSentNote);
            mSentNote.clear();
            emit frameSent(mFromDevice.lastFrame());
        }
    }
    if (mConfig.paced)
        sendPaced(forward);
    else
        mProgramSide->writeAll(forward);
}

// What actually goes on the line for one byte of the device's output.
QByteArray SimLine::faultsOnDeviceByte(const FrameTracker::Step &step, char byte, QString *note)
{
    const FaultPlan &faults = mConfig.faults;
    const bool inFrame = step.place == FrameTracker::Place::Body || step.place == FrameTracker::Place::Checksum;
    // Frame number this byte belongs to; a preamble belongs to the frame that follows it.
    const int frame = inFrame ? step.frameNumber : mFromDevice.framesSeen() + 1;

    if (faults.silentAfterFrames && frame > *faults.silentAfterFrames) {
        *note = QStringLiteral("not sent: silent");
        return {};
    }
    if (inFrame && frame == faults.dropBytesOnReply && step.bodyOffset >= StatusOffset
        && step.bodyOffset < StatusOffset + faults.dropByteCount && step.place == FrameTracker::Place::Body) {
        *note = QStringLiteral("bytes dropped");
        return {};
    }
    if (step.place == FrameTracker::Place::Checksum && frame == faults.wrongChecksumOnReply) {
        *note = QStringLiteral("wrong checksum");
        return QByteArray(1, char(~byte));
    }
    return QByteArray(1, byte);
}

qint64 SimLine::characterNs() const
{
    const int baud = std::max(programLineSpeed(), 1);
    return BitsPerCharacter * NsPerSecond / baud;
}

// The program's bytes hold the wire from when they arrive, or from when the wire is free again.
void SimLine::occupyLine(qsizetype characters)
{
    const qint64 start = std::max(mLineClock.nsecsElapsed(), mLineFreeNs);
    mLineFreeNs = start + characters * characterNs();
}

// Each byte of the device follows the one before it on the wire, after whatever holds the wire now.
void SimLine::sendPaced(const QByteArray &data)
{
    if (data.isEmpty())
        return;
    const qint64 character = characterNs();
    qint64 due = std::max(mLineClock.nsecsElapsed(), mLineFreeNs);
    for (const char byte : data) {
        due += character;
        mPaced.append({due, byte});
    }
    mLineFreeNs = due;
    if (!mPacer->isActive())
        deliverDue();
}

void SimLine::deliverDue()
{
    const qint64 now = mLineClock.nsecsElapsed();
    QByteArray due;
    qsizetype count = 0;
    while (count < mPaced.size() && mPaced[count].dueNs <= now)
        due.append(mPaced[count++].byte);
    mPaced.remove(0, count);
    mProgramSide->writeAll(due);
    if (!mPaced.isEmpty()) {
        // Rounded up, so that no byte arrives before its time.
        const qint64 waitNs = mPaced.first().dueNs - now;
        mPacer->start(int((waitNs + 999999) / 1000000));
    }
}

// A 138 or 139 answer with one record more than the device's stack can send: its byte count and its
// number of variables are raised to match, the record goes in before the checksum, and the checksum
// (the XOR of the frame's bytes) is corrected by what was changed, so that the frame stays valid.
QByteArray SimLine::extraVariableOnDeviceBytes(const FrameTracker::Step &step, const QByteArray &bytes, QString *note)
{
    const std::optional<Variable> &extra = mConfig.measured.extraVariable;
    const bool inFrame = step.place == FrameTracker::Place::Body || step.place == FrameTracker::Place::Checksum;
    if (!extra || !inFrame || bytes.size() != 1)
        return bytes;
    const auto byte = std::uint8_t(bytes[0]);
    const auto replaced = [this](std::uint8_t old, std::uint8_t now) {
        mChecksumDelta ^= std::uint8_t(old ^ now);
        return QByteArray(1, char(now));
    };
    if (step.place == FrameTracker::Place::Checksum) {
        if (!mExtending)
            return bytes;
        mExtending = false;
        QByteArray record(1, char(extra->unit));
        const auto bits = std::bit_cast<quint32>(extra->value);
        for (int shift = 24; shift >= 0; shift -= 8)
            record.append(char(quint8(bits >> shift)));
        for (const char added : record)
            mChecksumDelta ^= std::uint8_t(added);
        *note = note->isEmpty() ? QStringLiteral("extra variable added") : *note + QStringLiteral(", extra variable added");
        return record + QByteArray(1, char(byte ^ mChecksumDelta));
    }
    switch (step.bodyOffset) {
    case CommandOffset:
        mExtending = byte == DeviceValuesCommand || byte == BurstValuesCommand;
        mChecksumDelta = 0;
        return bytes;
    case CountOffset:
        // Only an answer that carries its number of variables, and whose count still fits a byte.
        if (mExtending && byte >= 3 && byte <= 255 - VariableRecordSize)
            return replaced(byte, std::uint8_t(byte + VariableRecordSize));
        mExtending = false;
        return bytes;
    case VariableCountOffset:
        return mExtending ? replaced(byte, std::uint8_t(byte + 1)) : bytes;
    default:
        return bytes;
    }
}

} // namespace ZebSim

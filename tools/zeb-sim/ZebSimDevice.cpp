#include "tools/zeb-sim/ZebSimDevice.h"

#include "tools/zeb-sim/SimLine.h"

#include "tools/boot-sim/Msp432Target.h"
#include "tools/boot-sim/TivaTarget.h"

#include "protocol/parlink/PARLINK.h"
#include "protocol/parlink/PARLINK_SLAVE_AppLayer.h"
#include "protocol/parlink/PARLINK_SessionInfo.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace ZebSim {

namespace {

using Session = PARLINK_Session;
using FieldMap = QMap<QString, QVariant>;
using Space = ParameterMemory::Space;

// "Status Low" of a command the device cannot carry out (a memory access past the end).
constexpr int NotCarriedOut = 0x01;
constexpr int MeasuringIntervalMs = 100;

// Values of "Systemcommand" in command 143.
enum class SystemCommand { SetCurrentAsFactoryDefaults = 0, ResetToFactoryDefaults = 1, ResetNvm = 2, Restart = 3 };

void setVariables(FieldMap &fields, const QString &prefix, const QString &countKey, const QList<Variable> &values)
{
    fields[countKey] = int(values.size());
    for (int i = 0; i < values.size(); ++i) {
        fields[QStringLiteral("%1 %2 Unit").arg(prefix).arg(i + 1)] = int(values[i].unit);
        fields[QStringLiteral("%1 %2").arg(prefix).arg(i + 1)] = values[i].value;
    }
}

void setVariables(FieldMap &fields, Session::PARLINK_ENUM_SESSION_COMMAND command, const QList<Variable> &values)
{
    if (command == Session::PARLINK_ENUM_SESSION_COMMAND_138)
        setVariables(fields, QStringLiteral("Devicevariable"), QStringLiteral("Number of Devicevariables"), values);
    else
        setVariables(fields, QStringLiteral("Burstvariable"), QStringLiteral("Number of Burstvariables"), values);
}

} // namespace

ZebSimDevice::ZebSimDevice(const SimConfig &config, QObject *parent) : QObject(parent), mConfig(config) {}

ZebSimDevice::~ZebSimDevice()
{
    // The stack's link layer stops its serial thread; the line outlives it so that nothing the
    // stack still writes lands on a closed descriptor.
    delete mStack;
    mStack = nullptr;
}

void ZebSimDevice::setFaults(const FaultPlan &faults)
{
    mConfig.faults = faults;
    mReadsOfChunk.clear();
}

bool ZebSimDevice::start(QString *error)
{
    if (!mConfig.logPath.isEmpty() && !mLog.open(mConfig.logPath, error))
        return false;
    mLine = new SimLine(mConfig, &mLog, this);
    if (!mLine->open(error))
        return false;
    connect(mLine, &SimLine::requestAddressSeen, this, &ZebSimDevice::routeRequest, Qt::DirectConnection);
    switch (mConfig.bootLoader.family) {
    case BootLoaderPlan::Family::Tiva: {
        auto tiva = std::make_unique<BootSim::TivaTarget>(mConfig.bootLoader.tivaFaults);
        tiva->setStatusPackets(mConfig.bootLoader.tivaStatusPackets);
        mBootTarget = std::move(tiva);
        break;
    }
    case BootLoaderPlan::Family::Msp432:
        mBootTarget = std::make_unique<BootSim::Msp432Target>(mConfig.bootLoader.msp432Faults);
        break;
    case BootLoaderPlan::Family::None:
        break;
    }
    // Only once its answer to 133 is on the line does the device leave for its boot loader.
    connect(mLine, &SimLine::frameSent, this, [this] {
        if (!mBootLoaderRequested)
            return;
        mBootLoaderRequested = false;
        mLine->startBootLoader(mBootTarget.get());
        emit bootLoaderStarted();
    }, Qt::DirectConnection);
    connect(mLine, &SimLine::bootLoaderLeft, this, [this] {
        mMemory.restart();
        ++mRestarts;
        mLog.note(QStringLiteral("device restarted"));
        emit bootLoaderLeft();
    });

    mStack = new PARLINK(this);
    connect(mStack->slaveLayer(), &PARLINK_SLAVE_AppLayer::sessionRequestDecoded, this, &ZebSimDevice::prepareReply,
            Qt::DirectConnection);
    connect(mStack, &PARLINK::sessionNewInfo, this, &ZebSimDevice::sessionInfoChanged);
    connect(mStack, &PARLINK::portNewState, this, [this](bool open) {
        if (open)
            emit ready();
    });

    mReply = new PARLINK_Session(this);
    mReply->setType(Session::PARLINK_ENUM_SESSION_TYPE_SLAVE);
    mReply->setAddress(mConfig.address);
    mClock.start();
    refreshMeasuredValues();
    mStack->sessionStart(mReply);

    PARLINK_Session::InterfaceSettings settings;
    settings.portName = mLine->devicePortPath();
    settings.baudRate = 1200;
    settings.dataBits = FSerialPort::Data8;
    settings.parity = FSerialPort::OddParity;
    settings.stopBits = FSerialPort::OneStop;
    settings.flowControl = FSerialPort::NoFlowControl;
    mStack->portOpen(true, settings);

    mMeasuring = new QTimer(this);
    connect(mMeasuring, &QTimer::timeout, this, &ZebSimDevice::refreshMeasuredValues);
    mMeasuring->start(MeasuringIntervalMs);
    mLog.note(QStringLiteral("zeb-sim on %1").arg(portPath()));
    return true;
}

QString ZebSimDevice::portPath() const
{
    return mLine ? mLine->programPortPath() : QString();
}

int ZebSimDevice::programLineSpeed() const
{
    return mLine ? mLine->programLineSpeed() : -1;
}

bool ZebSimDevice::inBootLoader() const
{
    return mLine && mLine->inBootLoader();
}

int ZebSimDevice::framesReceived() const
{
    return mLine ? mLine->framesReceived() : 0;
}

int ZebSimDevice::framesSent() const
{
    return mLine ? mLine->framesSent() : 0;
}

int ZebSimDevice::wakeUpsReceived() const
{
    return mLine ? mLine->wakeUpsReceived() : 0;
}

int ZebSimDevice::burstAcknowledgesReceived() const
{
    return mLine ? mLine->burstAcknowledgesReceived() : 0;
}

QByteArray ZebSimDevice::addressFor(Space space) const
{
    QByteArray address = mConfig.address;
    if (space == Space::Device) {
        address[3] = 0;
        address[4] = 0;
    } else if (space == Space::SubDevice) {
        address[1] = 0;
        address[2] = 0;
    }
    return address;
}

std::optional<Space> ZebSimDevice::spaceOf(const QByteArray &address) const
{
    for (Space space : {Space::DeviceAndSubDevice, Space::Device, Space::SubDevice}) {
        if (address == addressFor(space))
            return space;
    }
    return std::nullopt;
}

// The device answers at its device address, its sub-device address and its full address, and a 137
// to the zero address with its full address. The stack answers from one address, so the reply session
// takes the one this request is for; a request for another device is left to the stack to ignore.
void ZebSimDevice::routeRequest(const QByteArray &address)
{
    if (address == QByteArray(5, '\0')) {
        mSpace = Space::DeviceAndSubDevice;
        mReply->setAddress(mConfig.address);
        return;
    }
    if (const auto space = spaceOf(address)) {
        mSpace = *space;
        mReply->setAddress(address);
    }
}

void ZebSimDevice::prepareReply(PARLINK_Session *request)
{
    const Session::PARLINK_ENUM_SESSION_COMMAND command = request->getCommand();
    FieldMap asked;
    request->getDataForCommand(command, &asked);
    FieldMap fields;
    mReply->getDataForCommand(command, &fields);
    fields[QStringLiteral("Status High")] = 0;
    fields[QStringLiteral("Status Low")] = 0;
    mCommands.append(int(command));

    if (const auto refused = mConfig.faults.statusLowFor.constFind(int(command));
        refused != mConfig.faults.statusLowFor.cend()) {
        // A refused command changes nothing in the device.
        fields[QStringLiteral("Status Low")] = refused.value();
        mReply->setDataForCommand(command, fields);
        emit requestReceived(int(command));
        return;
    }

    const bool subDevice = mSpace != Space::Device;
    switch (command) {
    case Session::PARLINK_ENUM_SESSION_COMMAND_128:
        fields[QStringLiteral("BaudrateBitmask")] = int(mConfig.baudRateMask);
        break;
    case Session::PARLINK_ENUM_SESSION_COMMAND_130: {
        const auto address = std::uint16_t(asked.value(QStringLiteral("Address")).toUInt());
        const int count = int(asked.value(QStringLiteral("BytesToRead")).toUInt());
        // More than a master accepts in one answer is refused rather than cut short: a short answer
        // that reports success would pass for the whole read. A refusal carries no memory contents.
        std::optional<QByteArray> bytes;
        if (count <= PARLINK_SLAVE_AppLayer::MaxBytesToRead)
            bytes = mMemory.read(mSpace, address, count);
        if (!bytes) {
            fields[QStringLiteral("Status Low")] = NotCarriedOut;
            fields[QStringLiteral("Bytes")] = QByteArray();
            break;
        }
        const QString chunk = QStringLiteral("%1:%2:%3").arg(int(mSpace)).arg(address).arg(count);
        if (++mReadsOfChunk[chunk] <= mConfig.faults.wrongReadBacks && !bytes->isEmpty()) {
            (*bytes)[0] = char(~(*bytes)[0]);
            mLog.note(QStringLiteral("fault: altered read-back of %1 bytes at %2").arg(count).arg(address));
        }
        fields[QStringLiteral("Bytes")] = *bytes;
        break;
    }
    case Session::PARLINK_ENUM_SESSION_COMMAND_131: {
        const auto address = std::uint16_t(asked.value(QStringLiteral("Address")).toUInt());
        if (!mMemory.write(mSpace, address, asked.value(QStringLiteral("Bytes")).toByteArray()))
            fields[QStringLiteral("Status Low")] = NotCarriedOut;
        break;
    }
    case Session::PARLINK_ENUM_SESSION_COMMAND_132:
        mMemory.takeOver(mSpace);
        break;
    case Session::PARLINK_ENUM_SESSION_COMMAND_133:
        mBootLoaderRequested = mBootTarget != nullptr;
        break;
    case Session::PARLINK_ENUM_SESSION_COMMAND_134:
        fields[QStringLiteral("DiagValue")] = 0;
        break;
    case Session::PARLINK_ENUM_SESSION_COMMAND_135: {
        const auto version = parseVersion(subDevice ? mConfig.subVersion : mConfig.version).value_or(std::pair{0, 0});
        fields[QStringLiteral("Version")] = version.first;
        fields[QStringLiteral("Subversion")] = version.second;
        break;
    }
    case Session::PARLINK_ENUM_SESSION_COMMAND_136: {
        const auto date = parseRevision(subDevice ? mConfig.subRevision : mConfig.revision)
                              .value_or(std::array{0, 0, 0});
        fields[QStringLiteral("Revision Year")] = date[0];
        fields[QStringLiteral("Revision Month")] = date[1];
        fields[QStringLiteral("Revision Day")] = date[2];
        break;
    }
    case Session::PARLINK_ENUM_SESSION_COMMAND_138:
    case Session::PARLINK_ENUM_SESSION_COMMAND_139: {
        const QList<Sample> &samples = mConfig.measured.samples;
        const qsizetype answer = mMeasuredAnswers++;
        if (samples.isEmpty())
            break;
        const Sample &sample = samples.at(std::min<qsizetype>(answer, samples.size() - 1));
        setVariables(fields, command, sample.variables);
        fields[QStringLiteral("Status High")] = int(sample.status);
        break;
    }
    case Session::PARLINK_ENUM_SESSION_COMMAND_141:
        fields[QStringLiteral("Devicetypestring")] = subDevice ? mConfig.subName : mConfig.name;
        break;
    case Session::PARLINK_ENUM_SESSION_COMMAND_143:
        switch (SystemCommand(asked.value(QStringLiteral("Systemcommand")).toUInt())) {
        case SystemCommand::SetCurrentAsFactoryDefaults:
            mMemory.storeAsFactoryDefaults(mSpace);
            break;
        case SystemCommand::ResetToFactoryDefaults:
            mMemory.restoreFactoryDefaults(mSpace);
            break;
        case SystemCommand::ResetNvm:
            mMemory.resetNvm(mSpace);
            break;
        case SystemCommand::Restart:
            mMemory.restart();
            ++mRestarts;
            mLog.note(QStringLiteral("device restarted"));
            break;
        default:
            fields[QStringLiteral("Status Low")] = NotCarriedOut;
            break;
        }
        break;
    default:
        break;
    }
    if (command == Session::PARLINK_ENUM_SESSION_COMMAND_130 && mConfig.faults.shortReads > 0
        && fields.value(QStringLiteral("Status Low")).toInt() == 0) {
        // The reply's length follows the request's "BytesToRead", so asking for less here makes a
        // sound frame that carries fewer bytes than the program asked for.
        const int asked130 = asked.value(QStringLiteral("BytesToRead")).toInt();
        asked[QStringLiteral("BytesToRead")] = std::max(0, asked130 - mConfig.faults.shortReads);
        request->setDataForCommand(command, asked);
        mLog.note(QStringLiteral("fault: read of %1 bytes answered with %2")
                      .arg(asked130)
                      .arg(asked.value(QStringLiteral("BytesToRead")).toInt()));
    }
    mReply->setDataForCommand(command, fields);
    emit requestReceived(int(command));
}

void ZebSimDevice::sessionInfoChanged(PARLINK_SessionInfo *info)
{
    if (info->getBaudrate() != 0 && info->getBaudrate() != mDeviceBaudrate) {
        mDeviceBaudrate = info->getBaudrate();
        mLog.note(QStringLiteral("device line at %1 baud").arg(mDeviceBaudrate));
    }
    mBurstActive = info->isBurstModeActive();
}

// Flow, volume and temperature as the device measures them: a slowly varying flow, the volume it
// adds up and a steady temperature.
void ZebSimDevice::refreshMeasuredValues()
{
    const double seconds = double(mClock.elapsed()) / 1000.0;
    const float flow = float(12.5 + 0.5 * std::sin(seconds));
    const QList<Variable> values{{1, flow}, {2, float(12.5 * seconds / 60.0)}, {3, 21.3f}};

    // Fixed samples are set as each request comes; what the burst stream sends meanwhile is the last
    // answer's.
    if (mConfig.measured.samples.isEmpty()) {
        for (const auto command : {Session::PARLINK_ENUM_SESSION_COMMAND_138, Session::PARLINK_ENUM_SESSION_COMMAND_139}) {
            FieldMap fields;
            mReply->getDataForCommand(command, &fields);
            setVariables(fields, command, values);
            mReply->setDataForCommand(command, fields);
        }
    }

    FieldMap status;
    mReply->getDataForCommand(Session::PARLINK_ENUM_SESSION_COMMAND_140, &status);
    for (auto text = mConfig.measured.statusTexts.cbegin(); text != mConfig.measured.statusTexts.cend(); ++text)
        status[QStringLiteral("Statusstring %1").arg(text.key())] = text.value();
    mReply->setDataForCommand(Session::PARLINK_ENUM_SESSION_COMMAND_140, status);
}

} // namespace ZebSim

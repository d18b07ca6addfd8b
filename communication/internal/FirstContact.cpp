#include "communication/internal/FirstContact.h"

#include "communication/internal/JobDelays.h"

#include "protocol/parlink/PARLINK_Session.h"

namespace Thg::Tilo::Communication::Internal {

namespace {

using Command = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND;
constexpr Command Cmd128 = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_128;
constexpr Command Cmd129 = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_129;
constexpr Command Cmd135 = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_135;
constexpr Command Cmd136 = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_136;
constexpr Command Cmd137 = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_137;
constexpr Command Cmd141 = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_141;

// A field read as text and taken as an unsigned 32-bit number; 0 for anything else.
std::uint32_t unsignedField(const QMap<QString, QVariant> &fields, const QString &key)
{
    bool ok = false;
    const std::uint32_t value = fields.value(key).toString().toUInt(&ok);
    return ok ? value : 0;
}

bool isSub(Address::Type type)
{
    return type == Address::Type::SubDevice || type == Address::Type::DeviceAndSubDevice;
}

} // namespace

FirstContact::FirstContact(QObject *parent, PARLINK *facade, Port *port, ClosePortWhenFinished closePort,
                           int responseTimeoutMs)
    : Default(parent, facade, port, closePort, responseTimeoutMs)
{
    connect(mSession, &Session::noResponse, this, &FirstContact::noResponse);
    connect(mSession, &Session::newData, this, &FirstContact::replyReceived);
    connect(&mStepTimer, &QTimer::timeout, this, &FirstContact::sendCurrentSequence);
    if (mPort) {
        connect(mPort, &Port::opened, this, &FirstContact::portOpened);
        connect(mPort, &Port::failed, this, &FirstContact::portFailed);
    }
}

FirstContact::~FirstContact() = default;

void FirstContact::start(const Comport &comport, bool deviceIdentification, int openTimeoutMs)
{
    if (mActive)
        return;
    reset();
    incProgress(10);
    mDeviceIdentification = deviceIdentification;
    mActive = true;
    mPort->open(comport, openTimeoutMs);
}

void FirstContact::reset()
{
    setProgress(0);
    mSession->stop();
    // A step still pending belongs to the identification being dropped.
    mStepTimer.stop();
    mPlan = {};
    mFound = {};
    mActive = false;
}

void FirstContact::abort()
{
    emit log(LogLevel::Info, QStringLiteral("Operation was aborted and com port was closed!"));
    reset();
    mPort->close();
}

void FirstContact::fail(const QString &logEntry, const QString &errorText)
{
    if (!logEntry.isEmpty())
        emit log(LogLevel::Error, logEntry);
    emit error(errorText);
    reset();
    mPort->close();
}

void FirstContact::portOpened()
{
    if (!mActive)
        return;
    if (!mDeviceIdentification) {
        Device bootloader;
        bootloader.Name = bootloaderDeviceName;
        setProgress(100);
        mActive = false;
        closePortWhenDone();
        emit foundDevice(bootloader);
        return;
    }
    startSession(Address::Bytes{}, {Session::request(Cmd137)}, FirstContactDelays.startMs);
}

void FirstContact::portFailed()
{
    if (!mActive)
        return;
    fail({}, tr("Could not open com port!"));
}

void FirstContact::noResponse()
{
    if (!mActive)
        return;
    fail({}, tr("Could not find the device -> timeout!"));
}

// The identification, reply by reply:
//   waiting for 137  -> 137: address stored, plan built, step timer    -> between sequences
//                    -> any other command                              -> failed
//   in a sequence    -> the expected command, more in the sequence     -> in the sequence
//                    -> the expected command, last of the sequence     -> between sequences, or done
//                    -> any other command                              -> failed
//   between sequences -> step timer: the next sequence's session        -> in a sequence
// A refused reply ("Status Low" or "Universal Error" not 0) fails in every state, before the command
// is looked at. Every failure resets the job and closes the port.
void FirstContact::replyReceived(PARLINK_Session *reply)
{
    if (!mActive || !reply)
        return;
    const QMap<QString, QVariant> fields = Session::getCommandData(*reply);
    if (const auto refusal = checkAcknowledged(fields, int(reply->getCommand()))) {
        fail(refusal->logEntry, refusal->errorText);
        return;
    }
    if (mPlan.sequences.isEmpty())
        contactReply(*reply);
    else
        sequenceReply(*reply, fields);
}

void FirstContact::contactReply(const PARLINK_Session &reply)
{
    incProgress(10);
    if (reply.getCommand() != Cmd137) {
        printCommandError(reply.getCommand(), Cmd137);
        return;
    }
    const QMap<QString, QVariant> fields = Session::getCommandData(reply);
    const std::uint32_t vendor = unsignedField(fields, QStringLiteral("Address Vendor ID"));
    const std::uint32_t slave = unsignedField(fields, QStringLiteral("Address Slave"));
    const std::uint32_t subslave = unsignedField(fields, QStringLiteral("Address Subslave"));
    // Each id is 16 bits wide, high byte first, as the address travels in every request.
    mFound.address.bytes = {std::uint8_t(vendor), std::uint8_t(slave >> 8), std::uint8_t(slave),
                            std::uint8_t(subslave >> 8), std::uint8_t(subslave)};
    const Address::Type type = mFound.address.getType();
    buildPlan(type);
    emit log(LogLevel::Trace, QStringLiteral("Device responded to command 137: address: %1 Typ: %2")
                                  .arg(mFound.address.getAddressAsString(mFound.address.bytes).join(QString()))
                                  .arg(std::uint32_t(type)));
    mStepTimer.start(FirstContactDelays.stepMs);
}

void FirstContact::buildPlan(Address::Type type)
{
    const auto identity = [](Address::Type at) {
        return Sequence(at, Session::request(Cmd135), Session::request(Cmd136), Session::request(Cmd141));
    };
    const Address::Type first = type == Address::Type::DeviceAndSubDevice ? Address::Type::Device : type;
    mPlan.sequences = {Sequence(first, Session::request(Cmd128)), Sequence(first, Session::request(Cmd129)),
                       identity(first)};
    if (type == Address::Type::DeviceAndSubDevice)
        mPlan.sequences.append(identity(Address::Type::DeviceAndSubDevice));
    mPlan.cursor = 0;
}

void FirstContact::sequenceReply(const PARLINK_Session &reply, const QMap<QString, QVariant> &fields)
{
    incProgress(unsigned(80 / (2 * mPlan.sequences.size())));
    Sequence *sequence = mPlan.current();
    const std::optional<Session::Data> expected = sequence ? sequence->getCurrent() : std::nullopt;
    if (!expected || reply.getCommand() != expected->command) {
        printCommandError(reply.getCommand(), expected ? expected->command : PARLINK_Session::PARLINK_ENUM_SESSION_NO_COMMAND);
        return;
    }

    const bool sub = isSub(sequence->type);
    switch (reply.getCommand()) {
    case Cmd128: {
        const std::uint32_t rate = gatherDataCmd128(fields);
        if (mPlan.hasNext()) {
            Sequence &next = mPlan.sequences[mPlan.cursor + 1];
            if (next.cursor >= 0 && next.cursor < next.commands.size()) {
                QMap<QString, QVariant> request = Session::getDefaultData(Cmd129);
                request[QStringLiteral("Baudrate")] = rate;
                next.commands[next.cursor].fields = request;
            }
        }
        break;
    }
    case Cmd129:
        emit log(LogLevel::Trace, QStringLiteral("Device responded to command 129: baudrate was changed"));
        break;
    case Cmd135: {
        const QString text = QStringLiteral("V") + prependZero(fields, QStringLiteral("Version")) + QStringLiteral(".")
                             + prependZero(fields, QStringLiteral("Subversion"));
        (sub ? mFound.SubVersion : mFound.Version) = text;
        emit log(LogLevel::Trace, QStringLiteral("Device responded to command 135: Version ") + text);
        break;
    }
    case Cmd136: {
        const QString text = prependZero(fields, QStringLiteral("Revision Year"))
                             + prependZero(fields, QStringLiteral("Revision Month"))
                             + prependZero(fields, QStringLiteral("Revision Day"));
        (sub ? mFound.SubRevision : mFound.Revision) = text;
        emit log(LogLevel::Trace, QStringLiteral("Device responded to command 136: Revision ") + text);
        break;
    }
    case Cmd141: {
        const QString text = prependZero(fields, QStringLiteral("Devicetypestring"));
        (sub ? mFound.SubName : mFound.Name) = text;
        emit log(LogLevel::Trace, QStringLiteral("Device responded to command 141: Name ") + text);
        break;
    }
    default:
        break;
    }

    switch (moveOn(mPlan, FirstContactDelays.stepMs)) {
    case Next::Command:
        return;
    case Next::Sequence:
        // The plan's cursor moves now: the step timer sends the sequence at the cursor, as it sends
        // the first one after 137.
        ++mPlan.cursor;
        return;
    case Next::Nothing:
        break;
    }
    setProgress(100);
    mActive = false;
    closePortWhenDone();
    emit foundDevice(mFound);
}

void FirstContact::sendCurrentSequence()
{
    const Sequence *sequence = mPlan.current();
    if (!mActive || !sequence)
        return;
    startSequence(mFound.address, *sequence, 0);
}

std::uint32_t FirstContact::chosenBaudrate(std::uint32_t mask)
{
    // Every device speaks 1200 baud, so bit 0 says nothing.
    for (int bit = int(BaudRates.size()) - 1; bit >= 1; --bit) {
        if (mask & (1u << bit))
            return BaudRates[std::size_t(bit)];
    }
    return BaudRates[0];
}

std::uint32_t FirstContact::gatherDataCmd128(const QMap<QString, QVariant> &fields)
{
    const std::uint32_t mask = unsignedField(fields, QStringLiteral("BaudrateBitmask")) & 0xFFFFu;
    QString entry = QStringLiteral("Device responded to command 128: ");
    for (std::size_t bit = 0; bit < BaudRates.size(); ++bit)
        entry += QStringLiteral(" ") + QString::number(BaudRates[bit]) + tr(" Baud: ")
                 + ((mask & (1u << bit)) ? tr("y") : tr("n"));
    emit log(LogLevel::Trace, entry);
    return chosenBaudrate(mask);
}

void FirstContact::printCommandError(Command received, Command expected)
{
    const Refusal refusal = wrongCommand(int(expected), int(received));
    fail(refusal.logEntry, refusal.errorText);
}

} // namespace Thg::Tilo::Communication::Internal

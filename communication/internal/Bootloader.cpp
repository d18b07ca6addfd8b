#include "communication/internal/Bootloader.h"

#include "communication/internal/Port.h"

#include "protocol/bootloader/BootloaderHandler.h"
#include "protocol/parlink/PARLINK.h"
#include "protocol/parlink/PARLINK_LinkLayer.h"

#include <QTimer>

namespace Thg::Tilo::Communication::Internal {

namespace {

constexpr auto Cmd133 = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_133;

} // namespace

Bootloader::Bootloader(QObject *parent, PARLINK *facade, Port *port, int responseTimeoutMs)
    : Default(parent, facade, port, ClosePortWhenFinished::Yes, responseTimeoutMs),
      mHandler(new BootloaderHandler(this, facade ? facade->linkLayer()->serialPort() : nullptr)),
      mHandOverTimer(new QTimer(this))
{
    qRegisterMetaType<Type>("Thg::Tilo::Communication::Internal::Bootloader::Type");
    mHandOverTimer->setObjectName(QStringLiteral("handOverTimer"));
    mHandOverTimer->setSingleShot(true);
    mHandOverTimer->setTimerType(Qt::PreciseTimer);
    mHandOverTimer->setInterval(HandOverMs);

    connect(mSession, &Session::noResponse, this, &Bootloader::noResponse);
    connect(mSession, &Session::newData, this, &Bootloader::replyReceived);
    connect(mHandler, &BootloaderHandler::actionProgress, this, &Bootloader::clientProgress);
    connect(mHandler, &BootloaderHandler::log, this, [this](const QString &msg) { emit log(LogLevel::Trace, msg); });
    connect(mHandler, &BootloaderHandler::error, this, &Bootloader::clientError);
    connect(mHandler, &BootloaderHandler::state, this, &Bootloader::clientState);
    connect(mHandOverTimer, &QTimer::timeout, this, &Bootloader::handOver);
}

Bootloader::~Bootloader() = default;

void Bootloader::start(Address::Type type, const Device &device, Type blType, const QString &fileName, bool rescueMode,
                       bool leavePortOpenOnError)
{
    if (mState != Idle) {
        refuse(QT_TR_NOOP("Current operation not finished!"));
        return;
    }
    if (fileName.isEmpty()) {
        refuse(QT_TR_NOOP("given Filename is empty!"));
        return;
    }
    // A type without a client would leave nobody to take the port once the link layer has let go of
    // it, and the update would wait for ever.
    if (blType != Type::MSP432 && blType != Type::TIVA) {
        refuse("given bootloader type is undefined!", QT_TR_NOOP("given Bootloadertype is undefined!"));
        return;
    }
    // The client reads the file only once the device runs its boot loader: a file it refuses then
    // would leave the device there, waiting for a firmware that never comes.
    const auto family = BootloaderHandler::BLFAMILY(int(blType));
    if (const ::Bootloader::BLERROR refusal = BootloaderHandler::checkFirmwareFile(family, fileName);
        refusal != ::Bootloader::BLERROR_NOERROR) {
        const char *text = BootloaderHandler::errorText(refusal).value_or("");
        emit log(LogLevel::Error, QStringLiteral("Bootloader: ") + QLatin1String(text));
        emit error(tr("Bootloader: ") + BootloaderHandler::tr(text));
        return;
    }

    mLeavePortOpenOnError = leavePortOpenOnError;
    mFileName = fileName;
    mHandler->setFamily(family);
    mHandler->setInterface(BootloaderHandler::INTERFACE_UART, false);
    mHandOverTimer->stop();
    mState = WaitingFor133;
    setProgress(0);

    // A target left in its boot loader by an update that did not succeed would not understand 133.
    if (rescueMode || mHandler->isDownloadPending()) {
        mState = PortWithBootLoader;
        takePortFromLinkLayer();
        mHandOverTimer->start(HandOverMs);
        return;
    }

    mDevice = device;
    mPlan = {};
    mPlan.sequences.append(Sequence(type, Session::request(Cmd133)));
    startSequence(mDevice.address, mPlan.sequences.first(), StartDelayMs);
    incProgress(1);
}

// waiting for 133   -> 133, acknowledged                 -> port taken from the link layer, hand-over
//                                                          timer (1000 ms)
//                   -> another command, refused, no reply -> failed, before the port was ever lent
// hand-over timer   -> the port lent to the client, which downloads once the port has its settings
// the client        -> "Download successful"              -> done: port back, port closed
//                   -> an error                            -> failed: port back
void Bootloader::replyReceived(PARLINK_Session *reply)
{
    if (mState != WaitingFor133 || !reply)
        return;
    if (const auto refusal = checkReply(mPlan, int(reply->getCommand()), Session::getCommandData(*reply))) {
        fail(refusal->logEntry, refusal->errorText);
        return;
    }
    incProgress(1);
    if (reply->getCommand() == Cmd133) {
        emit log(LogLevel::Trace, QStringLiteral("Device responded to command 133: Bootloader started -> closing port"));
        mState = PortWithBootLoader;
        takePortFromLinkLayer();
        mHandOverTimer->start(HandOverMs);
    }
}

void Bootloader::noResponse()
{
    if (mState == Idle)
        return;
    fail({}, tr("Device didn`t respond -> timeout! !"));
}

void Bootloader::takePortFromLinkLayer()
{
    if (PARLINK_LinkLayer *link = linkLayer())
        link->disconnectSerialPortSignals();
}

void Bootloader::handOver()
{
    if (mState != PortWithBootLoader)
        return;
    mHandler->setInterface(BootloaderHandler::INTERFACE_UART, true, mFileName);
}

void Bootloader::clientProgress(uint8_t percentage)
{
    if (mState == Idle)
        return;
    setProgress(percentage);
}

void Bootloader::clientError(const QString &text)
{
    if (mState == Idle)
        return;
    // The handler's text is translated for the user; the log takes the English text it was made from.
    const std::optional<const char *> source = BootloaderHandler::sourceErrorText(text);
    fail(QStringLiteral("Bootloader: ") + (source ? QLatin1String(*source) : text), tr("Bootloader: ") + text);
}

void Bootloader::clientState(const QString &text)
{
    emit log(LogLevel::Trace, QStringLiteral("New Bootloader state: ") + text);
    if (mState == Idle || text != QLatin1String(DownloadSuccessful))
        return;
    mHandOverTimer->stop();
    setProgress(100);
    emit success();
    if (PARLINK_LinkLayer *link = linkLayer())
        link->connectSerialPortSignals();
    // Closed whatever leavePortOpenOnError says: the device restarts with its new firmware, at 1200
    // baud, and must be found again.
    closePortWhenDone();
    mState = Idle;
}

void Bootloader::fail(const QString &logEntry, const QString &errorText)
{
    if (mState == Idle)
        return;
    // Also when the port was never taken: connecting is idempotent, so no byte reaches the link layer
    // twice.
    if (PARLINK_LinkLayer *link = linkLayer())
        link->connectSerialPortSignals();
    if (!logEntry.isEmpty())
        emit log(LogLevel::Error, logEntry);
    emit error(errorText);
    mHandOverTimer->stop();
    mSession->stop();
    mState = Idle;
    setProgress(0);
    if (!mLeavePortOpenOnError)
        mPort->close();
}

// Gives the port back too: a link layer cut off from its port would never hear it open again.
void Bootloader::abort()
{
    emit log(LogLevel::Info, QStringLiteral("Operation was aborted and com port was closed!"));
    mHandOverTimer->stop();
    mSession->stop();
    if (mState == PortWithBootLoader) {
        if (PARLINK_LinkLayer *link = linkLayer())
            link->connectSerialPortSignals();
    }
    mState = Idle;
    setProgress(0);
    mPort->close();
}

PARLINK_LinkLayer *Bootloader::linkLayer() const
{
    return mFacade ? mFacade->linkLayer() : nullptr;
}

} // namespace Thg::Tilo::Communication::Internal

#include "protocol/bootloader/BootloaderHandler.h"

#include "protocol/bootloader/MSP432.h"
#include "protocol/bootloader/Tiva.h"

#include <QMetaType>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>

std::optional<const char *> BootloaderHandler::stateText(Bootloader::BLSTATE state)
{
    for (const auto &[value, text] : StateTexts) {
        if (value == state)
            return text;
    }
    return std::nullopt;
}

std::optional<const char *> BootloaderHandler::errorText(Bootloader::BLERROR error)
{
    for (const auto &[value, text] : ErrorTexts) {
        if (value == error)
            return text;
    }
    return std::nullopt;
}

std::optional<const char *> BootloaderHandler::sourceErrorText(const QString &translated)
{
    for (const auto &entry : ErrorTexts) {
        if (tr(entry.second) == translated)
            return entry.second;
    }
    return std::nullopt;
}

Bootloader::BLERROR BootloaderHandler::checkFirmwareFile(BLFAMILY family, const QString &fileName)
{
    switch (family) {
    case FAMILY_MSP432: {
        QList<MSPCommands::DataBlock> blocks;
        return MSP432::readFirmwareFile(fileName, &blocks);
    }
    case FAMILY_TIVA: {
        TIVA::Commands::DataBlock image;
        return Tiva::readFirmwareFile(fileName, &image);
    }
    case FAMILY_UNDEF:
        break;
    }
    return Bootloader::BLERROR_NOERROR;
}

BootloaderHandler::BootloaderHandler(QObject *parent, FSerialPort *serialPort)
    : QObject(parent), mSerialPort(serialPort), mThread(new QThread(this)), mReleaseTimer(new QTimer(this))
{
    Bootloader::registerMetaTypes();
    FSerialPort::registerMetaTypes();
    mThread->setObjectName(QStringLiteral("BootloaderThread"));
    mThread->start(QThread::InheritPriority);

    mReleaseTimer->setObjectName(QStringLiteral("releaseTimer"));
    mReleaseTimer->setSingleShot(true);
    mReleaseTimer->setTimerType(Qt::PreciseTimer);
    mReleaseTimer->setInterval(ReleaseDelayMs);
    connect(mReleaseTimer, &QTimer::timeout, this, &BootloaderHandler::releasePort);
}

BootloaderHandler::~BootloaderHandler()
{
    mReleaseTimer->stop();
    if (mClient) {
        disconnectClient(mClient.get());
        // Timers can only be stopped on their own thread; a transfer cut short leaves them running.
        Bootloader *client = mClient.get();
        QMetaObject::invokeMethod(
            client,
            [client] {
                const auto timers = client->findChildren<QTimer *>();
                for (QTimer *timer : timers)
                    timer->stop();
            },
            Qt::BlockingQueuedConnection);
    }
    mThread->quit();
    mThread->wait();
    // The thread has finished: nothing runs the client any more, so it can go from here.
    mClient.reset();
}

Bootloader::InterfaceSettings BootloaderHandler::interfaceSettings() const
{
    const QMutexLocker lock(&mSettingsMutex);
    return mSettings;
}

std::unique_ptr<Bootloader> BootloaderHandler::createClient(BLFAMILY family)
{
    switch (family) {
    case FAMILY_MSP432:
        return std::make_unique<MSP432>(nullptr);
    case FAMILY_TIVA:
        return std::make_unique<Tiva>(nullptr);
    case FAMILY_UNDEF:
        break;
    }
    return nullptr;
}

void BootloaderHandler::setFamily(BLFAMILY family)
{
    if (family == mFamily || family == FAMILY_UNDEF)
        return;
    mFamily = family;
    if (mClient) {
        // The client may be running on its thread right now: cut it off first, then let that thread
        // delete it once it is idle.
        Bootloader *old = mClient.release();
        disconnectClient(old);
        old->deleteLater();
    }
    mClient = createClient(family);
    if (!mClient)
        return;

    Bootloader *client = mClient.get();
    connect(this, &BootloaderHandler::downloadFamily, client, &Bootloader::download);
    connect(this, &BootloaderHandler::uploadFamily, client, &Bootloader::upload);
    connect(client, &Bootloader::progress, this, &BootloaderHandler::progressFamily);
    connect(client, &Bootloader::error, this, &BootloaderHandler::errorFamily);
    connect(client, &Bootloader::state, this, &BootloaderHandler::stateFamily);
    connect(client, &Bootloader::log, this, &BootloaderHandler::log);
    client->moveToThread(mThread);

    const QMutexLocker lock(&mSettingsMutex);
    mSettings = client->getInterfaceSettings();
}

void BootloaderHandler::setInterface(BLINTERFACE iface, bool download, const QString &fileName)
{
    mInterface = iface;
    if (iface != INTERFACE_UART || !download)
        return;
    mFileName = fileName;
    mDownloadPending = true;

    // An earlier update that failed with errors 1 or 2 kept its wiring; wired twice, every packet
    // would leave twice and the download would start twice.
    mReleaseTimer->stop();
    removePortConnections();

    if (!mSerialPort || !mClient) {
        errorFamily(Bootloader::BLERROR_INTERFACE_IS_NOT_OPEN);
        return;
    }
    FSerialPort *port = mSerialPort;
    connect(this, &BootloaderHandler::changeUARTSettings, port, &FSerialPort::changeSettings);
    connect(port, &FSerialPort::settingsChanged, this, [this] { emit downloadFamily(mFileName); });
    wirePortToClient();

    const Bootloader::InterfaceSettings settings = interfaceSettings();
    emit changeUARTSettings(settings.baudrate, FSerialPort::DataBits(settings.dataBits),
                            FSerialPort::Parity(settings.parity), FSerialPort::StopBits(settings.stopBits),
                            FSerialPort::FlowControl(settings.flowControl));
}

void BootloaderHandler::wirePortToClient()
{
    FSerialPort *port = mSerialPort;
    Bootloader *client = mClient.get();
    connect(client, &Bootloader::writeDataToInterface, port,
            qOverload<QByteArray, bool>(&FSerialPort::writeDataToPort));
    connect(client, &Bootloader::setNewBaudrate, port, &FSerialPort::setNewBaudrate, Qt::BlockingQueuedConnection);
    connect(port, &FSerialPort::newDataReadyFromPort, client, &Bootloader::newDataReadyFromInterface);
    connect(port, &FSerialPort::errorOccuredOnPort, client, &Bootloader::errorOccurredOnInterface);
    connect(port, &FSerialPort::log, client, &Bootloader::log);
    connect(port, &FSerialPort::dataWrittenToPort, client, &Bootloader::dataWrittenToInterface);
}

void BootloaderHandler::disconnectClient(Bootloader *client)
{
    disconnect(this, nullptr, client, nullptr);
    disconnect(client, nullptr, this, nullptr);
    if (mSerialPort) {
        disconnect(mSerialPort, nullptr, client, nullptr);
        disconnect(client, nullptr, mSerialPort, nullptr);
    }
}

void BootloaderHandler::removePortConnections()
{
    if (!mSerialPort)
        return;
    if (mClient) {
        disconnect(mSerialPort, nullptr, mClient.get(), nullptr);
        disconnect(mClient.get(), nullptr, mSerialPort, nullptr);
    }
    disconnect(this, nullptr, mSerialPort, nullptr);
    disconnect(mSerialPort, nullptr, this, nullptr);
}

void BootloaderHandler::releasePort()
{
    if (mFamily == FAMILY_UNDEF || mInterface != INTERFACE_UART || !interfaceSettings().release)
        return;
    removePortConnections();
}

void BootloaderHandler::progressFamily(uint8_t percentage)
{
    emit actionProgress(percentage);
}

void BootloaderHandler::stateFamily(Bootloader::BLSTATE state)
{
    const std::optional<const char *> text = stateText(state);
    if (!text)
        return;
    if (state == Bootloader::BLSTATE_DOWNLOAD_SUCCESSFULL)
        mDownloadPending = false;
    if (state == Bootloader::BLSTATE_DOWNLOAD_SUCCESSFULL || state == Bootloader::BLSTATE_UPLOAD_SUCCESSFULL)
        mReleaseTimer->start(ReleaseDelayMs);
    emit this->state(QString::fromLatin1(*text));
}

void BootloaderHandler::errorFamily(Bootloader::BLERROR error)
{
    // Errors 1 and 2 leave the wiring in place; the next hand-over removes it before wiring again.
    if (error != Bootloader::BLERROR_INTERFACE_CANT_OPEN && error != Bootloader::BLERROR_INTERFACE_IS_NOT_OPEN)
        releasePort();
    if (const std::optional<const char *> text = errorText(error))
        emit this->error(tr(*text));
}

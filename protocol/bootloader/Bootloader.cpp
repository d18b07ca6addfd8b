#include "protocol/bootloader/Bootloader.h"

#include "protocol/serial/FSerialPort.h"

#include <QMetaType>
#include <QTimer>

Bootloader::Bootloader(QObject *parent) : QObject(parent)
{
    registerMetaTypes();
}

Bootloader::~Bootloader() = default;

void Bootloader::registerMetaTypes()
{
    qRegisterMetaType<Bootloader::BLSTATE>("Bootloader::BLSTATE");
    qRegisterMetaType<Bootloader::BLERROR>("Bootloader::BLERROR");
    qRegisterMetaType<uint8_t>("uint8_t");
    qRegisterMetaType<QSerialPort::SerialPortError>("QSerialPort::SerialPortError");
}

Bootloader::BLERROR Bootloader::errorForSerialPortError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
        return BLERROR_NOERROR;
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
        return BLERROR_INTERFACE_CANT_OPEN;
    case QSerialPort::WriteError:
    case QSerialPort::ReadError:
        return BLERROR_INTERFACE_COM_ERROR;
    case QSerialPort::NotOpenError:
        return BLERROR_INTERFACE_IS_NOT_OPEN;
    default:
        return BLERROR_INTERFACE_MISC;
    }
}

Bootloader::InterfaceSettings Bootloader::getInterfaceSettings() const
{
    return mSettings;
}

bool Bootloader::isFirmwareFileName(const QString &fileName)
{
    return fileName.contains(QStringLiteral(".txt"), Qt::CaseSensitive);
}

void Bootloader::changeState(BLSTATE state)
{
    if (state == mState)
        return;
    mState = state;
    emit this->state(state);
}

Bootloader::InterfaceSettings Bootloader::uartSettings(qint32 baudrate)
{
    InterfaceSettings settings;
    settings.release = true;
    settings.baudrate = baudrate;
    settings.dataBits = FSerialPort::Data8;
    settings.parity = FSerialPort::EvenParity;
    settings.stopBits = FSerialPort::OneStop;
    settings.flowControl = FSerialPort::NoFlowControl;
    settings.halfDuplex = true;
    return settings;
}

QTimer *Bootloader::makeTimer(const char *name, int intervalMs, bool singleShot)
{
    auto *timer = new QTimer(this);
    timer->setObjectName(QLatin1String(name));
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(intervalMs);
    timer->setSingleShot(singleShot);
    return timer;
}

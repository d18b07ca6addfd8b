#include "communication/internal/Port.h"

#include "protocol/parlink/PARLINK.h"

#include <QTimer>

namespace Thg::Tilo::Communication::Internal {

Port::Port(QObject *parent, PARLINK *facade) : QObject(parent), mFacade(facade), mOpenTimer(new QTimer(this))
{
    mOpenTimer->setTimerType(Qt::PreciseTimer);
    mOpenTimer->setSingleShot(true);
    connect(mOpenTimer, &QTimer::timeout, this, &Port::openTimedOut);
    if (mFacade) {
        connect(mFacade, &PARLINK::portNewState, this, &Port::portStateChanged);
        connect(this, &Port::openPort, mFacade, &PARLINK::portOpen);
    }
}

Port::~Port() = default;

PARLINK_Session::InterfaceSettings Port::interfaceSettings(const Comport &comport)
{
    PARLINK_Session::InterfaceSettings settings;
    settings.dtrRun = true;
    settings.dtrClose = false;
    settings.dtrPowerDown = false;
    settings.rtsRun = false;
    settings.rtsClose = false;
    settings.rtsPowerDown = true;
    settings.singleWire = comport.HalfDuplex;
    settings.baudRate = 1200;
    settings.dataBits = FSerialPort::Data8;
    settings.parity = FSerialPort::OddParity;
    settings.stopBits = FSerialPort::OneStop;
    settings.flowControl = FSerialPort::NoFlowControl;
    settings.portName = comport.Number;
    settings.powerCycle = true;
    settings.powerDownMs = comport.PowerDown;
    settings.startupMs = comport.Startup;
    return settings;
}

void Port::open(const Comport &comport, int openTimeoutMs)
{
    mReopenPending = false;
    if (mOpen && !mClosing && comport == mComport) {
        emit log(LogLevel::Trace, QStringLiteral("same com port already open"));
        emit opened();
        return;
    }
    mOpenTimeoutMs = openTimeoutMs;
    mComport = comport;
    if (mOpen && mClosing) {
        // A close asked for earlier is still on its way to the port; opening now would find the port
        // gone a moment later. Open again once the close is reported.
        emit log(LogLevel::Trace, QStringLiteral("com port is being closed. Opening it again once closed ..."));
        mReopenPending = true;
    } else if (mOpen) {
        emit log(LogLevel::Trace, QStringLiteral("different com port already open. Closing ..."));
        close();
        mReopenPending = true;
    } else {
        reopen(comport, openTimeoutMs);
    }
}

void Port::reopen(const Comport &comport, int openTimeoutMs)
{
    emit log(LogLevel::Trace, QStringLiteral("Trying to open com port"));
    emit openPort(true, interfaceSettings(comport), QPrivateSignal());
    mOpenTimer->start(openTimeoutMs);
}

void Port::close()
{
    emit log(LogLevel::Trace, QStringLiteral("Com port will be closed"));
    emit openPort(false, interfaceSettings(mComport), QPrivateSignal());
    mOpenTimer->stop();
    mClosing = mOpen;
}

void Port::portStateChanged(bool open)
{
    mClosing = false;
    if (open) {
        mOpen = true;
        mOpenTimer->stop();
        emit log(LogLevel::Trace, QStringLiteral("Com port is open"));
        emit opened();
        return;
    }
    emit log(LogLevel::Trace, QStringLiteral("Com port is closed"));
    if (mReopenPending) {
        // The close was only the way to another port; the first open of it may take longer.
        mReopenPending = false;
        reopen(mComport, mOpenTimeoutMs * 2);
        return;
    }
    mOpen = false;
    emit closed();
}

void Port::openTimedOut()
{
    emit log(LogLevel::Error, QStringLiteral("Com port could not be opened. A timeout has occurred!"));
    emit failed();
}

} // namespace Thg::Tilo::Communication::Internal

#pragma once

// A firmware update as the program runs it, against a simulated boot loader behind a
// pseudo-terminal: the serial port on a thread of its own (as the link layer keeps it), opened as
// PARLINK opens it, and the boot-loader handler that lends it to a client.

#include "protocol/bootloader/BootloaderHandler.h"
#include "protocol/serial/FSerialPort.h"
#include "tools/boot-sim/BootTarget.h"
#include "tools/boot-sim/TargetPort.h"

#include <QThread>
#include <QtTest>

#include <memory>

namespace FlashTest {

constexpr int WaitMs = 10000;

class FlashRig {
public:
    explicit FlashRig(BootSim::BootTarget *target) : mLine(target)
    {
        FSerialPort::registerMetaTypes();
        mPortThread.setObjectName(QStringLiteral("LinkSerialPortThread"));
        mPort = new FSerialPort();
        mPort->moveToThread(&mPortThread);
        QObject::connect(&mPortThread, &QThread::finished, mPort, &QObject::deleteLater);
        mPortThread.start();
        mHandler = std::make_unique<BootloaderHandler>(nullptr, mPort);
        mErrors = std::make_unique<QSignalSpy>(mHandler.get(), &BootloaderHandler::error);
        mStates = std::make_unique<QSignalSpy>(mHandler.get(), &BootloaderHandler::state);
        mProgress = std::make_unique<QSignalSpy>(mHandler.get(), &BootloaderHandler::actionProgress);
    }

    ~FlashRig()
    {
        mErrors.reset();
        mStates.reset();
        mProgress.reset();
        mHandler.reset();
        mPortThread.quit();
        mPortThread.wait();
    }

    FlashRig(const FlashRig &) = delete;
    FlashRig &operator=(const FlashRig &) = delete;

    // The pseudo-terminal; false with the reason when there is none.
    bool openLine(QString *error) { return mLine.open(error); }

    // Opens the port at PARLINK's 1200 baud, odd parity, as the link layer leaves it.
    bool openPort()
    {
        bool opened = false;
        bool answered = false;
        QObject context;
        QObject::connect(mPort, &FSerialPort::finishedOpenPort, &context, [&](bool open) {
            opened = open;
            answered = true;
        });
        const QString name = mLine.portName();
        QMetaObject::invokeMethod(mPort, [port = mPort, name] {
            port->openPort(name, 1200, FSerialPort::Data8, FSerialPort::OddParity, FSerialPort::OneStop,
                           FSerialPort::NoFlowControl);
        });
        QDeadlineTimer deadline(WaitMs);
        while (!answered && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return opened;
    }

    void download(BootloaderHandler::BLFAMILY family, const QString &fileName)
    {
        mHandler->setFamily(family);
        mHandler->setInterface(BootloaderHandler::INTERFACE_UART, true, fileName);
    }

    // Until the download has succeeded or failed.
    bool waitForEnd(int timeoutMs = WaitMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            if (!mErrors->isEmpty() || stateTexts().contains(QStringLiteral("Download successful")))
                return true;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return false;
    }

    QStringList errorTexts() const { return texts(*mErrors); }
    QStringList stateTexts() const { return texts(*mStates); }
    QList<int> progress() const
    {
        QList<int> values;
        for (const auto &arguments : *mProgress)
            values << int(arguments.at(0).value<uint8_t>());
        return values;
    }

    BootloaderHandler &handler() { return *mHandler; }
    BootSim::TargetPort &line() { return mLine; }
    FSerialPort *port() const { return mPort; }

private:
    static QStringList texts(const QSignalSpy &spy)
    {
        QStringList values;
        for (const auto &arguments : spy)
            values << arguments.at(0).toString();
        return values;
    }

    BootSim::TargetPort mLine;
    QThread mPortThread;
    FSerialPort *mPort = nullptr;
    std::unique_ptr<BootloaderHandler> mHandler;
    std::unique_ptr<QSignalSpy> mErrors;
    std::unique_ptr<QSignalSpy> mStates;
    std::unique_ptr<QSignalSpy> mProgress;
};

// Gives a failed client time to send what it must not.
inline void settle(int ms = 300)
{
    QTest::qWait(ms);
}

} // namespace FlashTest

#define FLASH_RIG_OR_SKIP(rig)                                                                                  \
    do {                                                                                                       \
        QString lineError;                                                                                     \
        if (!(rig).openLine(&lineError))                                                                       \
            QSKIP(qPrintable(QStringLiteral("no pseudo-terminal: ") + lineError));                             \
    } while (false)

#pragma once

// The facade on a pseudo-terminal, as the device service drives it, for the tests of the PARLINK stack
// over a line.

#include "protocol/parlink/PARLINK.h"
#include "tests/protocol/parlink/LinkLayerTestSupport.h"
#include "tests/support/PtyPeer.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

// Skips the test function when the peer got no pseudo-terminal.
#define SKIP_WITHOUT_PTY(peer)                                                                              \
    do {                                                                                                    \
        if (!(peer).isOpen())                                                                               \
            QSKIP(qPrintable("No pseudo-terminal: " + (peer).errorString()));                               \
    } while (false)

namespace FacadeTest {

using Session = PARLINK_Session;

inline constexpr int TimeoutMs = 3000;
inline const QByteArray Address = QByteArray::fromHex("1300040001");

// Preamble, body and checksum, as a master puts a request on the line.
inline QByteArray onTheLine(const QByteArray &body)
{
    return LinkLayerTest::preambles(5) + LinkLayerTest::withChecksum(body);
}

inline std::unique_ptr<PARLINK_Session> masterSession(const QList<int> &commands, const QByteArray &address = Address)
{
    auto session = std::make_unique<PARLINK_Session>();
    session->setType(Session::PARLINK_ENUM_SESSION_TYPE_MASTER);
    session->setAddress(address);
    for (int command : commands)
        session->appendCommandToQueue(Session::PARLINK_ENUM_SESSION_COMMAND(command));
    return session;
}

inline void setFields(PARLINK_Session &session, int command, const QMap<QString, QVariant> &given)
{
    const auto c = Session::PARLINK_ENUM_SESSION_COMMAND(command);
    QMap<QString, QVariant> fields;
    session.getDefaultDataForCommand(c, &fields);
    for (auto it = given.cbegin(); it != given.cend(); ++it)
        fields[it.key()] = it.value();
    session.setDataForCommand(c, fields);
}

// The settings the port job opens a ZEB device with, on the pseudo-terminal.
inline PARLINK_Session::InterfaceSettings lineSettings(const QString &portName, bool powerCycle,
                                                       int powerDownMs = 0, int startupMs = 0)
{
    PARLINK_Session::InterfaceSettings settings;
    settings.dtrRun = true;
    settings.rtsPowerDown = true;
    settings.portName = portName;
    settings.baudRate = 1200;
    settings.dataBits = FSerialPort::Data8;
    settings.parity = FSerialPort::OddParity;
    settings.stopBits = FSerialPort::OneStop;
    settings.flowControl = FSerialPort::NoFlowControl;
    settings.powerCycle = powerCycle;
    settings.powerDownMs = powerDownMs;
    settings.startupMs = startupMs;
    return settings;
}

// The facade as the device service uses it, with what it reports.
struct ServiceSide : QObject {
    PARLINK stack;
    QList<int> linkErrors;
    QList<int> replies;
    // The raw frames of the replies: delimiter through the last data byte.
    QList<QByteArray> frames;

    ServiceSide()
    {
        connect(&stack, &PARLINK::sessionNewInfo, this, [this](PARLINK_SessionInfo *info) {
            if (info->getError() != Session::PARLINK_ENUM_SESSION_NO_ERROR)
                linkErrors.append(int(info->getError()));
        });
        connect(&stack, &PARLINK::sessionNewData, this, [this](PARLINK_Session *data) {
            replies.append(int(data->getCommand()));
            frames.append(data->getBuffer());
        });
    }

    bool setPort(bool open, const PARLINK_Session::InterfaceSettings &settings)
    {
        QSignalSpy state(&stack, &PARLINK::portNewState);
        stack.portOpen(open, settings);
        return state.wait(TimeoutMs) && state.first().first().toBool() == open;
    }
};

// The device's side of the pseudo-terminal: waits for what the master should send, compares it and
// answers.
inline bool exchange(PtyPeer &device, const QByteArray &request, const QByteArray &reply)
{
    if (!device.waitForReceived(request.size(), TimeoutMs))
        return false;
    const QByteArray received = device.takeReceived();
    if (received != request) {
        qWarning("received %s", received.toHex(' ').constData());
        return false;
    }
    return reply.isEmpty() || device.write(reply);
}

} // namespace FacadeTest

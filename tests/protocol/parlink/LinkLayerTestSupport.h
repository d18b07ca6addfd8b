#pragma once

// Helpers for the tests of the PARLINK stack; the link layer's tests play the serial port's side through
// the link layer's port slots.

#include "protocol/parlink/PARLINK_LinkLayer.h"

#include <QTimer>
#include <QtTest>

#include <memory>

namespace LinkLayerTest {

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

inline QByteArray preambles(int count)
{
    return QByteArray(count, char(0xFF));
}

// The XOR checksum appended; for input frames only, expected frames are written out.
inline QByteArray withChecksum(const QByteArray &frame)
{
    char checksum = 0;
    for (const char byte : frame)
        checksum = char(checksum ^ byte);
    return frame + checksum;
}

inline const QByteArray Device = hex("0102030000");
inline const QByteArray Response135 = preambles(5) + hex("86010203000087040000020B0C");
inline const QByteArray Response135Frame = hex("86010203000087040000020B");

// The reports of sessionNewInfo, and the error codes as they were visible during each report.
class InfoRecorder {
public:
    explicit InfoRecorder(PARLINK_LinkLayer &link)
    {
        mConnection = QObject::connect(&link, &PARLINK_LinkLayer::sessionNewInfo, &link,
                                       [this](PARLINK_SessionInfo *info) {
                                           ++reports;
                                           if (info->getError() != 0)
                                               errors.append(info->getError());
                                       });
    }
    ~InfoRecorder() { QObject::disconnect(mConnection); }
    InfoRecorder(const InfoRecorder &) = delete;
    InfoRecorder &operator=(const InfoRecorder &) = delete;

    int reports = 0;
    QList<int> errors;

private:
    QMetaObject::Connection mConnection;
};

inline void feed(PARLINK_LinkLayer &link, const QByteArray &bytes)
{
    QVERIFY(QMetaObject::invokeMethod(&link, "portDataReady", Qt::DirectConnection, Q_ARG(QByteArray, bytes)));
}

inline void written(PARLINK_LinkLayer &link)
{
    QVERIFY(QMetaObject::invokeMethod(&link, "portDataWritten", Qt::DirectConnection));
}

inline QTimer *timer(PARLINK_LinkLayer &link, const char *name)
{
    return link.findChild<QTimer *>(QLatin1String(name), Qt::FindDirectChildrenOnly);
}

// A link layer whose port does not answer: the tests play the port's side through its slots.
inline std::unique_ptr<PARLINK_LinkLayer> detachedLink(PARLINK_Session::PARLINK_HW hw = PARLINK_Session::PARLINK_HW_UART)
{
    auto link = std::make_unique<PARLINK_LinkLayer>(nullptr, hw);
    link->disconnectSerialPortSignals();
    QObject::disconnect(link.get(), &PARLINK_LinkLayer::portWriteData, link->serialPort(), nullptr);
    return link;
}

inline std::unique_ptr<PARLINK_Session> session(int role, const QByteArray &address)
{
    auto s = std::make_unique<PARLINK_Session>();
    s->setType(PARLINK_Session::PARLINK_ENUM_SESSION_TYPE(role));
    s->setAddress(address);
    return s;
}

// A detached link layer and the session it runs; the session goes first, as a caller's would.
struct StartedLink {
    std::unique_ptr<PARLINK_LinkLayer> link;
    std::unique_ptr<PARLINK_Session> session;
};

inline StartedLink startedLink(int role = PARLINK_Session::PARLINK_ENUM_SESSION_TYPE_MASTER,
                               const QByteArray &address = Device,
                               PARLINK_Session::PARLINK_HW hw = PARLINK_Session::PARLINK_HW_UART)
{
    StartedLink started{detachedLink(hw), session(role, address)};
    started.link->sessionStart(started.session.get());
    return started;
}

// Sends a request for command 135 to 01 02 03 00 00 and completes the write.
inline void sendRequest135(PARLINK_LinkLayer &link)
{
    QByteArray request = hex("8201020300008700");
    link.sessionDataTxSetBuffer(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_135, request);
    written(link);
}


} // namespace LinkLayerTest

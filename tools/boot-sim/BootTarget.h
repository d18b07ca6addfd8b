#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QtGlobal>

#include <map>

namespace BootSim {

// A simulated boot loader: a byte stream in, a byte stream out. It owns no port, so that whatever
// carries the line (a pseudo-terminal of its own in TargetPort, or a simulated device that starts its
// boot loader on request) hands it the program's bytes and sends back what it answers.
class BootTarget {
public:
    virtual ~BootTarget() = default;

    // The program's bytes, in any pieces; the result is what the target sends back (no echo: that is
    // the line's business).
    virtual QByteArray receive(QByteArrayView bytes) = 0;

    // How often the target has been told to restart; after a restart a simulated device leaves its
    // boot loader and runs its firmware again.
    int resets() const { return mResets; }
    // Framed commands (packets) the target has received, including refused ones, and their command
    // bytes in order.
    int commandsReceived() const { return int(mCommandLog.size()); }
    const QList<quint8> &commands() const { return mCommandLog; }

    // Flash as written; bytes never written read as 0xFF.
    QByteArray flash(quint32 address, qsizetype length) const;
    qsizetype flashBytesWritten() const { return qsizetype(mFlash.size()); }

protected:
    // Notes a packet's command; the packet's number, counted from 1 over the target's life.
    int countPacket(quint8 command)
    {
        mCommandLog.append(command);
        return int(mCommandLog.size());
    }
    void writeFlash(quint32 address, QByteArrayView bytes);
    void eraseFlash() { mFlash.clear(); }
    void eraseFlash(quint32 address, quint64 length);

    std::map<quint32, char> mFlash;
    int mResets = 0;

private:
    QList<quint8> mCommandLog;
};

} // namespace BootSim

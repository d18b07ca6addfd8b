#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class PseudoTerminal;
class QSocketNotifier;

namespace BootSim {

class BootTarget;

// A simulated boot loader behind a pseudo-terminal of its own: the program opens portName() as its
// serial port; what it writes goes to the target, and the target's answer comes back. Like a
// single-wire line it echoes every byte first (the program's port removes its own echo); echo can be
// switched off. It works on the event loop of the thread it lives on.
class TargetPort : public QObject {
    Q_OBJECT
public:
    // The target is not owned and must outlive the port.
    explicit TargetPort(BootTarget *target, QObject *parent = nullptr);
    ~TargetPort() override;

    // False, with the reason, when no pseudo-terminal could be had.
    bool open(QString *error);
    QString portName() const;
    // The baud rate that the program has set; -1 when it is not a standard rate.
    int lineSpeed() const;

    void setEcho(bool on) { mEcho = on; }
    // Everything the program has written so far.
    QByteArray received() const { return mReceived; }

signals:
    void bytesReceived(const QByteArray &bytes);
    void bytesSent(const QByteArray &bytes);

private:
    void readProgram();

    BootTarget *mTarget;
    std::unique_ptr<PseudoTerminal> mPty;
    QSocketNotifier *mNotifier = nullptr;
    QByteArray mReceived;
    bool mEcho = true;
};

} // namespace BootSim

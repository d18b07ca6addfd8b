#include "tools/boot-sim/TargetPort.h"

#include "tests/support/PseudoTerminal.h"
#include "tools/boot-sim/BootTarget.h"

#include <QSocketNotifier>


namespace BootSim {

TargetPort::TargetPort(BootTarget *target, QObject *parent) : QObject(parent), mTarget(target) {}

TargetPort::~TargetPort() = default;

bool TargetPort::open(QString *error)
{
    mPty = std::make_unique<PseudoTerminal>();
    if (!mPty->isOpen()) {
        if (error)
            *error = QString::fromStdString(mPty->errorText());
        return false;
    }
    mNotifier = new QSocketNotifier(mPty->masterFd(), QSocketNotifier::Read, this);
    connect(mNotifier, &QSocketNotifier::activated, this, &TargetPort::readProgram);
    return true;
}

QString TargetPort::portName() const
{
    return mPty ? QString::fromStdString(mPty->slavePath()) : QString();
}

int TargetPort::lineSpeed() const
{
    return mPty ? mPty->lineSpeed() : -1;
}

void TargetPort::readProgram()
{
    const QByteArray data = mPty->readAvailable<QByteArray>();
    if (data.isEmpty())
        return;
    mReceived.append(data);
    emit bytesReceived(data);
    // Echo and answer in one write, so that the program reads them in the order a line carries them.
    const QByteArray answer = mTarget->receive(data);
    QByteArray out = mEcho ? data : QByteArray();
    out.append(answer);
    mPty->writeAll(out);
    if (!answer.isEmpty())
        emit bytesSent(answer);
}

} // namespace BootSim

#include "tools/boot-sim/TargetPort.h"

#include "tests/support/PseudoTerminal.h"
#include "tools/boot-sim/BootTarget.h"

#include <QSocketNotifier>

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace BootSim {

namespace {
// How long a write waits for room in a full pseudo-terminal buffer, in milliseconds.
constexpr int WriteWaitMs = 200;
} // namespace

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
    QByteArray data;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(mPty->masterFd(), buffer, sizeof buffer);
        if (n > 0) {
            data.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    if (data.isEmpty())
        return;
    mReceived.append(data);
    emit bytesReceived(data);
    // Echo and answer in one write, so that the program reads them in the order a line carries them.
    const QByteArray answer = mTarget->receive(data);
    QByteArray out = mEcho ? data : QByteArray();
    out.append(answer);
    writeAll(out);
    if (!answer.isEmpty())
        emit bytesSent(answer);
}

void TargetPort::writeAll(const QByteArray &data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(mPty->masterFd(), data.constData() + done, size_t(data.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{mPty->masterFd(), POLLOUT, 0};
            if (::poll(&p, 1, WriteWaitMs) > 0)
                continue;
        }
        // Nobody reads the other side: the bytes are lost, as on a line without a listener.
        return;
    }
}

} // namespace BootSim

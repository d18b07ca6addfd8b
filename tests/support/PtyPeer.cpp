#include "tests/support/PtyPeer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <unistd.h>

namespace {
constexpr int ReaderPollMs = 20;
constexpr int WriteBoundMs = 2000;
} // namespace

PtyPeer::PtyPeer(QObject *parent) : QObject(parent)
{
    if (mPty.isOpen())
        mReader = std::thread([this] { readLoop(); });
}

PtyPeer::~PtyPeer()
{
    mStop = true;
    if (mReader.joinable())
        mReader.join();
}

void PtyPeer::hangUp()
{
    mStop = true;
    if (mReader.joinable())
        mReader.join();
    const std::lock_guard lock(mWriteMutex);
    mPty.hangUp();
}

bool PtyPeer::isOpen() const
{
    return mPty.isOpen();
}

QString PtyPeer::errorString() const
{
    return QString::fromStdString(mPty.errorText());
}

QString PtyPeer::portName() const
{
    return QString::fromStdString(mPty.slavePath());
}

void PtyPeer::setEcho(bool on)
{
    mEcho = on;
}

void PtyPeer::setPaused(bool paused)
{
    mPaused = paused;
}

bool PtyPeer::write(const QByteArray &data)
{
    const std::lock_guard lock(mWriteMutex);
    return writeLocked(data);
}

QByteArray PtyPeer::received() const
{
    const std::lock_guard lock(mMutex);
    return mReceived;
}

QByteArray PtyPeer::takeReceived()
{
    const std::lock_guard lock(mMutex);
    QByteArray data;
    data.swap(mReceived);
    mFirstReceivedAt.reset();
    return data;
}

std::optional<std::chrono::steady_clock::time_point> PtyPeer::firstReceivedAt() const
{
    const std::lock_guard lock(mMutex);
    return mFirstReceivedAt;
}

qsizetype PtyPeer::receivedSize() const
{
    const std::lock_guard lock(mMutex);
    return mReceived.size();
}

bool PtyPeer::waitForReceived(qsizetype count, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        // The code under test may live on this thread and need its events to write at all.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::unique_lock lock(mMutex);
        if (mReceived.size() >= count)
            return true;
        if (deadline.hasExpired())
            return false;
        mReceivedCondition.wait_for(lock, std::chrono::milliseconds(5));
    }
}

int PtyPeer::lineSpeed() const
{
    return mPty.lineSpeed();
}

int PtyPeer::bytesPendingForProgram() const
{
    return mPty.bytesPendingForSlave();
}

void PtyPeer::readLoop()
{
    char buffer[4096];
    while (!mStop) {
        if (mPaused) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ReaderPollMs));
            continue;
        }
        pollfd pfd{mPty.masterFd(), POLLIN, 0};
        const int ready = ::poll(&pfd, 1, ReaderPollMs);
        if (ready <= 0 || !(pfd.revents & POLLIN))
            continue;
        const ssize_t n = ::read(mPty.masterFd(), buffer, sizeof buffer);
        if (n <= 0)
            continue;
        const auto arrived = std::chrono::steady_clock::now();
        const QByteArray data(buffer, qsizetype(n));
        if (mEcho) {
            const std::lock_guard lock(mWriteMutex);
            writeLocked(data);
        }
        {
            const std::lock_guard lock(mMutex);
            if (mReceived.isEmpty())
                mFirstReceivedAt = arrived;
            mReceived.append(data);
        }
        mReceivedCondition.notify_all();
    }
}

bool PtyPeer::writeLocked(const QByteArray &data)
{
    const QDeadlineTimer deadline(WriteBoundMs);
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(mPty.masterFd(), data.constData() + done, size_t(data.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (deadline.hasExpired())
            return false;
        pollfd pfd{mPty.masterFd(), POLLOUT, 0};
        ::poll(&pfd, 1, 10);
    }
    return true;
}

#include "protocol/parlink/PARLINK_PowerCycle.h"

#include "protocol/serial/FSerialPort.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QThreadPool>

#include <memory>
#include <utility>

PARLINK_PowerCycle::PARLINK_PowerCycle(FSerialPort *port, Line line) : mPort(port), mLine(std::move(line)) {}

PARLINK_PowerCycle::~PARLINK_PowerCycle()
{
    cancelAndWait();
}

void PARLINK_PowerCycle::start(const PARLINK_Session::InterfaceSettings &settings)
{
    quint64 generation = 0;
    {
        QMutexLocker locker(&mMutex);
        if (mCancelled)
            return;
        ++mTasksRunning;
        QMutexLocker actions(&mActionMutex);
        generation = ++mGeneration;
    }
    QThreadPool::globalInstance()->start([this, settings, generation] {
        run(settings, generation);
        QMutexLocker locker(&mMutex);
        --mTasksRunning;
        mTasksDone.wakeAll();
    });
}

void PARLINK_PowerCycle::cancel()
{
    QMutexLocker actions(&mActionMutex);
    ++mGeneration;
}

void PARLINK_PowerCycle::cancelAndWait()
{
    QMutexLocker locker(&mMutex);
    {
        QMutexLocker actions(&mActionMutex);
        mCancelled = true;
        ++mGeneration;
    }
    while (mTasksRunning > 0)
        mTasksDone.wait(&mMutex);
}

bool PARLINK_PowerCycle::act(quint64 generation, const std::function<void()> &action)
{
    QMutexLocker actions(&mActionMutex);
    if (!isCurrent(generation))
        return false;
    action();
    return true;
}

bool PARLINK_PowerCycle::holdFor(int ms, quint64 generation) const
{
    // Polled rather than slept: the times must not stretch with the pool thread's timer resolution.
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < ms) {
        if (!isCurrent(generation))
            return false;
    }
    return isCurrent(generation);
}

void PARLINK_PowerCycle::run(const PARLINK_Session::InterfaceSettings &settings, quint64 generation)
{
    QMutex mutex;
    // Shared with the confirmation handler, which may still be running on the port's thread while
    // this task disconnects it.
    const auto confirmed = std::make_shared<QWaitCondition>();
    QMutexLocker locker(&mutex);
    const auto connection = QObject::connect(
        mPort, &FSerialPort::rtsSet, mPort, [confirmed] { confirmed->wakeAll(); }, Qt::DirectConnection);

    // The interface adapter powers the device from the lines. A confirmation that comes before the
    // wait starts is missed; the wait then simply runs out.
    const bool poweredDown = act(generation, [&] {
        mLine.setDtr(settings.dtrPowerDown);
        mLine.setRts(settings.rtsPowerDown);
    });
    if (poweredDown) {
        confirmed->wait(&mutex, QDeadlineTimer(ConfirmationMs, Qt::CoarseTimer));
        const bool poweredUp = holdFor(settings.powerDownMs, generation) && act(generation, [&] {
            mLine.setDtr(settings.dtrRun);
            mLine.setRts(settings.rtsRun);
        });
        if (poweredUp) {
            confirmed->wait(&mutex, QDeadlineTimer(ConfirmationMs, Qt::CoarseTimer));
            if (holdFor(settings.startupMs, generation))
                act(generation, [&] { mLine.write(QByteArray(WakeUpString), settings.singleWire); });
        }
    }
    QObject::disconnect(connection);
}

#pragma once

#include "protocol/parlink/PARLINK_Session.h"

#include <QByteArray>
#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <functional>

class FSerialPort;

// The power cycle after a port opens: DTR and RTS at their power-down levels, then at their run
// levels, and after the start-up time the wake-up string "PARL". It runs as a task in Qt's global
// thread pool, on a copy of the settings of its port open, and waits up to 100 ms for the port to
// confirm each RTS change. Destruction cancels a running task and waits for it.
//
// A task belongs to the open that started it: a close, a new open or a new task ends it before its
// next line action, so that it never drives the lines of a closed port or writes a second wake-up
// string into a later open.
class PARLINK_PowerCycle
{
public:
    // How the task reaches the line; called on the pool thread.
    struct Line {
        std::function<void(bool high)> setDtr;
        std::function<void(bool high)> setRts;
        std::function<void(const QByteArray &data, bool singleWire)> write;
    };

    static constexpr int ConfirmationMs = 100;
    static constexpr char WakeUpString[] = "PARL";

    // `port` confirms RTS changes with its rtsSet signal; it must outlive the running tasks.
    PARLINK_PowerCycle(FSerialPort *port, Line line);
    ~PARLINK_PowerCycle();
    PARLINK_PowerCycle(const PARLINK_PowerCycle &) = delete;
    PARLINK_PowerCycle &operator=(const PARLINK_PowerCycle &) = delete;

    // Ends the running task, if any, and starts a new one.
    void start(const PARLINK_Session::InterfaceSettings &settings);
    // Ends the running task before its next line action; returns at once. Once cancel has returned,
    // the task reaches the line no more.
    void cancel();
    // Ends running tasks early (nothing more reaches the line) and waits for them; no task starts
    // afterwards.
    void cancelAndWait();

private:
    void run(const PARLINK_Session::InterfaceSettings &settings, quint64 generation);
    bool holdFor(int ms, quint64 generation) const;
    bool isCurrent(quint64 generation) const { return mGeneration.load() == generation && !mCancelled; }
    // Runs one line action of the task of `generation`, unless that task has been ended meanwhile.
    bool act(quint64 generation, const std::function<void()> &action);

    FSerialPort *mPort;
    Line mLine;
    QMutex mMutex;
    QWaitCondition mTasksDone;
    int mTasksRunning = 0;
    std::atomic_bool mCancelled{false};
    // Held while a task checks that it is still current and acts on the line, and while a task is
    // ended: an action is either done before cancel returns or not at all.
    QMutex mActionMutex;
    std::atomic<quint64> mGeneration{0};
};

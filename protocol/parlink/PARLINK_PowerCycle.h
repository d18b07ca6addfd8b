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

    void start(const PARLINK_Session::InterfaceSettings &settings);
    // Ends running tasks early (nothing more reaches the line) and waits for them; no task starts
    // afterwards.
    void cancelAndWait();

private:
    void run(const PARLINK_Session::InterfaceSettings &settings);
    bool holdFor(int ms) const;

    FSerialPort *mPort;
    Line mLine;
    QMutex mMutex;
    QWaitCondition mTasksDone;
    int mTasksRunning = 0;
    std::atomic_bool mCancelled{false};
};

#pragma once

#include "communication/DeviceService.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

// Records every signal of a device service that lives on another thread. Each signal is stamped on
// the emitting thread (so the times are the service's, whatever the receiving thread was doing) and
// delivered to the recorder queued, in the order emitted. Waits are bounded and keep the recorder's
// thread's events flowing, which also drives a simulated device living on that thread.
class ServiceRecorder : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultWaitMs = 20000;

    struct Event {
        QString name;          // the signal's name, e.g. "foundDevice"
        QVariantList args;     // its arguments as QVariants
        qint64 emittedMs = 0;  // milliseconds since the recorder was built, taken at emission
    };

    explicit ServiceRecorder(Thg::Tilo::Communication::DeviceService *service, QObject *parent = nullptr);

    QList<Event> events() const { return mEvents; }
    QList<Event> events(const QString &name) const;
    // The names of all events in order; outcomes() leaves out "log" and "progress".
    QStringList names() const;
    QStringList outcomes() const;
    int count(const QString &name) const;

    QList<int> progress() const;
    QStringList errors() const;
    QStringList warnings() const;
    // The log entries, all or those of one level.
    QStringList logEntries(std::optional<Thg::Tilo::Communication::LogLevel> level = std::nullopt) const;
    QList<Thg::Tilo::Communication::Device> foundDevices() const;
    // The first event of that name (and, for "log", whose entry starts with `entryPrefix`).
    std::optional<Event> first(const QString &name, const QString &entryPrefix = {}) const;

    // Until `count` events of `name` have arrived; false after `timeoutMs`.
    bool waitFor(const QString &name, int count = 1, int timeoutMs = DefaultWaitMs);
    // Until an event of any of `names` arrives after the `seen` events already recorded.
    bool waitForAnyAfter(qsizetype seen, const QStringList &names, int timeoutMs = DefaultWaitMs);
    // Keeps events flowing for `ms` and returns what arrived meanwhile (for "nothing happens" checks).
    QList<Event> quietFor(int ms);

    qint64 nowMs() const { return mClock.elapsed(); }
    void clear() { mEvents.clear(); }

private:
    template <typename... Args>
    void record(const QString &name, const Args &...args);

    QElapsedTimer mClock;
    QList<Event> mEvents;
};

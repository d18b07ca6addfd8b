#include "tests/support/ServiceRecorder.h"

#include <QTest>

using namespace Thg::Tilo::Communication;

template <typename... Args>
void ServiceRecorder::record(const QString &name, const Args &...args)
{
    Event event{name, QVariantList{QVariant::fromValue(args)...}, mClock.elapsed()};
    QMetaObject::invokeMethod(this, [this, event] { mEvents.append(event); }, Qt::QueuedConnection);
}

ServiceRecorder::ServiceRecorder(DeviceService *service, QObject *parent) : QObject(parent)
{
    registerMetaTypes();
    mClock.start();
    // Direct: stamped on the service's thread; record() queues the event to this thread.
    const auto on = [this, service](auto signal, const char *name) {
        connect(service, signal, this, [this, name](const auto &...args) { record(QString::fromLatin1(name), args...); },
                Qt::DirectConnection);
    };
    on(&DeviceService::error, "error");
    on(&DeviceService::foundDevice, "foundDevice");
    on(&DeviceService::log, "log");
    on(&DeviceService::progress, "progress");
    on(&DeviceService::successRestartDevice, "successRestartDevice");
    on(&DeviceService::successSetCurrentAsFactoryDefaults, "successSetCurrentAsFactoryDefaults");
    on(&DeviceService::successResetToFactoryDefaults, "successResetToFactoryDefaults");
    on(&DeviceService::successResetNvm, "successResetNvm");
    on(&DeviceService::successDisconnecting, "successDisconnecting");
    on(&DeviceService::successReading, "successReading");
    on(&DeviceService::successWriting, "successWriting");
    on(&DeviceService::warning, "warning");
    on(&DeviceService::finishedAccumulate, "finishedAccumulate");
    on(&DeviceService::finishedFixedSamples, "finishedFixedSamples");
    on(&DeviceService::sampleReceived, "sampleReceived");
    on(&DeviceService::success, "success");
}

QList<ServiceRecorder::Event> ServiceRecorder::events(const QString &name) const
{
    QList<Event> found;
    for (const Event &event : mEvents) {
        if (event.name == name)
            found.append(event);
    }
    return found;
}

QStringList ServiceRecorder::names() const
{
    QStringList all;
    for (const Event &event : mEvents)
        all.append(event.name);
    return all;
}

QStringList ServiceRecorder::outcomes() const
{
    QStringList found;
    for (const Event &event : mEvents) {
        if (event.name != QLatin1String("log") && event.name != QLatin1String("progress"))
            found.append(event.name);
    }
    return found;
}

int ServiceRecorder::count(const QString &name) const
{
    return int(events(name).size());
}

QList<int> ServiceRecorder::progress() const
{
    QList<int> values;
    for (const Event &event : events(QStringLiteral("progress")))
        values.append(int(event.args.first().value<std::uint8_t>()));
    return values;
}

QStringList ServiceRecorder::errors() const
{
    QStringList texts;
    for (const Event &event : events(QStringLiteral("error")))
        texts.append(event.args.first().toString());
    return texts;
}

QStringList ServiceRecorder::warnings() const
{
    QStringList texts;
    for (const Event &event : events(QStringLiteral("warning")))
        texts.append(event.args.first().toString());
    return texts;
}

QStringList ServiceRecorder::logEntries(std::optional<LogLevel> level) const
{
    QStringList texts;
    for (const Event &event : events(QStringLiteral("log"))) {
        if (!level || event.args.first().value<LogLevel>() == *level)
            texts.append(event.args.at(1).toString());
    }
    return texts;
}

QList<Device> ServiceRecorder::foundDevices() const
{
    QList<Device> devices;
    for (const Event &event : events(QStringLiteral("foundDevice")))
        devices.append(event.args.first().value<Device>());
    return devices;
}

std::optional<ServiceRecorder::Event> ServiceRecorder::first(const QString &name, const QString &entryPrefix) const
{
    for (const Event &event : mEvents) {
        if (event.name != name)
            continue;
        if (!entryPrefix.isEmpty() && !(event.args.size() > 1 && event.args.at(1).toString().startsWith(entryPrefix)))
            continue;
        return event;
    }
    return std::nullopt;
}

bool ServiceRecorder::waitFor(const QString &name, int wanted, int timeoutMs)
{
    return QTest::qWaitFor([&] { return count(name) >= wanted; }, timeoutMs);
}

bool ServiceRecorder::waitForAnyAfter(qsizetype seen, const QStringList &names, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            for (qsizetype i = seen; i < mEvents.size(); ++i) {
                if (names.contains(mEvents[i].name))
                    return true;
            }
            return false;
        },
        timeoutMs);
}

QList<ServiceRecorder::Event> ServiceRecorder::quietFor(int ms)
{
    const qsizetype before = mEvents.size();
    QTest::qWait(ms);
    return mEvents.mid(before);
}

#pragma once

// What the job tests share: replies built by hand and handed to the jobs through the real facade, the
// device the jobs are started for, the progress and log lines a job or Session emitted, and a
// translator that shows which context a text was translated in.

#include "communication/Device.h"
#include "communication/LogLevel.h"

#include "protocol/parlink/PARLINK.h"
#include "protocol/parlink/PARLINK_Session.h"

#include <QSignalSpy>
#include <QStringList>
#include <QTranslator>

#include <memory>

namespace JobTest {

// Stands in for a catalogue: every text comes back behind the context it was looked up in.
class ContextTranslator : public QTranslator {
public:
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        return QLatin1String(context) + QStringLiteral(": ") + QLatin1String(sourceText);
    }
    bool isEmpty() const override { return false; }
};

using FieldMap = QMap<QString, QVariant>;
using Thg::Tilo::Communication::LogLevel;

// A decoded reply as the master layer reports it: the command, and its standard fields with `fields`
// laid over them.
inline std::unique_ptr<PARLINK_Session> reply(int command, const FieldMap &fields = {})
{
    auto session = std::make_unique<PARLINK_Session>();
    const auto cmd = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND(command);
    session->setCommand(cmd);
    FieldMap map;
    session->getDefaultDataForCommand(cmd, &map);
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        map.insert(it.key(), it.value());
    session->setDataForCommand(cmd, map);
    return session;
}

// Hands a reply to every Session listening to the facade, as the stack does.
inline void deliver(PARLINK &facade, int command, const FieldMap &fields = {})
{
    const auto session = reply(command, fields);
    emit facade.sessionNewData(session.get());
}

// The device the jobs are started for: the simulated device's name and its address with a sub-device.
inline Thg::Tilo::Communication::Device device()
{
    Thg::Tilo::Communication::Device dev;
    dev.Name = "M7Q4-ZEB";
    dev.address.bytes = {19, 0, 4, 0, 1};
    return dev;
}

// The first argument of every signal a spy caught, as a number: the percentages of a spy on progress.
inline QList<int> values(const QSignalSpy &spy)
{
    QList<int> list;
    for (const auto &arguments : spy)
        list.append(int(arguments.first().toUInt()));
    return list;
}

// The entries of a spy on a log(LogLevel, QString) signal, all or those of one level.
inline QStringList entries(const QSignalSpy &spy, int level = -1)
{
    QStringList texts;
    for (const auto &arguments : spy) {
        if (level < 0 || int(arguments.at(0).value<LogLevel>()) == level)
            texts.append(arguments.at(1).toString());
    }
    return texts;
}

} // namespace JobTest

#pragma once

// Builds the master sessions that the PARLINK tests hand to the stack.

#include "protocol/parlink/PARLINK_Session.h"

#include <QByteArray>
#include <QList>
#include <QMap>

namespace SessionTest {

using FieldMap = QMap<QString, QVariant>;

// A master session for `address` whose queue holds `commands` in order, each with its default fields
// overlaid by the ones given for it in `fields`.
inline PARLINK_Session *masterSession(QObject *parent, const QByteArray &address, const QList<int> &commands,
                                      const QMap<int, FieldMap> &fields = {})
{
    auto *session = new PARLINK_Session(parent);
    session->setType(PARLINK_Session::PARLINK_ENUM_SESSION_TYPE_MASTER);
    session->setAddress(address);
    for (const int command : commands) {
        const auto c = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND(command);
        FieldMap map;
        session->getDefaultDataForCommand(c, &map);
        const FieldMap given = fields.value(command);
        for (auto it = given.cbegin(); it != given.cend(); ++it)
            map[it.key()] = it.value();
        session->setDataForCommand(c, map);
        session->appendCommandToQueue(c);
    }
    return session;
}

} // namespace SessionTest

#pragma once

#include "communication/Address.h"
#include "communication/Chunks.h"

#include "protocol/parlink/PARLINK_Session.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>

namespace Thg::Tilo::Communication::Internal {

// One request of a transfer: its command and the request fields it is sent with.
struct PlannedCommand {
    PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND command = PARLINK_Session::PARLINK_ENUM_SESSION_NO_COMMAND;
    QMap<QString, QVariant> fields;
};

// The requests of one session, all sent to one part of the device's address.
struct PlannedSequence {
    Address::Type type = Address::Type::Device;
    QList<PlannedCommand> commands;
};

// Per chunk a memory write (131) with its read-back (130) when `readBack` is set, and a take-over
// (132) at the previous part's type whenever the chunks move to another part of the address, and
// once after the last chunk.
QList<PlannedSequence> writePlan(const QList<Chunks<50>::Chunk> &chunks, bool readBack);
// One memory read (130) per chunk; a read changes nothing, so nothing is taken over.
QList<PlannedSequence> readPlan(const QList<Chunks<50>::Chunk> &chunks);

} // namespace Thg::Tilo::Communication::Internal

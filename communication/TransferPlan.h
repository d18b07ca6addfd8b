#pragma once

#include "communication/Chunks.h"
#include "communication/internal/Sequence.h"

#include <QList>

namespace Thg::Tilo::Communication::Internal {

// Per chunk a memory write (131) with its read-back (130) when `readBack` is set, and a take-over
// (132) at the previous part's type whenever the chunks move to another part of the address, and
// once after the last chunk.
Sequences writePlan(const QList<Chunks<50>::Chunk> &chunks, bool readBack);
// One memory read (130) per chunk; a read changes nothing, so nothing is taken over.
Sequences readPlan(const QList<Chunks<50>::Chunk> &chunks);
// The commands of all sequences.
int commandCount(const Sequences &plan);

} // namespace Thg::Tilo::Communication::Internal

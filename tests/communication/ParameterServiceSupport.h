#pragma once

// What the end-to-end tests of parameter transfers share: the built-in water medium for the device of
// the built-in description, its byte images as they land in the device's memory, and the commands of
// its write.

#include "support/BuiltinMedium.h"
#include "tests/support/ServiceHarness.h"

#include <QByteArray>
#include <QList>

namespace ParameterService {

using Space = ZebSim::ParameterMemory::Space;

// "001 ZEB WATER", zero-filled to its 16 bytes, at address 16 of the device.
inline const QByteArray WaterName = QByteArray::fromHex("303031205a4542205741544552000000");
// The curve at 434 of the sub-device: its point count 9, then 11 temperatures and 11 viscosities.
inline const QByteArray WaterCurve = QByteArray::fromHex(
    "09000000000000000000000000000000244000000000000034400000000000003e400000000000004440000000000000"
    "49400000000000004e40000000000080514000000000008052400000000000000000000000000000000084f743d69410"
    "be3ead88952f3ae9b53eae0aa429dad3b03e7a56b4ebf5ddaa3e494c5c7f7512a63e82c13cc3178fa23e4fe9d70b42cf"
    "9f3ebacf8dcb21b29b3e499d06a9b0a29a3e00000000000000000000000000000000");
// Two settings of the sub-device: 3 at 1070 and 5 at 1074.
inline const QByteArray WaterPair11 = QByteArray::fromHex("0300");
inline const QByteArray WaterPair12 = QByteArray::fromHex("0500");

// The requests of the water medium's write with read-back, in order: the name, its take-over, the
// six chunks of the sub-device and theirs.
inline const QList<int> WaterWriteCommands{131, 130, 132, 131, 130, 131, 130, 131, 130,
                                           131, 130, 131, 130, 131, 130, 132};

// The commands the device received after the first `skip` ones.
inline QList<int> commandsAfter(const ZebSim::ZebSimDevice &device, qsizetype skip)
{
    return device.commandsReceived().mid(skip);
}

} // namespace ParameterService

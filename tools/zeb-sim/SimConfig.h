#pragma once

#include "tools/boot-sim/Msp432Target.h"
#include "tools/boot-sim/TivaTarget.h"
#include "tools/zeb-sim/MeasuredValues.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

namespace ZebSim {

// The faults the simulated device injects on purpose. Counts are 1-based and 0 means "off".
struct FaultPlan {
    int wrongChecksumOnReply = 0;    // the Nth frame sent carries a wrong checksum
    std::optional<int> silentAfterFrames; // after N frames sent nothing more is sent
    int wrongReadBacks = 0;          // the first K reads of every chunk return altered bytes
    int dropBytesOnReply = 0;        // the Nth frame sent loses dropByteCount bytes
    int dropByteCount = 0;
    QMap<int, int> statusLowFor;     // command -> "Status Low" answered for it
    int shortReads = 0;              // every read (130) is answered with this many bytes fewer than asked
};

// The boot loader the device starts when it acknowledges command 133, with its faults. The device
// plays it until the boot loader has been told to restart, then speaks PARLINK again.
struct BootLoaderPlan {
    enum class Family { None, Tiva, Msp432 };
    Family family = Family::None;
    // The Tiva boot loader answers GetStatus with a status packet after its acknowledge.
    bool tivaStatusPackets = false;
    BootSim::TivaFaults tivaFaults;
    BootSim::Msp432Faults msp432Faults;
};

// Everything the simulated device is: its identity as the built-in description describes it, its
// line behaviour and its faults.
struct SimConfig {
    QByteArray address = QByteArray::fromRawData("\x13\x00\x04\x00\x01", 5);
    QString version = QStringLiteral("V02.11");
    QString subVersion = QStringLiteral("V02.00");
    QString name = QStringLiteral("M7Q4-ZEB");
    QString subName = QStringLiteral("ZEB-SENSOR");
    QString revision = QStringLiteral("240307");     // YYMMDD
    QString subRevision = QStringLiteral("230915");
    std::uint16_t baudRateMask = 0x00FF;             // 1200 .. 115200 baud
    bool singleWire = false;
    // Play the line's speed: a reply reaches the program no earlier than the request took on the wire.
    bool paced = false;
    QString linkPath;
    QString logPath;
    FaultPlan faults;
    MeasuredValues measured;
    BootLoaderPlan bootLoader;
};

// Parses the command line of zeb-sim (arguments()[0] is the program). On failure the result is empty
// and error says why; with --help the result is empty and helpText is filled.
struct ParsedOptions {
    std::optional<SimConfig> config;
    QString error;
    QString helpText;
};
ParsedOptions parseOptions(const QStringList &arguments);

// "V02.11" -> {2, 11}; empty for anything else.
std::optional<std::pair<int, int>> parseVersion(const QString &text);
// "240307" -> {24, 3, 7}; empty for anything else.
std::optional<std::array<int, 3>> parseRevision(const QString &text);

} // namespace ZebSim

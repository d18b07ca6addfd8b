#pragma once

#include <QList>
#include <QMap>
#include <QString>

#include <cstdint>
#include <optional>

namespace ZebSim {

// One measured value as a 138 or 139 answer carries it.
struct Variable {
    std::uint8_t unit = 0;
    float value = 0.0f;

    bool operator==(const Variable &other) const;
};

// One answer to 138 or 139: the status byte sent as "Status High" and the variables.
struct Sample {
    std::uint8_t status = 0;
    QList<Variable> variables;

    bool operator==(const Sample &) const = default;
};

// What the device measures and reports about itself, when a test or the command line fixes it.
struct MeasuredValues {
    // The answers to 138 and 139, counted together: the n-th answer carries sample n and the last
    // one is repeated. Empty: the device's own varying flow, volume and temperature, status 0.
    QList<Sample> samples;
    // The texts of command 140 by number, 1 to 8, each a level digit and the text. Unset numbers
    // answer a blank.
    QMap<int, QString> statusTexts{{1, QStringLiteral("3Overflow")}};
    // Fault: added on the line to every 138 and 139 answer, one record beyond the eight that the
    // protocol's field maps hold.
    std::optional<Variable> extraVariable;
};

// "41:1.5" -> unit 41, value 1.5; the value may be "nan". Empty for anything else.
std::optional<Variable> parseVariable(const QString &text);
// "[status/]unit:value,unit:value..." -> a sample; "0x05/" and "" carry no variables.
std::optional<Sample> parseSample(const QString &text);
// "3:2Air bubble" -> text 3 is "2Air bubble"; the number 1 to 8, the text at most 16 Latin-1
// characters.
std::optional<std::pair<int, QString>> parseStatusText(const QString &text);

} // namespace ZebSim

#pragma once

#include <QDebug>
#include <QList>
#include <QMetaType>
#include <QString>

#include <cstdint>

namespace Thg::Tilo::Communication {

// One measured value. Unit code 255 marks a slot that carries no value.
struct Slot {
    static constexpr std::uint8_t NoUnit = 255;

    float value = 0.0f;
    float min = 0.0f;
    float max = 0.0f;
    std::uint8_t unit = 0;
};

// One status text of a device and its level.
struct StatusString {
    QString text;
    std::uint8_t level = 0;
};

// One measured-value record: the device's status texts (entry k for bit k of `status`), the value
// slots that carry a value, and the status bit mask reported with them.
struct Slots {
    // Looked at of the raw lists; what lies beyond is ignored.
    static constexpr int MaxSlots = 9;
    static constexpr int MaxStatusStrings = 9;
    // Always present, so that every bit of the status byte has an entry.
    static constexpr int MinStatusStrings = 8;

    Slots() : Slots({}, 0, {}) {}
    // Each raw status text is a level digit followed by the text.
    Slots(const QList<QString> &statusStrings, std::uint8_t status, const QList<Slot> &slots);

    // The entries whose bit is set in `status`, bit 7 first.
    QList<StatusString> activeStatusStrings() const;

    // Compares the slot lists only; two records without slots are never equal.
    bool operator==(const Slots &other) const;

    QList<StatusString> statusStrings;
    QList<Slot> slotList;
    std::uint8_t status = 0;
};

// The display text of a unit code: "bar", "L/m", "°C", "L", otherwise "NA".
QString unitText(std::uint8_t unit);

QDebug operator<<(QDebug debug, const Slots &record);

} // namespace Thg::Tilo::Communication

Q_DECLARE_METATYPE(Thg::Tilo::Communication::Slots)

#include "communication/Slots.h"

namespace Thg::Tilo::Communication {

Slots::Slots(const QList<QString> &rawTexts, std::uint8_t statusByte, const QList<Slot> &rawSlots) : status(statusByte)
{
    for (qsizetype i = 0; i < rawSlots.size() && i < MaxSlots; ++i) {
        if (rawSlots[i].unit != Slot::NoUnit)
            slotList.append(rawSlots[i]);
    }
    for (qsizetype i = 0; i < rawTexts.size() && i < MaxStatusStrings; ++i) {
        const QString &raw = rawTexts[i];
        StatusString entry;
        if (raw.size() >= 2) {
            const QChar first = raw.front();
            entry.level = first >= u'0' && first <= u'9' ? std::uint8_t(first.unicode() - u'0') : 0;
            entry.text = raw.mid(1);
        }
        statusStrings.append(entry);
    }
    while (statusStrings.size() < MinStatusStrings)
        statusStrings.append(StatusString{});
}

QList<StatusString> Slots::activeStatusStrings() const
{
    QList<StatusString> active;
    // The members are open to callers; a list cut below eight entries must not be read past its end.
    for (int bit = 7; bit >= 0; --bit) {
        if ((status & (1u << bit)) && bit < statusStrings.size())
            active.append(statusStrings.at(bit));
    }
    return active;
}

bool Slots::operator==(const Slots &other) const
{
    if (slotList.isEmpty() || slotList.size() != other.slotList.size())
        return false;
    for (qsizetype i = 0; i < slotList.size(); ++i) {
        const Slot &a = slotList[i];
        const Slot &b = other.slotList[i];
        if (!(a.value == b.value && a.min == b.min && a.max == b.max && a.unit == b.unit))
            return false;
    }
    return true;
}

QString unitText(std::uint8_t unit)
{
    switch (unit) {
    case 7:
        return QStringLiteral("bar");
    case 17:
        return QStringLiteral("L/m");
    case 32:
        return QStringLiteral("°C");
    case 41:
        return QStringLiteral("L");
    default:
        return QStringLiteral("NA");
    }
}

QDebug operator<<(QDebug debug, const Slots &record)
{
    QDebugStateSaver saver(debug);
    debug.space();
    const auto endLine = [&debug] {
        debug.nospace() << '\n';
        debug.space();
    };
    int n = 1;
    for (const StatusString &active : record.activeStatusStrings()) {
        debug.nospace() << "Active Status" << "[" << n++ << "]:";
        endLine();
        debug << "Text: " << active.text;
        endLine();
        debug << "Level: " << active.level;
        endLine();
        endLine();
    }
    n = 1;
    for (const Slot &slot : record.slotList) {
        debug.nospace() << "Slot" << "[" << n++ << "]:";
        endLine();
        debug << "Value: " << slot.value;
        endLine();
        debug << "Min: " << slot.min;
        endLine();
        debug << "Max: " << slot.max;
        endLine();
        debug << "Unit: " << unitText(slot.unit);
        endLine();
    }
    return debug;
}

} // namespace Thg::Tilo::Communication

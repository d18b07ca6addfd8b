#include "communication/internal/SampleAverage.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace Thg::Tilo::Communication::Internal {

namespace {

// The leading value when it is a number; nothing for NaN or a missing slot.
std::optional<float> leadingNumber(const Slots &sample, int index)
{
    if (index < 0 || index >= sample.slotList.size())
        return std::nullopt;
    const float value = sample.slotList.at(index).value;
    if (std::isnan(value))
        return std::nullopt;
    return value;
}

} // namespace

// A comparison that orders numbers among themselves and puts everything else after them is a strict
// weak order whatever the device sent, which std::stable_sort needs to be defined at all.
void SampleAverage::sortByLeadingValue(QList<Slots> &samples, int leadingSlotIndex)
{
    std::stable_sort(samples.begin(), samples.end(), [leadingSlotIndex](const Slots &a, const Slots &b) {
        const std::optional<float> left = leadingNumber(a, leadingSlotIndex);
        const std::optional<float> right = leadingNumber(b, leadingSlotIndex);
        if (!left)
            return false;
        return !right || *left > *right;
    });
}

SampleAverage::Result SampleAverage::of(const QList<Slots> &samples, std::uint16_t samplesToTrim,
                                        std::uint8_t leadingSlotIndex)
{
    Result result;
    if (samples.isEmpty())
        return result;

    const qsizetype layout = samples.first().slotList.size();
    QList<Slots> kept;
    kept.reserve(samples.size());
    for (qsizetype i = 0; i < samples.size(); ++i) {
        if (samples[i].slotList.size() == layout)
            kept.append(samples[i]);
        else
            result.leftOut.append(i);
    }

    const qsizetype trim = samplesToTrim;
    if (trim != 0 && 2 * trim < kept.size()) {
        if (leadingSlotIndex < layout) {
            sortByLeadingValue(kept, leadingSlotIndex);
            kept = kept.mid(trim, kept.size() - 2 * trim);
        } else {
            result.trimmingSkipped = true;
        }
    }

    Slots average = kept.first();
    for (qsizetype i = 1; i < kept.size(); ++i) {
        const QList<Slot> &slotList = kept[i].slotList;
        for (qsizetype k = 0; k < average.slotList.size(); ++k) {
            Slot &sum = average.slotList[k];
            const Slot &slot = slotList[k];
            if (slot.unit == VolumeUnit)
                sum.value = slot.value;
            else
                sum.value += slot.value;
            sum.min = slot.min;
            sum.max = slot.max;
        }
    }
    for (Slot &slot : average.slotList) {
        if (slot.unit != VolumeUnit)
            slot.value /= float(kept.size());
    }
    result.average = average;
    result.averaged = kept.size();
    return result;
}

} // namespace Thg::Tilo::Communication::Internal

#pragma once

#include "communication/Slots.h"

#include <QList>

#include <cstdint>

namespace Thg::Tilo::Communication::Internal {

// How an accumulating measured-value read turns its samples into one record: the samples of one
// layout, the highest and lowest by the leading slot left out, the rest averaged. Plain functions of
// the samples, with no I/O, so that the order and the arithmetic can be checked on their own.
struct SampleAverage {
    // A slot in litres carries the volume summed over the run, not a reading: it is taken, not averaged.
    static constexpr std::uint8_t VolumeUnit = 41;

    struct Result {
        Slots average;
        // Positions in the given list of the samples whose slot count differs from the first one's.
        QList<qsizetype> leftOut;
        // Trimming was asked for, but the samples have no slot at the leading index.
        bool trimmingSkipped = false;
        // How many samples the average was taken over.
        qsizetype averaged = 0;
    };

    // Highest value of the leading slot first. A sample whose leading value is NaN, or which has no
    // slot there, comes after every number; samples that compare equal keep their order.
    static void sortByLeadingValue(QList<Slots> &samples, int leadingSlotIndex);

    // The average of `samples`, which must not be empty. Only the samples with the slot count of the
    // first one take part: the slots of one index must mean the same quantity in all of them. Of
    // those, the `samplesToTrim` highest and lowest by the leading slot are left out when fewer than
    // half would go. The average starts as a copy of the first remaining sample (its status texts and
    // status byte), takes the volume slots and all extremes of the last one and divides the sum of
    // every other slot by the number of remaining samples.
    static Result of(const QList<Slots> &samples, std::uint16_t samplesToTrim, std::uint8_t leadingSlotIndex);
};

} // namespace Thg::Tilo::Communication::Internal

#pragma once

#include "tools/zeb-sim/MeasuredValues.h"
#include "tools/zeb-sim/SimConfig.h"

#include <QStringList>

// A simulated device that answers 138 and 139 with these samples in turn, the last one repeated; each
// sample is written as the option --sample takes it ("[STATUS/]UNIT:VALUE,...").
inline ZebSim::SimConfig withSamples(const QStringList &samples)
{
    ZebSim::SimConfig config;
    for (const QString &sample : samples)
        config.measured.samples.append(ZebSim::parseSample(sample).value());
    return config;
}

#pragma once

#include "communication/Address.h"
#include "communication/BootloaderType.h"
#include "communication/Comport.h"
#include "communication/Device.h"
#include "communication/LogLevel.h"
#include "communication/Slots.h"

#include "device/Parameter.h"
#include "device/ParameterSetting.h"

#include <QList>
#include <QMetaType>

#include <functional>
#include <vector>

Q_DECLARE_METATYPE(std::vector<Thg::Tilo::Device::Parameter>)
Q_DECLARE_METATYPE(std::vector<Thg::Tilo::Device::ParameterSetting>)
Q_DECLARE_METATYPE(std::vector<std::reference_wrapper<const Thg::Tilo::Device::Parameter>>)

namespace Thg::Tilo::Communication {

// Registers every type that the device service's slots and signals carry, under the names that its
// meta-object uses, so that they travel through queued connections and calls by name. Harmless to
// repeat.
void registerMetaTypes();

} // namespace Thg::Tilo::Communication
